#include "avi/udavi.h"

#include <stdio.h>

// Placeholders until the AVI library is built.
int LIBAVI_recoverFile(char *)
{
    puts(" [app] err: LIBAVI_recoverFile is not available");
    return -1;
}

const char *LIBAVI_recoverGetErrMsg(void)
{
    return "not available";
}

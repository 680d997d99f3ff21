#include "avi/q7_avi_playback.h"

#include <stdio.h>

// Placeholder until the playback is built.
int pb_main(void)
{
    puts(" [app] err: pb_main is not available");
    return -1;
}

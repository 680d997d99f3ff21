#include "devices/dio_if.h"

#include <stdio.h>

// Placeholder until the device test is built.
int dio_thr_create(ThreadCtrl *)
{
    puts(" [app] err: dio_thr_create is not available");
    return -1;
}

#include "devices/gps.h"

#include <stdio.h>

// Placeholder until the device test is built.
int gps_thr_create(ThreadCtrl *)
{
    puts(" [app] err: gps_thr_create is not available");
    return -1;
}

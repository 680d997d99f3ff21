#include "devices/bma.h"

#include <stdio.h>

// Placeholder until the device test is built.
int bma_thr_create(ThreadCtrl *)
{
    puts(" [app] err: bma_thr_create is not available");
    return -1;
}

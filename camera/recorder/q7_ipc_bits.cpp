#include "recorder/q7_ipc_bits.h"

#include <stdio.h>

// Placeholders until the recording pipeline is built.
int q7_ipcBitsInit(int, APP_CFG *)
{
    puts(" [app] err: q7_ipcBitsInit is not available");
    return -1;
}

int q7_ipcBitsStop(void)
{
    puts(" [app] err: q7_ipcBitsStop is not available");
    return -1;
}

int q7_ipcBitsExit(void)
{
    puts(" [app] err: q7_ipcBitsExit is not available");
    return -1;
}

int q7_setSnapshoot(void)
{
    puts(" [app] err: q7_setSnapshoot is not available");
    return -1;
}

int q7_setEvent(int)
{
    puts(" [app] err: q7_setEvent is not available");
    return -1;
}

int q7_setPrerecDuration(int)
{
    puts(" [app] err: q7_setPrerecDuration is not available");
    return -1;
}

int q7_getPrerecDuration(void)
{
    puts(" [app] err: q7_getPrerecDuration is not available");
    return -1;
}

// What the device test threads share beyond their control record: waiting for input while
// looking at `quit`.
#pragma once

#include "platform/thread_ctrl.h"

// How long a device thread may take to see `quit`: its reads wait at most this long (poll), and
// the I/O sweep looks between its steps of this length.
#define DEV_QUIT_LATENCY_MSECS 500

// Waits up to `msecs` for `fd` to become readable (or hung up, or failed), looking at `quit`
// meanwhile. 1 readable, 0 quit asked for or nothing came in time, -1 poll failed.
int dev_wait_readable(ThreadCtrl *ctrl, int fd, int msecs);

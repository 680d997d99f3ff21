// What the device test threads share: their start, the stop request and their end.
#pragma once

#include "app/q7_app_main.h"

// How long a device thread may take to see `quit`: its reads wait at most this long (poll), and
// the I/O sweep looks between its steps of this length.
#define DEV_QUIT_LATENCY_MSECS 500

// Starts `entry` with the record as its argument, with the FIFO policy at the middle priority and
// a 51 200-byte stack, after creating `lock` and clearing `quit`. A previous run of the record
// that has not ended yet is first asked to stop and waited for (dev_thr_stop): its lock is never
// made afresh while it may hold it, and its handle never overwritten. If it does not end in
// time, nothing is started (-1, said on the console). `quit` is cleared here rather than in the
// thread, so that a stop asked for before the thread got to run is not lost. Failures of the
// creation use the assertion convention. Returns 0 or the failure code.
int dev_thr_create(ThreadCtrl *ctrl, OSA_ThrEntryFunc entry);

// Asks the record's thread, if one runs, to stop and waits up to `msecs` for its end. True when no
// thread of the record runs any more.
bool dev_thr_stop(ThreadCtrl *ctrl, int msecs);

// Reads `quit` under `lock`.
bool dev_quit_requested(ThreadCtrl *ctrl);

// Waits up to `msecs` for `fd` to become readable (or hung up, or failed), looking at `quit`
// meanwhile. 1 readable, 0 quit asked for or nothing came in time, -1 poll failed.
int dev_wait_readable(ThreadCtrl *ctrl, int fd, int msecs);

// Called last by a device thread: deletes its own thread handle. `lock` stays usable, because the
// device menu sets `quit` under it even after the thread has ended by itself.
void dev_thr_exit(ThreadCtrl *ctrl);

// What the device test threads share: their start, the stop request and their end.
#pragma once

#include "app/q7_app_main.h"

// Creates `lock`, clears `quit` and starts `entry` with the record as its argument, with the FIFO
// policy at the middle priority and a 51 200-byte stack. Failures use the assertion convention.
// `quit` is cleared here rather than in the thread, so that a stop asked for before the thread
// got to run is not lost. Returns 0 or the failure code of the thread creation.
int dev_thr_create(ThreadCtrl *ctrl, OSA_ThrEntryFunc entry);

// Reads `quit` under `lock`.
bool dev_quit_requested(ThreadCtrl *ctrl);

// Called last by a device thread: deletes its own thread handle. `lock` stays usable, because the
// device menu sets `quit` under it even after the thread has ended by itself.
void dev_thr_exit(ThreadCtrl *ctrl);

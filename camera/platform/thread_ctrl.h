// The control record of a device or sound test thread and its life cycle: the menu starts the
// thread on its record, asks it to stop by setting `quit`, and the thread ends by itself.
#pragma once

#include <stdint.h>

#include "platform/osa.h"

// Control record of one device or sound thread; `quit` is read and written under `lock`.
struct ThreadCtrl {
    char filePath[128];
    OSA_ThrHndl thrHndl;
    OSA_MutexHndl lock;
    uint32_t quit;
};

// The work of a thread on its record; its result is not looked at.
typedef int (*ThreadCtrlBody)(ThreadCtrl *ctrl);

// Starts a thread that runs `body` on the record and then ends (thr_ctrl_exit), with the FIFO
// policy at the middle priority and a 51 200-byte stack, after creating `lock` and clearing
// `quit`. A previous run of the record that has not ended yet is first asked to stop and waited
// for (thr_ctrl_stop): its lock is never made afresh while it may hold it, and its handle never
// overwritten. If it does not end in time, nothing is started (-1, said on the console). `quit`
// is cleared here and not in the thread, so that a stop asked for before the thread got to run is
// not lost. Failures of the creation use the assertion convention. Returns 0 or the failure code.
int thr_ctrl_create(ThreadCtrl *ctrl, ThreadCtrlBody body);

// Asks the record's thread, if one runs, to stop and waits up to `msecs` for its end. True when no
// thread of the record runs any more.
bool thr_ctrl_stop(ThreadCtrl *ctrl, int msecs);

// Sets `quit` under `lock`; returns the result of the unlock.
int thr_ctrl_set_quit(ThreadCtrl *ctrl);

// Reads `quit` under `lock`.
bool thr_ctrl_quit_requested(ThreadCtrl *ctrl);

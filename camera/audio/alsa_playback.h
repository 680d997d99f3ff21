// Audio test player thread: plays "./wav/intro.wav" until its data ends or it is told to stop.
#pragma once

#include "platform/thread_ctrl.h"

// Starts sound_playback_main on ctrl through thr_ctrl_create (FIFO, middle priority, 51 200-byte stack,
// `quit` cleared). The menu stops it by setting quit under lock.
int sound_playback_thrCreate(ThreadCtrl *ctrl);
// The thread's work (The player's work, until the data ends, quit or an error); the tests call it on their own thread.
int sound_playback_main(ThreadCtrl *ctrl);

// Audio test recorder thread: the microphone into "./wav/save_mic_16khz.wav" until told to stop.
#pragma once

#include "platform/thread_ctrl.h"

// Starts snd_record_main on ctrl through thr_ctrl_create (FIFO, middle priority, 51 200-byte stack,
// `quit` cleared). The menu stops it by setting quit under lock.
int snd_record_thrCreate(ThreadCtrl *ctrl);
// The thread's work (The recorder's work, until quit or an error); the tests call it on their own thread.
int snd_record_main(ThreadCtrl *ctrl);

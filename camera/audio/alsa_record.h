// Audio test recorder thread: the microphone into "./wav/save_mic_16khz.wav" until told to stop.
#pragma once

#include "app/q7_app_main.h"

// Creates ctrl->lock, then starts snd_record_main on ctrl (FIFO, middle priority, 51 200-byte
// stack). The menu stops it by setting quit under lock.
int snd_record_thrCreate(ThreadCtrl *ctrl);
// Thread entry: snd_record_run, then the thread deletes its mutex and itself.
void *snd_record_main(void *arg);
// The recorder's work on the calling thread, until quit or an error.
int snd_record_run(ThreadCtrl *ctrl);

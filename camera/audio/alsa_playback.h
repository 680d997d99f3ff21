// Audio test player thread: plays "./wav/intro.wav" until its data ends or it is told to stop.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "app/q7_app_main.h"

// Creates ctrl->lock, then starts sound_playback_main on ctrl (FIFO, middle priority,
// 51 200-byte stack). The menu stops it by setting quit under lock.
int sound_playback_thrCreate(ThreadCtrl *ctrl);
// Thread entry: sound_playback_run, then the thread deletes its mutex and itself.
void *sound_playback_main(void *arg);
// The player's work on the calling thread, until the data ends, quit or an error.
int sound_playback_run(ThreadCtrl *ctrl);

// Walks the RIFF chunks of a WAV file from its start to the "data" chunk. Returns 0 with the
// file positioned at the data and its size in *dataSize, or -1 for a file without a RIFF/WAVE
// header, without a "data" chunk or with a negative data size.
int snd_wav_find_data(FILE *fp, uint32_t *dataSize);

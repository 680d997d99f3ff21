// Recording capture of the microphone: one period of 16-bit mono samples at 16 kHz per read,
// for the audio intake thread of the recorder.
#pragma once

#include <atomic>

#include "audio/alsa_wrapper.h"

extern AlsaEnv record_env;
// 1 while the capture is open and configured. Written by the thread that starts and stops the
// camera process, polled by the audio intake thread.
extern std::atomic<int> captureRun;

// Opens and configures the device; bytes per period, or 0 on failure.
int Audio_capture_start(void);
// Reads one period into buf (at least record_env.periodBytes); frames read or an ALSA error.
int Audio_capture_read(void *buf);
int Audio_capture_stop(void);
int Audio_capture_isStart(void);
int Audio_capture_setVolume(int percent);

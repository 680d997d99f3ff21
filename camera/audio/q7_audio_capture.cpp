#include "audio/q7_audio_capture.h"

#include <stdio.h>

AlsaEnv record_env;
std::atomic<int> captureRun{0};

int Audio_capture_start(void)
{
    captureRun = 0;
    record_env.pcm = alsa_open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 1);
    if (record_env.pcm == nullptr) {
        fprintf(stderr, "cannot open audio device\n");
        return 0;
    }
    record_env.channels = 1;
    record_env.format = SND_PCM_FORMAT_S16_LE;
    record_env.rate = 16000;
    record_env.bufferFrames = 0;
    record_env.bufferTime = 0;
    if (alsa_set_params(&record_env, 1, 0) < 0) {
        printf("Failed to record set params");
        fflush(stdout);
        // Nothing will read from it: give the device back rather than keep it half set up.
        alsa_close(&record_env, 1, 1);
        record_env.pcm = nullptr;
        return 0;
    }
    captureRun = 1;
    alsa_set_volume(1, 80);
    return (int)record_env.periodBytes;
}

int Audio_capture_read(void *buf)
{
    return (int)alsa_pcm_read(&record_env, buf, record_env.periodFrames);
}

int Audio_capture_stop(void)
{
    if (record_env.pcm != nullptr) {
        alsa_close(&record_env, 1, 1);
        record_env.pcm = nullptr;
    }
    captureRun = 0;
    return 0;
}

int Audio_capture_isStart(void)
{
    return captureRun;
}

int Audio_capture_setVolume(int percent)
{
    return alsa_set_volume(1, percent);
}

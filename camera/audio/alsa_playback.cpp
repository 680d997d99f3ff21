#include "audio/alsa_playback.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audio/alsa_wrapper.h"
#include "audio/wav_file.h"

namespace {

const char *const kWavPath = "./wav/intro.wav";

} // namespace

int sound_playback_main(ThreadCtrl *ctrl)
{
    snprintf(ctrl->filePath, sizeof(ctrl->filePath), "%s", kWavPath);

    AlsaEnv env;
    memset(&env, 0, sizeof(env));
    env.pcm = alsa_open(ALSA_PCM_DEVICE, ALSA_PLAYBACK, 1);
    if (env.pcm == nullptr) {
        fprintf(stderr, "cannot open audio device\n");
        return -1;
    }
    alsa_set_volume(0, 0);
    env.channels = 1;
    env.format = SND_PCM_FORMAT_S16_LE;
    env.rate = 22050;
    if (alsa_set_params(&env, 0, 0) < 0) {
        alsa_close(&env, 1, 1);
        return -1;
    }
    alsa_set_volume(0, 70);
    printf("Open the %s file!!\n", ctrl->filePath);

    FILE *fp = fopen(ctrl->filePath, "rb");
    if (fp == nullptr) {
        fprintf(stderr, "Can't open %s file\n", ctrl->filePath);
        alsa_close(&env, 1, 1);
        return -1;
    }
    uint8_t *buf = (uint8_t *)malloc(env.periodBytes);
    if (buf == nullptr) {
        fprintf(stderr, "not enough memory\n");
        fclose(fp);
        alsa_close(&env, 1, 1);
        return -1;
    }

    int ret = 0;
    uint32_t remaining = 0;
    if (wav_find_data(fp, &remaining) < 0) {
        fprintf(stderr, "can't support %s file\n", ctrl->filePath);
        ret = -1;
    }

    const uint32_t bytesPerFrame = env.bitsPerFrame / 8;
    while (ret == 0 && !thr_ctrl_quit_requested(ctrl)) {
        size_t want = remaining < env.periodBytes ? remaining : env.periodBytes;
        size_t got = wav_read(fp, buf, want);
        snd_pcm_uframes_t framesRead = got / bytesPerFrame;
        snd_pcm_uframes_t frames = framesRead;
        if (frames < env.periodFrames) {
            memset(buf + framesRead * bytesPerFrame, 0,
                   (env.periodFrames - framesRead) * bytesPerFrame);
            frames = env.periodFrames;
        }

        snd_pcm_sframes_t written = alsa_pcm_write(&env, buf, frames);
        if (written < 0) {
            ret = -1;
            break;
        }
        if ((snd_pcm_uframes_t)written != framesRead)
            break; // the padded last block ends the play
        remaining -= (uint32_t)got;
    }

    // Drain so that the last period plays out; after an error there is nothing worth waiting for.
    alsa_close(&env, ret < 0 ? 1 : 0, 1);
    free(buf);
    fclose(fp);
    return ret;
}

int sound_playback_thrCreate(ThreadCtrl *ctrl)
{
    return thr_ctrl_create(ctrl, sound_playback_main);
}

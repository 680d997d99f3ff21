#include "audio/alsa_record.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audio/alsa_wrapper.h"
#include "audio/wav_file.h"

namespace {

const char *const kWavPath = "./wav/save_mic_16khz.wav";

} // namespace

int snd_record_main(ThreadCtrl *ctrl)
{
    snprintf(ctrl->filePath, sizeof(ctrl->filePath), "%s", kWavPath);

    AlsaEnv env;
    memset(&env, 0, sizeof(env));
    env.pcm = alsa_open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 1);
    if (env.pcm == nullptr) {
        fprintf(stderr, "cannot open audio device\n");
        return -1;
    }
    env.channels = 1;
    env.format = SND_PCM_FORMAT_S16_LE;
    env.rate = 16000;
    if (alsa_set_params(&env, 1, 0) < 0) {
        printf("Failed to record set params");
        fflush(stdout);
        alsa_close(&env, 1, 1);
        return -1;
    }

    FILE *fp = fopen(ctrl->filePath, "w+");
    if (fp == nullptr) {
        printf("Failed to open file (%s)\n", ctrl->filePath);
        // Nothing could be kept: stop here rather than record into no file.
        alsa_close(&env, 1, 1);
        return -1;
    }
    printf("record open file (%s)\n", ctrl->filePath);

    // The sizes are written when the recording ends.
    uint16_t width = (uint16_t)snd_pcm_format_physical_width((snd_pcm_format_t)env.format);
    WavHeader wav = wav_pcm_header((uint16_t)env.channels, env.rate, width, 0, 0);
    uint8_t header[WAV_HEADER_BYTES];
    wav_put_header(header, &wav);
    fwrite(header, 1, sizeof(header), fp);

    uint8_t *buf = (uint8_t *)malloc(env.periodBytes);
    if (buf == nullptr) {
        fprintf(stderr, "not enough memory\n");
        alsa_close(&env, 1, 1);
        fclose(fp);
        return -1;
    }
    memset(buf, 0xFF, env.periodBytes);
    alsa_set_volume(1, 50);

    // `quit` was cleared by snd_record_thrCreate; clearing it here would lose an early stop.
    uint32_t dataSize = 0;
    int ret = 0;
    while (!thr_ctrl_quit_requested(ctrl)) {
        snd_pcm_sframes_t r = alsa_pcm_read(&env, buf, env.periodFrames);
        if (alsa_pcm_read_failed(r)) {
            ret = -1;
            break;
        }
        if (r < 0)
            continue; // waited for the device, or recovered the stream
        size_t bytes = (size_t)r * env.bitsPerFrame / 8;
        fwrite(buf, 1, bytes, fp);
        dataSize += (uint32_t)bytes;
    }

    alsa_close(&env, 1, 1);
    fseek(fp, 0, SEEK_END);
    long length = ftell(fp);
    wav.riffSize = (uint32_t)(length - WAV_CHUNK_HEAD_BYTES); // all after the RIFF head
    wav.dataSize = dataSize;
    wav_put_header(header, &wav);
    fseek(fp, 0, SEEK_SET);
    fwrite(header, 1, sizeof(header), fp);
    fclose(fp);
    free(buf);
    return ret;
}

int snd_record_thrCreate(ThreadCtrl *ctrl)
{
    return thr_ctrl_create(ctrl, snd_record_main);
}

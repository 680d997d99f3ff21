#include "audio/alsa_wrapper.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

const unsigned int kMaxBufferTime = 500000; // us
const int kPcmWaitMs = 1000;                // longest wait for the device in a read or write

const char *const kSpeakerName = "SPK";
const char *const kBoostName = "MIC1 Boost";
const int kMixerIndex = 0;

// Frames for a delay in microseconds, in double precision as the thresholds are specified, cut
// to an unsigned count (a negative result counts as none).
snd_pcm_uframes_t delayFrames(double base, unsigned int rate, int delay)
{
    double n = base + (double)rate * delay / 1000000;
    return n > 0 ? (snd_pcm_uframes_t)n : 0;
}

// Opens the mixer of card ALSA_MIXER_CARD and finds the element; on success the caller owns *mixer.
int mixerOpen(int element, snd_mixer_t **mixer, snd_mixer_elem_t **elem)
{
    const char *name = element == 1 ? kBoostName : kSpeakerName;
    *mixer = nullptr;
    *elem = nullptr;
    snd_mixer_t *m = nullptr;
    if (snd_mixer_open(&m, 0) == 0) {
        // A card that cannot be attached or loaded simply has no such element.
        if (snd_mixer_attach(m, ALSA_MIXER_CARD) == 0 &&
            snd_mixer_selem_register(m, nullptr, nullptr) == 0)
            snd_mixer_load(m);
        snd_mixer_selem_id_t *sid;
        snd_mixer_selem_id_alloca(&sid);
        snd_mixer_selem_id_set_index(sid, kMixerIndex);
        snd_mixer_selem_id_set_name(sid, name);
        *elem = snd_mixer_find_selem(m, sid);
    }
    if (*elem == nullptr) {
        fprintf(stderr, "Unable to find simple control '%s',%i\n", name, kMixerIndex);
        if (m != nullptr)
            snd_mixer_close(m);
        return -1;
    }
    *mixer = m;
    return 0;
}

} // namespace

snd_pcm_t *alsa_open(const char *name, int capture, int nonblock)
{
    snd_pcm_t *pcm = nullptr;
    snd_pcm_stream_t stream =
        capture == ALSA_CAPTURE ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
    if (snd_pcm_open(&pcm, name, stream, nonblock ? SND_PCM_NONBLOCK : 0) < 0)
        return nullptr;
    if (snd_pcm_nonblock(pcm, 1) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return pcm;
}

int alsa_set_params(AlsaEnv *env, int startDelay, int stopDelay)
{
    if (env == nullptr || env->pcm == nullptr)
        return -1;
    snd_pcm_t *pcm = env->pcm;
    const char *dev = snd_pcm_name(pcm);
    snd_pcm_hw_params_t *params;
    snd_pcm_sw_params_t *swparams;
    snd_pcm_hw_params_alloca(&params);
    snd_pcm_sw_params_alloca(&swparams);

    if (snd_pcm_hw_params_any(pcm, params) < 0) {
        fprintf(stderr, "%s: Broken configuration for this PCM:no configurations available\n", dev);
        return -1;
    }
    if (snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) {
        fprintf(stderr, "%s: cannot set access type!\n", dev);
        return -1;
    }
    if (snd_pcm_hw_params_set_format(pcm, params, (snd_pcm_format_t)env->format) < 0) {
        fprintf(stderr, "%s: cannot set sample format!\n", dev);
        return -1;
    }
    if (snd_pcm_hw_params_set_channels(pcm, params, env->channels) < 0) {
        fprintf(stderr, "%s: cannot set channel count!\n", dev);
        return -1;
    }
    unsigned int requested = env->rate;
    unsigned int rate = requested;
    int err = snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr);
    if (err < 0) {
        fprintf(stderr, "%s: cannot set sample rate!\n", dev);
        return err;
    }
    if ((uint64_t)rate * 100 > (uint64_t)requested * 105 ||
        (uint64_t)rate * 100 < (uint64_t)requested * 95)
        fprintf(stderr, "%s Warning: rate is not accurate(requested = %iHz, got = %iHz)\n", dev,
                (int)requested, (int)rate);
    env->rate = rate;

    if (env->bufferTime == 0 && env->bufferFrames == 0) {
        unsigned int maxTime = 0;
        if (snd_pcm_hw_params_get_buffer_time_max(params, &maxTime, nullptr) < 0) {
            fprintf(stderr, "%s: cannot get buffer time!\n", dev);
            return -1;
        }
        env->bufferTime = maxTime > kMaxBufferTime ? kMaxBufferTime : maxTime;
    }
    if (env->bufferTime != 0) {
        unsigned int periodTime = env->bufferTime / 4;
        if (snd_pcm_hw_params_set_period_time_near(pcm, params, &periodTime, nullptr) < 0) {
            fprintf(stderr, "%s: cannot set period time!\n", dev);
            return -1;
        }
        unsigned int bufferTime = env->bufferTime;
        if (snd_pcm_hw_params_set_buffer_time_near(pcm, params, &bufferTime, nullptr) < 0) {
            fprintf(stderr, "%s: cannot set buffer time!\n", dev);
            return -1;
        }
        env->bufferTime = bufferTime;
    } else {
        snd_pcm_uframes_t periodSize = env->bufferFrames / 4;
        if (snd_pcm_hw_params_set_period_size_near(pcm, params, &periodSize, nullptr) < 0) {
            fprintf(stderr, "%s: cannot set period size!\n", dev);
            return -1;
        }
        snd_pcm_uframes_t bufferSize = env->bufferFrames;
        if (snd_pcm_hw_params_set_buffer_size_near(pcm, params, &bufferSize) < 0) {
            fprintf(stderr, "%s: cannot set buffer size!\n", dev);
            return -1;
        }
        env->bufferFrames = (uint32_t)bufferSize;
    }

    if (snd_pcm_hw_params(pcm, params) < 0) {
        fprintf(stderr, "Unable to install hw params\n");
        return -1;
    }
    snd_pcm_uframes_t periodFrames = 0, bufferSize = 0;
    snd_pcm_hw_params_get_period_size(params, &periodFrames, nullptr);
    snd_pcm_hw_params_get_buffer_size(params, &bufferSize);
    env->periodFrames = (uint32_t)periodFrames;
    if (periodFrames == bufferSize) {
        fprintf(stderr, "Can't use period equal to buffer size (%lu == %lu)",
                (unsigned long)periodFrames, (unsigned long)bufferSize);
        return -1;
    }

    snd_pcm_sw_params_current(pcm, swparams);
    if (snd_pcm_sw_params_set_avail_min(pcm, swparams, periodFrames) < 0) {
        fprintf(stderr, "%s: cannot set available minimum!\n", dev);
        return -1;
    }
    snd_pcm_uframes_t start = startDelay > 0 ? delayFrames(0, rate, startDelay)
                                             : delayFrames((double)bufferSize, rate, startDelay);
    if (start == 0)
        start = 1;
    if (start > bufferSize)
        start = bufferSize;
    if (snd_pcm_sw_params_set_start_threshold(pcm, swparams, start) < 0) {
        fprintf(stderr, "%s: cannot set start threshold!\n", dev);
        return -1;
    }
    snd_pcm_uframes_t stop = stopDelay > 0 ? delayFrames(0, rate, stopDelay)
                                           : delayFrames((double)bufferSize, rate, stopDelay);
    if (snd_pcm_sw_params_set_stop_threshold(pcm, swparams, stop) < 0) {
        fprintf(stderr, "%s: cannot set stop threshold!\n", dev);
        return -1;
    }
    if (snd_pcm_sw_params(pcm, swparams) < 0) {
        fprintf(stderr, "unable to install sw params\n");
        return -1;
    }

    env->bitsPerFrame =
        (uint32_t)snd_pcm_format_physical_width((snd_pcm_format_t)env->format) * env->channels;
    env->periodBytes = env->periodFrames * env->bitsPerFrame / 8;
    return 0;
}

int alsa_xrun(AlsaEnv *env, int capture)
{
    if (env == nullptr || env->pcm == nullptr)
        return -1;
    snd_pcm_status_t *status;
    snd_pcm_status_alloca(&status);
    int err = snd_pcm_status(env->pcm, status);
    if (err < 0) {
        fprintf(stderr, "status error: %s\n", snd_strerror(err));
        return err;
    }
    snd_pcm_state_t state = snd_pcm_status_get_state(status);
    if (state == SND_PCM_STATE_XRUN) {
        snd_timestamp_t now, trigger;
        snd_pcm_status_get_tstamp(status, &now);
        snd_pcm_status_get_trigger_tstamp(status, &trigger);
        double ms = (double)(now.tv_sec - trigger.tv_sec) * 1000.0 +
                    (double)(now.tv_usec - trigger.tv_usec) / 1000.0;
        fprintf(stderr, "%s!!! (at least %.3f ms long)\n", capture ? "overrun" : "underrun", ms);
        err = snd_pcm_prepare(env->pcm);
        if (err < 0) {
            fprintf(stderr, "xrun: prepare error: %s\n", snd_strerror(err));
            return err;
        }
        return 0;
    }
    if (state == SND_PCM_STATE_DRAINING && capture) {
        fprintf(stderr, "capture stream format change? attempting recover...\n");
        err = snd_pcm_prepare(env->pcm);
        if (err < 0) {
            fprintf(stderr, "xrun(DRAINING): prepare error: %s\n", snd_strerror(err));
            return err;
        }
        return 0;
    }
    return -1;
}

int alsa_suspend(AlsaEnv *env)
{
    if (env == nullptr || env->pcm == nullptr)
        return -1;
    int err;
    while ((err = snd_pcm_resume(env->pcm)) == -EAGAIN)
        sleep(1);
    if (err < 0) {
        fprintf(stderr, "Failed. Restarting stream.\n");
        err = snd_pcm_prepare(env->pcm);
        if (err < 0)
            fprintf(stderr, "suspend: prepare error: %s\n", snd_strerror(err));
    }
    return err;
}

snd_pcm_sframes_t alsa_pcm_read(AlsaEnv *env, void *buf, snd_pcm_uframes_t frames)
{
    if (env == nullptr || env->pcm == nullptr || buf == nullptr)
        return -EBADFD;
    snd_pcm_sframes_t r = snd_pcm_readi(env->pcm, buf, frames);
    if (r == -EAGAIN || (r >= 0 && (snd_pcm_uframes_t)r < frames))
        snd_pcm_wait(env->pcm, kPcmWaitMs);
    else if (r == -EPIPE)
        alsa_xrun(env, ALSA_CAPTURE);
    else if (r == -ESTRPIPE)
        alsa_suspend(env);
    else if (r < 0)
        fprintf(stderr, "read error: %s\n", snd_strerror((int)r));
    return r;
}

int alsa_pcm_read_failed(snd_pcm_sframes_t result)
{
    return result < 0 && result != -EAGAIN && result != -EPIPE && result != -ESTRPIPE ? 1 : 0;
}

snd_pcm_sframes_t alsa_pcm_write(AlsaEnv *env, const void *buf, snd_pcm_uframes_t frames)
{
    if (env == nullptr || env->pcm == nullptr || buf == nullptr)
        return -EBADFD;
    const uint8_t *data = (const uint8_t *)buf;
    const size_t frameBytes = env->bitsPerFrame / 8;
    snd_pcm_uframes_t written = 0;
    while (written < frames) {
        snd_pcm_sframes_t r =
            snd_pcm_writei(env->pcm, data + written * frameBytes, frames - written);
        if (r == -EAGAIN || (r >= 0 && (snd_pcm_uframes_t)r < frames - written)) {
            if (r > 0)
                written += (snd_pcm_uframes_t)r;
            snd_pcm_wait(env->pcm, kPcmWaitMs);
        } else if (r == -EPIPE || r == -ESTRPIPE) {
            // A stream that cannot be recovered ends the write: trying again would never end.
            const int err = r == -EPIPE ? alsa_xrun(env, ALSA_PLAYBACK) : alsa_suspend(env);
            if (err < 0)
                return err;
        } else if (r < 0) {
            fprintf(stderr, "write error: %s", snd_strerror((int)r));
            return r;
        } else {
            written += (snd_pcm_uframes_t)r;
        }
    }
    return (snd_pcm_sframes_t)written;
}

int alsa_get_state(AlsaEnv *env)
{
    if (env == nullptr || env->pcm == nullptr)
        return 0;
    return snd_pcm_state(env->pcm) == SND_PCM_STATE_RUNNING ? 1 : 0;
}

int alsa_close(AlsaEnv *env, int noDrain, int nonblock)
{
    if (env == nullptr || env->pcm == nullptr)
        return 0;
    if (!noDrain) {
        snd_pcm_nonblock(env->pcm, 0);
        snd_pcm_drain(env->pcm);
        snd_pcm_nonblock(env->pcm, nonblock);
    }
    snd_pcm_close(env->pcm);
    return 0;
}

long alsa_volume_from_percent(long min, long max, int percent)
{
    // The rounding up is done exactly in integers: a scale factor of 0.01 in floating point
    // would turn exact results such as 7.0 into 7.000000000000001 and round them up to 8.
    int32_t scaled = (int32_t)(max - min) * percent;
    long v = min + (scaled >= 0 ? (scaled + 99) / 100 : -(-scaled / 100));
    if (v < min)
        v = min;
    if (v > max)
        v = max;
    return v;
}

int alsa_percent_from_volume(long value, long min, long max)
{
    if (max == min)
        return 0;
    return (int)lround((double)(value - min) / (double)(max - min) * 100.0);
}

int alsa_set_volume(int element, int percent)
{
    snd_mixer_t *mixer;
    snd_mixer_elem_t *elem;
    if (mixerOpen(element, &mixer, &elem) < 0)
        return -1;
    int ret = -1;
    long min = 0, max = 0;
    if (!snd_mixer_selem_has_playback_volume(elem) ||
        snd_mixer_selem_get_playback_volume_range(elem, &min, &max) < 0) {
        fprintf(stderr, "Unable to get playback volume\n");
    } else {
        long v = alsa_volume_from_percent(min, max, percent);
        ret = snd_mixer_selem_set_playback_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, v) < 0 ? -1 : 0;
        if (element != 1 &&
            snd_mixer_selem_set_playback_volume(elem, SND_MIXER_SCHN_FRONT_RIGHT, v) < 0)
            ret = -1;
    }
    snd_mixer_close(mixer);
    return ret;
}

int alsa_get_volume(int element, int *percent)
{
    snd_mixer_t *mixer;
    snd_mixer_elem_t *elem;
    if (mixerOpen(element, &mixer, &elem) < 0)
        return -1;
    int ret = -1;
    long min = 0, max = 0, value = 0;
    if (!snd_mixer_selem_has_playback_volume(elem) ||
        snd_mixer_selem_get_playback_volume_range(elem, &min, &max) < 0 ||
        snd_mixer_selem_get_playback_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0) {
        fprintf(stderr, "Unable to get playback volume\n");
    } else {
        if (percent != nullptr)
            *percent = alsa_percent_from_volume(value, min, max);
        ret = 0;
    }
    snd_mixer_close(mixer);
    return ret;
}

int alsa_set_playback_mute(int mute)
{
    snd_mixer_t *mixer;
    snd_mixer_elem_t *elem;
    if (mixerOpen(0, &mixer, &elem) < 0)
        return -1;
    int ret = -1;
    if (snd_mixer_selem_has_playback_switch(elem))
        ret = snd_mixer_selem_set_playback_switch_all(elem, mute ? 0 : 1) < 0 ? -1 : 0;
    snd_mixer_close(mixer);
    return ret;
}

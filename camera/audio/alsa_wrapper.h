// ALSA devices and the board's mixer: a thin layer over libasound that every audio path uses.
#pragma once

#include <stdint.h>

#include <alsa/asoundlib.h>

// The environment of one PCM stream. The caller fills format, channels, rate and the buffer
// wishes; alsa_set_params fills in what the device granted.
struct AlsaEnv {
    snd_pcm_t *pcm;        // null when closed
    int32_t format;        // ALSA sample format code (2: signed 16-bit little-endian)
    uint32_t periodFrames; // granted period size
    uint32_t bufferFrames; // requested buffer size in frames, 0 = not given; granted size
    uint32_t channels;
    uint32_t rate;         // requested rate, replaced by the granted one
    uint32_t bufferTime;   // requested buffer time in us, 0 = not given; granted time
    uint32_t periodBytes;  // bytes of one read or write
    uint32_t bitsPerFrame; // physical sample width x channels
};

// The board's sound card: the PCM every stream here opens, and the card whose mixer holds the
// speaker and microphone boost elements.
constexpr const char *ALSA_PCM_DEVICE = "plughw:0,0";
constexpr const char *ALSA_MIXER_CARD = "default";

// Stream directions of alsa_open.
enum { ALSA_PLAYBACK = 0, ALSA_CAPTURE = 1 };

// Opens a PCM (non-blocking when asked) and leaves the handle in non-blocking mode.
snd_pcm_t *alsa_open(const char *name, int capture, int nonblock);
// Negotiates hardware and software parameters; delays in microseconds. 0 or negative.
int alsa_set_params(AlsaEnv *env, int startDelay, int stopDelay);
// Recovery after an overrun (capture 1) or underrun (capture 0).
int alsa_xrun(AlsaEnv *env, int capture);
// Recovery after a suspend.
int alsa_suspend(AlsaEnv *env);
// One read of up to `frames` frames into buf, the way every capture here reads a period: a full
// read returns at once; a short one (none included) and the again error wait up to a second for
// the device; a broken pipe recovers from the overrun (alsa_xrun) and a suspend resumes the stream
// (alsa_suspend); any other error prints "read error: %s\n". The raw result of snd_pcm_readi in
// every case, so that the caller sees what happened; -EBADFD without a stream or a buffer.
snd_pcm_sframes_t alsa_pcm_read(AlsaEnv *env, void *buf, snd_pcm_uframes_t frames);
// 1 when a result of alsa_pcm_read is an error it could not deal with (the stream is lost), 0 for
// frames and for the again, overrun and suspend results it dealt with.
int alsa_pcm_read_failed(snd_pcm_sframes_t result);
// Writes all `frames` frames of buf: after a short write or the again error it waits up to a
// second and writes the rest; after an underrun (alsa_xrun) or a suspend (alsa_suspend) it writes
// again, unless that recovery failed, whose error ends the write. Any other error prints
// "write error: %s" and ends the write. The frames written, which
// are all of them, or that error; -EBADFD without a stream or a buffer.
snd_pcm_sframes_t alsa_pcm_write(AlsaEnv *env, const void *buf, snd_pcm_uframes_t frames);
// 1 while the stream runs, else 0.
int alsa_get_state(AlsaEnv *env);
// Drains first unless noDrain; the caller clears env->pcm afterwards.
int alsa_close(AlsaEnv *env, int noDrain, int nonblock);

// Mixer of card ALSA_MIXER_CARD. Element selector: 1 the microphone boost, anything else the speaker.
int alsa_set_volume(int element, int percent);
int alsa_get_volume(int element, int *percent);
int alsa_set_playback_mute(int mute);

// The level arithmetic of the mixer functions: the raw value for a percentage of [min, max]
// (rounded up, kept inside the range), and the percentage of a raw value (0 for an empty range).
long alsa_volume_from_percent(long min, long max, int percent);
int alsa_percent_from_volume(long value, long min, long max);

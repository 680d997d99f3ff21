/*
 * The simulated board's sound device: an ALSA external PCM (ioplug) that runs in real time.
 *
 * Capture hands out samples from a raw file (S16_LE mono, at whatever rate is opened) or a
 * generated sine tone; playback appends what is written to a raw file. Unlike ALSA's own
 * file/null plugins it has a clock: frames become available (capture) or are consumed
 * (playback) at the opened rate, a period at a time as with a DMA interrupt per period, a
 * timerfd ticking once per period wakes pollers, and a reader or writer that falls behind by the
 * stop threshold gets an overrun or underrun as on hardware. Capture is lossless across an
 * overrun: after recovery the samples go on where the application stopped reading.
 *
 * Configuration (all optional):
 *   capture_file PATH      samples to capture; silence after their end unless capture_loop
 *   capture_loop BOOL      start the file again at its end
 *   tone_hz N              without a capture file: a sine of N Hz (0 = silence), default 440
 *   tone_amplitude N       peak of the tone, default 8000
 *   playback_file PATH     where playback lands (truncated at open); none: discarded
 *   rate_min N, rate_max N          granted rates, default 8000..48000
 *   buffer_bytes_max N     largest buffer, default 65536 bytes
 *   periods_min N, periods_max N    periods per buffer, default 2..64
 *   suspend_after_ms N     once, N ms after a start, the stream is suspended (as by a system
 *                          sleep) until it is resumed
 * Numbers may also be given as strings, so that they can come from environment variables.
 */
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

typedef struct {
    snd_pcm_ioplug_t io;
    int timer_fd;
    int capture_fd;
    int capture_loop;
    int playback_fd;
    unsigned int tone_hz;
    unsigned int tone_amplitude;
    unsigned int suspend_after_ms;
    int suspended_once;

    /* Counted from the last prepare, in frames. */
    uint64_t hw_frames;
    uint64_t appl_frames;
    uint64_t source_frame; /* next tone sample */
    uint64_t start_ns;

    snd_pcm_uframes_t avail_min;
    snd_pcm_uframes_t stop_threshold;
    snd_pcm_uframes_t boundary;
} q7sim_t;

static uint64_t now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

static void timer_set(q7sim_t *s, uint64_t interval_ns)
{
    struct itimerspec its;
    memset(&its, 0, sizeof(its));
    its.it_interval.tv_sec = (time_t)(interval_ns / 1000000000ull);
    its.it_interval.tv_nsec = (long)(interval_ns % 1000000000ull);
    its.it_value = its.it_interval;
    timerfd_settime(s->timer_fd, 0, &its, NULL);
}

/* Frames the clock has moved since start, in whole periods as a DMA interrupt would report
 * them; the stream's state decides what that means. */
static uint64_t clock_frames(const q7sim_t *s)
{
    uint64_t elapsed = now_ns() - s->start_ns;
    /* Split so that the product cannot overflow in any run length. */
    uint64_t frames =
        elapsed / 1000000000ull * s->io.rate + elapsed % 1000000000ull * s->io.rate / 1000000000ull;
    return frames - frames % s->io.period_size;
}

/* Brings hw_frames up to the clock. Returns 0, or -EPIPE when the application fell behind. */
static int update_hw(q7sim_t *s)
{
    snd_pcm_state_t state = s->io.state;
    if (state != SND_PCM_STATE_RUNNING && state != SND_PCM_STATE_DRAINING)
        return 0;
    if (s->suspend_after_ms != 0 && !s->suspended_once &&
        now_ns() - s->start_ns >= (uint64_t)s->suspend_after_ms * 1000000ull) {
        s->suspended_once = 1;
        snd_pcm_ioplug_set_state(&s->io, SND_PCM_STATE_SUSPENDED);
        return -ESTRPIPE;
    }
    uint64_t frames = clock_frames(s);
    uint64_t buffer = s->io.buffer_size;
    if (s->io.stream == SND_PCM_STREAM_CAPTURE) {
        uint64_t avail = frames - s->appl_frames;
        if (avail >= s->stop_threshold)
            return -EPIPE;
        if (avail > buffer)
            frames = s->appl_frames + buffer;
    } else {
        if (frames >= s->appl_frames) {
            /* Buffer ran empty: the end of a drain, or an underrun. */
            uint64_t avail = buffer + frames - s->appl_frames;
            if (state != SND_PCM_STATE_DRAINING && avail >= s->stop_threshold)
                return -EPIPE;
            frames = s->appl_frames;
        }
    }
    if (frames > s->hw_frames)
        s->hw_frames = frames;
    return 0;
}

static snd_pcm_uframes_t avail_now(const q7sim_t *s)
{
    if (s->io.stream == SND_PCM_STREAM_CAPTURE)
        return (snd_pcm_uframes_t)(s->hw_frames - s->appl_frames);
    return (snd_pcm_uframes_t)(s->io.buffer_size - (s->appl_frames - s->hw_frames));
}

static int q7sim_start(snd_pcm_ioplug_t *io)
{
    q7sim_t *s = io->private_data;
    s->start_ns = now_ns();
    uint64_t period_ns = ((uint64_t)io->period_size * 1000000000ull + io->rate - 1) / io->rate;
    timer_set(s, period_ns);
    return 0;
}

/* Back from a suspend: the stream runs on from where it stopped. */
static int q7sim_resume(snd_pcm_ioplug_t *io)
{
    q7sim_t *s = io->private_data;
    if (io->state != SND_PCM_STATE_SUSPENDED)
        return 0;
    q7sim_start(io);
    s->start_ns -= s->hw_frames / io->rate * 1000000000ull +
                   s->hw_frames % io->rate * 1000000000ull / io->rate;
    return snd_pcm_ioplug_set_state(io, SND_PCM_STATE_RUNNING);
}

static int q7sim_stop(snd_pcm_ioplug_t *io)
{
    q7sim_t *s = io->private_data;
    timer_set(s, 0);
    return 0;
}

static snd_pcm_sframes_t q7sim_pointer(snd_pcm_ioplug_t *io)
{
    q7sim_t *s = io->private_data;
    int err = update_hw(s);
    if (err < 0)
        return err;
    return (snd_pcm_sframes_t)(s->hw_frames % s->boundary);
}

static int16_t next_capture_sample(q7sim_t *s)
{
    if (s->capture_fd >= 0) {
        int16_t v;
        for (int tries = 0; tries < 2; tries++) {
            ssize_t n = read(s->capture_fd, &v, sizeof(v));
            if (n == (ssize_t)sizeof(v))
                return v;
            if (!s->capture_loop || lseek(s->capture_fd, 0, SEEK_SET) != 0)
                break;
        }
        return 0;
    }
    if (s->tone_hz == 0)
        return 0;
    double t = (double)(s->source_frame++ % s->io.rate) / s->io.rate;
    return (int16_t)lrint(s->tone_amplitude * sin(2.0 * M_PI * s->tone_hz * t));
}

static snd_pcm_sframes_t q7sim_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                        snd_pcm_uframes_t offset, snd_pcm_uframes_t size)
{
    q7sim_t *s = io->private_data;
    if (io->stream == SND_PCM_STREAM_CAPTURE) {
        for (snd_pcm_uframes_t f = 0; f < size; f++) {
            int16_t v = next_capture_sample(s);
            for (unsigned int c = 0; c < io->channels; c++) {
                const snd_pcm_channel_area_t *a = &areas[c];
                char *p = (char *)a->addr + (a->first + a->step * (offset + f)) / 8;
                memcpy(p, &v, sizeof(v));
            }
        }
    } else if (s->playback_fd >= 0) {
        /* RW interleaved access: the frames lie one after another in the first area. */
        const snd_pcm_channel_area_t *a = &areas[0];
        const char *p = (const char *)a->addr + (a->first + a->step * offset) / 8;
        size_t bytes = size * io->channels * sizeof(int16_t);
        while (bytes > 0) {
            ssize_t n = write(s->playback_fd, p, bytes);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return -EIO;
            p += n;
            bytes -= (size_t)n;
        }
    }
    s->appl_frames += size;
    return (snd_pcm_sframes_t)size;
}

static int q7sim_sw_params(snd_pcm_ioplug_t *io, snd_pcm_sw_params_t *params)
{
    q7sim_t *s = io->private_data;
    snd_pcm_sw_params_get_avail_min(params, &s->avail_min);
    snd_pcm_sw_params_get_stop_threshold(params, &s->stop_threshold);
    snd_pcm_sw_params_get_boundary(params, &s->boundary);
    if (s->avail_min == 0)
        s->avail_min = 1;
    return 0;
}

static int q7sim_prepare(snd_pcm_ioplug_t *io)
{
    q7sim_t *s = io->private_data;
    timer_set(s, 0);
    s->hw_frames = 0;
    s->appl_frames = 0;
    if (s->boundary == 0) {
        snd_pcm_sw_params_t *sw;
        snd_pcm_sw_params_alloca(&sw);
        if (snd_pcm_sw_params_current(io->pcm, sw) == 0)
            q7sim_sw_params(io, sw);
        if (s->boundary == 0)
            s->boundary = io->buffer_size;
    }
    return 0;
}

static int q7sim_poll_revents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds,
                              unsigned short *revents)
{
    q7sim_t *s = io->private_data;
    (void)pfd;
    (void)nfds;
    uint64_t ticks;
    while (read(s->timer_fd, &ticks, sizeof(ticks)) > 0) {
    }
    /* The descriptor is a timer, which only ever becomes readable; say what the stream wants. */
    unsigned short ready = io->stream == SND_PCM_STREAM_CAPTURE ? POLLIN : POLLOUT;
    *revents = 0;
    switch (io->state) {
    case SND_PCM_STATE_RUNNING:
        if (update_hw(s) < 0 || avail_now(s) >= s->avail_min)
            *revents = ready;
        break;
    case SND_PCM_STATE_PREPARED:
        if (io->stream == SND_PCM_STREAM_PLAYBACK && avail_now(s) >= s->avail_min)
            *revents = ready;
        break;
    case SND_PCM_STATE_DRAINING:
        *revents = ready;
        break;
    default:
        *revents = ready | POLLERR;
        break;
    }
    return 0;
}

static int q7sim_close(snd_pcm_ioplug_t *io)
{
    q7sim_t *s = io->private_data;
    close(s->timer_fd);
    if (s->capture_fd >= 0)
        close(s->capture_fd);
    if (s->playback_fd >= 0)
        close(s->playback_fd);
    free(s);
    return 0;
}

static const snd_pcm_ioplug_callback_t q7sim_callback = {
    .start = q7sim_start,
    .stop = q7sim_stop,
    .pointer = q7sim_pointer,
    .transfer = q7sim_transfer,
    .close = q7sim_close,
    .sw_params = q7sim_sw_params,
    .prepare = q7sim_prepare,
    .resume = q7sim_resume,
    .poll_revents = q7sim_poll_revents,
};

/* Reads an integer given as a number or as a decimal string. */
static int get_uint(snd_config_t *n, unsigned int *out)
{
    long v;
    const char *str;
    if (snd_config_get_integer(n, &v) == 0) {
        if (v < 0)
            return -EINVAL;
        *out = (unsigned int)v;
        return 0;
    }
    if (snd_config_get_string(n, &str) == 0) {
        char *end;
        if (*str == '\0')
            return 0; /* empty: keep the default */
        unsigned long u = strtoul(str, &end, 10);
        if (*end != '\0')
            return -EINVAL;
        *out = (unsigned int)u;
        return 0;
    }
    return -EINVAL;
}

SND_PCM_PLUGIN_DEFINE_FUNC(q7sim)
{
    const char *capture_file = NULL;
    const char *playback_file = NULL;
    int capture_loop = 0;
    unsigned int tone_hz = 440, tone_amplitude = 8000, suspend_after_ms = 0;
    unsigned int rate_min = 8000, rate_max = 48000;
    unsigned int buffer_bytes_max = 65536;
    unsigned int periods_min = 2, periods_max = 64;
    snd_config_iterator_t i, next;
    int err;
    (void)root;

    snd_config_for_each(i, next, conf)
    {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0)
            continue;
        err = 0;
        if (strcmp(id, "capture_file") == 0)
            err = snd_config_get_string(n, &capture_file);
        else if (strcmp(id, "playback_file") == 0)
            err = snd_config_get_string(n, &playback_file);
        else if (strcmp(id, "capture_loop") == 0)
            err = (capture_loop = snd_config_get_bool(n)) < 0 ? capture_loop : 0;
        else if (strcmp(id, "tone_hz") == 0)
            err = get_uint(n, &tone_hz);
        else if (strcmp(id, "suspend_after_ms") == 0)
            err = get_uint(n, &suspend_after_ms);
        else if (strcmp(id, "tone_amplitude") == 0)
            err = get_uint(n, &tone_amplitude);
        else if (strcmp(id, "rate_min") == 0)
            err = get_uint(n, &rate_min);
        else if (strcmp(id, "rate_max") == 0)
            err = get_uint(n, &rate_max);
        else if (strcmp(id, "buffer_bytes_max") == 0)
            err = get_uint(n, &buffer_bytes_max);
        else if (strcmp(id, "periods_min") == 0)
            err = get_uint(n, &periods_min);
        else if (strcmp(id, "periods_max") == 0)
            err = get_uint(n, &periods_max);
        else {
            SNDERR("Unknown field %s", id);
            return -EINVAL;
        }
        if (err < 0) {
            SNDERR("Invalid value for %s", id);
            return -EINVAL;
        }
    }

    q7sim_t *s = calloc(1, sizeof(*s));
    if (s == NULL)
        return -ENOMEM;
    s->capture_fd = -1;
    s->playback_fd = -1;
    s->capture_loop = capture_loop;
    s->tone_hz = tone_hz;
    s->tone_amplitude = tone_amplitude;
    s->suspend_after_ms = suspend_after_ms;
    s->timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (s->timer_fd < 0) {
        err = -errno;
        free(s);
        return err;
    }
    if (stream == SND_PCM_STREAM_CAPTURE && capture_file != NULL && *capture_file != '\0') {
        s->capture_fd = open(capture_file, O_RDONLY | O_CLOEXEC);
        if (s->capture_fd < 0) {
            err = -errno;
            SNDERR("Cannot open capture file %s", capture_file);
            goto fail;
        }
    }
    if (stream == SND_PCM_STREAM_PLAYBACK && playback_file != NULL && *playback_file != '\0') {
        s->playback_fd = open(playback_file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (s->playback_fd < 0) {
            err = -errno;
            SNDERR("Cannot open playback file %s", playback_file);
            goto fail;
        }
    }

    s->io.version = SND_PCM_IOPLUG_VERSION;
    s->io.name = "Q7 simulated sound card";
    s->io.flags = SND_PCM_IOPLUG_FLAG_BOUNDARY_WA | SND_PCM_IOPLUG_FLAG_MONOTONIC;
    s->io.poll_fd = s->timer_fd;
    s->io.poll_events = POLLIN;
    s->io.mmap_rw = 0;
    s->io.callback = &q7sim_callback;
    s->io.private_data = s;

    err = snd_pcm_ioplug_create(&s->io, name, stream, mode);
    if (err < 0)
        goto fail;

    static const unsigned int access_list[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int format_list[] = {SND_PCM_FORMAT_S16_LE};
    if ((err = snd_pcm_ioplug_set_param_list(&s->io, SND_PCM_IOPLUG_HW_ACCESS, 1, access_list)) <
            0 ||
        (err = snd_pcm_ioplug_set_param_list(&s->io, SND_PCM_IOPLUG_HW_FORMAT, 1, format_list)) <
            0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_RATE, rate_min,
                                               rate_max)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64,
                                               buffer_bytes_max / periods_min)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_BUFFER_BYTES,
                                               64 * periods_min, buffer_bytes_max)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&s->io, SND_PCM_IOPLUG_HW_PERIODS, periods_min,
                                               periods_max)) < 0) {
        snd_pcm_ioplug_delete(&s->io); /* calls q7sim_close, which frees s */
        return err;
    }

    *pcmp = s->io.pcm;
    return 0;

fail:
    if (s->capture_fd >= 0)
        close(s->capture_fd);
    if (s->playback_fd >= 0)
        close(s->playback_fd);
    close(s->timer_fd);
    free(s);
    return err;
}

SND_PCM_PLUGIN_SYMBOL(q7sim);

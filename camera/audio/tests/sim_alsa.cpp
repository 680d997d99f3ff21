#include "sim_alsa.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

namespace {

int g_configCount = 0;

void useConfig(const std::string &dir, const std::string &text)
{
    std::string path =
        dir + "/alsa-" + std::to_string(getpid()) + "-" + std::to_string(++g_configCount) + ".conf";
    if (!writeText(path, text))
        ADD_FAILURE() << "could not write " << path;
    setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

template <typename F> long withElement(const char *element, F read)
{
    snd_mixer_t *m = nullptr;
    long result = -1000;
    if (snd_mixer_open(&m, 0) < 0)
        return result;
    if (snd_mixer_attach(m, "default") == 0 && snd_mixer_selem_register(m, nullptr, nullptr) == 0 &&
        snd_mixer_load(m) == 0) {
        snd_mixer_selem_id_t *sid;
        snd_mixer_selem_id_alloca(&sid);
        snd_mixer_selem_id_set_name(sid, element);
        snd_mixer_elem_t *e = snd_mixer_find_selem(m, sid);
        if (e != nullptr)
            result = read(e);
    }
    snd_mixer_close(m);
    return result;
}

} // namespace

void sim_alsa_use(const std::string &dir, const std::string &extra)
{
    useConfig(dir, std::string("<") + Q7SIM_CONF + ">\n" + extra + "\n");
}

void sim_alsa_use_system(const std::string &dir, const std::string &extra)
{
    useConfig(dir, "</usr/share/alsa/alsa.conf>\n" + extra + "\n");
}

void write_samples(const std::string &path, const std::vector<int16_t> &samples)
{
    const uint8_t *bytes = (const uint8_t *)samples.data();
    ASSERT_TRUE(writeFile(path, Bytes(bytes, bytes + samples.size() * sizeof(int16_t)))) << path;
}

std::vector<int16_t> test_signal(size_t n)
{
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; i++)
        s[i] = (int16_t)(uint16_t)(i * 7919u + (i >> 5) * 13u);
    return s;
}

long mixer_read(const char *element, int channel)
{
    return withElement(element, [channel](snd_mixer_elem_t *e) {
        long v;
        if (snd_mixer_selem_get_playback_volume(e, (snd_mixer_selem_channel_id_t)channel, &v) < 0)
            return -1000L;
        return v;
    });
}

int mixer_switch(const char *element, int channel)
{
    return (int)withElement(element, [channel](snd_mixer_elem_t *e) {
        int v;
        if (snd_mixer_selem_get_playback_switch(e, (snd_mixer_selem_channel_id_t)channel, &v) < 0)
            return -1L;
        return (long)v;
    });
}

bool file_open_here(const std::string &path)
{
    char want[PATH_MAX];
    if (realpath(path.c_str(), want) == nullptr)
        return false;
    for (int fd = 0; fd < 1024; fd++) {
        char link[64], target[PATH_MAX];
        snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, target, sizeof(target) - 1);
        if (n <= 0)
            continue;
        target[n] = '\0';
        if (strcmp(target, want) == 0)
            return true;
    }
    return false;
}

bool wait_for(double seconds, bool (*done)(const void *), const void *arg)
{
    for (int i = 0; i < (int)(seconds * 100); i++) {
        if (done(arg))
            return true;
        usleep(10 * 1000);
    }
    return done(arg);
}

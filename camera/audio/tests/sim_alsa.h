// Test helpers: point libasound at the simulated board's sound card (the configuration built in
// camera/audio/sim) with extra definitions, and write the samples it plays from.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "testsupport/files.h"
#include "testsupport/temp_dir.h"

// Writes a new configuration file that includes the simulated board's and adds `extra`, and
// makes libasound use it from the next open on. Every call gets a file of its own name, since
// libasound rereads its configuration only when the file list or their times change.
void sim_alsa_use(const std::string &dir, const std::string &extra = "");
// The same without the simulated board: only the system's configuration and `extra`.
void sim_alsa_use_system(const std::string &dir, const std::string &extra = "");

void write_samples(const std::string &path, const std::vector<int16_t> &samples);
// Deterministic test signal: a sweep of values that differs from sample to sample.
std::vector<int16_t> test_signal(size_t n);

// The playback volume of one channel of a simple mixer element of card "default", read through
// libasound directly; -1000 when it cannot be read.
long mixer_read(const char *element, int channel);
// The playback switch of one channel; -1 when it cannot be read.
int mixer_switch(const char *element, int channel);

// Whether this process has `path` open (for knowing that a thread has let go of its files).
bool file_open_here(const std::string &path);
// Polls `done` every 10 ms for up to `seconds`; its last answer.
bool wait_for(double seconds, bool (*done)(const void *), const void *arg);

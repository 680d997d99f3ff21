// Test helpers: WAV files built chunk by chunk.
#pragma once

#include <stdint.h>

#include <vector>

// Appends a RIFF chunk: its id, the body's size and the body.
void chunk(std::vector<uint8_t> &v, const char *id, const std::vector<uint8_t> &body);
// The body of a "fmt " chunk for 22 050 Hz mono 16-bit PCM.
std::vector<uint8_t> fmtBody();
// A WAV of fmt, LIST and data chunks around the samples.
std::vector<uint8_t> wavWithList(const std::vector<int16_t> &samples);

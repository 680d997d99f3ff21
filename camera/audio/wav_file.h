// PCM WAV files of the sound test threads: the fields of the 44-byte header that the recorder
// writes (RIFF form, "fmt " chunk, head of the "data" chunk) and the walk over a file's chunks to
// its data that the player does.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Sizes of the fixed parts.
constexpr uint32_t WAV_CHUNK_HEAD_BYTES = 8; // identifier, size
constexpr uint32_t WAV_FMT_BYTES = 16;       // body of a PCM "fmt " chunk
constexpr uint32_t WAV_HEADER_BYTES = 44;    // "RIFF" head and "WAVE", "fmt " chunk, "data" head
constexpr uint16_t WAV_FORMAT_PCM = 1;

// The fields of a PCM WAV header, in the order they lie in the file.
struct WavHeader {
    uint32_t riffSize;  // bytes after the RIFF size field: file length - 8
    uint16_t formatTag; // WAV_FORMAT_PCM
    uint16_t channels;
    uint32_t rate;       // frames per second
    uint32_t byteRate;   // rate x blockAlign
    uint16_t blockAlign; // bytes of one frame: channels x bits / 8
    uint16_t bits;       // bits of one sample
    uint32_t dataSize;   // bytes of samples in the "data" chunk
};

// A PCM header for the channels, rate and sample width, with byte rate and block align derived
// from them; the two sizes are the caller's.
WavHeader wav_pcm_header(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t riffSize,
                         uint32_t dataSize);

// A chunk head: the four-character identifier and the little-endian size of the body.
void wav_put_chunk_head(uint8_t out[WAV_CHUNK_HEAD_BYTES], const char *id, uint32_t size);
// The body of the "fmt " chunk: format tag, channels, rate, byte rate, block align, bits.
void wav_put_fmt(uint8_t out[WAV_FMT_BYTES], const WavHeader *h);
// The 44 bytes: "RIFF", riffSize, "WAVE", "fmt " chunk of 16 bytes, "data", dataSize.
void wav_put_header(uint8_t out[WAV_HEADER_BYTES], const WavHeader *h);
// The fields of a 44-byte header; -1 unless its identifiers and its fmt size are those that
// wav_put_header writes.
int wav_get_header(const uint8_t in[WAV_HEADER_BYTES], WavHeader *h);

// Reads up to n bytes, until they are all there or the file ends; the bytes read.
size_t wav_read(FILE *fp, void *buf, size_t n);
// Walks the RIFF chunks of a WAV file from its start to the "data" chunk. Returns 0 with the
// file positioned at the data and its size in *dataSize, or -1 for a file without a RIFF/WAVE
// header, without a "data" chunk or with a negative data size.
int wav_find_data(FILE *fp, uint32_t *dataSize);

#include "audio/wav_file.h"

#include <string.h>
#include <sys/types.h>

namespace {

const size_t kFormBytes = 12; // "RIFF", size, "WAVE"

// Offsets inside the 44-byte header.
const size_t kRiffId = 0;
const size_t kRiffSize = 4;
const size_t kWaveId = 8;
const size_t kFmtHead = 12;
const size_t kFmtSize = 16;
const size_t kFmtBody = 20;
const size_t kDataHead = 36;
const size_t kDataSize = 40;

// Offsets inside the fmt body.
const size_t kFormatTag = 0;
const size_t kChannels = 2;
const size_t kRate = 4;
const size_t kByteRate = 8;
const size_t kBlockAlign = 12;
const size_t kBits = 14;

void put16(uint8_t *p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t *p, uint32_t v)
{
    put16(p, (uint16_t)v);
    put16(p + 2, (uint16_t)(v >> 16));
}

uint16_t get16(const uint8_t *p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

uint32_t get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

} // namespace

WavHeader wav_pcm_header(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t riffSize,
                         uint32_t dataSize)
{
    WavHeader h;
    h.riffSize = riffSize;
    h.formatTag = WAV_FORMAT_PCM;
    h.channels = channels;
    h.rate = rate;
    h.blockAlign = (uint16_t)(channels * bits / 8);
    h.byteRate = rate * h.blockAlign;
    h.bits = bits;
    h.dataSize = dataSize;
    return h;
}

void wav_put_chunk_head(uint8_t out[WAV_CHUNK_HEAD_BYTES], const char *id, uint32_t size)
{
    memcpy(out, id, 4);
    put32(out + 4, size);
}

void wav_put_fmt(uint8_t out[WAV_FMT_BYTES], const WavHeader *h)
{
    put16(out + kFormatTag, h->formatTag);
    put16(out + kChannels, h->channels);
    put32(out + kRate, h->rate);
    put32(out + kByteRate, h->byteRate);
    put16(out + kBlockAlign, h->blockAlign);
    put16(out + kBits, h->bits);
}

void wav_put_header(uint8_t out[WAV_HEADER_BYTES], const WavHeader *h)
{
    wav_put_chunk_head(out + kRiffId, "RIFF", h->riffSize);
    memcpy(out + kWaveId, "WAVE", 4);
    wav_put_chunk_head(out + kFmtHead, "fmt ", WAV_FMT_BYTES);
    wav_put_fmt(out + kFmtBody, h);
    wav_put_chunk_head(out + kDataHead, "data", h->dataSize);
}

int wav_get_header(const uint8_t in[WAV_HEADER_BYTES], WavHeader *h)
{
    if (memcmp(in + kRiffId, "RIFF", 4) != 0 || memcmp(in + kWaveId, "WAVE", 4) != 0 ||
        memcmp(in + kFmtHead, "fmt ", 4) != 0 || get32(in + kFmtSize) != WAV_FMT_BYTES ||
        memcmp(in + kDataHead, "data", 4) != 0)
        return -1;
    const uint8_t *f = in + kFmtBody;
    h->riffSize = get32(in + kRiffSize);
    h->formatTag = get16(f + kFormatTag);
    h->channels = get16(f + kChannels);
    h->rate = get32(f + kRate);
    h->byteRate = get32(f + kByteRate);
    h->blockAlign = get16(f + kBlockAlign);
    h->bits = get16(f + kBits);
    h->dataSize = get32(in + kDataSize);
    return 0;
}

size_t wav_read(FILE *fp, void *buf, size_t n)
{
    uint8_t *p = (uint8_t *)buf;
    size_t got = 0;
    while (got < n) {
        size_t r = fread(p + got, 1, n - got, fp);
        if (r == 0)
            break;
        got += r;
    }
    return got;
}

int wav_find_data(FILE *fp, uint32_t *dataSize)
{
    uint8_t h[kFormBytes];
    if (wav_read(fp, h, sizeof(h)) != sizeof(h) || memcmp(h + kRiffId, "RIFF", 4) != 0 ||
        memcmp(h + kWaveId, "WAVE", 4) != 0)
        return -1;
    for (;;) {
        uint8_t c[WAV_CHUNK_HEAD_BYTES];
        if (wav_read(fp, c, sizeof(c)) != sizeof(c))
            return -1;
        uint32_t size = get32(c + 4);
        if (memcmp(c, "data", 4) == 0) {
            if ((int32_t)size < 0)
                return -1;
            *dataSize = size;
            return 0;
        }
        // Sizes are unsigned here so that every step goes forward: a "negative" size would
        // otherwise seek back onto the same chunk for ever.
        if (fseeko(fp, (off_t)size, SEEK_CUR) != 0)
            return -1;
    }
}

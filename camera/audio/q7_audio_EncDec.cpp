#include "audio/q7_audio_EncDec.h"

#include <stddef.h>

#include <array>

namespace {

// Code of one 14-bit signed value (the sample shifted right by 2).
constexpr uint8_t encode14(int x)
{
    int m = x < 0 ? -x : x;
    int k = 127;
    if (m <= 1)
        k = m;
    else if (m <= 30)
        k = (m - 1) / 2 + 1;
    else if (m <= 94)
        k = (m - 31) / 4 + 16;
    else if (m <= 222)
        k = (m - 95) / 8 + 32;
    else if (m <= 478)
        k = (m - 223) / 16 + 48;
    else if (m <= 990)
        k = (m - 479) / 32 + 64;
    else if (m <= 2014)
        k = (m - 991) / 64 + 80;
    else if (m <= 4062)
        k = (m - 2015) / 128 + 96;
    else if (m <= 7903)
        k = (m - 4063) / 256 + 112;
    else
        k = 127;
    return (uint8_t)(x >= 0 ? 255 - k : 127 - k);
}

constexpr int16_t decode8(uint8_t b)
{
    bool positive = b >= 128;
    int k = positive ? 255 - b : 127 - b;
    int m = 0;
    if (k <= 15)
        m = 2 * k;
    else if (k <= 31)
        m = 4 * k - 31;
    else if (k <= 47)
        m = 8 * k - 157;
    else if (k <= 63)
        m = 16 * k - 537;
    else if (k <= 79)
        m = 32 * k - 1553;
    else if (k <= 95)
        m = 64 * k - 4097;
    else if (k <= 111)
        m = 128 * k - 10209;
    else
        m = 256 * k - 24481;
    return (int16_t)((positive ? m : -m) * 4);
}

// One period is encoded per call on the audio intake thread, so the codes of all 16 384
// 14-bit values are looked up rather than searched for.
constexpr std::array<uint8_t, 16384> makeEncodeTable()
{
    std::array<uint8_t, 16384> t{};
    for (int x = -8192; x < 8192; x++)
        t[(size_t)(x + 8192)] = encode14(x);
    return t;
}

constexpr std::array<int16_t, 256> makeDecodeTable()
{
    std::array<int16_t, 256> t{};
    for (int b = 0; b < 256; b++)
        t[(size_t)b] = decode8((uint8_t)b);
    return t;
}

constexpr std::array<uint8_t, 16384> kEncode = makeEncodeTable();
constexpr std::array<int16_t, 256> kDecode = makeDecodeTable();

} // namespace

int AUDIO_audioEncode(int, uint8_t *dst, const int16_t *src, int size)
{
    int samples = size / 2;
    if (samples <= 0)
        return 0;
    for (int i = 0; i < samples; i++)
        dst[i] = kEncode[(size_t)((src[i] >> 2) + 8192)];
    return samples;
}

int AUDIO_audioDecode(int, const uint8_t *src, int16_t *dst, int count)
{
    for (int i = 0; i < count; i++)
        dst[i] = kDecode[src[i]];
    return 1;
}

// The G.711 mu-law codec: the documented values, FFmpeg's pcm_mulaw decoder as the peer for all
// 256 codes, and the quantisation error bound over every 16-bit input.
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include <gtest/gtest.h>

#include "audio/q7_audio_EncDec.h"
#include "sim_alsa.h"

namespace {

TEST(AudioCodec, EncodesDocumentedSamples)
{
    const struct {
        int16_t sample;
        uint8_t code;
    } cases[] = {{0, 0xFF},      {1, 0xFF}, {-1, 0x7E}, {32767, 0x80},
                 {-32768, 0x00}, {4, 0xFE}, {-4, 0x7E}};
    for (const auto &c : cases) {
        uint8_t out = 0x55;
        EXPECT_EQ(AUDIO_audioEncode(0, &out, &c.sample, 2), 1);
        EXPECT_EQ(out, c.code) << "sample " << c.sample;
    }
}

TEST(AudioCodec, DecodesDocumentedCodes)
{
    const struct {
        uint8_t code;
        int16_t sample;
    } cases[] = {{0xFF, 0}, {0x80, 32124}, {0x00, -32124}, {0x7F, 0}, {0xFE, 8}, {0x7E, -8}};
    for (const auto &c : cases) {
        int16_t out = 0x5555;
        EXPECT_EQ(AUDIO_audioDecode(0, &c.code, &out, 1), 1);
        EXPECT_EQ(out, c.sample) << "code " << (int)c.code;
    }
}

TEST(AudioCodec, SizeWithoutAWholeSampleWritesNothing)
{
    const int16_t src[2] = {1000, 2000};
    uint8_t dst[2] = {0x55, 0x55};
    EXPECT_EQ(AUDIO_audioEncode(0, dst, src, 1), 0);
    EXPECT_EQ(AUDIO_audioEncode(0, dst, src, 0), 0);
    EXPECT_EQ(dst[0], 0x55);
    EXPECT_EQ(AUDIO_audioEncode(0, dst, src, 3), 1); // the odd byte is no sample
    EXPECT_NE(dst[0], 0x55);
    EXPECT_EQ(dst[1], 0x55);
}

// A call larger than a 16-bit sample counter could index converts every sample.
TEST(AudioCodec, LongCallConvertsEverySample)
{
    const size_t n = 70000;
    std::vector<int16_t> src(n, 0);
    src[n - 1] = -32768;
    std::vector<uint8_t> dst(n, 0x55);
    EXPECT_EQ(AUDIO_audioEncode(0, dst.data(), src.data(), (int)(n * 2)), (int)n);
    EXPECT_EQ(dst[0], 0xFF);
    EXPECT_EQ(dst[65535], 0xFF);
    EXPECT_EQ(dst[65536], 0xFF);
    EXPECT_EQ(dst[n - 1], 0x00);
}

TEST(AudioCodec, AllCodesDecodeAsFfmpegDoes)
{
    TempDir tmp("q7audio");
    const std::string &dir = tmp.path();
    uint8_t codes[256];
    for (int i = 0; i < 256; i++)
        codes[i] = (uint8_t)i;
    ASSERT_TRUE(writeFile(dir + "/codes.ulaw", Bytes(codes, codes + sizeof(codes))));
    std::string cmd = "ffmpeg -hide_banner -loglevel error -y -f mulaw -ar 8000 -ac 1 -i " + dir +
                      "/codes.ulaw -f s16le -c:a pcm_s16le " + dir + "/codes.s16";
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    std::vector<uint8_t> ref = readFile(dir + "/codes.s16");
    ASSERT_EQ(ref.size(), 512u);

    int16_t ours[256];
    AUDIO_audioDecode(0, codes, ours, 256);
    for (int i = 0; i < 256; i++) {
        int16_t theirs = (int16_t)(ref[2 * i] | ref[2 * i + 1] << 8);
        EXPECT_EQ(ours[i], theirs) << "code " << i;
    }
}

// The width of the encoder's segment that holds a 14-bit magnitude.
int segmentStep(int m)
{
    const int ends[] = {1, 30, 94, 222, 478, 990, 2014, 4062, 7903};
    const int steps[] = {1, 2, 4, 8, 16, 32, 64, 128, 256};
    for (int i = 0; i < 9; i++) {
        if (m <= ends[i])
            return steps[i];
    }
    return 256; // clipped above 7903
}

TEST(AudioCodec, RoundTripStaysWithinTheSegmentStep)
{
    std::vector<int16_t> src(65536), back(65536);
    std::vector<uint8_t> codes(65536);
    for (int i = 0; i < 65536; i++)
        src[(size_t)i] = (int16_t)(i - 32768);
    ASSERT_EQ(AUDIO_audioEncode(0, codes.data(), src.data(), 65536 * 2), 65536);
    AUDIO_audioDecode(0, codes.data(), back.data(), 65536);
    for (int i = 0; i < 65536; i++) {
        int x = src[(size_t)i] >> 2;
        int y = back[(size_t)i] / 4;
        int m = x < 0 ? -x : x;
        ASSERT_LE(abs(y - x), segmentStep(m)) << "sample " << src[(size_t)i];
        ASSERT_TRUE(x == 0 || y == 0 || (x < 0) == (y < 0)) << "sign of " << src[(size_t)i];
    }
}

TEST(AudioCodec, DecodedValuesEncodeToTheirCode)
{
    for (int b = 0; b < 256; b++) {
        uint8_t code = (uint8_t)b, again = 0;
        int16_t s;
        AUDIO_audioDecode(0, &code, &s, 1);
        AUDIO_audioEncode(0, &again, &s, 2);
        // 0x7F is the negative zero; it decodes to 0, whose code is 0xFF.
        EXPECT_EQ(again, b == 0x7F ? 0xFF : code) << "code " << b;
    }
}

} // namespace

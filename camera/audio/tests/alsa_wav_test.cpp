// WAV files: the header the test recorder writes, and the player's walk over the RIFF chunks.
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

#include <vector>

#include <gtest/gtest.h>

#include "audio/wav_file.h"
#include "wav_build.h"

namespace {

// The bytes as a real file (a memory stream's seeks are cut to 32 bits on the board's processor).
FILE *asFile(const std::vector<uint8_t> &bytes)
{
    FILE *fp = tmpfile();
    if (fp != nullptr) {
        fwrite(bytes.data(), 1, bytes.size(), fp);
        rewind(fp);
    }
    return fp;
}

// The header of one second of 16 kHz mono 16-bit PCM, byte by byte as players read it.
const uint8_t kMono16k[WAV_HEADER_BYTES] = {
    'R',  'I',  'F',  'F',  0x24, 0x7D, 0x00, 0x00, 'W', 'A', 'V', 'E', // RIFF size 32 036
    'f',  'm',  't',  ' ',  0x10, 0x00, 0x00, 0x00,                     // fmt chunk of 16 bytes
    0x01, 0x00, 0x01, 0x00,                                             // PCM, mono
    0x80, 0x3E, 0x00, 0x00, 0x00, 0x7D, 0x00, 0x00,                     // 16 000 Hz, 32 000 bytes/s
    0x02, 0x00, 0x10, 0x00,                                             // block align 2, 16 bits
    'd',  'a',  't',  'a',  0x00, 0x7D, 0x00, 0x00,                     // 32 000 bytes of data
};

TEST(WavHeader, PcmHeaderIsWrittenAsPlayersReadIt)
{
    WavHeader h = wav_pcm_header(1, 16000, 16, 32036, 32000);
    uint8_t out[WAV_HEADER_BYTES];
    memset(out, 0xAA, sizeof(out));
    wav_put_header(out, &h);
    EXPECT_EQ(memcmp(out, kMono16k, sizeof(out)), 0);

    // Stereo doubles the frame: block align and byte rate follow the channels.
    h = wav_pcm_header(2, 22050, 16, 0, 0);
    EXPECT_EQ(h.blockAlign, 4);
    EXPECT_EQ(h.byteRate, 88200u);
}

TEST(WavHeader, FieldsAreReadBackAndForeignHeadersRefused)
{
    WavHeader h;
    ASSERT_EQ(wav_get_header(kMono16k, &h), 0);
    EXPECT_EQ(h.riffSize, 32036u);
    EXPECT_EQ(h.formatTag, WAV_FORMAT_PCM);
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(h.rate, 16000u);
    EXPECT_EQ(h.byteRate, 32000u);
    EXPECT_EQ(h.blockAlign, 2);
    EXPECT_EQ(h.bits, 16);
    EXPECT_EQ(h.dataSize, 32000u);

    const struct {
        size_t offset;
        uint8_t value;
        const char *what;
    } cases[] = {{0, 'X', "RIFF"},
                 {8, 'X', "WAVE"},
                 {12, 'X', "fmt "},
                 {16, 18, "fmt size"},
                 {36, 'X', "data"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t bad[WAV_HEADER_BYTES];
        memcpy(bad, kMono16k, sizeof(bad));
        bad[c.offset] = c.value;
        EXPECT_EQ(wav_get_header(bad, &h), -1);
    }
}

TEST(WavChunkWalk, FindsTheDataChunk)
{
    std::vector<int16_t> samples = {1, 2, 3};
    std::vector<uint8_t> wav = wavWithList(samples);
    FILE *fp = asFile(wav);
    ASSERT_NE(fp, nullptr);
    uint32_t size = 0;
    EXPECT_EQ(wav_find_data(fp, &size), 0);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(ftello(fp), (off_t)(wav.size() - 6));
    fclose(fp);
}

TEST(WavChunkWalk, RefusesWhatIsNoPlayableWav)
{
    std::vector<uint8_t> good = wavWithList({1, 2});
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"10 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 10)});
    std::vector<uint8_t> b = good;
    memcpy(b.data(), "RIFX", 4);
    cases.push_back({"not RIFF", b});
    b = good;
    memcpy(b.data() + 8, "AVI ", 4);
    cases.push_back({"not WAVE", b});
    b.assign(good.begin(), good.begin() + 12);
    chunk(b, "fmt ", fmtBody());
    cases.push_back({"no data chunk", b});
    b.insert(b.end(), {'d', 'a', 't'});
    cases.push_back({"cut chunk header", b});
    b.assign(good.begin(), good.begin() + 12);
    b.insert(b.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0x80});
    cases.push_back({"negative data size", b});
    b.assign(good.begin(), good.begin() + 12);
    b.insert(b.end(), {'L', 'I', 'S', 'T', 0xF8, 0xFF, 0xFF, 0xFF}); // -8: back onto itself
    b.insert(b.end(), {'d', 'a', 't', 'a', 2, 0, 0, 0, 1, 0});
    cases.push_back({"chunk size -8", b});
    b.assign(good.begin(), good.begin() + 12);
    b.insert(b.end(), {'L', 'I', 'S', 'T', 0xF0, 0xFF, 0xFF, 0x7F});
    cases.push_back({"chunk beyond the end", b});
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        FILE *fp = asFile(c.bytes);
        ASSERT_NE(fp, nullptr);
        uint32_t size = 0;
        EXPECT_EQ(wav_find_data(fp, &size), -1);
        fclose(fp);
    }
}

} // namespace

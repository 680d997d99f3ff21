// The test player's walk over the RIFF chunks of a WAV file.
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

#include <vector>

#include <gtest/gtest.h>

#include "audio/alsa_playback.h"
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

TEST(WavChunkWalk, FindsTheDataChunk)
{
    std::vector<int16_t> samples = {1, 2, 3};
    std::vector<uint8_t> wav = wavWithList(samples);
    FILE *fp = asFile(wav);
    ASSERT_NE(fp, nullptr);
    uint32_t size = 0;
    EXPECT_EQ(snd_wav_find_data(fp, &size), 0);
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
        EXPECT_EQ(snd_wav_find_data(fp, &size), -1);
        fclose(fp);
    }
}

} // namespace

// The audio test player on the simulated board's sound card: what reaches the speaker, and the
// refusals.
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include "audio/alsa_playback.h"
#include "audio/wav_file.h"
#include "sim_alsa.h"
#include "testsupport/console.h"
#include "wav_build.h"

namespace {

// The sim card grants 22 050 Hz with a 125 ms period.
const size_t kPeriodFrames = 2756;

class AlsaPlayback : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(oldCwd_, sizeof(oldCwd_)), nullptr);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        mkdir("wav", 0755);
        setenv("Q7_SIM_PLAYBACK", (dir_ + "/speaker.raw").c_str(), 1);
        setenv("Q7_SIM_MIXER_STATE", (dir_ + "/mixer").c_str(), 1);
        sim_alsa_use(dir_);
        memset(&ctrl_, 0, sizeof(ctrl_));
        ASSERT_EQ(OSA_mutexCreate(&ctrl_.lock), OSA_SOK);
    }
    void TearDown() override
    {
        OSA_mutexDelete(&ctrl_.lock);
        ASSERT_EQ(chdir(oldCwd_), 0);
    }
    void writeIntro(const std::vector<uint8_t> &wav)
    {
        ASSERT_TRUE(writeFile(dir_ + "/wav/intro.wav", wav));
    }
    std::vector<uint8_t> speaker() { return readFile(dir_ + "/speaker.raw"); }

    char oldCwd_[PATH_MAX];
    TempDir tmp_{"q7audio"};
    std::string dir_ = tmp_.path();
    ThreadCtrl ctrl_;
};

// What the speaker should have got: the samples, then silence to the end of the period.
void expectPadded(const std::vector<uint8_t> &out, const std::vector<int16_t> &samples)
{
    size_t frames = (samples.size() + kPeriodFrames - 1) / kPeriodFrames * kPeriodFrames;
    ASSERT_EQ(out.size(), frames * 2);
    EXPECT_EQ(memcmp(out.data(), samples.data(), samples.size() * 2), 0);
    for (size_t i = samples.size() * 2; i < out.size(); i++)
        ASSERT_EQ(out[i], 0) << "byte " << i;
}

TEST_F(AlsaPlayback, DataAfterAListChunkPlaysPaddedToAPeriod)
{
    std::vector<int16_t> samples = test_signal(5000);
    writeIntro(wavWithList(samples));
    auto played = printing([&] { return sound_playback_main(&ctrl_); });
    EXPECT_EQ(played.value, 0);
    EXPECT_EQ(played.out, "Open the ./wav/intro.wav file!!\n");
    EXPECT_STREQ(ctrl_.filePath, "./wav/intro.wav");
    expectPadded(speaker(), samples);
    EXPECT_EQ(mixer_read("SPK", SND_MIXER_SCHN_FRONT_LEFT), 89); // 70 % of 0..127
    EXPECT_EQ(mixer_read("SPK", SND_MIXER_SCHN_FRONT_RIGHT), 89);
}

TEST_F(AlsaPlayback, ShippedIntroPlaysToTheEnd)
{
    std::vector<uint8_t> intro = readFile(Q7_INTRO_WAV);
    ASSERT_GT(intro.size(), WAV_HEADER_BYTES);
    writeIntro(intro);
    FILE *fp = fopen("wav/intro.wav", "rb");
    uint32_t size = 0;
    ASSERT_EQ(wav_find_data(fp, &size), 0);
    std::vector<int16_t> samples(size / 2);
    ASSERT_EQ(fread(samples.data(), 2, samples.size(), fp), samples.size());
    fclose(fp);
    EXPECT_EQ(printing([&] { return sound_playback_main(&ctrl_); }).value, 0);
    expectPadded(speaker(), samples);
}

TEST_F(AlsaPlayback, QuitStopsThePlayer)
{
    std::vector<int16_t> samples = test_signal(22050 * 5);
    writeIntro(wavWithList(samples));
    printedBy([&] {
        std::thread player([&] { sound_playback_main(&ctrl_); });
        usleep(500 * 1000);
        OSA_mutexLock(&ctrl_.lock);
        ctrl_.quit = 1;
        OSA_mutexUnlock(&ctrl_.lock);
        player.join();
    });
    std::vector<uint8_t> out = speaker();
    // Half a second played plus the buffer ahead of it, far from the five seconds.
    EXPECT_GT(out.size(), 0u);
    EXPECT_LT(out.size(), 22050u * 2 * 2);
    EXPECT_EQ(memcmp(out.data(), samples.data(), out.size()), 0);
}

TEST_F(AlsaPlayback, TenByteFileIsNotSupported)
{
    std::vector<uint8_t> wav = wavWithList({1, 2, 3});
    wav.resize(10);
    writeIntro(wav);
    ConsoleCapture quiet(stdout);
    auto played = printing([&] { return sound_playback_main(&ctrl_); }, stderr);
    EXPECT_EQ(played.value, -1);
    EXPECT_EQ(played.out, "can't support ./wav/intro.wav file\n");
    EXPECT_EQ(speaker().size(), 0u);
}

TEST_F(AlsaPlayback, MissingFileIsReported)
{
    ConsoleCapture quiet(stdout);
    auto played = printing([&] { return sound_playback_main(&ctrl_); }, stderr);
    EXPECT_EQ(played.value, -1);
    EXPECT_EQ(played.out, "Can't open ./wav/intro.wav file\n");
}

// A record that outlives the test, as the program's are: the thread deletes its own handle on
// its way out, after the test has seen it finish; its mutex stays for the menu's next stop.
ThreadCtrl g_playCtrl;

TEST_F(AlsaPlayback, ThreadStartedLikeTheMenuDoesPlaysAndEnds)
{
    std::vector<int16_t> samples = test_signal(3000);
    writeIntro(wavWithList(samples));
    ConsoleCapture quiet(stdout);
    ASSERT_EQ(sound_playback_thrCreate(&g_playCtrl), OSA_SOK);
    // The card lets go of its output when the thread has drained and closed the device.
    std::string out = dir_ + "/speaker.raw";
    auto finished = [](const void *arg) {
        const std::string &p = *(const std::string *)arg;
        return readFile(p).size() > 0 && !file_open_here(p);
    };
    ASSERT_TRUE(wait_for(10, finished, &out));
    expectPadded(speaker(), samples);
}

} // namespace

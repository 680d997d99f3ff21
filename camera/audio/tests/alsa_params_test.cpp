// The PCM side of the ALSA wrapper on the simulated sound card and on test PCMs built from it:
// negotiated rate, buffer and period, thresholds, refusals, state, xrun recovery, the read and
// write loops and close.
#include <errno.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/alsa_wrapper.h"
#include "sim_alsa.h"
#include "testsupport/console.h"

namespace {

// Test PCMs: the simulated card limited the way a device may be.
const char *const kTestPcms = R"(
pcm.t_raw { type q7sim }
pcm.t_rate15000 { type q7sim rate_min 15000 rate_max 15000 }
pcm.t_rate15200 { type q7sim rate_min 15200 rate_max 15200 }
pcm.t_rate15199 { type q7sim rate_min 15199 rate_max 15199 }
pcm.t_rate16800 { type q7sim rate_min 16800 rate_max 16800 }
pcm.t_rate16801 { type q7sim rate_min 16801 rate_max 16801 }
pcm.t_buf200ms { type q7sim buffer_bytes_max 6400 }   # 200 ms of 16 kHz mono 16-bit
pcm.t_oneperiod { type q7sim periods_min 1 periods_max 1 }
pcm.t_suspend { type q7sim suspend_after_ms 200 }
)";

class AlsaParams : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("Q7_SIM_PLAYBACK", (dir_ + "/play.raw").c_str(), 1);
        setenv("Q7_SIM_CAPTURE", "", 1);
        setenv("Q7_SIM_MIXER_STATE", (dir_ + "/mixer").c_str(), 1);
        sim_alsa_use(dir_, kTestPcms);
    }
    void TearDown() override
    {
        alsa_close(&env_, 1, 1);
        env_.pcm = nullptr;
    }
    // Opens `pcm` into env_ for mono 16-bit at `rate`, nothing else asked.
    void open(const char *pcm, int capture, unsigned int rate)
    {
        memset(&env_, 0, sizeof(env_));
        env_.pcm = alsa_open(pcm, capture, 1);
        ASSERT_NE(env_.pcm, nullptr) << pcm;
        env_.format = SND_PCM_FORMAT_S16_LE;
        env_.channels = 1;
        env_.rate = rate;
    }
    snd_pcm_uframes_t grantedBuffer()
    {
        snd_pcm_hw_params_t *hw;
        snd_pcm_hw_params_alloca(&hw);
        EXPECT_EQ(snd_pcm_hw_params_current(env_.pcm, hw), 0);
        snd_pcm_uframes_t b = 0;
        snd_pcm_hw_params_get_buffer_size(hw, &b);
        return b;
    }
    void thresholds(snd_pcm_uframes_t *start, snd_pcm_uframes_t *stop, snd_pcm_uframes_t *availMin)
    {
        snd_pcm_sw_params_t *sw;
        snd_pcm_sw_params_alloca(&sw);
        ASSERT_EQ(snd_pcm_sw_params_current(env_.pcm, sw), 0);
        snd_pcm_sw_params_get_start_threshold(sw, start);
        snd_pcm_sw_params_get_stop_threshold(sw, stop);
        snd_pcm_sw_params_get_avail_min(sw, availMin);
    }

    TempDir tmp_{"q7audio"};
    std::string dir_ = tmp_.path();
    AlsaEnv env_{};
};

TEST_F(AlsaParams, GrantedRateIsWrittenBackAndWarnedBeyondFivePercent)
{
    const struct {
        const char *pcm;
        unsigned int granted;
        bool warns;
    } cases[] = {
        {ALSA_PCM_DEVICE, 16000, false}, {"t_rate15000", 15000, true},
        {"t_rate15200", 15200, false},   {"t_rate15199", 15199, true},
        {"t_rate16800", 16800, false},   {"t_rate16801", 16801, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pcm);
        open(c.pcm, ALSA_CAPTURE, 16000);
        auto set = printing([&] { return alsa_set_params(&env_, 1, 0); }, stderr);
        const std::string &err = set.out;
        EXPECT_EQ(set.value, 0);
        EXPECT_EQ(env_.rate, c.granted);
        std::string warning = std::string(c.pcm) +
                              " Warning: rate is not accurate(requested = 16000Hz, got = " +
                              std::to_string(c.granted) + "Hz)\n";
        if (c.warns)
            EXPECT_EQ(err, warning);
        else
            EXPECT_EQ(err, "");
        alsa_close(&env_, 1, 1);
        env_.pcm = nullptr;
    }
}

TEST_F(AlsaParams, NoBufferGivenCapsAt500msWithAQuarterPeriod)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    EXPECT_EQ(env_.bufferTime, 500000u);
    EXPECT_EQ(env_.periodFrames, 2000u);
    EXPECT_EQ(grantedBuffer(), 8000u);
    EXPECT_EQ(env_.bitsPerFrame, 16u);
    EXPECT_EQ(env_.periodBytes, 4000u);
    snd_pcm_uframes_t start, stop, availMin;
    thresholds(&start, &stop, &availMin);
    EXPECT_EQ(start, 1u);   // capture starts on the first frame
    EXPECT_EQ(stop, 8000u); // and stops only when the buffer is full
    EXPECT_EQ(availMin, 2000u);
}

TEST_F(AlsaParams, PlaybackOfThePlayerStartsWhenTheBufferIsFull)
{
    open(ALSA_PCM_DEVICE, ALSA_PLAYBACK, 22050);
    ASSERT_EQ(alsa_set_params(&env_, 0, 0), 0);
    EXPECT_EQ(env_.rate, 22050u);
    EXPECT_NEAR(env_.periodFrames, 2756, 1);
    snd_pcm_uframes_t start, stop, availMin;
    thresholds(&start, &stop, &availMin);
    EXPECT_EQ(start, grantedBuffer());
    EXPECT_EQ(stop, grantedBuffer());
}

TEST_F(AlsaParams, DeviceMaximumBelowTheCapIsTaken)
{
    open("t_buf200ms", ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    EXPECT_EQ(env_.bufferTime, 200000u);
    EXPECT_EQ(env_.periodFrames, 800u); // 50 ms
    EXPECT_EQ(grantedBuffer(), 3200u);
}

TEST_F(AlsaParams, GivenBufferFramesGiveAQuarterPeriod)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    env_.bufferFrames = 4000;
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    EXPECT_EQ(env_.periodFrames, 1000u);
    EXPECT_EQ(env_.bufferFrames, 4000u);
    EXPECT_EQ(env_.bufferTime, 0u);
    EXPECT_EQ(env_.periodBytes, 2000u);
}

TEST_F(AlsaParams, GivenBufferTimeIsUsedAndWrittenBack)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    env_.bufferTime = 250000;
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    EXPECT_EQ(env_.bufferTime, 250000u);
    EXPECT_EQ(env_.periodFrames, 1000u);
}

TEST_F(AlsaParams, ThresholdsFollowTheDelays)
{
    // Buffer 8000 frames at 16 kHz: 1 ms is 16 frames.
    const struct {
        int startDelay, stopDelay;
        snd_pcm_uframes_t start, stop;
    } cases[] = {
        {1, 0, 1, 8000},                 // the capture's values
        {0, 0, 8000, 8000},              // the player's values
        {10000, 20000, 160, 320},        // positive delays count from the start
        {-1000, -1000, 7984, 7984},      // negative ones from a full buffer
        {1000000, 1000000, 8000, 16000}, // the start threshold is at most the buffer
        {-1000000, -1000000, 1, 0},      // nothing left becomes one frame for the start
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.startDelay) + "/" + std::to_string(c.stopDelay));
        open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
        ASSERT_EQ(alsa_set_params(&env_, c.startDelay, c.stopDelay), 0);
        snd_pcm_uframes_t start, stop, availMin;
        thresholds(&start, &stop, &availMin);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(stop, c.stop);
        alsa_close(&env_, 1, 1);
        env_.pcm = nullptr;
    }
}

TEST_F(AlsaParams, PeriodEqualToBufferFails)
{
    open("t_oneperiod", ALSA_CAPTURE, 16000);
    auto set = printing([&] { return alsa_set_params(&env_, 1, 0); }, stderr);
    EXPECT_EQ(set.value, -1);
    EXPECT_EQ(set.out, "Can't use period equal to buffer size (2000 == 2000)");
}

TEST_F(AlsaParams, RefusedSettingsFailWithTheirMessage)
{
    const struct {
        int format;
        unsigned int channels;
        const char *message;
    } cases[] = {
        {SND_PCM_FORMAT_U8, 1, "t_raw: cannot set sample format!\n"},
        {SND_PCM_FORMAT_S16_LE, 3, "t_raw: cannot set channel count!\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        open("t_raw", ALSA_CAPTURE, 16000);
        env_.format = c.format;
        env_.channels = c.channels;
        auto set = printing([&] { return alsa_set_params(&env_, 1, 0); }, stderr);
        EXPECT_EQ(set.value, -1);
        EXPECT_EQ(set.out, c.message);
        alsa_close(&env_, 1, 1);
        env_.pcm = nullptr;
    }
}

TEST_F(AlsaParams, NullHandleIsRefusedEverywhere)
{
    AlsaEnv none{};
    EXPECT_EQ(alsa_set_params(&none, 1, 0), -1);
    EXPECT_EQ(alsa_get_state(&none), 0);
    EXPECT_EQ(alsa_close(&none, 0, 1), 0);
    EXPECT_EQ(alsa_xrun(&none, 1), -1);
}

TEST_F(AlsaParams, OpenIsNonBlockingAndFailsForUnknownDevices)
{
    EXPECT_EQ(alsa_open("q7_no_such_pcm", ALSA_CAPTURE, 1), nullptr);
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    EXPECT_EQ(alsa_get_state(&env_), 0);
    int16_t buf[2000];
    // The first read starts the stream; nothing has been captured yet.
    EXPECT_EQ(snd_pcm_readi(env_.pcm, buf, 2000), -EAGAIN);
    EXPECT_EQ(alsa_get_state(&env_), 1);
}

TEST_F(AlsaParams, OverrunIsReportedAndRecovered)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    EXPECT_EQ(alsa_xrun(&env_, 1), -1); // nothing to recover from yet
    ASSERT_EQ(snd_pcm_start(env_.pcm), 0);
    usleep(700 * 1000); // longer than the 500 ms buffer
    int16_t buf[2000];
    ASSERT_EQ(snd_pcm_readi(env_.pcm, buf, 2000), -EPIPE);
    auto recovered = printing([&] { return alsa_xrun(&env_, 1); }, stderr);
    EXPECT_EQ(recovered.value, 0);
    const std::string &err = recovered.out;
    EXPECT_EQ(err.rfind("overrun!!! (at least ", 0), 0u) << err;
    EXPECT_EQ(snd_pcm_state(env_.pcm), SND_PCM_STATE_PREPARED);
    snd_pcm_sframes_t r;
    while ((r = snd_pcm_readi(env_.pcm, buf, 2000)) == -EAGAIN)
        snd_pcm_wait(env_.pcm, 1000);
    EXPECT_EQ(r, 2000);
}

TEST_F(AlsaParams, UnderrunIsReportedAndRecovered)
{
    open(ALSA_PCM_DEVICE, ALSA_PLAYBACK, 22050);
    ASSERT_EQ(alsa_set_params(&env_, 0, 0), 0);
    std::vector<int16_t> silence(env_.periodFrames, 0);
    ASSERT_EQ(snd_pcm_writei(env_.pcm, silence.data(), env_.periodFrames),
              (snd_pcm_sframes_t)env_.periodFrames);
    ASSERT_EQ(snd_pcm_start(env_.pcm), 0);
    usleep(300 * 1000); // one period plays in 125 ms
    ASSERT_EQ(snd_pcm_writei(env_.pcm, silence.data(), env_.periodFrames), -EPIPE);
    auto recovered = printing([&] { return alsa_xrun(&env_, 0); }, stderr);
    EXPECT_EQ(recovered.value, 0);
    const std::string &err = recovered.out;
    EXPECT_EQ(err.rfind("underrun!!! (at least ", 0), 0u) << err;
    EXPECT_EQ(snd_pcm_writei(env_.pcm, silence.data(), env_.periodFrames),
              (snd_pcm_sframes_t)env_.periodFrames);
}

TEST_F(AlsaParams, SuspendIsResumed)
{
    open("t_suspend", ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    int16_t buf[2000];
    snd_pcm_sframes_t r = 0;
    for (int i = 0; i < 20 && r != -ESTRPIPE; i++) {
        r = snd_pcm_readi(env_.pcm, buf, 2000);
        if (r == -EAGAIN)
            snd_pcm_wait(env_.pcm, 1000);
    }
    ASSERT_EQ(r, -ESTRPIPE);
    EXPECT_EQ(snd_pcm_state(env_.pcm), SND_PCM_STATE_SUSPENDED);
    auto resumed = printing([&] { return alsa_suspend(&env_); }, stderr);
    EXPECT_EQ(resumed.value, 0);
    EXPECT_EQ(resumed.out, "");
    EXPECT_EQ(alsa_get_state(&env_), 1);
    while ((r = snd_pcm_readi(env_.pcm, buf, 2000)) == -EAGAIN)
        snd_pcm_wait(env_.pcm, 1000);
    EXPECT_EQ(r, 2000);
}

TEST_F(AlsaParams, CloseWithDrainPlaysEverythingOut)
{
    open(ALSA_PCM_DEVICE, ALSA_PLAYBACK, 22050);
    ASSERT_EQ(alsa_set_params(&env_, 0, 0), 0);
    std::vector<int16_t> samples = test_signal(3000);
    ASSERT_EQ(snd_pcm_writei(env_.pcm, samples.data(), samples.size()), 3000);
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(alsa_close(&env_, 0, 1), 0);
    // Draining waits for the 3000 frames (136 ms at 22 050 Hz) to play.
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(130));
    env_.pcm = nullptr;
    std::vector<uint8_t> out = readFile(dir_ + "/play.raw");
    ASSERT_EQ(out.size(), 6000u);
    EXPECT_EQ(memcmp(out.data(), samples.data(), out.size()), 0);
}

// Reads the way the capture threads do until one comes with frames; its result.
snd_pcm_sframes_t readSome(AlsaEnv *env, int16_t *buf, snd_pcm_uframes_t frames)
{
    snd_pcm_sframes_t r = 0;
    for (int i = 0; i < 50 && r <= 0 && !alsa_pcm_read_failed(r); i++)
        r = alsa_pcm_read(env, buf, frames);
    return r;
}

TEST_F(AlsaParams, ReadWaitsForTheDeviceInsteadOfSpinning)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    int16_t buf[2000];
    auto begin = std::chrono::steady_clock::now();
    // The first read starts the stream and finds nothing; the wait lasts until a period is in.
    EXPECT_EQ(alsa_pcm_read(&env_, buf, 2000), -EAGAIN);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(100));
    EXPECT_EQ(alsa_pcm_read(&env_, buf, 2000), 2000);
}

TEST_F(AlsaParams, ReadRecoversFromAnOverrunAndFromASuspend)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    int16_t buf[2000];
    ASSERT_EQ(readSome(&env_, buf, 2000), 2000);
    usleep(700 * 1000); // longer than the 500 ms buffer
    testing::internal::CaptureStderr();
    EXPECT_EQ(alsa_pcm_read(&env_, buf, 2000), -EPIPE);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("overrun!!! (at least ", 0), 0u) << err;
    EXPECT_EQ(readSome(&env_, buf, 2000), 2000);
    alsa_close(&env_, 1, 1);

    open("t_suspend", ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    snd_pcm_sframes_t r = 0;
    for (int i = 0; i < 20 && r != -ESTRPIPE; i++)
        r = alsa_pcm_read(&env_, buf, 2000);
    ASSERT_EQ(r, -ESTRPIPE);
    EXPECT_EQ(alsa_get_state(&env_), 1); // resumed before the caller saw the suspend
    EXPECT_EQ(readSome(&env_, buf, 2000), 2000);
}

TEST_F(AlsaParams, ReadAndWriteReportAnErrorTheyCannotRecoverFrom)
{
    open(ALSA_PCM_DEVICE, ALSA_CAPTURE, 16000);
    ASSERT_EQ(alsa_set_params(&env_, 1, 0), 0);
    ASSERT_EQ(snd_pcm_drop(env_.pcm), 0); // back to SETUP: no read or write until prepared
    int16_t buf[2000];
    testing::internal::CaptureStderr();
    snd_pcm_sframes_t r = alsa_pcm_read(&env_, buf, 2000);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "read error: File descriptor in bad state\n");
    EXPECT_EQ(r, -EBADFD);
    EXPECT_EQ(alsa_pcm_read_failed(r), 1);
    alsa_close(&env_, 1, 1);

    open(ALSA_PCM_DEVICE, ALSA_PLAYBACK, 22050);
    ASSERT_EQ(alsa_set_params(&env_, 0, 0), 0);
    ASSERT_EQ(snd_pcm_drop(env_.pcm), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(alsa_pcm_write(&env_, buf, 2000), -EBADFD);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "write error: File descriptor in bad state");

    AlsaEnv none{};
    EXPECT_EQ(alsa_pcm_read(&none, buf, 2000), -EBADFD);
    EXPECT_EQ(alsa_pcm_write(&none, buf, 2000), -EBADFD);
}

// The recorder goes on after what the read dealt with and stops on anything else.
TEST(AlsaPcmRead, OnlyUnrecoveredErrorsCountAsFailed)
{
    const struct {
        snd_pcm_sframes_t result;
        int failed;
    } cases[] = {
        {2000, 0},      {1, 0},       {0, 0},    {-EAGAIN, 0}, {-EPIPE, 0},
        {-ESTRPIPE, 0}, {-EBADFD, 1}, {-EIO, 1}, {-ENODEV, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(alsa_pcm_read_failed(c.result), c.failed) << c.result;
}

// Three buffers' worth in one call: short writes and waits while the buffer is full, after an
// underrun, all of it reaches the speaker in order.
TEST_F(AlsaParams, WriteTakesEveryFrameAcrossShortWritesAndAnUnderrun)
{
    open(ALSA_PCM_DEVICE, ALSA_PLAYBACK, 22050);
    ASSERT_EQ(alsa_set_params(&env_, 0, 0), 0);
    std::vector<int16_t> first = test_signal(env_.periodFrames);
    ASSERT_EQ(alsa_pcm_write(&env_, first.data(), first.size()), (snd_pcm_sframes_t)first.size());
    ASSERT_EQ(snd_pcm_start(env_.pcm), 0);
    usleep(300 * 1000); // one period plays in 125 ms
    std::vector<int16_t> rest = test_signal(first.size() + 3 * grantedBuffer());
    rest.erase(rest.begin(), rest.begin() + first.size());
    testing::internal::CaptureStderr();
    EXPECT_EQ(alsa_pcm_write(&env_, rest.data(), rest.size()), (snd_pcm_sframes_t)rest.size());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("underrun!!! (at least ", 0), 0u) << err;
    EXPECT_EQ(alsa_close(&env_, 0, 1), 0);
    env_.pcm = nullptr;
    std::vector<uint8_t> out = readFile(dir_ + "/play.raw");
    ASSERT_EQ(out.size(), (first.size() + rest.size()) * 2);
    EXPECT_EQ(memcmp(out.data(), first.data(), first.size() * 2), 0);
    EXPECT_EQ(memcmp(out.data() + first.size() * 2, rest.data(), rest.size() * 2), 0);
}

} // namespace

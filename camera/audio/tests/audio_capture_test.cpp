// The recording capture end to end on the simulated board's sound card, paced in real time.
#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/q7_audio_EncDec.h"
#include "audio/q7_audio_capture.h"
#include "sim_alsa.h"
#include "testsupport/console.h"

namespace {

using Clock = std::chrono::steady_clock;

class AudioCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        input_ = test_signal(16000 * 4);
        write_samples(dir_ + "/mic.raw", input_);
        setenv("Q7_SIM_CAPTURE", (dir_ + "/mic.raw").c_str(), 1);
        setenv("Q7_SIM_MIXER_STATE", (dir_ + "/mixer").c_str(), 1);
        sim_alsa_use(dir_);
    }
    void TearDown() override { Audio_capture_stop(); }

    // Reads the way the audio intake thread does until one period came; its frame count.
    int readPeriod(std::vector<int16_t> &buf)
    {
        for (int tries = 0; tries < 50; tries++) {
            int r = Audio_capture_read(buf.data());
            if (r > 0)
                return r;
            if (r != -EAGAIN && r != 0 && r != -EPIPE)
                return r;
        }
        return -ETIMEDOUT;
    }

    TempDir tmp_{"q7audio"};
    std::string dir_ = tmp_.path();
    std::vector<int16_t> input_;
};

TEST_F(AudioCapture, DeliversMuLawBlocksOfAPeriodInRealTime)
{
    ASSERT_EQ(Audio_capture_start(), 4000);
    EXPECT_EQ(Audio_capture_isStart(), 1);
    EXPECT_EQ(mixer_read("MIC1 Boost", SND_MIXER_SCHN_FRONT_LEFT), 3); // 80 % of 0..3

    std::vector<int16_t> buf(2000);
    std::vector<uint8_t> codes(2000), expected(2000);
    const int blocks = 8;
    Clock::time_point begin = Clock::now(); // the first read starts the stream
    for (int i = 0; i < blocks; i++) {
        int frames = readPeriod(buf);
        ASSERT_EQ(frames, 2000) << "block " << i;
        ASSERT_EQ(AUDIO_audioEncode(0, codes.data(), buf.data(), frames * 2), 2000);
        AUDIO_audioEncode(0, expected.data(), &input_[(size_t)i * 2000], 4000);
        ASSERT_EQ(codes, expected) << "block " << i;
    }
    // A period is 125 ms of sound: the blocks cannot come faster than the microphone.
    auto elapsed = Clock::now() - begin;
    EXPECT_GE(elapsed, std::chrono::milliseconds(blocks * 125));
    EXPECT_LT(elapsed, std::chrono::milliseconds(blocks * 125 + 1500));

    Audio_capture_stop();
    EXPECT_EQ(Audio_capture_isStart(), 0);
    EXPECT_EQ(record_env.pcm, nullptr);
    EXPECT_LT(Audio_capture_read(buf.data()), 0);
}

TEST_F(AudioCapture, OverrunIsRecoveredAndCaptureGoesOn)
{
    ASSERT_EQ(Audio_capture_start(), 4000);
    std::vector<int16_t> buf(2000);
    ASSERT_EQ(readPeriod(buf), 2000);
    usleep(800 * 1000); // the intake stalls longer than the 500 ms buffer
    auto read = printing([&] { return Audio_capture_read(buf.data()); }, stderr);
    const std::string &err = read.out;
    EXPECT_EQ(read.value, -EPIPE);
    EXPECT_NE(err.find("overrun!!!"), std::string::npos) << err;
    EXPECT_EQ(Audio_capture_isStart(), 1);
    EXPECT_EQ(readPeriod(buf), 2000);
}

TEST_F(AudioCapture, SuspendIsResumedWithoutLosingSamples)
{
    sim_alsa_use(dir_,
                 "pcm.!plughw { @args [ CARD DEV SUBDEV ] @args.CARD { type string default \"0\" } "
                 "@args.DEV { type integer default 0 } @args.SUBDEV { type integer default -1 } "
                 "type plug slave.pcm { type q7sim capture_file \"" +
                     dir_ + "/mic.raw\" suspend_after_ms 300 } }");
    ASSERT_EQ(Audio_capture_start(), 4000);
    std::vector<int16_t> buf(2000), got;
    bool suspended = false;
    for (int i = 0; i < 60 && got.size() < 8 * 2000; i++) {
        int r = Audio_capture_read(buf.data());
        if (r == -ESTRPIPE)
            suspended = true;
        if (r > 0)
            got.insert(got.end(), buf.begin(), buf.begin() + r);
    }
    EXPECT_TRUE(suspended);
    ASSERT_EQ(got.size(), 8u * 2000);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), input_.begin()));
}

TEST_F(AudioCapture, MissingDeviceLeavesTheCaptureOff)
{
    sim_alsa_use_system(dir_, R"(pcm.!plughw {
        @args [ CARD DEV SUBDEV ]
        @args.CARD { type string default "0" }
        @args.DEV { type integer default 0 }
        @args.SUBDEV { type integer default -1 }
        type plug
        slave.pcm "q7_no_such_pcm"
    })");
    auto started = printing(Audio_capture_start, stderr);
    EXPECT_EQ(started.value, 0);
    const std::string &err = started.out;
    EXPECT_NE(err.find("cannot open audio device\n"), std::string::npos) << err;
    EXPECT_EQ(Audio_capture_isStart(), 0);
    EXPECT_EQ(record_env.pcm, nullptr);
}

TEST_F(AudioCapture, RefusedParametersLeaveTheCaptureOff)
{
    sim_alsa_use(dir_, R"(pcm.!plughw {
        @args [ CARD DEV SUBDEV ]
        @args.CARD { type string default "0" }
        @args.DEV { type integer default 0 }
        @args.SUBDEV { type integer default -1 }
        type plug
        slave.pcm { type q7sim periods_min 1 periods_max 1 }
    })");
    std::string err;
    const std::string out = printedBy([&] {
        auto started = printing(Audio_capture_start, stderr);
        EXPECT_EQ(started.value, 0);
        err = started.out;
    });
    EXPECT_EQ(out, "Failed to record set params");
    EXPECT_NE(err.find("Can't use period equal to buffer size"), std::string::npos) << err;
    EXPECT_EQ(Audio_capture_isStart(), 0);
    EXPECT_EQ(record_env.pcm, nullptr);
}

TEST_F(AudioCapture, SetVolumeDrivesTheMicrophoneBoost)
{
    EXPECT_EQ(Audio_capture_setVolume(30), 0);
    EXPECT_EQ(mixer_read("MIC1 Boost", SND_MIXER_SCHN_FRONT_LEFT), 1); // 0.9 rounds up
}

} // namespace

// The audio test recorder on the simulated board's sound card: a WAV file of what the
// microphone gave, its header rewritten at the end; ffprobe reads it as a peer.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include "audio/alsa_record.h"
#include "audio/wav_file.h"
#include "sim_alsa.h"
#include "testsupport/console.h"

namespace {

const char *const kWav = "./wav/save_mic_16khz.wav";

class AlsaRecord : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(oldCwd_, sizeof(oldCwd_)), nullptr);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        mkdir("wav", 0755);
        input_ = test_signal(16000 * 6);
        write_samples(dir_ + "/mic.raw", input_);
        setenv("Q7_SIM_CAPTURE", (dir_ + "/mic.raw").c_str(), 1);
        setenv("Q7_SIM_MIXER_STATE", (dir_ + "/mixer").c_str(), 1);
        sim_alsa_use(dir_);
        memset(&ctrl_, 0, sizeof(ctrl_));
    }
    void TearDown() override { ASSERT_EQ(chdir(oldCwd_), 0); }

    void requestQuit()
    {
        OSA_mutexLock(&ctrl_.lock);
        ctrl_.quit = 1;
        OSA_mutexUnlock(&ctrl_.lock);
    }

    // Checks the recorded file: header, sizes, and the data against the microphone's input.
    void checkWav(uint32_t minBytes, uint32_t maxBytes)
    {
        std::vector<uint8_t> wav = readFile(dir_ + "/wav/save_mic_16khz.wav");
        ASSERT_GE(wav.size(), WAV_HEADER_BYTES);
        WavHeader h;
        ASSERT_EQ(wav_get_header(wav.data(), &h), 0); // RIFF, WAVE, fmt of 16 bytes, data
        EXPECT_EQ(h.formatTag, WAV_FORMAT_PCM);
        EXPECT_EQ(h.channels, 1);
        EXPECT_EQ(h.rate, 16000u);
        EXPECT_EQ(h.byteRate, 32000u);
        EXPECT_EQ(h.blockAlign, 2);
        EXPECT_EQ(h.bits, 16);
        uint32_t dataSize = h.dataSize;
        EXPECT_EQ(dataSize, wav.size() - WAV_HEADER_BYTES);
        EXPECT_EQ(h.riffSize, wav.size() - WAV_CHUNK_HEAD_BYTES); // all after the RIFF head
        EXPECT_GE(dataSize, minBytes);
        EXPECT_LE(dataSize, maxBytes);
        ASSERT_LE(dataSize, input_.size() * 2);
        EXPECT_EQ(memcmp(wav.data() + WAV_HEADER_BYTES, input_.data(), dataSize), 0);
    }

    char oldCwd_[PATH_MAX];
    TempDir tmp_{"q7audio"};
    std::string dir_ = tmp_.path();
    std::vector<int16_t> input_;
    ThreadCtrl ctrl_;
};

TEST_F(AlsaRecord, ThreeSecondsGiveAWavOfWhatWasCaptured)
{
    ASSERT_EQ(OSA_mutexCreate(&ctrl_.lock), OSA_SOK);
    int ret = 1;
    const std::string said = printedBy([&] {
        std::thread recorder([&] { ret = snd_record_main(&ctrl_); });
        sleep(3);
        requestQuit();
        recorder.join();
    });
    EXPECT_EQ(said, "record open file (./wav/save_mic_16khz.wav)\n");
    EXPECT_EQ(ret, 0);
    EXPECT_STREQ(ctrl_.filePath, kWav);
    // About 96 000 bytes: whole 125 ms periods, give or take one for the moment of the stop.
    checkWav(92000, 100000);
    EXPECT_EQ(mixer_read("MIC1 Boost", SND_MIXER_SCHN_FRONT_LEFT), 2); // 50 % of 0..3

    std::string cmd = "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of "
                      "default=nw=1 " +
                      dir_ + "/wav/save_mic_16khz.wav";
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char out[256] = {0};
    size_t n = fread(out, 1, sizeof(out) - 1, p);
    out[n] = '\0';
    EXPECT_EQ(pclose(p), 0);
    EXPECT_STREQ(out, "codec_name=pcm_s16le\nsample_rate=16000\nchannels=1\n");
    OSA_mutexDelete(&ctrl_.lock);
}

TEST_F(AlsaRecord, SuspendIsResumedAndTheRecordingGoesOnWithoutAGap)
{
    sim_alsa_use(dir_,
                 "pcm.!plughw { @args [ CARD DEV SUBDEV ] @args.CARD { type string default \"0\" } "
                 "@args.DEV { type integer default 0 } @args.SUBDEV { type integer default -1 } "
                 "type plug slave.pcm { type q7sim capture_file \"" +
                     dir_ + "/mic.raw\" suspend_after_ms 300 } }");
    ASSERT_EQ(OSA_mutexCreate(&ctrl_.lock), OSA_SOK);
    testing::internal::CaptureStdout();
    int ret = 1;
    std::thread recorder([&] { ret = snd_record_main(&ctrl_); });
    sleep(2);
    requestQuit();
    recorder.join();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ret, 0);
    // Two seconds are about 64 000 bytes; a recorder that stopped at the suspend would have 10 000.
    checkWav(48000, 72000);
    OSA_mutexDelete(&ctrl_.lock);
}

// A record that outlives the test, as the program's are: the thread deletes its own handle on
// its way out, after the test has seen it finish; its mutex stays for the menu's next stop.
ThreadCtrl g_recCtrl;

TEST_F(AlsaRecord, ThreadStartedLikeTheMenuDoesStopsOnQuit)
{
    ConsoleCapture quiet(stdout);
    ASSERT_EQ(snd_record_thrCreate(&g_recCtrl), OSA_SOK);
    sleep(1);
    OSA_mutexLock(&g_recCtrl.lock);
    g_recCtrl.quit = 1;
    OSA_mutexUnlock(&g_recCtrl.lock);
    // The thread's last file work is the header; then it lets go of the file.
    std::string path = dir_ + "/wav/save_mic_16khz.wav";
    auto finished = [](const void *arg) {
        const std::string &p = *(const std::string *)arg;
        std::vector<uint8_t> wav = readFile(p);
        WavHeader h;
        return wav.size() > WAV_HEADER_BYTES && wav_get_header(wav.data(), &h) == 0 &&
               h.dataSize != 0 && !file_open_here(p);
    };
    ASSERT_TRUE(wait_for(5, finished, &path));
    checkWav(12000, 36000);
}

TEST_F(AlsaRecord, MissingFolderStopsTheRecorder)
{
    rmdir("wav");
    ASSERT_EQ(OSA_mutexCreate(&ctrl_.lock), OSA_SOK);
    auto recorded = printing([&] { return snd_record_main(&ctrl_); });
    EXPECT_EQ(recorded.value, -1);
    EXPECT_EQ(recorded.out, "Failed to open file (./wav/save_mic_16khz.wav)\n");
    OSA_mutexDelete(&ctrl_.lock);
}

TEST_F(AlsaRecord, MissingDeviceStopsTheRecorder)
{
    sim_alsa_use_system(
        dir_, "pcm.!plughw { @args [ CARD DEV SUBDEV ] @args.CARD { type string default \"0\" } "
              "@args.DEV { type integer default 0 } @args.SUBDEV { type integer default -1 } "
              "type plug slave.pcm \"q7_no_such_pcm\" }");
    ASSERT_EQ(OSA_mutexCreate(&ctrl_.lock), OSA_SOK);
    auto recorded = printing([&] { return snd_record_main(&ctrl_); }, stderr);
    EXPECT_EQ(recorded.value, -1);
    const std::string &err = recorded.out;
    EXPECT_NE(err.find("cannot open audio device\n"), std::string::npos) << err;
    OSA_mutexDelete(&ctrl_.lock);
}

} // namespace

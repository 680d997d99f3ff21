// The recorder thread's logic: continuous files by the minute and the main key frame, what
// enters the pre-record list and the file, snapshots, oversized frames, a failed region and a
// removed card. Frames enter through the intake's own routine, as from the encoder.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <thread>

#include "platform/osa.h"
#include "rec_test_util.h"
#include "recorder/q7_ipc_bits.h"
#include "recorder/q7_prerec.h"
#include "recorder/q7_util.h"

using namespace rectest;

namespace
{

class Recorder : public testing::Test
{
  protected:
    void SetUp() override
    {
        // An internal check waits for the operator's q; here standard input is at its end.
        ASSERT_NE(freopen("/dev/null", "r", stdin), nullptr);
        setClockSecond(10);
        memset(&cfg, 0, sizeof(cfg));
        cfg.frameRate = 30;
        cfg.mainWidth = 320;
        cfg.mainHeight = 240;
        cfg.subWidth = 160;
        cfg.subHeight = 120;
        cfg.encEnable = 1;
        cfg.jpegEnable = 1;
        cfg.contRecEnable = 1;
        cfg.bitsEnable = 1;
        cfg.audioEnable = 1;
        cfg.prerecEnable = 1;
    }
    void TearDown() override
    {
        stop();
        q7_set_clock_offset(0);
    }

    void start(int mode)
    {
        testing::internal::CaptureStdout();
        ASSERT_EQ(q7_ipcBitsInit(mode, &cfg), 0);
        running = true;
    }
    std::string stop()
    {
        if (!running) return "";
        q7_ipcBitsStop();
        q7_ipcBitsExit();
        running = false;
        return testing::internal::GetCapturedStdout();
    }

    // An H.264 frame of channel 0 (main) or 1 (sub), numbered.
    int video(uint32_t chn, bool key, uint32_t size = 3000)
    {
        Bytes data = frameBytes(seq++, size);
        VCODEC_BITSBUF_S b;
        memset(&b, 0, sizeof(b));
        b.chnId = chn;
        b.codecType = VCODEC_TYPE_H264;
        b.frameType = key ? VCODEC_FRAME_TYPE_I : VCODEC_FRAME_TYPE_P;
        b.filledBufSize = (uint32_t)data.size();
        b.bufVirtAddr = data.data();
        b.frameWidth = chn == 0 ? cfg.mainWidth : cfg.subWidth;
        b.frameHeight = chn == 0 ? cfg.mainHeight : cfg.subHeight;
        return q7_ipcBitsTakeBuffer(&b);
    }
    // An audio block, handed over as the audio intake does.
    void audio()
    {
        Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
        Bytes data = frameBytes(seq++, 2000);
        uintptr_t v;
        ASSERT_EQ(OSA_queGet(&c.audEmptyQue, &v, 5000), OSA_SOK);
        BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
        slot->chnId = 0;
        slot->codecType = 4;
        slot->filledBufSize = (uint32_t)data.size();
        memcpy(slot->bufVirtAddr, data.data(), data.size());
        ASSERT_EQ(OSA_quePut(&c.audFullQue, v, OSA_TIMEOUT_NONE), OSA_SOK);
        OSA_semSignal(&c.recordSem);
    }
    int jpeg(uint32_t chn, const Bytes &image)
    {
        VCODEC_BITSBUF_S b;
        memset(&b, 0, sizeof(b));
        b.chnId = chn;
        b.codecType = VCODEC_TYPE_MJPEG;
        b.filledBufSize = (uint32_t)image.size();
        b.bufVirtAddr = (void *)image.data();
        return q7_ipcBitsTakeBuffer(&b);
    }
    // Until the recorder has consumed and returned every buffer handed to it.
    void idle()
    {
        Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
        for (int i = 0; i < 5000; i++) {
            bool vid = OSA_queGetQueuedCount(&c.vidEmptyQue) == IPCBITS_POOL_BUFS;
            bool aud = !c.audioEnable || OSA_queGetQueuedCount(&c.audEmptyQue) == IPCBITS_POOL_BUFS;
            if (vid && aud) return;
            OSA_waitMsecs(1);
        }
        ADD_FAILURE() << "the recorder did not take its buffers";
    }

    // (tag, frame number) of the chunks of a continuous file.
    std::vector<std::pair<std::string, int64_t>> content(const std::string &name)
    {
        std::vector<std::pair<std::string, int64_t>> out;
        for (const Chunk &c : readChunks(board.cont() + "/" + name))
            if (c.fourcc != "03tx")
                out.emplace_back(c.fourcc, frameSeq(c.data.data(), c.data.size()));
        return out;
    }

    Board board;
    APP_CFG cfg;
    uint32_t seq = 1;
    bool running = false;
};

using Content = std::vector<std::pair<std::string, int64_t>>;

TEST_F(Recorder, AMinuteChangeWithOnlySubOrNonKeyFramesKeepsTheOldFile)
{
    start(CAM_MODE_BOTH);
    video(0, true);  // 1: opens the first file
    video(1, true);  // 2
    video(0, false); // 3
    idle();
    setClockSecond(5, 1); // the next minute
    video(1, true);       // 4: a sub key frame does not change files
    video(0, false);      // 5
    video(1, false);      // 6
    idle();
    EXPECT_EQ(listDir(board.cont()).size(), 1u);
    video(0, true);  // 7: the main key frame opens the new minute's file
    video(1, false); // 8
    idle();
    std::string out = stop();

    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 2u) << out;
    // Named for their minutes, in the ring's order.
    EXPECT_STREQ(g_filelist.name[1], (board.cont() + "/" + files[0]).c_str());
    EXPECT_STREQ(g_filelist.name[2], (board.cont() + "/" + files[1]).c_str());
    EXPECT_EQ(
        content(files[0]),
        (Content{{"00dc", 1}, {"01dc", 2}, {"00dc", 3}, {"01dc", 4}, {"00dc", 5}, {"01dc", 6}}));
    EXPECT_EQ(content(files[1]), (Content{{"00dc", 7}, {"01dc", 8}}));
    EXPECT_NE(out.find("new filename " + board.cont() + "/REC_"), std::string::npos) << out;
}

// What a power cut can take is bounded: two seconds after the last time, the recorder brings the
// open continuous file onto the card without closing it, small frames that still waited in the
// file stream's buffer included.
TEST_F(Recorder, TheOpenFileReachesTheCardEveryTwoSeconds)
{
    start(CAM_MODE_BOTH);
    video(0, true, 500); // 1
    idle();
    video(1, true, 500); // 2
    idle();
    audio(); // 3
    idle();
    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(content(files[0]), Content{}) << "less than the interval: still in the buffer";
    setClockSecond(11);   // less than two seconds on, whatever the fraction of the second
    video(0, false, 500); // 4
    idle();
    EXPECT_EQ(content(files[0]), Content{});
    setClockSecond(13);   // more than two seconds after the start
    video(0, false, 500); // 5
    idle();
    EXPECT_EQ(content(files[0]),
              (Content{{"00dc", 1}, {"01dc", 2}, {"02wb", 3}, {"00dc", 4}, {"00dc", 5}}));
    video(1, false, 500); // 6: the next interval begins
    idle();
    EXPECT_EQ(content(files[0]).size(), 5u);
    stop();
    EXPECT_EQ(content(files[0]).size(), 6u);
}

TEST_F(Recorder, TheFirstFileStartsAtTheFirstMainKeyFrameAndAudioWaitsForIt)
{
    start(CAM_MODE_BOTH);
    audio();         // 1
    video(1, true);  // 2: sub key frame
    video(0, false); // 3
    audio();         // 4
    idle();
    EXPECT_TRUE(listDir(board.cont()).empty());
    // Everything so far is in the pre-record list.
    EXPECT_EQ(gPREREC_ctrl.count, 4u);
    uint32_t kinds[3] = {0, 0, 0};
    for (PRELIST_NODE *n = gPREREC_ctrl.head; n != nullptr; n = n->next)
        kinds[n->kind]++;
    EXPECT_EQ(kinds[PRELIST_KIND_VIDEO], 2u);
    EXPECT_EQ(kinds[PRELIST_KIND_AUDIO], 2u);
    video(0, true); // 5
    idle();
    audio();         // 6
    video(1, false); // 7
    idle();
    stop();
    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("REC_", 0), 0u);
    Content c = content(files[0]);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0], (std::pair<std::string, int64_t>{"00dc", 5}));
    // 6 and 7 go in one recorder pass in either order.
    EXPECT_TRUE((c[1] == std::pair<std::string, int64_t>{"02wb", 6} &&
                 c[2] == std::pair<std::string, int64_t>{"01dc", 7}) ||
                (c[1] == std::pair<std::string, int64_t>{"01dc", 7} &&
                 c[2] == std::pair<std::string, int64_t>{"02wb", 6}));
}

struct EnableCase {
    const char *name;
    uint16_t prerec;
    uint16_t cont;
    bool listed;
    bool file;
};

class RecordingSwitches : public Recorder, public testing::WithParamInterface<EnableCase>
{
};

TEST_P(RecordingSwitches, PreRecordAndContinuousFollowTheirFlags)
{
    cfg.prerecEnable = GetParam().prerec;
    cfg.contRecEnable = GetParam().cont;
    start(CAM_MODE_MAIN);
    for (int i = 0; i < 10; i++) {
        video(0, i % 5 == 0);
        audio();
    }
    idle();
    EXPECT_EQ(gPREREC_ctrl.count > 0, GetParam().listed);
    EXPECT_EQ(q7_setEvent(30) == 0, GetParam().listed);
    EXPECT_EQ(q7_getPrerecDuration(), GetParam().prerec ? 10 : 0);
    stop();
    std::vector<std::string> files = listDir(board.cont());
    EXPECT_EQ(files.size(), GetParam().file ? 1u : 0u);
    if (GetParam().file) {
        EXPECT_EQ(files[0].rfind("M_REC_", 0), 0u);
        EXPECT_EQ(content(files[0]).size(), 20u);
    }
    EXPECT_EQ(listDir(board.event()).size(), GetParam().listed ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, RecordingSwitches,
                         testing::Values(EnableCase{"Both", 1, 1, true, true},
                                         EnableCase{"NoPreRecord", 0, 1, false, true},
                                         EnableCase{"NoContinuous", 1, 0, true, false},
                                         EnableCase{"Nothing", 0, 0, false, false}),
                         [](const testing::TestParamInfo<EnableCase> &i) { return i.param.name; });

struct SnapCase {
    const char *name;
    int mode;
    std::vector<uint32_t> channels;    // JPEG images offered after one request
    std::vector<std::string> suffixes; // files saved, by suffix
};

class Snapshots : public Recorder, public testing::WithParamInterface<SnapCase>
{
};

TEST_P(Snapshots, OneRequestSavesOneImagePerCamera)
{
    start(GetParam().mode);
    Bytes image = frameBytes(77, 5000);
    jpeg(2, image); // no request yet
    EXPECT_TRUE(listDir(board.photo()).empty());
    q7_setSnapshoot();
    for (uint32_t chn : GetParam().channels)
        jpeg(chn, image);
    EXPECT_EQ(gQ7_ipcBitsCtrl.snapshotReq.load(), 0);
    stop();
    std::vector<std::string> files = listDir(board.photo());
    ASSERT_EQ(files.size(), GetParam().suffixes.size());
    for (size_t i = 0; i < files.size(); i++) {
        EXPECT_EQ(files[i].rfind("IMG_", 0), 0u);
        EXPECT_NE(files[i].find(GetParam().suffixes[i] + ".jpeg"), std::string::npos) << files[i];
        EXPECT_EQ(avitest::readFile(board.photo() + "/" + files[i]), image);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Snapshots,
    testing::Values(SnapCase{"Main", CAM_MODE_MAIN, {2, 2}, {"_m"}},
                    SnapCase{"Sub", CAM_MODE_SUB, {2, 2}, {"_s"}},
                    // Channel 1 is no snapshot channel; the request ends after both cameras.
                    SnapCase{"Both", CAM_MODE_BOTH, {3, 2, 3}, {"_m", "_s"}}),
    [](const testing::TestParamInfo<SnapCase> &i) { return i.param.name; });

TEST_F(Recorder, ASecondSnapshotRequestWhileOneIsPendingIsIgnored)
{
    start(CAM_MODE_BOTH);
    Bytes image = frameBytes(5, 3000);
    q7_setSnapshoot();
    jpeg(2, image);
    q7_setSnapshoot(); // pending: one image saved, one to go
    EXPECT_EQ(gQ7_ipcBitsCtrl.snapshotReq.load(), 1);
    jpeg(3, image); // the second image ends the request
    EXPECT_EQ(gQ7_ipcBitsCtrl.snapshotReq.load(), 0);
    jpeg(2, image);
    stop();
    EXPECT_EQ(listDir(board.photo()).size(), 2u);
}

TEST_F(Recorder, ASnapshotThatCannotBeSavedKeepsTheRequest)
{
    start(CAM_MODE_MAIN);
    ASSERT_EQ(system(("rm -rf '" + board.photo() + "'").c_str()), 0);
    q7_setSnapshoot();
    jpeg(2, frameBytes(1, 100));
    EXPECT_EQ(gQ7_ipcBitsCtrl.snapshotReq.load(), 1);
    ASSERT_EQ(system(("mkdir -p '" + board.photo() + "'").c_str()), 0);
    jpeg(2, frameBytes(1, 100));
    EXPECT_EQ(gQ7_ipcBitsCtrl.snapshotReq.load(), 0);
    stop();
    EXPECT_EQ(listDir(board.photo()).size(), 1u);
}

TEST_F(Recorder, AnOversizedFrameIsReportedAndNotQueued)
{
    start(CAM_MODE_MAIN);
    video(0, true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(video(0, false, 320 * 240 / 2), -1); // the area holds fewer bytes
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(" ASSERT (q7_ipc_bits.cpp|q7_ipcBitsProcessFullBufs|"), std::string::npos)
        << err;
    EXPECT_EQ(video(0, false, 320 * 240 / 2 - 1), 0); // the largest that fits
    idle();
    stop();
    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 1u);
    Content c = content(files[0]);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].second, 1);
    EXPECT_EQ(c[1].second, 3); // intact
}

TEST_F(Recorder, WithoutPreRecordMemoryTheContinuousRecordingGoesOn)
{
    PRELIST_failNextRegionAlloc();
    start(CAM_MODE_MAIN);
    for (int i = 0; i < 6; i++)
        video(0, i == 0);
    idle();
    EXPECT_EQ(q7_setEvent(30), -1);
    EXPECT_EQ(q7_getPrerecDuration(), 0);
    std::string out = stop();
    EXPECT_NE(out.find("[pre-rec] "), std::string::npos) << out;
    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(content(files[0]).size(), 6u);
    EXPECT_TRUE(listDir(board.event()).empty());
}

TEST_F(Recorder, ARemovedCardFailsTheWritesButNotTheThreads)
{
    start(CAM_MODE_MAIN);
    video(0, true);
    idle();
    ASSERT_EQ(system(("rm -rf '" + board.cont() + "'").c_str()), 0);
    for (int i = 0; i < 40; i++)
        video(0, i % 10 == 0);
    idle();
    setClockSecond(5, 1);
    video(0, true); // the next minute's file cannot be created
    idle();
    ASSERT_EQ(system(("mkdir -p '" + board.cont() + "'").c_str()), 0);
    setClockSecond(5, 2);
    video(0, true); // the card is back
    video(0, false);
    idle();
    std::string out = stop();
    EXPECT_NE(out.find("[AVI_SAVE] ###########avi save handle is NULL!!!!!!!!#############"),
              std::string::npos)
        << out;
    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(content(files[0]).size(), 2u);
}

TEST_F(Recorder, StopEndsAnIntakeWaitingForAnEmptyBuffer)
{
    start(CAM_MODE_MAIN);
    std::atomic<int> taken{0};
    // The intake's routine fed without pause; once the recorder has left, it waits for a buffer
    // that will never come back until the stop ends the wait.
    std::thread feeder([&] {
        while (video(0, taken % 30 == 0) == 0)
            taken++;
    });
    while (taken < 100)
        OSA_waitMsecs(1);
    q7_ipcBitsStop();
    feeder.join(); // before the teardown deletes the queues it waits on
    stop();
    EXPECT_GE(taken.load(), 100);
}

TEST_F(Recorder, PreRecordDurationWrappers)
{
    start(CAM_MODE_MAIN);
    EXPECT_EQ(q7_getPrerecDuration(), 10);
    q7_setPrerecDuration(4);
    EXPECT_EQ(q7_getPrerecDuration(), 4);
    EXPECT_EQ(gQ7_ipcBitsCtrl.prerecSec.load(), 4);
    q7_setPrerecDuration(0);
    for (int i = 0; i < 5; i++)
        video(0, i == 0);
    idle();
    EXPECT_EQ(gPREREC_ctrl.count, 0u);
    EXPECT_EQ(q7_setEvent(30), -1);
}

} // namespace

// The recording path allocates nothing per frame: in steady state the only heap allocations are
// the AVI index's, at most one per written chunk. Counted with a process-wide allocator.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "platform/osa.h"
#include "rec_test_util.h"
#include "recorder/q7_ipc_bits.h"
#include "recorder/q7_prerec.h"
#include "recorder/q7_util.h"
#include "testsupport/alloc_count.h"
#include "testsupport/console.h"

using namespace rectest;

namespace {

struct AllocCase {
    const char *name;
    uint16_t contRec;
};

class SteadyState : public testing::TestWithParam<AllocCase>
{};

TEST_P(SteadyState, NoAllocationPerFrameBeyondTheIndex)
{
    Board board;
    setClockSecond(5);
    APP_CFG cfg;
    memset(&cfg, 0, sizeof(cfg));
    cfg.frameRate = 30;
    cfg.mainWidth = 640;
    cfg.mainHeight = 360;
    cfg.subWidth = 320;
    cfg.subHeight = 180;
    cfg.jpegEnable = cfg.bitsEnable = cfg.audioEnable = cfg.prerecEnable = 1;
    cfg.contRecEnable = GetParam().contRec;
    // The pipeline's console lines are not the test's output.
    auto quiet = std::make_unique<ConsoleCapture>(stdout);
    ASSERT_EQ(q7_ipcBitsInit(CAM_MODE_BOTH, &cfg), 0);
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;

    // Frames made before counting: 12 s of both cameras, a key frame a second.
    const int kFrames = 360;
    std::vector<Bytes> frames;
    for (int i = 0; i < 2 * kFrames; i++)
        frames.push_back(frameBytes((uint32_t)i, i % 2 ? 2000 : 6000));
    Bytes block = frameBytes(9999, 2000);
    auto feed = [&](int from, int to) {
        for (int i = from; i < to; i++) {
            for (int chn = 0; chn < 2; chn++) {
                VCODEC_BITSBUF_S b;
                memset(&b, 0, sizeof(b));
                b.chnId = (uint32_t)chn;
                b.codecType = VCODEC_TYPE_H264;
                b.frameType = i % 30 == 0 ? VCODEC_FRAME_TYPE_I : VCODEC_FRAME_TYPE_P;
                b.filledBufSize = (uint32_t)frames[2 * i + chn].size();
                b.bufVirtAddr = frames[2 * i + chn].data();
                ASSERT_EQ(q7_ipcBitsTakeBuffer(&b), 0);
            }
            if (i % 4 == 0) {
                uintptr_t v;
                ASSERT_EQ(OSA_queGet(&c.audEmptyQue, &v, 5000), OSA_SOK);
                BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
                slot->filledBufSize = (uint32_t)block.size();
                memcpy(slot->bufVirtAddr, block.data(), block.size());
                ASSERT_EQ(OSA_quePut(&c.audFullQue, v, OSA_TIMEOUT_NONE), OSA_SOK);
                OSA_semSignal(&c.recordSem);
            }
        }
        while (OSA_queGetQueuedCount(&c.vidEmptyQue) != IPCBITS_POOL_BUFS ||
               OSA_queGetQueuedCount(&c.audEmptyQue) != IPCBITS_POOL_BUFS)
            OSA_waitMsecs(1);
    };
    feed(0, 60); // the file is open and the pre-record list is filling
    startCountingAllocations();
    feed(60, kFrames);
    uint64_t allocs = stopCountingAllocations();
    uint32_t listed = gPREREC_ctrl.count;
    q7_ipcBitsStop();
    q7_ipcBitsExit();
    q7_set_clock_offset(0);
    quiet.reset();

    EXPECT_GT(listed, 500u); // the list took every frame
    uint64_t chunks = (kFrames - 60) * 2 + (kFrames - 60) / 4;
    printf("heap allocations: %llu for %llu chunks\n", (unsigned long long)allocs,
           (unsigned long long)chunks);
    if (GetParam().contRec) {
        EXPECT_LE(allocs, chunks) << "allocations per frame beyond the index";
    } else {
        EXPECT_EQ(allocs, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Recording, SteadyState,
                         testing::Values(AllocCase{"ContinuousFileAndPreRecordList", 1},
                                         AllocCase{"PreRecordListOnly", 0}),
                         [](const testing::TestParamInfo<AllocCase> &i) { return i.param.name; });

} // namespace

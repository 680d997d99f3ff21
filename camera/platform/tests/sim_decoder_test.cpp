// The simulated decoder: buffers granted on request, access units checked and counted.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "platform/osa.h"
#include "platform/sim/sim_board.h"
#include "platform/video_platform.h"

namespace {

class SimDecoder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim_reset();
        System_init();
        VDEC_PARAMS_S prm;
        Vdec_params_init(&prm);
        Vdec_init(&prm);
        Vdec_start();
    }
    void TearDown() override
    {
        Vdec_stop();
        Vdec_exit();
        System_deInit();
    }

    uint32_t request(VCODEC_BITSBUF_LIST_S *list, uint32_t n)
    {
        VDEC_BUF_REQUEST_S req;
        memset(&req, 0, sizeof(req));
        req.numBufs = n;
        req.minBufSize[0] = req.minBufSize[1] = 1036800;
        EXPECT_EQ(Vdec_requestBitstreamBuffer(&req, list, 0), 0);
        return list->numBufs;
    }

    // Waits until the decoder has taken `n` frames in all.
    SimCounters waitDecoded(uint64_t n)
    {
        SimCounters c{};
        for (int i = 0; i < 200; i++) {
            c = sim_counters();
            if (c.decoded[0] + c.decoded[1] + c.decodeErrors[0] + c.decodeErrors[1] >= n)
                break;
            OSA_waitMsecs(10);
        }
        return c;
    }
};

const uint8_t kKeyUnit[] = {0,    0,    0, 1, 0x27, 0x42, 0,    0,    0,   1,
                            0x28, 0xCE, 0, 0, 0,    1,    0x25, 0x88, 0x11};
const uint8_t kNotAUnit[] = {0x52, 0x49, 0x46, 0x46, 0, 0, 0, 0};

TEST_F(SimDecoder, GrantsOnlyFreeBuffersOfTheRequestedSize)
{
    VCODEC_BITSBUF_LIST_S *a = new VCODEC_BITSBUF_LIST_S;
    VCODEC_BITSBUF_LIST_S *b = new VCODEC_BITSBUF_LIST_S;
    VCODEC_BITSBUF_LIST_S *c = new VCODEC_BITSBUF_LIST_S;
    EXPECT_EQ(request(a, 2), 2u);
    for (uint32_t i = 0; i < a->numBufs; i++) {
        EXPECT_NE(a->bitsBuf[i].bufVirtAddr, nullptr);
        EXPECT_GE(a->bitsBuf[i].bufSize, 1036800u);
    }
    EXPECT_EQ(request(b, 2), 2u);
    EXPECT_EQ(request(c, 2), 0u) << "all buffers are granted and none was returned";
    delete a;
    delete b;
    delete c;
}

TEST_F(SimDecoder, DecodesWellFormedAccessUnitsPerChannelAndCountsTheRest)
{
    VCODEC_BITSBUF_LIST_S *list = new VCODEC_BITSBUF_LIST_S;
    ASSERT_EQ(request(list, 2), 2u);
    memcpy(list->bitsBuf[0].bufVirtAddr, kKeyUnit, sizeof(kKeyUnit));
    list->bitsBuf[0].chnId = 1;
    list->bitsBuf[0].codecType = 0;
    list->bitsBuf[0].filledBufSize = sizeof(kKeyUnit);
    memcpy(list->bitsBuf[1].bufVirtAddr, kNotAUnit, sizeof(kNotAUnit));
    list->bitsBuf[1].chnId = 0;
    list->bitsBuf[1].filledBufSize = sizeof(kNotAUnit);
    ASSERT_EQ(Vdec_putBitstreamBuffer(list), 0);

    SimCounters c = waitDecoded(2);
    EXPECT_EQ(c.decoded[1], 1u);
    EXPECT_EQ(c.decoded[0], 0u);
    EXPECT_EQ(c.decodeErrors[0], 1u);

    // Decoded buffers are free again.
    EXPECT_EQ(request(list, 4), 4u);
    delete list;
}

TEST_F(SimDecoder, RefusesBuffersItDidNotGrant)
{
    VCODEC_BITSBUF_LIST_S *list = new VCODEC_BITSBUF_LIST_S;
    uint8_t own[64];
    memcpy(own, kKeyUnit, sizeof(kKeyUnit));
    list->numBufs = 1;
    list->bitsBuf[0].bufVirtAddr = own;
    list->bitsBuf[0].filledBufSize = sizeof(kKeyUnit);
    list->bitsBuf[0].chnId = 0;
    EXPECT_LT(Vdec_putBitstreamBuffer(list), 0);
    delete list;
}

} // namespace

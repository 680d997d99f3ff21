// Throughput of intake -> recorder -> continuous AVI file + pre-record list, with frames handed
// in as fast as the recorder takes them, against the board's real load. The files go to $TMPDIR
// (or /tmp): point it at the disk whose cost is to be measured.
#include <benchmark/benchmark.h>

#include <string.h>
#include <time.h>

#include <chrono>

#include "platform/osa.h"
#include "rec_test_util.h"
#include "recorder/q7_ipc_bits.h"
#include "recorder/q7_util.h"

using namespace rectest;

namespace {

// The board: 30 + 30 fps, 10 Mbit/s main, 2 Mbit/s sub, 128 kbit/s audio (about 12.3 Mbit/s).
const double kRealFps = 60.0;
const double kRealBytesPerSec = 12.3e6 / 8;

double cpuSeconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

void BM_RecordPipeline(benchmark::State &state)
{
    Board board;
    int64_t clock = setClockSecond(1);
    APP_CFG cfg;
    memset(&cfg, 0, sizeof(cfg));
    cfg.frameRate = 30;
    cfg.mainWidth = 1920;
    cfg.mainHeight = 1080;
    cfg.subWidth = 1280;
    cfg.subHeight = 720;
    cfg.jpegEnable = cfg.bitsEnable = cfg.audioEnable = cfg.prerecEnable = cfg.contRecEnable = 1;
    q7_ipcBitsInit(CAM_MODE_BOTH, &cfg);
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;

    // One second of the board's streams: sizes of a 30-frame group at the real bit rates.
    std::vector<Bytes> mainFrames, subFrames;
    for (int i = 0; i < 30; i++) {
        mainFrames.push_back(frameBytes((uint32_t)i, i == 0 ? 140000 : 38000));
        subFrames.push_back(frameBytes((uint32_t)i, i == 0 ? 28000 : 7600));
    }
    Bytes block = frameBytes(1, 2000);
    auto put = [](uint32_t chn, bool key, const Bytes &b) {
        VCODEC_BITSBUF_S d;
        memset(&d, 0, sizeof(d));
        d.chnId = chn;
        d.codecType = VCODEC_TYPE_H264;
        d.frameType = key ? VCODEC_FRAME_TYPE_I : VCODEC_FRAME_TYPE_P;
        d.filledBufSize = (uint32_t)b.size();
        d.bufVirtAddr = (void *)b.data();
        q7_ipcBitsTakeBuffer(&d);
    };

    uint64_t frames = 0, bytes = 0;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        // Each pass is one second of the board's streams, and the recorder's clock moves on with
        // it: what the recorder does by the clock (bringing its files to the card, a new file
        // each minute) comes as often per frame as on the board.
        q7_set_clock_offset(++clock);
        double cpu0 = cpuSeconds();
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 30; i++) {
            put(0, i == 0, mainFrames[i]);
            put(1, i == 0, subFrames[i]);
            frames += 2;
            bytes += mainFrames[i].size() + subFrames[i].size();
            if (i % 4 == 0) {
                uintptr_t v;
                if (OSA_queGet(&c.audEmptyQue, &v, 5000) == OSA_SOK) {
                    BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
                    slot->filledBufSize = (uint32_t)block.size();
                    memcpy(slot->bufVirtAddr, block.data(), block.size());
                    OSA_quePut(&c.audFullQue, v, OSA_TIMEOUT_NONE);
                    OSA_semSignal(&c.recordSem);
                    bytes += block.size();
                }
            }
        }
        while (OSA_queGetQueuedCount(&c.vidEmptyQue) != IPCBITS_POOL_BUFS ||
               OSA_queGetQueuedCount(&c.audEmptyQue) != IPCBITS_POOL_BUFS)
            OSA_waitMsecs(1);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += cpuSeconds() - cpu0;
    }
    q7_ipcBitsStop();
    q7_ipcBitsExit();
    q7_set_clock_offset(0);

    double fps = frames / wall;
    double bps = bytes / wall;
    state.counters["frames/s"] = fps;
    state.counters["MB/s"] = bps / 1e6;
    state.counters["x real frames"] = fps / kRealFps;
    state.counters["x real bytes"] = bps / kRealBytesPerSec;
    state.counters["CPU us/frame"] = 1e6 * cpu / (double)frames;
}
BENCHMARK(BM_RecordPipeline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

} // namespace

BENCHMARK_MAIN();

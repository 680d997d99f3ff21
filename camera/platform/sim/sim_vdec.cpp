// The simulated decoder: a few input buffers, granted on request and decoded on a platform
// thread at the decoder's frame rate. "Decoding" checks that each buffer holds a well-formed
// Annex-B access unit and counts it.
#include "platform/sim/sim_internal.h"

#include <string.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

const int kDecoderBuffers = 4;

struct InBuf {
    std::vector<uint8_t> data;
    bool granted = false;
    bool queued = false;
    uint32_t chnId = 0;
    uint32_t filled = 0;
};

struct Decoder {
    std::mutex lock;
    std::condition_variable wake;
    VDEC_PARAMS_S params{};
    InBuf bufs[kDecoderBuffers];
    std::deque<int> queue; // filled buffers in the order put
    std::thread thread;
    bool stop = false;
};

Decoder &dec()
{
    static Decoder *d = new Decoder;
    return *d;
}

void decoderLoop()
{
    Decoder &d = dec();
    std::unique_lock<std::mutex> lk(d.lock);
    uint32_t fps = d.params.chn[0].frameRate ? d.params.chn[0].frameRate : 30;
    auto period = std::chrono::microseconds(1000000 / fps);
    auto next = std::chrono::steady_clock::now();
    while (!d.stop) {
        d.wake.wait_until(lk, next, [&d] { return d.stop; });
        if (d.stop)
            break;
        next += period;
        if (next < std::chrono::steady_clock::now())
            next = std::chrono::steady_clock::now() + period;
        // One frame per channel per frame period.
        bool done[VDEC_CHN_MAX] = {false, false};
        for (auto it = d.queue.begin(); it != d.queue.end();) {
            InBuf &b = d.bufs[*it];
            uint32_t ch = b.chnId < VDEC_CHN_MAX ? b.chnId : 0;
            if (done[ch]) {
                ++it;
                continue;
            }
            done[ch] = true;
            bool ok = b.chnId < d.params.numChn &&
                      sim_h264_is_access_unit(b.data.data(), b.filled, nullptr);
            sim::countDecoded((int)b.chnId, ok);
            b.queued = false;
            b.granted = false;
            it = d.queue.erase(it);
        }
    }
}

void stopThread(Decoder &d)
{
    {
        std::lock_guard<std::mutex> lk(d.lock);
        d.stop = true;
    }
    d.wake.notify_all();
    if (d.thread.joinable())
        d.thread.join();
}

} // namespace

namespace sim {

void decoderShutdown(void)
{
    stopThread(dec());
}

} // namespace sim

void Vdec_params_init(VDEC_PARAMS_S *prm)
{
    memset(prm, 0, sizeof(*prm));
    prm->numChn = 2;
    prm->chn[0] = {1920, 1080, 30};
    prm->chn[1] = {1280, 720, 30};
    sim::log("Vdec_params_init");
}

int Vdec_init(VDEC_PARAMS_S *prm)
{
    Decoder &d = dec();
    {
        std::lock_guard<std::mutex> lk(d.lock);
        d.params = *prm;
        if (d.params.numChn > VDEC_CHN_MAX)
            d.params.numChn = VDEC_CHN_MAX;
        for (InBuf &b : d.bufs)
            b = InBuf();
        d.queue.clear();
    }
    sim::log("Vdec_init numChn=%u ch0=%ux%u@%u ch1=%ux%u@%u", prm->numChn, prm->chn[0].width,
             prm->chn[0].height, prm->chn[0].frameRate, prm->chn[1].width, prm->chn[1].height,
             prm->chn[1].frameRate);
    return 0;
}

int Vdec_start(void)
{
    Decoder &d = dec();
    stopThread(d);
    {
        std::lock_guard<std::mutex> lk(d.lock);
        d.stop = false;
        d.thread = std::thread(decoderLoop);
    }
    sim::log("Vdec_start");
    return 0;
}

int Vdec_stop(void)
{
    stopThread(dec());
    sim::log("Vdec_stop");
    return 0;
}

int Vdec_exit(void)
{
    Decoder &d = dec();
    stopThread(d);
    {
        std::lock_guard<std::mutex> lk(d.lock);
        for (InBuf &b : d.bufs)
            b = InBuf();
        d.queue.clear();
    }
    sim::log("Vdec_exit");
    return 0;
}

int Vdec_requestBitstreamBuffer(VDEC_BUF_REQUEST_S *req, VCODEC_BITSBUF_LIST_S *list, int)
{
    if (req == nullptr || list == nullptr)
        return -1;
    Decoder &d = dec();
    std::lock_guard<std::mutex> lk(d.lock);
    uint32_t want = req->numBufs > VCODEC_BITSBUF_MAX ? VCODEC_BITSBUF_MAX : req->numBufs;
    uint32_t size =
        req->minBufSize[0] > req->minBufSize[1] ? req->minBufSize[0] : req->minBufSize[1];
    uint32_t n = 0;
    for (int i = 0; i < kDecoderBuffers && n < want; i++) {
        InBuf &b = d.bufs[i];
        if (b.granted)
            continue;
        if (b.data.size() < size)
            b.data.resize(size);
        b.granted = true;
        b.filled = 0;
        VCODEC_BITSBUF_S &out = list->bitsBuf[n];
        memset(&out, 0, sizeof(out));
        out.chnId = n % (d.params.numChn ? d.params.numChn : 1);
        out.bufVirtAddr = b.data.data();
        out.bufSize = (uint32_t)b.data.size();
        n++;
    }
    list->numBufs = n;
    return 0;
}

int Vdec_putBitstreamBuffer(VCODEC_BITSBUF_LIST_S *list)
{
    if (list == nullptr)
        return -1;
    Decoder &d = dec();
    std::lock_guard<std::mutex> lk(d.lock);
    int ret = 0;
    for (uint32_t i = 0; i < list->numBufs && i < VCODEC_BITSBUF_MAX; i++) {
        const VCODEC_BITSBUF_S &in = list->bitsBuf[i];
        int found = -1;
        for (int k = 0; k < kDecoderBuffers; k++) {
            InBuf &b = d.bufs[k];
            if (b.granted && !b.queued && (const void *)b.data.data() == in.bufVirtAddr) {
                found = k;
                break;
            }
        }
        if (found < 0 || in.filledBufSize > d.bufs[found].data.size()) {
            ret = -1;
            continue;
        }
        InBuf &b = d.bufs[found];
        b.chnId = in.chnId;
        b.filled = in.filledBufSize;
        b.queued = true;
        d.queue.push_back(found);
    }
    d.wake.notify_all();
    return ret;
}

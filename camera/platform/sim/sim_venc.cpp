// The simulated encoders: one platform thread produces the frames of every enabled channel at
// its frame rate, and calls the application's new-data callback.
#include "platform/sim/sim_internal.h"

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Frames a channel can have handed out at once; further frames are dropped, not queued.
const int kSlotsPerChannel = 8;
// A key frame is this many times larger than the other frames of its group.
const uint32_t kKeyFrameWeight = 4;

struct Slot {
    std::vector<uint8_t> data;
    uint32_t size = 0;
    uint32_t frameType = 0;
    uint32_t timestamp = 0;
    uint32_t seqId = 0; // frame number of the channel, counting dropped frames too
    bool busy = false;
};

struct Channel {
    bool active = false;
    uint32_t codec = VCODEC_TYPE_H264;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t encFps = 30;
    uint32_t inputFps = 30;
    uint32_t bitRate = 5000000;
    uint32_t gop = 30;
    uint64_t frameNo = 0;
    Clock::time_point next;
    Slot slots[kSlotsPerChannel];
    std::vector<sim::AccessUnit> clip;
    size_t clipPos = 0;

    uint32_t fps() const
    {
        if (codec != VCODEC_TYPE_H264)
            return 1;
        uint32_t f = encFps < inputFps ? encFps : inputFps;
        return f == 0 ? 1 : f;
    }
};

struct Encoder {
    std::mutex lock;
    std::condition_variable readyCond;
    std::condition_variable wake;
    VENC_PARAMS_S params{};
    Channel ch[VENC_CHN_MAX];
    std::deque<std::pair<int, int>> ready; // (channel, slot) in the order produced
    VENC_CALLBACK_S cb{};
    void *cbData = nullptr;
    std::thread thread;
    bool stop = false;
    Clock::time_point epoch = Clock::now();
};

Encoder &enc()
{
    static Encoder *e = new Encoder;
    return *e;
}

uint32_t synthSize(const Channel &c, bool key)
{
    uint64_t avg = (uint64_t)c.bitRate / 8 / c.fps();
    uint64_t other = avg * c.gop / (kKeyFrameWeight + c.gop - 1);
    uint64_t size = key ? other * kKeyFrameWeight : other;
    // A little variation from frame to frame, the same on average.
    int64_t jitter = (int64_t)((c.frameNo * 2654435761u) % 11) - 5; // -5..+5 percent
    size = size + (int64_t)size * jitter / 100;
    return (uint32_t)(size < 64 ? 64 : size);
}

// Makes the next frame of a channel; the lock is held.
void produceFrame(Encoder &e, int chId)
{
    Channel &c = e.ch[chId];
    uint64_t frameNo = c.frameNo++;
    int free = -1;
    for (int i = 0; i < kSlotsPerChannel; i++) {
        if (!c.slots[i].busy) {
            free = i;
            break;
        }
    }
    if (free < 0) {
        sim::countProduced(chId, true);
        return;
    }
    Slot &s = c.slots[free];
    if (c.codec != VCODEC_TYPE_H264) {
        const std::vector<uint8_t> &img = sim::jpegImage(c.width, c.height, chId);
        s.data.assign(img.begin(), img.end());
        s.size = (uint32_t)img.size();
        s.frameType = VCODEC_FRAME_TYPE_I;
    } else if (!c.clip.empty()) {
        const sim::AccessUnit &au = c.clip[c.clipPos];
        c.clipPos = (c.clipPos + 1) % c.clip.size();
        s.data.assign(au.bytes.begin(), au.bytes.end());
        s.size = (uint32_t)au.bytes.size();
        s.frameType = au.key ? VCODEC_FRAME_TYPE_I : VCODEC_FRAME_TYPE_P;
    } else {
        bool key = frameNo % c.gop == 0;
        sim::makeSyntheticFrame(s.data, synthSize(c, key), key, frameNo);
        s.size = (uint32_t)s.data.size();
        s.frameType = key ? VCODEC_FRAME_TYPE_I : VCODEC_FRAME_TYPE_P;
    }
    s.timestamp =
        (uint32_t)std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - e.epoch)
            .count();
    s.seqId = (uint32_t)frameNo;
    s.busy = true;
    e.ready.emplace_back(chId, free);
    sim::countProduced(chId, false);
}

void encoderLoop()
{
    Encoder &e = enc();
    std::unique_lock<std::mutex> lk(e.lock);
    Clock::time_point start = Clock::now();
    for (Channel &c : e.ch)
        c.next = start;
    while (!e.stop) {
        Clock::time_point now = Clock::now();
        Clock::time_point earliest = now + std::chrono::seconds(1);
        bool produced = false;
        for (int i = 0; i < VENC_CHN_MAX; i++) {
            Channel &c = e.ch[i];
            if (!c.active)
                continue;
            auto period = std::chrono::microseconds(1000000 / c.fps());
            if (now >= c.next) {
                produceFrame(e, i);
                produced = true;
                c.next += period;
                if (c.next < now - std::chrono::seconds(1))
                    c.next = now + period; // after a stall, no burst of catch-up frames
            }
            if (c.next < earliest)
                earliest = c.next;
        }
        if (produced) {
            e.readyCond.notify_all();
            VENC_CALLBACK_S cb = e.cb;
            void *data = e.cbData;
            if (cb.newDataAvailableCb != nullptr) {
                lk.unlock();
                cb.newDataAvailableCb(data);
                lk.lock();
            }
            continue;
        }
        e.wake.wait_until(lk, earliest);
    }
}

void stopThread(Encoder &e)
{
    {
        std::lock_guard<std::mutex> lk(e.lock);
        e.stop = true;
    }
    e.wake.notify_all();
    e.readyCond.notify_all();
    if (e.thread.joinable())
        e.thread.join();
}

std::vector<uint8_t> readFile(const std::string &path)
{
    std::vector<uint8_t> data;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        return data;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        data.insert(data.end(), buf, buf + n);
    fclose(f);
    return data;
}

void setUpChannel(Channel &c, uint32_t codec, uint32_t width, uint32_t height,
                  const VENC_CHN_PARAMS_S &prm)
{
    c.active = true;
    c.codec = codec;
    c.width = width;
    c.height = height;
    if (prm.frameRate != 0)
        c.encFps = prm.frameRate;
    if (prm.targetBitRate != 0)
        c.bitRate = prm.targetBitRate;
    if (prm.intraFrameInterval != 0)
        c.gop = prm.intraFrameInterval;
}

} // namespace

namespace sim {

void encoderShutdown(void)
{
    stopThread(enc());
}

} // namespace sim

void Venc_params_init(VENC_PARAMS_S *prm)
{
    memset(prm, 0, sizeof(*prm));
    prm->numPrimaryChn = 1;
    for (int i = 0; i < VENC_CHN_MAX; i++) {
        prm->chn[i].frameRate = 30;
        prm->chn[i].targetBitRate = i == 0 ? 10000000 : 5000000;
        prm->chn[i].intraFrameInterval = 30;
    }
    sim::log("Venc_params_init");
}

int Venc_init(VENC_PARAMS_S *prm)
{
    Encoder &e = enc();
    {
        std::lock_guard<std::mutex> lk(e.lock);
        e.params = *prm;
        for (Channel &c : e.ch)
            c = Channel();
    }
    sim::log("Venc_init numPrimaryChn=%u mjpeg=%u ch0=%u/%u/%u ch1=%u/%u/%u", prm->numPrimaryChn,
             prm->enableMjpeg, prm->chn[0].frameRate, prm->chn[0].targetBitRate,
             prm->chn[0].intraFrameInterval, prm->chn[1].frameRate, prm->chn[1].targetBitRate,
             prm->chn[1].intraFrameInterval);
    return 0;
}

int Venc_start(void)
{
    Encoder &e = enc();
    sim::ChainInfo chain = sim::chainInfo();
    std::string clips[2] = {sim::clipPath(0), sim::clipPath(1)};
    std::vector<sim::AccessUnit> clipUnits[2];
    for (int i = 0; i < 2; i++) {
        if (clips[i].empty())
            continue;
        clipUnits[i] = sim::splitAccessUnits(readFile(clips[i]));
        if (clipUnits[i].empty())
            sim::log("Venc_start clip%d=%s unreadable, synthetic frames instead", i,
                     clips[i].c_str());
    }
    // Encode the snapshot images now rather than stall the first frames of the running chain.
    if (chain.created && chain.vsys.enableMjpeg) {
        bool capture =
            chain.vsys.systemUseCase == VSYS_USECASE_SINGLE_STREAM && chain.vsys.enableCapture;
        uint32_t w = capture ? chain.vcap.width : chain.vcam.width;
        uint32_t h = capture ? chain.vcap.height : chain.vcam.height;
        if (w != 0 && h != 0)
            sim::jpegImage(w, h, VENC_CHN_MAIN_JPEG);
        if (chain.vsys.systemUseCase == VSYS_USECASE_DUAL_STREAM_CAPTURE && chain.vcap.width != 0 &&
            chain.vcap.height != 0)
            sim::jpegImage(chain.vcap.width, chain.vcap.height, VENC_CHN_SUB_JPEG);
    }
    stopThread(e);
    {
        std::lock_guard<std::mutex> lk(e.lock);
        e.stop = false;
        e.ready.clear();
        const VSYS_PARAMS_S &vs = chain.vsys;
        bool mjpeg = vs.enableMjpeg != 0 || e.params.enableMjpeg != 0;
        if (chain.created && vs.enableEncode) {
            if (vs.systemUseCase == VSYS_USECASE_SINGLE_STREAM) {
                uint32_t w = vs.enableCapture ? chain.vcap.width : chain.vcam.width;
                uint32_t h = vs.enableCapture ? chain.vcap.height : chain.vcam.height;
                setUpChannel(e.ch[0], VCODEC_TYPE_H264, w, h, e.params.chn[0]);
                if (mjpeg)
                    setUpChannel(e.ch[2], VCODEC_TYPE_MJPEG, w, h, e.params.chn[2]);
            } else if (vs.systemUseCase == VSYS_USECASE_DUAL_STREAM_CAPTURE) {
                setUpChannel(e.ch[0], VCODEC_TYPE_H264, chain.vcam.width, chain.vcam.height,
                             e.params.chn[0]);
                setUpChannel(e.ch[1], VCODEC_TYPE_H264, chain.vcap.width, chain.vcap.height,
                             e.params.chn[1]);
                if (mjpeg) {
                    setUpChannel(e.ch[2], VCODEC_TYPE_MJPEG, chain.vcam.width, chain.vcam.height,
                                 e.params.chn[2]);
                    setUpChannel(e.ch[3], VCODEC_TYPE_MJPEG, chain.vcap.width, chain.vcap.height,
                                 e.params.chn[3]);
                }
            }
        }
        for (int i = 0; i < 2; i++)
            e.ch[i].clip = std::move(clipUnits[i]);
        for (int i = 0; i < VENC_CHN_MAX; i++)
            if (e.ch[i].active && (e.ch[i].width == 0 || e.ch[i].height == 0))
                e.ch[i].active = false; // a camera of size 0 x 0 delivers nothing
        e.thread = std::thread(encoderLoop);
    }
    sim::log("Venc_start ch0=%d ch1=%d ch2=%d ch3=%d", e.ch[0].active, e.ch[1].active,
             e.ch[2].active, e.ch[3].active);
    return 0;
}

int Venc_stop(void)
{
    Encoder &e = enc();
    stopThread(e);
    {
        std::lock_guard<std::mutex> lk(e.lock);
        // Frames not yet taken are gone; frames the application holds stay valid until released.
        for (auto &r : e.ready)
            e.ch[r.first].slots[r.second].busy = false;
        e.ready.clear();
    }
    SimCounters c = sim_counters();
    sim::log("Venc_stop produced=%llu,%llu,%llu,%llu dropped=%llu,%llu,%llu,%llu",
             (unsigned long long)c.produced[0], (unsigned long long)c.produced[1],
             (unsigned long long)c.produced[2], (unsigned long long)c.produced[3],
             (unsigned long long)c.dropped[0], (unsigned long long)c.dropped[1],
             (unsigned long long)c.dropped[2], (unsigned long long)c.dropped[3]);
    return 0;
}

int Venc_exit(void)
{
    Encoder &e = enc();
    stopThread(e);
    {
        std::lock_guard<std::mutex> lk(e.lock);
        for (Channel &c : e.ch)
            c = Channel();
        e.ready.clear();
        e.cb = VENC_CALLBACK_S{};
        e.cbData = nullptr;
    }
    sim::log("Venc_exit");
    return 0;
}

int Venc_registerCallback(VENC_CALLBACK_S *callback, void *appData)
{
    Encoder &e = enc();
    {
        std::lock_guard<std::mutex> lk(e.lock);
        e.cb = callback ? *callback : VENC_CALLBACK_S{};
        e.cbData = appData;
    }
    sim::log("Venc_registerCallback");
    return 0;
}

int Venc_getBitstreamBuffer(VCODEC_BITSBUF_LIST_S *list, int timeout)
{
    if (list == nullptr)
        return -1;
    Encoder &e = enc();
    std::unique_lock<std::mutex> lk(e.lock);
    if (timeout != 0) {
        auto ready = [&e] { return !e.ready.empty() || e.stop; };
        if (timeout < 0)
            e.readyCond.wait(lk, ready);
        else
            e.readyCond.wait_for(lk, std::chrono::milliseconds(timeout), ready);
    }
    uint32_t n = 0;
    while (!e.ready.empty() && n < VCODEC_BITSBUF_MAX) {
        auto r = e.ready.front();
        e.ready.pop_front();
        const Channel &c = e.ch[r.first];
        const Slot &s = c.slots[r.second];
        VCODEC_BITSBUF_S &b = list->bitsBuf[n++];
        memset(&b, 0, sizeof(b));
        b.chnId = (uint32_t)r.first;
        b.codecType = c.codec;
        b.frameType = s.frameType;
        b.filledBufSize = s.size;
        b.bufVirtAddr = (void *)s.data.data();
        b.frameWidth = c.width;
        b.frameHeight = c.height;
        b.bufSize = (uint32_t)s.data.capacity();
        b.timestamp = s.timestamp;
        b.seqId = s.seqId;
    }
    list->numBufs = n;
    return 0;
}

int Venc_releaseBitstreamBuffer(VCODEC_BITSBUF_LIST_S *list)
{
    if (list == nullptr)
        return -1;
    Encoder &e = enc();
    std::lock_guard<std::mutex> lk(e.lock);
    int ret = 0;
    for (uint32_t i = 0; i < list->numBufs && i < VCODEC_BITSBUF_MAX; i++) {
        const VCODEC_BITSBUF_S &b = list->bitsBuf[i];
        bool found = false;
        if (b.chnId < VENC_CHN_MAX) {
            for (Slot &s : e.ch[b.chnId].slots) {
                if (s.busy && (const void *)s.data.data() == b.bufVirtAddr) {
                    s.busy = false;
                    found = true;
                    break;
                }
            }
        }
        if (!found)
            ret = -1;
    }
    list->numBufs = 0;
    return ret;
}

int Venc_setInputFrameRate(int channel, int fps)
{
    sim::log("Venc_setInputFrameRate ch=%d fps=%d", channel, fps);
    if (channel < 0 || channel >= VENC_CHN_MAX || fps <= 0 || fps > 60)
        return -1;
    Encoder &e = enc();
    std::lock_guard<std::mutex> lk(e.lock);
    e.ch[channel].inputFps = (uint32_t)fps;
    return 0;
}

int Venc_setDynamicParam(int channel, int streamId, VENC_DYNPARAMS_S *prm, int kind)
{
    if (prm == nullptr)
        return -1;
    switch (kind) {
    case VENC_DYN_BITRATE:
        sim::log("Venc_setDynamicParam ch=%d stream=%d kind=0 bitRate=%d", channel, streamId,
                 (int)prm->targetBitRate);
        break;
    case VENC_DYN_FRAMERATE:
        sim::log("Venc_setDynamicParam ch=%d stream=%d kind=1 frameRate=%d", channel, streamId,
                 (int)prm->frameRate);
        break;
    case VENC_DYN_IFRAME_INTERVAL:
        sim::log("Venc_setDynamicParam ch=%d stream=%d kind=2 interval=%d", channel, streamId,
                 (int)prm->intraFrameInterval);
        break;
    case VENC_DYN_MOTION:
        sim::log("Venc_setDynamicParam ch=%d stream=%d kind=14 enable=%u level=%u mask=0x%X,0x%X",
                 channel, streamId, prm->mdEnable, prm->mdLevel, prm->mdBlockMask[0],
                 prm->mdBlockMask[1]);
        break;
    default:
        sim::log("Venc_setDynamicParam ch=%d stream=%d kind=%d", channel, streamId, kind);
        return -1;
    }
    if (channel < 0 || channel >= VENC_CHN_MAX)
        return -1;
    if (kind == VENC_DYN_MOTION) {
        sim::setMotion(channel, prm->mdEnable != 0);
        return 0;
    }
    // The encoder keeps its setting when a value is outside what it can do.
    Encoder &e = enc();
    std::lock_guard<std::mutex> lk(e.lock);
    Channel &c = e.ch[channel];
    if (kind == VENC_DYN_BITRATE && prm->targetBitRate >= 64000 && prm->targetBitRate <= 40000000)
        c.bitRate = prm->targetBitRate;
    else if (kind == VENC_DYN_FRAMERATE && prm->frameRate >= 1 && prm->frameRate <= 60)
        c.encFps = prm->frameRate;
    else if (kind == VENC_DYN_IFRAME_INTERVAL && prm->intraFrameInterval >= 1 &&
             prm->intraFrameInterval <= 300)
        c.gop = prm->intraFrameInterval;
    else
        return -1;
    return 0;
}

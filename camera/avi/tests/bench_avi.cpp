// Benchmarks of the AVI library against FFmpeg on one minute of recording: 1800 main frames of
// about 41.7 kB, 1800 sub frames of about 8.3 kB and 480 audio blocks of 2000 bytes.
//   write:  LIBAVI_write_frame for the minute  vs  ffmpeg -c copy of the same streams into AVI
//   repair: LIBAVI_recoverFile of the minute cut short  vs  ffmpeg -i cut.avi -c copy fixed.avi
//   damaged repair: the same minute with one damaged span (a 32 KiB cluster of stale bytes over a
//           chunk header)  vs  the undamaged repair  vs  ffmpeg -i damaged.avi -c copy fixed.avi
// and the heap allocations per LIBAVI_write_frame.
#include "avi/avirecover.h"
#include "avi/udavi.h"
#include "avi_test_util.h"
#include "testsupport/alloc_count.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <memory>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

using namespace avitest;

namespace {

struct Minute {
    TempDir dir;
    std::vector<Chunk> chunks;
    uint64_t bytes = 0;
    std::string mainEs, subEs, audioRaw, full, cut, damaged;
    Bytes cutBytes, damagedBytes;
    bool ok = false;
};
Minute *g_minute;

// Cycles a short clip's access units to `n` frames.
std::vector<AccessUnit> cycle(const std::vector<AccessUnit> &clip, size_t n)
{
    std::vector<AccessUnit> out;
    for (size_t i = 0; i < n && !clip.empty(); i++)
        out.push_back(clip[i % clip.size()]);
    return out;
}

Minute &minute()
{
    if (g_minute)
        return *g_minute;
    g_minute = new Minute;
    Minute &m = *g_minute;
    // These rates give frames of about 41.7 and 8.3 kB at 29.97 frames per second.
    auto mainClip = makeClip(m.dir.path(), 1920, 1080, 60, "8.8M");
    auto subClip = makeClip(m.dir.path(), 1280, 720, 60, "1.8M");
    auto main = cycle(mainClip, 1800), sub = cycle(subClip, 1800);
    m.chunks = interleave(main, &sub, true);
    while (m.chunks.size() > 1800 + 1800 + 480) // the minute's 480 blocks
        m.chunks.pop_back();
    Bytes es0, es1, audio;
    for (const Chunk &c : m.chunks) {
        m.bytes += c.data.size();
        Bytes &to = c.dataType == DATA_TYPE_VIDEO_MAIN  ? es0
                    : c.dataType == DATA_TYPE_VIDEO_SUB ? es1
                                                        : audio;
        to.insert(to.end(), c.data.begin(), c.data.end());
    }
    m.mainEs = m.dir.file("main.h264");
    m.subEs = m.dir.file("sub.h264");
    m.audioRaw = m.dir.file("audio.ulaw");
    writeFile(m.mainEs, es0);
    writeFile(m.subEs, es1);
    writeFile(m.audioRaw, audio);
    m.full = m.dir.file("minute.avi");
    Bytes atOpen;
    m.ok = !mainClip.empty() && !subClip.empty() &&
           writeRecording(m.full, recorderParams(true, true), m.chunks, &atOpen);
    Bytes closed = readFile(m.full);
    auto offs = chunkOffsets(closed);
    if (offs.size() != m.chunks.size())
        m.ok = false;
    // Cut inside the last chunk, as a power loss leaves it.
    if (m.ok)
        m.cutBytes = powerCut(closed, atOpen, offs.back() + 8 + m.chunks.back().data.size() / 2);
    m.cut = m.dir.file("cut.avi");
    writeFile(m.cut, m.cutBytes);
    // The cluster that holds the header of the middle chunk holds stale bytes.
    m.damagedBytes = m.cutBytes;
    if (m.ok) {
        const size_t cluster = 32768, from = offs[offs.size() / 2] / cluster * cluster;
        uint32_t x = 12345;
        for (size_t i = from; i < from + cluster; i++) {
            x = x * 1103515245u + 12345u;
            m.damagedBytes[i] = (uint8_t)(x >> 16);
        }
    }
    m.damaged = m.dir.file("damaged.avi");
    writeFile(m.damaged, m.damagedBytes);
    AVIRC_INFO info;
    if (m.ok && (AVIrcInspect(m.damaged.c_str(), &info) != 0 || info.damagedSpans != 1))
        m.ok = false;
    else if (m.ok)
        fprintf(stderr, "damaged minute: 1 span of %u bytes\n", (unsigned)info.damagedBytes);
    fprintf(stderr,
            "minute: %zu chunks, %.1f MB of frame data (main %.1f kB, sub %.1f kB per frame)\n",
            m.chunks.size(), m.bytes / 1e6, es0.size() / 1800.0 / 1e3, es1.size() / 1800.0 / 1e3);
    return m;
}

// Seconds per iteration of each repetition: write, ffmpeg write, repair, ffmpeg repair, damaged
// repair, ffmpeg of the damaged file.
std::vector<double> g_runs[6];

// The median over the repetitions (--benchmark_repetitions), 0 when the benchmark did not run.
double seconds(int i)
{
    std::vector<double> v = g_runs[i];
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void runQuiet(benchmark::State &state, const std::string &cmd)
{
    if (system((cmd + " >/dev/null 2>&1").c_str()) != 0)
        state.SkipWithError(("failed: " + cmd).c_str());
}

void BM_LibaviWriteMinute(benchmark::State &state)
{
    Minute &m = minute();
    if (!m.ok) {
        state.SkipWithError("no clip (ffmpeg)");
        return;
    }
    std::string out = m.dir.file("bench.avi");
    uint64_t writes = 0, mallocs = 0;
    for (auto _ : state) {
        AVI_SYSTEM_PARAM p = recorderParams(true, true);
        void *h = LIBAVI_createAvi((char *)out.c_str(), &p);
        startCountingAllocations();
        for (const Chunk &c : m.chunks) {
            AVI_FRAME_PARAM f = {
                (unsigned char *)c.data.data(), (int)c.data.size(), 0, c.dataType, c.key, 0, 0};
            LIBAVI_write_frame(h, &f);
        }
        mallocs += stopCountingAllocations();
        writes += m.chunks.size();
        LIBAVI_closeAvi(h);
    }
    state.counters["frames/s"] = benchmark::Counter((double)writes, benchmark::Counter::kIsRate);
    state.counters["MB/s"] =
        benchmark::Counter((double)m.bytes * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    state.counters["mallocs/iter"] = (double)mallocs / (double)state.iterations();
    state.counters["mallocs/1k writes"] = 1000.0 * (double)mallocs / (double)writes;
}

void BM_FfmpegWriteMinute(benchmark::State &state)
{
    Minute &m = minute();
    if (!m.ok) {
        state.SkipWithError("no clip (ffmpeg)");
        return;
    }
    std::string cmd = "ffmpeg -nostdin -y -v error -f h264 -framerate 30000/1001 -i '" + m.mainEs +
                      "' -f h264 -framerate 30000/1001 -i '" + m.subEs +
                      "' -f mulaw -ar 16000 -ac 1 -i '" + m.audioRaw +
                      "' -map 0 -map 1 -map 2 -c copy '" + m.dir.file("ffmpeg.avi") + "'";
    for (auto _ : state)
        runQuiet(state, cmd);
    state.counters["MB/s"] =
        benchmark::Counter((double)m.bytes * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

// Repairs a fresh copy of `bytes` per iteration; only the repair is timed.
void repairLoop(benchmark::State &state, const Bytes &bytes)
{
    std::string work = minute().dir.file("repair.avi");
    int devnull = open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        state.PauseTiming();
        writeFile(work, bytes);
        fflush(stdout);
        int saved = dup(1);
        dup2(devnull, 1);
        state.ResumeTiming();
        int rc = LIBAVI_recoverFile((char *)work.c_str());
        state.PauseTiming();
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
        if (rc != 0)
            state.SkipWithError("repair failed");
        state.ResumeTiming();
    }
    close(devnull);
}

void BM_LibaviRepairMinute(benchmark::State &state)
{
    Minute &m = minute();
    if (!m.ok) {
        state.SkipWithError("no clip (ffmpeg)");
        return;
    }
    repairLoop(state, m.cutBytes);
}

void BM_LibaviRepairDamagedMinute(benchmark::State &state)
{
    Minute &m = minute();
    if (!m.ok) {
        state.SkipWithError("no clip (ffmpeg)");
        return;
    }
    repairLoop(state, m.damagedBytes);
}

void BM_FfmpegCopyDamagedMinute(benchmark::State &state)
{
    Minute &m = minute();
    if (!m.ok) {
        state.SkipWithError("no clip (ffmpeg)");
        return;
    }
    std::string cmd = "ffmpeg -nostdin -y -v error -i '" + m.damaged + "' -c copy '" +
                      m.dir.file("fixed.avi") + "'";
    for (auto _ : state)
        runQuiet(state, cmd);
}

void BM_FfmpegCopyCutMinute(benchmark::State &state)
{
    Minute &m = minute();
    if (!m.ok) {
        state.SkipWithError("no clip (ffmpeg)");
        return;
    }
    std::string cmd =
        "ffmpeg -nostdin -y -v error -i '" + m.cut + "' -c copy '" + m.dir.file("fixed.avi") + "'";
    for (auto _ : state)
        runQuiet(state, cmd);
}

BENCHMARK(BM_LibaviWriteMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_FfmpegWriteMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_LibaviRepairMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_FfmpegCopyCutMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_LibaviRepairDamagedMinute)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK(BM_FfmpegCopyDamagedMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Keeps each benchmark's real time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            static const char *names[6] = {
                "BM_LibaviWriteMinute",         "BM_FfmpegWriteMinute",
                "BM_LibaviRepairMinute",        "BM_FfmpegCopyCutMinute",
                "BM_LibaviRepairDamagedMinute", "BM_FfmpegCopyDamagedMinute"};
            for (int i = 0; i < 6; i++)
                if (r.run_type == Run::RT_Iteration && r.iterations &&
                    r.benchmark_name().rfind(std::string(names[i]) + "/", 0) == 0)
                    g_runs[i].push_back(r.real_accumulated_time / (double)r.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double t[6];
    for (int i = 0; i < 6; i++)
        t[i] = seconds(i);
    if (t[0] > 0 && t[1] > 0)
        printf("write:  LIBAVI %.1f ms, ffmpeg %.1f ms per minute: LIBAVI is %.1fx as fast\n",
               t[0] * 1e3, t[1] * 1e3, t[1] / t[0]);
    if (t[2] > 0 && t[3] > 0)
        printf(
            "repair: LIBAVI %.2f ms, ffmpeg -c copy %.1f ms per minute: LIBAVI is %.0fx as fast\n",
            t[2] * 1e3, t[3] * 1e3, t[3] / t[2]);
    if (t[2] > 0 && t[4] > 0 && t[5] > 0)
        printf(
            "damaged repair: LIBAVI %.2f ms (%.2fx the undamaged repair), ffmpeg -c copy %.1f ms: "
            "LIBAVI is %.0fx as fast\n",
            t[4] * 1e3, t[4] / t[2], t[5] * 1e3, t[5] / t[4]);
    delete g_minute;
    benchmark::Shutdown();
    return 0;
}

// Fills against memset of the same bytes (the limit), and glyphs per second of draw_txt.
// Run with --benchmark_repetitions=N and read the medians: the machine is shared.
#include <benchmark/benchmark.h>

#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include "graphics/draw_gui.h"

namespace {

std::vector<uint32_t> gPlane(GRPX_WIDTH *GRPX_HEIGHT);

using Clock = std::chrono::steady_clock;

// Times memset and the fill in turn on the same bytes in every iteration, the two taking the first
// turn by turns, so that the load of a shared machine and the state of the caches fall on both
// alike. Reports both bandwidths and the fill's share of memset's ("fill/memset", 1 is memset's
// speed).
template <typename Memset, typename Fill>
void fillAgainstMemset(benchmark::State &state, int64_t bytes, Memset memsetBytes, Fill fill)
{
    Clock::duration memsetTime{};
    Clock::duration fillTime{};
    bool memsetFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; turn++) {
            const bool memsetTurn = (turn == 0) == memsetFirst;
            const Clock::time_point start = Clock::now();
            if (memsetTurn)
                memsetBytes();
            else
                fill();
            benchmark::ClobberMemory();
            (memsetTurn ? memsetTime : fillTime) += Clock::now() - start;
        }
        memsetFirst = !memsetFirst;
    }
    const double total = (double)state.iterations() * (double)bytes;
    const double memsetSeconds = std::chrono::duration<double>(memsetTime).count();
    const double fillSeconds = std::chrono::duration<double>(fillTime).count();
    state.counters["memset_GB/s"] = total / memsetSeconds / 1e9;
    state.counters["fill_GB/s"] = total / fillSeconds / 1e9;
    state.counters["fill/memset"] = memsetSeconds / fillSeconds;
}

void BM_draw_fill_color(benchmark::State &state)
{
    const int64_t bytes = (int64_t)gPlane.size() * 4;
    fillAgainstMemset(
        state, bytes, [&] { memset(gPlane.data(), 0x5A, (size_t)bytes); },
        [] { draw_fill_color(gPlane.data(), 0x00FF00FF); });
}
BENCHMARK(BM_draw_fill_color);

// A 400 x 300 box starting on an odd pixel, as memset of its rows and as draw_fill_rect.
const DrawRect kBox = {33, 40, 400, 300};

void BM_draw_fill_rect(benchmark::State &state)
{
    fillAgainstMemset(
        state, (int64_t)kBox.w * kBox.h * 4,
        [] {
            for (int y = kBox.y; y < kBox.y + kBox.h; y++)
                memset(&gPlane[(size_t)y * GRPX_WIDTH + kBox.x], 0x5A, (size_t)kBox.w * 4);
        },
        [] { draw_fill_rect(gPlane.data(), kBox, 0x00123456); });
}
BENCHMARK(BM_draw_fill_rect);

void BM_draw_txt(benchmark::State &state)
{
    // Latin or Hangul (KS X 1001) text of 40 glyphs, on a background or keeping what is under.
    const bool hangul = state.range(0) != 0;
    const uint32_t bg = state.range(1) != 0 ? GRPX_TXT_BG_KEEP : 0x00FF00FF;
    std::string text;
    for (int i = 0; i < 40; i++)
        text += hangul ? "\xB0\xA1" : "A";
    for (auto _ : state) {
        draw_txt(gPlane.data(), text.c_str(), 0, 100, 0x00FFFF00, bg);
        benchmark::ClobberMemory();
    }
    state.counters["glyphs/s"] =
        benchmark::Counter((double)state.iterations() * 40, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_draw_txt)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"hangul", "keep_bg"});

} // namespace

BENCHMARK_MAIN();

// Fills against memset of the same bytes (the limit), and glyphs per second of draw_txt.
#include <benchmark/benchmark.h>

#include <string.h>

#include <string>
#include <vector>

#include "graphics/draw_gui.h"

namespace {

std::vector<uint32_t> gPlane(GRPX_WIDTH * GRPX_HEIGHT);

void BM_memset_plane(benchmark::State &state)
{
    for (auto _ : state) {
        memset(gPlane.data(), 0x5A, gPlane.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)gPlane.size() * 4);
}
BENCHMARK(BM_memset_plane);

void BM_draw_fill_color(benchmark::State &state)
{
    for (auto _ : state) {
        draw_fill_color(gPlane.data(), 0x00FF00FF);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)gPlane.size() * 4);
}
BENCHMARK(BM_draw_fill_color);

// A 400 x 300 box starting on an odd pixel, as memset of its rows and as draw_fill_rect.
const DrawRect kBox = {33, 40, 400, 300};

void BM_memset_rect(benchmark::State &state)
{
    for (auto _ : state) {
        for (int y = kBox.y; y < kBox.y + kBox.h; y++)
            memset(&gPlane[(size_t)y * GRPX_WIDTH + kBox.x], 0x5A, (size_t)kBox.w * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kBox.w * kBox.h * 4);
}
BENCHMARK(BM_memset_rect);

void BM_draw_fill_rect(benchmark::State &state)
{
    for (auto _ : state) {
        draw_fill_rect(gPlane.data(), kBox, 0x00123456);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kBox.w * kBox.h * 4);
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

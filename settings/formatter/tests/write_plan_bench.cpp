// The write plan on an 8 GB sparse image against mkfs.fat -F 32 on the same image.
#include "formatter/fat32_builder.h"
#include "platform/linux/sector_devices.h"
#include "peer_tools.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr uint64_t kCard = 15523840; // 8 GB

void BM_WritePlan8GB(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString image = dir.filePath("card.img");
    const QString part = dir.filePath("part.img");
    uint64_t sectors = 0;
    double planSeconds = 0, mkfsSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The peer on the same size in the same run, timed apart.
        FormatLayout peer{};
        ComputeLayout(kCard, peer);
        MakeSparseImage(part, peer.volumeSectors);
        auto t0 = std::chrono::steady_clock::now();
        if (RunTool("mkfs.fat", {"-F", "32", "-s", "8", "-R", "32", part}) != 0)
            state.SkipWithError("mkfs.fat failed");
        mkfsSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        MakeSparseImage(image, kCard);
        std::unique_ptr<FileSectorDevice> dev(FileSectorDevice::OpenImage(image, {255, 63}));
        t0 = std::chrono::steady_clock::now();
        state.ResumeTiming();
        FormatContext c;
        c.device = dev.get();
        FormatLayout l{};
        if (!MakePartitionTable(c, l))
            state.SkipWithError("no layout");
        c.progressTotal = PlanSectorCount(l);
        if (WriteFAT32Area(c, MakeBPB32Structure(l)) != RETURN_FORMAT_SUCCESS)
            state.SkipWithError("plan failed");
        sectors += 2 + c.progressTotal;
        state.PauseTiming();
        planSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.ResumeTiming();
    }
    state.counters["sectors_per_s"] =
        benchmark::Counter(double(sectors), benchmark::Counter::kIsRate);
    state.counters["plan_over_mkfs"] = planSeconds / mkfsSeconds;
}
BENCHMARK(BM_WritePlan8GB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The peer: mkfs.fat -F 32 on the partition of the same size.
void BM_MkfsFat8GB(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString image = dir.filePath("part.img");
    FormatLayout l{};
    ComputeLayout(kCard, l);
    for (auto _ : state) {
        state.PauseTiming();
        MakeSparseImage(image, l.volumeSectors);
        state.ResumeTiming();
        if (RunTool("mkfs.fat", {"-F", "32", "-s", "8", "-R", "32", image}) != 0)
            state.SkipWithError("mkfs.fat failed");
    }
}
BENCHMARK(BM_MkfsFat8GB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

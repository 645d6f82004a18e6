// Saving and loading a world of 100 boards of 128 x 96 cells: once with
// varied cells (every cell differs from its neighbour) and once with large
// uniform areas (long runs).

#include "BenchSupport.h"
#include "KWorldFile.h"
#include "KZip.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr int kBoards = 100;
constexpr int kWidth = 128;
constexpr int kHeight = 96;

void FillVaried(Kobject& board, int seed)
{
    uint32_t state = static_cast<uint32_t>(seed) * 2654435761u + 1;
    for (KCell& cell : board.cells) {
        state = state * 1664525u + 1013904223u;
        cell.chr = static_cast<int16_t>((state >> 8) & 255);
        cell.fg = static_cast<int16_t>((state >> 16) & 15);
        cell.bg = static_cast<int16_t>((state >> 20) & 15);
        cell.attrib = static_cast<int16_t>((state >> 28) & 1);
    }
}

void FillUniform(Kobject& board, int seed)
{
    // Walls around, a floor of one cell, and a few rooms of another.
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            KCell& cell = board.cells[static_cast<size_t>(y * kWidth + x)];
            const bool edge = x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
            const bool room = (x / 32 + y / 24 + seed) % 3 == 0;
            cell = edge ? KCell{176, 16, 32, 1, 0, 0} : room ? KCell{0, 1, 1, 0, 0, 0} : KCell{0, 255, 255, 0, 0, 0};
        }
    }
}

std::string WorldPath(bool varied) { return std::string("/tmp/quav-bench-world-") + (varied ? "varied" : "uniform") + ".zqav"; }

size_t GameEntryBytes(const std::string& path)
{
    KZipReader zip;
    std::string error;
    std::string content;
    if (!zip.OpenFile(path, size_t{1} << 30, error)) return 0;
    zip.Read("game.qav", content, size_t{1} << 30);
    return content.size();
}

std::unique_ptr<Kinterface> BuildWorld(bool varied)
{
    auto engine = BenchEngine(KParts{KFlavour::Runner});
    for (int i = 0; i < kBoards; ++i) {
        Kobject* board = engine->vMain->Spawn_Back(engine->TakeNextId(), 0);
        board->Create("Board" + std::to_string(i), kWidth, kHeight);
        if (varied) {
            FillVaried(*board, i);
        } else {
            FillUniform(*board, i);
        }
    }
    return engine;
}

void BM_SaveWorld(benchmark::State& state)
{
    const bool varied = state.range(0) != 0;
    auto engine = BuildWorld(varied);
    const std::string path = WorldPath(varied);
    for (auto _ : state) {
        if (!SaveWorld(*engine, path)) state.SkipWithError("save failed");
    }
    const size_t bytes = GameEntryBytes(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["entry_MB"] = static_cast<double>(bytes) / 1e6;
    state.SetLabel(varied ? "varied cells" : "uniform areas");
}

void BM_LoadWorld(benchmark::State& state)
{
    const bool varied = state.range(0) != 0;
    const std::string path = WorldPath(varied);
    {
        auto maker = BuildWorld(varied);
        SaveWorld(*maker, path);
    }
    auto engine = BenchEngine(KParts{KFlavour::Runner});
    for (auto _ : state) {
        if (!LoadWorld(*engine, path)) state.SkipWithError("load failed");
    }
    const size_t bytes = GameEntryBytes(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["entry_MB"] = static_cast<double>(bytes) / 1e6;
    state.SetLabel(varied ? "varied cells" : "uniform areas");
    std::remove(path.c_str());
}

BENCHMARK(BM_SaveWorld)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadWorld)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

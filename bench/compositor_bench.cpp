// Compositing one 1024 x 768 frame (128 x 96 cells), each case also given as
// a multiple of copying one frame of 786,432 bytes with memcpy, measured in
// the same run:
//   (a) one opaque board;
//   (b) the board under 500 masked objects of 4 x 4 cells;
//   (c) ten full-screen opaque boards stacked.
// Case (b) is also measured with each instruction set the drawing is built
// for (BM_BoardUnder500MaskedObjects/plain and so on); the others draw with
// the widest the processor runs, as play does.

#include "BenchSupport.h"
#include "KDrawCode.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr int kCellsAcross = 128;
constexpr int kCellsDown = 96;
constexpr size_t kFrameBytes = size_t{1024} * 768;

uint32_t Next(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// Opaque cells of varied glyphs and colours (no colour is 0).
void FillOpaque(Kobject& node, uint32_t seed)
{
    for (KCell& cell : node.cells) {
        cell.chr = static_cast<int16_t>(Next(seed) % 256);
        cell.fg = static_cast<int16_t>(1 + Next(seed) % 255);
        cell.bg = static_cast<int16_t>(1 + Next(seed) % 255);
    }
}

// Masked cells: a glyph in a colour over background 0.
void FillMasked(Kobject& node, uint32_t seed)
{
    for (KCell& cell : node.cells) {
        cell.chr = static_cast<int16_t>(1 + Next(seed) % 254);
        cell.fg = static_cast<int16_t>(1 + Next(seed) % 255);
        cell.bg = 0;
    }
}

struct Scene {
    std::unique_ptr<Kinterface> engine;
    KBitmap target;
};

Scene MakeScene(int boards, int maskedObjects)
{
    Scene scene{BenchEngine(KParts{KFlavour::Runner}), KMakeBitmap(8 * kCellsAcross, 8 * kCellsDown)};
    Kinterface& engine = *scene.engine;
    engine.SetScreenSize(kCellsAcross, kCellsDown);
    for (int b = 0; b < boards; ++b) {
        Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), b);
        board->Create("board", kCellsAcross, kCellsDown);
        FillOpaque(*board, static_cast<uint32_t>(b + 1));
    }
    uint32_t seed = 99;
    Kobject* first = engine.vMain->children.front().get();
    for (int i = 0; i < maskedObjects; ++i) {
        Kobject* object = first->Spawn(engine.TakeNextId(), static_cast<int32_t>(Next(seed) % 10));
        object->Create("sprite", 4, 4);
        object->posx = static_cast<int32_t>(Next(seed) % (kCellsAcross - 3));
        object->posy = static_cast<int32_t>(Next(seed) % (kCellsDown - 3));
        FillMasked(*object, seed);
    }
    // Every glyph rendered once, as after the first frame of play.
    engine.Draw(scene.target.get(), 0, 0);
    return scene;
}

// Seconds for one memcpy of a frame: the best of many tries.
double MemcpySeconds()
{
    static const double seconds = [] {
        std::vector<uint8_t> from(kFrameBytes, 7);
        std::vector<uint8_t> to(kFrameBytes, 0);
        double best = 1e9;
        for (int round = 0; round < 200; ++round) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < 10; ++i) {
                std::memcpy(to.data(), from.data(), kFrameBytes);
                benchmark::ClobberMemory();
            }
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count() / 10);
        }
        benchmark::DoNotOptimize(to.data());
        return best;
    }();
    return seconds;
}

void RunFrames(benchmark::State& state, Scene& scene)
{
    const double baseline = MemcpySeconds();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        scene.engine->Draw(scene.target.get(), 0, 0);
        benchmark::ClobberMemory();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        total += took.count();
    }
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / baseline;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}

void BM_FrameMemcpy(benchmark::State& state)
{
    std::vector<uint8_t> from(kFrameBytes, 7);
    std::vector<uint8_t> to(kFrameBytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::ClobberMemory();
    }
    state.counters["x_memcpy"] = 1.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}

void BM_OneOpaqueBoard(benchmark::State& state)
{
    Scene scene = MakeScene(1, 0);
    RunFrames(state, scene);
}

void BM_BoardUnder500MaskedObjects(benchmark::State& state)
{
    Scene scene = MakeScene(1, 500);
    RunFrames(state, scene);
}

void BM_BoardUnder500MaskedObjectsWith(benchmark::State& state, KDrawCode code)
{
    const KDrawCode widest = KCurrentDrawCode();
    if (!KUseDrawCode(code)) {
        state.SkipWithError("this processor does not run these instructions");
        return;
    }
    Scene scene = MakeScene(1, 500);
    RunFrames(state, scene);
    KUseDrawCode(widest);
}

void BM_TenOpaqueBoardsStacked(benchmark::State& state)
{
    Scene scene = MakeScene(10, 0);
    RunFrames(state, scene);
}

BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_OneOpaqueBoard)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BoardUnder500MaskedObjects)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_BoardUnder500MaskedObjectsWith, plain, KDrawCode::Plain)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_BoardUnder500MaskedObjectsWith, avx2, KDrawCode::Avx2)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_BoardUnder500MaskedObjectsWith, avx512, KDrawCode::Avx512)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TenOpaqueBoardsStacked)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

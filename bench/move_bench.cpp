// Ticks of a 128 x 96 board whose objects all try one random step every
// tick, among walls and each other: with the grid of children, and with
// the plain scan of every sibling that the grid replaces. Counters: moves
// tried per second and the objects' count.

#include "BenchSupport.h"
#include "Kcompiler.h"
#include "Kexec.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;
constexpr const char* kWalker = "?rnd\n#restart";
// The same turn without the step: what the executor costs by itself.
constexpr const char* kStander = "?i\n#restart";

struct Board {
    std::unique_ptr<Kinterface> engine;
    Kobject* board = nullptr;
};

// Walls in short runs on about one cell in twenty.
Board MakeBoard()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    Board made{BenchEngine(parts), nullptr};
    Kinterface& engine = *made.engine;
    // The figures are of moves, not of the tick's budget of work.
    engine.vWork.SetCapacity(int64_t{1} << 50, int64_t{1} << 50);
    made.board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    made.board->Create("Main", kWidth, kHeight);
    std::mt19937 random(7);
    for (int run = 0; run < kWidth * kHeight / 20 / 4; ++run) {
        const int x = static_cast<int>(random() % (kWidth - 4));
        const int y = static_cast<int>(random() % kHeight);
        for (int i = 0; i < 4; ++i) made.board->SetCell(x + i, y, -1, -1, -1, 1);
    }
    return made;
}

void AddWalker(Kinterface& engine, Kobject& parent, int x, int y, int side, const char* script = kWalker)
{
    Kobject* object = parent.Spawn(engine.TakeNextId(), 0);
    object->Create("o", side, side);
    object->posx = x;
    object->posy = y;
    object->Refile();
    object->source = script;
}

void Start(Kinterface& engine)
{
    engine.CompileAll();
    engine.ChooseActiveBoard();
    // A turn every tick.
    for (const auto& child : engine.vActiveBoard->children) child->cycle = 0;
}

void Report(benchmark::State& state, int objects)
{
    state.counters["objects"] = objects;
    state.counters["moves/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * objects, benchmark::Counter::kIsRate);
}

void RunWalkers(benchmark::State& state, bool plainScan, const char* script = kWalker)
{
    const int objects = static_cast<int>(state.range(0));
    Board made = MakeBoard();
    Kinterface& engine = *made.engine;
    if (plainScan) engine.vChildGridFrom = static_cast<size_t>(objects) + 1;
    for (int i = 0; i < objects; ++i) AddWalker(engine, *made.board, i % kWidth, (i / kWidth) % kHeight, 1, script);
    Start(engine);
    engine.Tick();
    for (auto _ : state) engine.Tick();
    Report(state, objects);
}

void BM_Walkers(benchmark::State& state) { RunWalkers(state, false); }
void BM_WalkersPlainScan(benchmark::State& state) { RunWalkers(state, true); }
void BM_Standers(benchmark::State& state) { RunWalkers(state, false, kStander); }

// 100 objects of 4 x 4 among 12 enterable containers of 10 x 10 (each with
// a few small walkers inside), walking into and out of them.
void BM_BigWalkersAndContainers(benchmark::State& state)
{
    Board made = MakeBoard();
    Kinterface& engine = *made.engine;
    for (int i = 0; i < 12; ++i) {
        Kobject* box = made.board->Spawn(engine.TakeNextId(), 0);
        box->Create("box", 10, 10);
        box->posx = 4 + (i % 6) * 20;
        box->posy = 8 + (i / 6) * 48;
        box->enterable = 1;
        box->Refile();
        for (int k = 0; k < 4; ++k) AddWalker(engine, *box, 2 * k, 2 * k, 1);
    }
    for (int i = 0; i < 100; ++i) AddWalker(engine, *made.board, (i % 25) * 5, 30 + (i / 25) * 5, 4);
    Start(engine);
    for (const auto& child : made.board->children) {
        for (const auto& inner : child->children) inner->cycle = 0;
    }
    engine.Tick();
    for (auto _ : state) engine.Tick();
    Report(state, 100 + 12 * 4);
}

}  // namespace

BENCHMARK(BM_Walkers)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Standers)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkersPlainScan)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigWalkersAndContainers)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

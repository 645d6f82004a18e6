// Saving and loading a game in play: 100 boards of 80 x 60 cells, each with
// 100 running objects (10,000 in all), with the runner's parts. Loading
// includes compiling every script and checking the run state of every node.

#include "BenchSupport.h"
#include "KRunnerParts.h"
#include "KSavedGame.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kBoards = 100;
constexpr int kObjectsPerBoard = 100;
constexpr int kWidth = 80;
constexpr int kHeight = 60;
constexpr const char* kScript = "#give t 1\n:loop\n#give steps 1\n/n/e/s/w\n@loop\n"
                                ":touch\n#give hits 1\n#end\n:shot\n#die\n";

std::string SlotPath() { return "/tmp/quav-bench-saved-" + std::to_string(getpid()) + ".3.qsg"; }

std::unique_ptr<Kinterface> BuildGame()
{
    auto engine = BenchEngine(KRunnerParts());
    engine->vWorldPath = "/tmp/quav-bench-saved.zqav";
    for (int b = 0; b < kBoards; ++b) {
        Kobject* board = engine->vMain->Spawn_Back(engine->TakeNextId(), b);
        board->Create("Board" + std::to_string(b), kWidth, kHeight);
        for (KCell& cell : board->cells) cell = KCell{0, 1, 1, 0, 0, 0};
        for (int o = 0; o < kObjectsPerBoard; ++o) {
            Kobject* object = board->Spawn(engine->TakeNextId(), 0);
            object->Create("thing" + std::to_string(o), 1, 1);
            object->posx = o % kWidth;
            object->posy = o / kWidth;
            object->SetCell(0, 0, 2, 14, 1, 0);
            object->source = kScript;
        }
    }
    engine->CompileAll();
    engine->FindSpecialBoards();
    engine->ChooseActiveBoard();
    for (int v = 0; v < 100; ++v) engine->SetVar("v" + std::to_string(v), v);
    return engine;
}

void BM_SaveGame(benchmark::State& state)
{
    auto engine = BuildGame();
    const std::string path = SlotPath();
    for (auto _ : state) {
        if (!KSaveGameFile(*engine, path)) state.SkipWithError("save failed");
    }
    struct stat info {};
    stat(path.c_str(), &info);
    state.counters["file_MB"] = static_cast<double>(info.st_size) / 1e6;
    std::remove(path.c_str());
}

void BM_LoadGame(benchmark::State& state)
{
    auto engine = BuildGame();
    const std::string path = SlotPath();
    KSaveGameFile(*engine, path);
    for (auto _ : state) {
        if (KLoadGameFile(*engine, path) != KLoadGame::Loaded) state.SkipWithError("load failed");
    }
    std::remove(path.c_str());
}

BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadGame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

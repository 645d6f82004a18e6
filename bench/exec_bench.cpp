// Ticks of one board whose objects each run ten commands a tick: gifts,
// comparisons, messages to themselves and a jump back. A held key wakes
// every object again after its program ends, as a player's key would.

#include "BenchSupport.h"
#include "Kcompiler.h"
#include "Kexec.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr const char* kScript =
    ":key_a\n"
    "#give n 1\n"
    "#ifex n > -1 #give m 1\n"
    "@next\n"
    "#give wrong 1\n"
    ":next\n"
    "#give n 1\n"
    "#ifex n < 0 #give wrong 1\n"
    "@back\n"
    ":done\n"
    "#end\n"
    ":back\n"
    "@done\n";
constexpr int kCommandsPerTurn = 10;
constexpr size_t kKeyA = 1;

std::unique_ptr<Kinterface> BuildBoard(int objects)
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    auto engine = BenchEngine(parts);
    Kobject* board = engine->vMain->Spawn_Back(engine->TakeNextId(), 0);
    board->Create("Main", 128, 96);
    for (int i = 0; i < objects; ++i) {
        Kobject* object = board->Spawn(engine->TakeNextId(), 0);
        object->Create("o", 1, 1);
        object->posx = i % 128;
        object->posy = (i / 128) % 96;
        object->source = kScript;
    }
    engine->CompileAll();
    engine->ChooseActiveBoard();
    engine->vInputs[kKeyA] = 2;  // held
    engine->Tick();              // every program has run once and ended
    return engine;
}

void BM_Tick(benchmark::State& state)
{
    const int objects = static_cast<int>(state.range(0));
    auto engine = BuildBoard(objects);
    const int before = engine->GetVar("m");
    for (auto _ : state) engine->Tick();
    const int ran = engine->GetVar("m") - before;
    if (ran != static_cast<int>(state.iterations()) * objects) state.SkipWithError("not every object ran every tick");
    const double commands = static_cast<double>(state.iterations()) * objects * kCommandsPerTurn;
    state.counters["commands_per_s"] = benchmark::Counter(commands, benchmark::Counter::kIsRate);
    state.counters["objects"] = objects;
}

BENCHMARK(BM_Tick)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

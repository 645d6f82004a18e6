// The script front end: compiling a large world, and reading arguments.

#include "BenchSupport.h"
#include "KEvaluator.h"
#include "KTrace.h"
#include "Kcompiler.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// About 125 bytes of typical script: labels, conditions, moves with a
// repeat, spawning, variables, a message and a text line.
std::string ObjectScript(int index)
{
    return ":touch\n"
           "#if blocked n /e\n"
           "#give gems 1\n"
           "#put n red lamp\n"
           "Hello there, traveller number " + std::to_string(index) + "!\n"
           "#ifex score >= 100 #end\n"
           "/n /e &2\n"
           ".parent @hit\n";
}

void BM_CompileWorld(benchmark::State& state)
{
    KTraceEnable(false);
    auto engine = BenchEngine();
    Kobject* board = engine->vMain->Spawn_Back(engine->TakeNextId(), 0);
    board->Create("Start", 80, 60);
    int64_t bytes = 0;
    for (int i = 0; i < 10000; ++i) {
        Kobject* object = board->Spawn(engine->TakeNextId(), 0);
        object->Create("object", 1, 1);
        object->source = ObjectScript(i);
        bytes += static_cast<int64_t>(object->source.size());
    }
    Kcompiler compiler;
    for (auto _ : state) {
        compiler.Compile(*board);
        benchmark::DoNotOptimize(board->children.back()->lines.View().data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["script_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CompileWorld)->Unit(benchmark::kMillisecond);

void Evaluate(benchmark::State& state, const std::string& code)
{
    KTraceEnable(false);
    auto engine = BenchEngine();
    engine->SetVar("health", 100);
    engine->SetVar("a", 4);
    engine->SetVar("b", 9);
    KEvaluator evaluator(*engine);
    for (auto _ : state) {
        int32_t cursor = 1;
        benchmark::DoNotOptimize(evaluator.GetIntArg(code, cursor));
    }
}

void BM_PlainIntegerArgument(benchmark::State& state) { Evaluate(state, "\x27" "12345 "); }
BENCHMARK(BM_PlainIntegerArgument);

void BM_VariableName(benchmark::State& state) { Evaluate(state, "\x27" "health "); }
BENCHMARK(BM_VariableName);

// Ten expression tokens after the opening parenthesis: a + 1 ) * 2 - b / 3.
void BM_TenTokenExpression(benchmark::State& state) { Evaluate(state, "\x27" "(a+1)*2-b/3 "); }
BENCHMARK(BM_TenTokenExpression);

}  // namespace

BENCHMARK_MAIN();

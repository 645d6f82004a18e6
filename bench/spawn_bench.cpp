// Ticks of boards where scripts make and light things: a shooting gallery
// (objects shooting bullets that walk, collide and die) and a dark cave lit
// by many lamps, with the darkening and redraw the runner does each tick.

#include "BenchSupport.h"
#include "Kcompiler.h"
#include "Kexec.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;
constexpr int kDarkColour = 255;

// Shoots in a random direction every third tick.
constexpr const char* kShooter = "#cyclef 2\n:s\n#shoot rnd\n/i\n@s";
constexpr const char* kBullet = "#end\n:thud\n#die";
// Lights a disc every tick.
constexpr const char* kLamp = "#cyclef 0\n:l\n#light 10 64 0 256\n/i\n@l";

std::unique_ptr<Kinterface> MakeEngine()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return BenchEngine(parts);
}

// A board walled along its edges and with a wall every sixteenth column
// (with gaps every eighth row).
Kobject* AddWalledBoard(Kinterface& engine, const char* name)
{
    Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    board->Create(name, kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool edge = x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
            const bool inner = x % 16 == 8 && y % 8 != 4;
            board->SetCell(x, y, edge || inner ? 219 : 0, 4, 1, edge || inner ? 1 : 0);
        }
    }
    return board;
}

Kobject* AddObject(Kinterface& engine, Kobject& parent, const char* name, int x, int y, const char* script)
{
    Kobject* object = parent.Spawn(engine.TakeNextId(), 0);
    object->Create(name, 1, 1);
    object->SetCell(0, 0, 2, 14, 0, 0);
    object->posx = x;
    object->posy = y;
    object->source = script;
    object->Refile();
    return object;
}

void BM_ShootingGallery(benchmark::State& state)
{
    const int shooters = static_cast<int>(state.range(0));
    auto engine = MakeEngine();
    Kobject* board = AddWalledBoard(*engine, "Main");
    for (int i = 0, x = 2, y = 2; i < shooters; ++i) {
        AddObject(*engine, *board, "gun", x, y, kShooter);
        x += 3;
        if (x >= kWidth - 2) {
            x = 2 + (y % 2);
            y += 3;
        }
    }
    Kobject* spawn = engine->vMain->Spawn_Back(engine->TakeNextId(), 1);
    spawn->Create("Spawn", 4, 4);
    AddObject(*engine, *spawn, "bullet", 1, 1, kBullet)->collideMode = 1;
    engine->FindSpecialBoards();
    engine->CompileAll();
    engine->ChooseActiveBoard();
    // Past the start, when bullets come and go at a steady rate.
    for (int tick = 0; tick < 60; ++tick) engine->Tick();
    const int64_t nodesBefore = engine->vNextId;
    for (auto _ : state) engine->Tick();
    const double ticks = static_cast<double>(state.iterations());
    state.counters["made_per_tick"] = static_cast<double>(engine->vNextId - nodesBefore) / ticks;
    state.counters["children"] = static_cast<double>(board->children.size());
}

// The runner's part of a dark tick: every target darkened before the tick,
// and every cell whose target changed drawn again after it.
void DarkTick(Kinterface& engine, Kobject& dark)
{
    for (KCell& cell : dark.cells) cell.fg = cell.bg = kDarkColour;
    engine.Tick();
    for (int32_t y = 0; y < dark.height; ++y) {
        for (int32_t x = 0; x < dark.width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(dark.width) + static_cast<size_t>(x);
            KCell& target = dark.cells[i];
            KCell& shown = dark.shade[i];
            if (target.fg == shown.fg) continue;
            engine.vFont->RenderGlyph(dark, 0, target.fg, target.bg, x, y);
            shown.fg = target.fg;
            shown.bg = target.bg;
        }
    }
}

void BM_DarkCave(benchmark::State& state)
{
    const int lamps = static_cast<int>(state.range(0));
    auto engine = MakeEngine();
    Kobject* board = AddWalledBoard(*engine, "Main");
    Kobject* dark = engine->vMain->Spawn_Back(engine->TakeNextId(), 1);
    dark->Create("Dark", kWidth, kHeight);
    dark->shade.assign(dark->cells.size(), KCell{0, kDarkColour, kDarkColour, 0, 1, 0});
    for (int i = 0; i < lamps; ++i) AddObject(*engine, *board, "lamp", 5 + (i * 37) % (kWidth - 10), 5 + (i * 23) % (kHeight - 10), kLamp);
    engine->FindSpecialBoards();
    engine->CompileAll();
    engine->ChooseActiveBoard();
    engine->SetVar("dark", 1);
    for (int tick = 0; tick < 20; ++tick) DarkTick(*engine, *dark);
    for (auto _ : state) DarkTick(*engine, *dark);
    int lit = 0;
    for (const KCell& cell : dark->cells) lit += cell.fg == 0 ? 1 : 0;
    if (lit == 0) state.SkipWithError("nothing was lit");
    state.counters["lit_cells"] = lit;
}

BENCHMARK(BM_ShootingGallery)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DarkCave)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Any script text, split into three objects (at form feeds) on a small
// board, compiled and played for 100 ticks: no crash, no hang, no leak.
// The board has walls, breakable walls and water, an enterable box with an
// object inside, and a "bullet" the player owns, so the scripts' moves meet
// every kind of obstacle; every parent finds its children through its grid,
// and every answer of a grid is checked against a plain scan.

#include "FuzzSupport.h"
#include "Kcompiler.h"
#include "Kexec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr int kTicks = 100;
constexpr int kObjects = 3;

KParts ScriptParts()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return parts;
}

void BuildWorld(Kinterface& engine, std::string_view scripts)
{
    engine.vMain->ClearChildren();
    engine.ResetHandles();
    engine.vVariables.EraseAll();
    engine.vPlay.Reset();
    // Files a script saves or loads would go beside this world: a folder
    // that does not exist, so the fuzzer writes nothing.
    engine.vWorldPath = "/nonexistent-quav-fuzz/world.zqav";
    engine.vChildGridFrom = 1;
    engine.vCheckChildGrid = true;
    Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    board->Create("Main", 20, 10);
    for (int x = 0; x < 20; ++x) {
        board->SetCell(x, 3, -1, -1, -1, x % 4);  // free, wall, breakable, water in turn
        board->SetCell(x, 9, -1, -1, -1, 2);
    }
    Kobject* box = board->Spawn(engine.TakeNextId(), 0);
    box->Create("box", 6, 6);
    box->posx = 12;
    box->posy = 4;
    box->vieww = box->viewh = 5;
    box->enterable = 1;
    box->Refile();
    Kobject* inside = box->Spawn(engine.TakeNextId(), 0);
    inside->Create("inner", 1, 1);
    inside->posx = 2;
    inside->posy = 2;
    inside->Refile();
    Kobject* other = engine.vMain->Spawn_Back(engine.TakeNextId(), 1);
    other->Create("Other", 4, 4);
    for (int i = 0; i < kObjects; ++i) {
        const size_t cut = scripts.find('\f');
        Kobject* object = board->Spawn(engine.TakeNextId(), i);
        object->Create(i == 0 ? "player" : "o" + std::to_string(i), 2, 1);
        object->posx = 2 * i;
        object->source.assign(scripts.substr(0, cut));
        scripts = cut == std::string_view::npos ? std::string_view() : scripts.substr(cut + 1);
    }
    Kobject* bullet = board->Spawn(engine.TakeNextId(), 0);
    bullet->Create("bullet", 1, 1);
    bullet->posx = 2;
    bullet->posy = 5;
    bullet->collideMode = 2;
    bullet->ownerid = board->children.back()->id;
    bullet->walkDir = 0;
    bullet->Refile();
    engine.CompileAll();
    engine.ChooseActiveBoard();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine(ScriptParts());
    BuildWorld(engine, std::string_view(reinterpret_cast<const char*>(data), size));
    for (int tick = 0; tick < kTicks; ++tick) {
        engine.vPlay.RunDownTimers();
        engine.vPlay.CheckWatches(engine.vVariables);
        engine.vInputs[static_cast<size_t>(tick % kInputCount)] = static_cast<uint8_t>(tick);
        engine.Tick();
    }
    return 0;
}

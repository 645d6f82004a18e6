// Any script text, split into three objects (at form feeds) on a small
// board, compiled and played for 100 ticks: no crash, no hang, no leak.
// The board has walls, breakable walls and water, an enterable box with an
// object inside, and a "bullet" the player owns, so the scripts' moves meet
// every kind of obstacle; every parent finds its children through its grid,
// and every answer of a grid is checked against a plain scan. A "Spawn"
// board holds templates (a bullet, a lamp with a child, one that puts
// itself, one that attaches itself) and a "Dark" board takes the lights;
// the world's node bound is lowered so the fuzzer meets it often.

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
constexpr int64_t kFuzzMaxNodes = 3000;

struct Template {
    const char* name;
    const char* script;
    int w, h;
};

constexpr Template kTemplates[] = {
    {"bullet", "#collide fly\n#end\n:thud\n#die", 1, 1},
    {"lamp", "#light 6 40 0 256\n#char -1 3 -1 -1\n/i\n#restart\n:shot\n#become -1 -1 -1 -1", 2, 2},
    {"chain", "#put n chain\n#become 1 2 3 0", 1, 1},
    {"grower", "#attach grower 1 0\n#bind lamp", 1, 1},
};

void AddTemplates(Kinterface& engine)
{
    Kobject* spawn = FuzzAddNode(engine, *engine.vMain, "Spawn", 12, 4, 0, 0, 2);
    int x = 0;
    for (const Template& templ : kTemplates) {
        FuzzAddNode(engine, *spawn, templ.name, templ.w, templ.h, x, 0, 0, templ.script);
        x += templ.w + 1;
    }
    FuzzAddNode(engine, *spawn->FindByName("lamp"), "wick", 1, 1, 0, 0, 0, "#cyclef 1\n:a\n#light 3 8 64 64\n/i\n@a");
    FuzzAddNode(engine, *engine.vMain, "Dark", 20, 10, 0, 0, 3);
}

// What the runner does at the start of every tick while "dark" is 1.
void Darken(Kinterface& engine)
{
    if (engine.vDarkBoard == nullptr || engine.GetVar("dark") != 1) return;
    for (KCell& cell : engine.vDarkBoard->cells) cell.fg = cell.bg = 255;
}

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
    engine.vLimits.maxNodes = kFuzzMaxNodes;
    Kobject* board = FuzzAddNode(engine, *engine.vMain, "Main", 20, 10);
    for (int x = 0; x < 20; ++x) {
        board->SetCell(x, 3, -1, -1, -1, x % 4);  // free, wall, breakable, water in turn
        board->SetCell(x, 9, -1, -1, -1, 2);
    }
    Kobject* box = FuzzAddNode(engine, *board, "box", 6, 6, 12, 4);
    box->vieww = box->viewh = 5;
    box->enterable = 1;
    box->Refile();
    FuzzAddNode(engine, *box, "inner", 1, 1, 2, 2);
    FuzzAddNode(engine, *engine.vMain, "Other", 4, 4, 0, 0, 1);
    for (int i = 0; i < kObjects; ++i) {
        const size_t cut = scripts.find('\f');
        FuzzAddNode(engine, *board, i == 0 ? "player" : "o" + std::to_string(i), 2, 1, 2 * i, 0, i, scripts.substr(0, cut));
        scripts = cut == std::string_view::npos ? std::string_view() : scripts.substr(cut + 1);
    }
    Kobject* bullet = FuzzAddNode(engine, *board, "bullet", 1, 1, 2, 5);
    bullet->collideMode = 2;
    bullet->ownerid = board->children.back()->id;
    bullet->walkDir = 0;
    bullet->Refile();
    AddTemplates(engine);
    engine.FindSpecialBoards();
    engine.CompileAll();
    engine.ChooseActiveBoard();
    engine.SetVar("dark", 1);
    engine.SetVar("ammo", 3);
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
        Darken(engine);
        engine.Tick();
    }
    return 0;
}

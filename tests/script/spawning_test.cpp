// Template copies and the light's ray caster on worlds built in memory.

#include "KAppearance.h"
#include "KLimits.h"
#include "KSpawning.h"
#include "ScriptTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <utility>

namespace {

struct SpawnWorld {
    TestEngine engine{RunnerScriptParts()};
    Kobject* board = nullptr;
    Kobject* templ = nullptr;

    SpawnWorld()
    {
        board = engine.AddBoard("Main", 30, 20);
        Kobject* spawn = engine.AddBoard("Spawn", 10, 10, 1);
        templ = engine.AddObject(*spawn, "lamp", 3, 2, 4, 5, 6);
        templ->source = ":key_up\n#end\n:touch\n/n";
        templ->vieww = 2;
        templ->viewx = 1;
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) templ->SetCell(x, y, 65 + x, 9, 1, y);
        }
        for (const char* name : {"first", "second"}) {
            Kobject* child = engine.AddObject(*templ, name, 1, 1, 0, 2, 1);
            child->SetCell(0, 0, 66, 10, 2, 0);
            child->source = "#end";
        }
        engine->FindSpecialBoards();
        engine->CompileAll();
        engine->BeginTick();
    }
    Kexec& Exec() { return *engine->vExec; }
};

void ExpectCopyOf(const Kobject& copy, const Kobject& templ, int foreground, int32_t firstNewId)
{
    EXPECT_GE(copy.id, firstNewId) << templ.name;
    EXPECT_EQ(copy.ownerid, templ.id) << templ.name;
    EXPECT_EQ(copy.name, templ.name);
    EXPECT_EQ(copy.cycle, 8);
    EXPECT_EQ(copy.posz, templ.posz);
    EXPECT_EQ(std::make_pair(copy.posx, copy.posy), std::make_pair(templ.posx, templ.posy));
    EXPECT_EQ(std::make_pair(copy.viewx, copy.vieww), std::make_pair(templ.viewx, templ.vieww));
    EXPECT_EQ(copy.lines.size(), templ.lines.size());
    EXPECT_EQ(copy.markers.size(), templ.markers.size());
    EXPECT_EQ(copy.keyMarkers.size(), templ.keyMarkers.size());
    EXPECT_EQ(copy.currentLine, templ.lines.empty() ? -1 : 0);
    EXPECT_EQ(copy.running, 1);
    ASSERT_EQ(copy.cells.size(), templ.cells.size());
    for (size_t i = 0; i < copy.cells.size(); ++i) {
        EXPECT_EQ(copy.cells[i].chr, templ.cells[i].chr);
        EXPECT_EQ(copy.cells[i].fg, foreground == -1 ? templ.cells[i].fg : foreground);
        EXPECT_EQ(copy.cells[i].attrib, templ.cells[i].attrib);
    }
    ASSERT_EQ(copy.children.size(), templ.children.size());
    for (size_t i = 0; i < copy.children.size(); ++i) {
        ExpectCopyOf(*copy.children[i], *templ.children[i], foreground, firstNewId);
    }
}

TEST(TemplateCopy, CopiesEverythingInOrderWithFreshIdsAndOwners)
{
    for (const int foreground : {-1, 12}) {
        SpawnWorld world;
        const int32_t firstNewId = world.engine->vNextId;
        Kobject* copy = KCopyTemplate(world.Exec(), *world.board, *world.templ, foreground);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->parent, world.board);
        ExpectCopyOf(*copy, *world.templ, foreground, firstNewId);
        EXPECT_EQ(world.engine->vNextId, firstNewId + 3);
        EXPECT_EQ(copy->steppedTick, world.engine->vTickCount) << "its parent's turn this tick is over for it";
        EXPECT_EQ(world.templ->cells[0].fg, 9) << "the template keeps its colours";
    }
    SpawnWorld world;
    Kobject* copy = KCopyTemplate(world.Exec(), *world.templ, *world.templ, -1);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(world.templ->children.size(), 3u);
    EXPECT_EQ(copy->children.size(), 2u) << "a template copied into itself copies what it was";
}

// Past any bound a copy makes nothing at all, and the ids stay unused.
TEST(TemplateCopy, MakesNothingPastTheBounds)
{
    struct Case {
        const char* what;
        void (*limit)(SpawnWorld& world);
    };
    const Case cases[] = {
        {"nodes", [](SpawnWorld& w) { w.engine->vLimits.maxNodes = w.engine->vLiveNodes + 2; }},
        {"cells", [](SpawnWorld& w) { w.engine->vLimits.maxWorldCells = w.engine->vLiveCells + 7; }},
        {"depth", [](SpawnWorld& w) { w.engine->vLimits.maxDepth = 2; }},
        {"work", [](SpawnWorld& w) { w.engine->vWork.SetCapacity(2, 2); }},
    };
    for (const Case& c : cases) {
        SpawnWorld world;
        c.limit(world);
        const int32_t nextId = world.engine->vNextId;
        const size_t children = world.board->children.size();
        EXPECT_EQ(KCopyTemplate(world.Exec(), *world.board, *world.templ, -1), nullptr) << c.what;
        EXPECT_EQ(world.board->children.size(), children) << c.what;
        EXPECT_EQ(world.engine->vNextId, nextId) << c.what;
    }

    // One tick makes at most its allowance of nodes; the next tick more.
    SpawnWorld world;
    world.engine->vLimits.maxNodes = 100000;
    int made = 0;
    while (KCopyTemplate(world.Exec(), *world.board, *world.templ, -1) != nullptr) ++made;
    EXPECT_EQ(made, kMaxNodesMadePerTick / 3);
    world.engine->BeginTick();
    EXPECT_NE(KCopyTemplate(world.Exec(), *world.board, *world.templ, -1), nullptr);

    // The counts follow nodes as they go; a resize past the cells is refused.
    world.engine->vLimits.maxWorldCells = world.engine->vLiveCells;
    EXPECT_FALSE(world.engine->MayResize(*world.board, world.board->width + 1, world.board->height));
    EXPECT_TRUE(world.engine->MayResize(*world.board, world.board->width - 1, world.board->height));
    const int64_t nodes = world.engine->vLiveNodes;
    world.board->children.clear();
    EXPECT_EQ(world.engine->vLiveNodes, nodes - 3 * (made + 1));
}

// A long run of shots made and dying leaves the handle table and the lists
// as they were, and the world no larger than its steady state.
TEST(TemplateCopy, LongRunsOfShotsLeaveNoHandleBehind)
{
    SpawnWorld world;
    Kobject* bullet = world.engine.AddObject(*world.engine->vSpawnBoard, "bullet", 1, 1);
    bullet->source = "#end\n:thud\n#die";
    for (int i = 0; i < 8; ++i) {
        Kobject* gun = world.engine.AddObject(*world.board, "gun", 1, 1, 0, 2 + 3 * i, 10);
        gun->source = "#cyclef 0\n:s\n#shoot rnd\n/i\n@s";
    }
    world.engine->CompileAll();
    world.engine->ChooseActiveBoard();
    const int handles = world.engine->HandlesInUse();
    const int lists = world.engine->ListsInUse();
    int64_t most = 0;
    for (int tick = 0; tick < 600; ++tick) {
        world.engine->Tick();
        most = std::max<int64_t>(most, world.engine->vLiveNodes);
    }
    EXPECT_EQ(world.engine->HandlesInUse(), handles);
    EXPECT_EQ(world.engine->ListsInUse(), lists);
    EXPECT_GT(world.engine->vNextId, 2000) << "shots were made";
    EXPECT_LT(most, 400) << "and died";
}

// Copies of a template run its program without copying it: a copy pays
// for its nodes, cells and script, never for the program, and an object
// that binds itself to a template over and over holds one program. A copy
// that zaps a label gets markers of its own; the template keeps its own.
TEST(TemplateCopy, CopiesShareTheTemplatesProgram)
{
    SpawnWorld world;
    Kobject* big = world.engine.AddObject(*world.engine->vSpawnBoard, "big", 1, 1);
    big->source = "#bind big\n/i &3000\n:zapme\n#zap zapme";
    Kobject* putter = world.engine.AddObject(*world.board, "putter", 1, 1, 0, 5, 5);
    putter->source = "#cyclef 0\n:s\n#put s big\n@s";
    Kobject* chain = world.engine.AddObject(*world.board, "chain", 1, 1, 0, 9, 9);
    chain->source = "#bind big";
    world.engine->CompileAll();
    world.engine->ChooseActiveBoard();
    ASSERT_EQ(big->lines.size(), 4u);
    ASSERT_EQ(big->lines[1].commands.size(), 3000u);

    world.engine->BeginTick();
    big->cells[0] = KCell{-1, -1, 7, -1, 1, 0};
    const int64_t before = world.engine->vWork.Left();
    Kobject* copy = KCopyTemplate(world.Exec(), *world.board, *big, -1);
    ASSERT_NE(copy, nullptr);
    const KCell& cell = copy->cells[0];
    EXPECT_EQ((std::vector<int>{cell.chr, cell.fg, cell.bg, cell.attrib, cell.drawn}), (std::vector<int>{0, 0, 7, 0, 0}))
        << "written as a cell write would: -1 keeps the fresh cell's 0";
    EXPECT_EQ(before - world.engine->vWork.Left(), 1 + static_cast<int64_t>(big->source.size()) / kTextBytesPerUnit);
    EXPECT_TRUE(copy->lines.SameAs(big->lines) && copy->markers.SameAs(big->markers));
    EXPECT_TRUE(copy->source.SameAs(big->source)) << "the script is shared too";

    for (int tick = 0; tick < 4; ++tick) world.engine->Tick();
    int copies = 0;
    for (const auto& child : world.board->children) {
        if (child.get() == putter) continue;
        EXPECT_TRUE(child->lines.SameAs(big->lines)) << child->name;
        EXPECT_TRUE(child->keyMarkers.SameAs(big->keyMarkers)) << child->name;
        ++copies;
    }
    EXPECT_GT(copies, 4);
    EXPECT_EQ(big->lines.Holders(), copies + 1) << "no turn holds a program it replaced";
    EXPECT_EQ(chain->currentLine, 0) << "the chain binds again every command";

    // Running a copy to its #zap: only its markers are its own now.
    copy->currentLine = 3;
    copy->currentCommand = 0;
    copy->running = 1;
    copy->wait = 0;
    world.engine->Tick();
    ASSERT_FALSE(copy->markers.SameAs(big->markers));
    EXPECT_EQ(copy->markers[0].active, 0);
    EXPECT_EQ(big->markers[0].active, 1);
    EXPECT_TRUE(copy->lines.SameAs(big->lines));
}

// --- The ray caster ------------------------------------------------------------

using Cells = std::set<std::pair<int, int>>;

struct LightCase {
    const char* what;
    int64_t radius, rays;
    int32_t angle, width;
    std::vector<std::pair<int, int>> walls;  // x, attrib, all on row 10
    int viewx;
    Cells lit;
};

TEST(Light, RaysLightTheDarkBoardUpToWalls)
{
    const LightCase cases[] = {
        {"east", 5, 1, 64, 0, {}, 0, {{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10}}},
        {"south", 3, 1, 0, 0, {}, 0, {{10, 10}, {10, 11}, {10, 12}}},
        {"north", 3, 1, 128, 0, {}, 0, {{10, 10}, {10, 9}, {10, 8}}},
        {"west past the circle", 2, 1, 64 + 128 + 256 * 3, 0, {}, 0, {{10, 10}, {9, 10}}},
        {"a wall is lit and stops", 5, 1, 64, 0, {{12, 1}}, 0, {{10, 10}, {11, 10}, {12, 10}}},
        {"breakable walls too", 5, 1, 64, 0, {{12, 2}}, 0, {{10, 10}, {11, 10}, {12, 10}}},
        {"water lets it pass", 4, 1, 64, 0, {{12, 3}}, 0, {{10, 10}, {11, 10}, {12, 10}, {13, 10}}},
        {"the parent's view moves it", 2, 1, 64, 0, {}, 4, {{6, 10}, {7, 10}}},
        {"no rays", 5, 0, 64, 0, {}, 0, {}},
        {"no radius", 0, 5, 64, 0, {}, 0, {}},
    };
    for (const LightCase& c : cases) {
        TestEngine engine(RunnerScriptParts());
        Kobject* board = engine.AddBoard("Main", 20, 20);
        Kobject* dark = engine.AddBoard("Dark", 20, 20, 1);
        engine->FindSpecialBoards();
        board->viewx = c.viewx;
        for (const auto& [x, attrib] : c.walls) board->SetCell(x, 10, 219, 4, 4, attrib);
        Kobject* lamp = engine.AddObject(*board, "lamp", 1, 1, 0, 10, 10);
        for (KCell& cell : dark->cells) cell.fg = cell.bg = 255;
        KCastLight(*engine, *lamp, c.radius, c.rays, c.angle, c.width);
        Cells lit;
        for (int y = 0; y < dark->height; ++y) {
            for (int x = 0; x < dark->width; ++x) {
                if (dark->GetCell(x, y)->fg == 0) lit.insert({x, y});
            }
        }
        EXPECT_EQ(lit, c.lit) << c.what;
    }
}

// However many rays and however long, one light costs at most the table's
// angles times the dark board's diagonal.
TEST(Light, HugeLightsAreBounded)
{
    TestEngine engine(RunnerScriptParts());
    Kobject* board = engine.AddBoard("Main", 40, 30);
    engine.AddBoard("Dark", 40, 30, 1);
    engine->FindSpecialBoards();
    Kobject* lamp = engine.AddObject(*board, "lamp", 1, 1, 0, 20, 15);
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const int lit = KCastLight(*engine, *lamp, kMax, kMax, std::numeric_limits<int32_t>::min(), kMax);
    EXPECT_GT(lit, 0);
    EXPECT_LE(lit, kLightAngles * 52);
}

// A dark board's view may be far larger than its cells: the rays end at its
// cells. Every ray and every cell lit anew is charged, and a light stops
// when the tick's work is spent.
TEST(Light, RaysEndAtTheDarkCellsAndStopWhenTheWorkIsSpent)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    TestEngine engine(RunnerScriptParts());
    Kobject* board = engine.AddBoard("Main", 40, 30);
    Kobject* dark = engine.AddBoard("Dark", 1, 1, 1);
    dark->vieww = dark->viewh = kMax;
    engine->FindSpecialBoards();
    Kobject* lamp = engine.AddObject(*board, "lamp", 1, 1, 0, 0, 0);
    engine->vWork.SetCapacity(100000, 100000);
    EXPECT_LE(KCastLight(*engine, *lamp, kMax, kLightAngles, 0, 256), 2 * kLightAngles) << "one cell, once or twice a ray";
    EXPECT_LE(100000 - engine->vWork.Left(), 2 * kLightAngles + 2) << "rays of a step or two";

    dark->Resize(40, 30);
    dark->vieww = 40;
    dark->viewh = 30;
    lamp->posx = 20;
    lamp->posy = 15;
    for (KCell& cell : dark->cells) cell.fg = cell.bg = 255;
    engine->vWork.SetCapacity(100000, 100000);
    const int all = KCastLight(*engine, *lamp, 100, kLightAngles, 0, 256);
    const int64_t spent = 100000 - engine->vWork.Left();
    int64_t litCells = 0;
    for (const KCell& cell : dark->cells) litCells += cell.fg == 0 ? 1 : 0;
    EXPECT_GE(spent, kLightAngles * (51 / 8 + 1) + 48 * litCells) << "rays of 51 steps and the cells they light";
    for (KCell& cell : dark->cells) cell.fg = cell.bg = 255;
    engine->vWork.SetCapacity(spent / 4, spent / 4);
    const int part = KCastLight(*engine, *lamp, 100, kLightAngles, 0, 256);
    EXPECT_GT(part, 0);
    EXPECT_LT(part, all / 2) << "the light stopped with the work";
}

}  // namespace

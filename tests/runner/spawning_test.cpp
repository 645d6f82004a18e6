// Spawning, appearance, lights and fades in worlds played by the real
// quav-runner headless, read back from the tree, the variables and the
// screenshot it writes.

#include "RunnerSupport.h"

#include <gtest/gtest.h>


namespace {

// Boards in video mode 0 (40 x 30 cells on screen); objects show 'A'.
void WriteWorld(const std::string& path, const std::vector<TestBoard>& boards)
{
    WriteTestWorld(path, boards, TestWorld{0, 65});
}

// Pixels of colour in the screen cell (cx, cy) of a saved shot.
int PixelsOf(const std::string& shotPath, int cx, int cy, int colour)
{
    return ShotScreen(shotPath).Pixels(cx, cy, 1, 1, colour);
}

// An object's turn comes every ninth tick (cycle 8).
constexpr int kTurn = 9;

// The templates every spawning world carries.
TestBoard SpawnBoard()
{
    return {"Spawn", 20, 10, 0, {},
            {{"lamp", "#end", 1, 1, 2, 1, 14, {{"wick", "#end", 0, 0, 1, 1, 10}}},
             {"dart", "#end", 5, 1, 1, 1},
             {"bullet", "#collide fly\n#end\n:thud\n#walk opp flow\n#end", 7, 1, 1, 1},
             {"brain", "#give bound 1\n#end", 9, 1, 1, 1},
             {"chain", "#give chained 1\n#put n chain", 11, 1, 1, 1},
             {"hollow", "", 13, 1, 1, 1}}};
}

TEST(Spawning, PutThrowBindAndTheirBounds)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("spawn.zqav");
    WriteWorld(world, {{"Main", 40, 30, 0, {},
                        {{"putter", "#put n red lamp\n#end", 5, 10, 1, 1},
                         {"thrower", "#throw e dart\n#end", 5, 14, 1, 1},
                         {"binder", "#bind brain\n#give after 1", 20, 20, 1, 1},
                         {"remote", ".binder2 #bind brain\n#give remoteafter 1\n#end", 22, 20, 1, 1},
                         {"binder2", "#end", 24, 20, 1, 1},
                         {"emptied", "#bind hollow\n#give emptiedafter 1", 26, 20, 1, 1},
                         {"hollower", ".emptied2 #bind hollow\n#end", 28, 20, 1, 1},
                         {"emptied2", "#end", 30, 20, 1, 1},
                         {"chainer", "#put n chain\n#end", 30, 29, 1, 1},
                         {"nameless", "#put n no-such-thing\n#put n my-bullet\n#end", 2, 2, 1, 1}}},
                       SpawnBoard()});
    const Played played = sandbox.Play(world, 1);

    // #put keeps the name, sits north of the putter, does not walk, and
    // every cell of the copy and its children takes the colour (red, 12).
    EXPECT_EQ(IntField(played.tree, "lamp", "posx"), 5);
    EXPECT_EQ(IntField(played.tree, "lamp", "posy"), 9);
    EXPECT_EQ(IntField(played.tree, "lamp", "walk_dir"), -1);
    for (const char* name : {"lamp", "wick"}) {
        const auto cells = CellsOf(played.tree, name);
        ASSERT_FALSE(cells.empty()) << name;
        for (const auto& cell : cells) EXPECT_EQ(cell[1], 12) << name;
    }
    // The templates themselves stay as they were.
    EXPECT_EQ(CellsOf(played.tree, "wick", 1).at(0)[1], 10);

    // #throw makes a walking "bullet" of any template.
    EXPECT_EQ(CountNodes(played.tree, "dart"), 0 + 1) << "only the template";
    EXPECT_EQ(IntField(played.tree, "bullet", "walk_dir"), 1);
    EXPECT_EQ(IntField(played.tree, "bullet", "posx"), 6) << "its first step came inside the thrower's turn";

    EXPECT_EQ(VarInt(played.vars, "bound"), 2) << "binder's new first command ran in the same turn, binder2's in its own";
    EXPECT_EQ(VarInt(played.vars, "after"), kMissing);
    EXPECT_EQ(VarInt(played.vars, "remoteafter"), 1) << "binding another object does not hold the binder";
    // A program without commands leaves no current line, bound by the
    // object itself or by another.
    for (const char* name : {"emptied", "emptied2"}) {
        EXPECT_EQ(IntField(played.tree, name, "current_line"), -1) << name;
        EXPECT_EQ(IntField(played.tree, name, "running"), 0) << name;
    }
    EXPECT_EQ(VarInt(played.vars, "emptiedafter"), kMissing);

    // A template that puts itself: the chain ends at the top edge (no
    // parent there to stop it, it runs into the tick's allowance or the
    // immediate turns) and the world plays on.
    EXPECT_GT(VarInt(played.vars, "chained"), 1);
    EXPECT_LE(VarInt(played.vars, "chained"), 4096);
    const Played later = sandbox.Play(world, 30);
    EXPECT_GT(VarInt(later.vars, "chained"), VarInt(played.vars, "chained"));
}

TEST(Spawning, AmmoAndBulletsLeavingTheirShooter)
{
    RunnerSandbox sandbox;
    for (const int ammo : {0, 1}) {
        const std::string world = sandbox.File("ammo.zqav");
        WriteWorld(world, {{"Main", 40, 30, 0, {{14, 3, 1}},
                            {{"player", "#set ammo " + std::to_string(ammo) + "\n#end\n:key_space\n#shoot e\n#end", 5,
                              20, 1, 1},
                             {"gun", "#shoot e\n#end\n:shot\n#give gunhit 1\n#end", 10, 3, 1, 1}}},
                           SpawnBoard()});
        WriteFileBytes(sandbox.File("keys.txt"), "2 key_space down\n4 key_space up\n20 key_space down\n22 key_space up\n");
        const Played first = sandbox.Play(world, 3);
        EXPECT_EQ(VarInt(first.vars, "gunhit"), kMissing) << "the first step leaves the shooter unhurt";
        const Played played = sandbox.Play(world, 12 * kTurn, "--input keys.txt");
        // The gun's bullet: out of the gun, back from the wall, into the gun.
        EXPECT_GE(VarInt(played.vars, "gunhit"), 1) << played.tree;
        EXPECT_EQ(VarInt(played.vars, "ammo"), 0);
        EXPECT_EQ(CountNodes(played.tree, "bullet"), 1 + 1 + ammo) << "template, the gun's, and one per round";
    }
}

// Objects bound, dissolved and moved to another parent while they, or
// something below them, are in the middle of a turn (the sanitizer build
// plays this with its runner).
TEST(Spawning, BindAndBecomeOnObjectsInTheMiddleOfTurns)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("turns.zqav");
    WriteWorld(world, {{"Main", 40, 30, 0, {},
                        {{"a", "#end\n:go\n.b #bind brain\n.b #become -1 -1 -1 -1\n#give agone 1\n#end", 1, 1, 1, 1},
                         {"b", ".a @*go\n#give bafter 1\n#end", 3, 1, 2, 2, 14, {{"bchild", "#end", 0, 0, 1, 1}}},
                         {"box", "#end", 20, 5, 6, 6, 14, {{"c", ".parent #become -1 -1 -1 -1\n#give cafter 1\n#end", 1, 1, 1, 1}}},
                         {"d", "#end\n:go\n#bind brain", 1, 10, 1, 1},
                         {"e", ".d @*go\n#give eafter 1\n#end", 3, 10, 1, 1},
                         {"f", "#end\n:go\n#become 1 1 1 0\n#give fwrong 1", 1, 12, 1, 1},
                         {"g", ".f @*go\n#give gafter 1\n#end", 3, 12, 1, 1}}},
                       SpawnBoard()});
    const Played played = sandbox.Play(world, 20);
    for (const char* gone : {"b", "box", "f"}) EXPECT_EQ(CountNodes(played.tree, gone), 0) << gone;
    EXPECT_EQ(IntField(played.tree, "bchild", "parent"), IntField(played.tree, "Main", "id"));
    EXPECT_EQ(IntField(played.tree, "c", "parent"), IntField(played.tree, "Main", "id"));
    EXPECT_EQ(IntField(played.tree, "c", "posx"), 21);
    for (const char* done : {"agone", "cafter", "eafter", "gafter", "bound"}) EXPECT_GE(VarInt(played.vars, done), 1) << done;
    EXPECT_EQ(VarInt(played.vars, "fwrong"), kMissing) << "a dissolved object runs nothing more";
}

TEST(Appearance, ModGetWriteCyclesBecomeAttachAndFocus)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("mod.zqav");
    WriteWorld(world, {{"Main", 40, 30, 0, {},
                        {{"far", "#mod vieww 2\n#mod viewx 9\n#end", 1, 1, 4, 4},
                         {"near", "#mod vieww 2\n#mod viewx -3\n#end", 6, 1, 4, 4},
                         {"grower", "#mod vieww 2\n#mod evieww 6\n#get posx gx\n#get name gname\n#end", 10, 10, 4, 1},
                         {"deep", "#mod posz 5\n#get posz gz\n#get char 0 0 gc\n#get fg 9 9 gnone\n#end", 1, 20, 1, 1},
                         {"huge", "#mod vieww 4000\n#mod vieww 2000000000\n#mod viewh -5\n#char 1 2 3 0\n#cycle 2000000000\n#end", 3, 20, 1, 1},
                         {"writer", "#write 0 0 hp health\n#end", 2, 25, 10, 1},
                         {"ticker", "#cyclef 3\n:a\n#give t 1\n/i\n@a", 30, 25, 1, 1},
                         {"statue", "#become -1 -1 -1 -1", 30, 5, 2, 1, 14,
                          {{"gem", "#end", 1, 0, 1, 1}, {"away", "#end", 6, 0, 1, 1}}},
                         {"painter", "#become 66 -1 -1 2", 30, 8, 2, 2},
                         {"host", "#attach lamp 3 4\n#end", 20, 12, 10, 10},
                         {"player", "#end", 39, 29, 1, 1}},
                        "#mod vieww 20\n#mod viewh 10\n#focus player\n#end"},
                       SpawnBoard()});
    const Played played = sandbox.Play(world, 40);

    EXPECT_EQ(IntField(played.tree, "far", "viewx"), 2) << "clamped to width - view width";
    EXPECT_EQ(IntField(played.tree, "near", "viewx"), 0);
    EXPECT_EQ(IntField(played.tree, "grower", "posx"), 8) << "grown about its centre";
    EXPECT_EQ(VarInt(played.vars, "gx"), 8);
    EXPECT_NE(played.vars.find("\"gname\": \"grower\""), std::string::npos) << played.vars;
    EXPECT_EQ(VarInt(played.vars, "gz"), 5);
    EXPECT_EQ(VarInt(played.vars, "gc"), 65);
    EXPECT_EQ(VarInt(played.vars, "gnone"), kMissing) << "a cell off the grid sets nothing";
    EXPECT_EQ(IntField(played.tree, "deep", "posz"), 5);
    EXPECT_LT(NodeAt(played.tree, "deep"), NodeAt(played.tree, "far")) << "deeper objects come first";
    EXPECT_EQ(IntField(played.tree, "huge", "vieww"), 4000) << "past the side bound nothing changes";
    EXPECT_EQ(IntField(played.tree, "huge", "viewh"), 0) << "a view is never negative";
    EXPECT_EQ(IntField(played.tree, "huge", "cycle"), 2147483647);

    const auto written = CellsOf(played.tree, "writer");
    ASSERT_EQ(written.size(), 10u);
    std::string text;
    for (size_t i = 0; i < 5; ++i) text += static_cast<char>(written[i][0]);
    EXPECT_EQ(text, "hp100") << "a variable's name writes its value";
    EXPECT_EQ(written[0][1], 15);

    // Turns at tick 0 (which reloads the old cycle of 8), then every fourth tick: 9, 13, ..., 37.
    EXPECT_EQ(VarInt(played.vars, "t"), 9);

    // #become, #attach and #focus.
    EXPECT_EQ(CountNodes(played.tree, "statue"), 0);
    EXPECT_EQ(CountNodes(played.tree, "painter"), 0);
    EXPECT_EQ(IntField(played.tree, "gem", "parent"), IntField(played.tree, "Main", "id")) << "a touching child stays";
    EXPECT_EQ(IntField(played.tree, "gem", "posx"), 31);
    EXPECT_EQ(CountNodes(played.tree, "away"), 0) << "a child away from the object goes with it";
    const auto board = CellsOf(played.tree, "Main");
    ASSERT_EQ(board.size(), 40u * 30u);
    EXPECT_EQ(board[5 * 40 + 30], (std::array<int, 4>{65, 14, 1, 0})) << "the statue's picture stays";
    EXPECT_EQ(board[9 * 40 + 31], (std::array<int, 4>{66, 1, 1, 2})) << "-1 keeps a field";

    EXPECT_EQ(IntField(played.tree, "lamp", "parent"), IntField(played.tree, "host", "id"));
    EXPECT_EQ(IntField(played.tree, "lamp", "posx"), 3);
    EXPECT_EQ(IntField(played.tree, "lamp", "posy"), 4);

    // The board's view follows the player into its corner, no further.
    EXPECT_EQ(IntField(played.tree, "Main", "viewx"), 20);
    EXPECT_EQ(IntField(played.tree, "Main", "viewy"), 20);
}

TEST(Appearance, LightsAndFades)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("dark.zqav");
    const std::string lamp = "#set dark\n#cyclef 0\n:l\n#light 8 64 0 256\n/i\n@l";
    WriteWorld(world, {{"Main", 40, 30, 0, {{24, 14, 1}, {24, 15, 1}, {24, 16, 1}, {16, 15, 3}},
                        {{"lamp", lamp, 20, 15, 1, 1}}},
                       {"Dark", 40, 30, 1, {}, {}}});
    const std::string shot = sandbox.File("shot.bmp");
    // The lamp's first turn reloads the old cycle: it lights every tick from tick 9.
    sandbox.Play(world, 12, "--screenshot shot.bmp");
    EXPECT_EQ(PixelsOf(shot, 22, 15, 1), 64) << "lit: the board shows through" ;
    EXPECT_EQ(PixelsOf(shot, 20, 22, 1), 64) << "a disc: south";
    EXPECT_EQ(PixelsOf(shot, 24, 15, 4), 64) << "the wall is lit";
    EXPECT_EQ(PixelsOf(shot, 26, 15, 255), 64) << "behind the wall stays dark";
    EXPECT_EQ(PixelsOf(shot, 14, 15, 1), 64) << "water lets the light through";
    EXPECT_EQ(PixelsOf(shot, 20, 25, 255), 64) << "beyond the radius stays dark";
    EXPECT_EQ(PixelsOf(shot, 5, 5, 255), 64);
}

// A fade takes sixteen frames, each a tick of the run; a run that ends
// inside it shows (and photographs) the palette of its last frame.
TEST(Appearance, FadesTakeTheirFramesAndOnlyWhenTheyChangeSomething)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("fade.zqav");
    WriteWorld(world, {{"Main", 40, 30, 0, {}, {{"fader", "#fadeout\n#fadeout\n#fadein\n#give in 1\n#end", 1, 1, 1, 1}}}});
    struct Case {
        int ticks;
        bool black, full;
    };
    const Case cases[] = {
        {6, false, false},   // inside the first fade
        {17, true, false},   // after it
        {22, false, false},  // fading in: the second fade out was no fade at all
        {40, false, true},
    };
    for (const Case& c : cases) {
        const Played played = sandbox.Play(world, c.ticks, "--screenshot shot.bmp");
        if (c.full) {
            EXPECT_EQ(VarInt(played.vars, "in"), 1);
        }
        const ShotScreen shot(sandbox.File("shot.bmp"));
        ASSERT_TRUE(shot.Loaded());
        const int white = shot.PaletteRed(15);
        EXPECT_EQ(white == 0, c.black) << c.ticks << ": " << white;
        EXPECT_EQ(white == 63, c.full) << c.ticks << ": " << white;
    }
}

// A script fading for ever: a tick shows at most four fades' frames, so the
// game goes on; Escape pressed during a fade ends the tick's fades and
// opens the menu after the tick, which then holds the game.
TEST(Appearance, EndlessFadesLetTheGameAndTheMenuIn)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("fades.zqav");
    WriteWorld(world, {{"Main", 40, 30, 0, {},
                        {{"fader", "#cyclef 0\n:l\n#fadeout\n#fadein\n@l", 1, 1, 1, 1},
                         {"clock", "#cyclef 0\n:l\n#give t 1\n/i\n@l", 3, 1, 1, 1}}}});
    const int ticks = VarInt(sandbox.Play(world, 400).vars, "t");
    EXPECT_GE(ticks, 5) << "about 65 passes a tick";
    EXPECT_LE(ticks, 8);
    WriteFileBytes(sandbox.File("esc.txt"), "10 key_esc down\n11 key_esc up\n");
    const int menuTicks = VarInt(sandbox.Play(world, 400, "--input esc.txt").vars, "t");
    EXPECT_GE(menuTicks, 1);
    EXPECT_LT(menuTicks, ticks) << "the menu opened after the first tick and held the game";
}

}  // namespace

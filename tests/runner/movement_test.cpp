// Objects moving in worlds played by the real quav-runner headless: walls,
// breakable walls, other objects, containers, seeded random directions and
// the arrow keys, read back from the tree and variables it dumps.

#include "KWorldFile.h"
#include "RunnerSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

struct Piece {
    std::string name;
    std::string script;
    int x, y, w, h;
};

struct Wall {
    int x, y, attrib;
};

// A one-board world of w x h cells (mode 1) with the given attributes set
// in its cells and the given objects on it.
void WriteWorld(const std::string& path, int w, int h, const std::vector<Wall>& walls, const std::vector<Piece>& pieces)
{
    TestEngine engine(KFlavour::Editor);
    engine->vVideoMode = 1;
    Kobject* board = engine.AddBoard("Main", w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) board->SetCell(x, y, 0, 1, 1, 0);
    }
    for (const Wall& wall : walls) board->SetCell(wall.x, wall.y, 219, 4, 4, wall.attrib);
    for (const Piece& piece : pieces) {
        Kobject* node = engine.AddObject(*board, piece.name, piece.w, piece.h, 0, piece.x, piece.y);
        for (int y = 0; y < piece.h; ++y) {
            for (int x = 0; x < piece.w; ++x) node->SetCell(x, y, 2, 14, 1, 0);
        }
        node->source = piece.script;
    }
    ASSERT_TRUE(SaveWorld(*engine, path));
}

constexpr int kMissing = -99999;

// The value of field in the dumped node named name, or "missing".
std::string Field(const std::string& tree, const std::string& name, const std::string& field)
{
    const size_t node = tree.find("\"name\": \"" + name + "\"");
    if (node == std::string::npos) return "missing";
    const size_t end = tree.find('}', node);
    const std::string key = "\"" + field + "\": ";
    const size_t at = tree.find(key, node);
    if (at == std::string::npos || at > end) return "missing";
    const size_t start = at + key.size();
    return tree.substr(start, tree.find_first_of(",}", start) - start);
}

int IntField(const std::string& tree, const std::string& name, const std::string& field)
{
    const std::string text = Field(tree, name, field);
    return text == "missing" ? kMissing : std::atoi(text.c_str());
}

// The integer a --dump-vars object holds for name, or kMissing.
int Var(const std::string& json, const std::string& name)
{
    const std::string key = "\"" + name + "\": ";
    const size_t at = json.find(key);
    return at == std::string::npos ? kMissing : std::atoi(json.c_str() + at + key.size());
}

struct Played {
    int status = -1;
    std::string tree;
    std::string vars;
    std::string output;
};

Played Play(const RunnerSandbox& sandbox, const std::string& world, int ticks, const std::string& extra = "")
{
    Played played;
    played.status = sandbox.Run("--headless --seed 7 --ticks " + std::to_string(ticks) + " --dump-tree tree.json" +
                                    " --dump-vars vars.json " + extra + " " + world,
                                &played.output);
    played.tree = ReadFileBytes(sandbox.File("tree.json"));
    played.vars = ReadFileBytes(sandbox.File("vars.json"));
    return played;
}

// An object's turn comes every ninth tick (cycle 8).
constexpr int kTurn = 9;

TEST(Movement, WallsBreakableWallsAndBorders)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("walls.zqav");
    WriteWorld(world, 24, 12,
               {{0, 1, 1},    // in the ghost's way
                {4, 6, 1},    // under the middle of "middle" once it steps east
                {12, 7, 1},   // on the border ring of "ring" once it steps east
                {16, 3, 2},   // breakable, in the bullet's way
                {2, 10, 1}},  // above "bumper"
               {{"ghost", "#collide none\n#walk w", 1, 1, 1, 1},
                {"middle", "?e", 2, 5, 3, 3},
                {"ring", "/e\n#set ringmoved 1", 9, 5, 3, 3},
                {"bullet", "#collide fly\n#walk n\n#end\n:thud\n#give thuds 1\n#end", 16, 5, 1, 1},
                {"bumper", "/n\n#set bumped 1", 2, 11, 1, 1}});
    const Played played = Play(sandbox, world, 8 * kTurn, "--screenshot shot.bmp");
    ASSERT_EQ(played.status, 0) << played.output;

    EXPECT_LT(IntField(played.tree, "ghost", "posx"), 0) << "collide none walks through the wall and off the board";
    EXPECT_EQ(IntField(played.tree, "middle", "posx"), 3) << "a wall under the middle does not stop";
    EXPECT_EQ(IntField(played.tree, "ring", "posx"), 9) << "a wall on the border ring stops";
    EXPECT_EQ(Var(played.vars, "ringmoved"), kMissing);
    EXPECT_EQ(IntField(played.tree, "bumper", "posy"), 11);
    EXPECT_EQ(IntField(played.tree, "bumper", "current_line"), 0) << "/n into a wall repeats";
    // The bullet broke the wall, got "thud", and walked on through the
    // broken cell (now free) up to the board's top, where it thuds again.
    EXPECT_EQ(IntField(played.tree, "bullet", "posy"), 0);
    EXPECT_EQ(IntField(played.tree, "bullet", "posx"), 16);
    EXPECT_GE(Var(played.vars, "thuds"), 2) << played.vars;

    // The broken cell shows break_c in break_f on break_b (7).
    PALETTE palette;
    KBitmap shot(load_bmp(sandbox.File("shot.bmp").c_str(), palette));
    ASSERT_TRUE(shot);
    int background = 0;
    for (int y = 3 * 8; y < 4 * 8; ++y) {
        for (int x = 16 * 8; x < 17 * 8; ++x) background += shot->line[y][x] == 7 ? 1 : 0;
    }
    EXPECT_GT(background, 0);
}

TEST(Movement, PlayerObjectsAndExcludePairs)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("touch.zqav");
    WriteWorld(world, 40, 20, {},
               {{"player", ":key_right\n/e\n#end\n:key_down\n/s\n#end", 5, 5, 1, 1},
                {"rock", "#end\n:touch\n#give touched 1\n#end", 8, 5, 1, 1},
                {"safe", "#lock\n#end\n:touch\n#give safetouched 1\n#end", 7, 8, 1, 1},
                {"ex1", "#collide exclude\n#walk e", 1, 12, 1, 1},
                {"ex2", "#collide exclude\n#end", 3, 12, 1, 1},
                {"plain1", "#collide exclude\n#walk e", 1, 14, 1, 1},
                {"plain2", "#end", 3, 14, 1, 1},
                {"turner", "/opp cw n\n#end", 10, 1, 1, 1}});
    WriteFileBytes(sandbox.File("keys.txt"), "0 key_right down\n40 key_right up\n45 key_down down\n100 key_down up\n");
    const Played played = Play(sandbox, world, 120, "--input keys.txt");
    ASSERT_EQ(played.status, 0) << played.output;

    EXPECT_EQ(IntField(played.tree, "player", "posx"), 7) << "the player stays put before the rock";
    EXPECT_EQ(IntField(played.tree, "player", "posy"), 7) << "and before the locked object";
    EXPECT_GE(Var(played.vars, "touched"), 1) << "the rock got touch";
    EXPECT_EQ(Var(played.vars, "safetouched"), kMissing) << "a locked object gets nothing";
    EXPECT_GT(IntField(played.tree, "ex1", "posx"), 3) << "two excluded objects pass through each other";
    EXPECT_EQ(IntField(played.tree, "plain1", "posx"), 2) << "one excluded object does not pass another";
    EXPECT_EQ(IntField(played.tree, "turner", "posx"), 9) << "opp cw n is west";
}

TEST(Movement, SeededRandomDirectionsAndPauses)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("random.zqav");
    WriteWorld(world, 40, 20, {},
               {{"rover", "#collide none\n?rndne\n#restart", 20, 10, 1, 1},
                {"pauser", "#give p 1\n/i\n#give p 10\n#end", 1, 1, 1, 1}});
    const Played played = Play(sandbox, world, 100 * kTurn);
    ASSERT_EQ(played.status, 0) << played.output;
    const int east = IntField(played.tree, "rover", "posx") - 20;
    const int north = 10 - IntField(played.tree, "rover", "posy");
    EXPECT_EQ(east + north, 100) << "every turn one step, north or east only";
    EXPECT_GT(east, 25);
    EXPECT_GT(north, 25);
    EXPECT_EQ(Play(sandbox, world, 100 * kTurn).tree, played.tree) << "the same seed plays the same way";

    EXPECT_EQ(Var(Play(sandbox, world, 1).vars, "p"), 1) << "/i ends the first turn";
    EXPECT_EQ(Var(Play(sandbox, world, kTurn + 1).vars, "p"), 11) << "and advances";
}

TEST(Movement, ContainersAreEnteredAndLeft)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("box.zqav");
    WriteWorld(world, 40, 20, {},
               {{"crate", "#walk e\n#end\n:thud\n#give thud 1\n#end", 13, 4, 4, 4},
                {"box", "#enterable yes\n#end", 20, 2, 10, 10}});
    const Played inside = Play(sandbox, world, 8 * kTurn);
    ASSERT_EQ(inside.status, 0) << inside.output;
    EXPECT_EQ(Field(inside.tree, "crate", "parent"), Field(inside.tree, "box", "id")) << inside.tree;
    EXPECT_EQ(IntField(inside.tree, "crate", "posy"), 2);

    const Played out = Play(sandbox, world, 30 * kTurn);
    EXPECT_EQ(Field(out.tree, "crate", "parent"), Field(out.tree, "Main", "id")) << out.tree;
    EXPECT_EQ(IntField(out.tree, "crate", "posx"), 36) << "out by the box's east edge, on to the board's";
    EXPECT_EQ(IntField(out.tree, "crate", "posy"), 4);
    EXPECT_GE(Var(out.vars, "thud"), 1) << "thud at the board's edge";
}

}  // namespace

// Objects moving in worlds played by the real quav-runner headless: walls,
// breakable walls, other objects, containers, seeded random directions and
// the arrow keys, read back from the tree and variables it dumps.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

namespace {

// A one-board world of w x h cells (mode 1).
void WriteWorld(const std::string& path, int w, int h, const std::vector<TestWall>& walls,
                const std::vector<TestPiece>& pieces)
{
    WriteTestWorld(path, {TestBoard{"Main", w, h, 0, walls, pieces}});
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
    const Played played = sandbox.Play(world, 8 * kTurn, "--screenshot shot.bmp");

    EXPECT_LT(IntField(played.tree, "ghost", "posx"), 0) << "collide none walks through the wall and off the board";
    EXPECT_EQ(IntField(played.tree, "middle", "posx"), 3) << "a wall under the middle does not stop";
    EXPECT_EQ(IntField(played.tree, "ring", "posx"), 9) << "a wall on the border ring stops";
    EXPECT_EQ(VarInt(played.vars, "ringmoved"), kMissing);
    EXPECT_EQ(IntField(played.tree, "bumper", "posy"), 11);
    EXPECT_EQ(IntField(played.tree, "bumper", "current_line"), 0) << "/n into a wall repeats";
    // The bullet broke the wall, got "thud", and walked on through the
    // broken cell (now free) up to the board's top, where it thuds again.
    EXPECT_EQ(IntField(played.tree, "bullet", "posy"), 0);
    EXPECT_EQ(IntField(played.tree, "bullet", "posx"), 16);
    EXPECT_GE(VarInt(played.vars, "thuds"), 2) << played.vars;

    // The broken cell shows break_c in break_f on break_b (7).
    EXPECT_GT(ShotScreen(sandbox.File("shot.bmp")).Pixels(16, 3, 1, 1, 7), 0);
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
    const Played played = sandbox.Play(world, 120, "--input keys.txt");

    EXPECT_EQ(IntField(played.tree, "player", "posx"), 7) << "the player stays put before the rock";
    EXPECT_EQ(IntField(played.tree, "player", "posy"), 7) << "and before the locked object";
    EXPECT_GE(VarInt(played.vars, "touched"), 1) << "the rock got touch";
    EXPECT_EQ(VarInt(played.vars, "safetouched"), kMissing) << "a locked object gets nothing";
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
    const Played played = sandbox.Play(world, 100 * kTurn);
    const int east = IntField(played.tree, "rover", "posx") - 20;
    const int north = 10 - IntField(played.tree, "rover", "posy");
    EXPECT_EQ(east + north, 100) << "every turn one step, north or east only";
    EXPECT_GT(east, 25);
    EXPECT_GT(north, 25);
    EXPECT_EQ(sandbox.Play(world, 100 * kTurn).tree, played.tree) << "the same seed plays the same way";

    EXPECT_EQ(VarInt(sandbox.Play(world, 1).vars, "p"), 1) << "/i ends the first turn";
    EXPECT_EQ(VarInt(sandbox.Play(world, kTurn + 1).vars, "p"), 11) << "and advances";
}

TEST(Movement, ContainersAreEnteredAndLeft)
{
    RunnerSandbox sandbox;
    const std::string world = sandbox.File("box.zqav");
    WriteWorld(world, 40, 20, {},
               {{"crate", "#walk e\n#end\n:thud\n#give thud 1\n#end", 13, 4, 4, 4},
                {"box", "#enterable yes\n#end", 20, 2, 10, 10}});
    const Played inside = sandbox.Play(world, 8 * kTurn);
    EXPECT_EQ(IntField(inside.tree, "crate", "parent"), IntField(inside.tree, "box", "id")) << inside.tree;
    EXPECT_EQ(IntField(inside.tree, "crate", "posy"), 2);

    const Played out = sandbox.Play(world, 30 * kTurn);
    EXPECT_EQ(IntField(out.tree, "crate", "parent"), IntField(out.tree, "Main", "id")) << out.tree;
    EXPECT_EQ(IntField(out.tree, "crate", "posx"), 36) << "out by the box's east edge, on to the board's";
    EXPECT_EQ(IntField(out.tree, "crate", "posy"), 4);
    EXPECT_GE(VarInt(out.vars, "thud"), 1) << "thud at the board's edge";
}

}  // namespace

// One-cell moves on worlds built in memory: the grid of children against a
// plain scan, the modes' effects, owners, containers and the bounds a move
// keeps whatever the numbers.

#include "KHandlers.h"
#include "KWindow.h"
#include "ScriptTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace {

std::vector<Kobject*> PlainMeeting(const Kobject& parent, const KWindow& window)
{
    std::vector<Kobject*> found;
    for (const auto& child : parent.children) {
        if (KOverlaps(window, KWindowOf(*child))) found.push_back(child.get());
    }
    return found;
}

// Random changes of every kind the grid must follow: moves, new sizes,
// children linked, unlinked, spawned and erased, the parent resized. After
// each, random windows (some far off the board, some of odd sizes) find
// the same children, in the same order, as the plain scan.
TEST(ChildGrid, AnswersAsThePlainScanDoesThroughEveryChange)
{
    TestEngine world(RunnerScriptParts());
    world->vChildGridFrom = 1;
    world->vCheckChildGrid = false;
    Kobject* board = world.AddBoard("Main", 64, 48);
    Kobject* other = world.AddBoard("Other", 16, 16, 1);
    std::mt19937 random(12345);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int i = 0; i < 300; ++i) world.AddObject(*board, "o", pick(0, 5), pick(0, 5), pick(0, 2), pick(-8, 70), pick(-8, 55));

    int64_t looked = 0;
    std::vector<Kobject*> found;
    for (int round = 0; round < 3000; ++round) {
        Kobject& parent = pick(0, 1) == 0 ? *other : *board;
        Kobject* child = parent.children.empty() ? nullptr : parent.children[static_cast<size_t>(pick(0, static_cast<int>(parent.children.size()) - 1))].get();
        switch (pick(0, 7)) {
        case 0:
        case 1:
            if (child == nullptr) break;
            child->posx += pick(-1, 1);
            child->posy += pick(-1, 1);
            child->Refile();
            break;
        case 2:
            if (child != nullptr) child->Resize(pick(0, 6), pick(0, 6));
            break;
        case 3:
            if (child != nullptr) (&parent == board ? other : board)->Link(parent.UnLink(child));
            break;
        case 4:
            if (child != nullptr) parent.Erase(child);
            break;
        case 5: world.AddObject(parent, "new", pick(0, 3), pick(0, 3), pick(0, 2), pick(-5, 70), pick(-5, 50)); break;
        case 6:
            if (pick(0, 50) == 0) parent.Resize(pick(1, 80), pick(1, 60));
            break;
        default:
            if (child == nullptr) break;
            child->vieww = pick(-2, 9);
            child->viewh = pick(-2, 9);
            child->Refile();
            break;
        }
        const KWindow window{pick(-20, 90), pick(-20, 70), pick(-1, 12), pick(-1, 12)};
        parent.ChildrenMeeting(window, found, looked);
        ASSERT_EQ(found, PlainMeeting(parent, window)) << "round " << round;
    }
    EXPECT_GT(board->children.size() + other->children.size(), 100u);
}

class Moves : public testing::Test {
protected:
    Moves() : world_(RunnerScriptParts()) { board_ = world_.AddBoard("Main", 30, 20); }

    Kobject* Add(const std::string& name, int x, int y, int w = 1, int h = 1, Kobject* parent = nullptr)
    {
        Kobject* object = world_.AddObject(parent != nullptr ? *parent : *board_, name, w, h, 0, x, y);
        object->Refile();
        return object;
    }
    void Start()
    {
        world_->CompileAll();
        world_->ChooseActiveBoard();
    }
    int Move(Kobject& object, int direction, int mode = kMoveNow)
    {
        return KMoveObject(*world_->vExec, object, direction, mode);
    }

    TestEngine world_;
    Kobject* board_ = nullptr;
};

// A blocked test must not change the world, not even for a bullet that
// would break the wall by moving.
TEST_F(Moves, BlockedTestLeavesBreakableWallsStandingAndTheIntegerRangeBlocks)
{
    Kobject* bullet = Add("bullet", 5, 5);
    bullet->collideMode = kCollideFly;
    board_->SetCell(5, 4, 7, 7, 7, 2);
    Start();
    EXPECT_EQ(Move(*bullet, 0, kMoveTestBlocked), 1);
    EXPECT_EQ(board_->GetCell(5, 4)->attrib, 2);
    EXPECT_EQ(Move(*bullet, 0), 0);
    EXPECT_EQ(board_->GetCell(5, 4)->attrib, 0);
    EXPECT_EQ(board_->GetCell(5, 4)->chr, world_->GetVar("break_c"));
    EXPECT_EQ(bullet->posy, 5);

    // Positions past the integer range are blocked.
    Kobject* ghost = Add("ghost", std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min());
    ghost->collideMode = kCollideNone;
    const int expected[][3] = {{1, kMoveNow, 0}, {0, kMoveNow, 0}, {1, kMoveTestBlocked, 1}, {3, kMoveNow, 1}};
    for (const auto& row : expected) EXPECT_EQ(Move(*ghost, row[0], row[1]), row[2]) << row[0] << " " << row[1];
    EXPECT_EQ(ghost->posx, std::numeric_limits<int32_t>::max() - 1);
    EXPECT_EQ(ghost->posy, std::numeric_limits<int32_t>::min());
}

// A window of two billion cells costs no more than the parent's grid.
TEST_F(Moves, HugeWindowsScanOnlyTheParentsGrid)
{
    board_->viewx = board_->viewy = -10;
    board_->vieww = board_->viewh = std::numeric_limits<int32_t>::max();
    Kobject* wide = Add("wide", 0, 0);
    wide->vieww = 2000000000;
    wide->viewh = 2000000000;
    wide->enterable = 1;
    wide->Refile();
    Start();
    world_->vWork.Begin();
    EXPECT_EQ(Move(*wide, 2), 0);
    EXPECT_EQ(Move(*wide, 2, kMoveTestBlocked), 1);
    EXPECT_GT(world_->vWork.Left(), kTickWorkUnits - 100);
    EXPECT_EQ(wide->posy, 0);
}

TEST_F(Moves, OwnersAndTheirProjectilesPassEachOtherAndOnlyThePlayerIsThePlayer)
{
    Kobject* shooter = Add("shooter", 5, 5);
    Kobject* bullet = Add("bullet", 5, 6);
    bullet->ownerid = shooter->id;
    Kobject* stranger = Add("stranger", 5, 8);
    Start();
    EXPECT_EQ(Move(*bullet, 0, kMoveTestBlocked), 0);
    EXPECT_EQ(Move(*shooter, 2, kMoveTestBlocked), 0) << "nor does the owner hit what it owns";
    EXPECT_EQ(Move(*bullet, 2), 1);
    EXPECT_EQ(Move(*bullet, 2), 0) << "anyone else stops it";
    EXPECT_EQ(bullet->posy, 7);
    EXPECT_EQ(stranger->posy, 8);

    // The player test finds only the player at the same depth.
    Kobject* guard = Add("guard", 5, 10);
    Kobject* player = Add("player", 6, 10);
    EXPECT_EQ(Move(*guard, 1, kMoveTestPlayer), 1);
    EXPECT_EQ(Move(*guard, 3, kMoveTestPlayer), 0);
    player->posz = 1;
    board_->Link(board_->UnLink(player));
    EXPECT_EQ(Move(*guard, 1, kMoveTestPlayer), 0);
    EXPECT_EQ(guard->posx, 5);
}

// A full container keeps the newcomer out: it is back where it was, in the
// parent it came from, at its old place in the list's depth.
TEST_F(Moves, FailedEntryRestoresPlaceAndParent)
{
    Kobject* walker = Add("walker", 4, 5);
    Kobject* box = Add("box", 5, 4, 3, 3);
    box->enterable = 1;
    Add("sitter", 0, 0, 3, 3, box);
    Start();
    EXPECT_EQ(Move(*walker, 1), 0);
    EXPECT_EQ(walker->parent, board_);
    EXPECT_EQ(walker->posx, 4);
    box->children.front()->Resize(1, 1);
    EXPECT_EQ(Move(*walker, 1), 1);
    EXPECT_EQ(walker->parent, box);
    EXPECT_EQ(walker->posx, 0) << "clamped into the box";
    EXPECT_EQ(walker->posy, 1);
}

// Objects that die when touched, and a container that dies when entered,
// among objects that walk into them: under the sanitizers, nothing is
// touched after it is gone and the tree stays whole.
TEST_F(Moves, ObjectsErasedByTheirCollisionsAreNeverTouchedAgain)
{
    for (int y = 0; y < 20; y += 2) {
        Add("mine", 10, y)->source = "#end\n:touch\n#die\n:shot\n.walker @ping\n#die";
        const bool player = y % 4 == 0;
        Add(player ? "player" : "walker", 2, y)->source =
            player ? "#walk e\n#end\n:thud\n#walk s\n#end" : "#walk e\n#end\n:ping\n.box @*touch\n#walk n";
    }
    Add("box", 20, 0, 4, 20)->source = "#enterable yes\n#end\n:touch\n#die";
    Add("bullet", 10, 1)->source = "#walk s\n#end\n:thud\n.box #die\n#walk w";
    Start();
    for (int tick = 0; tick < 400; ++tick) world_->Tick();
    for (const auto& child : board_->children) EXPECT_EQ(child->parent, board_);
    EXPECT_EQ(board_->FindByName("box"), nullptr);
    EXPECT_LT(board_->children.size(), 21u) << "mines were touched and shot";
}

}  // namespace

#include "KAddress.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A board "Start" (20 x 10) with, in list order:
//   Door   (2,2) 2x2, holding box, which holds knob and Knob
//   lamp   (4,2) 1x1   touches Door's east edge
//   player (3,3) 1x1   overlaps Door
//   rug    (1,1) 5x5   holds Door, lamp and player wholly
// and a second board "Other" with an object "n".
class Addresses : public testing::Test {
protected:
    void SetUp() override
    {
        start = engine.AddBoard("Start", 20, 10, 0);
        door = engine.AddObject(*start, "Door", 2, 2, 4, 2, 2);
        lamp = engine.AddObject(*start, "lamp", 1, 1, 3, 4, 2);
        player = engine.AddObject(*start, "player", 1, 1, 2, 3, 3);
        rug = engine.AddObject(*start, "rug", 5, 5, 1, 1, 1);
        box = engine.AddObject(*door, "box", 1, 1);
        knob = engine.AddObject(*box, "knob", 1, 1, 1);
        knob2 = engine.AddObject(*box, "Knob", 1, 1, 0);
        other = engine.AddBoard("Other", 8, 8, 1);
        otherN = engine.AddObject(*other, "n", 1, 1);
    }

    // The names of the nodes an address reaches from node, in order.
    std::string Reach(Kobject* node, std::string_view address, KFlavour walk = KFlavour::Runner)
    {
        const int h = engine->AllocHandle(node);
        const int list = KResolveAddress(*engine, walk, h, address);
        std::string names;
        if (list >= 0) {
            for (int each = engine->NextInList(list); each >= 0; each = engine->NextInList(list)) {
                if (!names.empty()) names += " ";
                names += engine->NodeOf(each)->name;
            }
            engine->FreeList(list);
        } else {
            names = "(no list)";
        }
        engine->ReleaseHandle(h);
        EXPECT_EQ(engine->HandlesInUse(), 1) << "every handle is given back";
        return names;
    }

    TestEngine engine;
    Kobject* start = nullptr;
    Kobject* door = nullptr;
    Kobject* lamp = nullptr;
    Kobject* player = nullptr;
    Kobject* rug = nullptr;
    Kobject* box = nullptr;
    Kobject* knob = nullptr;
    Kobject* knob2 = nullptr;
    Kobject* other = nullptr;
    Kobject* otherN = nullptr;
};

TEST_F(Addresses, SelfParentAndTop)
{
    EXPECT_EQ(Reach(door, ".self"), "Door");
    EXPECT_EQ(Reach(door, ".self.box.knob"), "knob Knob");
    EXPECT_EQ(Reach(start, ".parent"), "world_tree");
    EXPECT_EQ(Reach(engine->vMain.get(), ".parent"), "");
    EXPECT_EQ(Reach(door, ".parent"), "Start");
    EXPECT_EQ(Reach(door, ".parent.parent"), "world_tree");
    EXPECT_EQ(Reach(knob, ".top"), "world_tree");
    EXPECT_EQ(Reach(engine->vMain.get(), ".top"), "world_tree");
    EXPECT_EQ(Reach(door, ".top.other.all"), "n");
    EXPECT_EQ(Reach(door, ".top.other.n"), "Start") << "n is a direction word anywhere in the path";
    Kobject* selfish = engine.AddObject(*start, "selfish", 1, 1);
    EXPECT_EQ(Reach(lamp, ".selfish"), "selfish") << "self needs a dot or the end";
    EXPECT_EQ(Reach(selfish, ".self"), "selfish");
}

TEST_F(Addresses, NamesAreSiblingsAndIgnoreCaseAndAllBranches)
{
    EXPECT_EQ(Reach(lamp, ".DOOR"), "Door");
    EXPECT_EQ(Reach(lamp, ".door.box"), "box");
    EXPECT_EQ(Reach(knob, ".knob"), "knob Knob") << "a bare name finds the node itself too";
    EXPECT_EQ(Reach(lamp, ".nothing"), "");
    EXPECT_EQ(Reach(lamp, ". do or"), "Door") << "spaces inside a segment are skipped";
    EXPECT_EQ(Reach(lamp, "door"), "Door") << "the leading dot may be left out";
    EXPECT_EQ(Reach(lamp, ".door."), "Door");
    EXPECT_EQ(Reach(door, ".Parent"), "world_tree") << "a capital Parent is a name starting at the parent";
    EXPECT_EQ(Reach(knob, ".Parent"), "Door");
    EXPECT_EQ(Reach(lamp, ".all"), "Door lamp player rug");
    EXPECT_EQ(Reach(lamp, ".all.box"), "box");
    EXPECT_EQ(Reach(lamp, ".all.box.all"), "knob Knob");
    EXPECT_EQ(Reach(door, ".parent.parent.all.all"), "Door lamp player rug n");
}

TEST_F(Addresses, WindowAndMaskTests)
{
    EXPECT_EQ(Reach(door, ".inside"), "player rug") << "lamp only touches the east edge";
    EXPECT_EQ(Reach(door, ".e"), "lamp player rug");
    EXPECT_EQ(Reach(door, ".w"), "rug");
    EXPECT_EQ(Reach(lamp, ".w"), "Door rug");
    EXPECT_EQ(Reach(player, ".n"), "Door rug");
    EXPECT_EQ(Reach(player, ".s"), "rug");
    EXPECT_EQ(Reach(rug, ".contained"), "Door lamp player");
    EXPECT_EQ(Reach(rug, ".ce"), "Door lamp player");
    EXPECT_EQ(Reach(rug, ".cw"), "Door lamp player");
    EXPECT_EQ(Reach(door, ".cw"), "");
    EXPECT_EQ(Reach(rug, ".cn"), "Door lamp player");
    EXPECT_EQ(Reach(player, ".cn"), "");
    EXPECT_EQ(Reach(rug, ".cs"), "Door lamp player");
    EXPECT_EQ(Reach(door, ".contained"), "player");
    EXPECT_EQ(Reach(start, ".inside"), "Other") << "boards are siblings too";
    EXPECT_EQ(door->posx, 2) << "the moved window is put back";

    // A mask needs filled cells on filled cells.
    EXPECT_EQ(Reach(door, ".mask"), "") << "all cells are empty";
    door->SetCell(1, 1, 65, 0, 0, 0);  // at (3,3) on the board
    EXPECT_EQ(Reach(door, ".mask"), "");
    player->SetCell(0, 0, 0, 0, 0, 1);  // an attribute alone makes a cell non-empty
    EXPECT_EQ(Reach(door, ".mask"), "player");
    rug->SetCell(0, 0, 1, 1, 1, 1);  // (1,1): outside Door
    EXPECT_EQ(Reach(door, ".mask"), "player");
    rug->SetCell(2, 2, 1, 1, 1, 1);  // (3,3): under Door's filled cell
    EXPECT_EQ(Reach(door, ".mask"), "player rug");
    rug->viewx = 3;  // the scroll of the view is not applied
    EXPECT_EQ(Reach(door, ".mask"), "player rug");
}

TEST_F(Addresses, EditorWalk)
{
    TraceCapture trace;
    EXPECT_EQ(Reach(lamp, ".DOOR", KFlavour::Editor), "");
    EXPECT_EQ(trace.text, "lamp->Starting handle list .. 0\n");
    EXPECT_EQ(Reach(lamp, ".door", KFlavour::Editor), "") << "names match exactly";
    EXPECT_EQ(Reach(lamp, ".Door", KFlavour::Editor), "Door");
    EXPECT_EQ(Reach(door, ".inside", KFlavour::Editor), "");
    EXPECT_EQ(Reach(door, ".mask", KFlavour::Editor), "");
    EXPECT_EQ(Reach(lamp, ".all", KFlavour::Editor), "Door lamp player rug");
    EXPECT_EQ(Reach(door, ".parent", KFlavour::Editor), "Start");
    EXPECT_EQ(Reach(knob, ".top", KFlavour::Editor), "world_tree");
    EXPECT_EQ(Reach(door, ".self.box", KFlavour::Editor), "box");
    EXPECT_EQ(Reach(otherN, ".n", KFlavour::Editor), "n") << "no direction words: a name";
    Kobject* parentx = engine.AddObject(*door, "parentx", 1, 1);
    EXPECT_EQ(Reach(door, ".parentx", KFlavour::Editor), "parentx") << "starts at the node by its letters";
    EXPECT_EQ(Reach(parentx, ".parentx"), "parentx");
}

TEST_F(Addresses, BadHandlesAndEmptyAddressesGiveNoListAndAListStartsAtItsFirstEntry)
{
    EXPECT_EQ(engine->Resolve(-1, ".self"), -1);
    EXPECT_EQ(engine->Resolve(1024, ".self"), -1);
    EXPECT_EQ(engine->Resolve(0, ""), -1);
    EXPECT_EQ(engine->Resolve(77, ".self"), -1) << "a free handle entry has no node";
    EXPECT_EQ(engine->ListsInUse(), 0);
    const int list = engine->Resolve(0, ".self.all");
    ASSERT_GE(list, 0);
    EXPECT_EQ(engine->vLists[static_cast<size_t>(list)].cursor, 0u);
    EXPECT_EQ(engine->NodeOf(engine->NextInList(list)), start);
    engine->FreeList(list);
}

TEST_F(Addresses, BranchingPathsEnd)
{
    for (int i = 0; i < 20; ++i) engine.AddObject(*other, "o" + std::to_string(i), 1, 1);
    std::string address;
    for (int i = 0; i < 40; ++i) address += ".parent.all";
    const int h = engine->AllocHandle(otherN);
    const int list = engine->Resolve(h, address);
    ASSERT_GE(list, 0);
    EXPECT_LE(static_cast<size_t>(engine->ListCount(list)), kAddressWorkBudget);
    engine->FreeList(list);
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += ".self";
    const int list2 = engine->Resolve(h, deep);
    EXPECT_EQ(engine->ListCount(list2), 0) << "a child named self does not exist";
    engine->FreeList(list2);
    engine->ReleaseHandle(h);
}

TEST_F(Addresses, RunningOutOfHandlesStopsTheWalkAtOnce)
{
    for (int i = 0; i < kHandleCount + 50; ++i) engine.AddObject(*other, "o", 1, 1);
    const int h = engine->AllocHandle(start);
    const int list = engine->Resolve(h, ".other.all");
    ASSERT_GE(list, 0);
    EXPECT_EQ(engine->ListCount(list), kHandleCount - 2);
    ASSERT_EQ(engine.notices.size(), 1u) << "one message box, not one per node";
    EXPECT_EQ(engine.notices[0].body, "Error: Max Handles reached");
    engine->FreeList(list);
    engine->ReleaseHandle(h);
    EXPECT_EQ(engine->HandlesInUse(), 1);
}

// Each engine resolves with its own walk: the runner's ignores case.
TEST(AddressesInTheEngine, EachFlavourUsesItsOwnWalk)
{
    for (const KFlavour flavour : {KFlavour::Runner, KFlavour::Editor}) {
        TestEngine engine(flavour);
        Kobject* board = engine.AddBoard("b", 4, 4);
        engine.AddObject(*board, "Door", 1, 1);
        const int h = engine->AllocHandle(engine.AddObject(*board, "x", 1, 1));
        EXPECT_EQ(engine->ListCount(engine->Resolve(h, ".DOOR")), flavour == KFlavour::Runner ? 1 : 0);
        EXPECT_EQ(engine->ListCount(engine->Resolve(h, ".Door")), 1);
    }
}

}  // namespace

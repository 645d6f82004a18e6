#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The same node twice shares one counted handle; a free entry below wins
// over the node's own entry.
TEST(Handles, SameNodeSharesOneCountedHandleAndFreeEntriesBelowComeFirst)
{
    TestEngine engine;
    std::vector<Kobject*> boards;
    for (int i = 0; i < 5; ++i) boards.push_back(engine.AddBoard("b" + std::to_string(i), 1, 1));
    const int h = engine->AllocHandle(boards[0]);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(engine->AllocHandle(boards[0]), h);
    EXPECT_EQ(engine->vHandles[1].count, 2);
    engine->ReleaseHandle(h);
    EXPECT_EQ(engine->NodeOf(h), boards[0]);
    for (Kobject* board : boards) engine->AllocHandle(board);  // handles 1..5
    engine->ReleaseHandle(h);
    engine->ReleaseHandle(h);
    EXPECT_EQ(engine->NodeOf(h), nullptr);
    engine->ReleaseHandle(3);
    EXPECT_EQ(engine->AllocHandle(boards[4]), 1) << "entry 1 is free and comes before entry 5";
    EXPECT_EQ(engine->NodeOf(5), boards[4]);
}

TEST(Handles, RootHandleIsNeverReleasedNorADestroyedNodesKept)
{
    TestEngine engine;
    engine->ReleaseHandle(0);
    engine->ReleaseHandle(0);
    EXPECT_EQ(engine->NodeOf(0), engine->vMain.get());
    EXPECT_EQ(engine->vHandles[0].count, 1);
    engine->ReleaseHandle(-1);
    engine->ReleaseHandle(1024);
    EXPECT_EQ(engine->NodeOf(1024), nullptr);
    EXPECT_EQ(engine->NodeOf(-3), nullptr);

    // A destroyed node leaves no dangling entry.
    Kobject* board = engine.AddBoard("b", 1, 1);
    Kobject* a = engine.AddObject(*board, "a", 1, 1);
    const int h = engine->AllocHandle(a);
    board->Erase(a);
    EXPECT_EQ(engine->NodeOf(h), nullptr);
    engine->ReleaseHandle(h);  // harmless after the node is gone
    EXPECT_EQ(engine->HandlesInUse(), 1);
}

TEST(Handles, TableFullShowsMessageBoxAndGivesMinusOne)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    for (int i = 1; i < kHandleCount; ++i) {
        ASSERT_EQ(engine->AllocHandle(engine.AddObject(*board, "o", 1, 1)), i);
    }
    EXPECT_TRUE(engine.notices.empty());
    EXPECT_EQ(engine->AllocHandle(engine.AddObject(*board, "last", 1, 1)), -1);
    ASSERT_EQ(engine.notices.size(), 1u);
    EXPECT_EQ(engine.notices[0].kind, KNoticeKind::MessageBox);
    EXPECT_EQ(engine.notices[0].caption, "Oh No!!");
    EXPECT_EQ(engine.notices[0].body, "Error: Max Handles reached");
    EXPECT_EQ(engine->AllocHandle(engine.AddObject(*board, "again", 1, 1)), -1);
    EXPECT_EQ(engine.notices.size(), 1u) << "shown once until the handles are reset";
    engine->ResetHandles();
    EXPECT_EQ(engine->HandlesInUse(), 1);
}

TEST(Lists, ReadingPastTheEndGivesMinusOneOnceThenStartsAgainAndOutOfRangeIsNoError)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    const int l = engine->AllocList();
    ASSERT_EQ(l, 0);
    engine->AddToList(l, board);
    engine->AddToList(l, engine->vMain.get());
    EXPECT_EQ(engine->ListCount(l), 2);
    EXPECT_EQ(engine->NextInList(l), 1);
    EXPECT_EQ(engine->NextInList(l), 0);
    EXPECT_EQ(engine->NextInList(l), -1);
    EXPECT_EQ(engine->NextInList(l), 1);
    engine->FreeList(l);
    EXPECT_EQ(engine->NodeOf(1), nullptr) << "freeing the list released its handles";
    EXPECT_EQ(engine->ListCount(l), 0);
    EXPECT_EQ(engine->AllocList(), 0) << "the freed list is the first unused one again";
    engine->FreeList(0);

    // Out of range is never an error; a full table says so once.
    EXPECT_EQ(engine->NextInList(256), -1);
    EXPECT_EQ(engine->ListCount(-1), -1);
    engine->FreeList(999);
    for (int i = 0; i < kListCount; ++i) ASSERT_EQ(engine->AllocList(), i);
    EXPECT_EQ(engine->AllocList(), -1);
    ASSERT_EQ(engine.notices.size(), 1u);
    EXPECT_EQ(engine.notices[0].body, "Error: Max HandleLists reached");
    EXPECT_EQ(engine.notices[0].caption, "Oh No!!");
    EXPECT_EQ(engine->AllocList(), -1);
    EXPECT_EQ(engine.notices.size(), 1u);
}

// --- The editor's handle interface -----------------------------------------------

TEST(EditorHandles, PropertiesReadAndWriteGeometry)
{
    TestEngine engine(KFlavour::Editor);
    Kobject* board = engine.AddBoard("b", 10, 8);
    Kobject* a = engine.AddObject(*board, "a", 3, 2, 1);
    engine.AddObject(*board, "front", 1, 1, 5);
    const int h = engine->AllocHandle(a);
    engine->SetProperty(h, 0, 4);
    engine->SetProperty(h, 1, 5);
    EXPECT_EQ(engine->GetProperty(h, 0), 4);
    EXPECT_EQ(engine->GetProperty(h, 1), 5);
    EXPECT_EQ(engine->GetProperty(h, 9), 0);
    EXPECT_EQ(engine->GetProperty(777, 0), 0);

    engine->SetProperty(h, 2, 9);  // new depth: re-linked in front
    EXPECT_EQ(board->children.front().get(), a);

    engine->SetProperty(h, 7, 6);  // a view wider than the grid grows the grid
    EXPECT_EQ(a->vieww, 6);
    EXPECT_EQ(a->width, 6);
    engine->SetProperty(h, 3, 2);  // narrower grid clamps the view
    EXPECT_EQ(a->width, 2);
    EXPECT_EQ(a->vieww, 2);

    engine.AddBoard("second", 1, 1, 1);
    engine->SetProperty(engine->AllocHandle(board), 2, 5);
    EXPECT_EQ(engine->vMain->children.back().get(), board) << "boards stay in ascending depth";
}

TEST(EditorHandles, CreateDeleteMoveAndFindNodes)
{
    TestEngine engine(KFlavour::Editor);
    Kobject* board = engine.AddBoard("b", 10, 8);
    const int hb = engine->AllocHandle(board);
    const int hc = engine->CreateChild(hb, "child", 2, 3, 0);
    ASSERT_GE(hc, 0);
    Kobject* child = engine->NodeOf(hc);
    EXPECT_EQ(child->parent, board);
    EXPECT_EQ(child->width, 2);
    EXPECT_EQ(engine->IdOf(hc), child->id);
    EXPECT_EQ(engine->CreateChild(900, "x", 1, 1, 0), -1);

    EXPECT_FALSE(engine->DeleteNode(hc)) << "refused while the world has fewer than two boards";
    engine.AddBoard("other", 1, 1);
    const int hother = engine->AllocHandle(engine->vMain->children.back().get());
    EXPECT_TRUE(engine->MoveNode(hc, hother));
    EXPECT_EQ(child->parent->name, "other");
    EXPECT_FALSE(engine->MoveNode(hother, hc)) << "a node never moves into its own subtree";
    EXPECT_TRUE(engine->DeleteNode(hc));
    EXPECT_EQ(engine->NodeOf(hc), nullptr);
    EXPECT_TRUE(engine->vMain->children.back()->children.empty());

    // Look-ups by id search the node itself first.
    Kobject* a = engine.AddObject(*board, "a", 1, 1);
    Kobject* deep = engine.AddObject(*a, "deep", 1, 1);
    const int hd = engine->HandleById(hb, deep->id);
    EXPECT_EQ(engine->NodeOf(hd), deep);
    EXPECT_EQ(engine->NodeOf(engine->HandleById(hb, board->id)), board);
    EXPECT_EQ(engine->HandleById(hb, 4242), -1);
    EXPECT_EQ(engine->NodeOf(engine->ParentHandle(hd)), a);
    EXPECT_EQ(engine->ParentHandle(0), -1);
    EXPECT_EQ(engine->IdOf(1000), -1);
}

TEST(EditorHandles, ShowWholePutsViewAsideAndBackAndBackupsRestoreCells)
{
    TestEngine engine(KFlavour::Editor);
    Kobject* board = engine.AddBoard("b", 10, 8);
    Kobject* a = engine.AddObject(*board, "a", 6, 6);
    a->viewx = 2;
    a->vieww = 3;
    a->viewh = 2;
    const int h = engine->AllocHandle(a);
    engine->ShowWhole(h, 1);
    EXPECT_EQ(engine->IsWholeShown(h), 1);
    EXPECT_EQ(a->viewx, 0);
    EXPECT_EQ(a->vieww, 6);
    EXPECT_EQ(a->savedvieww, 3);
    engine->ShowWhole(h, 1);  // nothing more to put aside
    EXPECT_EQ(a->savedvieww, 3);
    engine->ShowWhole(h, 0);
    EXPECT_EQ(a->vieww, 3);
    EXPECT_EQ(a->viewh, 2);
    EXPECT_EQ(engine->IsWholeShown(h), 0);

    engine->ShowWholeTree(engine->AllocHandle(board));
    EXPECT_EQ(engine->IsWholeShown(h), 1);

    a->SetCell(1, 0, 7, 8, 9, 1);
    engine->SaveBackup(h);
    a->SetCell(1, 0, 0, 0, 0, 0);
    engine->RestoreBackup(h);
    EXPECT_EQ(a->GetCell(1, 0)->chr, 7);
    EXPECT_EQ(a->GetCell(1, 0)->attrib, 1);
}

TEST(EditorHandles, ScreenConversionsAndHitTest)
{
    TestEngine engine(KFlavour::Editor);
    Kobject* board = engine.AddBoard("b", 20, 20);
    board->posx = 1;
    board->viewx = 3;
    Kobject* a = engine.AddObject(*board, "a", 4, 4, 0, 5, 6);
    const int ha = engine->AllocHandle(a);
    int x = 0;
    int y = 0;
    engine->NodeOrigin(ha, x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(1 + 5 - 3, 6));
    ASSERT_TRUE(engine->ScreenToNode(ha, 4, 7, x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(1, 1));
    engine->MoveToScreen(ha, 10, 10);
    a->WindowOrigin(x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(10, 10));

    const int list = engine->HitTest(engine->AllocHandle(board), 11, 12);
    std::vector<Kobject*> hits;
    for (int h = engine->NextInList(list); h >= 0; h = engine->NextInList(list)) hits.push_back(engine->NodeOf(h));
    EXPECT_EQ(hits, (std::vector<Kobject*>{board, a}));
    engine->FreeList(list);
    const int none = engine->HitTest(engine->AllocHandle(board), 14, 12);
    EXPECT_EQ(engine->ListCount(none), 1) << "only the board covers a cell right of the object";
}

}  // namespace

// The editor's core without Qt: the tree pane's rows and hit test, the tree
// commands on real worlds, names, bounds, and undo/redo.

#include "KEditorDoc.h"
#include "KNodeCopy.h"
#include "KTreeEdits.h"
#include "KTreeRows.h"
#include "KWorldFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class EditorCore : public testing::Test {
protected:
    // Boards "a" (with objects "a1" > "a2" and "a3") and "b".
    void SetUp() override
    {
        a = engine.AddBoard("a", 10, 8);
        a1 = engine.AddObject(*a, "a1", 2, 2, 5, 1, 1);
        a2 = engine.AddObject(*a1, "a2", 1, 1);
        a3 = engine.AddObject(*a, "a3", 1, 1, 0, 3, 3);
        b = engine.AddBoard("b", 10, 8);
        doc.Select(a->id);
    }

    int32_t IdOf(const std::string& name)
    {
        const Kobject* node = engine->vMain->FindByName(name);
        return node != nullptr ? node->id : -1;
    }

    std::vector<std::string> Names(const Kobject& node) const
    {
        std::vector<std::string> names;
        for (const auto& child : node.children) names.push_back(child->name);
        return names;
    }

    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    Kobject* a = nullptr;
    Kobject* a1 = nullptr;
    Kobject* a2 = nullptr;
    Kobject* a3 = nullptr;
    Kobject* b = nullptr;
};

TEST_F(EditorCore, HitTestFindsRowsInDrawingOrderAndNothingBetweenThem)
{
    // Row k's text is at 13 + 10k - 10 * offset; pixels 1..7 below its top hit it.
    struct Case {
        int y;
        int offset;
        const char* expected;
    } cases[] = {
        {5, 0, nullptr},   {13, 0, nullptr}, {14, 0, "a"},  {20, 0, "a"},  {21, 0, nullptr}, {23, 0, nullptr},
        {25, 0, "a1"},     {35, 0, "a2"},    {45, 0, "a3"}, {55, 0, "b"},  {65, 0, nullptr}, {15, 1, "a1"},
        {15, 4, "b"},      {5, 1, "a"},     {15, 5, nullptr},
    };
    for (const Case& c : cases) {
        const int32_t id = KTreeHitTest(*engine, c.y, c.offset);
        const int32_t expected = c.expected != nullptr ? IdOf(c.expected) : -1;
        EXPECT_EQ(id, expected) << "y " << c.y << " offset " << c.offset;
    }
    EXPECT_EQ(KTreeRowCount(*engine), 5);
}

TEST_F(EditorCore, FoldedBoardsHideTheirObjectsFromRowsHitsAndDrawing)
{
    const KTreeFolds folds{a->id};
    EXPECT_EQ(KTreeRowCount(*engine, &folds), 2);
    EXPECT_EQ(KTreeHitTest(*engine, 25, 0, &folds), b->id);
    EXPECT_EQ(KTreeRowOf(*engine, b->id, &folds), 1);
    EXPECT_EQ(KTreeRowOf(*engine, a2->id, &folds), -1);
    EXPECT_EQ(KTreeRowOf(*engine, a2->id), 2);
    EXPECT_EQ(KTreeNodeAtRow(*engine, 3), a3->id);
    EXPECT_EQ(KTreeNodeAtRow(*engine, 5), -1);
    EXPECT_EQ(KTreeRowText(*a, -1, -1, true), "+- a " + std::string(188, '-'));
    KBitmap pane = KMakeBitmap(200, 100);
    EXPECT_EQ(KDrawTree(pane.get(), *engine, a->id, a->id, 0, 0, &folds), 2);
    // The marker is the row's first two characters, wherever it has scrolled.
    EXPECT_TRUE(KTreeMarkerHit(3, 0));
    EXPECT_TRUE(KTreeMarkerHit(18, 0));
    EXPECT_FALSE(KTreeMarkerHit(19, 0));
    EXPECT_FALSE(KTreeMarkerHit(9, 1));
    // Keeping a row in view: a pane of 100 pixels shows 8 whole rows.
    EXPECT_EQ(KTreeVisibleRows(100), 8);
    EXPECT_EQ(KTreeOffsetShowing(20, 0, 8), 13);
    EXPECT_EQ(KTreeOffsetShowing(2, 5, 8), 2);
    EXPECT_EQ(KTreeOffsetShowing(9, 5, 8), 5);
}

TEST_F(EditorCore, RowTextsMarkTheCurrentBoardNodeAndHiddenObjects)
{
    doc.Select(a1->id);
    a3->hiddenmark = 1;
    EXPECT_EQ(KTreeRowText(*a, doc.CurrentNode(), doc.CurrentBoard()), "-- a * " + std::string(188, '-'));
    EXPECT_EQ(KTreeRowText(*b, doc.CurrentNode(), doc.CurrentBoard()), "-- b " + std::string(188, '-'));
    EXPECT_EQ(KTreeRowText(*a1, doc.CurrentNode(), doc.CurrentBoard()), "a1 : z = 5");
    EXPECT_EQ(KTreeRowText(*a3, doc.CurrentNode(), doc.CurrentBoard()), "[a3]");
    doc.Select(b->id);
    EXPECT_EQ(KTreeRowText(*b, doc.CurrentNode(), doc.CurrentBoard()), "-- b * z = 0 " + std::string(188, '-'));
    EXPECT_EQ(engine->vActiveBoard, b);
    EXPECT_EQ(KTreeRowColours(*b, doc.CurrentNode()).bg, 0);
    EXPECT_EQ(KTreeRowColours(*a, doc.CurrentNode()).bg, 1);
    EXPECT_EQ(KTreeRowColours(*a1, doc.CurrentNode()).bg, -1);
}

TEST_F(EditorCore, DrawingFormatsOnlyTheRowsThatFitAndScrollingStopsAtZero)
{
    KBitmap pane = KMakeBitmap(200, 40);
    EXPECT_EQ(KDrawTree(pane.get(), *engine, a->id, a->id, 0, 0), 3);
    EXPECT_EQ(KDrawTree(pane.get(), *engine, a->id, a->id, 0, 3), 4);  // the first cut at the top
    EXPECT_EQ(KWheelRowOffset(3, -120), 0);
    EXPECT_EQ(KWheelRowOffset(3, 120), 8);
    EXPECT_EQ(KDragOffset(2, 100, 180), 0) << "scrolling never goes below zero";
    EXPECT_EQ(KDragOffset(2, 100, 85), 3);
}

TEST_F(EditorCore, NewNodesTakeTheVideoModesSizeAndTheirCells)
{
    engine->vVideoMode = 0;
    ASSERT_TRUE(KAddBoard(doc));
    const Kobject* board = doc.Current();
    EXPECT_EQ(board->name, "NewBoard");
    EXPECT_EQ(engine->vMain->children.back().get(), board);
    EXPECT_EQ(board->width, 40);
    EXPECT_EQ(board->height, 30);
    const KCell* edge = board->GetCell(0, 5);
    const KCell* inner = board->GetCell(1, 1);
    EXPECT_EQ((std::vector<int>{edge->chr, edge->fg, edge->bg, edge->attrib}), (std::vector<int>{176, 16, 32, 1}));
    EXPECT_EQ((std::vector<int>{inner->chr, inner->fg, inner->bg, inner->attrib}), (std::vector<int>{0, 255, 255, 0}));

    ASSERT_TRUE(KAddObject(doc));
    const Kobject* object = doc.Current();
    EXPECT_EQ(object->parent, board);
    EXPECT_EQ(object->name, "NewObject" + std::to_string(object->id));
    const KCell* cell = object->GetCell(0, 0);
    EXPECT_EQ((std::vector<int>{object->width, cell->chr, cell->fg, cell->bg, cell->attrib}),
              (std::vector<int>{1, 1, 15, 1, 1}));
    EXPECT_EQ(doc.CurrentBoard(), board->id);
}

TEST_F(EditorCore, CopyPasteAndDuplicateMakeDeepCopiesWithFreshIds)
{
    a->posx = 4;
    a->source = "#end";
    a->SetCell(2, 2, 65, 3, 4, 2);
    a->vieww = 7;
    ASSERT_TRUE(KCopyToClipboard(doc, true));
    ASSERT_TRUE(KPasteBoard(doc));
    ASSERT_TRUE(KDuplicateBoard(doc));
    ASSERT_EQ(Names(*engine->vMain), (std::vector<std::string>{"a", "b", "a", "a"}));
    const Kobject& pasted = *engine->vMain->children[2];
    const Kobject& duplicate = *engine->vMain->children[3];
    for (const Kobject* copy : {&pasted, &duplicate}) {
        EXPECT_EQ(copy->source, "#end");
        EXPECT_EQ(copy->GetCell(2, 2)->chr, 65);
        EXPECT_EQ(copy->GetCell(2, 2)->attrib, 2);
        EXPECT_EQ(copy->vieww, 7);
        EXPECT_EQ(Names(*copy), (std::vector<std::string>{"a1", "a3"}));
        EXPECT_EQ(copy->children[1]->posx, 3);
        EXPECT_EQ(Names(*copy->children[0]), (std::vector<std::string>{"a2"}));
        EXPECT_GT(copy->children[0]->children[0]->id, b->id);
    }
    EXPECT_EQ(pasted.posx, 0);  // the clipboard holds no position
    EXPECT_EQ(duplicate.posx, 4);
    EXPECT_NE(pasted.id, duplicate.id);

    doc.Select(a3->id);
    ASSERT_TRUE(KPasteObject(doc, false));
    EXPECT_EQ(Names(*a3), (std::vector<std::string>{"a"}));
}

TEST_F(EditorCore, MoveRefusesTheNodesOwnSubtreeSayingWhyAndKeepsTheMovedNodeSelected)
{
    doc.Select(a1->id);
    EXPECT_FALSE(KMoveCurrent(doc, a1->id));
    EXPECT_FALSE(KMoveCurrent(doc, a2->id));
    EXPECT_EQ(KMoveRefusal(doc, a2->id), "\"a1\" cannot be moved into itself or into one of its own objects.");
    EXPECT_FALSE(KMoveCurrent(doc, 999));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(KMoveRefusal(doc, b->id), "");
    EXPECT_TRUE(KMoveCurrent(doc, b->id));
    EXPECT_EQ(Names(*b), (std::vector<std::string>{"a1"}));
    EXPECT_EQ(Names(*a1), (std::vector<std::string>{"a2"}));
    EXPECT_EQ(doc.CurrentNode(), a1->id);
    EXPECT_EQ(doc.CurrentBoard(), b->id);
}

TEST_F(EditorCore, DeleteSelectsTheNextSiblingOrParentAndKeepsTheLastBoardSayingWhy)
{
    doc.Select(a1->id);
    ASSERT_TRUE(KDeleteCurrent(doc));
    EXPECT_EQ(doc.CurrentNode(), a3->id);  // the next sibling
    ASSERT_TRUE(KDeleteCurrent(doc));
    EXPECT_EQ(doc.CurrentNode(), a->id);  // the last child: its parent
    doc.Select(b->id);
    ASSERT_TRUE(KDeleteCurrent(doc));
    EXPECT_EQ(doc.CurrentNode(), a->id);  // the last board: the board before
    EXPECT_EQ(Names(*engine->vMain), (std::vector<std::string>{"a"}));
    EXPECT_EQ(KDeleteRefusal(doc), "The world's only board cannot be deleted: a world keeps at least one board.");
    ASSERT_TRUE(KAddObject(doc));
    EXPECT_FALSE(KDeleteCurrent(doc));  // an object, but the world has one board
    EXPECT_EQ(KDeleteRefusal(doc), "Nothing is deleted from a world of one board; add another board first.");
    EXPECT_EQ(engine->HandlesInUse(), 1);
}

TEST_F(EditorCore, LocationKeepsTheTurnOrderUnlessTheDepthChanges)
{
    // a1 (z 5) and a3 (z 0): a sibling of a3's depth added behind it.
    Kobject* a4 = engine.AddObject(*a, "a4", 1, 1, 0, 4, 4);
    ASSERT_EQ(Names(*a), (std::vector<std::string>{"a1", "a3", "a4"}));
    doc.Select(a4->id);
    ASSERT_TRUE(KSetLocation(doc, 6, 7, 0));
    EXPECT_EQ(Names(*a), (std::vector<std::string>{"a1", "a3", "a4"}));
    EXPECT_EQ((std::vector<int>{a4->posx, a4->posy}), (std::vector<int>{6, 7}));
    doc.Select(a3->id);
    ASSERT_TRUE(KSetLocation(doc, 3, 3, 9));
    EXPECT_EQ(Names(*a), (std::vector<std::string>{"a3", "a1", "a4"}));
    EXPECT_EQ(doc.CurrentNode(), a3->id);
}

TEST_F(EditorCore, NamesStoreBlanksAsUnderscoresAndKeepFiftyCharacters)
{
    EXPECT_EQ(KCleanName("big door  2"), "big_door__2");
    EXPECT_EQ(KCleanName(std::string(60, 'x')).size(), 50u);
    doc.Select(a3->id);
    EXPECT_TRUE(KRenameCurrent(doc, "the door"));
    EXPECT_EQ(a3->name, "the_door");
    EXPECT_FALSE(KRenameCurrent(doc, "the door"));
}

TEST_F(EditorCore, ShowingWholeNodesChangesNothingToSave)
{
    a->vieww = 4;
    doc.Select(a->id);
    ASSERT_TRUE(KExpandAll(doc));
    EXPECT_EQ((std::vector<int>{a->vieww, a->savedvieww, a1->vieww}), (std::vector<int>{10, 4, 2}));
    EXPECT_FALSE(KSetShowAll(doc, true));
    ASSERT_TRUE(KSetShowAll(doc, false));
    EXPECT_EQ((std::vector<int>{a->vieww, a->savedvieww}), (std::vector<int>{4, 0}));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.CanUndo());
}

TEST_F(EditorCore, SizesPastTheWorldBoundsAreRefused)
{
    doc.Select(a->id);
    EXPECT_FALSE(KSetSize(doc, 5000, 10, true));
    EXPECT_EQ(KSizeRefusal(doc, 5000, 10), "5000 x 10 cells is more than the world may hold; the size was not changed.");
    EXPECT_FALSE(KSetViewport(doc, 10, 5000));
    EXPECT_NE(KViewportRefusal(doc, 10, 5000), "");
    EXPECT_EQ(KSizeRefusal(doc, 20, 12), "");
    EXPECT_EQ(a->width, 10);
    EXPECT_EQ(a->viewh, 8);
    EXPECT_TRUE(KSetSize(doc, 20, 12, true));
    EXPECT_EQ((std::vector<int>{a->width, a->height, a->vieww, a->viewh}), (std::vector<int>{20, 12, 20, 12}));
    EXPECT_EQ(engine->vLiveCells, 20 * 12 + 4 + 1 + 1 + 80);
}

TEST_F(EditorCore, UndoAndRedoRestoreTheWorldSelectionAndModifiedMark)
{
    doc.Select(a1->id);
    const int32_t a1Id = a1->id;
    ASSERT_TRUE(KRenameCurrent(doc, "x"));
    ASSERT_TRUE(KMoveCurrent(doc, IdOf("b")));
    ASSERT_TRUE(KToggleHidden(doc));
    EXPECT_TRUE(doc.IsModified());
    const int64_t cells = engine->vLiveCells;
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Names(*engine->vMain->children[0]), (std::vector<std::string>{"x", "a3"}));
    EXPECT_EQ(doc.CurrentNode(), a1Id);
    EXPECT_EQ(engine->vMain->FindByName("x")->id, a1Id);
    ASSERT_TRUE(doc.Undo());
    EXPECT_FALSE(doc.Undo());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_NE(engine->vMain->FindByName("a1"), nullptr);
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Names(*engine->vMain->children[1]), (std::vector<std::string>{"x"}));
    EXPECT_EQ(engine->vLiveCells, cells);
    ASSERT_TRUE(KAddBoard(doc));
    EXPECT_FALSE(doc.Redo());  // a new edit drops what was undone
}

TEST_F(EditorCore, SavingMarksCleanAndUndoPastTheSaveMarksModifiedAgain)
{
    TempDir dir;
    doc.Select(a->id);
    ASSERT_TRUE(KSetLocation(doc, 1, 2, 0));
    ASSERT_TRUE(doc.SaveTo(dir.File("w.zqav")));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.NeedsName());
    EXPECT_EQ(doc.Title(), "w.zqav");
    ASSERT_TRUE(doc.Undo());
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.Redo());
    EXPECT_FALSE(doc.IsModified());
}

TEST(EditorDocument, NewLoadsTheTemplateAndSelectsItsFirstBoard)
{
    TestEngine engine(KFlavour::Editor);
    KEditorDoc doc(*engine);
    TraceCapture trace;
    ASSERT_TRUE(doc.NewFromTemplate());
    EXPECT_TRUE(doc.NeedsName());
    EXPECT_FALSE(doc.IsModified());
    ASSERT_NE(doc.Current(), nullptr);
    EXPECT_EQ(doc.Current(), engine->vMain->children.front().get());
    EXPECT_NE(trace.text.find("OnNewDocument Finished..\n"), std::string::npos);
    EXPECT_FALSE(doc.Open("/nonexistent/world.zqav"));
    EXPECT_TRUE(doc.NeedsName());
}

}  // namespace

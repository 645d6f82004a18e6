// The canvas without Qt: keys, typing, the mouse and the brush on a real
// board, drawing, and undo steps that hold only what changed.

#include "KCanvas.h"
#include "KEditorDoc.h"
#include "KNodeCopy.h"
#include "KTreeEdits.h"
#include "TestSupport.h"

#include <allegro.h>

#include <gtest/gtest.h>

namespace {

using K = KCanvasKey;

class Canvas : public testing::Test {
protected:
    void SetUp() override
    {
        board = engine.AddBoard("board", 10, 6);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 10; ++x) board->SetCell(x, y, 32, 0, 0, 0);
        }
        doc.Select(board->id);
        canvas.SetCursor(1, 1);
    }

    void Keys(std::initializer_list<K> keys)
    {
        for (K key : keys) canvas.PaintKey(key);
    }

    int Chr(int x, int y) const { return board->GetCell(x, y)->chr; }

    // The characters of one row, for comparing whole rows at once.
    std::vector<int> Row(int y) const
    {
        std::vector<int> row;
        for (int x = 0; x < board->width; ++x) row.push_back(Chr(x, y));
        return row;
    }

    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    KPaintSettings paint;
    KCanvas canvas{doc, paint};
    Kobject* board = nullptr;
};

TEST_F(Canvas, KeySequencesPaintBlendAndStepAsTheModeSays)
{
    struct Case {
        const char* what;
        KBrushMode mode;
        std::vector<K> keys;
        std::vector<int> row1;  // characters of row 1 afterwards
        KBrushMode modeAfter;
        size_t steps;
    };
    const std::vector<Case> cases = {
        {"space paints", KBrushMode::Normal, {K::Space}, {32, 1, 32, 32, 32, 32, 32, 32, 32, 32}, KBrushMode::Normal, 1},
        {"arrows alone move", KBrushMode::Normal, {K::Right, K::Right}, std::vector<int>(10, 32), KBrushMode::Normal, 0},
        {"shift paints while moving, as one step",
         KBrushMode::Normal,
         {K::ShiftDown, K::Right, K::Right, K::ShiftUp, K::Right, K::Space},
         {32, 1, 1, 1, 1, 32, 32, 32, 32, 32},
         KBrushMode::Normal,
         2},
        {"a tab walk paints each new cell, as one step",
         KBrushMode::Normal,
         {K::Tab, K::Right, K::Right, K::Space, K::Tab, K::Right},
         {32, 1, 1, 1, 32, 32, 32, 32, 32, 32},
         KBrushMode::Normal,
         1},
        {"blender: space after an arrow blends nothing",
         KBrushMode::Blender,
         {K::Space, K::Right, K::Space},
         {32, 176, 32, 32, 32, 32, 32, 32, 32, 32},
         KBrushMode::Blender,
         1},
        {"blender tab blends each cell moved onto",
         KBrushMode::Blender,
         {K::Tab, K::Right, K::Left, K::Right, K::Left, K::Right, K::Left, K::Right, K::Tab},
         {32, 219, 219, 32, 32, 32, 32, 32, 32, 32},
         KBrushMode::Blender,
         1},
        {"text mode ignores keys", KBrushMode::Text, {K::Space, K::Tab, K::Right}, std::vector<int>(10, 32), KBrushMode::Text, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        while (doc.Undo()) {
        }
        SetUp();
        paint.mode = c.mode;
        const size_t before = doc.UndoSteps();
        for (K key : c.keys) canvas.PaintKey(key);
        EXPECT_EQ(Row(1), c.row1);
        EXPECT_EQ(paint.mode, c.modeAfter);
        EXPECT_EQ(doc.UndoSteps() - before, c.steps);
        // Undoing every step gives the blank row back.
        for (size_t i = 0; i < c.steps; ++i) ASSERT_TRUE(doc.Undo());
        EXPECT_EQ(Row(1), std::vector<int>(10, 32));
        for (size_t i = 0; i < c.steps; ++i) ASSERT_TRUE(doc.Redo());
        EXPECT_EQ(Row(1), c.row1);
        for (size_t i = 0; i < c.steps; ++i) doc.Undo();
    }
}

TEST_F(Canvas, BlendingOneBlankFiveTimesClimbsTheRampAndStays)
{
    paint.mode = KBrushMode::BlenderTab;
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        canvas.PaintKey(K::Right);
        seen.push_back(Chr(2, 1));
        canvas.PaintKey(K::Left);
    }
    EXPECT_EQ(seen, (std::vector<int>{176, 177, 178, 219, 219}));
    EXPECT_EQ(KBlend(65), 32);
}

TEST_F(Canvas, BrushKeysStopAtTheirBoundsAndEnterPicksUp)
{
    paint.chr = paint.fg = paint.bg = 0;
    Keys({K::Insert, K::Home, K::PageUp});
    EXPECT_EQ((std::array<int, 3>{paint.chr, paint.fg, paint.bg}), (std::array<int, 3>{0, 0, 0}));
    paint.fg = paint.bg = 255;
    paint.chr = engine->vFont->glyphCount - 1;
    Keys({K::Delete, K::End, K::PageDown});
    EXPECT_EQ((std::array<int, 3>{paint.chr, paint.fg, paint.bg}),
              (std::array<int, 3>{engine->vFont->glyphCount - 1, 255, 255}));
    // The Blender brushes keep their character.
    paint.mode = KBrushMode::Blender;
    Keys({K::Insert});
    EXPECT_EQ(paint.chr, engine->vFont->glyphCount - 1);
    board->SetCell(1, 1, 65, 4, 5, 2);
    Keys({K::Enter});
    EXPECT_EQ((std::array<int, 4>{paint.chr, paint.fg, paint.bg, paint.attrib}), (std::array<int, 4>{65, 4, 5, 2}));
    // The context-menu key anchors at the cursor, except in the walks.
    KCanvasOutcome menu = canvas.PaintKey(K::Menu);
    EXPECT_EQ(menu.request, KCanvasRequest::ToolMenu);
    EXPECT_EQ(canvas.AnchorX(), 1);
    paint.mode = KBrushMode::Tab;
    EXPECT_EQ(canvas.PaintKey(K::Menu).request, KCanvasRequest::None);
}

TEST_F(Canvas, TypedTextWrapsAtTheNodesEdgesAndEditsAsOneStepAKey)
{
    paint.mode = KBrushMode::Text;
    paint.fg = 7;
    canvas.SetCursor(8, 4);
    for (int c : {'a', 'b', 'c'}) canvas.Type(c);
    EXPECT_EQ(Chr(8, 4), 'a');
    EXPECT_EQ(Chr(9, 4), 'b');
    EXPECT_EQ(Chr(0, 5), 'c');  // wrapped to the left edge, next row
    EXPECT_EQ(board->GetCell(0, 5)->fg, 7);
    canvas.SetCursor(9, 5);
    canvas.Type('d');  // past the last cell: to the top left
    EXPECT_EQ((std::array<int, 2>{canvas.CursorX(), canvas.CursorY()}), (std::array<int, 2>{0, 0}));
    EXPECT_EQ(doc.UndoSteps(), 4u);
    canvas.Type(9);  // three blanks in the brush's colours, one step
    EXPECT_EQ(canvas.CursorX(), 3);
    EXPECT_EQ(board->GetCell(2, 0)->fg, 7);
    EXPECT_EQ(doc.UndoSteps(), 5u);
    canvas.Type(8);
    canvas.Type(8);
    canvas.Type(8);
    canvas.Type(8);
    EXPECT_EQ(canvas.CursorX(), 0);  // the text start column, not left of it
    canvas.SetCursor(4, 5);
    canvas.Type(13);  // Enter past the bottom row: the top row
    EXPECT_EQ((std::array<int, 2>{canvas.CursorX(), canvas.CursorY()}), (std::array<int, 2>{0, 0}));
    canvas.Type(27);
    EXPECT_EQ(doc.UndoSteps(), 5u);
}

TEST_F(Canvas, SlotsPagingAndZoomKeepTheirLimits)
{
    paint.chr = 9;
    KSwitchSlot(paint, 3);
    EXPECT_EQ((std::array<int, 4>{paint.chr, paint.fg, paint.bg, paint.attrib}), (std::array<int, 4>{0, 0, 0, 0}));
    KSwitchSlot(paint, 0);
    EXPECT_EQ(paint.chr, 9);

    board->vieww = 4;
    board->viewh = 3;
    EXPECT_FALSE(canvas.Page(true));  // both steps 0
    paint.stepX = 5;
    paint.stepY = 2;
    EXPECT_TRUE(canvas.Page(true));
    EXPECT_EQ((std::array<int, 2>{board->viewx, board->viewy}), (std::array<int, 2>{5, 2}));
    EXPECT_TRUE(canvas.Page(true));
    EXPECT_EQ((std::array<int, 2>{board->viewx, board->viewy}), (std::array<int, 2>{6, 3}));
    EXPECT_TRUE(canvas.Page(false));
    EXPECT_TRUE(canvas.Page(false));
    EXPECT_EQ((std::array<int, 2>{board->viewx, board->viewy}), (std::array<int, 2>{0, 0}));
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(board->viewx, 1);

    std::vector<float> zooms;
    for (int i = 0; i < 3; ++i) {
        canvas.Wheel(120);
        zooms.push_back(canvas.Zoom());
    }
    for (int i = 0; i < 5; ++i) canvas.Wheel(-120);
    zooms.push_back(canvas.Zoom());
    EXPECT_EQ(zooms, (std::vector<float>{0.5f, 0.25f, 0.25f, 2.0f}));
    int w = 0;
    int h = 0;
    KCanvas::BitmapSize(1280, 1024, 0.25f, w, h);
    EXPECT_EQ((std::array<int, 2>{w, h}), (std::array<int, 2>{328, 264}));
}

TEST_F(Canvas, AShiftDragPaintsTheLibrarysLineBetweenPointerPositionsAsOneStroke)
{
    // At zoom 1 a cell is 8 window pixels.
    canvas.LeftDown(0 * 8 + 3, 0 * 8 + 3, false, true, true);
    canvas.MouseMove(5 * 8 + 3, 2 * 8 + 3, true);
    canvas.MouseMove(9 * 8 + 3, 2 * 8 + 3, true);
    canvas.LeftUp();
    std::vector<std::array<int, 2>> painted;
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 10; ++x) {
            if (Chr(x, y) == 1) painted.push_back({x, y});
        }
    }
    std::vector<std::array<int, 2>> expected = KLineCells(0, 0, 5, 2);
    for (int x = 6; x <= 9; ++x) expected.push_back({x, 2});
    std::sort(expected.begin(), expected.end(), [](auto a, auto b) { return a[1] != b[1] ? a[1] < b[1] : a[0] < b[0]; });
    EXPECT_EQ(painted, expected);
    EXPECT_EQ(doc.UndoSteps(), 1u);
    // A plain click places the cursor and paints nothing.
    canvas.LeftDown(7 * 8, 4 * 8, false, false, true);
    canvas.LeftUp();
    EXPECT_EQ((std::array<int, 3>{canvas.CursorX(), canvas.CursorY(), canvas.TextStartX()}), (std::array<int, 3>{7, 4, 7}));
    EXPECT_EQ(doc.UndoSteps(), 1u);
}

TEST_F(Canvas, SelectionModePicksPastesAndFillsUniformNodes)
{
    Kobject* one = engine.AddObject(*board, "one", 2, 2, 0, 3, 3);
    engine.AddObject(*board, "two", 2, 2, 0, 3, 3);
    canvas.SetCursor(0, 0);
    EXPECT_EQ(canvas.SelectKey(K::Enter).request, KCanvasRequest::None);
    EXPECT_EQ(doc.CurrentNode(), board->id);  // the board alone
    canvas.SetCursor(3, 3);
    EXPECT_EQ(canvas.SelectKey(K::Enter).request, KCanvasRequest::PickNode);
    EXPECT_EQ(canvas.PickList().size(), 3u);
    doc.Select(one->id);
    auto clip = std::make_unique<Kobject>();
    clip->Create("Dummy", 1, 1);
    doc.SetClipboard(std::move(clip));
    canvas.SetCursor(4, 4);  // one's own cell 1,1
    EXPECT_TRUE(canvas.SelectKey(K::Space).repaint);
    ASSERT_EQ(one->children.size(), 1u);
    EXPECT_EQ((std::array<int, 2>{one->children[0]->posx, one->children[0]->posy}), (std::array<int, 2>{1, 1}));
    // Tab asks for the brush only on a node of one look.
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) one->SetCell(x, y, 5, 6, 7, 0);
    }
    EXPECT_EQ(canvas.SelectKey(K::Tab).request, KCanvasRequest::UniformBrush);
    paint.chr = 9;
    EXPECT_TRUE(canvas.FillNodeWithBrush());
    EXPECT_EQ(one->GetCell(1, 1)->chr, 9);
    one->SetCell(0, 0, 1, 6, 7, 0);
    EXPECT_EQ(canvas.SelectKey(K::Tab).request, KCanvasRequest::None);
}

TEST_F(Canvas, DrawingPutsTheBoardAndTheCursorWhereTheScrollSays)
{
    board->SetCell(4, 3, 219, 9, 9, 0);
    KBitmap target = KMakeBitmap(200, 120);
    engine->SetScreenSize(25, 15);
    // A view of 5 x 3 cells scrolls over the 10 x 6 board.
    canvas.SetScroll(-3, -2, 5, 3);
    canvas.SetCursor(4, 3);
    canvas.Draw(target.get(), 0, true);
    // Cell (4,3) lands at cell (1,1) of the bitmap; the cursor's outer
    // rectangle XORs its edge with 32.
    EXPECT_EQ(getpixel(target.get(), 1 * 8 + 3, 1 * 8 + 3), 9);
    EXPECT_EQ(getpixel(target.get(), 1 * 8, 1 * 8 + 3), 9 ^ 32);
    EXPECT_EQ(engine->vMain->viewx, 0);
    // The scroll stays within the board.
    canvas.SetScroll(500, -500, 5, 3);
    EXPECT_EQ((std::array<int, 2>{canvas.ScrollX(), canvas.ScrollY()}), (std::array<int, 2>{0, -3}));
    canvas.SetScroll(-3, -2, 5, 3);
    EXPECT_NE(canvas.StatusText().find("Char 219"), std::string::npos);
}

TEST_F(Canvas, UndoStepsHoldWhatChangedAndRestoreTreesCellsAndOrder)
{
    // A big board, so whole-world copies would show in the byte count.
    Kobject* big = engine.AddBoard("big", 1024, 1024);
    doc.Select(board->id);
    for (int i = 0; i < 1000; ++i) {
        canvas.SetCursor(i % 10, (i / 10) % 6);
        paint.chr = 2 + i % 50;
        canvas.PaintKey(K::Space);
    }
    EXPECT_EQ(doc.UndoSteps(), kUndoDepth);
    EXPECT_LT(doc.UndoBytes(), 64 * 1024);
    EXPECT_GT(doc.TakeDroppedSteps(), 0);
    EXPECT_EQ(doc.TakeDroppedSteps(), 0);

    // Tree edits: delete a board, move and reorder objects, resize.
    Kobject* a = engine.AddObject(*board, "a", 3, 3, 5);
    Kobject* b = engine.AddObject(*board, "b", 1, 1, 1);
    a->SetCell(2, 2, 77, 1, 2, 3);
    const int32_t aId = a->id;
    const int32_t bigId = big->id;
    doc.Select(big->id);
    ASSERT_TRUE(KDeleteCurrent(doc));
    EXPECT_LT(doc.UndoBytes(), 64 * 1024 + 1024 * 1024 * int64_t{sizeof(KCell)} + 4096);
    doc.Select(aId);
    ASSERT_TRUE(KMoveCurrent(doc, b->id));
    doc.Select(aId);
    ASSERT_TRUE(KSetSize(doc, 1, 1, true));
    doc.Select(b->id);
    ASSERT_TRUE(KSetLocation(doc, 0, 0, 9));  // to the front of the list
    EXPECT_EQ(board->children.front()->name, "b");
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(doc.Undo());
    ASSERT_EQ(board->children.size(), 2u);
    EXPECT_EQ(board->children[0]->id, aId);
    EXPECT_EQ(board->children[0]->GetCell(2, 2)->chr, 77);
    ASSERT_NE(doc.FindNode(bigId), nullptr);
    EXPECT_EQ(doc.FindNode(bigId)->width, 1024);
    EXPECT_EQ(engine->vMain->children.back()->id, bigId);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.FindNode(bigId), nullptr);
    EXPECT_EQ(doc.FindNode(aId)->parent->name, "b");
    EXPECT_EQ(doc.FindNode(aId)->width, 1);

    // A tree edit inside an open walk splits it, so undo keeps the order.
    doc.Select(board->id);
    paint.mode = KBrushMode::Normal;
    paint.chr = 4;
    canvas.SetCursor(0, 0);
    canvas.PaintKey(K::Tab);
    ASSERT_TRUE(KRenameCurrent(doc, "renamed"));
    canvas.PaintKey(K::Right);
    canvas.PaintKey(K::Tab);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Chr(0, 0), 4);
    EXPECT_NE(Chr(1, 0), 4);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(board->name, "board");
    ASSERT_TRUE(doc.Undo());
    EXPECT_NE(Chr(0, 0), 4);

    // Restore Backup is one step, and undoes.
    doc.Select(board->id);
    canvas.SaveBackup();
    paint.chr = 3;
    canvas.SetCursor(0, 0);
    canvas.PaintKey(K::Space);
    EXPECT_TRUE(canvas.RestoreBackup());
    EXPECT_NE(Chr(0, 0), 3);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Chr(0, 0), 3);
}

}  // namespace

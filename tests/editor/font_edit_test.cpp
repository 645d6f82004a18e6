// The font editor without Qt: glyph edits on the world's font, the cursor
// crossing glyphs, rows, Cancel and the undo step of OK, and sheets saved
// and loaded as pictures.

#include "KEditorDoc.h"
#include "KFontEdit.h"
#include "Kfont.h"
#include "TestSupport.h"

#include <allegro.h>

#include <gtest/gtest.h>

namespace {

using F = KFontKey;

class FontEdit : public testing::Test {
protected:
    void SetUp() override
    {
        board = engine.AddBoard("board", 4, 2);
        board->SetCell(0, 0, 'A', 15, 1, 0);
        board->SetCell(1, 0, 'A', -2, 0, 0);
        doc.Select(board->id);
        paint.chr = 'A';
    }

    Kfont& Font() { return *engine->vFont; }
    int Height() { return KBitmapHeight(Font().sheet.get()); }

    std::array<int, 64> Glyph(int chr)
    {
        std::array<int, 64> pixels{};
        for (int i = 0; i < 64; ++i) pixels[static_cast<size_t>(i)] = Font().GetGlyphPixel(chr, i % 8, i / 8);
        return pixels;
    }

    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    KPaintSettings paint;
    Kobject* board = nullptr;
};

TEST_F(FontEdit, GlyphButtonsAndKeysEditTheSheetAndTheBoardShowsThem)
{
    const std::array<int, 64> a = Glyph('A');
    const std::array<int, 64> blank = Glyph(0);
    const KPaintSettings brush = paint;
    KFontEditor editor(doc, paint);
    ASSERT_TRUE(editor.FlipVertical());
    EXPECT_EQ(Font().GetGlyphPixel('A', 2, 1), a[6 * 8 + 2]);
    editor.FlipVertical();
    EXPECT_EQ(Glyph('A'), a);
    editor.FlipHorizontal();
    EXPECT_EQ(Font().GetGlyphPixel('A', 1, 3), a[3 * 8 + 6]);
    editor.FlipHorizontal();
    EXPECT_EQ(Glyph('A'), a);

    // Copy 'A', Invert the blank glyph 0 to all 15, then paste 'A' over it.
    editor.Copy();
    paint.chr = 0;
    EXPECT_TRUE(editor.Invert());
    std::array<int, 64> ink{};
    ink.fill(15);
    EXPECT_EQ(Glyph(0), ink);
    EXPECT_TRUE(editor.Paste());
    EXPECT_EQ(Glyph(0), a);

    // Space by mode, Enter picks the colour.
    paint.chr = 'A';
    Font().SetGlyphPixel('A', 0, 0, 7);
    ASSERT_TRUE(editor.Key(F::Space));
    EXPECT_EQ(editor.Pixel(0, 0), 0) << "Char mode clears a pixel of colour 7";
    editor.Key(F::Space);
    EXPECT_EQ(editor.Pixel(0, 0), 15);
    EXPECT_EQ(board->vSurf->line[0][0], 15) << "the board's 'A' cell is drawn anew";
    editor.SetMode(KGlyphMode::Sprite);
    paint.fg = 42;
    editor.Key(F::Space);
    EXPECT_EQ(board->vSurf->line[0][8], 42) << "the sprite cell shows the sheet's own colour";
    paint.fg = -2;
    EXPECT_FALSE(editor.Key(F::Space)) << "the sprite marker is no colour to draw with";
    EXPECT_TRUE(editor.Key(F::Enter));
    EXPECT_EQ(paint.fg, 42);

    // Closing without OK puts the sheet and the brush back.
    editor.Close(false);
    EXPECT_EQ(Glyph('A'), a);
    EXPECT_EQ(board->vSurf->line[0][8], a[0]) << "the sprite cell is drawn back";
    EXPECT_EQ(Glyph(0), blank);
    EXPECT_EQ(paint, brush);
}

TEST_F(FontEdit, TheCursorCrossesIntoNeighbourGlyphsAndStopsAtTheSheetsEdges)
{
    struct Case {
        int glyph;
        int x, y;
        F key;
        int glyphAfter;
        int xAfter, yAfter;
    };
    const Case cases[] = {
        {17, 7, 3, F::Right, 18, 0, 3}, {17, 0, 0, F::Up, 1, 0, 7},      {17, 0, 5, F::Left, 16, 7, 5},
        {17, 2, 7, F::Down, 33, 2, 0},  {15, 7, 0, F::Right, 15, 7, 0},  {0, 0, 0, F::Up, 0, 0, 0},
        {0, 0, 4, F::Left, 0, 0, 4},    {255, 3, 7, F::Down, 255, 3, 7}, {40, 3, 3, F::Right, 40, 4, 3},
    };
    for (const Case& c : cases) {
        paint.chr = c.glyph;
        KFontEditor editor(doc, paint);
        // Char Edit of 160 x 160 pixels: 20 a grid cell.
        editor.PointAt(c.x * 20 + 19, c.y * 20, 160, 160);
        ASSERT_EQ(editor.CursorX() * 10 + editor.CursorY(), c.x * 10 + c.y);
        editor.Key(c.key);
        EXPECT_EQ(std::vector<int>({editor.Glyph(), editor.CursorX(), editor.CursorY()}),
                  std::vector<int>({c.glyphAfter, c.xAfter, c.yAfter})) << c.glyph << " " << c.x << "," << c.y;
    }
    EXPECT_EQ(KStepColour(250, F::Down), 255);
    EXPECT_EQ(KStepColour(0, F::Left), 0);
    EXPECT_EQ(KStepColour(20, F::Up), 4);
    EXPECT_EQ(KSliderRowOffset(128 + 8 * 40, 50), 20);
    EXPECT_EQ(KSliderRowOffset(128, 100), 1);
    EXPECT_EQ(KSliderRowOffset(64, 100), 0);
}

TEST_F(FontEdit, RowsGrowAndShrinkWithinBoundsCancelRestoresAndOkIsOneSmallUndoStep)
{
    EXPECT_FALSE(doc.EditFont([&] {
        KFontEditor editor(doc, paint);
        EXPECT_TRUE(editor.NewLine());
        EXPECT_EQ(Font().glyphCount, 272);
        return editor.Close(false);
    }));
    EXPECT_EQ(Height(), 128);
    EXPECT_EQ(doc.UndoSteps(), 0u);

    const std::array<int, 64> a = Glyph('A');
    ASSERT_TRUE(doc.EditFont([&] {
        KFontEditor editor(doc, paint);
        editor.Invert();
        editor.NewLine();
        return editor.Close(true);
    }));
    EXPECT_EQ(Height(), 136);
    EXPECT_EQ(doc.UndoSteps(), 1u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_LT(doc.UndoBytes(), 128 * 64) << "the step keeps the band from 'A' down, not two sheets";
    doc.Undo();
    EXPECT_EQ(Height(), 128);
    EXPECT_EQ(Glyph('A'), a);
    EXPECT_EQ(board->vSurf->line[1][8 + 2], Font().GetGlyphPixel('A', 2, 1)) << "undo draws the nodes anew";
    doc.Redo();
    EXPECT_EQ(Height(), 136);
    EXPECT_NE(Glyph('A'), a);

    // The last glyph row stays; the brush stays on the sheet.
    doc.EditFont([&] {
        KFontEditor editor(doc, paint);
        paint.chr = 200;
        int removed = 0;
        while (editor.DeleteLine()) ++removed;
        EXPECT_EQ(removed, 16);
        EXPECT_EQ(editor.Glyph(), 15);
        return editor.Close(false);
    });
    EXPECT_EQ(Height(), 136);
    // The world file holds sheets of at most maxSheetSide pixels a side.
    engine->vLimits.maxSheetSide = 144;
    KFontEditor editor(doc, paint);
    EXPECT_TRUE(editor.NewLine());
    EXPECT_FALSE(editor.NewLine());
}

TEST_F(FontEdit, SheetsWithSpriteGlyphsSaveAndLoadAsBmpsAndBadPicturesKeepTheSheet)
{
    TempDir dir;
    const std::string path = dir.File("sheet.bmp");
    WriteFileBytes(path, "old");
    {
        KFontEditor editor(doc, paint);
        for (int i = 0; i < 64; ++i) Font().SetGlyphPixel('A', i % 8, i / 8, 100 + i);
        editor.NewLine();
        ASSERT_TRUE(editor.Save(path));
        EXPECT_FALSE(editor.Save(dir.File("missing/sheet.bmp")));
    }
    EXPECT_EQ(engine.Reports(), std::vector<std::string>{"Unable to save font to '" + dir.File("missing/sheet.bmp") + "'"});
    engine.notices.clear();
    EXPECT_EQ(Height(), 128) << "closed without OK";
    const std::string bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 54u + 1024u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(bytes[28], 8) << "8 bits a pixel";
    EXPECT_EQ(bytes.substr(54 + 15 * 4, 3), "\xff\xff\xff") << "colour 15 of the font's palette";
    EXPECT_EQ(FilesIn(dir.Path()).size(), 1u) << "no part file is left";

    paint.chr = 300;
    KFontEditor editor(doc, paint);
    EXPECT_EQ(editor.Glyph(), 255) << "a brush past the sheet edits its last glyph";
    ASSERT_TRUE(editor.Load(path));
    EXPECT_EQ(Height(), 136);
    EXPECT_EQ(Font().GetGlyphPixel('A', 7, 7), 163);
    EXPECT_EQ(board->vSurf->line[7][8 + 7], 163);

    // Not a BMP, too wide for a world file, or no whole glyph: refused.
    WriteFileBytes(dir.File("text.bmp"), "not a picture");
    std::string wide = bytes.substr(0, 54);
    wide[18] = '\x88';  // 5000 = 0x1388 pixels across, 8 down
    wide[19] = '\x13';
    wide[22] = 8;
    wide[23] = 0;
    WriteFileBytes(dir.File("wide.bmp"), wide);
    std::string thin = wide;
    thin[18] = 1;
    thin[19] = 0;
    WriteFileBytes(dir.File("thin.bmp"), thin);
    for (const char* name : {"text.bmp", "wide.bmp", "thin.bmp", "none.bmp"}) {
        EXPECT_FALSE(editor.Load(dir.File(name))) << name;
    }
    EXPECT_EQ(engine.Reports(), std::vector<std::string>(4, "Unable to import font"));
    EXPECT_EQ(Height(), 136);
    EXPECT_EQ(Font().GetGlyphPixel('A', 7, 7), 163);
}

}  // namespace

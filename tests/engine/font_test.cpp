#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

void FillGlyphPattern(Kfont& font)
{
    // Glyph pixels: the top-left pixel of every glyph set, the rest clear.
    clear_to_color(font.sheet.get(), 0);
    for (int chr = 0; chr < font.glyphCount; ++chr) {
        font.sheet->line[font.glyphY[static_cast<size_t>(chr)]][font.glyphX[static_cast<size_t>(chr)]] = 9;
    }
    font.RebuildGlyphs();
}

// Sheet colours copy the block whatever the other colour; a new sheet is
// cut into glyphs row by row.
TEST(Font, SheetColoursCopyTheBlockAndGlyphsAreCutRowByRow)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 2, 1);
    Kfont& font = *engine->vFont;
    font.SetGlyphPixel(3, 2, 2, 200);
    font.RenderGlyph(*board, 3, -2, 9, 1, 0);
    BITMAP* surface = board->Surface();
    EXPECT_EQ(surface->line[2][8 + 2], 200);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(surface->line[y][8 + x], font.GetGlyphPixel(3, x, y));
    }

    EXPECT_EQ(font.glyphX[17], 8);
    EXPECT_EQ(font.glyphY[17], 8);
    EXPECT_EQ(font.glyphCount, 256);
    ASSERT_TRUE(font.CreateSheet(130, 16));
    font.RebuildGlyphs();
    EXPECT_EQ(font.glyphCount, 34) << "17 blocks a row, the last only 2 pixels wide";
    EXPECT_EQ(font.glyphX[16], 128);
    EXPECT_EQ(font.glyphX[17], 0);
    EXPECT_EQ(font.glyphY[17], 8);
    EXPECT_EQ(Kfont::GlyphsForSheet(130, 16), 34);
    EXPECT_EQ(Kfont::GlyphsForSheet(1, 100), 0);
}

TEST(Font, ForegroundWithTransparentBackgroundOnlyInsideTheGrid)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    BITMAP* surface = board->Surface();
    clear_to_color(surface, 77);
    Kfont& font = *engine->vFont;
    font.RenderGlyph(*board, 'A', 4, -1, 0, 0);
    int set = 0;
    int kept = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool glyphPixel = font.GetGlyphPixel('A', x, y) != 0;
            EXPECT_EQ(surface->line[y][x], glyphPixel ? 4 : 77);
            (glyphPixel ? set : kept) += 1;
        }
    }
    EXPECT_GT(set, 0);
    EXPECT_GT(kept, 0);

    // Nothing is drawn outside the grid; unknown glyphs are blank.
    clear_to_color(surface, 77);
    font.RenderGlyph(*board, 'A', 4, 5, 1, 0);
    font.RenderGlyph(*board, 'A', 4, 5, 0, -1);
    EXPECT_EQ(surface->line[0][0], 77);
    font.RenderGlyph(*board, 5000, 4, 5, 0, 0);
    EXPECT_EQ(surface->line[3][3], 5) << "a glyph beyond the sheet draws as blank";
    font.RenderGlyph(*board, -7, 4, 6, 0, 0);
    EXPECT_EQ(surface->line[3][3], 6);
}

TEST(Font, EditorSheetOperations)
{
    TestEngine engine(KFlavour::Editor);
    Kfont& font = *engine->vFont;
    FillGlyphPattern(font);
    EXPECT_EQ(font.GlyphAt(8, 8), 17);
    EXPECT_EQ(font.GlyphAt(3, 0), -1);
    // Up, right, down, left; an unknown way stays.
    const int kNeighbours[][3] = {{17, 0, 1}, {17, 1, 18}, {17, 2, 33}, {17, 3, 16}, {0, 0, -1}, {15, 1, -1}, {17, 9, 17}};
    for (const auto& [from, way, to] : kNeighbours) EXPECT_EQ(font.NeighbourGlyph(from, way), to) << from << " " << way;

    font.AddGlyphRow();
    EXPECT_EQ(font.glyphCount, 272);
    EXPECT_EQ(font.GetGlyphPixel(256, 0, 0), 0) << "the new row is clear";
    EXPECT_EQ(font.GetGlyphPixel(255, 0, 0), 9) << "pixels above are kept";
    font.RemoveGlyphRow();
    font.RemoveGlyphRow();
    EXPECT_EQ(font.glyphCount, 240);

    KBitmap preview = KMakeBitmap(12, 12);
    font.DrawTextTo(preview.get(), "\x11\x11", 3, 4, 1, 1);  // partly outside: clipped, no crash
    EXPECT_EQ(preview->line[8][8], 3);
    EXPECT_EQ(preview->line[8][9], 4);

    // A failed import reports and keeps the sheet in use.
    EXPECT_FALSE(font.ImportFont("/nonexistent/sheet.bmp"));
    EXPECT_EQ(engine.Reports(), (std::vector<std::string>{"Unable to import font"}));
    EXPECT_EQ(font.glyphCount, 240);
    EXPECT_EQ(KBitmapWidth(font.sheet.get()), 128);
}

TEST(DefaultData, LoadsThroughTheGameLibrary)
{
    DATAFILE* data = load_datafile("Library/default.dat");
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data[0].type, DAT_BITMAP);
    ASSERT_EQ(data[1].type, DAT_PALETTE);
    const BITMAP* sheet = static_cast<BITMAP*>(data[0].dat);
    EXPECT_EQ(bitmap_color_depth(const_cast<BITMAP*>(sheet)), 8);
    EXPECT_EQ(sheet->w, 128);
    EXPECT_EQ(sheet->h, 128);
    const RGB* palette = static_cast<RGB*>(data[1].dat);
    const int classic[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42}, {42, 0, 0},   {42, 0, 42},
                                {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
                                {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ((std::vector<int>{palette[i].r, palette[i].g, palette[i].b}),
                  (std::vector<int>(classic[i], classic[i] + 3))) << i;
    }
    EXPECT_EQ(palette[255].r + palette[255].g + palette[255].b, 0) << "colour 255 is black";

    // Glyph 0 is blank, 219 is the full block, 'A' has ink.
    auto ink = [&](int chr) {
        int count = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) count += sheet->line[(chr / 16) * 8 + y][(chr % 16) * 8 + x] != 0;
        }
        return count;
    };
    EXPECT_EQ(ink(0), 0);
    EXPECT_EQ(ink(219), 64);
    EXPECT_GT(ink('A'), 10);
    EXPECT_EQ(ink(220), 32);
    unload_datafile(data);
}

}  // namespace

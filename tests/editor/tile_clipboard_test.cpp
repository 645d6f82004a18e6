// The tile clipboard without Qt: copy and tiled paste, the five file types
// written and read back, and files that must be refused.

#include "KEditorDoc.h"
#include "KTileClipboard.h"
#include "KTools.h"
#include "KZip.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class TileClipboard : public testing::Test {
protected:
    void SetUp() override
    {
        node = engine.AddBoard("node", 10, 8);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) node->SetCell(x, y, 100 + x, 10 + y, 20, 0);
        }
        doc.Select(node->id);
    }

    static KTileClipboard Make(int w, int h, const std::function<KTile(int, int)>& tile)
    {
        KTileClipboard clip;
        clip.width = w;
        clip.height = h;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) clip.cells.push_back(tile(x, y));
        }
        return clip;
    }

    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    Kobject* node = nullptr;
    TempDir dir;
};

constexpr uint16_t E = kEmptyField;

TEST_F(TileClipboard, CopiedFieldsPasteTiledFromTheTopLeftAndSkipZeros)
{
    KTileClipboard clip;
    KToolRegion region = KBuildRegion(KRegionKind::Rectangle, *node, 2, 1, 4, 2);
    ASSERT_TRUE(KCopyTiles(*node, region, {true, false, false, false}, clip));
    EXPECT_EQ((std::array<int, 2>{clip.width, clip.height}), (std::array<int, 2>{3, 2}));
    EXPECT_EQ(clip.At(1, 1), (KTile{103, E, E, E}));
    EXPECT_EQ(KTileSaveOf(clip), KTileSave::Chr);

    // A 3 x 2 clipboard over a 7 x 5 rectangle: column 6 takes column 0,
    // row 4 takes row 0; only characters change.
    region = KBuildRegion(KRegionKind::Rectangle, *node, 1, 2, 7, 6);
    ASSERT_TRUE(KPasteTiles(doc, *node, region, clip));
    EXPECT_EQ(node->GetCell(7, 6)->chr, 102);  // (6 mod 3, 4 mod 2) = (0, 0)
    EXPECT_EQ(node->GetCell(3, 3)->chr, 104);  // (2, 1)
    EXPECT_EQ(node->GetCell(3, 3)->fg, 13);
    EXPECT_EQ(doc.UndoSteps(), 1u);

    // With the skip flag, 0,0,0,0 entries leave cells alone.
    KTileClipboard zeros = Make(2, 1, [](int x, int) { return x == 0 ? KTile{0, 0, 0, 0} : KTile{7, 7, 7, 7}; });
    zeros.skip = true;
    region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 3, 0);
    ASSERT_TRUE(KPasteTiles(doc, *node, region, zeros));
    EXPECT_EQ((std::array<int, 4>{node->GetCell(0, 0)->chr, node->GetCell(1, 0)->chr, node->GetCell(2, 0)->chr,
                                  node->GetCell(3, 0)->attrib}),
              (std::array<int, 4>{100, 7, 102, 7}));
    EXPECT_FALSE(KPasteTiles(doc, *node, region, KTileClipboard{}));
    clip = Make(1, 1, [](int, int) { return KTile{1, 2, 3, 4}; });
    EXPECT_EQ(KTileSaveOf(clip), KTileSave::Qcf);
}

TEST_F(TileClipboard, EveryTypeReadsBackWhatItWrote)
{
    const KPalette& palette = engine->vFont->Palette();
    std::string error;
    // Every character through .chr; 65535 reads back as empty.
    KTileClipboard chars = Make(256, 256, [](int x, int y) { return KTile{static_cast<uint16_t>(y * 256 + x), E, E, E}; });
    ASSERT_TRUE(KSaveTiles(dir.File("all.chr"), KTileSave::Chr, chars, palette, error)) << error;
    KTileClipboard read;
    ASSERT_TRUE(KLoadTiles(dir.File("all.chr"), false, read, error)) << error;
    EXPECT_EQ(read.cells, chars.cells);

    // .qcf keeps empty fields and every value.
    KTileClipboard mixed = Make(5, 3, [](int x, int y) {
        return KTile{static_cast<uint16_t>(x * 1000), E, static_cast<uint16_t>(y), static_cast<uint16_t>(65534 - x)};
    });
    ASSERT_TRUE(KSaveTiles(dir.File("mixed.qcf"), KTileSave::Qcf, mixed, palette, error)) << error;
    ASSERT_TRUE(KLoadTiles(dir.File("mixed.qcf"), false, read, error)) << error;
    EXPECT_EQ(read.cells, mixed.cells);

    // .bmp as foreground: pasted, it changes only foregrounds.
    KTileClipboard colours = Make(4, 2, [](int x, int y) { return KTile{E, static_cast<uint16_t>(200 + x + y), E, E}; });
    ASSERT_TRUE(KSaveTiles(dir.File("fg.bmp"), KTileSave::BmpForeground, colours, palette, error)) << error;
    ASSERT_TRUE(KLoadTiles(dir.File("fg.bmp"), true, read, error)) << error;
    EXPECT_EQ(read.At(3, 1), (KTile{E, E, 204, E}));
    ASSERT_TRUE(KLoadTiles(dir.File("fg.bmp"), false, read, error)) << error;
    EXPECT_EQ(read.cells, colours.cells);
    KToolRegion region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 3, 1);
    ASSERT_TRUE(KPasteTiles(doc, *node, region, read));
    const KCell& pasted = *node->GetCell(3, 1);
    EXPECT_EQ((std::array<int, 4>{pasted.chr, pasted.fg, pasted.bg, pasted.attrib}), (std::array<int, 4>{103, 204, 20, 0}));

    // .att: attributes, the other fields empty.
    KTileClipboard attributes = Make(3, 2, [](int x, int y) { return KTile{E, E, E, static_cast<uint16_t>(x + y)}; });
    ASSERT_TRUE(KSaveTiles(dir.File("map.att"), KTileSave::Att, attributes, palette, error)) << error;
    EXPECT_EQ(ReadFileBytes(dir.File("map.att")), "3 2\n0 1 2 \n1 2 3 \n");
    ASSERT_TRUE(KLoadTiles(dir.File("map.att"), false, read, error)) << error;
    EXPECT_EQ(read.cells, attributes.cells);

    // .txt: the longest line's width, blanks skipped, the last repeated.
    WriteFileBytes(dir.File("note.txt"), "ab c\nd\n");
    ASSERT_TRUE(KLoadTiles(dir.File("note.txt"), false, read, error)) << error;
    EXPECT_EQ((std::array<int, 2>{read.width, read.height}), (std::array<int, 2>{4, 2}));
    std::string text;
    for (const KTile& tile : read.cells) text += static_cast<char>(tile[0]);
    EXPECT_EQ(text, "abcddddd");
    EXPECT_EQ(read.cells[0][1], E);
}

TEST_F(TileClipboard, BadFilesAreRefusedAndTheClipboardStays)
{
    KTileClipboard clip = Make(1, 1, [](int, int) { return KTile{1, 2, 3, 4}; });
    const KTileClipboard kept = clip;
    std::string error;
    struct Case {
        const char* name;
        std::string bytes;
        const char* says;
    };
    // A whole 8-bit BMP 10,000 pixels wide, and one whose palette offset lies.
    std::string bigBmp(54 + 10000, '\0');
    bigBmp[0] = 'B';
    bigBmp[1] = 'M';
    bigBmp[10] = 54;
    bigBmp[14] = 40;
    bigBmp[18] = 0x10;
    bigBmp[19] = 0x27;
    bigBmp[22] = 1;
    bigBmp[28] = 8;
    std::string lyingBmp = bigBmp.substr(0, 64);
    lyingBmp[18] = 2;
    lyingBmp[19] = 0;
    lyingBmp[13] = 0x7f;  // pixels at 2 GB: the palette would be read forever
    std::string bigPcx(128, '\0');
    bigPcx[0] = 10;
    bigPcx[3] = 8;
    bigPcx[65] = 3;
    bigPcx[8] = static_cast<char>(0xff);
    bigPcx[9] = static_cast<char>(0xff);  // 65,536 pixels wide
    const std::vector<Case> cases = {
        {"x.QCF", "anything", "none of"},
        {"x.png", "anything", "none of"},
        {"x.att", "2 2\n1 2 3", "fewer than 4"},
        {"x.att", "100000 1\n", "size"},
        {"x.qcf", "not a zip", ""},
        {"x.txt", std::string(10000, 'a'), "9,999"},
        {"x.txt", "", "size"},
        {"x.bmp", bigBmp, "10000 x 1"},
        {"x.bmp", lyingBmp, "uncompressed 8-bit"},
        {"x.chr", bigPcx, "65536 x 1"},
        {"x.chr", "short", "24-bit PCX"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir.File(c.name), c.bytes);
        EXPECT_FALSE(KLoadTiles(dir.File(c.name), false, clip, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(clip.cells, kept.cells);
    }
    // A .qcf whose numbers run short.
    {
        KZipWriter zip;
        ASSERT_TRUE(zip.Open(dir.File("short.qcf")) && zip.Add("size.hdr", "2 2\n") && zip.Add("clip.dat", "1 2 3 ") && zip.Commit());
    }
    EXPECT_FALSE(KLoadTiles(dir.File("short.qcf"), false, clip, error));
    EXPECT_NE(error.find("fewer than 16"), std::string::npos) << error;
    EXPECT_EQ(clip.cells, kept.cells);
    EXPECT_FALSE(KLoadTiles(dir.File("missing.att"), false, clip, error));
    EXPECT_FALSE(KSaveTiles(dir.File("empty.qcf"), KTileSave::Qcf, KTileClipboard{}, engine->vFont->Palette(), error));
}

}  // namespace

// The canvas's tools without Qt: regions, actions and generators on small
// nodes, with fixed seeds, and the readers of the shipped lists.

#include "KCanvas.h"
#include "KEditorDoc.h"
#include "KTools.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class Tools : public testing::Test {
protected:
    void SetUp() override
    {
        node = engine.AddBoard("node", 10, 6);
        Blank(*node);
        doc.Select(node->id);
    }

    static void Blank(Kobject& target)
    {
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) target.SetCell(x, y, 32, 0, 0, 0);
        }
    }

    // The cells whose character is chr, row by row.
    std::vector<std::array<int, 2>> CellsWith(int chr) const
    {
        std::vector<std::array<int, 2>> cells;
        for (int y = 0; y < node->height; ++y) {
            for (int x = 0; x < node->width; ++x) {
                if (node->GetCell(x, y)->chr == chr) cells.push_back({x, y});
            }
        }
        return cells;
    }

    static std::vector<std::array<int, 2>> Marked(const KToolRegion& region)
    {
        std::vector<std::array<int, 2>> cells;
        for (int y = 0; y < region.rows; ++y) {
            for (int x = 0; x < region.stride; ++x) {
                if (region.At(x, y) == 1) cells.push_back({x, y});
            }
        }
        return cells;
    }

    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    Kobject* node = nullptr;
};

TEST_F(Tools, RegionsClampToTheNodeAndFollowTheLibrarysStepping)
{
    struct Case {
        const char* what;
        KRegionKind kind;
        std::array<int, 4> points;  // cursor, anchor
        std::array<int, 6> box;     // left, top, width, height, centre x, centre y
        int64_t count;
    };
    const std::vector<Case> cases = {
        {"rectangle clamped", KRegionKind::Rectangle, {-3, 2, 4, 20}, {0, 2, 5, 4, 2, 4}, 20},
        {"line", KRegionKind::Line, {0, 0, 5, 2}, {0, 0, 6, 3, 3, 1}, 6},
        {"box outline", KRegionKind::RectOutline, {1, 1, 4, 3}, {1, 1, 4, 3, 3, 2}, 10},
        {"ellipse", KRegionKind::Ellipse, {0, 0, 8, 5}, {0, 0, 9, 6, 4, 3}, -1},
        {"flood outside the node", KRegionKind::Flood, {12, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 0},
        {"same-as on a uniform node", KRegionKind::SameAs, {4, 4, 0, 0}, {0, 0, 10, 6, 4, 4}, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const KToolRegion region = KBuildRegion(c.kind, *node, c.points[0], c.points[1], c.points[2], c.points[3]);
        EXPECT_EQ((std::array<int, 6>{region.left, region.top, region.width, region.height, region.centreX, region.centreY}),
                  c.box);
        if (c.count >= 0) {
            EXPECT_EQ(region.Count(), c.count);
        }
    }
    EXPECT_EQ(Marked(KBuildRegion(KRegionKind::Line, *node, 0, 0, 5, 2)), KLineCells(0, 0, 5, 2));
    // The ellipse reaches the ends of both axes and leaves its middle out.
    const KToolRegion ellipse = KBuildRegion(KRegionKind::Ellipse, *node, 0, 0, 8, 5);
    for (auto [x, y] : std::vector<std::array<int, 2>>{{0, 2}, {8, 2}, {4, 5}}) EXPECT_EQ(ellipse.At(x, y), 1) << x << "," << y;
    EXPECT_EQ(ellipse.At(4, 2), 0);
}

TEST_F(Tools, FloodTakesItsQueueInOrderAndMatchesAllFourFields)
{
    // Row 0: five blanks, then a blank that differs only in its attribute.
    node->SetCell(5, 0, 32, 0, 0, 1);
    for (int x = 0; x < 10; ++x) node->SetCell(x, 1, 7, 0, 0, 0);
    TraceCapture trace;
    const KToolRegion region = KBuildRegion(KRegionKind::Flood, *node, 2, 0, 0, 0);
    EXPECT_EQ(Marked(region), (std::vector<std::array<int, 2>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    EXPECT_EQ((std::array<int, 4>{region.left, region.width, region.centreX, region.centreY}), (std::array<int, 4>{0, 5, 2, 0}));
    // Right, left, below, above: the queue's order shows in the trace.
    EXPECT_EQ(trace.text.substr(0, 24), " 2,0\n 3,0\n 1,0\n 2,1\n 4,0");
}

TEST_F(Tools, ActionsPaintTheRegionAsOneStepAfterABackup)
{
    KToolRegion region = KBuildRegion(KRegionKind::Rectangle, *node, 1, 1, 3, 2);
    ASSERT_TRUE(KFill(doc, *node, region, {9, 4, 5, 1}));
    EXPECT_EQ(CellsWith(9).size(), 6u);
    EXPECT_EQ(region.Count(), 0);  // every cell done
    EXPECT_EQ(node->shade.size(), 60u);
    EXPECT_EQ(node->shade[11].chr, 32);  // the backup is of the cells before
    // Replace with only "Fg": the filtered brush keeps the other fields.
    region = KBuildRegion(KRegionKind::SameAs, *node, 1, 1, 0, 0);
    ASSERT_TRUE(KFill(doc, *node, region, {-1, 12, -1, -1}));
    const KCell& replaced = *node->GetCell(2, 2);
    EXPECT_EQ((std::array<int, 4>{replaced.chr, replaced.fg, replaced.bg, replaced.attrib}), (std::array<int, 4>{9, 12, 5, 1}));
    EXPECT_EQ(doc.UndoSteps(), 2u);
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_TRUE(CellsWith(9).empty());

    // Blend fade down a one-cell strip: from the lower to the higher colour.
    region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 0, 5);
    ASSERT_TRUE(KBlendFade(doc, *node, region, {1, 20, 10, 2}, 0, 0, 0, 5, 0, 0));
    std::vector<int> strip;
    for (int y = 0; y < 6; ++y) strip.push_back(node->GetCell(0, y)->fg);
    EXPECT_EQ(strip, (std::vector<int>{10, 12, 15, 17, 20, 20}));
    EXPECT_EQ((std::array<int, 3>{node->GetCell(0, 3)->chr, node->GetCell(0, 3)->bg, node->GetCell(0, 3)->attrib}),
              (std::array<int, 3>{219, 255, 2}));
    region = KBuildRegion(KRegionKind::Rectangle, *node, 1, 0, 1, 5);
    ASSERT_TRUE(KBlendFade(doc, *node, region, {1, 20, 10, 0}, 1, 0, 1, 1, 1, 0));  // too short: the lower colour
    EXPECT_EQ(node->GetCell(1, 4)->fg, 10);

    // Sprite paste lays the font out in rows of 16 and makes a sprite brush.
    KPaintSettings paint;
    paint.chr = 65;
    region = KBuildRegion(KRegionKind::Rectangle, *node, 4, 1, 5, 2);
    ASSERT_TRUE(KSpritePaste(doc, *node, region, paint, *engine->vFont));
    EXPECT_EQ((std::array<int, 4>{node->GetCell(4, 1)->chr, node->GetCell(5, 1)->chr, node->GetCell(4, 2)->chr,
                                  node->GetCell(5, 2)->fg}),
              (std::array<int, 4>{65, 66, 81, -2}));
    EXPECT_EQ(paint.fg, -2);

    // Make Object copies the box into a new current child, one step.
    const size_t steps = doc.UndoSteps();
    region = KBuildRegion(KRegionKind::Rectangle, *node, 4, 1, 6, 2);
    const int32_t made = KMakeObject(doc, *node, region);
    ASSERT_GT(made, 0);
    EXPECT_EQ(doc.CurrentNode(), made);
    const Kobject* object = doc.FindNode(made);
    EXPECT_EQ((std::array<int, 3>{object->width, object->height, object->GetCell(1, 1)->chr}), (std::array<int, 3>{3, 2, 82}));
    EXPECT_EQ(object->name, "NewObject");
    EXPECT_EQ(doc.UndoSteps(), steps + 1);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.FindNode(made), nullptr);
}

TEST_F(Tools, GeneratorsFollowTheirPatternsAndDraws)
{
    const KFadeSet set{"test", {10, 11, 12, 13, 14}};
    KBlendPattern pattern{"diagonal", {}};
    for (size_t y = 0; y < 10; ++y) {
        for (size_t x = 0; x < 10; ++x) pattern.table[y][x] = static_cast<int>((x + y) % 5);
    }
    Kobject* big = engine.AddBoard("big", 100, 100);
    Blank(*big);
    doc.Select(big->id);

    // Fade over 10 x 10 cells with Random 0 gives the table itself.
    KToolRegion region = KBuildRegion(KRegionKind::Rectangle, *big, 3, 4, 12, 13);
    ASSERT_TRUE(KFade(doc, *big, region, {0, 1, 2, 3}, pattern, set, 0));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) ASSERT_EQ(big->GetCell(3 + x, 4 + y)->chr, 10 + (x + y) % 5) << x << "," << y;
    }
    EXPECT_EQ(big->GetCell(5, 5)->fg, 1);

    // Distance with Random 0: up and back down every 8 scaled cells.
    region = KBuildRegion(KRegionKind::Rectangle, *big, 0, 20, 40, 20);
    ASSERT_TRUE(KDistance(doc, *big, region, {0, 1, 2, 3}, set, 100, 100, 0));
    std::vector<int> row;
    for (int x = 20; x < 37; ++x) row.push_back(big->GetCell(x, 20)->chr);
    EXPECT_EQ(row, (std::vector<int>{10, 11, 12, 13, 14, 13, 12, 11, 10, 11, 12, 13, 14, 13, 12, 11, 10}));

    // Slime paints exactly the same-as cells joined to the centre.
    for (int y = 30; y < 40; ++y) {
        for (int x = 0; x < 20; ++x) big->SetCell(x, y, x == 10 ? 6 : 5, 0, 0, 0);
    }
    region = KBuildRegion(KRegionKind::SameAs, *big, 3, 33, 0, 0);
    std::srand(1);
    ASSERT_TRUE(KSlime(doc, *big, region, {0, 1, 2, 3}, set, 5));
    int left = 0;
    int right = 0;
    for (int y = 30; y < 40; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int chr = big->GetCell(x, y)->chr;
            if (x < 10 && chr >= 10 && chr <= 14) ++left;
            if (x > 10 && chr == 5) ++right;
        }
    }
    EXPECT_EQ(left, 100);
    EXPECT_EQ(right, 90);
    EXPECT_EQ(big->GetCell(10, 35)->chr, 6);

    // Speckle: about p in 101 of the cells, plus one in 101.
    for (int percentage : {0, 99}) {
        Blank(*big);
        region = KBuildRegion(KRegionKind::Rectangle, *big, 0, 0, 99, 99);
        std::srand(7);
        KSpeckle(doc, *big, region, {1, 1, 1, 0}, percentage);
        int painted = 0;
        for (const KCell& cell : big->cells) painted += cell.chr == 1;
        const double expected = 10000.0 * (percentage + 1) / 101.0;
        EXPECT_NEAR(painted, expected, 300) << percentage;
    }
}

TEST_F(Tools, ListReadersSkipBrokenRecordsAndReportMissingFiles)
{
    TempDir dir;
    WriteFileBytes(dir.File("sets.txt"), "Basic 32 176 177 178 219\nBroken 1 2 three\nDots 1 2 3 4 5\n");
    const std::vector<KFadeSet> sets = KReadFadeSets(*engine, dir.File("sets.txt"));
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].name, "Basic");
    EXPECT_EQ(sets[1].name, "Dots");
    EXPECT_EQ(sets[1].codes[4], 5);

    std::string blends = "Good\n";
    for (int i = 0; i < 100; ++i) blends += std::to_string(i % 5) + (i % 10 == 9 ? "\n" : " ");
    blends.back() = ' ';
    blends += "trailing words\n";
    blends += "Broken\n1 2 x\n3 3 3\nLast one\n";
    for (int i = 0; i < 100; ++i) blends += "4\n";
    WriteFileBytes(dir.File("blends.txt"), blends);
    const std::vector<KBlendPattern> patterns = KReadFadeBlends(*engine, dir.File("blends.txt"));
    ASSERT_EQ(patterns.size(), 2u) << (patterns.size() > 1 ? patterns[1].name : "");
    EXPECT_EQ(patterns[0].table[0][9], 4);
    EXPECT_EQ(patterns[0].table[1][0], 0);
    EXPECT_EQ(patterns[1].name, "Last one");

    EXPECT_TRUE(KReadFadeSets(*engine, dir.File("none.txt")).empty());
    ASSERT_FALSE(engine.Reports().empty());
    EXPECT_NE(engine.Reports().back().find("Unable to load " + dir.File("none.txt")), std::string::npos);
    // The shipped lists read whole.
    EXPECT_GE(KReadFadeSets(*engine).size(), 7u);
    EXPECT_GE(KReadFadeBlends(*engine).size(), 9u);
}

}  // namespace

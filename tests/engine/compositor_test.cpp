// Pixel tests of the compositor on memory bitmaps. Glyphs are drawn into the
// test engine's own sheet so every pixel is known.

#include "KDrawCode.h"
#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <climits>
#include <vector>

namespace {

constexpr int kFull = 219;      // every pixel set
constexpr int kLeftHalf = 1;    // columns 0..3 set
constexpr int kTopHalf = 2;     // rows 0..3 set
constexpr int kSheetInk = 15;   // value of set pixels on the sheet
constexpr int kUntouched = 99;  // what the target holds before drawing

void PaintGlyph(Kfont& font, int chr, bool (*isSet)(int x, int y))
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) font.SetGlyphPixel(chr, x, y, isSet(x, y) ? kSheetInk : 0);
    }
}

class Compositor : public testing::Test {
protected:
    void SetUp() override
    {
        PaintGlyph(*engine->vFont, kLeftHalf, [](int x, int) { return x < 4; });
        PaintGlyph(*engine->vFont, kTopHalf, [](int, int y) { return y < 4; });
        PaintGlyph(*engine->vFont, kFull, [](int, int) { return true; });
        PaintGlyph(*engine->vFont, 0, [](int, int) { return false; });
        engine->SetScreenSize(10, 6);
        target = KMakeBitmap(80, 48);
        clear_to_color(target.get(), kUntouched);
    }

    // A board filling the screen whose cells all show colour 3.
    Kobject* Floor(const std::string& name = "floor", int z = 0)
    {
        Kobject* board = engine.AddBoard(name, 10, 6, z);
        Fill(*board, 0, 1, 3);
        return board;
    }

    static void Fill(Kobject& node, int chr, int fg, int bg)
    {
        for (int y = 0; y < node.height; ++y) {
            for (int x = 0; x < node.width; ++x) node.SetCell(x, y, chr, fg, bg, 0);
        }
    }

    int Pixel(int x, int y) const { return target->line[y][x]; }

    // The colour of every pixel of screen cell (cx, cy), or -1 when they differ.
    int CellColour(int cx, int cy) const
    {
        const int first = Pixel(8 * cx, 8 * cy);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                if (Pixel(8 * cx + x, 8 * cy + y) != first) return -1;
            }
        }
        return first;
    }

    // The two colours of a cell split into left and right halves.
    std::pair<int, int> Halves(int cx, int cy) const { return {Pixel(8 * cx, 8 * cy + 5), Pixel(8 * cx + 6, 8 * cy + 2)}; }

    // Each {x, y, colour}: the colour every pixel of screen cell (x, y) shows.
    void ExpectColours(std::initializer_list<std::array<int, 3>> cells) const
    {
        for (const auto& [x, y, colour] : cells) EXPECT_EQ(CellColour(x, y), colour) << "cell " << x << ", " << y;
    }

    int Coverage(int cx, int cy) { return engine->vClipBuffer->line[cy][cx]; }

    void Draw() { engine->Draw(target.get(), 0, 0); }
    // Draws again on a cleared target.
    void Redraw(int viewX = 0, int viewY = 0)
    {
        clear_to_color(target.get(), kUntouched);
        engine->Draw(target.get(), viewX, viewY);
    }

    TestEngine engine;
    KBitmap target;
};

TEST_F(Compositor, OpaqueObjectHidesTheBoardWhichIsNotEvenRenderedUnlessChildrenAreHidden)
{
    Kobject* board = Floor();
    Kobject* object = engine.AddObject(*board, "crate", 2, 1, 0, 2, 2);
    Fill(*object, kFull, 5, 6);
    Draw();
    ExpectColours({{2, 2, 5}, {3, 2, 5}, {1, 2, 3}, {4, 2, 3}});
    EXPECT_EQ(board->GetCell(2, 2)->drawn, 0) << "covered board cells are never rendered";
    EXPECT_EQ(board->GetCell(1, 2)->drawn, 1);
    EXPECT_EQ(Coverage(2, 2), 1);
    EXPECT_EQ(Coverage(0, 0), 1);
    board->showchildren = 0;
    Redraw();
    EXPECT_EQ(CellColour(2, 2), 3);
}

TEST_F(Compositor, MaskedObjectsAndSheetColourCellsShowTheBoardThroughTheirClearPixels)
{
    Kobject* board = Floor();
    Kobject* ink = engine.AddObject(*board, "ink", 1, 1, 0, 1, 1);
    ink->SetCell(0, 0, kLeftHalf, 5, 0, 0);
    Kobject* paper = engine.AddObject(*board, "paper", 1, 1, 0, 3, 1);
    paper->SetCell(0, 0, kLeftHalf, 0, 7, 0);
    Draw();
    EXPECT_EQ(Halves(1, 1), std::make_pair(5, 3));
    EXPECT_EQ(Halves(3, 1), std::make_pair(3, 7)) << "foreground 0 leaves the set pixels to the board";
    EXPECT_EQ(Coverage(1, 1), 1) << "the board filled the rest of the cell";

    // A cell in the sheet's colours is masked at the start of a stretch but
    // copied, clear pixels included, inside a run.
    Kobject* start = engine.AddObject(*board, "start", 1, 1, 0, 1, 3);
    start->SetCell(0, 0, kLeftHalf, -2, 2, 0);
    Kobject* run = engine.AddObject(*board, "run", 2, 1, 0, 4, 3);
    run->SetCell(0, 0, kFull, 5, 6, 0);
    run->SetCell(1, 0, kLeftHalf, -2, 2, 0);
    Redraw();
    EXPECT_EQ(Halves(1, 3), std::make_pair(kSheetInk, 3));
    EXPECT_EQ(CellColour(4, 3), 5);
    EXPECT_EQ(Halves(5, 3), std::make_pair(kSheetInk, 0));
}

TEST_F(Compositor, TransparentCellsShowWhatLiesBehindAndChangedCellsAreRenderedAgain)
{
    Kobject* board = Floor();
    Kobject* object = engine.AddObject(*board, "glass", 2, 1, 0, 4, 3);
    object->SetCell(0, 0, kFull, 0, 0, 0);
    object->SetCell(1, 0, kFull, 8, 8, 0);
    Draw();
    ExpectColours({{4, 3, 3}, {5, 3, 8}});
    EXPECT_EQ(object->GetCell(0, 0)->drawn, 0) << "a transparent cell uses no pixels";
    board->SetCell(3, 3, kFull, 12, -1, -1);
    EXPECT_EQ(board->GetCell(3, 3)->drawn, 0);
    Draw();
    EXPECT_EQ(CellColour(3, 3), 12);
}

TEST_F(Compositor, TargetKeepsPixelsNoNodeDraws)
{
    Kobject* board = engine.AddBoard("half", 5, 6);
    Fill(*board, 0, 1, 3);
    board->SetCell(0, 0, 0, 0, 0, 0);
    Draw();
    ExpectColours({{0, 0, kUntouched}, {1, 0, 3}, {7, 0, kUntouched}});
}

TEST_F(Compositor, ChildIsCutAtItsParentsLeftEdgeAndWindowAndMovesWithItsScroll)
{
    Kobject* board = Floor();
    Kobject* parent = engine.AddObject(*board, "parent", 4, 3, 0, 2, 1);
    Fill(*parent, kFull, 7, 7);
    Kobject* left = engine.AddObject(*parent, "left", 3, 1, 0, -1, 0);
    Fill(*left, kFull, 9, 9);
    left->SetCell(0, 0, kFull, 10, 10, 0);
    Draw();
    EXPECT_EQ(CellColour(1, 1), 3) << "the column left of the parent is cut";
    ExpectColours({{2, 1, 9}, {3, 1, 9}, {4, 1, 7}});

    // A parent that shows only two of its columns cuts a child reaching past them.
    parent->vieww = 2;
    left->posx = 1;
    left->posy = 2;
    Redraw();
    ExpectColours({{2, 3, 7}, {3, 3, 10}});
    EXPECT_EQ(CellColour(4, 3), 3) << "cut at the parent's window";

    // A parent scrolled by one column moves its children one to the left.
    parent->viewx = 1;
    parent->vieww = 3;
    left->posx = 2;
    Redraw();
    EXPECT_EQ(CellColour(2, 3), 7) << "the parent's column 1";
    EXPECT_EQ(CellColour(3, 3), 10) << "the child at the parent's column 2";
    ExpectColours({{4, 3, 9}, {5, 3, 3}});
}

TEST_F(Compositor, PartlyCoveredCellsAreFilledPixelByPixel)
{
    Kobject* board = Floor();
    Kobject* front = engine.AddObject(*board, "front", 1, 1, 2, 2, 2);
    front->SetCell(0, 0, kLeftHalf, 5, 0, 0);
    Kobject* middle = engine.AddObject(*board, "middle", 1, 1, 1, 2, 2);
    middle->SetCell(0, 0, kTopHalf, 7, 0, 0);
    Draw();
    EXPECT_EQ(Pixel(16 + 1, 16 + 1), 5) << "front";
    EXPECT_EQ(Pixel(16 + 1, 16 + 6), 5) << "front";
    EXPECT_EQ(Pixel(16 + 6, 16 + 1), 7) << "middle, top right";
    EXPECT_EQ(Pixel(16 + 6, 16 + 6), 3) << "board, bottom right";
    EXPECT_EQ(Coverage(2, 2), 1);

    // An opaque cell behind a masked one writes every free pixel, 0 included.
    middle->SetCell(0, 0, kTopHalf, 7, 1, 0);
    board->SetCell(2, 2, 0, 0, 0, 0);
    Redraw();
    EXPECT_EQ(Pixel(16 + 6, 16 + 1), 7);
    EXPECT_EQ(Pixel(16 + 6, 16 + 6), 1);
    EXPECT_EQ(Pixel(16 + 1, 16 + 6), 5);

    // Two masked layers over nothing leave the cell partly covered.
    middle->SetCell(0, 0, kTopHalf, 7, 0, 0);
    Redraw();
    EXPECT_EQ(Pixel(16 + 6, 16 + 6), kUntouched);
    EXPECT_EQ(Coverage(2, 2), 2);
}

TEST_F(Compositor, RunnerDrawsTheLastBoardInFrontAndTheViewOffsetMovesBoards)
{
    Floor("back", 0);
    Kobject* front = engine.AddBoard("front", 2, 2, 5);
    Fill(*front, kFull, 4, 4);
    Draw();
    ExpectColours({{0, 0, 4}, {2, 0, 3}});
    Redraw(3, 1);
    EXPECT_EQ(engine->vMain->viewx, 3);
    EXPECT_EQ(CellColour(3, 1), 4);
    EXPECT_EQ(CellColour(0, 0), kUntouched) << "boards start at the view offset";
    EXPECT_EQ(CellColour(9, 5), 3);
}

TEST(CompositorEditor, BoardsGoFirstToLastAndHiddenNodesAreSkipped)
{
    TestEngine engine(KFlavour::Editor);
    engine->SetScreenSize(4, 1);
    KBitmap target = KMakeBitmap(32, 8);
    Kobject* first = engine.AddBoard("first", 1, 1, 0);
    first->SetCell(0, 0, 0, 1, 21, 0);
    Kobject* second = engine.AddBoard("second", 2, 1, 1);
    second->SetCell(0, 0, 0, 1, 22, 0);
    second->SetCell(1, 0, 0, 1, 22, 0);
    Kobject* object = engine.AddObject(*second, "o", 1, 1, 0, 1, 0);
    object->SetCell(0, 0, 0, 1, 23, 0);
    engine->Draw(target.get(), 0, 0);
    EXPECT_EQ(target->line[0][0], 21) << "the editor puts the first board in front";
    EXPECT_EQ(target->line[0][8], 23);
    object->hiddenmark = 1;
    first->hiddenmark = 1;
    engine->Draw(target.get(), 0, 0);
    EXPECT_EQ(target->line[0][0], 22);
    EXPECT_EQ(target->line[0][8], 22);
}

TEST_F(Compositor, FocusedViews)
{
    Kobject* board = Floor();
    Kobject* other = engine.AddBoard("other", 1, 1, 1);
    Fill(*other, kFull, 11, 11);
    Kobject* parent = engine.AddObject(*board, "parent", 3, 2, 0, 4, 2);
    Fill(*parent, kFull, 7, 7);
    Kobject* child = engine.AddObject(*parent, "child", 1, 1, 0, 1, 0);
    Fill(*child, kFull, 9, 9);
    const int h = engine->AllocHandle(parent);

    engine->DrawFocused(target.get(), 0, 0, h, 1);
    EXPECT_EQ(CellColour(5, 2), 7) << "flags 1: the node without its objects";
    EXPECT_EQ(CellColour(0, 0), 11);
    EXPECT_EQ(parent->showchildren, 1);

    clear_to_color(target.get(), kUntouched);
    TraceCapture trace;
    engine->DrawFocused(target.get(), 0, 0, h, 2);
    EXPECT_EQ(trace.text, "parent-> tPX = 0, tPY = 0\n");
    EXPECT_EQ(CellColour(4, 2), 7) << "flags 2: the node alone, with its children";
    ExpectColours({{5, 2, 9}, {0, 0, kUntouched}, {1, 1, kUntouched}});

    // Flags 3 copies the whole surface, view or not, without children.
    parent->vieww = 1;
    clear_to_color(target.get(), kUntouched);
    engine->DrawFocused(target.get(), 1, 0, h, 3);
    ExpectColours({{5, 2, 7}, {6, 2, 7}, {7, 3, 7}, {8, 3, kUntouched}});

    clear_to_color(target.get(), kUntouched);
    engine->DrawFocused(target.get(), 0, 0, h, 4);
    engine->DrawFocused(target.get(), 0, 0, 1023, 2);
    engine->DrawFocused(target.get(), 0, 0, -1, 2);
    engine->DrawFocused(target.get(), 0, 0, 5000, 1);
    EXPECT_EQ(CellColour(5, 2), kUntouched) << "other flags and bad handles draw nothing";
}

TEST_F(Compositor, StrangeGeometryAndDeepNestingNeverReachOutsideAnyBitmap)
{
    Kobject* board = Floor();
    Kobject* wide = engine.AddObject(*board, "wide", 2, 2, 3, 1, 1);
    Fill(*wide, kFull, 5, 5);
    wide->vieww = 50;
    wide->viewh = 40;
    wide->viewx = -3;
    Kobject* negative = engine.AddObject(*board, "negative", 2, 2, 2, 6, 1);
    Fill(*negative, kFull, 6, 6);
    negative->vieww = -5;
    negative->width = -2;
    Kobject* far = engine.AddObject(*board, "far", 2, 2, 1, INT_MAX - 1, INT_MIN + 1);
    Fill(*far, kFull, 6, 6);
    far->viewx = INT_MAX;
    Kobject* lying = engine.AddObject(*board, "lying", 2, 2, 0, 0, 4);
    Fill(*lying, kFull, 6, 6);
    lying->width = 400;  // claims more cells than it holds
    Kobject* deep = board;  // and a nesting three hundred deep
    for (int depth = 0; depth < 300; ++depth) {
        deep = engine.AddObject(*deep, "n", 1, 1, 0, 0, 0);
        Fill(*deep, kFull, depth % 200 + 20, depth % 200 + 20);
    }
    Draw();
    EXPECT_EQ(CellColour(0, 0), 299 % 200 + 20);
    EXPECT_EQ(CellColour(1, 1), 3) << "the view starts 3 columns left of the grid";
    ExpectColours({{4, 1, 5}, {5, 1, 5}});
    EXPECT_EQ(CellColour(6, 1), 3) << "past the grid the node shows nothing";
    EXPECT_EQ(CellColour(6, 2), 3);
    engine->Draw(target.get(), INT_MIN, INT_MAX);
    engine->Draw(target.get(), INT_MAX, INT_MIN);
    KBitmap small = KMakeBitmap(20, 20);
    engine->Draw(small.get(), 0, 0);
    EXPECT_EQ(small->line[19][19], 0) << "the partial cell at the edge is left alone";
    EXPECT_EQ(small->line[15][15], 3);
    engine->Draw(nullptr, 0, 0);
}

// The compositing rules written out one pixel at a time, with none of the
// compositor's shortcuts (word-wide pixels, cells taken two at a time,
// skipped rows), to hold the compositor to on random scenes.
class SlowCompositor {
public:
    SlowCompositor(BITMAP* target, int cellsAcross, int cellsDown)
        : target_(target), across_(cellsAcross), down_(cellsDown),
          coverage_(static_cast<size_t>(cellsAcross * cellsDown), 0),
          marks_(static_cast<size_t>(64 * cellsAcross * cellsDown), 0)
    {
    }

    void Draw(Kobject& root)
    {
        for (size_t i = root.children.size(); i-- > 0;) {
            Node(*root.children[i], 0, 0, root.width, root.height, 0, 0, across_, down_);
        }
    }

    int Coverage(int x, int y) const { return coverage_[static_cast<size_t>(y * across_ + x)]; }
    int Mark(int px, int py) const { return marks_[static_cast<size_t>(py * across_ * 8 + px)]; }

private:
    static int KindOf(const KCell& cell)
    {
        if (cell.fg == 0 && cell.bg == 0) return 0;
        if ((cell.fg == 0) != (cell.bg == 0) || (cell.fg == -2 && cell.bg == 2)) return 1;
        return 2;
    }

    void Node(Kobject& n, int64_t ox, int64_t oy, int64_t pw, int64_t ph, int64_t cx, int64_t cy, int64_t cw,
              int64_t ch)
    {
        if (n.posx >= pw || n.posx + int64_t{n.width} <= 0 || n.posy >= ph || n.posy + int64_t{n.height} <= 0) return;
        int64_t sx = ox + n.posx, sy = oy + n.posy, w = n.vieww, h = n.viewh, srcx = n.viewx, srcy = n.viewy;
        if (n.posx < 0) sx -= n.posx, w += n.posx, srcx -= n.posx;
        if (n.posx + int64_t{n.vieww} > pw) w = std::min(w, pw - std::max<int64_t>(n.posx, 0));
        if (n.posy < 0) sy -= n.posy, h += n.posy, srcy -= n.posy;
        if (n.posy + int64_t{n.viewh} > ph) h = std::min(h, ph - std::max<int64_t>(n.posy, 0));
        if (sx < cx) w -= cx - sx, srcx += cx - sx, sx = cx;
        if (sy < cy) h -= cy - sy, srcy += cy - sy, sy = cy;
        w = std::min(w, cx + cw - sx);
        h = std::min(h, cy + ch - sy);
        if (w <= 0 || h <= 0) return;
        if (n.showchildren != 0) {
            for (const auto& child : n.children) {
                Node(*child, ox + n.posx - n.viewx, oy + n.posy - n.viewy, n.width, n.height, sx, sy, w, h);
            }
        }
        for (int64_t r = 0; r < h; ++r) Row(n, sx, sy + r, w, srcx, srcy + r);
    }

    // The node's cell at source (x, y) and where its pixels are, or nullptr
    // outside its grid.
    const KCell* Cell(Kobject& n, int64_t x, int64_t y)
    {
        if (x < 0 || y < 0 || x >= n.width || y >= n.height) return nullptr;
        KCell& cell = n.cells[static_cast<size_t>(y * n.width + x)];
        if (cell.drawn == 0) n.RenderCell(static_cast<int32_t>(x), static_cast<int32_t>(y));
        return &cell;
    }

    void Row(Kobject& n, int64_t sx, int64_t sy, int64_t w, int64_t srcx, int64_t srcy)
    {
        int64_t c = 0;
        while (c < w) {
            uint8_t& state = coverage_[static_cast<size_t>(sy * across_ + sx + c)];
            if (state == 1) {
                ++c;
                continue;
            }
            const KCell* cell = Cell(n, srcx + c, srcy);
            const int kind = cell == nullptr ? 0 : KindOf(*cell);
            if (state == 0 && kind == 2) {
                // An opaque run: cells follow while they stay fresh and keep
                // both colours away from 0.
                int64_t end = c + 1;
                while (end < w && coverage_[static_cast<size_t>(sy * across_ + sx + end)] == 0) {
                    const KCell* next = Cell(n, srcx + end, srcy);
                    if (next == nullptr || next->fg == 0 || next->bg == 0) break;
                    ++end;
                }
                for (; c < end; ++c) Pixels(n, sx + c, sy, srcx + c, srcy, 2, true);
                continue;
            }
            if (kind != 0) Pixels(n, sx + c, sy, srcx + c, srcy, kind, state == 0);
            ++c;
        }
    }

    void Pixels(Kobject& n, int64_t x, int64_t y, int64_t srcx, int64_t srcy, int kind, bool fresh)
    {
        BITMAP* surface = n.Surface();
        int taken = 0;
        for (int py = 0; py < 8; ++py) {
            for (int px = 0; px < 8; ++px) {
                uint8_t& mark = marks_[static_cast<size_t>(((y * 8 + py) * across_ + x) * 8 + px)];
                if (fresh) mark = 0;
                const uint8_t value = surface->line[srcy * 8 + py][srcx * 8 + px];
                if (mark == 0 && (kind == 2 || value != 0)) {
                    target_->line[y * 8 + py][x * 8 + px] = value;
                    mark = 1;
                }
                taken += mark;
            }
        }
        coverage_[static_cast<size_t>(y * across_ + x)] = kind == 2 || taken == 64 ? 1 : 2;
    }

    BITMAP* target_;
    int across_;
    int down_;
    std::vector<uint8_t> coverage_;
    std::vector<uint8_t> marks_;
};

// Random boards and objects of every kind of cell, nested, scrolled, cut
// and overlapping, drawn over what an earlier frame left: the compositor
// writes what the rules say, pixel for pixel, and leaves the same coverage.
// Draws random scenes with the compositor and with the rules written out,
// and compares every pixel and the coverage.
void ExpectRandomScenesFollowTheRules()
{
    uint32_t seed = 12345;
    const auto next = [&seed](int below) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<uint32_t>(below));
    };
    // Colour pairs: transparent, masked either way, the sheet's own colours,
    // opaque, and a colour that leaves the surface as it was.
    const std::array<std::pair<int, int>, 8> colours{
        {{0, 0}, {5, 0}, {0, 6}, {-2, 2}, {7, 8}, {-2, -2}, {11, 12}, {-1, 4}}};
    const auto fill = [&](Kobject& node) {
        for (int y = 0; y < node.height; ++y) {
            for (int x = 0; x < node.width; ++x) {
                const auto& [fg, bg] = colours[static_cast<size_t>(next(static_cast<int>(colours.size())))];
                node.SetCell(x, y, 20 + next(8), fg, bg, 0);
            }
        }
    };
    const auto place = [&](Kobject& node) {
        node.posx = next(22) - 4;
        node.posy = next(16) - 3;
    };
    for (int scene = 0; scene < 40; ++scene) {
        TestEngine world;
        // Glyphs of random pixels, with clear and solid rows.
        for (int chr = 20; chr < 28; ++chr) {
            for (int y = 0; y < 8; ++y) {
                const int row = next(4);
                for (int x = 0; x < 8; ++x) {
                    world->vFont->SetGlyphPixel(chr, x, y, row == 0 ? 0 : row == 1 ? 9 : next(2) * (1 + next(200)));
                }
            }
        }
        world->SetScreenSize(17, 11);
        std::vector<Kobject*> nodes;
        for (int b = 0; b < 1 + next(3); ++b) {
            Kobject* board = world.AddBoard("board", 17 + next(4), 11 + next(3), b);
            fill(*board);
            nodes.push_back(board);
        }
        for (int o = 0; o < 30; ++o) {
            Kobject& parent = *nodes[static_cast<size_t>(next(static_cast<int>(nodes.size())))];
            Kobject* object = world.AddObject(parent, "o", 1 + next(6), 1 + next(4), next(5), 0, 0);
            fill(*object);
            place(*object);
            if (next(6) == 0) object->viewx = next(3) - 1, object->vieww = next(7);
            if (next(8) == 0) object->showchildren = 0;
            nodes.push_back(object);
        }
        KBitmap shown = KMakeBitmap(17 * 8, 11 * 8);
        for (int y = 0; y < shown->h; ++y) {
            for (int x = 0; x < shown->w; ++x) shown->line[y][x] = static_cast<uint8_t>(next(256));
        }
        world->Draw(shown.get(), 0, 0);
        // The next frame: things moved and changed over the last one's picture.
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (next(3) == 0 && nodes[i]->parent != world->vMain.get()) place(*nodes[i]);
            if (next(4) == 0) fill(*nodes[i]);
        }
        KBitmap expected = KMakeBitmap(17 * 8, 11 * 8);
        blit(shown.get(), expected.get(), 0, 0, 0, 0, shown->w, shown->h);
        world->Draw(shown.get(), 0, 0);
        SlowCompositor slow(expected.get(), 17, 11);
        slow.Draw(*world->vMain);
        int differ = 0;
        for (int y = 0; y < shown->h; ++y) {
            for (int x = 0; x < shown->w; ++x) differ += shown->line[y][x] != expected->line[y][x] ? 1 : 0;
        }
        EXPECT_EQ(differ, 0) << "scene " << scene;
        for (int y = 0; y < 11; ++y) {
            for (int x = 0; x < 17; ++x) {
                ASSERT_EQ(world->vClipBuffer->line[y][x], slow.Coverage(x, y)) << "scene " << scene << " " << x << "," << y;
                // A partly covered cell's marks say which of its pixels are taken.
                for (int p = 0; p < 64 && slow.Coverage(x, y) == 2; ++p) {
                    const int px = x * 8 + p % 8;
                    const int py = y * 8 + p / 8;
                    ASSERT_EQ(world->vSubClipBuffer->line[py][px], slow.Mark(px, py)) << "scene " << scene << " " << px << "," << py;
                }
            }
        }
    }
}

// Every instruction set the drawing is built for and this processor runs
// draws the same pixels.
TEST(CompositorRules, RandomScenesMatchTheRulesPixelForPixel)
{
    const KDrawCode widest = KCurrentDrawCode();
    int drawn = 0;
    for (int code = 0; code < kDrawCodeCount; ++code) {
        if (!KUseDrawCode(static_cast<KDrawCode>(code))) continue;
        SCOPED_TRACE(KDrawCodeName(static_cast<KDrawCode>(code)));
        ExpectRandomScenesFollowTheRules();
        ++drawn;
    }
    KUseDrawCode(widest);
    EXPECT_GE(drawn, 1);
}

}  // namespace

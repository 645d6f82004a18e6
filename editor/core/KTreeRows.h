#pragma once
// The world tree pane's list: one row per node, boards in the world's
// order with their subtrees depth first, 10 pixels a row. The hit test and
// the drawing walk the same order, so a click selects what is drawn there.

#include <cstdint>
#include <string>
#include <unordered_set>

struct BITMAP;
class Kinterface;
class Kobject;

inline constexpr int kTreeRowPixels = 10;
inline constexpr int kTreeScrollPixels = 10;   // one step of either offset
inline constexpr int kFirstRowY = 15;          // a y inside the first row at offset 0
inline constexpr int kWheelRows = 5;
inline constexpr int kBoardDashes = 188;

// Boards folded in the pane, by id: their objects get no rows. A way of
// looking, kept by the pane and not in the world.
using KTreeFolds = std::unordered_set<int32_t>;

// A board row's first two characters are its fold marker: "--" open, "+-"
// folded; a click on them folds or unfolds the board.
inline constexpr int kFoldMarkerPixels = 16;

struct KTreeRowStyle {
    int fg = 255;
    int bg = -1;  // -1 leaves the pane's background
};

// The text of node's row and its colours.
std::string KTreeRowText(const Kobject& node, int32_t currentNode, int32_t currentBoard, bool folded = false);
KTreeRowStyle KTreeRowColours(const Kobject& node, int32_t currentNode);

// The id of the node whose row holds pixel y at the given row offset, or -1
// (the title line, a gap between rows, or past the last row).
int32_t KTreeHitTest(const Kinterface& engine, int y, int rowOffset, const KTreeFolds* folds = nullptr);
// Whether pixel x falls on a board row's fold marker.
bool KTreeMarkerHit(int x, int columnOffset);

// Number of rows (nodes below the root, less those inside folded boards).
int64_t KTreeRowCount(const Kinterface& engine, const KTreeFolds* folds = nullptr);
// The 0-based row of the node of id, or -1 when it has none (unknown, or
// inside a folded board).
int64_t KTreeRowOf(const Kinterface& engine, int32_t id, const KTreeFolds* folds = nullptr);
// The id of the node on row, or -1.
int32_t KTreeNodeAtRow(const Kinterface& engine, int64_t row, const KTreeFolds* folds = nullptr);
// Rows whose text fits wholly in a pane of this height below the title.
int KTreeVisibleRows(int paneHeight);
// The row offset nearest to rowOffset that shows row wholly.
int KTreeOffsetShowing(int64_t row, int rowOffset, int visibleRows);

// Draws the list into target (cleared first) with the world's font; only the
// rows that fall inside target are formatted and drawn. Returns the rows drawn.
int KDrawTree(BITMAP* target, Kinterface& engine, int32_t currentNode, int32_t currentBoard, int columnOffset,
              int rowOffset, const KTreeFolds* folds = nullptr);

// Scrolling rules shared by the wheel and Ctrl-drag: offsets never go below 0.
int KWheelRowOffset(int rowOffset, int delta);
int KDragOffset(int startOffset, int startPixel, int nowPixel);

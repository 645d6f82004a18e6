#pragma once
// The world tree pane's list: one row per node, boards in the world's
// order with their subtrees depth first, 10 pixels a row. The hit test and
// the drawing walk the same order, so a click selects what is drawn there.

#include <cstdint>
#include <string>

struct BITMAP;
class Kinterface;
class Kobject;

inline constexpr int kTreeRowPixels = 10;
inline constexpr int kTreeScrollPixels = 10;   // one step of either offset
inline constexpr int kFirstRowY = 15;          // a y inside the first row at offset 0
inline constexpr int kWheelRows = 5;
inline constexpr int kBoardDashes = 188;

struct KTreeRowStyle {
    int fg = 255;
    int bg = -1;  // -1 leaves the pane's background
};

// The text of node's row and its colours.
std::string KTreeRowText(const Kobject& node, int32_t currentNode, int32_t currentBoard);
KTreeRowStyle KTreeRowColours(const Kobject& node, int32_t currentNode);

// The id of the node whose row holds pixel y at the given row offset, or -1
// (the title line, a gap between rows, or past the last row).
int32_t KTreeHitTest(const Kinterface& engine, int y, int rowOffset);

// Number of rows (nodes below the root).
int64_t KTreeRowCount(const Kinterface& engine);

// Draws the list into target (cleared first) with the world's font; only the
// rows that fall inside target are formatted and drawn. Returns the rows drawn.
int KDrawTree(BITMAP* target, Kinterface& engine, int32_t currentNode, int32_t currentBoard, int columnOffset,
              int rowOffset);

// Scrolling rules shared by the wheel and Ctrl-drag: offsets never go below 0.
int KWheelRowOffset(int rowOffset, int delta);
int KDragOffset(int startOffset, int startPixel, int nowPixel);

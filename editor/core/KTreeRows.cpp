#include "KTreeRows.h"

#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <vector>

namespace {

// Depth-first visit of the rows in drawing order, with each node's depth
// (0 for boards). The visitor returns false to stop. Iterative, so a world
// nested as deep as a file allows cannot overflow the stack. The objects of
// folded boards are passed over.
template <typename Visit>
void WalkRows(const Kinterface& engine, const KTreeFolds* folds, Visit&& visit)
{
    struct Frame {
        const Kobject* node;
        size_t next;
    };
    std::vector<Frame> stack{{engine.vMain.get(), 0}};
    int64_t row = 0;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->children.size()) {
            stack.pop_back();
            continue;
        }
        const Kobject& child = *top.node->children[top.next++];
        const int depth = static_cast<int>(stack.size()) - 1;
        if (!visit(child, depth, row++)) return;
        if (depth == 0 && folds != nullptr && folds->count(child.id) != 0) continue;
        stack.push_back(Frame{&child, 0});
    }
}

std::string Label(const Kobject& node, int32_t currentBoard)
{
    std::string label = node.hiddenmark != 0 ? "[" + node.name + "]" : node.name;
    if (node.id == currentBoard) label += " *";
    return label;
}

// Row k's text starts at this y (the title is row -1).
int64_t RowTop(int64_t row, int rowOffset) { return 3 + kTreeRowPixels * (row + 1) - int64_t{kTreeScrollPixels} * rowOffset; }

}  // namespace

std::string KTreeRowText(const Kobject& node, int32_t currentNode, int32_t currentBoard, bool folded)
{
    const std::string label = Label(node, currentBoard);
    const bool current = node.id == currentNode;
    if (node.IsBoard()) {
        std::string text = (folded ? "+- " : "-- ") + label + " ";
        if (current) text += "z = " + std::to_string(node.posz) + " ";
        return text + std::string(kBoardDashes, '-');
    }
    return current ? label + " : z = " + std::to_string(node.posz) : label;
}

KTreeRowStyle KTreeRowColours(const Kobject& node, int32_t currentNode)
{
    if (node.id == currentNode) return KTreeRowStyle{15, 0};
    if (node.IsBoard()) return KTreeRowStyle{15, 1};
    return KTreeRowStyle{255, -1};
}

int32_t KTreeHitTest(const Kinterface& engine, int y, int rowOffset, const KTreeFolds* folds)
{
    // Row k is hit for 3 - r < y < 11 - r with r = 10 * offset - 10 - 10 * k.
    const int64_t t = int64_t{y} - 13 + int64_t{kTreeScrollPixels} * rowOffset;
    if (t <= 0 || (t - 1) % kTreeRowPixels >= 7) return -1;
    return KTreeNodeAtRow(engine, (t - 1) / kTreeRowPixels, folds);
}

bool KTreeMarkerHit(int x, int columnOffset)
{
    const int left = 3 - kTreeScrollPixels * columnOffset;
    return x >= left && x < left + kFoldMarkerPixels;
}

int64_t KTreeRowCount(const Kinterface& engine, const KTreeFolds* folds)
{
    int64_t count = 0;
    WalkRows(engine, folds, [&](const Kobject&, int, int64_t) {
        ++count;
        return true;
    });
    return count;
}

int64_t KTreeRowOf(const Kinterface& engine, int32_t id, const KTreeFolds* folds)
{
    int64_t found = -1;
    WalkRows(engine, folds, [&](const Kobject& node, int, int64_t row) {
        if (node.id != id) return true;
        found = row;
        return false;
    });
    return found;
}

int32_t KTreeNodeAtRow(const Kinterface& engine, int64_t wanted, const KTreeFolds* folds)
{
    int32_t found = -1;
    if (wanted < 0) return found;
    WalkRows(engine, folds, [&](const Kobject& node, int, int64_t row) {
        if (row != wanted) return true;
        found = node.id;
        return false;
    });
    return found;
}

int KTreeVisibleRows(int paneHeight)
{
    // Row k - offset = 0 starts at y 13; a row's text is 8 pixels high.
    return std::max(1, (paneHeight - 13 - 8) / kTreeRowPixels + 1);
}

int KTreeOffsetShowing(int64_t row, int rowOffset, int visibleRows)
{
    if (row < 0) return rowOffset;
    if (row < rowOffset) return static_cast<int>(row);
    if (row > int64_t{rowOffset} + visibleRows - 1) return static_cast<int>(row - visibleRows + 1);
    return rowOffset;
}

int KDrawTree(BITMAP* target, Kinterface& engine, int32_t currentNode, int32_t currentBoard, int columnOffset,
              int rowOffset, const KTreeFolds* folds)
{
    if (target == nullptr || !engine.vFont) return 0;
    clear_to_color(target, 15);
    Kfont& glyphs = *engine.vFont;
    const int x0 = 3 - kTreeScrollPixels * columnOffset;
    glyphs.DrawTextAtPixel(target, "Board / Object List", 255, -1, x0, 3 - kTreeScrollPixels * rowOffset);
    int drawn = 0;
    WalkRows(engine, folds, [&](const Kobject& node, int depth, int64_t row) {
        const int64_t top = RowTop(row, rowOffset);
        if (top >= target->h) return false;
        if (top + 8 <= 0) return true;
        const KTreeRowStyle style = KTreeRowColours(node, currentNode);
        const bool folded = depth == 0 && folds != nullptr && folds->count(node.id) != 0;
        glyphs.DrawTextAtPixel(target, KTreeRowText(node, currentNode, currentBoard, folded), style.fg, style.bg,
                        x0 + kTreeRowPixels * depth, static_cast<int32_t>(top));
        ++drawn;
        return true;
    });
    return drawn;
}

int KWheelRowOffset(int rowOffset, int delta)
{
    if (delta < 0) return std::max(0, rowOffset - kWheelRows);
    if (delta > 0) return rowOffset + kWheelRows;
    return rowOffset;
}

int KDragOffset(int startOffset, int startPixel, int nowPixel)
{
    const double moved = (nowPixel - startPixel) * 0.1;
    return std::max(0, static_cast<int>(startOffset - moved));
}

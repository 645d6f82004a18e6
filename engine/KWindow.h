#pragma once
// View windows as rectangles of cells, wide enough that no sum overflows:
// where a node's window lies in its parent's grid or on the screen, and
// how two windows meet.

#include "Kobject.h"

#include <cstdint>

struct KWindow {
    int64_t x, y, w, h;
};

// The node's window in its parent's grid, moved by (dx, dy).
inline KWindow KWindowOf(const Kobject& node, int64_t dx = 0, int64_t dy = 0)
{
    return KWindow{int64_t{node.posx} + dx, int64_t{node.posy} + dy, node.vieww, node.viewh};
}

// The node's window on the screen grid.
inline KWindow KScreenWindowOf(const Kobject& node)
{
    int32_t x = 0;
    int32_t y = 0;
    node.WindowOrigin(x, y);
    return KWindow{x, y, node.vieww, node.viewh};
}

// Edges that only touch do not overlap.
inline bool KOverlaps(const KWindow& a, const KWindow& b)
{
    return b.x < a.x + a.w && a.x < b.x + b.w && b.y < a.y + a.h && a.y < b.y + b.h;
}

inline bool KLiesWithin(const KWindow& inner, const KWindow& outer)
{
    return outer.x <= inner.x && inner.x + inner.w <= outer.x + outer.w && outer.y <= inner.y &&
           inner.y + inner.h <= outer.y + outer.h;
}

#include "KChildGrid.h"

#include "KWindow.h"
#include "Kobject.h"

#include <algorithm>

namespace {

// Enough buckets that a board of 128 x 96 cells gets buckets of 2 x 2, few
// enough that a parent of 4,096 x 4,096 cells costs little memory.
constexpr int64_t kMaxBuckets = 4096;

int32_t Clamp(int64_t value, int32_t last)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, last));
}

}  // namespace

KChildGrid::KChildGrid(const Kobject& parent)
{
    const int64_t width = std::max(parent.width, 1);
    const int64_t height = std::max(parent.height, 1);
    while (((width >> shift_) + 1) * ((height >> shift_) + 1) > kMaxBuckets) ++shift_;
    cols_ = static_cast<int32_t>((width >> shift_) + 1);
    rows_ = static_cast<int32_t>((height >> shift_) + 1);
    buckets_.resize(static_cast<size_t>(cols_) * static_cast<size_t>(rows_));
    for (const auto& child : parent.children) {
        child->gridSlot = KGridSlot{};
        File(*child);
    }
}

// The buckets a run of cells covers. An empty or negative run still covers
// the cells between its ends, so that every window that can overlap it
// (whatever the signs of the sizes) shares a bucket with it.
KChildGrid::Span KChildGrid::Columns(int64_t x, int64_t w) const
{
    const int64_t low = std::min(x, x + w);
    const int64_t high = std::max(x, x + w - 1);
    return Span{Clamp(low >> shift_, cols_ - 1), Clamp(high >> shift_, cols_ - 1)};
}

KChildGrid::Span KChildGrid::Rows(int64_t y, int64_t h) const
{
    const int64_t low = std::min(y, y + h);
    const int64_t high = std::max(y, y + h - 1);
    return Span{Clamp(low >> shift_, rows_ - 1), Clamp(high >> shift_, rows_ - 1)};
}

void KChildGrid::File(Kobject& child)
{
    const Span cols = Columns(child.posx, child.vieww);
    const Span rows = Rows(child.posy, child.viewh);
    for (int32_t row = rows.first; row <= rows.last; ++row) {
        for (int32_t col = cols.first; col <= cols.last; ++col) Bucket(col, row).push_back(&child);
    }
    KGridSlot& slot = child.gridSlot;
    slot.firstCol = cols.first;
    slot.lastCol = cols.last;
    slot.firstRow = rows.first;
    slot.lastRow = rows.last;
    // A child from another parent's grid may carry that grid's mark of a
    // query this grid has yet to make.
    slot.seen = 0;
}

void KChildGrid::Unfile(Kobject& child)
{
    KGridSlot& slot = child.gridSlot;
    for (int32_t row = slot.firstRow; row <= slot.lastRow; ++row) {
        for (int32_t col = slot.firstCol; col <= slot.lastCol; ++col) {
            std::vector<Kobject*>& bucket = Bucket(col, row);
            const auto found = std::find(bucket.begin(), bucket.end(), &child);
            if (found == bucket.end()) continue;
            *found = bucket.back();
            bucket.pop_back();
        }
    }
    slot.lastCol = slot.firstCol - 1;
    slot.lastRow = slot.firstRow - 1;
}

void KChildGrid::Refile(Kobject& child)
{
    const Span cols = Columns(child.posx, child.vieww);
    const Span rows = Rows(child.posy, child.viewh);
    const KGridSlot& slot = child.gridSlot;
    // Most steps stay inside the buckets the child already covers.
    if (cols.first == slot.firstCol && cols.last == slot.lastCol && rows.first == slot.firstRow &&
        rows.last == slot.lastRow) {
        return;
    }
    Unfile(child);
    File(child);
}

void KChildGrid::CatchUp(const Kobject& parent, int64_t tick)
{
    if (tick == caughtUpTick_) return;
    caughtUpTick_ = tick;
    for (const auto& child : parent.children) Refile(*child);
}

void KChildGrid::Renumber(const Kobject& parent)
{
    int32_t order = 0;
    for (const auto& child : parent.children) child->gridSlot.order = order++;
    orderFresh_ = true;
}

void KChildGrid::Meeting(const Kobject& parent, const KWindow& window, std::vector<Kobject*>& out, int64_t& looked)
{
    out.clear();
    if (++query_ == 0) {
        for (const auto& child : parent.children) child->gridSlot.seen = 0;
        query_ = 1;
    }
    const Span cols = Columns(window.x, window.w);
    const Span rows = Rows(window.y, window.h);
    // Within one bucket every child is there once: no marks needed.
    const bool single = cols.first == cols.last && rows.first == rows.last;
    for (int32_t row = rows.first; row <= rows.last; ++row) {
        for (int32_t col = cols.first; col <= cols.last; ++col) {
            for (Kobject* child : Bucket(col, row)) {
                ++looked;
                if (!single) {
                    if (child->gridSlot.seen == query_) continue;
                    child->gridSlot.seen = query_;
                }
                if (KOverlaps(window, KWindowOf(*child))) out.push_back(child);
            }
        }
    }
    if (out.size() < 2) return;
    if (!orderFresh_) {
        // Numbering the list anew visits every child: part of the query's work.
        Renumber(parent);
        looked += static_cast<int64_t>(parent.children.size());
    }
    std::sort(out.begin(), out.end(),
              [](const Kobject* a, const Kobject* b) { return a->gridSlot.order < b->gridSlot.order; });
}

#pragma once
// A parent's children filed by the cells their windows cover, so that a
// move among thousands of siblings looks only at the few near it. The grid
// is made when a crowded parent is first asked, and from then on every
// change of the parent's list or of a child's window files the child anew
// (Kobject does it in Link, UnLink, Spawn, Erase, Create, Resize and
// Refile). Children outside the parent's surface go to its edge buckets,
// so no window is ever missed, only looked at more often.

#include <cstddef>
#include <cstdint>
#include <vector>

class Kobject;
struct KWindow;

// What the grid keeps in each child.
struct KGridSlot {
    // The buckets the child is filed in; none while lastCol < firstCol.
    int32_t firstCol = 0;
    int32_t lastCol = -1;
    int32_t firstRow = 0;
    int32_t lastRow = -1;
    // The child's place in its parent's list, renumbered when the list changed.
    int32_t order = 0;
    // The last query that found it, so a child in several buckets is taken once.
    uint32_t seen = 0;
};

class KChildGrid {
public:
    // Files every child of parent.
    explicit KChildGrid(const Kobject& parent);

    void File(Kobject& child);
    void Unfile(Kobject& child);
    // The child's window changed: moves it to the buckets it covers now.
    void Refile(Kobject& child);
    // A child came or went: list positions are renumbered before the next query.
    void ListChanged() { orderFresh_ = false; }
    // Files anew every child whose window changed unannounced, once per
    // tick: a writer that forgot to call Refile is wrong for that tick only.
    void CatchUp(const Kobject& parent, int64_t tick);

    // The children of parent whose windows overlap window, in list order;
    // looked counts the entries looked at (the work of the query), the
    // children numbered anew after a change of the list included.
    void Meeting(const Kobject& parent, const KWindow& window, std::vector<Kobject*>& out, int64_t& looked);

private:
    struct Span {
        int32_t first, last;
    };
    Span Columns(int64_t x, int64_t w) const;
    Span Rows(int64_t y, int64_t h) const;
    std::vector<Kobject*>& Bucket(int32_t col, int32_t row)
    {
        return buckets_[static_cast<size_t>(row) * static_cast<size_t>(cols_) + static_cast<size_t>(col)];
    }
    void Renumber(const Kobject& parent);

    int shift_ = 1;
    int32_t cols_ = 1;
    int32_t rows_ = 1;
    std::vector<std::vector<Kobject*>> buckets_;
    uint32_t query_ = 0;
    bool orderFresh_ = false;
    int64_t caughtUpTick_ = -1;
};

// Parents with at least this many children get a grid (tests lower it to
// put the grid under small worlds).
inline constexpr size_t kChildGridFrom = 24;

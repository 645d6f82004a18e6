// The compositor: draws the world tree front to back into one 8-bit bitmap,
// writing each screen pixel at most once. vClipBuffer records per screen
// cell whether it is free (0), covered (1) or partly covered (2);
// vSubClipBuffer records per pixel which pixels of a partly covered cell are
// taken.

#include "KTrace.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kCellPixels = 8;
// Nodes nested deeper than this are not drawn, which bounds the recursion
// whatever a world holds.
constexpr int kMaxNesting = 2048;

// Opaque runs of up to this many cells are copied without memcpy.
constexpr int64_t kShortRun = 4;

constexpr uint8_t kFree = 0;
constexpr uint8_t kCovered = 1;
constexpr uint8_t kPartly = 2;

enum class CellKind : uint8_t { Transparent = 0, Masked = 1, Opaque = 2 };

CellKind KindOf(const KCell& cell)
{
    if (cell.fg == 0 && cell.bg == 0) return CellKind::Transparent;
    if ((cell.fg == 0) != (cell.bg == 0) || (cell.fg == -2 && cell.bg == 2)) return CellKind::Masked;
    return CellKind::Opaque;
}

// An opaque run goes on while the cells keep both colours away from 0.
bool ExtendsRun(const KCell& cell) { return cell.fg != 0 && cell.bg != 0; }

struct Rect {
    int64_t x = 0;
    int64_t y = 0;
    int64_t w = 0;
    int64_t h = 0;
    bool Empty() const { return w <= 0 || h <= 0; }
};

Rect Intersect(const Rect& a, const Rect& b)
{
    const int64_t left = std::max(a.x, b.x);
    const int64_t top = std::max(a.y, b.y);
    const int64_t right = std::min(a.x + a.w, b.x + b.w);
    const int64_t bottom = std::min(a.y + a.h, b.y + b.h);
    return Rect{left, top, right - left, bottom - top};
}

// A cell's pixel row, or the rows of two cells side by side, as one vector
// of bytes: the compiler keeps it in a vector register, so each operation
// below decides eight or sixteen pixels at once.
using OneCell = uint8_t __attribute__((vector_size(8)));
using TwoCells = uint8_t __attribute__((vector_size(16)));

template <typename Pixels>
Pixels Load(const uint8_t* at)
{
    Pixels pixels;
    std::memcpy(&pixels, at, sizeof pixels);
    return pixels;
}

template <typename Pixels>
void Store(uint8_t* at, Pixels pixels)
{
    std::memcpy(at, &pixels, sizeof pixels);
}

// 0xff in every byte that is 0, 0 elsewhere.
template <typename Pixels>
Pixels Zero(Pixels pixels)
{
    return reinterpret_cast<Pixels>(pixels == 0);
}

// Marks are bytes of 0 (free) or 1 (taken); this gives 0xff where a pixel is
// free and 0 where it is taken.
template <typename Pixels>
Pixels Free(Pixels marks)
{
    return marks - 1;
}

// Marks of 1 where a pixel is drawn, from 0xff where it is left clear.
template <typename Pixels>
Pixels DrawnMarks(Pixels clear)
{
    return clear + 1;
}

// yes where where is 0xff, no where it is 0.
template <typename Pixels>
Pixels Select(Pixels where, Pixels yes, Pixels no)
{
    return no ^ ((no ^ yes) & where);
}

// Whether the cell's eight bytes of the eight rows folded together with &
// are all 0xff, for the cell at index within the vector.
template <typename Pixels>
bool AllTaken(Pixels folded, size_t index)
{
    uint64_t word = 0;
    std::memcpy(&word, reinterpret_cast<const uint8_t*>(&folded) + index * kCellPixels, sizeof word);
    return word == ~uint64_t{0};
}

template <typename Pixels>
constexpr size_t kCellsIn = sizeof(Pixels) / kCellPixels;

// The distance in bytes between a bitmap's pixel rows, or 0 when its rows
// are not evenly spaced (memory bitmaps and their sub-bitmaps always are).
ptrdiff_t RowPitch(const BITMAP* bitmap)
{
    if (bitmap->h < 2) return bitmap->w;
    const ptrdiff_t pitch = bitmap->line[1] - bitmap->line[0];
    return bitmap->line[bitmap->h - 1] - bitmap->line[0] == pitch * (bitmap->h - 1) ? pitch : 0;
}

// Where one row of a node's cells goes: the screen row, the node's source
// row, and the first pixel row of each bitmap under it with the distance to
// the next. The pixel work copies these into locals first: stores through
// byte pointers may alias any memory, so fields read in the loops would be
// read again after every store.
struct RowJob {
    Kobject* node = nullptr;
    KCell* cells = nullptr;     // the node's cells of the source row, from column srcX
    uint8_t* coverage = nullptr;  // vClipBuffer cells of the screen row, from column sx
    uint8_t* target = nullptr;
    uint8_t* marks = nullptr;
    const uint8_t* surface = nullptr;
    ptrdiff_t targetPitch = 0;
    ptrdiff_t marksPitch = 0;
    ptrdiff_t surfacePitch = 0;
    int64_t srcX = 0;
    int64_t srcY = 0;
    int64_t screenY = 0;
};

// The pixel rows under the cells of a row job from one cell on, held in
// locals while the pixel work runs.
struct CellRows {
    uint8_t* target;
    uint8_t* marks;
    const uint8_t* surface;
    ptrdiff_t targetPitch;
    ptrdiff_t marksPitch;
    ptrdiff_t surfacePitch;

    void Next()
    {
        target += targetPitch;
        marks += marksPitch;
        surface += surfacePitch;
    }
};

CellRows RowsAt(const RowJob& job, int64_t c)
{
    const int64_t at = c * kCellPixels;
    return CellRows{job.target + at, job.marks + at, job.surface + at, job.targetPitch, job.marksPitch, job.surfacePitch};
}

class Compositor {
public:
    Compositor(Kinterface& engine, BITMAP* target)
        : target_(target), coverage_(engine.vClipBuffer.get()), marks_(engine.vSubClipBuffer.get()),
          editor_(engine.IsEditor()), targetPitch_(target != nullptr ? RowPitch(target) : 0),
          marksPitch_(marks_ != nullptr ? RowPitch(marks_) : 0)
    {
    }

    // False when there is nothing to draw into.
    bool Ready() const
    {
        return target_ != nullptr && coverage_ != nullptr && marks_ != nullptr && is_memory_bitmap(target_) &&
               bitmap_color_depth(target_) == 8 && targetPitch_ > 0 && marksPitch_ > 0;
    }

    // The screen in cells: the root's size, cut to what the target and the
    // coverage buffers hold.
    Rect Screen(const Kobject& root) const
    {
        const int64_t w = std::min({int64_t{root.width}, int64_t{coverage_->w}, int64_t{marks_->w / kCellPixels},
                                    int64_t{target_->w / kCellPixels}});
        const int64_t h = std::min({int64_t{root.height}, int64_t{coverage_->h}, int64_t{marks_->h / kCellPixels},
                                    int64_t{target_->h / kCellPixels}});
        return Rect{0, 0, std::max<int64_t>(w, 0), std::max<int64_t>(h, 0)};
    }

    void ClearCoverage(const Kobject& root)
    {
        clear_to_color(coverage_, kFree);
        const Rect screen = Screen(root);
        screenW_ = screen.w;
        screenH_ = screen.h;
        coveredInRow_.assign(static_cast<size_t>(screen.h), 0);
        fullRows_ = 0;
    }

    void DrawBoards(Kobject& root, int64_t vx, int64_t vy)
    {
        const Rect screen = Screen(root);
        const int64_t pw = int64_t{root.width} - vx;
        const int64_t ph = int64_t{root.height} - vy;
        const size_t count = root.children.size();
        for (size_t i = 0; i < count; ++i) {
            // The runner starts at the frontmost board (the last); the editor
            // goes first to last and leaves out hidden boards.
            Kobject& board = *root.children[editor_ ? i : count - 1 - i];
            if (editor_ && board.hiddenmark != 0) continue;
            CompositeNode(board, vx, vy, pw, ph, screen, 0);
        }
    }

    // Draws node with its parent's grid origin on screen at (ox, oy), the
    // parent's grid pw x ph cells, and everything cut to clip.
    void CompositeNode(Kobject& node, int64_t ox, int64_t oy, int64_t pw, int64_t ph, const Rect& clip, int depth)
    {
        // Once every screen cell is covered, nothing behind can show.
        if (depth > kMaxNesting || fullRows_ >= screenH_) return;
        const int64_t posx = node.posx;
        const int64_t posy = node.posy;
        if (posx >= pw || posx + node.width <= 0 || posy >= ph || posy + node.height <= 0) return;

        // The view window on screen, cut to the parent's grid and to the clip.
        const int64_t left = std::max<int64_t>(posx, 0);
        const int64_t top = std::max<int64_t>(posy, 0);
        const int64_t right = std::min<int64_t>(posx + node.vieww, pw);
        const int64_t bottom = std::min<int64_t>(posy + node.viewh, ph);
        const Rect inParent{ox + left, oy + top, right - left, bottom - top};
        const Rect window = Intersect(inParent, clip);
        if (window.Empty()) return;
        const int64_t srcX = int64_t{node.viewx} + (left - posx) + (window.x - inParent.x);
        const int64_t srcY = int64_t{node.viewy} + (top - posy) + (window.y - inParent.y);

        // Children stand in front of their parent and inside its window.
        if (node.showchildren != 0) {
            const int64_t childOx = ox + posx - node.viewx;
            const int64_t childOy = oy + posy - node.viewy;
            for (size_t i = 0; i < node.children.size(); ++i) {
                Kobject& child = *node.children[i];
                if (editor_ && child.hiddenmark != 0) continue;
                CompositeNode(child, childOx, childOy, node.width, node.height, window, depth + 1);
            }
        }
        DrawOwnCells(node, window, srcX, srcY);
    }

    // The focused view of the editor: one node's whole surface as it is.
    void CopySurface(Kobject& node, int64_t px, int64_t py)
    {
        BITMAP* surface = node.Surface();
        if (surface == nullptr) return;
        node.RenderPending();
        const int64_t limit = int64_t{1} << 30;
        if (px < -limit || px > limit || py < -limit || py > limit) return;
        blit(surface, target_, 0, 0, static_cast<int>(px), static_cast<int>(py), surface->w, surface->h);
    }

private:
    void DrawOwnCells(Kobject& node, Rect window, int64_t srcX, int64_t srcY)
    {
        BITMAP* surface = node.Surface();
        if (surface == nullptr) return;
        const ptrdiff_t surfacePitch = RowPitch(surface);
        if (surfacePitch <= 0) return;
        // Only cells of the node's own grid are drawn; a view reaching past
        // the grid shows nothing of the node there.
        const int64_t gridW = std::min<int64_t>(node.width, surface->w / kCellPixels);
        const int64_t gridH = std::min<int64_t>(node.height, surface->h / kCellPixels);
        if (static_cast<int64_t>(node.cells.size()) < int64_t{node.width} * node.height) return;
        const Rect grid{window.x - srcX, window.y - srcY, gridW, gridH};
        const Rect shown = Intersect(window, grid);
        if (shown.Empty()) return;
        srcX += shown.x - window.x;
        srcY += shown.y - window.y;
        RowJob job;
        job.node = &node;
        job.srcX = srcX;
        job.targetPitch = targetPitch_;
        job.marksPitch = marksPitch_;
        job.surfacePitch = surfacePitch;
        for (int64_t r = 0; r < shown.h; ++r) DrawRow(job, surface, shown.y + r, shown.x, shown.w, srcY + r);
    }

    void DrawRow(RowJob& job, BITMAP* surface, int64_t screenY, int64_t sx, int64_t w, int64_t srcY)
    {
        if (coveredInRow_[static_cast<size_t>(screenY)] >= screenW_) return;
        job.screenY = screenY;
        job.srcY = srcY;
        job.cells = &job.node->cells[static_cast<size_t>(srcY * job.node->width + job.srcX)];
        job.coverage = coverage_->line[screenY] + sx;
        job.target = target_->line[screenY * kCellPixels] + sx * kCellPixels;
        job.marks = marks_->line[screenY * kCellPixels] + sx * kCellPixels;
        job.surface = surface->line[srcY * kCellPixels] + job.srcX * kCellPixels;
        // One pass over the row's cells: a cell is drawn as its screen cell's
        // state and its own kind say, and a neighbour of the same kind on a
        // screen cell in the same state is drawn with it.
        int64_t c = 0;
        while (c < w) {
            const uint8_t state = job.coverage[c];
            if (state == kCovered) {
                ++c;
                continue;
            }
            const CellKind kind = KindOf(job.cells[c]);
            if (kind == CellKind::Transparent) {
                ++c;
                continue;
            }
            if (state == kFree && kind == CellKind::Opaque) {
                c = OpaqueRun(job, c, w);
                continue;
            }
            Render(job, c);
            const bool pair = c + 1 < w && job.coverage[c + 1] == state && KindOf(job.cells[c + 1]) == kind;
            if (pair) Render(job, c + 1);
            if (state == kFree) {
                pair ? MaskedOnFresh<TwoCells>(job, c) : MaskedOnFresh<OneCell>(job, c);
            } else if (kind == CellKind::Masked) {
                pair ? MaskedUnderPartial<TwoCells>(job, c) : MaskedUnderPartial<OneCell>(job, c);
            } else {
                pair ? OpaqueUnderPartial<TwoCells>(job, c) : OpaqueUnderPartial<OneCell>(job, c);
            }
            c += pair ? 2 : 1;
        }
    }

    void Render(RowJob& job, int64_t c)
    {
        // Cells written without their glyph (all of the runner's, the
        // editor's tools) are rendered when first drawn.
        if (job.cells[c].drawn == 0) job.node->RenderCell(static_cast<int32_t>(job.srcX + c), static_cast<int32_t>(job.srcY));
    }

    // Copies the run of opaque cells starting at c, on free screen cells, in
    // one block; returns the cell after it.
    int64_t OpaqueRun(RowJob& job, int64_t c, int64_t w)
    {
        int64_t after = c;
        do {
            Render(job, after);
            ++after;
        } while (after < w && job.coverage[after] == kFree && ExtendsRun(job.cells[after]));
        const int64_t cells = after - c;
        CellRows rows = RowsAt(job, c);
        if (cells <= kShortRun) {
            // Short runs, common between objects, are cheaper word by word.
            for (int py = 0; py < kCellPixels; ++py, rows.Next()) {
                for (int64_t k = 0; k < cells * kCellPixels; k += kCellPixels) {
                    Store(rows.target + k, Load<OneCell>(rows.surface + k));
                }
            }
        } else {
            for (int py = 0; py < kCellPixels; ++py, rows.Next()) {
                std::memcpy(rows.target, rows.surface, static_cast<size_t>(cells * kCellPixels));
            }
        }
        std::memset(job.coverage + c, kCovered, static_cast<size_t>(after - c));
        CountCovered(job, after - c);
        return after;
    }

    // Masked cells from c on, as many as Pixels holds, on free screen cells.
    template <typename Pixels>
    void MaskedOnFresh(RowJob& job, int64_t c)
    {
        Pixels anyClear{};
        CellRows rows = RowsAt(job, c);
        for (int py = 0; py < kCellPixels; ++py, rows.Next()) {
            // Where the glyph's pixel is 0 what lies behind stays; elsewhere
            // the pixel is drawn.
            const Pixels pixels = Load<Pixels>(rows.surface);
            const Pixels clear = Zero(pixels);
            Store(rows.target, pixels | (Load<Pixels>(rows.target) & clear));
            Store(rows.marks, DrawnMarks(clear));
            anyClear |= clear;
        }
        for (size_t i = 0; i < kCellsIn<Pixels>; ++i) SetCoverage(job, c + static_cast<int64_t>(i), AllTaken(~anyClear, i));
    }

    // Masked cells from c on, as many as Pixels holds, on screen cells that
    // nodes in front have covered in part.
    template <typename Pixels>
    void MaskedUnderPartial(RowJob& job, int64_t c)
    {
        Pixels stillFree{};
        CellRows rows = RowsAt(job, c);
        for (int py = 0; py < kCellPixels; ++py, rows.Next()) {
            const Pixels pixels = Load<Pixels>(rows.surface);
            const Pixels marks = Load<Pixels>(rows.marks);
            const Pixels clear = Zero(pixels);
            const Pixels free = Free(marks);
            // Free pixels where the glyph is not 0 are drawn; the rest keep
            // what is there.
            Store(rows.target, Select(free & ~clear, pixels, Load<Pixels>(rows.target)));
            Store(rows.marks, marks | DrawnMarks(clear));
            stillFree |= free & clear;
        }
        for (size_t i = 0; i < kCellsIn<Pixels>; ++i) SetCoverage(job, c + static_cast<int64_t>(i), AllTaken(~stillFree, i));
    }

    // Opaque cells fill every pixel still free and so cover their screen
    // cells: their marks are not read again this frame and are left as they are.
    template <typename Pixels>
    void OpaqueUnderPartial(RowJob& job, int64_t c)
    {
        CellRows rows = RowsAt(job, c);
        for (int py = 0; py < kCellPixels; ++py, rows.Next()) {
            const Pixels free = Free(Load<Pixels>(rows.marks));
            Store(rows.target, Select(free, Load<Pixels>(rows.surface), Load<Pixels>(rows.target)));
        }
        for (size_t i = 0; i < kCellsIn<Pixels>; ++i) job.coverage[c + static_cast<int64_t>(i)] = kCovered;
        CountCovered(job, kCellsIn<Pixels>);
    }

    // A cell with all 64 pixels marked is covered, else partly covered.
    void SetCoverage(RowJob& job, int64_t c, bool allTaken)
    {
        if (allTaken) {
            job.coverage[c] = kCovered;
            CountCovered(job, 1);
        } else {
            job.coverage[c] = kPartly;
        }
    }

    void CountCovered(const RowJob& job, int64_t cells)
    {
        int64_t& covered = coveredInRow_[static_cast<size_t>(job.screenY)];
        covered += cells;
        if (covered >= screenW_) ++fullRows_;
    }

    BITMAP* target_;
    BITMAP* coverage_;
    BITMAP* marks_;
    bool editor_;
    ptrdiff_t targetPitch_;
    ptrdiff_t marksPitch_;
    // Covered cells per screen row and rows wholly covered, this frame.
    std::vector<int64_t> coveredInRow_;
    int64_t fullRows_ = 0;
    int64_t screenW_ = 0;
    int64_t screenH_ = 0;
};

}  // namespace

void Kinterface::Draw(BITMAP* target, int vx, int vy)
{
    if (!vMain) {
        Report("vMain doesn't exist", __FILE_NAME__, __LINE__);
        return;
    }
    vMain->viewx = vx;
    vMain->viewy = vy;
    Compositor compositor(*this, target);
    if (!compositor.Ready()) return;
    compositor.ClearCoverage(*vMain);
    compositor.DrawBoards(*vMain, vx, vy);
}

void Kinterface::DrawFocused(BITMAP* target, int vx, int vy, int h, int flags)
{
    if (h < 0 || h >= kHandleCount || !vMain) return;
    Kobject* node = NodeOf(h);
    if (node == nullptr) return;
    Compositor compositor(*this, target);
    if (!compositor.Ready()) return;
    switch (flags) {
    case 1: {
        // The world without the node's objects.
        const int32_t showchildren = node->showchildren;
        node->showchildren = 0;
        Draw(target, vx, vy);
        node->showchildren = showchildren;
        break;
    }
    case 2: {
        // The node alone, where it stands on screen.
        int32_t x = 0;
        int32_t y = 0;
        node->WindowOrigin(x, y);
        const int64_t ox = int64_t{x} - node->posx;
        const int64_t oy = int64_t{y} - node->posy;
        KTRACE("%s-> tPX = %i, tPY = %i\n", node->name.c_str(), static_cast<int>(ox), static_cast<int>(oy));
        compositor.ClearCoverage(*vMain);
        const int64_t originX = vx + ox;
        const int64_t originY = vy + oy;
        compositor.CompositeNode(*node, originX, originY, vMain->width - originX, vMain->height - originY,
                                 compositor.Screen(*vMain), 0);
        break;
    }
    case 3: {
        int32_t x = 0;
        int32_t y = 0;
        node->WindowOrigin(x, y);
        compositor.CopySurface(*node, kCellPixels * (int64_t{vx} + x), kCellPixels * (int64_t{vy} + y));
        break;
    }
    default: break;
    }
}

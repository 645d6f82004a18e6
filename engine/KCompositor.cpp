// The compositor: draws the world tree front to back into one 8-bit bitmap,
// writing each screen pixel at most once. vClipBuffer records per screen
// cell whether it is free (0), covered (1) or partly covered (2);
// vSubClipBuffer records per pixel which pixels of a partly covered cell are
// taken. The pixel work (KCompositorRow.inc) is built for several
// instruction sets and drawing uses the widest the processor runs; with
// AVX-512 the taken pixels are kept as bits in vSubClipBits while the frame
// is drawn, and vSubClipBuffer gets them for the cells left partly covered.

#include "KDrawCode.h"
#include "KTrace.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <atomic>
#include <type_traits>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#define QUAV_X86_DRAW_CODE 1
#include <immintrin.h>
#else
#define QUAV_X86_DRAW_CODE 0
#endif

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

// The distance in bytes between a bitmap's pixel rows, or 0 when its rows
// are not evenly spaced. A memory bitmap of its own, as the engine makes,
// holds its rows one after another in one block; others are checked.
ptrdiff_t RowPitch(BITMAP* bitmap)
{
    if (bitmap->h < 2) return bitmap->w;
    const ptrdiff_t pitch = bitmap->line[1] - bitmap->line[0];
    if (is_memory_bitmap(bitmap) && !is_sub_bitmap(bitmap)) return pitch;
    return bitmap->line[bitmap->h - 1] - bitmap->line[0] == pitch * (bitmap->h - 1) ? pitch : 0;
}

// Where one row of a node's cells goes: the screen row, the node's source
// row, the first pixel row of each bitmap under it with the distance to the
// next, and the frame's counts of covered cells.
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
    int64_t* coveredInRow = nullptr;  // covered cells of the screen row
    int64_t* fullRows = nullptr;      // screen rows wholly covered
    int64_t screenW = 0;
};

// What each instruction set's build of the row drawing provides.
struct RowCode {
    void (*drawRow)(const RowJob& job, int64_t w);
    // Set where marks are kept as bits in vSubClipBits while the frame is
    // drawn: writes them out as bytes at the end.
    void (*spellOutMarks)(BITMAP* coverage, BITMAP* bits, BITMAP* bytes, int64_t w, int64_t h);
    int64_t markBytesPerCell;  // in one pixel row of the marks
    bool BitMarks() const { return spellOutMarks != nullptr; }
};

// The row drawing, once for each instruction set. The compiler may use the
// instructions named around an inclusion only in the functions it defines.
namespace plain {
#define QUAV_ROW_WIDEST 2
#define QUAV_ROW_BIT_MARKS 0
#include "KCompositorRow.inc"
#undef QUAV_ROW_WIDEST
#undef QUAV_ROW_BIT_MARKS
}  // namespace plain

#if QUAV_X86_DRAW_CODE
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {
#define QUAV_ROW_WIDEST 4
#define QUAV_ROW_BIT_MARKS 0
#include "KCompositorRow.inc"
#undef QUAV_ROW_WIDEST
#undef QUAV_ROW_BIT_MARKS
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))), apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl")
#endif
namespace avx512 {
#define QUAV_ROW_WIDEST 4
#define QUAV_ROW_BIT_MARKS 1
#include "KCompositorRow.inc"
#undef QUAV_ROW_WIDEST
#undef QUAV_ROW_BIT_MARKS
}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

#if QUAV_X86_DRAW_CODE
constexpr RowCode kRowCode[kDrawCodeCount] = {plain::kRowCodeHere, avx2::kRowCodeHere, avx512::kRowCodeHere};
#else
constexpr RowCode kRowCode[kDrawCodeCount] = {plain::kRowCodeHere, plain::kRowCodeHere, plain::kRowCodeHere};
#endif

bool ProcessorRuns(KDrawCode code)
{
#if QUAV_X86_DRAW_CODE
    switch (code) {
    case KDrawCode::Plain: return true;
    case KDrawCode::Avx2: return __builtin_cpu_supports("avx2");
    case KDrawCode::Avx512:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return code == KDrawCode::Plain;
#endif
}

KDrawCode WidestCode()
{
    for (int code = kDrawCodeCount - 1; code > 0; --code) {
        if (ProcessorRuns(static_cast<KDrawCode>(code))) return static_cast<KDrawCode>(code);
    }
    return KDrawCode::Plain;
}

std::atomic<KDrawCode>& DrawCodeInUse()
{
    static std::atomic<KDrawCode> code{WidestCode()};
    return code;
}

class Compositor {
public:
    Compositor(Kinterface& engine, BITMAP* target)
        : target_(target), coverage_(engine.vClipBuffer.get()), subClip_(engine.vSubClipBuffer.get()),
          bits_(engine.vSubClipBits.get()), editor_(engine.IsEditor()),
          code_(kRowCode[static_cast<int>(DrawCodeInUse().load(std::memory_order_relaxed))])
    {
        // Bit marks need a bit for every pixel of the byte marks.
        if (code_.BitMarks() && (subClip_ == nullptr || bits_ == nullptr || bits_->w < subClip_->w / kCellPixels ||
                               bits_->h < subClip_->h)) {
            code_ = kRowCode[static_cast<int>(KDrawCode::Avx2)];
        }
        marks_ = code_.BitMarks() ? bits_ : subClip_;
        targetPitch_ = target_ != nullptr ? RowPitch(target_) : 0;
        marksPitch_ = marks_ != nullptr ? RowPitch(marks_) : 0;
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
        const int64_t w = std::min({int64_t{root.width}, int64_t{coverage_->w}, int64_t{subClip_->w / kCellPixels},
                                    int64_t{target_->w / kCellPixels}});
        const int64_t h = std::min({int64_t{root.height}, int64_t{coverage_->h}, int64_t{subClip_->h / kCellPixels},
                                    int64_t{target_->h / kCellPixels}});
        return Rect{0, 0, std::max<int64_t>(w, 0), std::max<int64_t>(h, 0)};
    }

    // After the frame: marks kept as bits are written out as bytes where
    // they still matter.
    void Finish() const
    {
        if (code_.BitMarks()) code_.spellOutMarks(coverage_, bits_, subClip_, screenW_, screenH_);
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
            const size_t count = node.children.size();
            for (size_t i = 0; i < count; ++i) {
                // Siblings lie scattered in memory: the next ones are asked
                // for while this one is drawn.
                if (i + 2 < count) __builtin_prefetch(node.children[i + 2].get());
                if (i + 1 < count) {
                    const Kobject& next = *node.children[i + 1];
                    __builtin_prefetch(next.cells.data());
                    __builtin_prefetch(next.vSurf.get());
                }
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
        const uint8_t* surfaceTop = surface->line[0];
        job.fullRows = &fullRows_;
        job.screenW = screenW_;
        for (int64_t r = 0; r < shown.h; ++r) {
            const int64_t screenY = shown.y + r;
            int64_t& covered = coveredInRow_[static_cast<size_t>(screenY)];
            if (covered >= screenW_) continue;
            job.srcY = srcY + r;
            job.coveredInRow = &covered;
            job.cells = &node.cells[static_cast<size_t>(job.srcY * node.width + srcX)];
            job.coverage = coverage_->line[screenY] + shown.x;
            job.target = target_->line[screenY * kCellPixels] + shown.x * kCellPixels;
            job.marks = marks_->line[screenY * kCellPixels] + shown.x * code_.markBytesPerCell;
            // Found from the first row: the surface's row table is read
            // once a node, not once a cell row.
            job.surface = surfaceTop + job.srcY * kCellPixels * surfacePitch + srcX * kCellPixels;
            code_.drawRow(job, shown.w);
        }
    }

    BITMAP* target_;
    BITMAP* coverage_;
    BITMAP* subClip_;
    BITMAP* bits_;
    bool editor_;
    RowCode code_;
    BITMAP* marks_ = nullptr;  // the plane the row code keeps its marks in
    ptrdiff_t targetPitch_ = 0;
    ptrdiff_t marksPitch_ = 0;
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
    compositor.Finish();
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
        compositor.Finish();
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

bool KDrawCodeRuns(KDrawCode code)
{
    return static_cast<int>(code) < kDrawCodeCount && ProcessorRuns(code);
}

KDrawCode KCurrentDrawCode() { return DrawCodeInUse().load(); }

bool KUseDrawCode(KDrawCode code)
{
    if (!KDrawCodeRuns(code)) return false;
    DrawCodeInUse().store(code);
    return true;
}

const char* KDrawCodeName(KDrawCode code)
{
    static constexpr const char* kNames[kDrawCodeCount] = {"plain", "avx2", "avx512"};
    const int index = static_cast<int>(code);
    return index < kDrawCodeCount ? kNames[index] : "plain";
}

#include "KCanvas.h"

#include "KEditorDoc.h"
#include "KNodeCopy.h"
#include "KTreeEdits.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kCell = 8;
constexpr int kScreenW[4] = {320, 640, 800, 1024};
constexpr int kScreenH[4] = {240, 480, 600, 768};
constexpr int kMarkLight = 15;
constexpr int kMarkDark = 32;

// A handle of the engine's table for one call, released when it goes.
class HandleFor {
public:
    HandleFor(Kinterface& engine, Kobject* node) : engine_(engine), handle_(node ? engine.AllocHandle(node) : -1) {}
    ~HandleFor()
    {
        if (handle_ > 0) engine_.ReleaseHandle(handle_);
    }
    HandleFor(const HandleFor&) = delete;
    HandleFor& operator=(const HandleFor&) = delete;
    int Get() const { return handle_; }

private:
    Kinterface& engine_;
    int handle_;
};

// Allegro's line stepping hands each point to a plain function.
thread_local std::vector<std::array<int, 2>>* gLinePoints = nullptr;
void CollectPoint(BITMAP*, int x, int y, int) { gLinePoints->push_back({x, y}); }

bool IsBlender(KBrushMode mode) { return mode == KBrushMode::Blender || mode == KBrushMode::BlenderTab; }
bool IsTab(KBrushMode mode) { return mode == KBrushMode::Tab || mode == KBrushMode::BlenderTab; }

void CellRect(BITMAP* target, int x1, int y1, int x2, int y2, int scrollX, int scrollY)
{
    const int left = (std::min(x1, x2) + scrollX) * kCell;
    const int top = (std::min(y1, y2) + scrollY) * kCell;
    const int right = (std::max(x1, x2) + scrollX) * kCell + kCell - 1;
    const int bottom = (std::max(y1, y2) + scrollY) * kCell + kCell - 1;
    ::rect(target, left, top, right, bottom, kMarkDark);
    ::rect(target, left + 1, top + 1, right - 1, bottom - 1, kMarkLight);
}

// Rectangles around a node's view, inset pixels outside its cells.
void ViewFrame(BITMAP* target, const Kobject& node, int scrollX, int scrollY, int inset)
{
    int32_t x = 0;
    int32_t y = 0;
    node.WindowOrigin(x, y);
    const int64_t left = (int64_t{x} + scrollX) * kCell;
    const int64_t top = (int64_t{y} + scrollY) * kCell;
    const int64_t right = left + int64_t{node.vieww} * kCell - 1;
    const int64_t bottom = top + int64_t{node.viewh} * kCell - 1;
    const int64_t limit = int64_t{1} << 24;
    if (left < -limit || top < -limit || right > limit || bottom > limit) return;
    for (int out : {inset, inset + 1}) {
        ::rect(target, static_cast<int>(left - out), static_cast<int>(top - out), static_cast<int>(right + out),
               static_cast<int>(bottom + out), kMarkLight);
    }
}

}  // namespace

// --- Brush -------------------------------------------------------------------------

const char* KBrushModeText(KBrushMode mode)
{
    static constexpr const char* kTexts[5] = {"Brush - Normal", "Brush - TAB", "Brush - Text", "Brush - Blender",
                                              "Brush - Blender TAB"};
    return kTexts[std::min<size_t>(static_cast<size_t>(mode), 4)];
}

void KSwitchSlot(KPaintSettings& paint, int slot)
{
    slot = std::clamp(slot, 0, kSlotCount - 1);
    auto& kept = paint.brushSlots[static_cast<size_t>(paint.slot)];
    kept = {static_cast<int16_t>(paint.chr), static_cast<int16_t>(paint.fg), static_cast<int16_t>(paint.bg),
            static_cast<int16_t>(paint.attrib)};
    const auto& loaded = paint.brushSlots[static_cast<size_t>(slot)];
    paint.chr = loaded[0];
    paint.fg = loaded[1];
    paint.bg = loaded[2];
    paint.attrib = loaded[3];
    paint.slot = slot;
}

int KBlend(int chr)
{
    switch (chr) {
    case 32: return 176;
    case 176: return 177;
    case 177: return 178;
    case 178:
    case 219: return 219;
    default: return 32;
    }
}

int KSpriteBackground(const Kfont& glyphs, int chr)
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (glyphs.GetGlyphPixel(chr, x, y) == 0) return 0;
        }
    }
    return 1;
}

int KColourAt(int x, int y)
{
    if (x < 0 || y < 0) return -1;
    const int column = x / kSwatchW;
    const int row = y / kSwatchH;
    if (column > 15 || row > 15) return -1;
    return row * 16 + column;
}

int KPickCharacter(const Kfont& glyphs, int x, int y, int columnOffset, int rowOffset)
{
    if (x < 0 || y < 0) return -1;
    // The picker shows the sheet at twice its size, from the offset glyph on.
    const int sheetX = (x / 16 + columnOffset) * kCell;
    const int sheetY = (y / 16 + rowOffset) * kCell;
    return glyphs.GlyphAt(sheetX, sheetY);
}

std::vector<std::array<int, 2>> KLineCells(int x1, int y1, int x2, int y2)
{
    std::vector<std::array<int, 2>> points;
    gLinePoints = &points;
    do_line(nullptr, x1, y1, x2, y2, 0, CollectPoint);
    gLinePoints = nullptr;
    return points;
}

// --- Canvas ------------------------------------------------------------------------

KCanvas::KCanvas(KEditorDoc& doc, KPaintSettings& paint) : doc_(doc), paint_(paint) {}

Kobject* KCanvas::Node() const { return doc_.Current(); }

void KCanvas::ZoomIn() { zoom_ = std::max(kMinZoom, zoom_ * 0.5f); }
void KCanvas::ZoomOut() { zoom_ = std::min(kMaxZoom, zoom_ * 2.0f); }

void KCanvas::BitmapSize(int clientW, int clientH, float zoom, int& w, int& h)
{
    w = static_cast<int>(static_cast<float>(std::max(clientW, 0)) * zoom) / kCell * kCell + kCell;
    h = static_cast<int>(static_cast<float>(std::max(clientH, 0)) * zoom) / kCell * kCell + kCell;
}

int KCanvas::CellX(int windowX) const
{
    return static_cast<int>(std::floor(static_cast<float>(windowX) * zoom_ / kCell)) - scrollX_;
}

int KCanvas::CellY(int windowY) const
{
    return static_cast<int>(std::floor(static_cast<float>(windowY) * zoom_ / kCell)) - scrollY_;
}

void KCanvas::ScrollRange(int viewCellsW, int viewCellsH, int& minX, int& maxX, int& minY, int& maxY) const
{
    minX = maxX = minY = maxY = 0;
    const Kobject* board = doc_.CurrentBoardNode();
    if (board == nullptr) return;
    int32_t x = 0;
    int32_t y = 0;
    board->WindowOrigin(x, y);
    const int w = std::max(board->vieww, board->width);
    const int h = std::max(board->viewh, board->height);
    // The board's left edge may come to the view's left edge, its right
    // edge to the view's right edge, and the origin always stays reachable.
    maxX = std::max(0, -x);
    minX = std::min(0, viewCellsW - (x + w));
    maxY = std::max(0, -y);
    minY = std::min(0, viewCellsH - (y + h));
}

void KCanvas::SetScroll(int x, int y, int viewCellsW, int viewCellsH)
{
    int minX = 0;
    int maxX = 0;
    int minY = 0;
    int maxY = 0;
    ScrollRange(viewCellsW, viewCellsH, minX, maxX, minY, maxY);
    scrollX_ = std::clamp(x, minX, maxX);
    scrollY_ = std::clamp(y, minY, maxY);
}

void KCanvas::ResetView()
{
    FinishStrokes();
    scrollX_ = scrollY_ = 0;
    cursorX_ = cursorY_ = anchorX_ = anchorY_ = textStartX_ = 0;
    mouse_ = KMouseState::Idle;
    paintWhileMoving_ = false;
    hasLast_ = false;
    draggedId_ = -1;
}

void KCanvas::SetCursor(int x, int y)
{
    cursorX_ = x;
    cursorY_ = y;
}

bool KCanvas::NodeCell(int x, int y, int& nodeX, int& nodeY) const
{
    Kobject* node = Node();
    if (node == nullptr) return false;
    Kinterface& engine = doc_.Engine();
    HandleFor handle(engine, node);
    return engine.ScreenToNode(handle.Get(), x, y, nodeX, nodeY);
}

bool KCanvas::ToolPoints(int& cursorX, int& cursorY, int& anchorX, int& anchorY) const
{
    return NodeCell(cursorX_, cursorY_, cursorX, cursorY) && NodeCell(anchorX_, anchorY_, anchorX, anchorY);
}

bool KCanvas::PaintAt(int x, int y)
{
    Kobject* node = Node();
    int nodeX = 0;
    int nodeY = 0;
    if (node == nullptr || !NodeCell(x, y, nodeX, nodeY)) return false;
    return doc_.PaintCell(*node, nodeX, nodeY, paint_.chr, paint_.fg, paint_.bg, paint_.attrib);
}

bool KCanvas::BlendAt(int x, int y)
{
    Kobject* node = Node();
    int nodeX = 0;
    int nodeY = 0;
    if (node == nullptr || !NodeCell(x, y, nodeX, nodeY)) return false;
    const KCell* cell = node->GetCell(nodeX, nodeY);
    if (cell == nullptr) return false;
    return doc_.PaintCell(*node, nodeX, nodeY, KBlend(cell->chr), paint_.fg, paint_.bg, paint_.attrib);
}

void KCanvas::PickUp()
{
    const Kobject* node = Node();
    int nodeX = 0;
    int nodeY = 0;
    if (node == nullptr || !NodeCell(cursorX_, cursorY_, nodeX, nodeY)) return;
    const KCell* cell = node->GetCell(nodeX, nodeY);
    if (cell == nullptr) return;
    paint_.chr = cell->chr;
    paint_.fg = cell->fg;
    paint_.bg = cell->bg;
    paint_.attrib = cell->attrib;
}

void KCanvas::MoveCursor(int dx, int dy)
{
    cursorX_ += dx;
    cursorY_ += dy;
}

void KCanvas::BeginWalk()
{
    if (walking_) return;
    doc_.BeginStroke();
    walking_ = true;
}

void KCanvas::EndWalk()
{
    if (!walking_) return;
    walking_ = false;
    doc_.EndStroke();
}

void KCanvas::FinishStrokes()
{
    EndWalk();
    if (shiftStroke_) {
        shiftStroke_ = false;
        doc_.EndStroke();
    }
    if (mouse_ == KMouseState::Stroke) {
        doc_.EndStroke();
        mouse_ = KMouseState::Idle;
    }
    if (draggedId_ >= 0) FinishNodeDrag();
    paintWhileMoving_ = false;
}

void KCanvas::SetMode(KBrushMode mode)
{
    if (mode == paint_.mode) return;
    FinishStrokes();
    paint_.mode = mode;
}

bool KCanvas::ChangeBrush(KCanvasKey pressed)
{
    const int before[3] = {paint_.chr, paint_.fg, paint_.bg};
    const int glyphs = doc_.Engine().vFont ? doc_.Engine().vFont->glyphCount : 0;
    const bool characters = !IsBlender(paint_.mode);
    switch (pressed) {
    case KCanvasKey::Insert:
        if (characters && paint_.chr > 0) --paint_.chr;
        break;
    case KCanvasKey::Delete:
        if (characters && paint_.chr + 1 < glyphs) ++paint_.chr;
        break;
    case KCanvasKey::Home: paint_.fg = paint_.fg > 0 ? paint_.fg - 1 : paint_.fg; break;
    case KCanvasKey::End: paint_.fg = paint_.fg < 255 ? paint_.fg + 1 : paint_.fg; break;
    case KCanvasKey::PageUp: paint_.bg = paint_.bg > 0 ? paint_.bg - 1 : paint_.bg; break;
    case KCanvasKey::PageDown: paint_.bg = paint_.bg < 255 ? paint_.bg + 1 : paint_.bg; break;
    default: return false;
    }
    return before[0] != paint_.chr || before[1] != paint_.fg || before[2] != paint_.bg;
}

KCanvasOutcome KCanvas::PaintKey(KCanvasKey pressed)
{
    KCanvasOutcome out;
    const KBrushMode mode = paint_.mode;
    if (mode == KBrushMode::Text) return out;
    const bool blender = IsBlender(mode);
    auto touch = [&] { return blender ? BlendAt(cursorX_, cursorY_) : PaintAt(cursorX_, cursorY_); };
    // A pressed's cells are one step, unless a walk or a stroke gathers them.
    doc_.BeginStroke();
    switch (pressed) {
    case KCanvasKey::Left:
    case KCanvasKey::Right:
    case KCanvasKey::Up:
    case KCanvasKey::Down: {
        static constexpr int kDx[4] = {-1, 1, 0, 0};
        static constexpr int kDy[4] = {0, 0, -1, 1};
        const size_t dir = static_cast<size_t>(pressed) - static_cast<size_t>(KCanvasKey::Left);
        MoveCursor(kDx[dir], kDy[dir]);
        if (IsTab(mode) || paintWhileMoving_) touch();
        out.repaint = true;
        break;
    }
    case KCanvasKey::Space:
        if (IsTab(mode)) break;
        if (!blender || !IsLastRecorded()) touch();
        out.repaint = true;
        break;
    case KCanvasKey::ShiftDown:
        if (IsTab(mode) || paintWhileMoving_) break;
        if (!shiftStroke_) {
            doc_.BeginStroke();
            shiftStroke_ = true;
        }
        if (!blender || !IsLastRecorded()) touch();
        paintWhileMoving_ = true;
        out.repaint = true;
        break;
    case KCanvasKey::ShiftUp:
        paintWhileMoving_ = false;
        if (shiftStroke_) {
            shiftStroke_ = false;
            doc_.EndStroke();
        }
        break;
    case KCanvasKey::Enter:
        if (IsTab(mode)) break;
        PickUp();
        out.brushChanged = true;
        break;
    case KCanvasKey::Tab:
        if (IsTab(mode)) {
            paint_.mode = mode == KBrushMode::Tab ? KBrushMode::Normal : KBrushMode::Blender;
            doc_.EndStroke();
            EndWalk();
            doc_.BeginStroke();
        } else {
            paintWhileMoving_ = false;
            if (shiftStroke_) {
                shiftStroke_ = false;
                doc_.EndStroke();
            }
            BeginWalk();
            touch();
            paint_.mode = blender ? KBrushMode::BlenderTab : KBrushMode::Tab;
        }
        out.repaint = true;
        out.brushChanged = true;
        break;
    case KCanvasKey::F1:
    case KCanvasKey::F2: out.repaint = Page(pressed == KCanvasKey::F2); break;
    case KCanvasKey::Menu:
        if (IsTab(mode)) break;
        anchorX_ = cursorX_;
        anchorY_ = cursorY_;
        out.request = KCanvasRequest::ToolMenu;
        break;
    default: out.brushChanged = ChangeBrush(pressed); break;
    }
    doc_.EndStroke();
    if (blender) {
        hasLast_ = true;
        lastX_ = cursorX_;
        lastY_ = cursorY_;
    }
    return out;
}

KCanvasOutcome KCanvas::Type(int chr)
{
    KCanvasOutcome out;
    if (paint_.mode != KBrushMode::Text) return out;
    Kobject* node = Node();
    int nodeX = 0;
    int nodeY = 0;
    if (node == nullptr || !NodeCell(cursorX_, cursorY_, nodeX, nodeY)) return out;
    out.repaint = true;
    switch (chr) {
    case 13:
    case 10:
        cursorX_ = textStartX_;
        ++cursorY_;
        if (nodeY + 1 >= node->height) cursorY_ -= nodeY + 1;
        return out;
    case 8:
        cursorX_ = std::max(cursorX_ - 1, textStartX_);
        return out;
    case 9:
        doc_.BeginStroke();
        for (int i = 0; i < 3; ++i) Type(32);
        doc_.EndStroke();
        return out;
    case 27: out.repaint = false; return out;
    default: break;
    }
    doc_.PaintCell(*node, nodeX, nodeY, chr, paint_.fg, paint_.bg, paint_.attrib);
    ++cursorX_;
    if (nodeX + 1 >= node->width) {
        cursorX_ -= nodeX + 1;
        ++cursorY_;
        if (nodeY + 1 >= node->height) cursorY_ -= nodeY + 1;
    }
    return out;
}

bool KCanvas::Page(bool forward)
{
    Kobject* node = Node();
    if (node == nullptr) return false;
    int viewX = node->viewx;
    int viewY = node->viewy;
    if (forward) {
        viewX = std::max(viewX, std::min(viewX + paint_.stepX, node->width - node->vieww));
        viewY = std::max(viewY, std::min(viewY + paint_.stepY, node->height - node->viewh));
    } else {
        viewX = std::min(viewX, std::max(viewX - paint_.stepX, 0));
        viewY = std::min(viewY, std::max(viewY - paint_.stepY, 0));
    }
    if (viewX == node->viewx && viewY == node->viewy) return false;
    return doc_.Edit(FieldsOf(node->id), [&] {
        node->viewx = viewX;
        node->viewy = viewY;
        node->Refile();
        return true;
    });
}

bool KCanvas::UniformLook(int& chr, int& fg, int& bg, int& attrib) const
{
    const Kobject* node = Node();
    if (node == nullptr || node->cells.empty()) return false;
    const KCell& first = node->cells.front();
    for (const KCell& cell : node->cells) {
        if (cell.chr != first.chr || cell.fg != first.fg || cell.bg != first.bg || cell.attrib != first.attrib) return false;
    }
    chr = first.chr;
    fg = first.fg;
    bg = first.bg;
    attrib = first.attrib;
    return true;
}

bool KCanvas::FillNodeWithBrush()
{
    Kobject* node = Node();
    if (node == nullptr) return false;
    doc_.BeginStroke();
    for (int32_t y = 0; y < node->height; ++y) {
        for (int32_t x = 0; x < node->width; ++x) doc_.PaintCell(*node, x, y, paint_.chr, paint_.fg, paint_.bg, paint_.attrib);
    }
    return doc_.EndStroke();
}

bool KCanvas::PasteClipboard()
{
    Kobject* node = Node();
    const Kobject* clip = doc_.Clipboard();
    int nodeX = 0;
    int nodeY = 0;
    if (node == nullptr || clip == nullptr || !NodeCell(cursorX_, cursorY_, nodeX, nodeY)) return false;
    Kinterface& engine = doc_.Engine();
    return doc_.Edit(ChildrenOf(node->id), [&] {
        Kobject* copy = KCopyNodeInto(engine, *clip, *node);
        if (copy == nullptr) return false;
        copy->posx = nodeX;
        copy->posy = nodeY;
        copy->Refile();
        return true;
    });
}

void KCanvas::SaveBackup()
{
    Kobject* node = Node();
    if (node == nullptr) return;
    Kinterface& engine = doc_.Engine();
    HandleFor handle(engine, node);
    engine.SaveBackup(handle.Get());
}

bool KCanvas::RestoreBackup()
{
    Kobject* node = Node();
    if (node == nullptr) return false;
    // The backup plane is made the node's length, as the engine's restore
    // does, and copied back through the edit path so it can be undone.
    const size_t size = static_cast<size_t>(node->width) * static_cast<size_t>(node->height);
    node->shade.resize(size, KCell{});
    doc_.BeginStroke();
    for (size_t i = 0; i < size; ++i) {
        const KCell& kept = node->shade[i];
        doc_.PaintCell(*node, static_cast<int32_t>(i % static_cast<size_t>(node->width)),
                       static_cast<int32_t>(i / static_cast<size_t>(node->width)), kept.chr, kept.fg, kept.bg, kept.attrib);
    }
    return doc_.EndStroke();
}

KCanvasOutcome KCanvas::SelectAtCursor()
{
    KCanvasOutcome out;
    out.repaint = true;
    pickList_.clear();
    Kobject* board = doc_.CurrentBoardNode();
    if (board == nullptr) return out;
    Kinterface& engine = doc_.Engine();
    HandleFor handle(engine, board);
    const int list = engine.HitTest(handle.Get(), cursorX_, cursorY_);
    if (list < 0) return out;
    for (int h = engine.NextInList(list); h >= 0; h = engine.NextInList(list)) {
        const int32_t id = engine.IdOf(h);
        if (id > 0) pickList_.push_back(id);
    }
    engine.FreeList(list);
    if (pickList_.size() == 1 || pickList_.size() == 2) {
        doc_.Select(pickList_.back());
        out.selectionChanged = true;
    } else if (pickList_.size() > 2) {
        out.request = KCanvasRequest::PickNode;
    }
    return out;
}

KCanvasOutcome KCanvas::SelectKey(KCanvasKey pressed)
{
    KCanvasOutcome out;
    switch (pressed) {
    case KCanvasKey::Left: MoveCursor(-1, 0); out.repaint = true; break;
    case KCanvasKey::Right: MoveCursor(1, 0); out.repaint = true; break;
    case KCanvasKey::Up: MoveCursor(0, -1); out.repaint = true; break;
    case KCanvasKey::Down: MoveCursor(0, 1); out.repaint = true; break;
    case KCanvasKey::Space: out.repaint = PasteClipboard(); out.selectionChanged = out.repaint; break;
    case KCanvasKey::Tab: {
        int chr = 0;
        int fg = 0;
        int bg = 0;
        int attrib = 0;
        if (UniformLook(chr, fg, bg, attrib)) out.request = KCanvasRequest::UniformBrush;
        break;
    }
    case KCanvasKey::Enter: return SelectAtCursor();
    default: break;
    }
    return out;
}

void KCanvas::StrokeTo(int x, int y)
{
    const bool blender = IsBlender(paint_.mode);
    const auto points = KLineCells(strokeX_, strokeY_, x, y);
    // The segment's first point is where the last one ended.
    for (size_t i = 1; i < points.size(); ++i) {
        if (blender) BlendAt(points[i][0], points[i][1]);
        else PaintAt(points[i][0], points[i][1]);
    }
    strokeX_ = x;
    strokeY_ = y;
}

void KCanvas::MoveNodeTo(int x, int y)
{
    Kobject* node = Node();
    if (node == nullptr) return;
    if (draggedId_ < 0) {
        draggedId_ = node->id;
        draggedPosX_ = node->posx;
        draggedPosY_ = node->posy;
    }
    Kinterface& engine = doc_.Engine();
    HandleFor handle(engine, node);
    engine.MoveToScreen(handle.Get(), x, y);
}

void KCanvas::FinishNodeDrag()
{
    Kobject* node = doc_.FindNode(draggedId_);
    const int32_t id = draggedId_;
    draggedId_ = -1;
    if (node == nullptr) return;
    // The drag moved the node live; the whole drag becomes one step.
    const int endX = node->posx;
    const int endY = node->posy;
    if (endX == draggedPosX_ && endY == draggedPosY_) return;
    node->posx = draggedPosX_;
    node->posy = draggedPosY_;
    node->Refile();
    doc_.Edit(FieldsOf(id), [&] {
        node->posx = endX;
        node->posy = endY;
        node->Refile();
        return true;
    });
}

KCanvasOutcome KCanvas::LeftDown(int x, int y, bool ctrl, bool shift, bool paintMode)
{
    KCanvasOutcome out;
    out.repaint = true;
    if (ctrl) {
        mouse_ = KMouseState::DragView;
        dragStartX_ = x;
        dragStartY_ = y;
        dragScrollX_ = scrollX_;
        dragScrollY_ = scrollY_;
        return out;
    }
    const int cellX = CellX(x);
    const int cellY = CellY(y);
    if (!paintMode) {
        cursorX_ = cellX;
        cursorY_ = cellY;
        mouse_ = KMouseState::Idle;
        return SelectAtCursor();
    }
    cursorX_ = cellX;
    cursorY_ = cellY;
    textStartX_ = cellX;
    if (shift && paint_.mode != KBrushMode::Text) {
        mouse_ = KMouseState::Stroke;
        doc_.BeginStroke();
        strokeX_ = cellX;
        strokeY_ = cellY;
        if (IsBlender(paint_.mode)) BlendAt(cellX, cellY);
        else PaintAt(cellX, cellY);
        return out;
    }
    mouse_ = KMouseState::LeftHeld;
    return out;
}

KCanvasOutcome KCanvas::RightDown(int x, int y, bool ctrl, bool paintMode)
{
    KCanvasOutcome out;
    out.repaint = true;
    const int cellX = CellX(x);
    const int cellY = CellY(y);
    if (!paintMode) MoveNodeTo(cellX, cellY);
    cursorX_ = anchorX_ = cellX;
    cursorY_ = anchorY_ = cellY;
    mouse_ = ctrl ? KMouseState::PrimDrag : KMouseState::RightDrag;
    return out;
}

KCanvasOutcome KCanvas::MouseMove(int x, int y, bool paintMode)
{
    KCanvasOutcome out;
    const int cellX = CellX(x);
    const int cellY = CellY(y);
    switch (mouse_) {
    case KMouseState::DragView: {
        const float cellPixels = kCell / zoom_;
        scrollX_ = dragScrollX_ + static_cast<int>(static_cast<float>(x - dragStartX_) / cellPixels);
        scrollY_ = dragScrollY_ + static_cast<int>(static_cast<float>(y - dragStartY_) / cellPixels);
        out.repaint = true;
        break;
    }
    case KMouseState::RightDrag:
        if (paintMode) {
            anchorX_ = cellX;
            anchorY_ = cellY;
        } else {
            MoveNodeTo(cellX, cellY);
            cursorX_ = cellX;
            cursorY_ = cellY;
        }
        out.repaint = true;
        break;
    case KMouseState::PrimDrag:
        if (paintMode) {
            anchorX_ = cellX;
            anchorY_ = cellY;
            out.repaint = true;
        }
        break;
    case KMouseState::Stroke:
        StrokeTo(cellX, cellY);
        cursorX_ = cellX;
        cursorY_ = cellY;
        out.repaint = true;
        break;
    case KMouseState::LeftHeld:
    case KMouseState::Idle:
        if (mouse_ == KMouseState::LeftHeld || !paintMode) {
            out.repaint = cursorX_ != cellX || cursorY_ != cellY;
            cursorX_ = cellX;
            cursorY_ = cellY;
        }
        break;
    }
    return out;
}

KCanvasOutcome KCanvas::LeftUp()
{
    KCanvasOutcome out;
    if (mouse_ == KMouseState::Stroke) {
        doc_.EndStroke();
        out.repaint = true;
    }
    mouse_ = KMouseState::Idle;
    return out;
}

KCanvasOutcome KCanvas::RightUp(bool paintMode)
{
    KCanvasOutcome out;
    out.repaint = true;
    if (paintMode) {
        if (mouse_ == KMouseState::RightDrag) out.request = KCanvasRequest::ToolMenu;
        if (mouse_ == KMouseState::PrimDrag) out.request = KCanvasRequest::PrimMenu;
    } else {
        FinishNodeDrag();
        out.selectionChanged = true;
    }
    mouse_ = KMouseState::Idle;
    return out;
}

KCanvasOutcome KCanvas::Wheel(int delta)
{
    KCanvasOutcome out;
    if (delta > 0) ZoomIn();
    if (delta < 0) ZoomOut();
    out.repaint = delta != 0;
    return out;
}

// --- Drawing ---------------------------------------------------------------------

void KCanvas::Draw(BITMAP* target, int displayFlags, bool paintMode)
{
    if (target == nullptr) return;
    clear_to_color(target, 0);
    Kinterface& engine = doc_.Engine();
    Kobject* shown = displayFlags == 0 ? doc_.CurrentBoardNode() : doc_.Current();
    if (shown != nullptr && engine.vMain) {
        HandleFor handle(engine, shown);
        // Without flags the board is drawn alone with its objects.
        engine.DrawFocused(target, scrollX_, scrollY_, handle.Get(), displayFlags == 0 ? 2 : displayFlags);
        // Drawing moves the root's view; the editor keeps it at the origin.
        engine.vMain->viewx = engine.vMain->viewy = 0;
    }
    xor_mode(TRUE);
    DrawMarks(target, paintMode);
    if (paintMode && paint_.showAttrib) DrawAttribMarks(target);
    const size_t mode = static_cast<size_t>(std::clamp(engine.vVideoMode, 0, 3));
    ::rect(target, scrollX_ * kCell - 1, scrollY_ * kCell - 1, scrollX_ * kCell + kScreenW[mode],
           scrollY_ * kCell + kScreenH[mode], kMarkLight);
    if (paint_.ruler != 0) DrawRuler(target, paintMode);
    solid_mode();
}

void KCanvas::DrawMarks(BITMAP* target, bool paintMode)
{
    if (paintMode && mouse_ == KMouseState::RightDrag) {
        CellRect(target, cursorX_, cursorY_, anchorX_, anchorY_, scrollX_, scrollY_);
    } else if (paintMode && mouse_ == KMouseState::PrimDrag) {
        CellRect(target, cursorX_, cursorY_, cursorX_, cursorY_, scrollX_, scrollY_);
        CellRect(target, anchorX_, anchorY_, anchorX_, anchorY_, scrollX_, scrollY_);
    } else {
        CellRect(target, cursorX_, cursorY_, cursorX_, cursorY_, scrollX_, scrollY_);
    }
    if (const Kobject* board = doc_.CurrentBoardNode()) ViewFrame(target, *board, scrollX_, scrollY_, 4);
    if (const Kobject* node = doc_.Current()) ViewFrame(target, *node, scrollX_, scrollY_, 2);
}

void KCanvas::DrawAttribMarks(BITMAP* target)
{
    const Kobject* node = Node();
    if (node == nullptr) return;
    int32_t originX = 0;
    int32_t originY = 0;
    node->WindowOrigin(originX, originY);
    // Only the cells that land on the bitmap are visited.
    const int cellsW = KBitmapWidth(target) / kCell;
    const int cellsH = KBitmapHeight(target) / kCell;
    const int64_t firstX = std::max<int64_t>(0, -(int64_t{originX} + scrollX_) + node->viewx);
    const int64_t firstY = std::max<int64_t>(0, -(int64_t{originY} + scrollY_) + node->viewy);
    for (int64_t y = firstY; y < node->height; ++y) {
        const int64_t sy = int64_t{originY} + scrollY_ + (y - node->viewy);
        if (sy >= cellsH) break;
        for (int64_t x = firstX; x < node->width; ++x) {
            const int64_t sx = int64_t{originX} + scrollX_ + (x - node->viewx);
            if (sx >= cellsW) break;
            const int px = static_cast<int>(sx) * kCell;
            const int py = static_cast<int>(sy) * kCell;
            switch (node->cells[static_cast<size_t>(y * node->width + x)].attrib) {
            case 1:
                rectfill(target, px + 2, py + 2, px + 5, py + 5, kMarkLight);
                rectfill(target, px + 3, py + 3, px + 4, py + 4, kMarkDark);
                break;
            case 2:
                vline(target, px + 3, py + 1, py + 6, kMarkLight);
                hline(target, px + 1, py + 3, px + 6, kMarkLight);
                break;
            case 3: ::rect(target, px + 1, py + 1, px + 6, py + 6, kMarkLight); break;
            default: break;
            }
        }
    }
}

void KCanvas::DrawRuler(BITMAP* target, bool paintMode)
{
    const int w = KBitmapWidth(target);
    const int h = KBitmapHeight(target);
    const int px = (cursorX_ + scrollX_) * kCell;
    const int py = (cursorY_ + scrollY_) * kCell;
    vline(target, px, 0, h - 1, kMarkLight);
    vline(target, px - 1, 0, h - 1, kMarkDark);
    hline(target, 0, py, w - 1, kMarkLight);
    hline(target, 0, py - 1, w - 1, kMarkDark);
    if (!paintMode || mouse_ != KMouseState::RightDrag) return;
    const int left = (std::min(cursorX_, anchorX_) + scrollX_) * kCell;
    const int top = (std::min(cursorY_, anchorY_) + scrollY_) * kCell;
    const int right = (std::max(cursorX_, anchorX_) + scrollX_ + 1) * kCell - 1;
    const int bottom = (std::max(cursorY_, anchorY_) + scrollY_ + 1) * kCell - 1;
    for (int x : {left, right}) vline(target, x, 0, h - 1, kMarkLight);
    for (int y : {top, bottom}) hline(target, 0, y, w - 1, kMarkLight);
    char size[32];
    std::snprintf(size, sizeof size, "%i,%i", std::abs(cursorX_ - anchorX_) + 1, std::abs(cursorY_ - anchorY_) + 1);
    if (const auto& sheet = doc_.Engine().vFont) sheet->DrawTextAtPixel(target, size, kMarkLight, -1, right + 3, bottom + 3);
}

std::string KCanvas::StatusText() const
{
    char text[160];
    int written = std::snprintf(text, sizeof text, "Cell %i,%i", cursorX_, cursorY_);
    const Kobject* node = Node();
    int nodeX = 0;
    int nodeY = 0;
    if (node != nullptr && NodeCell(cursorX_, cursorY_, nodeX, nodeY)) {
        if (const KCell* cell = node->GetCell(nodeX, nodeY)) {
            written += std::snprintf(text + written, sizeof text - static_cast<size_t>(written),
                                     "  Char %i  Fg %i  Bg %i  Attr %i", cell->chr, cell->fg, cell->bg, cell->attrib);
        }
    }
    std::snprintf(text + written, sizeof text - static_cast<size_t>(written), "  Zoom %.2f  %s",
                  static_cast<double>(zoom_), KBrushModeText(paint_.mode));
    return text;
}

#pragma once
// The canvas without its window: the brush and its brushSlots, the cursor and
// anchor, zoom and scrolling, and what each key and mouse action does to
// them and to the current node's cells. The Qt canvas turns events into
// these calls and shows what Draw makes.

#include "KBitmap.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class KEditorDoc;
class Kfont;
class Kobject;

enum class KBrushMode : uint8_t { Normal = 0, Tab = 1, Text = 2, Blender = 3, BlenderTab = 4 };

// The editor-wide brush state: what Brush Settings' Cancel puts back whole.
struct KPaintSettings {
    int chr = 1;
    int fg = 15;  // -2: a sprite character
    int bg = 1;
    int attrib = 0;
    KBrushMode mode = KBrushMode::Normal;
    std::array<std::array<int16_t, 4>, 9> brushSlots{{{1, 15, 1, 0}}};
    int slot = 0;
    int stepX = 0;
    int stepY = 0;
    int ruler = 0;
    bool showAttrib = false;

    bool operator==(const KPaintSettings&) const = default;
};

inline constexpr int kSlotCount = 9;
inline constexpr int kMaxStep = 100;

// "Brush - Normal" and the others, by mode.
const char* KBrushModeText(KBrushMode mode);
// Stores the brush into the slot in use and loads slot into the brush.
void KSwitchSlot(KPaintSettings& paint, int slot);
// The next character of a blend: 32, 176, 177, 178, 219, then 219 again.
int KBlend(int chr);
// 0 when the glyph has a pixel of colour 0, else 1: the background a
// sprite character is drawn with.
int KSpriteBackground(const Kfont& glyphs, int chr);
// A colour picker's swatch at a pixel (16 x 16 swatches of 11 x 10
// pixels), or -1 outside them.
int KColourAt(int x, int y);
inline constexpr int kSwatchW = 11;
inline constexpr int kSwatchH = 10;
// The character whose glyph lies under pixel (x, y) of the character
// picker (the sheet at twice its size, scrolled by whole glyphs), or -1.
int KPickCharacter(const Kfont& glyphs, int x, int y, int columnOffset, int rowOffset);
// The cells Allegro's line stepping visits from (x1, y1) to (x2, y2).
std::vector<std::array<int, 2>> KLineCells(int x1, int y1, int x2, int y2);

enum class KCanvasKey : uint8_t {
    Left, Right, Up, Down, Space, ShiftDown, ShiftUp, Enter, Tab,
    Insert, Delete, Home, End, PageUp, PageDown, F1, F2, Menu
};

// What the window must do after a key or a mouse action.
enum class KCanvasRequest : uint8_t {
    None = 0,
    ToolMenu,       // "TOOLMENU" at the cursor cell
    PrimMenu,       // "PRIMMENU" at the cursor cell
    UniformBrush,   // Brush Settings for a node of one look (selection Tab)
    PickNode,       // choose among PickList()
};

struct KCanvasOutcome {
    bool repaint = false;
    bool brushChanged = false;
    bool selectionChanged = false;
    KCanvasRequest request = KCanvasRequest::None;
};

enum class KMouseState : uint8_t { Idle = 0, DragView = 1, RightDrag = 2, LeftHeld = 3, PrimDrag = 4, Stroke = 5 };

inline constexpr float kMinZoom = 0.25f;
inline constexpr float kMaxZoom = 2.0f;

class KCanvas {
public:
    KCanvas(KEditorDoc& doc, KPaintSettings& paint);

    KPaintSettings& Paint() { return paint_; }
    const KPaintSettings& Paint() const { return paint_; }

    // --- View -----------------------------------------------------------------
    float Zoom() const { return zoom_; }
    void ZoomIn();
    void ZoomOut();
    int ScrollX() const { return scrollX_; }
    int ScrollY() const { return scrollY_; }
    // Scrolls, kept so some of the current board stays in a view of the
    // given size in cells.
    void SetScroll(int x, int y, int viewCellsW, int viewCellsH);
    // The scroll range that keeps the current board reachable.
    void ScrollRange(int viewCellsW, int viewCellsH, int& minX, int& maxX, int& minY, int& maxY) const;
    // Back to the start after another world is opened.
    void ResetView();
    // The bitmap for a client area: its size times the zoom, rounded down
    // to whole cells, plus one cell.
    static void BitmapSize(int clientW, int clientH, float zoom, int& w, int& h);
    // The board cell under a pixel of the window.
    int CellX(int windowX) const;
    int CellY(int windowY) const;

    // --- Cursor ---------------------------------------------------------------
    int CursorX() const { return cursorX_; }
    int CursorY() const { return cursorY_; }
    int AnchorX() const { return anchorX_; }
    int AnchorY() const { return anchorY_; }
    int TextStartX() const { return textStartX_; }
    void SetCursor(int x, int y);
    KMouseState Mouse() const { return mouse_; }
    // The cursor and the anchor in the current node's own cells, for the
    // tools; false without a node.
    bool ToolPoints(int& cursorX, int& cursorY, int& anchorX, int& anchorY) const;
    bool PaintWhileMoving() const { return paintWhileMoving_; }

    // --- Keys -----------------------------------------------------------------
    KCanvasOutcome PaintKey(KCanvasKey pressed);
    KCanvasOutcome SelectKey(KCanvasKey pressed);
    // A typed character with the Text brush (Enter 13, Backspace 8, Tab 9,
    // Escape 27 as themselves).
    KCanvasOutcome Type(int chr);
    // Nodes at the cursor for the node popup, after PickNode.
    const std::vector<int32_t>& PickList() const { return pickList_; }

    // --- Mouse (window pixels) ------------------------------------------------
    KCanvasOutcome LeftDown(int x, int y, bool ctrl, bool shift, bool paintMode);
    KCanvasOutcome RightDown(int x, int y, bool ctrl, bool paintMode);
    KCanvasOutcome MouseMove(int x, int y, bool paintMode);
    KCanvasOutcome LeftUp();
    KCanvasOutcome RightUp(bool paintMode);
    KCanvasOutcome Wheel(int delta);

    // --- Commands -------------------------------------------------------------
    // Pages the current node's view back (F1) or forward (F2) by the steps.
    bool Page(bool forward);
    void ToggleRuler() { paint_.ruler = 1 - paint_.ruler; }
    // Selection-mode Tab: the node's one look, or false when it differs.
    bool UniformLook(int& chr, int& fg, int& bg, int& attrib) const;
    // Every cell of the current node takes the brush, as one step.
    bool FillNodeWithBrush();
    // Paste a deep copy of the object clipboard at the cursor.
    bool PasteClipboard();
    void SaveBackup();
    bool RestoreBackup();
    // Ends a Tab walk or a stroke still open, so it becomes its undo step.
    void FinishStrokes();
    void SetMode(KBrushMode mode);

    // --- Drawing --------------------------------------------------------------
    // Draws the board, the marks and the frames into target; displayFlags
    // are the tree's "Focus" and "Hide Objs".
    void Draw(BITMAP* target, int displayFlags, bool paintMode);
    // "Cell x,y  chr .. fg .. bg .. attr ..  Zoom ..  Brush - ..."
    std::string StatusText() const;

private:
    Kobject* Node() const;
    // The cursor in the current node's own cells; false without a node.
    bool NodeCell(int x, int y, int& nodeX, int& nodeY) const;
    bool PaintAt(int x, int y);
    bool BlendAt(int x, int y);
    void PickUp();
    void MoveCursor(int dx, int dy);
    bool IsLastRecorded() const { return hasLast_ && lastX_ == cursorX_ && lastY_ == cursorY_; }
    bool ChangeBrush(KCanvasKey pressed);
    void BeginWalk();
    void EndWalk();
    void StrokeTo(int x, int y);
    KCanvasOutcome SelectAtCursor();
    void MoveNodeTo(int x, int y);
    void FinishNodeDrag();
    void DrawMarks(BITMAP* target, bool paintMode);
    void DrawAttribMarks(BITMAP* target);
    void DrawRuler(BITMAP* target, bool paintMode);

    KEditorDoc& doc_;
    KPaintSettings& paint_;
    float zoom_ = 1.0f;
    int scrollX_ = 0;
    int scrollY_ = 0;
    int cursorX_ = 0;
    int cursorY_ = 0;
    int anchorX_ = 0;
    int anchorY_ = 0;
    int textStartX_ = 0;
    KMouseState mouse_ = KMouseState::Idle;
    bool paintWhileMoving_ = false;
    bool hasLast_ = false;
    int lastX_ = 0;
    int lastY_ = 0;
    bool walking_ = false;   // a Tab walk's stroke is open
    bool shiftStroke_ = false;
    int dragStartX_ = 0;     // window pixels where a view drag began
    int dragStartY_ = 0;
    int dragScrollX_ = 0;
    int dragScrollY_ = 0;
    int strokeX_ = 0;        // the last cell a mouse stroke reached
    int strokeY_ = 0;
    // A node dragged by the right button: its id and where it stood.
    int32_t draggedId_ = -1;
    int draggedPosX_ = 0;
    int draggedPosY_ = 0;
    std::vector<int32_t> pickList_;
};

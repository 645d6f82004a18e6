#pragma once
// A node of the world tree: the root, a board or an object. A node owns its
// cell grid, the surface its glyphs are rendered into, its children and, in
// the runner, the execution state of its compiled script.

#include "KBitmap.h"
#include "KCell.h"
#include "KChildGrid.h"
#include "KProgram.h"
#include "KSharedText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct KWindow;

class Kobject {
public:
    Kobject();
    ~Kobject();
    Kobject(const Kobject&) = delete;
    Kobject& operator=(const Kobject&) = delete;

    // --- Tree and geometry -------------------------------------------------
    // Whoever writes posx, posy, vieww or viewh of a linked node calls
    // Refile() afterwards, so that its parent's grid of children stays right.
    std::string name;
    KSharedText source;  // the script, lines joined by "\n"
    int32_t viewx = 0;
    int32_t viewy = 0;
    int32_t vieww = 0;
    int32_t viewh = 0;
    int32_t posx = 0;
    int32_t posy = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t posz = 0;
    int32_t savedvieww = 0;  // editor: the real view size while the whole node is shown
    int32_t savedviewh = 0;
    int32_t id = 0;
    KBitmap vSurf;              // 8 * width by 8 * height pixels, made when first needed
    std::vector<KCell> cells;   // width * height, row-major
    std::vector<KCell> shade;   // "Dark" board: colours last shown; editor: backup of cells
    Kobject* parent = nullptr;
    std::vector<std::unique_ptr<Kobject>> children;
    int32_t showchildren = 1;
    KGridSlot gridSlot;  // where the parent's grid keeps this node

    // --- Runner: execution state --------------------------------------------
    // The program is shared with the other copies of its template; the
    // position in it is the node's own.
    KProgramLines lines;
    int32_t currentLine = -1;
    int32_t currentCommand = 0;  // index into the current line's commands
    int32_t running = 1;
    int32_t locked = 0;
    int32_t wait = 0;
    int32_t cycle = 8;
    int32_t collideMode = 1;
    int32_t exclude = 0;
    int32_t enterable = 0;
    int32_t walkDir = -1;
    int32_t ownerid = 0;
    int32_t dead = 0;
    int64_t steppedTick = -1;  // the tick in which its parent last gave it a turn
    std::string lastMarker = "default";
    KMarkers markers;
    KKeyMarkers keyMarkers;

    // --- Editor ------------------------------------------------------------
    int32_t hiddenmark = 0;

    // --- Operations --------------------------------------------------------
    void Create(std::string_view newName, int32_t w, int32_t h);
    void Destroy();
    bool Resize(int32_t w, int32_t h);

    // A new child with the given id at depth z; the caller then Creates it.
    // Spawn keeps objects in descending z, Spawn_Back keeps boards ascending.
    Kobject* Spawn(int32_t newId, int32_t z);
    Kobject* Spawn_Back(int32_t newId, int32_t z);
    bool Erase(const Kobject* child);
    void Link(std::unique_ptr<Kobject> node);
    void Link_Back(std::unique_ptr<Kobject> node);
    // Links node at this place of the child list (clamped to its end),
    // whatever its depth: the editor's undo puts nodes back where they were.
    void LinkAt(size_t index, std::unique_ptr<Kobject> node);
    // Links every node as Link would, one after another, in one pass over
    // the children when the nodes come in descending depth.
    void LinkAll(std::vector<std::unique_ptr<Kobject>> nodes);
    std::unique_ptr<Kobject> UnLink(const Kobject* child);
    void ClearChildren();

    // The node's window (posx, posy, vieww, viewh) changed: its parent's
    // grid files it anew.
    void Refile();
    // The children whose windows overlap window, in list order; looked
    // counts the children looked at.
    void ChildrenMeeting(const KWindow& window, std::vector<Kobject*>& out, int64_t& looked);

    Kobject* FindByName(std::string_view wanted) const;
    int DepthOf(std::string_view wanted) const;
    bool IsAncestorOf(const Kobject* node) const;

    KCell* GetCell(int32_t x, int32_t y);
    const KCell* GetCell(int32_t x, int32_t y) const;
    void SetCell(int32_t x, int32_t y, int chr, int fg, int bg, int attrib);
    void SetCellNow(int32_t x, int32_t y, int chr, int fg, int bg, int attrib);
    // Stores the cell and leaves its glyph to the next drawing, whatever
    // the program: the editor's tools write a million cells at a time.
    void SetCellLater(int32_t x, int32_t y, int chr, int fg, int bg, int attrib);
    // Renders every cell still waiting for its glyph.
    void RenderPending();
    void WriteText(int32_t x, int32_t y, std::string_view text, int fg, int bg, int attrib);

    // Renders the glyph of one cell (with its stored values) into the surface.
    void RenderCell(int32_t x, int32_t y);
    void RenderAll();
    void RestartTree();

    // The screen cell at which the view window starts.
    void WindowOrigin(int32_t& x, int32_t& y) const;
    void OffsetToAncestor(std::string_view ancestorName, int32_t& x, int32_t& y) const;

    // The surface, made (cleared to 0) when first asked for; none when the
    // grid is empty or the surface cannot be made.
    BITMAP* Surface();

    bool IsRoot() const { return parent == nullptr; }
    bool IsBoard() const { return parent != nullptr && parent->parent == nullptr; }

private:
    // Stores the given fields of a cell (-1 keeps one); none outside the grid.
    KCell* StoreCell(int32_t x, int32_t y, int chr, int fg, int bg, int attrib);
    Kobject* SpawnAt(size_t index, int32_t newId, int32_t z);
    size_t FrontInsertIndex(int32_t z) const;
    size_t BackInsertIndex(int32_t z) const;
    size_t ChildIndex(const Kobject* child) const;
    void ChildCame(Kobject& child);
    void ChildLeaves(Kobject& child);
    bool surfaceFailed_ = false;
    std::unique_ptr<KChildGrid> childGrid_;  // made when a crowded parent is first asked
};

#include "KNodeCopy.h"

#include "Kinterface.h"

#include <algorithm>

namespace {

void MeasureInto(const Kobject& node, KTreeSize& size, int level)
{
    ++size.nodes;
    size.cells += static_cast<int64_t>(node.cells.size());
    size.scriptBytes += static_cast<int64_t>(node.source.size());
    size.levels = std::max(size.levels, level);
    for (const auto& child : node.children) MeasureInto(*child, size, level + 1);
}

int16_t Recoloured(int16_t fg, int foreground)
{
    return foreground == -1 ? fg : static_cast<int16_t>(foreground);
}

// A template copy runs: it shares the program with its markers and starts
// at the first command, owned by the node it was copied from.
void CopyProgram(const Kobject& source, Kobject& copy)
{
    copy.ownerid = source.id;
    copy.cycle = 8;
    copy.lines = source.lines;
    copy.markers = source.markers;
    copy.keyMarkers = source.keyMarkers;
    copy.currentLine = -1;
    if (!copy.lines.empty() && !copy.lines[0].commands.empty()) {
        copy.currentLine = 0;
        copy.currentCommand = 0;
        copy.running = 1;
        copy.wait = 0;
    }
}

// A field written into a fresh cell: the "keep" value keeps its 0.
int16_t Written(int16_t value) { return value == kKeep ? 0 : value; }

// The cells written one by one into the fresh grid, as SetCell would: in
// the runner that is a plain pass over the cells (nothing is drawn until
// shown), which keeps copies of the largest nodes quick.
void CopyCells(const Kobject& source, Kobject& copy, int foreground)
{
    const Kinterface* engine = KEngine();
    if ((engine != nullptr && engine->IsEditor()) || copy.cells.size() != source.cells.size()) {
        for (int32_t y = 0; y < source.height; ++y) {
            for (int32_t x = 0; x < source.width; ++x) {
                const KCell* cell = source.GetCell(x, y);
                copy.SetCell(x, y, cell->chr, Recoloured(cell->fg, foreground), cell->bg, cell->attrib);
            }
        }
        return;
    }
    for (size_t i = 0; i < source.cells.size(); ++i) {
        const KCell& from = source.cells[i];
        KCell& to = copy.cells[i];
        to.chr = Written(from.chr);
        to.fg = Written(Recoloured(from.fg, foreground));
        to.bg = Written(from.bg);
        to.attrib = Written(from.attrib);
        to.drawn = 0;
    }
}

// Copies everything but the tree links, the id and the position.
void CopyFields(const Kobject& source, Kobject& copy, const KCopyOptions& options)
{
    copy.Create(source.name, source.width, source.height);
    copy.posz = source.posz;
    CopyCells(source, copy, options.foreground);
    copy.viewx = source.viewx;
    copy.viewy = source.viewy;
    copy.vieww = source.vieww;
    copy.viewh = source.viewh;
    copy.savedvieww = source.savedvieww;
    copy.savedviewh = source.savedviewh;
    copy.hiddenmark = source.hiddenmark;
    copy.source = source.source;
    if (options.asTemplate) CopyProgram(source, copy);
}

bool CopyChildren(Kinterface& engine, const Kobject& source, Kobject& copy, const KCopyOptions& options)
{
    for (const auto& child : source.children) {
        const int32_t id = engine.TakeNextId();
        if (id < 0) return false;
        Kobject* made = copy.Spawn(id, child->posz);
        CopyFields(*child, *made, options);
        made->posx = child->posx;
        made->posy = child->posy;
        made->Refile();
        if (!CopyChildren(engine, *child, *made, options)) return false;
    }
    return true;
}

// The copy's deepest node must stay within the nesting bound too, not only
// the copy itself.
bool FitsBounds(const Kinterface& engine, const Kobject& parent, const Kobject& source)
{
    const KTreeSize size = KMeasureTree(source);
    int parentDepth = 0;
    for (const Kobject* at = &parent; at->parent != nullptr; at = at->parent) ++parentDepth;
    return parentDepth + size.levels <= engine.vLimits.maxDepth &&
           engine.MayAddNodes(parent, size.nodes, size.cells, source.width, source.height);
}

void FillNewBoard(Kobject& board)
{
    for (int32_t y = 0; y < board.height; ++y) {
        for (int32_t x = 0; x < board.width; ++x) {
            const bool edge = x == 0 || y == 0 || x == board.width - 1 || y == board.height - 1;
            if (edge) {
                board.SetCell(x, y, 176, 16, 32, 1);
            } else {
                board.SetCell(x, y, 0, 255, 255, 0);
            }
        }
    }
}

}  // namespace

KTreeSize KMeasureTree(const Kobject& node)
{
    KTreeSize size;
    MeasureInto(node, size, 1);
    return size;
}

std::unique_ptr<Kobject> KCopyNode(Kinterface& engine, const Kobject& source, const KCopyOptions& options)
{
    if (!FitsBounds(engine, *engine.vMain, source)) return nullptr;
    const int32_t id = engine.TakeNextId();
    if (id < 0) return nullptr;
    auto copy = std::make_unique<Kobject>();
    copy->id = id;
    CopyFields(source, *copy, options);
    if (!CopyChildren(engine, source, *copy, options)) return nullptr;
    return copy;
}

Kobject* KCopyNodeInto(Kinterface& engine, const Kobject& source, Kobject& parent, const KCopyOptions& options)
{
    if (!FitsBounds(engine, parent, source)) return nullptr;
    std::unique_ptr<Kobject> copy = KCopyNode(engine, source, options);
    if (!copy) return nullptr;
    copy->posx = source.posx;
    copy->posy = source.posy;
    Kobject* linked = copy.get();
    if (parent.IsRoot()) {
        parent.Link_Back(std::move(copy));
    } else {
        parent.Link(std::move(copy));
    }
    return linked;
}

void KNewBoardSize(int videoMode, int32_t& width, int32_t& height)
{
    static constexpr int32_t kWidths[4] = {40, 80, 100, 128};
    static constexpr int32_t kHeights[4] = {30, 60, 75, 96};
    const size_t mode = static_cast<size_t>(std::clamp(videoMode, 0, 3));
    width = kWidths[mode];
    height = kHeights[mode];
}

Kobject* KMakeNewBoard(Kinterface& engine)
{
    int32_t width = 0;
    int32_t height = 0;
    KNewBoardSize(engine.vVideoMode, width, height);
    if (!engine.MayAddNodes(*engine.vMain, 1, int64_t{width} * height, width, height)) return nullptr;
    const int32_t id = engine.TakeNextId();
    if (id < 0) return nullptr;
    Kobject* board = engine.vMain->Spawn_Back(id, 0);
    board->Create("NewBoard", width, height);
    FillNewBoard(*board);
    return board;
}

Kobject* KMakeNewObject(Kinterface& engine, Kobject& parent)
{
    if (!engine.MayAddNodes(parent, 1, 1, 1, 1)) return nullptr;
    const int32_t id = engine.TakeNextId();
    if (id < 0) return nullptr;
    Kobject* object = parent.Spawn(id, 0);
    object->Create("NewObject" + std::to_string(id), 1, 1);
    object->SetCell(0, 0, 1, 15, 1, 1);
    return object;
}

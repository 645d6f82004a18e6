#include "Kobject.h"

#include "KTrace.h"
#include "KWindow.h"
#include "Kfont.h"
#include "Kinterface.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

bool EditorFlavour()
{
    const Kinterface* engine = KEngine();
    return engine != nullptr && engine->IsEditor();
}

Kfont* EngineFont()
{
    Kinterface* engine = KEngine();
    return engine != nullptr ? engine->vFont.get() : nullptr;
}

int16_t KeepOr(int value, int16_t old) { return value == kKeep ? old : static_cast<int16_t>(value); }

}  // namespace

namespace {

// The engine counts the nodes and cells alive, for the bounds of growth.
void CountNode()
{
    if (Kinterface* engine = KEngine()) ++engine->vLiveNodes;
}

// Children looked at or moved along for one unit of a tick's work: an edit
// of a long list of children costs time in proportion to its length, and
// the tick that makes it pays for that, not one unit for the command.
constexpr size_t kListEntriesPerUnit = 32;
// Children whose depth is read to find a place, for one unit.
constexpr size_t kDepthsReadPerUnit = 8;

void ChargeListWork(size_t entries, size_t perUnit)
{
    if (entries < perUnit) return;
    if (Kinterface* engine = KEngine()) engine->vWork.Spend(static_cast<int64_t>(entries / perUnit));
}

void CountCells(size_t before, size_t after)
{
    if (Kinterface* engine = KEngine()) {
        engine->vLiveCells += static_cast<int64_t>(after) - static_cast<int64_t>(before);
    }
}

}  // namespace

Kobject::Kobject() { CountNode(); }

Kobject::~Kobject()
{
    // Children first, so every node of the subtree is forgotten while its
    // parent still exists.
    childGrid_.reset();
    children.clear();
    if (Kinterface* engine = KEngine()) engine->ForgetNode(this);
}

void Kobject::Create(std::string_view newName, int32_t w, int32_t h)
{
    name.assign(newName);
    w = std::max(w, 0);
    h = std::max(h, 0);
    width = vieww = w;
    height = viewh = h;
    const size_t before = cells.size();
    cells.assign(static_cast<size_t>(w) * static_cast<size_t>(h), KCell{});
    CountCells(before, cells.size());
    vSurf.reset();
    surfaceFailed_ = false;
    childGrid_.reset();
    Refile();
    if (EditorFlavour()) {
        KTRACE("%s->Create(%i,%i)\n", name.c_str(), w, h);
        Surface();
    }
}

void Kobject::Destroy()
{
    KTRACE("%s->Destroy()\n", name.c_str());
    name.clear();
    vSurf.reset();
    surfaceFailed_ = false;
    CountCells(cells.size(), 0);
    cells.clear();
    viewx = viewy = vieww = viewh = 0;
    posx = posy = width = height = posz = 0;
    childGrid_.reset();
    Refile();
}

bool Kobject::Resize(int32_t w, int32_t h)
{
    if (EditorFlavour()) KTRACE("%s->Resize(%i,%i)\n", name.c_str(), w, h);
    w = std::max(w, 0);
    h = std::max(h, 0);
    std::vector<KCell> grid(static_cast<size_t>(w) * static_cast<size_t>(h), KCell{0, 255, 255, 0, 0, 0});
    const int32_t keepW = std::min(width, w);
    const int32_t keepH = std::min(height, h);
    for (int32_t y = 0; y < keepH; ++y) {
        for (int32_t x = 0; x < keepW; ++x) {
            KCell cell = cells[static_cast<size_t>(y) * width + x];
            cell.drawn = 0;
            grid[static_cast<size_t>(y) * w + x] = cell;
        }
    }
    CountCells(cells.size(), grid.size());
    cells = std::move(grid);
    width = w;
    height = h;
    vieww = std::min(vieww, w);
    viewh = std::min(viewh, h);
    // The grid's buckets follow the surface's size.
    childGrid_.reset();
    Refile();
    vSurf.reset();
    surfaceFailed_ = false;
    if (!cells.empty() && Surface() == nullptr) {
        if (Kinterface* engine = KEngine()) engine->Report("Unable to Resize Object vSurf", __FILE_NAME__, __LINE__);
        return false;
    }
    if (EditorFlavour()) RenderAll();
    return true;
}

BITMAP* Kobject::Surface()
{
    if (!vSurf && !surfaceFailed_ && width > 0 && height > 0) {
        vSurf = KMakeBitmap(8 * width, 8 * height);
        surfaceFailed_ = !vSurf;
    }
    return vSurf.get();
}

size_t Kobject::FrontInsertIndex(int32_t z) const
{
    // Records and copies usually arrive in order: nothing lower stands at the end.
    if (children.empty() || children.back()->posz >= z) return children.size();
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i]->posz < z) {
            ChargeListWork(i, kDepthsReadPerUnit);
            return i;
        }
    }
    ChargeListWork(children.size(), kDepthsReadPerUnit);
    return children.size();
}

size_t Kobject::BackInsertIndex(int32_t z) const
{
    if (children.empty() || children.back()->posz <= z) return children.size();
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i]->posz > z) {
            ChargeListWork(i, kDepthsReadPerUnit);
            return i;
        }
    }
    ChargeListWork(children.size(), kDepthsReadPerUnit);
    return children.size();
}

size_t Kobject::ChildIndex(const Kobject* child) const
{
    if (child == nullptr) return children.size();
    // From the back, where the newest children (the shortest-lived: shots
    // and other spawned things) are; comparing the pointers themselves
    // spares a visit to every child passed on the way.
    for (size_t i = children.size(); i-- > 0;) {
        if (children[i].get() == child) {
            ChargeListWork(children.size() - i, kListEntriesPerUnit);
            return i;
        }
    }
    ChargeListWork(children.size(), kListEntriesPerUnit);
    return children.size();
}

Kobject* Kobject::SpawnAt(size_t index, int32_t newId, int32_t z)
{
    auto node = std::make_unique<Kobject>();
    node->parent = this;
    node->posz = z;
    node->id = newId;
    node->ownerid = newId;
    Kobject* raw = node.get();
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
    ChildCame(*raw);
    return raw;
}

Kobject* Kobject::Spawn(int32_t newId, int32_t z)
{
    if (EditorFlavour()) KTRACE("%s->Spawn(%i)\n", name.c_str(), z);
    return SpawnAt(FrontInsertIndex(z), newId, z);
}

Kobject* Kobject::Spawn_Back(int32_t newId, int32_t z)
{
    if (EditorFlavour()) KTRACE("%s->Spawn_Back(%i)\n", name.c_str(), z);
    return SpawnAt(BackInsertIndex(z), newId, z);
}

bool Kobject::Erase(const Kobject* child)
{
    const size_t index = ChildIndex(child);
    if (index == children.size()) return false;
    if (EditorFlavour()) KTRACE("%s->Erase(%s)\n", name.c_str(), children[index]->name.c_str());
    // Take the child out of the list before destroying it, so nothing that
    // runs during the destruction sees a half-gone node among the children.
    ChildLeaves(*children[index]);
    std::unique_ptr<Kobject> gone = std::move(children[index]);
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(index));
    gone.reset();
    return true;
}

void Kobject::Link(std::unique_ptr<Kobject> node)
{
    if (!node) return;
    if (EditorFlavour()) KTRACE("%s->Link(%s)\n", name.c_str(), node->name.c_str());
    node->parent = this;
    const size_t index = FrontInsertIndex(node->posz);
    Kobject& linked = *node;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
    ChildCame(linked);
}

void Kobject::Link_Back(std::unique_ptr<Kobject> node)
{
    if (!node) return;
    if (EditorFlavour()) KTRACE("%s->Link(%s)\n", name.c_str(), node->name.c_str());
    node->parent = this;
    const size_t index = BackInsertIndex(node->posz);
    Kobject& linked = *node;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
    ChildCame(linked);
}

void Kobject::LinkAt(size_t index, std::unique_ptr<Kobject> node)
{
    if (!node) return;
    node->parent = this;
    index = std::min(index, children.size());
    Kobject& linked = *node;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
    ChildCame(linked);
}

void Kobject::LinkAll(std::vector<std::unique_ptr<Kobject>> nodes)
{
    const bool descending = std::is_sorted(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) {
        return a->posz > b->posz;
    });
    if (!descending || nodes.size() < 2) {
        for (auto& node : nodes) Link(std::move(node));
        return;
    }
    // Link puts a node before the first child of lower depth, or last when
    // the last child is not lower. The children before a linked node are
    // none of them lower than it, so the next node (no deeper) goes after
    // it: one merge gives what linking one by one gives.
    std::vector<std::unique_ptr<Kobject>> old;
    old.swap(children);
    children.reserve(old.size() + nodes.size());
    size_t next = 0;
    bool atEnd = false;
    std::vector<Kobject*> linked;
    linked.reserve(nodes.size());
    std::vector<std::unique_ptr<Kobject>> last;
    for (auto& node : nodes) {
        const int32_t z = node->posz;
        node->parent = this;
        linked.push_back(node.get());
        if (!atEnd && (old.empty() || old.back()->posz >= z)) atEnd = true;
        if (!atEnd) {
            while (next < old.size() && old[next]->posz >= z) children.push_back(std::move(old[next++]));
            if (next == old.size()) atEnd = true;
        }
        if (atEnd) {
            last.push_back(std::move(node));
        } else {
            children.push_back(std::move(node));
        }
    }
    for (; next < old.size(); ++next) children.push_back(std::move(old[next]));
    for (auto& node : last) children.push_back(std::move(node));
    ChargeListWork(children.size(), kDepthsReadPerUnit);
    for (Kobject* node : linked) {
        if (childGrid_) childGrid_->File(*node);
    }
    if (childGrid_) childGrid_->ListChanged();
}

std::unique_ptr<Kobject> Kobject::UnLink(const Kobject* child)
{
    const size_t index = ChildIndex(child);
    if (index == children.size()) return nullptr;
    if (EditorFlavour()) KTRACE("%s->UnLink(%s)\n", name.c_str(), children[index]->name.c_str());
    ChildLeaves(*children[index]);
    std::unique_ptr<Kobject> node = std::move(children[index]);
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(index));
    node->parent = nullptr;
    return node;
}

void Kobject::ClearChildren()
{
    childGrid_.reset();
    std::vector<std::unique_ptr<Kobject>> gone;
    gone.swap(children);
    gone.clear();
}

void Kobject::ChildCame(Kobject& child)
{
    // The children after it moved along by one.
    ChargeListWork(children.size(), kListEntriesPerUnit);
    if (!childGrid_) return;
    childGrid_->File(child);
    childGrid_->ListChanged();
}

void Kobject::ChildLeaves(Kobject& child)
{
    // The children after it will move along by one.
    ChargeListWork(children.size(), kListEntriesPerUnit);
    if (!childGrid_) return;
    childGrid_->Unfile(child);
    childGrid_->ListChanged();
}

void Kobject::Refile()
{
    if (parent != nullptr && parent->childGrid_) parent->childGrid_->Refile(*this);
}

namespace {

void PlainMeeting(const Kobject& parent, const KWindow& window, std::vector<Kobject*>& out, int64_t& looked)
{
    out.clear();
    looked += static_cast<int64_t>(parent.children.size());
    for (const auto& child : parent.children) {
        if (KOverlaps(window, KWindowOf(*child))) out.push_back(child.get());
    }
}

// The grid must answer as the plain scan does; a difference means some
// change of a window was never filed, and play would go on wrongly.
void CheckAgainstScan(const Kobject& parent, const KWindow& window, const std::vector<Kobject*>& found)
{
    std::vector<Kobject*> scanned;
    int64_t looked = 0;
    PlainMeeting(parent, window, scanned, looked);
    if (scanned == found) return;
    std::fprintf(stderr, "The grid of '%s' answers %zu children where the scan finds %zu\n", parent.name.c_str(),
                 found.size(), scanned.size());
    std::abort();
}

}  // namespace

void Kobject::ChildrenMeeting(const KWindow& window, std::vector<Kobject*>& out, int64_t& looked)
{
    const Kinterface* engine = KEngine();
    const size_t gridFrom = engine != nullptr ? engine->vChildGridFrom : kChildGridFrom;
    if (!childGrid_ && children.size() < gridFrom) {
        PlainMeeting(*this, window, out, looked);
        return;
    }
    if (!childGrid_) childGrid_ = std::make_unique<KChildGrid>(*this);
    if (engine != nullptr) childGrid_->CatchUp(*this, engine->vTickCount);
    childGrid_->Meeting(*this, window, out, looked);
    if (engine != nullptr && engine->vCheckChildGrid) CheckAgainstScan(*this, window, out);
}

Kobject* Kobject::FindByName(std::string_view wanted) const
{
    for (const auto& child : children) {
        if (child->name == wanted) return child.get();
        if (Kobject* found = child->FindByName(wanted)) return found;
    }
    return nullptr;
}

int Kobject::DepthOf(std::string_view wanted) const
{
    for (const auto& child : children) {
        if (child->name == wanted) return 0;
        const int below = child->DepthOf(wanted);
        if (below >= 0) return below + 1;
    }
    return -1;
}

bool Kobject::IsAncestorOf(const Kobject* node) const
{
    for (const Kobject* at = node != nullptr ? node->parent : nullptr; at != nullptr; at = at->parent) {
        if (at == this) return true;
    }
    return false;
}

KCell* Kobject::GetCell(int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    const size_t index = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    return index < cells.size() ? &cells[index] : nullptr;
}

const KCell* Kobject::GetCell(int32_t x, int32_t y) const
{
    return const_cast<Kobject*>(this)->GetCell(x, y);
}

KCell* Kobject::StoreCell(int32_t x, int32_t y, int chr, int fg, int bg, int attrib)
{
    KCell* cell = GetCell(x, y);
    if (cell == nullptr) return nullptr;
    cell->chr = KeepOr(chr, cell->chr);
    cell->fg = KeepOr(fg, cell->fg);
    cell->bg = KeepOr(bg, cell->bg);
    cell->attrib = KeepOr(attrib, cell->attrib);
    return cell;
}

void Kobject::SetCell(int32_t x, int32_t y, int chr, int fg, int bg, int attrib)
{
    KCell* cell = StoreCell(x, y, chr, fg, bg, attrib);
    if (cell == nullptr) return;
    if (EditorFlavour()) {
        RenderCell(x, y);
    } else {
        cell->drawn = 0;
    }
}

void Kobject::SetCellNow(int32_t x, int32_t y, int chr, int fg, int bg, int attrib)
{
    if (StoreCell(x, y, chr, fg, bg, attrib) != nullptr) RenderCell(x, y);
}

void Kobject::SetCellLater(int32_t x, int32_t y, int chr, int fg, int bg, int attrib)
{
    if (KCell* cell = StoreCell(x, y, chr, fg, bg, attrib)) cell->drawn = 0;
}

void Kobject::RenderPending()
{
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            if (cells[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)].drawn == 0) RenderCell(x, y);
        }
    }
}

void Kobject::WriteText(int32_t x, int32_t y, std::string_view text, int fg, int bg, int attrib)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const int chr = static_cast<signed char>(text[i]);
        SetCellNow(x + static_cast<int32_t>(i), y, chr, fg, bg, attrib);
    }
}

void Kobject::RenderCell(int32_t x, int32_t y)
{
    KCell* cell = GetCell(x, y);
    if (cell == nullptr) return;
    cell->drawn = 1;
    if (Kfont* font = EngineFont()) font->RenderGlyph(*this, cell->chr, cell->fg, cell->bg, x, y);
}

void Kobject::RenderAll()
{
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) RenderCell(x, y);
    }
    for (const auto& child : children) child->RenderAll();
}

void Kobject::RestartTree()
{
    if (!lines.empty() && !lines[0].commands.empty()) {
        currentLine = 0;
        currentCommand = 0;
    }
    running = 1;
    locked = 0;
    wait = 0;
    for (const auto& child : children) child->RestartTree();
}

void Kobject::WindowOrigin(int32_t& x, int32_t& y) const
{
    int64_t sumX = 0;
    int64_t sumY = 0;
    for (const Kobject* node = this; node->parent != nullptr; node = node->parent) {
        sumX += node->posx;
        sumY += node->posy;
        if (node->parent->parent != nullptr) {
            sumX -= node->parent->viewx;
            sumY -= node->parent->viewy;
        }
    }
    x = static_cast<int32_t>(sumX);
    y = static_cast<int32_t>(sumY);
}

void Kobject::OffsetToAncestor(std::string_view ancestorName, int32_t& x, int32_t& y) const
{
    for (const Kobject* node = parent; node != nullptr; node = node->parent) {
        if (node->name == ancestorName) return;
        x += node->posx - node->viewx;
        y += node->posy - node->viewy;
    }
}

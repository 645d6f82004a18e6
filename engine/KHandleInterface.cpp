// The handle interface through which the editor reaches every node.

#include "KTrace.h"
#include "Kinterface.h"

#include <algorithm>

Kobject* Kinterface::ValidNode(int h) const { return NodeOf(h); }

bool Kinterface::ResizeWithinBounds(Kobject& node, int32_t w, int32_t h)
{
    // A size typed into a dialog must not cost more than a loaded world may.
    if (!MayResize(node, w, h)) return false;
    return node.Resize(w, h);
}

int Kinterface::GetProperty(int h, int property) const
{
    const Kobject* node = ValidNode(h);
    if (node == nullptr) return 0;
    switch (property) {
    case 0: return node->posx;
    case 1: return node->posy;
    case 2: return node->posz;
    case 3: return node->width;
    case 4: return node->height;
    case 5: return node->viewx;
    case 6: return node->viewy;
    case 7: return node->vieww;
    case 8: return node->viewh;
    default: return 0;
    }
}

void Kinterface::SetProperty(int h, int property, int value)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr) return;
    switch (property) {
    case 0: node->posx = value; break;
    case 1: node->posy = value; break;
    case 2: {
        node->posz = value;
        Kobject* parent = node->parent;
        if (parent == nullptr) break;
        std::unique_ptr<Kobject> taken = parent->UnLink(node);
        if (parent->IsRoot()) {
            parent->Link_Back(std::move(taken));
        } else {
            parent->Link(std::move(taken));
        }
        break;
    }
    case 3: ResizeWithinBounds(*node, value, node->height); break;
    case 4: ResizeWithinBounds(*node, node->width, value); break;
    case 5: node->viewx = value; break;
    case 6: node->viewy = value; break;
    case 7:
        node->vieww = value;
        node->savedvieww = node->savedviewh = 0;
        if (node->vieww > node->width && !ResizeWithinBounds(*node, node->vieww, node->height)) {
            node->vieww = node->width;
        }
        break;
    case 8:
        node->viewh = value;
        node->savedvieww = node->savedviewh = 0;
        if (node->viewh > node->height && !ResizeWithinBounds(*node, node->width, node->viewh)) {
            node->viewh = node->height;
        }
        break;
    default: break;
    }
    node->Refile();
}

std::string Kinterface::GetName(int h) const
{
    const Kobject* node = ValidNode(h);
    return node != nullptr ? node->name : std::string();
}

void Kinterface::SetName(int h, std::string_view text)
{
    if (Kobject* node = ValidNode(h)) node->name.assign(text);
}

std::string Kinterface::GetScriptText(int h) const
{
    const Kobject* node = ValidNode(h);
    return node != nullptr ? node->source.Text() : std::string();
}

void Kinterface::SetScriptText(int h, std::string_view text)
{
    if (Kobject* node = ValidNode(h)) node->source.assign(text);
}

bool Kinterface::GetCellAt(int h, int x, int y, int& chr, int& fg, int& bg, int& attrib) const
{
    const Kobject* node = ValidNode(h);
    const KCell* cell = node != nullptr ? node->GetCell(x, y) : nullptr;
    if (cell == nullptr) return false;
    chr = cell->chr;
    fg = cell->fg;
    bg = cell->bg;
    attrib = cell->attrib;
    return true;
}

void Kinterface::SetCellAt(int h, int x, int y, int chr, int fg, int bg, int attrib)
{
    if (Kobject* node = ValidNode(h)) node->SetCell(x, y, chr, fg, bg, attrib);
}

int Kinterface::CreateChild(int h, std::string_view childName, int w, int h2, int z)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr) return -1;
    const int32_t newId = TakeNextId();
    if (newId < 0) return -1;
    Kobject* child = node->Spawn(newId, z);
    child->Create(childName, w, h2);
    return AllocHandle(child);
}

bool Kinterface::DeleteNode(int h)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr || node->parent == nullptr || vMain->children.size() < 2) return false;
    node->parent->Erase(node);
    if (h > 0 && h < kHandleCount) FreeEntry(h);
    return true;
}

bool Kinterface::MoveNode(int h, int newParent)
{
    Kobject* node = ValidNode(h);
    Kobject* destination = ValidNode(newParent);
    if (node == nullptr || destination == nullptr || node == destination || node->parent == nullptr) return false;
    // A node cannot become a child of its own subtree.
    if (node->IsAncestorOf(destination)) return false;
    std::unique_ptr<Kobject> taken = node->parent->UnLink(node);
    destination->Link(std::move(taken));
    return true;
}

namespace {
Kobject* FindById(Kobject& node, int32_t wanted)
{
    if (node.id == wanted) return &node;
    for (const auto& child : node.children) {
        if (Kobject* found = FindById(*child, wanted)) return found;
    }
    return nullptr;
}
}  // namespace

int Kinterface::HandleById(int h, int32_t wantedId)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr) return -1;
    Kobject* found = FindById(*node, wantedId);
    return found != nullptr ? AllocHandle(found) : -1;
}

int Kinterface::ParentHandle(int h)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr || node->parent == nullptr) return -1;
    return AllocHandle(node->parent);
}

int32_t Kinterface::IdOf(int h) const
{
    const Kobject* node = ValidNode(h);
    return node != nullptr ? node->id : -1;
}

int Kinterface::IsWholeShown(int h) const
{
    const Kobject* node = ValidNode(h);
    return node != nullptr && node->savedvieww != 0 ? 1 : 0;
}

namespace {
void ShowWholeNode(Kobject& node, int on)
{
    if (on == 1 && node.savedvieww == 0) {
        node.savedvieww = node.vieww;
        node.savedviewh = node.viewh;
        node.viewx = node.viewy = 0;
        node.vieww = node.width;
        node.viewh = node.height;
    } else if (on == 0 && node.savedvieww != 0) {
        node.vieww = node.savedvieww;
        node.viewh = node.savedviewh;
        node.savedvieww = node.savedviewh = 0;
    }
    node.Refile();
}

void ShowWholeSubtree(Kobject& node)
{
    if (node.savedvieww == 0) ShowWholeNode(node, 1);
    for (const auto& child : node.children) ShowWholeSubtree(*child);
}

void CopyIntoPlane(const std::vector<KCell>& from, std::vector<KCell>& to, size_t size)
{
    to.resize(size, KCell{});
    std::copy_n(from.begin(), std::min(from.size(), size), to.begin());
}
}  // namespace

void Kinterface::ShowWhole(int h, int on)
{
    if (Kobject* node = ValidNode(h)) ShowWholeNode(*node, on);
}

void Kinterface::ShowWholeTree(int h)
{
    if (Kobject* node = ValidNode(h)) ShowWholeSubtree(*node);
}

int Kinterface::GetHiddenMark(int h) const
{
    const Kobject* node = ValidNode(h);
    return node != nullptr ? node->hiddenmark : 0;
}

void Kinterface::SetHiddenMark(int h, int value)
{
    if (Kobject* node = ValidNode(h)) node->hiddenmark = value;
}

void Kinterface::SaveBackup(int h)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr) return;
    const size_t size = static_cast<size_t>(node->width) * static_cast<size_t>(node->height);
    CopyIntoPlane(node->cells, node->shade, size);
}

void Kinterface::RestoreBackup(int h)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr) return;
    const size_t size = static_cast<size_t>(node->width) * static_cast<size_t>(node->height);
    node->shade.resize(size, KCell{});
    CopyIntoPlane(node->shade, node->cells, size);
    node->RenderAll();
}

void Kinterface::MoveToScreen(int h, int x, int y)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr || node->parent == nullptr) return;
    const Kobject& parent = *node->parent;
    if (parent.IsRoot()) {
        node->posx = x;
        node->posy = y;
        node->Refile();
        return;
    }
    int32_t originX = 0;
    int32_t originY = 0;
    parent.WindowOrigin(originX, originY);
    node->posx = parent.viewx + (x - originX);
    node->posy = parent.viewy + (y - originY);
    node->Refile();
}

bool Kinterface::ScreenToNode(int h, int x, int y, int& nodeX, int& nodeY) const
{
    const Kobject* node = ValidNode(h);
    if (node == nullptr) return false;
    int32_t originX = 0;
    int32_t originY = 0;
    node->WindowOrigin(originX, originY);
    nodeX = x - originX + node->viewx;
    nodeY = y - originY + node->viewy;
    return true;
}

void Kinterface::NodeOrigin(int h, int& x, int& y) const
{
    const Kobject* node = ValidNode(h);
    if (node == nullptr) return;
    int32_t originX = 0;
    int32_t originY = 0;
    node->WindowOrigin(originX, originY);
    x += originX;
    y += originY;
}

namespace {
void CollectHits(Kinterface& engine, int list, Kobject& node, int x, int y)
{
    int32_t originX = 0;
    int32_t originY = 0;
    node.WindowOrigin(originX, originY);
    const bool hit = !node.IsRoot() && originX <= x && x < originX + node.vieww && originY <= y && y < originY + node.viewh;
    if (hit) engine.AddToList(list, &node);
    for (const auto& child : node.children) CollectHits(engine, list, *child, x, y);
}
}  // namespace

int Kinterface::HitTest(int h, int x, int y)
{
    Kobject* node = ValidNode(h);
    if (node == nullptr) return -1;
    const int list = AllocList();
    if (list < 0) return -1;
    CollectHits(*this, list, *node, x, y);
    return list;
}

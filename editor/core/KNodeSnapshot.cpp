#include "KNodeSnapshot.h"

#include "Kobject.h"

namespace {

void CopyCellsOut(const Kobject& node, KNodeSnapshot& shot)
{
    shot.cells = node.cells;
    for (KCell& cell : shot.cells) cell.drawn = 0;
    shot.hasCells = true;
}

// Writes every kept cell through the node; the compositor renders their
// glyphs when it next draws them, so a restored subtree is not rendered twice.
void WriteCells(Kobject& node, const KNodeSnapshot& shot)
{
    const size_t expected = static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height);
    if (shot.cells.size() != expected) return;
    for (int32_t y = 0; y < shot.height; ++y) {
        for (int32_t x = 0; x < shot.width; ++x) {
            const KCell& cell = shot.cells[static_cast<size_t>(y) * static_cast<size_t>(shot.width) + static_cast<size_t>(x)];
            node.SetCellLater(x, y, cell.chr, cell.fg, cell.bg, cell.attrib);
        }
    }
}

void SetPlainFields(Kobject& node, const KNodeSnapshot& shot)
{
    node.name = shot.name;
    node.source = shot.source;
    node.posx = shot.posx;
    node.posy = shot.posy;
    node.posz = shot.posz;
    node.viewx = shot.viewx;
    node.viewy = shot.viewy;
    node.vieww = shot.vieww;
    node.viewh = shot.viewh;
    node.savedvieww = shot.savedvieww;
    node.savedviewh = shot.savedviewh;
    node.hiddenmark = shot.hiddenmark;
}

}  // namespace

KNodeSnapshot KCaptureFields(const Kobject& node, bool withCells)
{
    KNodeSnapshot shot;
    shot.name = node.name;
    shot.source = node.source;
    shot.id = node.id;
    shot.posx = node.posx;
    shot.posy = node.posy;
    shot.posz = node.posz;
    shot.width = node.width;
    shot.height = node.height;
    shot.viewx = node.viewx;
    shot.viewy = node.viewy;
    shot.vieww = node.vieww;
    shot.viewh = node.viewh;
    shot.savedvieww = node.savedvieww;
    shot.savedviewh = node.savedviewh;
    shot.hiddenmark = node.hiddenmark;
    if (withCells) CopyCellsOut(node, shot);
    return shot;
}

KNodeSnapshot KCaptureSubtree(const Kobject& node)
{
    KNodeSnapshot shot = KCaptureFields(node, true);
    shot.children.reserve(node.children.size());
    for (const auto& child : node.children) shot.children.push_back(KCaptureSubtree(*child));
    return shot;
}

void KRestoreFields(Kobject& node, const KNodeSnapshot& shot)
{
    if (shot.hasCells) {
        if (node.width != shot.width || node.height != shot.height) node.Resize(shot.width, shot.height);
        WriteCells(node, shot);
    }
    SetPlainFields(node, shot);
    node.Refile();
}

std::unique_ptr<Kobject> KBuildSubtree(const KNodeSnapshot& shot)
{
    auto node = std::make_unique<Kobject>();
    node->id = shot.id;
    node->ownerid = shot.id;
    node->Create(shot.name, shot.width, shot.height);
    WriteCells(*node, shot);
    SetPlainFields(*node, shot);
    // A fresh node has no grid of children yet: appending keeps the order.
    for (const KNodeSnapshot& child : shot.children) {
        std::unique_ptr<Kobject> built = KBuildSubtree(child);
        built->parent = node.get();
        node->children.push_back(std::move(built));
    }
    return node;
}

int64_t KSnapshotBytes(const KNodeSnapshot& shot)
{
    int64_t bytes = static_cast<int64_t>(sizeof(KNodeSnapshot) + shot.name.capacity() + shot.source.capacity() +
                                         shot.cells.capacity() * sizeof(KCell));
    for (const KNodeSnapshot& child : shot.children) bytes += KSnapshotBytes(child);
    return bytes;
}

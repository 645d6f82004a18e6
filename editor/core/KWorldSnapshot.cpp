#include "KWorldSnapshot.h"

#include "Kinterface.h"

namespace {

KNodeSnapshot CaptureNode(const Kobject& node)
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
    shot.cells = node.cells;
    shot.children.reserve(node.children.size());
    for (const auto& child : node.children) shot.children.push_back(CaptureNode(*child));
    return shot;
}

// Children are appended in the snapshot's order: that order is the tree's,
// whatever depths the nodes carry.
void RestoreInto(Kobject& parent, const KNodeSnapshot& shot)
{
    auto node = std::make_unique<Kobject>();
    node->id = shot.id;
    node->ownerid = shot.id;
    node->Create(shot.name, shot.width, shot.height);
    for (int32_t y = 0; y < shot.height; ++y) {
        for (int32_t x = 0; x < shot.width; ++x) {
            const KCell& cell = shot.cells[static_cast<size_t>(y) * static_cast<size_t>(shot.width) + static_cast<size_t>(x)];
            node->SetCell(x, y, cell.chr, cell.fg, cell.bg, cell.attrib);
        }
    }
    node->source = shot.source;
    node->posx = shot.posx;
    node->posy = shot.posy;
    node->posz = shot.posz;
    node->viewx = shot.viewx;
    node->viewy = shot.viewy;
    node->vieww = shot.vieww;
    node->viewh = shot.viewh;
    node->savedvieww = shot.savedvieww;
    node->savedviewh = shot.savedviewh;
    node->hiddenmark = shot.hiddenmark;
    node->parent = &parent;
    Kobject& made = *node;
    parent.children.push_back(std::move(node));
    for (const KNodeSnapshot& child : shot.children) RestoreInto(made, child);
}

}  // namespace

KWorldSnapshot KCaptureWorld(const Kinterface& engine)
{
    KWorldSnapshot snapshot;
    for (const auto& board : engine.vMain->children) snapshot.boards.push_back(CaptureNode(*board));
    snapshot.videoMode = engine.vVideoMode;
    snapshot.windowed = engine.vWindowed;
    snapshot.nextId = engine.vNextId;
    return snapshot;
}

void KRestoreWorld(Kinterface& engine, const KWorldSnapshot& snapshot)
{
    engine.vMain->ClearChildren();
    engine.vActiveBoard = nullptr;
    engine.vPlayer = nullptr;
    for (const KNodeSnapshot& board : snapshot.boards) RestoreInto(*engine.vMain, board);
    engine.vVideoMode = snapshot.videoMode;
    engine.vWindowed = snapshot.windowed;
    engine.vNextId = snapshot.nextId;
}

#pragma once
// Nodes kept as plain values: what an undo step holds of the nodes an edit
// touched. They are not nodes, so they count against none of the engine's
// live-node and live-cell bounds.

#include "KCell.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Kobject;

struct KNodeSnapshot {
    std::string name;
    std::string source;
    int32_t id = 0;
    int32_t posx = 0, posy = 0, posz = 0;
    int32_t width = 0, height = 0;
    int32_t viewx = 0, viewy = 0, vieww = 0, viewh = 0;
    int32_t savedvieww = 0, savedviewh = 0;
    int32_t hiddenmark = 0;
    // Empty when only the node's own fields were kept.
    std::vector<KCell> cells;
    bool hasCells = false;
    std::vector<KNodeSnapshot> children;
};

// The node's own fields, and its cells when withCells is set; no children.
KNodeSnapshot KCaptureFields(const Kobject& node, bool withCells);
// The node with its cells and its whole subtree.
KNodeSnapshot KCaptureSubtree(const Kobject& node);
// Puts the kept fields (and cells, when kept) back into node.
void KRestoreFields(Kobject& node, const KNodeSnapshot& shot);
// A detached node built from a subtree snapshot, ids and all.
std::unique_ptr<Kobject> KBuildSubtree(const KNodeSnapshot& shot);
// Bytes the snapshot holds, for the undo budget.
int64_t KSnapshotBytes(const KNodeSnapshot& shot);

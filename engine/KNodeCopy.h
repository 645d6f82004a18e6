#pragma once
// Making nodes outside the readers: deep copies of a node with its subtree
// (the editor's copy, paste and duplicate, and templates copied at run
// time) and the editor's new boards and objects.

#include "Kobject.h"

#include <cstdint>
#include <memory>

class Kinterface;

// Nodes and cells of node and everything below it, and how many levels
// deep it goes (1 for a node without children).
struct KTreeSize {
    int64_t nodes = 0;
    int64_t cells = 0;
    int64_t scriptBytes = 0;  // the scripts' text, which a copy copies
    int levels = 0;
};
KTreeSize KMeasureTree(const Kobject& node);

// How a copy differs from its source. A template copy (the runner's
// spawning) also takes the position, the compiled program and its markers,
// and is owned by its template: each copied node gets the source node's id
// as owner, a cycle of 8 and a program ready to start; foreground, unless
// -1, recolours every cell of every copied node.
struct KCopyOptions {
    bool asTemplate = false;
    int foreground = -1;
};

// A detached deep copy of source with fresh ids from the engine's counter:
// name, cells, view window, script and every child in order. Its own
// position is not copied (a detached node has none); its children keep
// theirs. None when the copy would pass the engine's bounds or ids run out.
std::unique_ptr<Kobject> KCopyNode(Kinterface& engine, const Kobject& source, const KCopyOptions& options = {});

// As KCopyNode, linked under parent at source's depth, keeping source's
// position. Under the root the copy goes behind the boards of its depth, so
// the first board stays first. None (and nothing linked) past the bounds.
Kobject* KCopyNodeInto(Kinterface& engine, const Kobject& source, Kobject& parent,
                       const KCopyOptions& options = {});

// Cells of a new video mode's board, by mode 0..3.
void KNewBoardSize(int videoMode, int32_t& width, int32_t& height);

// A new board "NewBoard" at the back of the boards, sized for the engine's
// video mode, walled along its edges. None past the bounds.
Kobject* KMakeNewBoard(Kinterface& engine);

// A new 1 x 1 object "NewObject<id>" at 0,0 inside parent. None past the bounds.
Kobject* KMakeNewObject(Kinterface& engine, Kobject& parent);

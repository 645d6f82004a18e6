#pragma once
// A copy of the whole world as plain values: the boards with their
// subtrees, the video settings and the id counter. Undo and redo restore
// these; they are not nodes, so they count against none of the engine's
// live-node and live-cell bounds.

#include "KCell.h"

#include <cstdint>
#include <string>
#include <vector>

class Kinterface;

struct KNodeSnapshot {
    std::string name;
    std::string source;
    int32_t id = 0;
    int32_t posx = 0, posy = 0, posz = 0;
    int32_t width = 0, height = 0;
    int32_t viewx = 0, viewy = 0, vieww = 0, viewh = 0;
    int32_t savedvieww = 0, savedviewh = 0;
    int32_t hiddenmark = 0;
    std::vector<KCell> cells;
    std::vector<KNodeSnapshot> children;
};

struct KWorldSnapshot {
    std::vector<KNodeSnapshot> boards;
    int32_t videoMode = 1;
    int32_t windowed = 0;
    int32_t nextId = 1;
    int32_t currentNode = -1;
    int32_t currentBoard = -1;
};

KWorldSnapshot KCaptureWorld(const Kinterface& engine);
// Replaces the engine's boards and settings by the snapshot's.
void KRestoreWorld(Kinterface& engine, const KWorldSnapshot& snapshot);

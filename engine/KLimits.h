#pragma once
// Bounds on what the readers accept and on what scripts may grow the world
// to while it plays. World files, saved games and node files come from
// strangers; these keep any input from costing unbounded time or memory.
// Worlds made with the editor stay far inside them.

#include <cstddef>
#include <cstdint>

struct KWorldLimits {
    size_t maxFileBytes = size_t{512} << 20;    // an archive on disk
    size_t maxEntryBytes = size_t{256} << 20;   // one entry once inflated
    int maxDepth = 256;                         // records nested inside records
    int64_t maxNodes = 100000;                  // nodes in one file
    int32_t maxSide = 4096;                     // cells across or down one node
    int64_t maxNodeCells = int64_t{1} << 20;    // cells of one node (a 64 MiB surface)
    int64_t maxWorldCells = int64_t{1} << 22;   // cells of all nodes together
    int32_t maxSheetSide = 4096;                // pixels across or down the font sheet
};

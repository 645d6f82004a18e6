#pragma once
// One character cell of a node's grid.

#include <cstdint>

struct KCell {
    int16_t chr = 0;     // glyph index into the font
    int16_t fg = 0;      // palette index; -2 = the sheet's own colours; other negatives leave pixels alone
    int16_t bg = 0;      // as fg
    int16_t attrib = 0;  // how movement treats the cell
    uint8_t drawn = 0;   // runner: 1 once the glyph is rendered into the node's surface
    uint8_t pad = 0;
};
static_assert(sizeof(KCell) == 10, "a cell is four 16-bit words, the drawn flag and a pad byte");

// The value given for a field of a cell write that keeps the old value.
inline constexpr int kKeep = -1;

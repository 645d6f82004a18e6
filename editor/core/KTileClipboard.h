#pragma once
// The tile clipboard: a rectangle of cells whose fields may each be empty,
// copied from a tool region and pasted tiled over one, and its five file
// types. Files come from strangers: every reader bounds what it accepts,
// survives any bytes and leaves the clipboard as it was on failure.

#include "Kfont.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class KEditorDoc;
class Kobject;
struct KToolRegion;

// The value of an empty field.
inline constexpr uint16_t kEmptyField = 65535;
using KTile = std::array<uint16_t, 4>;  // character, foreground, background, attribute

struct KTileClipboard {
    int width = 0;
    int height = 0;
    std::vector<KTile> cells;
    // "Skip 0 0 0 0 Tiles": pasting leaves cells under 0,0,0,0 entries alone.
    bool skip = false;

    bool Empty() const { return width <= 0 || height <= 0; }
    const KTile& At(int x, int y) const { return cells[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// Largest clipboard a file may give: a node's bounds.
inline constexpr int kMaxTileSide = 4096;
inline constexpr int64_t kMaxTileCells = int64_t{1} << 20;

// The region's cells (mask 1) into a clipboard of the region's box; only
// the fields whose flag is set are taken, the others stay empty.
bool KCopyTiles(const Kobject& node, KToolRegion& region, const std::array<bool, 4>& fields, KTileClipboard& clip);
// The clipboard repeated over the region from its top left, as one undo
// step after a backup; empty fields keep the cell's own.
bool KPasteTiles(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KTileClipboard& clip);

enum class KTileFile : uint8_t { Qcf = 0, Chr, Txt, Bmp, Att, Unknown };
// By the extension, exactly and in lower case.
KTileFile KTileFileOf(const std::string& path);
// What "&Save" writes, from the first entry: only a character gives .chr,
// only a foreground or only a background .bmp, only an attribute .att,
// anything else .qcf.
enum class KTileSave : uint8_t { Qcf = 0, Chr, BmpForeground, BmpBackground, Att };
KTileSave KTileSaveOf(const KTileClipboard& clip);

// Reads a clipboard from a file's bytes; a .bmp fills foregrounds, or
// backgrounds when asBackground. On failure clip is untouched and error
// says what is wrong.
bool KReadTiles(KTileFile type, const std::string& bytes, bool asBackground, KTileClipboard& clip, std::string& error);
bool KLoadTiles(const std::string& path, bool asBackground, KTileClipboard& clip, std::string& error);
// The file's bytes for a clipboard; the palette is the font's, for .bmp.
bool KWriteTiles(KTileSave type, const KTileClipboard& clip, const KPalette& palette, std::string& bytes, std::string& error);
// Writes beside path and renames over it, so a failed save keeps the old file.
bool KSaveTiles(const std::string& path, KTileSave type, const KTileClipboard& clip, const KPalette& palette,
                std::string& error);

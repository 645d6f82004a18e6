#pragma once
// The canvas's tools: a region of the current node's cells (a rectangle, a
// flood area, every cell like one, a line, a box outline or an ellipse),
// and what is done to it: fill, blend fade, sprite paste, a new object, and
// the fade, distance, slime and speckle generators. Every action backs the
// node up first (what "Restore Backup" puts back) and is one undo step.
// Coordinates are the node's own cells.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class KEditorDoc;
class Kfont;
class Kinterface;
class Kobject;
struct KPaintSettings;

struct KToolRegion {
    // 0 not in the region, 1 in it and not yet done, 2 done.
    std::vector<uint8_t> mask;
    int stride = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int centreX = 0;
    int centreY = 0;

    bool Empty() const { return width <= 0 || height <= 0; }
    uint8_t& At(int x, int y) { return mask[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)]; }
    uint8_t At(int x, int y) const { return mask[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)]; }
    // Cells with mask 1.
    int64_t Count() const;
};

enum class KRegionKind : uint8_t { Rectangle = 0, Flood, SameAs, Line, RectOutline, Ellipse };

// What a menu item of the canvas does to its region.
enum class KToolAction : uint8_t {
    Fill = 0, Fade, Distance, Slime, Speckle, ReplaceFill, ReplaceSpeckle, BlendFade, SpritePaste, MakeObject,
    CopyTiles, PasteTiles
};

// The region of kind over node, from the cursor (x1, y1) and the anchor
// (x2, y2); Flood and Same-as start at the cursor.
KToolRegion KBuildRegion(KRegionKind kind, const Kobject& node, int x1, int y1, int x2, int y2);

// A brush's cell: character, colours, attribute (-1 keeps a field).
struct KBrushCell {
    int chr = 0;
    int fg = 0;
    int bg = 0;
    int attrib = 0;
};
KBrushCell KBrushOf(const KPaintSettings& paint);

// Keeps the node's cells where "Restore Backup" finds them.
void KBackUpNode(KEditorDoc& doc, Kobject& node);
// Backs the node up, then visits the box row by row and paints each cell of
// mask 1 with what pick gives (pick may decline a cell), marking it done.
// One undo step.
template <typename Pick>
bool KPaintRegion(KEditorDoc& doc, Kobject& node, KToolRegion& region, Pick pick);

bool KFill(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush);
// The ramp from the cursor (where the drag began) towards the anchor, in
// board cells; origin is the cursor in the node's cells.
bool KBlendFade(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, int cursorX, int cursorY,
                int anchorX, int anchorY, int originX, int originY);
// Lays the font's characters from the brush's on in rows of 16 as sprite
// glyphs; the brush becomes a sprite brush.
bool KSpritePaste(KEditorDoc& doc, Kobject& node, KToolRegion& region, KPaintSettings& paint, const Kfont& glyphs);
// A new object "NewObject" of the region's box under node, holding its
// cells; its id, or -1 when nothing was made.
int32_t KMakeObject(KEditorDoc& doc, Kobject& node, KToolRegion& region);

// --- Generators ------------------------------------------------------------------

struct KFadeSet {
    std::string name;
    std::array<int, 5> codes{};
};
struct KBlendPattern {
    std::string name;
    std::array<std::array<int, 10>, 10> table{};
};
inline constexpr const char* kFadeSetsPath = "Library/FadeSets.txt";
inline constexpr const char* kFadeBlendsPath = "Library/FadeBlends.txt";
// The lists in file order; a missing file is reported and gives none.
std::vector<KFadeSet> KReadFadeSets(Kinterface& engine, const std::string& path = kFadeSetsPath);
std::vector<KBlendPattern> KReadFadeBlends(Kinterface& engine, const std::string& path = kFadeBlendsPath);

// The generators draw from the C runtime's rand(), in the order they say.
bool KFade(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, const KBlendPattern& pattern,
           const KFadeSet& set, int random);
bool KDistance(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, const KFadeSet& set,
               int xPosition, int yPosition, int random);
bool KSlime(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, const KFadeSet& set, int random);
bool KSpeckle(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, int percentage);

// --- Template definitions -------------------------------------------------------

#include "KEditorDoc.h"

template <typename Pick>
bool KPaintRegion(KEditorDoc& doc, Kobject& node, KToolRegion& region, Pick pick)
{
    if (region.Empty() || region.stride != node.width || region.rows != node.height) return false;
    KBackUpNode(doc, node);
    doc.BeginStroke();
    doc.ReserveStroke(static_cast<size_t>(region.Count()));
    for (int y = region.top; y < region.top + region.height; ++y) {
        for (int x = region.left; x < region.left + region.width; ++x) {
            if (region.At(x, y) != 1) continue;
            KBrushCell cell;
            if (pick(x, y, cell)) doc.PaintCell(node, x, y, cell.chr, cell.fg, cell.bg, cell.attrib, true);
            region.At(x, y) = 2;
        }
    }
    return doc.EndStroke();
}

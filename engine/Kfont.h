#pragma once
// The font: one 8-bit sheet cut into 8 x 8 glyphs, and the palette of the
// whole display.

#include "KBitmap.h"
#include "KLimits.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Kobject;

struct KRGB {
    uint8_t r = 0;  // 0..63, the game library's palette form
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t filler = 0;
};
using KPalette = std::array<KRGB, 256>;

inline constexpr int32_t kMaxGlyphs = 32767;
inline constexpr const char* kDefaultFontPath = "Library/default.dat";

class Kfont {
public:
    Kfont();

    KBitmap sheet;
    KPalette palette{};
    std::vector<int32_t> glyphX;  // top-left pixel of each glyph on the sheet
    std::vector<int32_t> glyphY;
    int32_t glyphCount = 0;

    // Loads the sheet and palette from the default datafile. False (after a
    // report) when the file cannot be read.
    bool LoadDefault();
    bool CreateSheet(int w, int h);
    void RebuildGlyphs();
    const KPalette& Palette() const { return palette; }

    // Number of glyphs a sheet of w x h pixels is cut into, uncapped.
    static int64_t GlyphsForSheet(int64_t w, int64_t h);

    void RenderGlyph(Kobject& node, int chr, int fg, int bg, int32_t x, int32_t y);
    void DrawText(Kobject& node, std::string_view text, int fg, int bg, int32_t x, int32_t y);

    // Editor operations.
    void RenderGlyphTo(BITMAP* target, int chr, int fg, int bg, int32_t x, int32_t y);
    void DrawTextTo(BITMAP* target, std::string_view text, int fg, int bg, int32_t x, int32_t y);
    // As DrawTextTo at pixel (px, py); glyphs wholly outside target are skipped.
    void DrawTextAtPixel(BITMAP* target, std::string_view text, int fg, int bg, int px, int py);
    int GlyphAt(int px, int py) const;
    int GetGlyphPixel(int chr, int px, int py) const;
    void SetGlyphPixel(int chr, int px, int py, int value);
    int NeighbourGlyph(int chr, int dir) const;
    void AddGlyphRow();
    void RemoveGlyphRow();
    // Replaces the sheet by the BMP at path. A file that is not an 8-bit
    // BMP of 1 to kMaxGlyphs glyphs and at most maxSide pixels a side is
    // reported and the sheet in use stays.
    bool ImportFont(const std::string& path, int32_t maxSide = KWorldLimits{}.maxSheetSide);

private:
    // Renders into pixel (px, py) of target; pixels outside the target are skipped.
    void RenderInto(BITMAP* target, int px, int py, int chr, int fg, int bg) const;
    // The 64 set/clear bits of a glyph (bit 8 * row + column); empty for a glyph
    // outside the table.
    uint64_t GlyphMask(int chr) const;
    void UpdateMask(int chr);
    std::vector<uint64_t> masks_;
};

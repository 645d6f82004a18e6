#include "Kfont.h"

#include "KMemoryFile.h"

#include "KPaths.h"
#include "KTrace.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <allegro.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kGlyphSize = 8;
constexpr int kDefaultSheetSize = 128;

struct DatafileDeleter {
    void operator()(DATAFILE* data) const noexcept { unload_datafile(data); }
};
using KDatafile = std::unique_ptr<DATAFILE, DatafileDeleter>;

void Report(const char* message, int line)
{
    if (Kinterface* engine = KEngine()) engine->Report(message, __FILE_NAME__, line);
}

// A BMP is read whole, within a bound, and its header checked before the
// game library makes a bitmap of it.
// An 8-bit sheet of at most maxSide pixels a side is 16 MiB; a file may
// pad its rows and carry a little more.
constexpr size_t kMaxImportBytes = size_t{40} << 20;

int SheetPixel(const BITMAP* sheet, int x, int y)
{
    if (sheet == nullptr || x < 0 || y < 0 || x >= sheet->w || y >= sheet->h) return 0;
    return sheet->line[y][x];
}

}  // namespace

Kfont::Kfont() : glyphX(kMaxGlyphs, 0), glyphY(kMaxGlyphs, 0) {}

bool Kfont::LoadDefault()
{
    set_color_conversion(COLORCONV_NONE);
    KDatafile data(load_datafile(kDefaultFontPath));
    bool usable = data != nullptr && data.get()[0].type == DAT_BITMAP && data.get()[1].type == DAT_PALETTE;
    if (usable) {
        const BITMAP* source = static_cast<const BITMAP*>(data.get()[0].dat);
        usable = bitmap_color_depth(const_cast<BITMAP*>(source)) == 8 && source->w >= kDefaultSheetSize &&
                 source->h >= kDefaultSheetSize;
    }
    if (!usable) {
        Report("Unable to load 'Library/default.dat'", __LINE__);
        return false;
    }
    sheet.reset();
    sheet = KMakeBitmap(kDefaultSheetSize, kDefaultSheetSize);
    if (!sheet) {
        Report("Unable to load default font from Library/default.dat", __LINE__);
        std::exit(1);
    }
    blit(static_cast<BITMAP*>(data.get()[0].dat), sheet.get(), 0, 0, 0, 0, kDefaultSheetSize, kDefaultSheetSize);
    static_assert(sizeof(KRGB) == sizeof(RGB) && sizeof(KPalette) == sizeof(PALETTE));
    std::memcpy(palette.data(), data.get()[1].dat, sizeof(PALETTE));
    if (gfx_driver != nullptr) set_palette(reinterpret_cast<RGB*>(palette.data()));
    RebuildGlyphs();
    return true;
}

bool Kfont::CreateSheet(int w, int h)
{
    sheet.reset();
    sheet = KMakeBitmap(w, h);
    return sheet != nullptr;
}

int64_t Kfont::GlyphsForSheet(int64_t w, int64_t h)
{
    if (w < 2 || h < 2) return 0;
    const int64_t across = (w - 2) / kGlyphSize + 1;  // x = 0, 8, ... while x < w - 1
    const int64_t down = (h - 2) / kGlyphSize + 1;
    return across * down;
}

void Kfont::RebuildGlyphs()
{
    glyphCount = 0;
    const int w = KBitmapWidth(sheet.get());
    const int h = KBitmapHeight(sheet.get());
    for (int y = 0; y < h - 1 && glyphCount < kMaxGlyphs; y += kGlyphSize) {
        for (int x = 0; x < w - 1 && glyphCount < kMaxGlyphs; x += kGlyphSize) {
            glyphX[static_cast<size_t>(glyphCount)] = x;
            glyphY[static_cast<size_t>(glyphCount)] = y;
            ++glyphCount;
        }
    }
    masks_.assign(static_cast<size_t>(glyphCount), 0);
    for (int chr = 0; chr < glyphCount; ++chr) UpdateMask(chr);
}

void Kfont::UpdateMask(int chr)
{
    if (chr < 0 || chr >= glyphCount) return;
    const int gx = glyphX[static_cast<size_t>(chr)];
    const int gy = glyphY[static_cast<size_t>(chr)];
    uint64_t mask = 0;
    for (int row = 0; row < kGlyphSize; ++row) {
        for (int column = 0; column < kGlyphSize; ++column) {
            if (SheetPixel(sheet.get(), gx + column, gy + row) != 0) mask |= uint64_t{1} << (row * kGlyphSize + column);
        }
    }
    masks_[static_cast<size_t>(chr)] = mask;
}

uint64_t Kfont::GlyphMask(int chr) const
{
    if (chr < 0 || chr >= glyphCount) return 0;
    return masks_[static_cast<size_t>(chr)];
}

void Kfont::RenderInto(BITMAP* target, int px, int py, int chr, int fg, int bg) const
{
    if (target == nullptr || !sheet) return;
    const bool inside = px >= 0 && py >= 0 && px + kGlyphSize <= target->w && py + kGlyphSize <= target->h;
    if (fg == -2 || bg == -2) {
        // The sheet's own colours; a glyph outside the table is blank.
        const bool known = chr >= 0 && chr < glyphCount;
        const int gx = known ? glyphX[static_cast<size_t>(chr)] : 0;
        const int gy = known ? glyphY[static_cast<size_t>(chr)] : 0;
        for (int row = 0; row < kGlyphSize; ++row) {
            const int ty = py + row;
            if (ty < 0 || ty >= target->h) continue;
            for (int column = 0; column < kGlyphSize; ++column) {
                const int tx = px + column;
                if (tx < 0 || tx >= target->w) continue;
                target->line[ty][tx] = static_cast<uint8_t>(known ? SheetPixel(sheet.get(), gx + column, gy + row) : 0);
            }
        }
        return;
    }
    if (fg < 0 && bg < 0) return;
    const uint64_t mask = GlyphMask(chr);
    if (inside && fg >= 0 && bg >= 0) {
        const auto fore = static_cast<uint8_t>(fg);
        const auto back = static_cast<uint8_t>(bg);
        for (int row = 0; row < kGlyphSize; ++row) {
            uint8_t* out = target->line[py + row] + px;
            const auto bits = static_cast<unsigned>(mask >> (row * kGlyphSize)) & 0xffu;
            for (int column = 0; column < kGlyphSize; ++column) out[column] = (bits >> column) & 1u ? fore : back;
        }
        return;
    }
    for (int row = 0; row < kGlyphSize; ++row) {
        const int ty = py + row;
        if (ty < 0 || ty >= target->h) continue;
        for (int column = 0; column < kGlyphSize; ++column) {
            const int tx = px + column;
            if (tx < 0 || tx >= target->w) continue;
            const bool set = (mask >> (row * kGlyphSize + column)) & 1u;
            const int colour = set ? fg : bg;
            if (colour >= 0) target->line[ty][tx] = static_cast<uint8_t>(colour);
        }
    }
}

void Kfont::RenderGlyph(Kobject& node, int chr, int fg, int bg, int32_t x, int32_t y)
{
    if (!sheet || x < 0 || y < 0 || x >= node.width || y >= node.height) return;
    RenderInto(node.Surface(), kGlyphSize * x, kGlyphSize * y, chr, fg, bg);
}

void Kfont::DrawText(Kobject& node, std::string_view text, int fg, int bg, int32_t x, int32_t y)
{
    for (size_t i = 0; i < text.size(); ++i) {
        RenderGlyph(node, static_cast<signed char>(text[i]), fg, bg, x + static_cast<int32_t>(i), y);
    }
}

void Kfont::RenderGlyphTo(BITMAP* target, int chr, int fg, int bg, int32_t x, int32_t y)
{
    RenderInto(target, kGlyphSize * x, kGlyphSize * y, chr, fg, bg);
}

void Kfont::DrawTextTo(BITMAP* target, std::string_view text, int fg, int bg, int32_t x, int32_t y)
{
    for (size_t i = 0; i < text.size(); ++i) {
        RenderGlyphTo(target, static_cast<signed char>(text[i]), fg, bg, x + static_cast<int32_t>(i), y);
    }
}

void Kfont::DrawTextAtPixel(BITMAP* target, std::string_view text, int fg, int bg, int px, int py)
{
    if (target == nullptr || py + kGlyphSize <= 0 || py >= target->h) return;
    for (size_t i = 0; i < text.size(); ++i) {
        const int64_t x = px + int64_t{kGlyphSize} * static_cast<int64_t>(i);
        if (x >= target->w) return;
        if (x + kGlyphSize <= 0) continue;
        RenderInto(target, static_cast<int>(x), py, static_cast<signed char>(text[i]), fg, bg);
    }
}

int Kfont::GlyphAt(int px, int py) const
{
    for (int chr = 0; chr < glyphCount; ++chr) {
        if (glyphX[static_cast<size_t>(chr)] == px && glyphY[static_cast<size_t>(chr)] == py) return chr;
    }
    return -1;
}

int Kfont::GetGlyphPixel(int chr, int px, int py) const
{
    if (chr < 0 || chr >= glyphCount || px < 0 || py < 0 || px >= kGlyphSize || py >= kGlyphSize) return 0;
    return SheetPixel(sheet.get(), glyphX[static_cast<size_t>(chr)] + px, glyphY[static_cast<size_t>(chr)] + py);
}

void Kfont::SetGlyphPixel(int chr, int px, int py, int value)
{
    if (chr < 0 || chr >= glyphCount || px < 0 || py < 0 || px >= kGlyphSize || py >= kGlyphSize) return;
    const int x = glyphX[static_cast<size_t>(chr)] + px;
    const int y = glyphY[static_cast<size_t>(chr)] + py;
    if (x >= sheet->w || y >= sheet->h) return;
    sheet->line[y][x] = static_cast<uint8_t>(value);
    UpdateMask(chr);
}

int Kfont::NeighbourGlyph(int chr, int dir) const
{
    if (chr < 0 || chr >= glyphCount) return -1;
    const int x = glyphX[static_cast<size_t>(chr)];
    const int y = glyphY[static_cast<size_t>(chr)];
    switch (dir) {
    case 0: return GlyphAt(x, y - kGlyphSize);
    case 1: return GlyphAt(x + kGlyphSize, y);
    case 2: return GlyphAt(x, y + kGlyphSize);
    case 3: return GlyphAt(x - kGlyphSize, y);
    default: return chr;
    }
}

void Kfont::AddGlyphRow()
{
    const int w = KBitmapWidth(sheet.get());
    const int h = KBitmapHeight(sheet.get());
    if (GlyphsForSheet(w, int64_t{h} + kGlyphSize) > kMaxGlyphs) return;
    KBitmap grown = KMakeBitmap(w, h + kGlyphSize);
    if (!grown) return;
    if (sheet) blit(sheet.get(), grown.get(), 0, 0, 0, 0, w, h);
    sheet = std::move(grown);
    RebuildGlyphs();
}

void Kfont::RemoveGlyphRow()
{
    const int w = KBitmapWidth(sheet.get());
    const int h = KBitmapHeight(sheet.get());
    if (h <= kGlyphSize) return;
    KBitmap shrunk = KMakeBitmap(w, h - kGlyphSize);
    if (!shrunk) return;
    blit(sheet.get(), shrunk.get(), 0, 0, 0, 0, w, h - kGlyphSize);
    sheet = std::move(shrunk);
    RebuildGlyphs();
}

bool Kfont::ImportFont(const std::string& path, int32_t maxSide)
{
    // A picture the world file could not hold again, or one with no whole
    // glyph, is refused before the library makes a bitmap of it.
    std::string bytes;
    std::string error;
    int64_t w = 0;
    int64_t h = 0;
    bool usable = KReadRegularFile(path, kMaxImportBytes, bytes, error) && KPlainBmpSize(bytes, w, h) && w <= maxSide &&
                  h <= maxSide && GlyphsForSheet(w, h) > 0 && GlyphsForSheet(w, h) <= kMaxGlyphs;
    KBitmap image;
    if (usable) {
        set_color_conversion(COLORCONV_NONE);
        KMemoryReading in{&bytes};
        PACKFILE* file = KOpenMemoryReader(in);
        PALETTE ignored;
        if (file != nullptr) {
            image.reset(load_bmp_pf(file, ignored));
            pack_fclose(file);
        }
        usable = image && bitmap_color_depth(image.get()) == 8 && image->w == w && image->h == h;
    }
    if (!usable) {
        Report("Unable to import font", __LINE__);
        // The sheet in use stays: a bad file must not undo the author's glyphs.
        return false;
    }
    sheet = std::move(image);
    RebuildGlyphs();
    return true;
}

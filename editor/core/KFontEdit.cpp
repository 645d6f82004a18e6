#include "KFontEdit.h"

#include "KEditorDoc.h"
#include "KScreenshot.h"
#include "Kfont.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>
#include <cstdio>

namespace {

KSheetData CopyOf(const Kfont& font)
{
    KSheetData copy;
    copy.present = font.sheet != nullptr;
    copy.width = KBitmapWidth(font.sheet.get());
    copy.height = KBitmapHeight(font.sheet.get());
    copy.pixels.reserve(static_cast<size_t>(copy.width) * static_cast<size_t>(copy.height));
    for (int y = 0; y < copy.height; ++y) {
        const uint8_t* row = KBitmapRow(font.sheet.get(), y);
        copy.pixels.insert(copy.pixels.end(), row, row + copy.width);
    }
    return copy;
}

// Glyph rows of a sheet this many pixels high (the last may be partial).
int GlyphRows(int height) { return height < 2 ? 0 : (height - 2) / kGlyphSide + 1; }

// Every cell of node and its subtree that shows chr is drawn anew.
int64_t RedrawGlyph(Kobject& node, int chr)
{
    int64_t drawn = 0;
    for (int32_t y = 0; y < node.height; ++y) {
        for (int32_t x = 0; x < node.width; ++x) {
            if (node.cells[static_cast<size_t>(y) * static_cast<size_t>(node.width) + static_cast<size_t>(x)].chr != chr) continue;
            node.RenderCell(x, y);
            ++drawn;
        }
    }
    for (const auto& child : node.children) drawn += RedrawGlyph(*child, chr);
    return drawn;
}

}  // namespace

int KSliderRowOffset(int sheetHeight, int position, int maximum)
{
    if (maximum <= 0) return 0;
    const int64_t rows = (int64_t{sheetHeight} - kPickerRows * kGlyphSide) / kGlyphSide + 1;
    const int64_t offset = rows * position / maximum;
    return static_cast<int>(std::clamp<int64_t>(offset, 0, std::max(0, GlyphRows(sheetHeight) - 1)));
}

int KStepColour(int colour, KFontKey key)
{
    static constexpr int kSteps[4] = {-1, 1, -16, 16};  // Left, Right, Up, Down
    const auto way = static_cast<size_t>(key);
    if (way >= 4) return colour;
    return std::clamp(colour + kSteps[way], 0, 255);
}

KFontEditor::KFontEditor(KEditorDoc& doc, KPaintSettings& paint)
    : doc_(doc), paint_(paint), keptPaint_(paint), backup_(CopyOf(Font()))
{
    KeepGlyphInside();
}

KFontEditor::~KFontEditor() { Close(false); }

const Kfont& KFontEditor::Font() const { return *doc_.Engine().vFont; }

Kfont& KFontEditor::EditFont() { return *doc_.Engine().vFont; }

bool KFontEditor::Close(bool keep)
{
    if (closed_) return keep;
    closed_ = true;
    if (!keep) {
        KUseSheet(EditFont(), backup_);
        if (redrawnWhole_) {
            Redraw(-1);
        } else {
            for (size_t chr = 0; chr < redrawnGlyphs_.size(); ++chr) {
                if (redrawnGlyphs_[chr] != 0) Redraw(static_cast<int>(chr));
            }
        }
    }
    paint_ = keptPaint_;
    return keep;
}

int KFontEditor::Pixel(int x, int y) const { return Font().GetGlyphPixel(Glyph(), x, y); }

void KFontEditor::KeepGlyphInside()
{
    const int count = Font().glyphCount;
    if (count > 0 && (paint_.chr < 0 || paint_.chr >= count)) paint_.chr = std::clamp(paint_.chr, 0, count - 1);
}

void KFontEditor::Redraw(int chr)
{
    Kobject* board = doc_.CurrentBoardNode();
    if (board == nullptr) return;
    if (chr >= 0) {
        cellsRedrawn_ += RedrawGlyph(*board, chr);
        if (static_cast<size_t>(chr) >= redrawnGlyphs_.size()) redrawnGlyphs_.resize(static_cast<size_t>(chr) + 1, 0);
        redrawnGlyphs_[static_cast<size_t>(chr)] = 1;
    } else {
        board->RenderAll();
        redrawnWhole_ = true;
    }
}

bool KFontEditor::SetPixel(int x, int y, int value)
{
    if (value < 0 || value > 255 || Pixel(x, y) == value) return false;
    EditFont().SetGlyphPixel(Glyph(), x, y, value);
    if (Pixel(x, y) != value) return false;  // a narrow last glyph has no pixel there
    Redraw(Glyph());
    return true;
}

std::array<uint8_t, 64> KFontEditor::ReadGlyph() const
{
    std::array<uint8_t, 64> pixels{};
    for (int y = 0; y < kGlyphSide; ++y) {
        for (int x = 0; x < kGlyphSide; ++x) pixels[static_cast<size_t>(y * kGlyphSide + x)] = static_cast<uint8_t>(Pixel(x, y));
    }
    return pixels;
}

bool KFontEditor::WriteGlyph(const std::array<uint8_t, 64>& pixels)
{
    bool changed = false;
    Kfont& font = EditFont();
    for (int y = 0; y < kGlyphSide; ++y) {
        for (int x = 0; x < kGlyphSide; ++x) {
            const int value = pixels[static_cast<size_t>(y * kGlyphSide + x)];
            if (Pixel(x, y) == value) continue;
            font.SetGlyphPixel(Glyph(), x, y, value);
            changed = changed || Pixel(x, y) == value;
        }
    }
    if (changed) Redraw(Glyph());
    return changed;
}

bool KFontEditor::PointAt(int x, int y, int w, int h)
{
    // A grid cell is a control's eighth; a control narrower than 8 pixels has none.
    if (w < kGlyphSide || h < kGlyphSide || x < 0 || y < 0) return false;
    const int cellX = x / (w / kGlyphSide);
    const int cellY = y / (h / kGlyphSide);
    if (cellX >= kGlyphSide || cellY >= kGlyphSide || (cellX == cursorX_ && cellY == cursorY_)) return false;
    cursorX_ = cellX;
    cursorY_ = cellY;
    return true;
}

bool KFontEditor::MoveCursor(int dx, int dy, int dir)
{
    const int x = cursorX_ + dx;
    const int y = cursorY_ + dy;
    if (x >= 0 && x < kGlyphSide && y >= 0 && y < kGlyphSide) {
        cursorX_ = x;
        cursorY_ = y;
        return true;
    }
    const int next = Font().NeighbourGlyph(Glyph(), dir);
    if (next < 0) return false;  // the sheet's edge
    paint_.chr = next;
    if (paint_.fg == -2) paint_.bg = KSpriteBackground(Font(), next);
    // The cursor enters the neighbour at its opposite edge.
    cursorX_ = (x + kGlyphSide) % kGlyphSide;
    cursorY_ = (y + kGlyphSide) % kGlyphSide;
    return true;
}

bool KFontEditor::Key(KFontKey key)
{
    switch (key) {
    case KFontKey::Left: return MoveCursor(-1, 0, 3);
    case KFontKey::Right: return MoveCursor(1, 0, 1);
    case KFontKey::Up: return MoveCursor(0, -1, 0);
    case KFontKey::Down: return MoveCursor(0, 1, 2);
    case KFontKey::Space: {
        const int now = Pixel(cursorX_, cursorY_);
        if (mode_ == KGlyphMode::Char) return SetPixel(cursorX_, cursorY_, now == 0 ? kGlyphInk : 0);
        return SetPixel(cursorX_, cursorY_, paint_.fg);
    }
    case KFontKey::Enter: {
        const int picked = Pixel(cursorX_, cursorY_);
        if (paint_.fg == picked) return false;
        paint_.fg = picked;
        return true;
    }
    }
    return false;
}

bool KFontEditor::FlipVertical()
{
    const std::array<uint8_t, 64> old = ReadGlyph();
    std::array<uint8_t, 64> flipped{};
    for (int y = 0; y < kGlyphSide; ++y) {
        for (int x = 0; x < kGlyphSide; ++x) {
            flipped[static_cast<size_t>(y * kGlyphSide + x)] = old[static_cast<size_t>((kGlyphSide - 1 - y) * kGlyphSide + x)];
        }
    }
    return WriteGlyph(flipped);
}

bool KFontEditor::FlipHorizontal()
{
    const std::array<uint8_t, 64> old = ReadGlyph();
    std::array<uint8_t, 64> flipped{};
    for (int y = 0; y < kGlyphSide; ++y) {
        for (int x = 0; x < kGlyphSide; ++x) {
            flipped[static_cast<size_t>(y * kGlyphSide + x)] = old[static_cast<size_t>(y * kGlyphSide + kGlyphSide - 1 - x)];
        }
    }
    return WriteGlyph(flipped);
}

void KFontEditor::Copy() { buffer_ = ReadGlyph(); }

bool KFontEditor::Paste() { return WriteGlyph(buffer_); }

bool KFontEditor::Invert()
{
    std::array<uint8_t, 64> pixels = ReadGlyph();
    for (uint8_t& pixel : pixels) pixel = pixel != 0 ? 0 : kGlyphInk;
    return WriteGlyph(pixels);
}

bool KFontEditor::NewLine()
{
    // The world file holds no taller sheet.
    const int height = KBitmapHeight(Font().sheet.get());
    if (height + kGlyphSide > doc_.Engine().vLimits.maxSheetSide) return false;
    EditFont().AddGlyphRow();
    if (KBitmapHeight(Font().sheet.get()) == height) return false;
    Redraw(-1);
    return true;
}

bool KFontEditor::DeleteLine()
{
    // A sheet without a whole glyph row breaks every drawing: the last row stays.
    const int width = KBitmapWidth(Font().sheet.get());
    const int height = KBitmapHeight(Font().sheet.get());
    if (Kfont::GlyphsForSheet(width, int64_t{height} - kGlyphSide) == 0) return false;
    EditFont().RemoveGlyphRow();
    if (KBitmapHeight(Font().sheet.get()) == height) return false;
    KeepGlyphInside();
    Redraw(-1);
    return true;
}

bool KFontEditor::Load(const std::string& path)
{
    if (!EditFont().ImportFont(path, doc_.Engine().vLimits.maxSheetSide)) return false;
    KeepGlyphInside();
    Redraw(-1);
    return true;
}

bool KFontEditor::Save(const std::string& path) const
{
    if (!Font().sheet || path.empty()) return false;
    // Written beside the old file first: a failed save leaves that whole.
    const std::string part = path + ".part";
    if (!KSaveImage(part, Font().sheet.get(), Font().Palette()) || std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        doc_.Engine().Report("Unable to save font to '" + path + "'", __FILE_NAME__, __LINE__);
        return false;
    }
    return true;
}

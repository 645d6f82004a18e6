#pragma once
// The font editor without its window: the glyph being edited is the brush's
// character and the drawing colour its foreground. Edits go straight into
// the world's font, and the boards shown are drawn anew with each one; the
// sheet kept at opening comes back unless the editor closes with OK. The
// frame runs the whole session inside the document's EditFont, so OK is one
// undo step.

#include "KCanvas.h"
#include "KWorldFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class KEditorDoc;
class Kfont;

enum class KGlyphMode : uint8_t { Char = 0, Sprite = 1 };
enum class KFontKey : uint8_t { Left, Right, Up, Down, Space, Enter };

inline constexpr int kGlyphSide = 8;
// Char mode's ink, and what Invert sets.
inline constexpr int kGlyphInk = 15;
// Glyph rows the character picker shows at once (256 pixels at twice size).
inline constexpr int kPickerRows = 16;
inline constexpr int kSliderMax = 100;

// The character picker's first row for a slider position: the rows past
// the picker's height, plus one, times position / maximum, truncated; never
// above the sheet's last row.
int KSliderRowOffset(int sheetHeight, int position, int maximum = kSliderMax);

// "Color Select"'s arrows on a colour: left -1, right +1, up -16, down +16,
// kept within 0 to 255.
int KStepColour(int colour, KFontKey key);

class KFontEditor {
public:
    // Keeps the brush and a copy of the sheet.
    KFontEditor(KEditorDoc& doc, KPaintSettings& paint);
    ~KFontEditor();
    KFontEditor(const KFontEditor&) = delete;
    KFontEditor& operator=(const KFontEditor&) = delete;

    // Without keep the sheet goes back to its copy; the brush is put back
    // either way. Returns keep. Closing twice does nothing more.
    bool Close(bool keep);

    const Kfont& Font() const;
    int Glyph() const { return paint_.chr; }
    int CursorX() const { return cursorX_; }
    int CursorY() const { return cursorY_; }
    KGlyphMode Mode() const { return mode_; }
    void SetMode(KGlyphMode mode) { mode_ = mode; }
    // A pixel of the current glyph.
    int Pixel(int x, int y) const;
    const std::array<uint8_t, 64>& Buffer() const { return buffer_; }

    // "Char Edit": the grid cell under a pointer at (x, y) of a control of
    // w x h pixels becomes the cursor; false when it stayed.
    bool PointAt(int x, int y, int w, int h);
    // The keys: true when anything changed (cursor, glyph, pixel, brush).
    bool Key(KFontKey key);

    // The buttons; each is true when pixels or the sheet changed.
    bool FlipVertical();
    bool FlipHorizontal();
    void Copy();
    bool Paste();
    bool Invert();
    bool NewLine();
    // Refused (false) while the sheet has only one row of glyphs.
    bool DeleteLine();
    // "&Load": the sheet becomes the BMP; a bad file is reported and the
    // sheet stays.
    bool Load(const std::string& path);
    // "&Save": the sheet as an 8-bit BMP with the font's palette; the file
    // at path is replaced only once the new one is whole.
    bool Save(const std::string& path) const;

    // Glyphs drawn anew on the shown boards since opening (for tests and
    // the benchmark's counters).
    int64_t CellsRedrawn() const { return cellsRedrawn_; }

private:
    Kfont& EditFont();
    bool SetPixel(int x, int y, int value);
    // Writes 64 pixels into the current glyph; true when any changed.
    bool WriteGlyph(const std::array<uint8_t, 64>& pixels);
    std::array<uint8_t, 64> ReadGlyph() const;
    bool MoveCursor(int dx, int dy, int dir);
    // The boards the canvas shows are drawn anew where they use chr, or
    // whole after a change of the sheet's size (chr -1).
    void Redraw(int chr);
    // The brush's character kept inside the sheet after it shrank.
    void KeepGlyphInside();

    KEditorDoc& doc_;
    KPaintSettings& paint_;
    const KPaintSettings keptPaint_;
    KSheetData backup_;
    int cursorX_ = 0;
    int cursorY_ = 0;
    KGlyphMode mode_ = KGlyphMode::Char;
    std::array<uint8_t, 64> buffer_{};
    bool closed_ = false;
    // What the shown board was drawn anew for, to draw it back on Cancel.
    std::vector<uint8_t> redrawnGlyphs_;  // by glyph: 1 when drawn anew
    bool redrawnWhole_ = false;
    int64_t cellsRedrawn_ = 0;
};

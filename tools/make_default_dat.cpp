// make_default_dat — builds the engine's default datafile from the hand-drawn
// text font.
//
//   make_default_dat [--preview OUT.bmp] FONT_TXT OUT_DAT
//
// The font text holds 256 glyphs of 8x8 pixels. They are laid out on a
// 128x128 8-bit sheet (16 glyphs per row) and written, together with the
// engine's 256-colour palette, as an Allegro 4 datafile:
//
//   object 0: DAT_BITMAP  "FONT_SHEET"  (8 bit, 128x128, ink = 15, paper = 0)
//   object 1: DAT_PALETTE "PALETTE"     (r, g, b in 0..63)
//
// The written file is loaded back with load_datafile() and compared with what
// was meant to be written before the tool reports success.

#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <allegro.h>

namespace {

constexpr int kGlyphCount = 256;
constexpr int kGlyphSize = 8;
constexpr int kGlyphsPerRow = 16;
constexpr int kSheetSize = kGlyphSize * kGlyphsPerRow;
constexpr int kSheetDepth = 8;
constexpr std::uint8_t kInk = 15;
constexpr std::uint8_t kPaper = 0;
constexpr int kPaletteSize = 256;
constexpr int kPreviewScale = 4;
constexpr long kBitmapHeaderBytes = 6;   // depth, width, height: 16 bit each
constexpr long kPaletteEntryBytes = 4;   // r, g, b, padding

constexpr std::string_view kSheetName = "FONT_SHEET";
constexpr std::string_view kPaletteName = "PALETTE";

// One glyph row per byte, leftmost pixel in the most significant bit.
using Glyph = std::array<std::uint8_t, kGlyphSize>;
using Font = std::array<Glyph, kGlyphCount>;

// Sheet pixels, row-major, kSheetSize x kSheetSize.
using Sheet = std::vector<std::uint8_t>;

struct Colour {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
};
using Palette = std::array<Colour, kPaletteSize>;

// Any failure that should end the tool with a message and exit status 1.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Font text parsing
// ---------------------------------------------------------------------------

bool is_blank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool is_pixel_row(std::string_view line)
{
    return line.size() == kGlyphSize && line.find_first_not_of(".#") == std::string_view::npos;
}

std::optional<int> parse_glyph_number(std::string_view text)
{
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc{} || end != last || text.front() == '-') {
        return std::nullopt;
    }
    if (std::to_string(value) != text) {  // no leading zeros or signs
        return std::nullopt;
    }
    return value;
}

// Reads the font text line by line and fails on the first thing out of place.
class FontParser {
public:
    explicit FontParser(std::string file_name) : file_name_(std::move(file_name)) {}

    void feed(std::string_view line, int line_number)
    {
        line_number_ = line_number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (rows_left_ > 0) {
            read_row(line);
        } else if (is_pixel_row(line)) {
            fail("pixel row outside a glyph (glyph " + std::to_string(next_glyph_ - 1) +
                 " already has " + std::to_string(kGlyphSize) + " rows)");
        } else if (!is_blank(line) && line.front() != '#') {
            read_header(line);
        }
    }

    Font finish(int last_line_number)
    {
        line_number_ = last_line_number;
        if (rows_left_ > 0) {
            fail("unexpected end of file: glyph " + std::to_string(next_glyph_ - 1) + " has only " +
                 std::to_string(kGlyphSize - rows_left_) + " of " + std::to_string(kGlyphSize) +
                 " rows");
        }
        if (next_glyph_ < kGlyphCount) {
            fail("unexpected end of file: glyph " + std::to_string(next_glyph_) + " is missing");
        }
        return font_;
    }

private:
    [[noreturn]] void fail(const std::string& message) const
    {
        throw ToolError(file_name_ + ":" + std::to_string(line_number_) + ": " + message);
    }

    void read_header(std::string_view line)
    {
        constexpr std::string_view keyword = "glyph ";
        if (!line.starts_with(keyword)) {
            fail("expected 'glyph N', got '" + std::string(line) + "'");
        }
        const std::optional<int> number = parse_glyph_number(line.substr(keyword.size()));
        if (!number) {
            fail("malformed glyph number in '" + std::string(line) + "'");
        }
        check_glyph_number(*number);
        ++next_glyph_;
        rows_left_ = kGlyphSize;
    }

    void check_glyph_number(int number) const
    {
        if (number >= kGlyphCount) {
            fail("glyph " + std::to_string(number) + " is out of range 0.." +
                 std::to_string(kGlyphCount - 1));
        }
        if (number < next_glyph_) {
            fail("glyph " + std::to_string(number) + " is defined twice or out of order (expected glyph " +
                 std::to_string(next_glyph_) + ")");
        }
        if (number > next_glyph_) {
            fail("glyph " + std::to_string(next_glyph_) + " is missing (found glyph " +
                 std::to_string(number) + " instead)");
        }
    }

    void read_row(std::string_view line)
    {
        const int glyph = next_glyph_ - 1;
        const int row = kGlyphSize - rows_left_;
        const std::string where = "row " + std::to_string(row) + " of glyph " + std::to_string(glyph);
        if (line.size() != kGlyphSize) {
            fail(where + " has " + std::to_string(line.size()) + " characters, expected " +
                 std::to_string(kGlyphSize));
        }
        std::uint8_t bits = 0;
        for (const char pixel : line) {
            if (pixel != '.' && pixel != '#') {
                fail(where + " contains '" + std::string(1, pixel) + "'; only '.' and '#' are allowed");
            }
            bits = static_cast<std::uint8_t>((bits << 1) | (pixel == '#' ? 1 : 0));
        }
        font_[static_cast<std::size_t>(glyph)][static_cast<std::size_t>(row)] = bits;
        --rows_left_;
    }

    std::string file_name_;
    Font font_{};
    int next_glyph_ = 0;
    int rows_left_ = 0;
    int line_number_ = 0;
};

Font load_font(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        throw ToolError("cannot open font text '" + path + "'");
    }
    FontParser parser(path);
    std::string line;
    int line_number = 0;
    while (std::getline(in, line)) {
        parser.feed(line, ++line_number);
    }
    if (in.bad()) {
        throw ToolError("error while reading '" + path + "'");
    }
    return parser.finish(line_number);
}

// ---------------------------------------------------------------------------
// Sheet and palette
// ---------------------------------------------------------------------------

std::size_t sheet_index(int x, int y)
{
    return static_cast<std::size_t>(y) * kSheetSize + static_cast<std::size_t>(x);
}

void draw_glyph(Sheet& sheet, const Glyph& glyph, int index)
{
    const int left = kGlyphSize * (index % kGlyphsPerRow);
    const int top = kGlyphSize * (index / kGlyphsPerRow);
    for (int row = 0; row < kGlyphSize; ++row) {
        const std::uint8_t bits = glyph[static_cast<std::size_t>(row)];
        for (int column = 0; column < kGlyphSize; ++column) {
            const bool set = ((bits >> (kGlyphSize - 1 - column)) & 1U) != 0;
            sheet[sheet_index(left + column, top + row)] = set ? kInk : kPaper;
        }
    }
}

Sheet build_sheet(const Font& font)
{
    Sheet sheet(static_cast<std::size_t>(kSheetSize) * kSheetSize, kPaper);
    for (int index = 0; index < kGlyphCount; ++index) {
        draw_glyph(sheet, font[static_cast<std::size_t>(index)], index);
    }
    return sheet;
}

// round(numerator / denominator) for non-negative values.
std::uint8_t rounded_ratio(int numerator, int denominator)
{
    return static_cast<std::uint8_t>((2 * numerator + denominator) / (2 * denominator));
}

void fill_text_colours(Palette& palette)
{
    constexpr std::array<Colour, 16> text_colours{{
        {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},
        {42, 0, 0},   {42, 0, 42},  {42, 21, 0},  {42, 42, 42},
        {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
        {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63},
    }};
    for (std::size_t i = 0; i < text_colours.size(); ++i) {
        palette[i] = text_colours[i];
    }
}

void fill_colour_cube(Palette& palette)
{
    constexpr int levels = 6;
    constexpr int first = 16;
    const auto level = [](int k) { return rounded_ratio(k * 63, levels - 1); };
    for (int r = 0; r < levels; ++r) {
        for (int g = 0; g < levels; ++g) {
            for (int b = 0; b < levels; ++b) {
                const int index = first + levels * levels * r + levels * g + b;
                palette[static_cast<std::size_t>(index)] = {level(r), level(g), level(b)};
            }
        }
    }
}

// 232 is the lightest grey; the ramp falls evenly to pure black at 255,
// which the engine uses for darkness and empty space.
void fill_grey_ramp(Palette& palette)
{
    constexpr int first = 232;
    constexpr int last = kPaletteSize - 1;
    constexpr int lightest = 60;
    for (int index = first; index <= last; ++index) {
        const std::uint8_t grey = rounded_ratio((last - index) * lightest, last - first);
        palette[static_cast<std::size_t>(index)] = {grey, grey, grey};
    }
}

Palette build_palette()
{
    Palette palette{};
    fill_text_colours(palette);
    fill_colour_cube(palette);
    fill_grey_ramp(palette);
    return palette;
}

void to_allegro_palette(const Palette& palette, PALETTE out)
{
    for (std::size_t i = 0; i < palette.size(); ++i) {
        out[i].r = palette[i].r;
        out[i].g = palette[i].g;
        out[i].b = palette[i].b;
        out[i].filler = 0;
    }
}

// ---------------------------------------------------------------------------
// Allegro resources
// ---------------------------------------------------------------------------

struct PackfileCloser {
    void operator()(PACKFILE* file) const { pack_fclose(file); }
};
using PackfileHandle = std::unique_ptr<PACKFILE, PackfileCloser>;

struct BitmapDestroyer {
    void operator()(BITMAP* bitmap) const { destroy_bitmap(bitmap); }
};
using BitmapHandle = std::unique_ptr<BITMAP, BitmapDestroyer>;

struct DatafileUnloader {
    void operator()(DATAFILE* data) const { unload_datafile(data); }
};
using DatafileHandle = std::unique_ptr<DATAFILE, DatafileUnloader>;

// ---------------------------------------------------------------------------
// Datafile writing
// ---------------------------------------------------------------------------

void write_name_property(PACKFILE* file, std::string_view name)
{
    const long size = static_cast<long>(name.size());
    pack_mputl(DAT_PROPERTY, file);
    pack_mputl(DAT_NAME, file);
    pack_mputl(size, file);
    pack_fwrite(name.data(), size, file);
}

// Objects are stored uncompressed: packed size and unpacked size are equal.
void write_object_header(PACKFILE* file, int type, long size)
{
    pack_mputl(type, file);
    pack_mputl(size, file);
    pack_mputl(size, file);
}

void write_sheet_object(PACKFILE* file, const Sheet& sheet)
{
    const long pixels = static_cast<long>(sheet.size());
    write_name_property(file, kSheetName);
    write_object_header(file, DAT_BITMAP, kBitmapHeaderBytes + pixels);
    pack_mputw(kSheetDepth, file);
    pack_mputw(kSheetSize, file);
    pack_mputw(kSheetSize, file);
    pack_fwrite(sheet.data(), pixels, file);
}

void write_palette_object(PACKFILE* file, const Palette& palette)
{
    write_name_property(file, kPaletteName);
    write_object_header(file, DAT_PALETTE, kPaletteEntryBytes * kPaletteSize);
    for (const Colour& colour : palette) {
        pack_putc(colour.r, file);
        pack_putc(colour.g, file);
        pack_putc(colour.b, file);
        pack_putc(0, file);
    }
}

void write_datafile(const std::string& path, const Sheet& sheet, const Palette& palette)
{
    PackfileHandle file{pack_fopen(path.c_str(), F_WRITE_NOPACK)};
    if (!file) {
        throw ToolError("cannot open '" + path + "' for writing");
    }
    pack_mputl(DAT_MAGIC, file.get());
    pack_mputl(2, file.get());
    write_sheet_object(file.get(), sheet);
    write_palette_object(file.get(), palette);
    if (pack_ferror(file.get()) != 0) {
        throw ToolError("error while writing '" + path + "'");
    }
    if (pack_fclose(file.release()) != 0) {
        throw ToolError("error while closing '" + path + "'");
    }
}

// ---------------------------------------------------------------------------
// Verification of the written file
// ---------------------------------------------------------------------------

int object_count(const DATAFILE* data)
{
    int count = 0;
    while (data[count].type != DAT_END) {
        ++count;
    }
    return count;
}

std::string object_name(const DATAFILE& object)
{
    const char* name = get_datafile_property(&object, DAT_NAME);
    return name != nullptr ? std::string(name) : std::string();
}

void verify_sheet_object(const DATAFILE& object, const Sheet& sheet, const std::string& path)
{
    const std::string where = "verify '" + path + "': object 0 ";
    if (object.type != DAT_BITMAP) {
        throw ToolError(where + "is not a bitmap");
    }
    if (object_name(object) != kSheetName) {
        throw ToolError(where + "is not named " + std::string(kSheetName));
    }
    BITMAP* bitmap = static_cast<BITMAP*>(object.dat);
    if (bitmap_color_depth(bitmap) != kSheetDepth || bitmap->w != kSheetSize || bitmap->h != kSheetSize) {
        throw ToolError(where + "is not a 128x128 8-bit bitmap");
    }
    for (int y = 0; y < kSheetSize; ++y) {
        for (int x = 0; x < kSheetSize; ++x) {
            if (getpixel(bitmap, x, y) != sheet[sheet_index(x, y)]) {
                throw ToolError(where + "differs at pixel (" + std::to_string(x) + ", " +
                                std::to_string(y) + ")");
            }
        }
    }
}

void verify_palette_object(const DATAFILE& object, const Palette& palette, const std::string& path)
{
    const std::string where = "verify '" + path + "': object 1 ";
    if (object.type != DAT_PALETTE) {
        throw ToolError(where + "is not a palette");
    }
    if (object_name(object) != kPaletteName) {
        throw ToolError(where + "is not named " + std::string(kPaletteName));
    }
    const RGB* loaded = static_cast<const RGB*>(object.dat);
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const Colour& want = palette[i];
        if (loaded[i].r != want.r || loaded[i].g != want.g || loaded[i].b != want.b) {
            throw ToolError(where + "differs at entry " + std::to_string(i));
        }
    }
}

void verify_datafile(const std::string& path, const Sheet& sheet, const Palette& palette)
{
    set_color_depth(kSheetDepth);
    set_color_conversion(COLORCONV_NONE);
    const DatafileHandle data{load_datafile(path.c_str())};
    if (!data) {
        throw ToolError("verify '" + path + "': load_datafile() failed");
    }
    const int count = object_count(data.get());
    if (count != 2) {
        throw ToolError("verify '" + path + "': expected 2 objects, found " + std::to_string(count));
    }
    verify_sheet_object(data.get()[0], sheet, path);
    verify_palette_object(data.get()[1], palette, path);
}

// ---------------------------------------------------------------------------
// Preview
// ---------------------------------------------------------------------------

void save_preview(const std::string& path, const Sheet& sheet, const Palette& palette)
{
    constexpr int size = kSheetSize * kPreviewScale;
    const BitmapHandle bitmap{create_bitmap_ex(kSheetDepth, size, size)};
    if (!bitmap) {
        throw ToolError("cannot create the preview bitmap");
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            putpixel(bitmap.get(), x, y, sheet[sheet_index(x / kPreviewScale, y / kPreviewScale)]);
        }
    }
    PALETTE allegro_palette;
    to_allegro_palette(palette, allegro_palette);
    if (save_bitmap(path.c_str(), bitmap.get(), allegro_palette) != 0) {
        throw ToolError("cannot save preview '" + path + "'");
    }
}

// ---------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------

struct Options {
    std::string font_path;
    std::string output_path;
    std::optional<std::string> preview_path;
};

constexpr std::string_view kUsage = "usage: make_default_dat [--preview OUT.bmp] FONT_TXT OUT_DAT";

Options parse_options(int argc, char* argv[])
{
    Options options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--preview") {
            if (i + 1 >= argc) {
                throw ToolError("--preview needs a file name\n" + std::string(kUsage));
            }
            options.preview_path = argv[++i];
        } else if (argument.starts_with("-") && argument.size() > 1) {
            throw ToolError("unknown option '" + std::string(argument) + "'\n" + std::string(kUsage));
        } else {
            positional.emplace_back(argument);
        }
    }
    if (positional.size() != 2) {
        throw ToolError(std::string(kUsage));
    }
    options.font_path = positional[0];
    options.output_path = positional[1];
    return options;
}

void start_allegro()
{
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) {
        throw ToolError(std::string("cannot initialise Allegro: ") + allegro_error);
    }
}

int run(int argc, char* argv[])
{
    const Options options = parse_options(argc, argv);
    const Sheet sheet = build_sheet(load_font(options.font_path));
    const Palette palette = build_palette();

    start_allegro();
    write_datafile(options.output_path, sheet, palette);
    verify_datafile(options.output_path, sheet, palette);
    if (options.preview_path) {
        save_preview(*options.preview_path, sheet, palette);
    }
    std::cout << "make_default_dat: wrote " << options.output_path << " (" << kGlyphCount
              << " glyphs, " << kPaletteSize << " colours)\n";
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char* argv[])
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "make_default_dat: " << error.what() << '\n';
        return EXIT_FAILURE;
    }
}
END_OF_MAIN()

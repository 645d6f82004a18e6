#include "KTileClipboard.h"

#include "KEditorDoc.h"
#include "KMemoryFile.h"
#include "KPaths.h"
#include "KTools.h"
#include "KZip.h"
#include "Kinterface.h"

#include <allegro.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

// Files beyond this are refused unread: a clipboard of a million cells
// written as text is about 28 MB.
constexpr size_t kMaxTileFileBytes = size_t{64} << 20;
constexpr size_t kMaxTextLine = 9999;

bool SizeAllowed(int64_t w, int64_t h)
{
    return w >= 1 && h >= 1 && w <= kMaxTileSide && h <= kMaxTileSide && w * h <= kMaxTileCells;
}

std::string SizeError(int64_t w, int64_t h)
{
    return "the size " + std::to_string(w) + " x " + std::to_string(h) + " is not between 1 x 1 and " +
           std::to_string(kMaxTileSide) + " x " + std::to_string(kMaxTileSide) + " (at most " +
           std::to_string(kMaxTileCells) + " cells)";
}

KTileClipboard Blank(int w, int h)
{
    KTileClipboard clip;
    clip.width = w;
    clip.height = h;
    clip.cells.assign(static_cast<size_t>(w) * static_cast<size_t>(h), KTile{kEmptyField, kEmptyField, kEmptyField, kEmptyField});
    return clip;
}

// Whitespace-separated signed numbers, one after another.
class Numbers {
public:
    explicit Numbers(const std::string& text) : text_(text) {}
    bool Next(long& value)
    {
        while (at_ < text_.size() && std::strchr(" \t\r\n\f\v", text_[at_]) != nullptr && text_[at_] != '\0') ++at_;
        if (at_ >= text_.size()) return false;
        const char* start = text_.c_str() + at_;
        char* end = nullptr;
        value = std::strtol(start, &end, 10);
        if (end == start) return false;
        at_ += static_cast<size_t>(end - start);
        return true;
    }
    // A field: -32768 to 65535, kept as 16 bits (-1 is empty).
    bool Field(uint16_t& field)
    {
        long value = 0;
        if (!Next(value) || value < -32768 || value > 65535) return false;
        field = static_cast<uint16_t>(value);
        return true;
    }

private:
    const std::string& text_;
    size_t at_ = 0;
};

// --- Pictures through the game library, from and to memory ---


struct BitmapRelease {
    void operator()(BITMAP* bitmap) const { destroy_bitmap(bitmap); }
};
using OwnedBitmap = std::unique_ptr<BITMAP, BitmapRelease>;

uint32_t Little(const std::string& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

// The size of a 24-bit PCX, checked before the library makes its bitmap.
bool PcxSize(const std::string& bytes, int64_t& w, int64_t& h, std::string& error)
{
    if (bytes.size() < 128 || bytes[0] != 10 || bytes[3] != 8 || bytes[65] != 3) {
        error = "it is not a 24-bit PCX picture";
        return false;
    }
    w = int64_t{Little(bytes, 8, 2)} - Little(bytes, 4, 2) + 1;
    h = int64_t{Little(bytes, 10, 2)} - Little(bytes, 6, 2) + 1;
    const int64_t lineBytes = Little(bytes, 66, 2);
    if (!SizeAllowed(w, h)) {
        error = "its picture has " + SizeError(w, h);
        return false;
    }
    if (lineBytes < w || lineBytes > w + 1) {
        error = "its picture rows are not the picture's width";
        return false;
    }
    return true;
}

// The size of an 8-bit BMP, likewise.
bool BmpSize(const std::string& bytes, int64_t& w, int64_t& h, std::string& error)
{
    if (!KPlainBmpSize(bytes, w, h)) {
        error = "it is not a whole, uncompressed 8-bit BMP picture";
        return false;
    }
    if (!SizeAllowed(w, h)) {
        error = "its picture has " + SizeError(w, h);
        return false;
    }
    return true;
}

// Decodes a checked picture at the given colour depth.
OwnedBitmap DecodePicture(const std::string& bytes, int depth, bool pcx)
{
    const int oldDepth = get_color_depth();
    set_color_depth(depth);
    set_color_conversion(COLORCONV_NONE);
    KMemoryReading in{&bytes};
    PACKFILE* file = KOpenMemoryReader(in);
    OwnedBitmap picture;
    if (file != nullptr) {
        PALETTE ignored;
        picture.reset(pcx ? load_pcx_pf(file, ignored) : load_bmp_pf(file, ignored));
        pack_fclose(file);
    }
    set_color_depth(oldDepth);
    return picture;
}

bool ReadChr(const std::string& bytes, KTileClipboard& out, std::string& error)
{
    int64_t w = 0;
    int64_t h = 0;
    if (!PcxSize(bytes, w, h, error)) return false;
    OwnedBitmap picture = DecodePicture(bytes, 24, true);
    if (!picture || bitmap_color_depth(picture.get()) != 24 || picture->w != w || picture->h != h) {
        error = "its picture could not be read";
        return false;
    }
    out = Blank(static_cast<int>(w), static_cast<int>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int pixel = getpixel(picture.get(), x, y);
            out.cells[static_cast<size_t>(y * w + x)][0] = static_cast<uint16_t>(getr24(pixel) + 256 * getg24(pixel));
        }
    }
    return true;
}

bool ReadBmp(const std::string& bytes, bool asBackground, KTileClipboard& out, std::string& error)
{
    int64_t w = 0;
    int64_t h = 0;
    if (!BmpSize(bytes, w, h, error)) return false;
    OwnedBitmap picture = DecodePicture(bytes, 8, false);
    if (!picture || bitmap_color_depth(picture.get()) != 8 || picture->w != w || picture->h != h) {
        error = "its picture could not be read";
        return false;
    }
    out = Blank(static_cast<int>(w), static_cast<int>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            out.cells[static_cast<size_t>(y * w + x)][asBackground ? 2 : 1] = static_cast<uint16_t>(picture->line[y][x]);
        }
    }
    return true;
}

bool ReadQcf(const std::string& bytes, KTileClipboard& out, std::string& error)
{
    KZipReader zip;
    std::string header;
    std::string data;
    if (!zip.OpenMemory(bytes, error)) return false;
    if (zip.Read("size.hdr", header, 64) != KZipReader::Entry::Ok || zip.Read("clip.dat", data, kMaxTileFileBytes) != KZipReader::Entry::Ok) {
        error = "it does not hold a readable \"size.hdr\" and \"clip.dat\"";
        return false;
    }
    Numbers size(header);
    long w = 0;
    long h = 0;
    if (!size.Next(w) || !size.Next(h) || !SizeAllowed(w, h)) {
        error = "\"size.hdr\" does not give a size between 1 x 1 and 4096 x 4096";
        return false;
    }
    KTileClipboard read = Blank(static_cast<int>(w), static_cast<int>(h));
    Numbers fields(data);
    for (KTile& tile : read.cells) {
        for (uint16_t& field : tile) {
            if (!fields.Field(field)) {
                error = "\"clip.dat\" holds fewer than " + std::to_string(w * h * 4) + " numbers from -32768 to 65535";
                return false;
            }
        }
    }
    out = std::move(read);
    return true;
}

bool ReadAtt(const std::string& bytes, KTileClipboard& out, std::string& error)
{
    Numbers numbers(bytes);
    long w = 0;
    long h = 0;
    if (!numbers.Next(w) || !numbers.Next(h) || !SizeAllowed(w, h)) {
        error = "it does not start with a size between 1 x 1 and 4096 x 4096";
        return false;
    }
    KTileClipboard read = Blank(static_cast<int>(w), static_cast<int>(h));
    for (KTile& tile : read.cells) {
        if (!numbers.Field(tile[3])) {
            error = "it holds fewer than " + std::to_string(w * h) + " attributes";
            return false;
        }
    }
    out = std::move(read);
    return true;
}

bool ReadTxt(const std::string& bytes, KTileClipboard& out, std::string& error)
{
    // First pass: the lines give the width (the longest) and the height.
    std::istringstream lines(bytes);
    std::string line;
    int64_t w = 0;
    int64_t h = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kMaxTextLine) {
            error = "a line is longer than 9,999 characters";
            return false;
        }
        w = std::max<int64_t>(w, static_cast<int64_t>(line.size()));
        ++h;
    }
    if (!SizeAllowed(w, h)) {
        error = "its text has " + SizeError(w, h);
        return false;
    }
    // Second pass: the characters without blanks and line ends, row by row;
    // when they run out the last one repeats.
    KTileClipboard read = Blank(static_cast<int>(w), static_cast<int>(h));
    size_t at = 0;
    uint16_t last = 32;
    for (KTile& tile : read.cells) {
        while (at < bytes.size() && std::strchr(" \t\r\n", bytes[at]) != nullptr && bytes[at] != '\0') ++at;
        if (at < bytes.size()) last = static_cast<uint8_t>(bytes[at++]);
        tile[0] = last;
    }
    out = std::move(read);
    return true;
}

std::string Text(int value) { return std::to_string(value); }

}  // namespace

// --- Copy and paste ------------------------------------------------------------

bool KCopyTiles(const Kobject& node, KToolRegion& region, const std::array<bool, 4>& fields, KTileClipboard& clip)
{
    if (region.Empty() || region.stride != node.width || region.rows != node.height) return false;
    KTileClipboard copy = Blank(region.width, region.height);
    copy.skip = clip.skip;
    for (int y = region.top; y < region.top + region.height; ++y) {
        for (int x = region.left; x < region.left + region.width; ++x) {
            if (region.At(x, y) != 1) continue;
            const KCell& cell = *node.GetCell(x, y);
            const int16_t values[4] = {cell.chr, cell.fg, cell.bg, cell.attrib};
            KTile& tile = copy.cells[static_cast<size_t>(y - region.top) * static_cast<size_t>(region.width) +
                                     static_cast<size_t>(x - region.left)];
            for (size_t f = 0; f < 4; ++f) {
                if (fields[f]) tile[f] = static_cast<uint16_t>(values[f]);
            }
            region.At(x, y) = 2;
        }
    }
    clip = std::move(copy);
    return true;
}

bool KPasteTiles(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KTileClipboard& clip)
{
    if (clip.Empty()) return false;
    const KTile zeros{0, 0, 0, 0};
    auto field = [](uint16_t value) { return value == kEmptyField ? -1 : static_cast<int>(static_cast<int16_t>(value)); };
    return KPaintRegion(doc, node, region, [&](int x, int y, KBrushCell& cell) {
        const KTile& tile = clip.At((x - region.left) % clip.width, (y - region.top) % clip.height);
        if (clip.skip && tile == zeros) return false;
        cell = {field(tile[0]), field(tile[1]), field(tile[2]), field(tile[3])};
        return true;
    });
}

// --- Files ------------------------------------------------------------------------

KTileFile KTileFileOf(const std::string& path)
{
    static constexpr const char* kExtensions[5] = {"qcf", "chr", "txt", "bmp", "att"};
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return KTileFile::Unknown;
    const std::string extension = path.substr(dot + 1);
    for (size_t i = 0; i < 5; ++i) {
        if (extension == kExtensions[i]) return static_cast<KTileFile>(i);
    }
    return KTileFile::Unknown;
}

KTileSave KTileSaveOf(const KTileClipboard& clip)
{
    if (clip.cells.empty()) return KTileSave::Qcf;
    const KTile& first = clip.cells.front();
    int set = 0;
    size_t only = 0;
    for (size_t f = 0; f < 4; ++f) {
        if (first[f] != kEmptyField) {
            ++set;
            only = f;
        }
    }
    if (set != 1) return KTileSave::Qcf;
    static constexpr KTileSave kByField[4] = {KTileSave::Chr, KTileSave::BmpForeground, KTileSave::BmpBackground, KTileSave::Att};
    return kByField[only];
}

bool KReadTiles(KTileFile type, const std::string& bytes, bool asBackground, KTileClipboard& clip, std::string& error)
{
    KTileClipboard read;
    bool ok = false;
    switch (type) {
    case KTileFile::Qcf: ok = ReadQcf(bytes, read, error); break;
    case KTileFile::Chr: ok = ReadChr(bytes, read, error); break;
    case KTileFile::Txt: ok = ReadTxt(bytes, read, error); break;
    case KTileFile::Bmp: ok = ReadBmp(bytes, asBackground, read, error); break;
    case KTileFile::Att: ok = ReadAtt(bytes, read, error); break;
    case KTileFile::Unknown: error = "the file type is none of .qcf, .chr, .txt, .bmp and .att"; break;
    }
    if (!ok) return false;
    read.skip = clip.skip;
    clip = std::move(read);
    return true;
}

bool KLoadTiles(const std::string& path, bool asBackground, KTileClipboard& clip, std::string& error)
{
    const KTileFile type = KTileFileOf(path);
    if (type == KTileFile::Unknown) return KReadTiles(type, {}, asBackground, clip, error);
    std::string bytes;
    if (!KReadRegularFile(path, kMaxTileFileBytes, bytes, error)) return false;
    return KReadTiles(type, bytes, asBackground, clip, error);
}

bool KWriteTiles(KTileSave type, const KTileClipboard& clip, const KPalette& palette, std::string& bytes, std::string& error)
{
    if (clip.Empty()) {
        error = "the clipboard is empty";
        return false;
    }
    bytes.clear();
    auto signedField = [](uint16_t value) { return static_cast<int>(static_cast<int16_t>(value)); };
    switch (type) {
    case KTileSave::Qcf: {
        // An archive is written only to its file (KSaveTiles).
        error = "a .qcf file is written to its place, not to memory";
        return false;
    }
    case KTileSave::Att: {
        bytes = Text(clip.width) + " " + Text(clip.height) + "\n";
        for (int y = 0; y < clip.height; ++y) {
            for (int x = 0; x < clip.width; ++x) bytes += Text(signedField(clip.At(x, y)[3])) + " ";
            bytes += "\n";
        }
        return true;
    }
    default: break;
    }
    const bool chr = type == KTileSave::Chr;
    OwnedBitmap picture(create_bitmap_ex(chr ? 24 : 8, clip.width, clip.height));
    if (!picture) {
        error = "no picture of that size could be made";
        return false;
    }
    for (int y = 0; y < clip.height; ++y) {
        for (int x = 0; x < clip.width; ++x) {
            const KTile& tile = clip.At(x, y);
            if (chr) {
                // The character widened to 32 bits: an empty one is 255, 255, 255.
                const uint32_t wide = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(tile[0])));
                putpixel(picture.get(), x, y, makecol24(wide & 0xff, (wide >> 8) & 0xff, (wide >> 16) & 0xff));
            } else {
                picture->line[y][x] = static_cast<uint8_t>(tile[type == KTileSave::BmpForeground ? 1 : 2] & 0xff);
            }
        }
    }
    PACKFILE* file = KOpenMemoryWriter(bytes);
    if (file == nullptr) {
        error = "the picture could not be written";
        return false;
    }
    const RGB* colours = reinterpret_cast<const RGB*>(palette.data());
    const int failed = chr ? save_pcx_pf(file, picture.get(), colours) : save_bmp_pf(file, picture.get(), colours);
    pack_fclose(file);
    if (failed != 0) error = "the picture could not be written";
    return failed == 0;
}

bool KSaveTiles(const std::string& path, KTileSave type, const KTileClipboard& clip, const KPalette& palette,
                std::string& error)
{
    if (type == KTileSave::Qcf) {
        if (clip.Empty()) {
            error = "the clipboard is empty";
            return false;
        }
        std::string data(clip.cells.size() * 4 * 7, '\0');
        char* out = data.data();
        char* const end = data.data() + data.size();
        for (const KTile& tile : clip.cells) {
            for (uint16_t field : tile) {
                out = std::to_chars(out, end, static_cast<int16_t>(field)).ptr;
                *out++ = ' ';
            }
        }
        data.resize(static_cast<size_t>(out - data.data()));
        // The writer builds the archive beside its target and renames it
        // into place only once it is whole.
        KZipWriter zip;
        const bool ok = zip.Open(path) && zip.Add("size.hdr", Text(clip.width) + " " + Text(clip.height) + "\n") &&
                        zip.Add("clip.dat", data) && zip.Commit();
        if (!ok) error = zip.Error();
        return ok;
    }
    std::string bytes;
    if (!KWriteTiles(type, clip, palette, bytes, error)) return false;
    const std::string part = path + ".part";
    if (!KWriteFile(part, bytes) || std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        error = "the file could not be written";
        return false;
    }
    return true;
}

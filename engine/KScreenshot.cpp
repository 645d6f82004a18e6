#include "KScreenshot.h"

#include "KMemoryFile.h"

#include <allegro.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

namespace {

bool Exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool EndsWithPng(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".png";
}

// --- Images are made in memory, then written and checked as a whole, so
// a full disk or a failing device is noticed whatever the image's size. ---


bool EncodeBmp(BITMAP* bitmap, const KPalette& palette, std::string& bytes)
{
    PACKFILE* file = KOpenMemoryWriter(bytes);
    if (file == nullptr) return false;
    const int failed = save_bmp_pf(file, bitmap, reinterpret_cast<const RGB*>(palette.data()));
    pack_fclose(file);
    return failed == 0;
}

void AppendBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

void AppendChunk(std::string& out, const char* type, const std::string& data)
{
    AppendBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.append(type, 4);
    out += data;
    const auto* checked = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    AppendBigEndian(out, static_cast<uint32_t>(crc32(0, checked, static_cast<uInt>(4 + data.size()))));
}

// An 8-bit paletted PNG: every row unfiltered, deflated at the default level.
bool EncodePng(BITMAP* bitmap, const KPalette& palette, std::string& bytes)
{
    if (bitmap_color_depth(bitmap) != 8) return false;
    const auto w = static_cast<size_t>(bitmap->w);
    const auto h = static_cast<size_t>(bitmap->h);
    std::string rows;
    rows.reserve((w + 1) * h);
    for (size_t y = 0; y < h; ++y) {
        rows += '\0';
        rows.append(reinterpret_cast<const char*>(bitmap->line[y]), w);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                  static_cast<uLong>(rows.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);

    std::string header;
    AppendBigEndian(header, static_cast<uint32_t>(w));
    AppendBigEndian(header, static_cast<uint32_t>(h));
    header += std::string("\x08\x03\x00\x00\x00", 5);  // depth 8, paletted, deflate, no filter, not interlaced
    std::string colours;
    for (const KRGB& entry : palette) {
        // The palette holds 6-bit levels; PNG wants 8-bit ones.
        for (const uint8_t level : {entry.r, entry.g, entry.b}) colours += static_cast<char>(_rgb_scale_6[level & 63]);
    }
    bytes.assign("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(bytes, "IHDR", header);
    AppendChunk(bytes, "PLTE", colours);
    AppendChunk(bytes, "IDAT", packed);
    AppendChunk(bytes, "IEND", "");
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // Data held in the stream's buffer reaches the device only here.
    file.close();
    return !file.fail();
}

}  // namespace

std::string KScreenshotName(const std::string& folder, int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "/%.5i.bmp", n);
    return folder + name;
}

std::string KNextScreenshotName(const std::string& folder)
{
    for (int n = 0; n < kMaxScreenshots; ++n) {
        std::string name = KScreenshotName(folder, n);
        if (!Exists(name)) return name;
    }
    return {};
}

bool KSaveImage(const std::string& path, BITMAP* bitmap, const KPalette& palette)
{
    static_assert(sizeof(KPalette) == sizeof(PALETTE));
    if (bitmap == nullptr || path.empty()) return false;
    std::string bytes;
    const bool encoded = EndsWithPng(path) ? EncodePng(bitmap, palette, bytes) : EncodeBmp(bitmap, palette, bytes);
    return encoded && WriteWholeFile(path, bytes);
}

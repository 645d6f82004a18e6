#include "KBitmap.h"

#include <allegro.h>

void KBitmapDeleter::operator()(BITMAP* bitmap) const noexcept { destroy_bitmap(bitmap); }

KBitmap KMakeBitmap(int width, int height)
{
    if (width <= 0 || height <= 0) return nullptr;
    if (int64_t{width} * int64_t{height} > kMaxBitmapPixels) return nullptr;
    KBitmap bitmap(create_bitmap_ex(8, width, height));
    if (bitmap) clear_to_color(bitmap.get(), 0);
    return bitmap;
}

int KBitmapWidth(const BITMAP* bitmap) { return bitmap != nullptr ? bitmap->w : 0; }
int KBitmapHeight(const BITMAP* bitmap) { return bitmap != nullptr ? bitmap->h : 0; }
uint8_t* KBitmapRow(BITMAP* bitmap, int y) { return bitmap->line[y]; }
const uint8_t* KBitmapRow(const BITMAP* bitmap, int y) { return bitmap->line[y]; }

namespace {
int64_t LittleEndianAt(const std::string& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return size == 2 ? int64_t{static_cast<int16_t>(value)} : int64_t{static_cast<int32_t>(value)};
}
}  // namespace

bool KPlainBmpSize(const std::string& bytes, int64_t& width, int64_t& height)
{
    constexpr int64_t kHeaders = 14 + 40;
    if (bytes.size() < static_cast<size_t>(kHeaders) || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const int64_t pixelsAt = LittleEndianAt(bytes, 10, 4);
    const int64_t infoSize = LittleEndianAt(bytes, 14, 4);
    const int64_t bits = LittleEndianAt(bytes, 28, 2);
    const int64_t compression = LittleEndianAt(bytes, 30, 4);
    const int64_t colours = LittleEndianAt(bytes, 46, 4);
    width = LittleEndianAt(bytes, 18, 4);
    // Rows stored top down (a negative height) make the library ask for a
    // bitmap of negative size.
    height = LittleEndianAt(bytes, 22, 4);
    if (infoSize != 40 || bits != 8 || compression != 0 || colours < 0 || colours > 256) return false;
    if (pixelsAt < kHeaders || pixelsAt > kHeaders + 256 * 4) return false;
    if (width <= 0 || height <= 0 || width > (int64_t{1} << 16) || height > (int64_t{1} << 16)) return false;
    const int64_t rowBytes = (width + 3) / 4 * 4;
    return pixelsAt + rowBytes * height <= static_cast<int64_t>(bytes.size());
}

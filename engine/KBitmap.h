#pragma once
// Owned 8-bit memory bitmaps of the game library.

#include <cstdint>
#include <memory>
#include <string>

struct BITMAP;

struct KBitmapDeleter {
    void operator()(BITMAP* bitmap) const noexcept;
};

using KBitmap = std::unique_ptr<BITMAP, KBitmapDeleter>;

// Largest bitmap the engine agrees to make, in pixels. Node surfaces are 64
// pixels a cell, so this bounds what one node may cost.
inline constexpr int64_t kMaxBitmapPixels = int64_t{1} << 26;

// A new 8-bit memory bitmap cleared to 0, or none when the size is not
// positive, too large, or the library cannot make it.
KBitmap KMakeBitmap(int width, int height);

int KBitmapWidth(const BITMAP* bitmap);
int KBitmapHeight(const BITMAP* bitmap);
uint8_t* KBitmapRow(BITMAP* bitmap, int y);
const uint8_t* KBitmapRow(const BITMAP* bitmap, int y);

// The size of an uncompressed 8-bit Windows BMP stored bottom up whose
// header, palette (at most 256 colours) and pixel rows the bytes hold
// whole; false for anything
// else. The game library's reader trusts the header: a lying palette offset
// or a short file makes it read past the end for billions of bytes.
bool KPlainBmpSize(const std::string& bytes, int64_t& width, int64_t& height);

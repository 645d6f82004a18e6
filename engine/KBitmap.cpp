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

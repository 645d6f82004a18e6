#include "KQtImage.h"

#include "KBitmap.h"

#include <algorithm>
#include <cstring>

namespace {
// Palette levels run 0..63; a file may hold more, which must not wrap.
int Widen(uint8_t level) { return std::min<int>(level, 63) * 255 / 63; }
}  // namespace

QImage KToQImage(const BITMAP* bitmap, const KPalette& palette)
{
    if (bitmap == nullptr) return {};
    const int width = KBitmapWidth(bitmap);
    const int height = KBitmapHeight(bitmap);
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull()) return {};
    QList<QRgb> colours(256);
    for (size_t i = 0; i < palette.size(); ++i) {
        const KRGB& c = palette[i];
        colours[static_cast<qsizetype>(i)] = qRgb(Widen(c.r), Widen(c.g), Widen(c.b));
    }
    image.setColorTable(colours);
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.scanLine(y), KBitmapRow(bitmap, y), static_cast<size_t>(width));
    }
    return image;
}

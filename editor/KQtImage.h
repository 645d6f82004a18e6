#pragma once
// The one bridge from the engine's 8-bit bitmaps to the screen.

#include "Kfont.h"

#include <QImage>

struct BITMAP;

// An indexed copy of bitmap with palette (0..63 levels widened to 0..255).
QImage KToQImage(const BITMAP* bitmap, const KPalette& palette);

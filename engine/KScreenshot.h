#pragma once
// Screenshots: numbered files in Worlds/Screens that never overwrite one
// another, and bitmaps saved with the display palette.

#include "Kfont.h"

#include <string>

struct BITMAP;

inline constexpr const char* kScreensFolder = "Worlds/Screens";
// The shipped worlds' folder, relative to the data folder.
inline constexpr const char* kShippedWorldsFolder = "Worlds";
// Numbers run 00000 .. 99999; when all are taken no screenshot is saved.
inline constexpr int kMaxScreenshots = 100000;

// "Worlds/Screens/%.5i.bmp" of n, inside folder.
std::string KScreenshotName(const std::string& folder, int n);

// The first numbered name in folder that names no file yet, or "".
std::string KNextScreenshotName(const std::string& folder = kScreensFolder);

// Saves bitmap with palette: PNG when path ends in ".png", else BMP. False
// when the file could not be written (a missing folder is not made).
bool KSaveImage(const std::string& path, BITMAP* bitmap, const KPalette& palette);

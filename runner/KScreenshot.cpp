#include "KScreenshot.h"

#include <allegro.h>
#include <loadpng.h>

#include <cstdio>
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
    const RGB* rgb = reinterpret_cast<const RGB*>(palette.data());
    const int failed = EndsWithPng(path) ? save_png(path.c_str(), bitmap, rgb) : save_bmp(path.c_str(), bitmap, rgb);
    return failed == 0;
}

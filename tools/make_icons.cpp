// Draws the programs' icons for the desktop's menus: a smiling face in a
// character cell, the kit's player glyph, on a rounded tile. The runner's
// tile is plain; the editor's shows the cell grid it paints on.
//
//   make_icons OUTPUT_FOLDER
//
// writes OUTPUT_FOLDER/SIZExSIZE/apps/{quav-runner,vantor}.png for every
// size of the usual hicolor theme folders.

#include <allegro.h>
#include <loadpng.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

constexpr std::array<int, 8> kSizes = {16, 22, 24, 32, 48, 64, 128, 256};
// The face, one byte a row, the high bit on the left.
constexpr std::array<uint8_t, 8> kFace = {0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E};

struct Look {
    const char* name;
    int tile, face, grid;  // colours as 0xRRGGBB; grid < 0 draws none
};
constexpr std::array<Look, 2> kLooks = {{
    {"quav-runner", 0x1A2A6C, 0xFFD23F, -1},
    {"vantor", 0x1F5F4A, 0xF4F4F4, 0x2F7F66},
}};

using BitmapPtr = std::unique_ptr<BITMAP, void (*)(BITMAP*)>;

int Colour(int rgb, int alpha = 255) { return makeacol32((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255, alpha); }

// Whether pixel (x, y) lies on the tile, a square with rounded corners.
bool OnTile(int x, int y, int size)
{
    const int radius = size / 6;
    const int cx = x < radius ? radius : (x >= size - radius ? size - radius - 1 : x);
    const int cy = y < radius ? radius : (y >= size - radius ? size - radius - 1 : y);
    const int dx = x - cx;
    const int dy = y - cy;
    return dx * dx + dy * dy <= radius * radius;
}

BitmapPtr Draw(const Look& look, int size)
{
    BitmapPtr icon(create_bitmap_ex(32, size, size), destroy_bitmap);
    if (!icon) return icon;
    const int cell = size * 5 / 64 > 0 ? size * 5 / 64 : 1;
    const int origin = (size - 8 * cell) / 2;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int colour = OnTile(x, y, size) ? Colour(look.tile) : Colour(0, 0);
            const bool gridLine = look.grid >= 0 && cell >= 3 && ((x - origin) % cell == 0 || (y - origin) % cell == 0);
            if (OnTile(x, y, size) && gridLine) colour = Colour(look.grid);
            const int gx = x - origin;
            const int gy = y - origin;
            if (gx >= 0 && gy >= 0 && gx < 8 * cell && gy < 8 * cell &&
                (kFace[static_cast<size_t>(gy / cell)] & (0x80 >> (gx / cell))) != 0) {
                colour = Colour(look.face);
            }
            putpixel(icon.get(), x, y, colour);
        }
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_icons OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(32);
    const std::string out = argv[1];
    for (const int size : kSizes) {
        const std::string folder = out + "/" + std::to_string(size) + "x" + std::to_string(size);
        mkdir(out.c_str(), 0755);
        mkdir(folder.c_str(), 0755);
        mkdir((folder + "/apps").c_str(), 0755);
        for (const Look& look : kLooks) {
            const BitmapPtr icon = Draw(look, size);
            const std::string path = folder + "/apps/" + look.name + ".png";
            if (!icon || save_png(path.c_str(), icon.get(), nullptr) != 0) {
                std::fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    return 0;
}
END_OF_MAIN()

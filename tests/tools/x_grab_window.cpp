// x_grab_window WINDOW_ID FILE — writes what the X window shows as a binary
// PPM picture (P6), so tests can look at a real window under Xvfb.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: x_grab_window WINDOW_ID FILE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x_grab_window: cannot open the display\n");
        return 1;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0) {
        std::fprintf(stderr, "x_grab_window: no window %s\n", argv[1]);
        XCloseDisplay(display);
        return 1;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        std::fprintf(stderr, "x_grab_window: cannot read the window\n");
        XCloseDisplay(display);
        return 1;
    }
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<size_t>(attributes.width) * static_cast<size_t>(attributes.height) * 3);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            for (const unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask}) {
                rgb.push_back(mask == 0 ? 0 : static_cast<unsigned char>((pixel & mask) >> __builtin_ctzl(mask)));
            }
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "x_grab_window: cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", attributes.width, attributes.height);
    const bool written = std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}

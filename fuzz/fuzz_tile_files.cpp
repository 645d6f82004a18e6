// Any bytes as a tile clipboard file of any of the five types (the first
// byte picks the type and, for a picture, foreground or background): each
// reader must refuse or accept them without crashing, hanging or growing
// without bound.

#include "FuzzSupport.h"
#include "KTileClipboard.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    FuzzEngine();
    const auto type = static_cast<KTileFile>(data[0] % 5);
    const bool asBackground = (data[0] & 0x80) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    KTileClipboard clip;
    std::string error;
    if (KReadTiles(type, bytes, asBackground, clip, error)) {
        // What was read is whole.
        if (clip.cells.size() != static_cast<size_t>(clip.width) * static_cast<size_t>(clip.height)) __builtin_trap();
    }
    return 0;
}

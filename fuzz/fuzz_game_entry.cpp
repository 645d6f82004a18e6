// Any text as a game entry: the node-record reader alone.

#include "FuzzSupport.h"
#include "KWorldFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine();
    const KWorldLimits limits = FuzzWorldLimits();
    Kobject root;
    root.name = "world_tree";
    std::string error;
    KReadGameEntry(engine, std::string_view(reinterpret_cast<const char*>(data), size), "game.qav", root, error,
                   limits);
    return 0;
}

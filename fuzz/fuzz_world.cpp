// Any bytes as a world file: the whole reader (zip, font, game entry,
// resolution) must refuse or accept them without crashing, hanging or
// growing without bound.

#include "FuzzSupport.h"
#include "KWorldFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine();
    KWorldLimits limits;
    limits.maxEntryBytes = size_t{4} << 20;
    limits.maxWorldCells = int64_t{1} << 18;
    limits.maxNodes = 5000;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    LoadWorldFromMemory(engine, std::move(bytes), "fuzz.zqav", limits);
    return 0;
}

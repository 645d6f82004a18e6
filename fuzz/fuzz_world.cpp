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
    std::string bytes(reinterpret_cast<const char*>(data), size);
    LoadWorldFromMemory(engine, std::move(bytes), "fuzz.zqav", FuzzWorldLimits());
    return 0;
}

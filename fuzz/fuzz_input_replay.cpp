// Any text as an input replay file: the parser, then every event applied to
// the game library's input state.

#include "KInputReplay.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KInputReplay replay;
    std::string error;
    if (replay.Parse(std::string_view(reinterpret_cast<const char*>(data), size), error)) {
        replay.ApplyUpTo(std::numeric_limits<int64_t>::max());
        while (replay.NextTypedChar() >= 0) {
        }
    }
    return 0;
}

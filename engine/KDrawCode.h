#pragma once

#include <cstdint>

// The instruction sets the compositor's pixel work is built for. Drawing
// uses the widest one the processor runs; all of them draw the same pixels.
enum class KDrawCode : uint8_t {
    Plain = 0,   // what every processor of the platform runs
    Avx2 = 1,    // four cells to a vector
    Avx512 = 2,  // and pixels stored under a mask, so the target is not read first
};
inline constexpr int kDrawCodeCount = 3;

// Whether this processor runs code.
bool KDrawCodeRuns(KDrawCode code);

// The code drawing uses now.
KDrawCode KCurrentDrawCode();

// Makes drawing use code from now on; false, and nothing changed, when this
// processor does not run it.
bool KUseDrawCode(KDrawCode code);

// "plain", "avx2" or "avx512".
const char* KDrawCodeName(KDrawCode code);

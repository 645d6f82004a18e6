// Any code bytes and cursor through the argument evaluator: every read must
// stay inside the code, move the cursor forward and end.
//
// Input: one byte of flags (bit 0: resolve variables), two bytes of cursor
// (signed, little end first), then the code.

#include "FuzzSupport.h"
#include "KEvaluator.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace {

void SetVariables(Kinterface& engine)
{
    engine.vVariables.EraseAll();
    engine.SetVar("a", 4);
    engine.SetVar("big", std::numeric_limits<int32_t>::max());
    engine.SetVar("min", std::numeric_limits<int32_t>::min());
    engine.SetVarString("t", "hello world");
    engine.SetVarString("n", "-7");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    Kinterface& engine = FuzzEngine();
    static KEvaluator evaluator(engine);
    SetVariables(engine);
    const bool resolve = (data[0] & 1) != 0;
    int32_t cursor = static_cast<int16_t>(static_cast<uint16_t>(data[1] | (data[2] << 8)));
    // The code is copied so that a read past its end is caught.
    const std::string code(reinterpret_cast<const char*>(data + 3), size - 3);
    for (int turn = 0; turn < 4096; ++turn) {
        const int32_t before = cursor;
        switch (turn % 3) {
        case 0: evaluator.GetIntArg(code, cursor); break;
        case 1: evaluator.GetStrArg(code, cursor, resolve); break;
        default: evaluator.Evaluate(code, cursor, resolve); break;
        }
        FuzzRequire(cursor >= 0 && static_cast<size_t>(cursor) <= code.size());
        if (static_cast<size_t>(cursor) == code.size()) break;
        FuzzRequire(before < 0 || static_cast<size_t>(before) > code.size() || cursor > before);
    }
    return 0;
}

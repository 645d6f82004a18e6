// Any text as a script: the compiler must give a well-formed program (every
// marker on a label, every key marker on a marker) without crashing,
// hanging or growing beyond its bounds; the evaluator then reads every
// argument of every compiled command.

#include "FuzzSupport.h"
#include "KEvaluator.h"
#include "Kcompiler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void CheckProgram(const Kobject& node, size_t sourceBytes)
{
    size_t repeatedBytes = 0;
    size_t commands = 0;
    for (const KProgramLine& line : node.lines) {
        FuzzRequire(!line.commands.empty());
        for (const KCompiledCommand& command : line.commands) {
            FuzzRequire(!command.code.empty() && static_cast<uint8_t>(command.code[0]) < kOpcodeCount);
            FuzzRequire(!command.target.empty() && command.target[0] == '.');
            repeatedBytes += Kcompiler::CopyCost(command);
        }
        commands += line.commands.size();
    }
    // Without repeats a command takes at least one byte of script and
    // holds at most the whole script.
    const size_t plainBytes = sourceBytes * (sizeof(KCompiledCommand) + sourceBytes + 6);
    FuzzRequire(repeatedBytes <= plainBytes + Kcompiler::RepeatBudgetFor(sourceBytes));
    FuzzRequire(commands <= sourceBytes + Kcompiler::RepeatBudgetFor(sourceBytes) / sizeof(KCompiledCommand));
    FuzzRequire(node.currentLine == (node.lines.empty() ? -1 : 0));
    for (const KMarker& marker : node.markers) {
        FuzzRequire(marker.line >= 0 && static_cast<size_t>(marker.line) < node.lines.size());
        const auto& line = node.lines[static_cast<size_t>(marker.line)].commands;
        FuzzRequire(marker.command >= 0 && static_cast<size_t>(marker.command) < line.size());
        FuzzRequire(static_cast<uint8_t>(line[static_cast<size_t>(marker.command)].code[0]) == kOpMarker);
    }
    for (const KKeyMarker& key : node.keyMarkers) {
        FuzzRequire(key.input >= 0 && key.input < kInputNameCount);
        FuzzRequire(key.marker >= 0 && static_cast<size_t>(key.marker) < node.markers.size());
    }
}

void ReadEveryArgument(KEvaluator& evaluator, const Kobject& node)
{
    for (const KProgramLine& line : node.lines) {
        for (const KCompiledCommand& command : line.commands) {
            int32_t cursor = 1;
            while (static_cast<size_t>(cursor) < command.code.size()) {
                const int32_t before = cursor;
                evaluator.GetStrArg(command.code, cursor, true);
                FuzzRequire(cursor > before && static_cast<size_t>(cursor) <= command.code.size());
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine();
    static Kcompiler compiler;
    static KEvaluator evaluator(engine);
    Kobject node;
    node.name = "fuzz";
    node.source.assign(reinterpret_cast<const char*>(data), size);
    compiler.Compile(node);
    CheckProgram(node, size);
    ReadEveryArgument(evaluator, node);
    engine.vVariables.EraseAll();
    return 0;
}

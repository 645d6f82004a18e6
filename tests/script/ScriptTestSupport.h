#pragma once
// Helpers shared by the script tests: the runner's script parts, compiling
// one script and writing compiled codes.

#include "Kcompiler.h"
#include "Kexec.h"
#include "TestSupport.h"

#include <string>
#include <string_view>
#include <vector>

using Codes = std::vector<std::vector<std::string>>;

// The compiler and the executor, as the runner makes them.
inline KParts RunnerScriptParts()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return parts;
}

// The opcode byte followed by the argument bytes.
inline std::string Op(int opcode, std::string_view rest = {})
{
    std::string code(1, static_cast<char>(opcode));
    code += rest;
    return code;
}

// A code as readable text: printable bytes as they are, others as \xNN.
inline std::string Printable(const std::string& code)
{
    std::string out;
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        }
    }
    return out;
}

inline Codes CodesOf(const Kobject& node)
{
    Codes codes;
    for (const KProgramLine& line : node.lines) {
        codes.emplace_back();
        for (const KCompiledCommand& command : line.commands) codes.back().push_back(command.code);
    }
    return codes;
}

inline std::string Describe(const Codes& codes)
{
    std::string out;
    for (const auto& line : codes) {
        out += "[";
        for (size_t i = 0; i < line.size(); ++i) out += (i ? ", " : "") + Printable(line[i]);
        out += "] ";
    }
    return out;
}

// A board named name holding the script, compiled.
inline Kobject* CompileScript(TestEngine& engine, std::string_view source, const std::string& name = "obj")
{
    Kobject* node = engine.AddBoard(name, 1, 1);
    node->source.assign(source);
    Kcompiler compiler;
    compiler.Compile(*node);
    return node;
}

#pragma once
// A node's compiled script: the format the compiler writes and the executor
// runs. Code strings are counted byte strings: bytes 0 and 1 occur inside.

#include <cstdint>
#include <string>
#include <vector>

struct KCompiledCommand {
    std::string code;             // opcode byte, then the arguments
    int32_t cursor = 0;           // read position of the running handler inside code
    std::string target = ".self"; // address of the node the command applies to
};

struct KProgramLine {
    std::vector<KCompiledCommand> commands;
    int32_t currentCommand = 0;
};

struct KMarker {
    std::string name;  // label without its ':' or '\''
    int32_t line = 0;
    int32_t command = 0;
    int32_t active = 1;
};

struct KKeyMarker {
    int32_t input = 0;   // index into the input-name table
    int32_t marker = 0;  // index into the markers
};

#pragma once
// The runner's script tools for game authors:
//   --check WORLD                       compiles every node without playing
//   --dump-program WORLD [--node NAME]  writes the compiled programs as JSON
// Each returns what to write to standard output and standard error and the
// exit status, so the program's command line only has to pass them on.

#include "Kcompiler.h"
#include "Kinterface.h"

#include <string>
#include <vector>

struct KToolResult {
    int status = 0;
    std::string out;  // for standard output
    std::string err;  // for standard error
};

// Exit statuses of the tools.
inline constexpr int kToolOk = 0;
inline constexpr int kToolFound = 1;       // --check: compile errors; --dump-program: no node of that name
inline constexpr int kToolCannotLoad = 1;  // the world did not load (as for play)

// Compiles every board's subtree with a compiler of its own and returns the
// compile errors in order; they are collected, not shown.
std::vector<KCompileError> KCompileWorld(Kinterface& engine);

// One "NODE:LINE: MESSAGE" line per error.
std::string KFormatCompileErrors(const std::vector<KCompileError>& errors);

// The compiled programs of every node below the root, depth first in child
// order, as a JSON array; with onlyName, only the nodes of exactly that name.
std::string KProgramsJson(const Kobject& root, const std::string* onlyName = nullptr);

// --check: loads the world, compiles it; status 0 without errors, 1 with
// errors or when the world does not load.
KToolResult KCheckWorld(Kinterface& engine, const std::string& worldPath);

// --dump-program: loads the world, compiles it and writes the programs;
// compile errors go to standard error as for --check.
KToolResult KDumpPrograms(Kinterface& engine, const std::string& worldPath, const std::string* nodeName = nullptr);

#pragma once
// The runner's command line, read through a table of options so that new
// modes and options are one more row.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class KRunMode : uint8_t { Play = 0, Help = 1, Version = 2, Check = 3, DumpProgram = 4 };

struct KRunnerOptions {
    KRunMode mode = KRunMode::Play;
    bool headless = false;
    bool trace = false;
    int64_t ticks = -1;  // -1: the default run length
    std::string inputPath;
    std::string screenshotPath;
    std::string dumpVarsPath;  // "-" for standard output
    std::string dumpTreePath;  // "-" for standard output
    std::string audioPath;     // the mixed sound as a WAV file
    std::string midiLogPath;   // every MIDI message sent, one a line
    bool dumpTreeCells = false;
    int scale = 0;  // 1..4: the window's enlargement; 0: the one kept from the last run
    bool seeded = false;
    uint64_t seed = 0;
    std::string worldPath;  // unquoted; empty for the launcher
    bool nodeGiven = false;  // --dump-program --node NAME
    std::string nodeName;
    // Options given, for the checks that an option fits the mode.
    std::vector<std::string_view> given;
};

// Ticks a headless run plays when --ticks is not given (ten seconds).
inline constexpr int64_t kDefaultHeadlessTicks = 600;

// Reads argv into options. False with a message for bad arguments.
bool KParseCommandLine(const std::vector<std::string_view>& args, KRunnerOptions& options, std::string& error);

std::string KUsageText();
std::string KVersionText();

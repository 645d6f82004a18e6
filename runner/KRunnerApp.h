#pragma once
// The runner program: reads the command line, then plays a world headless,
// in a window, or through the launcher.

#include <string_view>
#include <vector>

// The whole program; returns its exit status.
int KRunnerMain(const std::vector<std::string_view>& args);

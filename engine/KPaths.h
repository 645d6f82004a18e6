#pragma once
// File-name helpers shared by the programs.

#include <string>
#include <string_view>

// The folder of the running executable, without a trailing separator.
std::string KExecutableDir();

// path made absolute against the current directory (unchanged when it is
// absolute already or empty).
std::string KAbsolutePath(std::string_view path);

// Makes the executable's folder the current directory; false when it cannot.
bool KEnterExecutableDir();

// A path argument without the double quotes that may surround it.
std::string KUnquoted(std::string_view argument);

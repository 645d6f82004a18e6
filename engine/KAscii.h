#pragma once
// Letter case of the engine's 8-bit texts: only the ASCII letters A to Z
// have another case; every other byte stays as it is.

#include <string>
#include <string_view>

inline char KLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string KLowered(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered) c = KLowerAscii(c);
    return lowered;
}

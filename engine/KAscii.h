#pragma once
// Letter case of the engine's 8-bit texts (only the ASCII letters A to Z
// have another case; every other byte stays as it is), and texts made safe
// to print.

#include <string>
#include <string_view>

inline char KLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string KLowered(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered) c = KLowerAscii(c);
    return lowered;
}

// The text with control characters (bytes 0 to 31 and 127) written as \xNN,
// so that text from a file cannot move a terminal's cursor, change its
// colours or cut a line short.
inline std::string KPrintable(std::string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte != 127) {
            out += c;
            continue;
        }
        out += "\\x";
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

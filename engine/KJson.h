#pragma once
// JSON text for the programs' machine-readable output. Engine texts are
// 8-bit; each byte above 127 is written as the character with that number,
// so any name gives valid JSON.

#include <cstdio>
#include <string>
#include <string_view>

inline void KAppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte >= 0x7f) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

inline std::string KJsonString(std::string_view text)
{
    std::string out;
    KAppendJsonString(out, text);
    return out;
}

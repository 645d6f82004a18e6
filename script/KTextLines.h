#pragma once
// What objects say: text lines with their small markup of "$" codes, shown
// as on-screen messages (one line) or in the scroll window (several).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Kinterface;
class Kobject;

enum KLineKind : int { kPlainLine = 0, kLinkLine = 1, kInputLine = 2 };

// One text line with its codes worked out.
struct KFormattedLine {
    std::vector<int16_t> chars;    // character codes, at most kMaxFormattedChars
    std::vector<int16_t> fg;       // per character; -1 = no change there
    std::vector<int16_t> bg;
    // Colours set after the last character; they carry on to the next line.
    int16_t trailingFg = -1;
    int16_t trailingBg = -1;
    bool centred = false;
    KLineKind kind = kPlainLine;
    std::string target;            // link: marker name; input: variable name
    int32_t maxLength = 0;         // input: most characters
    // Window settings the line asks for; present only when the flag is set.
    bool setsLinkColours = false;
    int16_t linkFg = 14;
    int16_t linkBg = 1;
    bool movesWindow = false;
    int32_t windowX = 0;
    int32_t windowY = 0;
    bool setsFrame = false;
    int16_t frameFg = 15;
    int16_t frameBg = 1;

    // The characters as text (codes above 255 keep their low byte).
    std::string Text() const;
};

inline constexpr size_t kMaxFormattedChars = 4000;
// "$$" codes are clamped to the glyphs a font can hold.
inline constexpr int32_t kMaxCharCode = 32767;

KFormattedLine KFormatLine(Kinterface& engine, std::string_view text);

// Shows what an object said during its turn as an on-screen message; false
// when it needs the scroll window instead (several lines, or a lone link or
// input line).
bool KShowAsMessage(Kinterface& engine, const Kobject& speaker, const std::vector<std::string>& lines);

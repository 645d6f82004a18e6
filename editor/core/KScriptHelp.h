#pragma once
// What the script editor knows about the language without Qt: the command
// list offered after "#", the parameter help shown after a command, the
// address list offered after ".", the syntax colour file, the style of every
// character of a script and its compile errors.

#include "Kinterface.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The command words, sorted in byte order and joined by single spaces.
const std::string& KCommandList();
// Every command word followed by its parameter help, one entry after another.
const std::string& KHelpText();
// The help of the typed command ("#sound ", the space included): the help
// characters after the first match up to the next "#"; empty without a match.
std::string GetCommandHelp(std::string_view typed);

// The completion list after ".": "." + name for every node name, with the
// fixed address words, sorted in byte order and joined by single spaces.
std::string KAddressList(const std::vector<std::string>& nodeNames);
// Names of the nodes the editor's walk reaches from node for the typed
// address (".", ".top." ...) followed by "all". The walk is
// bounded by the engine's address budget; a long typed text is cut.
std::vector<std::string> KAddressNames(Kinterface& engine, Kobject* node, std::string_view typed);

// Colours as RRGGBB numbers.
inline constexpr size_t kSyntaxColorCount = 6;
using KSyntaxColors = std::array<uint32_t, kSyntaxColorCount>;
inline constexpr KSyntaxColors kDefaultSyntaxColors = {0x000000, 0x00AAFF, 0x555555, 0x11AA33, 0xFFAA22, 0xFF22AA};
inline constexpr uint32_t kErrorStyleColor = 0xFF00FF;
// The six entries of the colour file ("name RRGGBB", either case); an entry
// the file lacks or spells wrongly keeps its default; a file that cannot be
// opened gives the defaults.
KSyntaxColors KReadSyntaxColors(const std::string& path);
// The colour of each style 0 .. 10 from the six entries.
inline constexpr int kScriptStyleCount = 11;
uint32_t KStyleColor(const KSyntaxColors& colors, int style);

// Styles of script characters: what the compiler will read there.
enum KScriptStyle : uint8_t {
    kStyleDefault = 0,  // spaces and line ends
    kStyleCommand = 1,  // a known command word, "/", "?", "&"
    kStyleComment = 2,  // a switched-off label and the rest of its line
    kStyleLabel = 3,
    kStyleMessage = 4,
    kStyleAddress = 5,
    kStyleText = 6,     // a line shown as text
    kStyleWord = 7,     // an argument word
    kStyleQuoted = 8,   // a quoted argument
    kStyleNumber = 9,
    kStyleUnknown = 10  // a command word the compiler does not know
};
// Whether typing "#" after a character of this style offers the commands,
// and "." the addresses.
bool KOffersCommands(int style);
bool KOffersAddresses(int style);

// The style of every byte of text, which must start at the start of a line
// that is not inside a quoted text.
std::vector<uint8_t> KScriptStyles(std::string_view text);

struct KScriptError {
    int line = 0;  // 0-based
    std::string message;
};
// The compile errors (and warnings) of text as the node's script, as the
// runner's check lists them; the engine's reporter stays quiet meanwhile.
std::vector<KScriptError> KCheckScript(Kinterface& engine, const std::string& nodeName, std::string_view text);

// 0-based numbers of the lines that a saved world would not give back: one
// beginning with "~pe" ends the script there, one beginning with "~pb" is
// dropped.
std::vector<int> KLinesLostOnSave(std::string_view text);
// The text with those lines indented by one space.
std::string KIndentLinesLostOnSave(std::string_view text);

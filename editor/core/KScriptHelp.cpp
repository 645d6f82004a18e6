#include "KScriptHelp.h"

#include "KAscii.h"
#include "Kcompiler.h"
#include "Kobject.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

constexpr std::string_view kCommandWords =
    "#patch #fadein #fadeout #play #song #stopsong #sound #stopsound #loadsound #light #notify #denotify #collide "
    "#enterable #walk #board #switch #mod #get #become #char #charex #cycle #cyclef #bind #change #put #shoot "
    "#throw #focus #attach #zap #restore #take #give #mul #div #set #clear #rand #try #if #ifex #lock #unlock "
    "#restart #die #end #endgame #load #save #write";

constexpr const char* kSpawnNote = "\n Note: the obj name references to an obj that is on the spawn board";

struct KHelpEntry {
    const char* word;
    std::string help;
};

// The entries in the order the help text keeps them; "#mul" and "#div"
// carry an example, which begins with "#" and so ends their call tip.
std::vector<KHelpEntry> HelpEntries()
{
    const std::string noParams = "<no params>";
    const std::string varNames = "<var name> <var name> <var name>\n ie: ";
    return {
        {"#patch", "<midi instrument> ie: 1"},
        {"#fadein", noParams},
        {"#fadeout", noParams},
        {"#play", "<qel play>\n Must be surrounded by quotes ie: \"--CC\""},
        {"#song", "<filename> <repeat: 0 = once, 1 = repeat"},
        {"#stopsong", noParams},
        {"#sound", "<filename> <channel: 0-7>\n <playmode: once, loop, bidi>"},
        {"#stopsound", "<channel: 0-7>"},
        {"#loadsound", "<filename>"},
        {"#light", "<radius> <ray density>\n <start angle:0-255> <angle width:0-255>"},
        {"#notify", "<var name>"},
        {"#denotify", "<var name>"},
        {"#collide", "<mode: none, normal, water, fly>"},
        {"#enterable", "<mode: yes, no>"},
        {"#walk", "<dir: n, e, w, s, seek, seekv, seekh, i,\n flow, rndns, rndne, rndp, rnd, cw, ccw, opp>"},
        {"#board", "<board name>"},
        {"#switch", "<board name>"},
        {"#mod", "<prop: posx, posy, posz,\n viewx, viewy, vieww, viewh, evieww, eviewh, name> <value>"},
        {"#get", "<prop: posx, posy, posz,\n viewx, viewy, vieww, viewh, name> <var name>"},
        {"#become", "<chr> <fg> <bg> <attrib>"},
        {"#char", "<chr> <fg> <bg> <attrib>"},
        {"#charex", "<x> <y> <chr> <fg> <bg> <attrib>"},
        {"#cycle", "<value: 0-255>"},
        {"#cyclef", "<value: 0-255>"},
        {"#bind", std::string("<obj name>") + kSpawnNote},
        {"#change", "<chr> <fg> <bg> <attrib>\n <chr> <fg> <bg> <attrib>"},
        {"#put", std::string("<dir> [color] <obj name>") + kSpawnNote},
        {"#shoot", "<dir>"},
        {"#throw", std::string("<dir> [color] <obj name>") + kSpawnNote},
        {"#focus", "<obj name>"},
        {"#attach", "<obj name> <x> <y>"},
        {"#zap", "<label name>"},
        {"#restore", "<label name>"},
        {"#take", "<var name> <amount>"},
        {"#give", "<var name> <amount>"},
        {"#mul", varNames + "#mul a b c -> a = b * c"},
        {"#div", varNames + "#div a b c -> a = b / c"},
        {"#set", "<var name> [amount]"},
        {"#clear", "<var name>"},
        {"#rand", "<var name> <range>"},
        {"#try", "<dir>"},
        {"#if", "<qel if>"},
        {"#ifex", "<value> <comparison: < <= > >= == !=> <value>"},
        {"#lock", noParams},
        {"#unlock", noParams},
        {"#restart", noParams},
        {"#die", noParams},
        {"#end", noParams},
        {"#endgame", noParams},
        {"#load", "<filename>"},
        {"#save", "<filename> <list of vars>"},
        {"#write", "<x> <y> <words: Either a \"Word\" or VarName>"},
    };
}

// Splits at single spaces, sorts in byte order and joins again.
std::string SortedWords(std::vector<std::string> words)
{
    std::sort(words.begin(), words.end());
    std::string joined;
    for (const std::string& word : words) {
        if (!joined.empty()) joined += ' ';
        joined += word;
    }
    return joined;
}

std::vector<std::string> SplitWords(std::string_view text)
{
    std::vector<std::string> words;
    std::istringstream in{std::string(text)};
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

constexpr const char* kFixedAddresses[] = {".top", ".all", ".parent", ".inside", ".contained", ".n",
                                           ".e",   ".w",   ".s",      ".mask",   ".self"};

// Typed addresses longer than this cannot name anything useful; the cut
// keeps the walk's parse small.
constexpr size_t kMaxTypedAddress = 256;

bool ParseHexColor(std::string_view text, uint32_t& color)
{
    if (text.size() != 6) return false;
    uint32_t value = 0;
    for (const char c : text) {
        const char lower = KLowerAscii(c);
        int digit = -1;
        if (lower >= '0' && lower <= '9') digit = lower - '0';
        if (lower >= 'a' && lower <= 'f') digit = lower - 'a' + 10;
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    color = value;
    return true;
}

// Which colour entry each style takes; -1: the fixed error colour.
constexpr int kStyleEntries[kScriptStyleCount] = {0, 1, 2, 3, 4, 5, 0, 0, 0, 2, -1};
constexpr bool kStyleOffersCommands[kScriptStyleCount] = {true, true, false, true, true, true,
                                                         false, true, false, true, true};
constexpr bool kStyleOffersAddresses[kScriptStyleCount] = {true, false, false, false, false, true,
                                                          false, true, false, true, false};

// Colours one script the way the compiler reads it: a word or number where
// a statement begins makes the rest of the line text; a switched-off label
// comments out the rest of its line; after a command, words, numbers and
// quoted texts are its arguments.
class KStyler {
public:
    explicit KStyler(std::string_view text) : text_(text), styles_(text.size(), kStyleDefault)
    {
        compiler_.SetSource(text);
    }

    std::vector<uint8_t> Run()
    {
        bool inArguments = false;
        KToken token = compiler_.GetToken();
        while (token.kind != kTokEndOfProgram) {
            KToken next = compiler_.GetToken();
            switch (token.kind) {
            case kTokEndOfLine: inArguments = false; break;
            case kTokCommand:
                Paint(token.start, next.start, KFindCommand(token.text) != nullptr ? kStyleCommand : kStyleUnknown);
                inArguments = true;
                break;
            case kTokLabel:
                if (token.text[0] == '\'') {
                    next = RestOfLine(token.start, kStyleComment);
                } else {
                    Paint(token.start, next.start, kStyleLabel);
                }
                break;
            case kTokMessage: Paint(token.start, next.start, kStyleMessage); break;
            case kTokAddress: Paint(token.start, next.start, kStyleAddress); break;
            default:
                if (!inArguments) {
                    next = RestOfLine(token.start, kStyleText);
                } else if (token.kind == kTokNumber) {
                    Paint(token.start, next.start, kStyleNumber);
                } else {
                    Paint(token.start, next.start, token.text[0] == '"' ? kStyleQuoted : kStyleWord);
                }
                break;
            }
            token = std::move(next);
        }
        return std::move(styles_);
    }

private:
    // Styles from..end, the spaces that end the stretch left plain.
    void Paint(size_t from, size_t end, uint8_t style)
    {
        end = std::min(end, text_.size());
        while (end > from && text_[end - 1] == ' ') --end;
        std::fill(styles_.begin() + static_cast<std::ptrdiff_t>(from), styles_.begin() + static_cast<std::ptrdiff_t>(end),
                  style);
    }

    KToken RestOfLine(size_t from, uint8_t style)
    {
        const KToken rest = compiler_.GetRestOfLine(from);
        Paint(from, from + rest.text.size(), style);
        return compiler_.GetToken();
    }

    std::string_view text_;
    std::vector<uint8_t> styles_;
    Kcompiler compiler_;
};

// Reports go to nobody while alive; the program's sink is put back after.
class KQuietReports {
public:
    explicit KQuietReports(Kinterface& engine) : engine_(engine), saved_(engine.NoticeSink())
    {
        engine_.SetNoticeSink([](KNoticeKind, const std::string&, const std::string&) {});
    }
    ~KQuietReports() { engine_.SetNoticeSink(std::move(saved_)); }
    KQuietReports(const KQuietReports&) = delete;
    KQuietReports& operator=(const KQuietReports&) = delete;

private:
    Kinterface& engine_;
    KNoticeSink saved_;
};

bool StartsLostLine(std::string_view text, size_t at)
{
    return text.substr(at, 3) == "~pe" || text.substr(at, 3) == "~pb";
}

}  // namespace

const std::string& KCommandList()
{
    static const std::string list = SortedWords(SplitWords(kCommandWords));
    return list;
}

const std::string& KHelpText()
{
    static const std::string text = [] {
        std::string joined;
        for (const KHelpEntry& entry : HelpEntries()) joined += std::string(entry.word) + " " + entry.help;
        return joined;
    }();
    return text;
}

std::string GetCommandHelp(std::string_view typed)
{
    if (typed.empty()) return {};
    const std::string wanted = KLowered(typed);
    const std::string& help = KHelpText();
    size_t matched = 0;
    for (size_t at = 0; at < help.size(); ++at) {
        if (help[at] != wanted[matched]) {
            matched = 0;
            continue;
        }
        if (++matched < wanted.size()) continue;
        const size_t end = help.find('#', at + 1);
        return help.substr(at + 1, (end == std::string::npos ? help.size() : end) - (at + 1));
    }
    return {};
}

std::string KAddressList(const std::vector<std::string>& nodeNames)
{
    std::vector<std::string> words;
    for (const std::string& name : nodeNames) words.push_back("." + name);
    for (const char* word : kFixedAddresses) words.emplace_back(word);
    return SortedWords(std::move(words));
}

std::vector<std::string> KAddressNames(Kinterface& engine, Kobject* node, std::string_view typed)
{
    std::vector<std::string> names;
    const int h = engine.AllocHandle(node);
    if (h < 0) return names;
    const std::string address = std::string(typed.substr(0, kMaxTypedAddress)) + "all";
    const int list = engine.Resolve(h, address);
    for (int found = engine.NextInList(list); found >= 0; found = engine.NextInList(list)) {
        // Names with spaces cannot be completed as one word.
        const std::string name = engine.GetName(found);
        if (!name.empty() && name.find(' ') == std::string::npos) names.push_back(name);
    }
    engine.FreeList(list);
    engine.ReleaseHandle(h);
    return names;
}

KSyntaxColors KReadSyntaxColors(const std::string& path)
{
    KSyntaxColors colors = kDefaultSyntaxColors;
    std::ifstream file(path);
    size_t entry = 0;
    // One entry a line, so a bad line spoils only its own colour; blank
    // lines are no entries. Long lines are read only in part.
    for (std::string line; entry < kSyntaxColorCount && std::getline(file, line);) {
        std::istringstream words(line.substr(0, 256));
        std::string name;
        std::string value;
        if (!(words >> name)) continue;
        words >> value;
        ParseHexColor(value, colors[entry++]);
    }
    return colors;
}

uint32_t KStyleColor(const KSyntaxColors& colors, int style)
{
    if (style < 0 || style >= kScriptStyleCount) return colors[0];
    const int entry = kStyleEntries[style];
    return entry < 0 ? kErrorStyleColor : colors[static_cast<size_t>(entry)];
}

bool KOffersCommands(int style) { return style < 0 || style >= kScriptStyleCount || kStyleOffersCommands[style]; }

bool KOffersAddresses(int style)
{
    return style >= 0 && style < kScriptStyleCount && kStyleOffersAddresses[style];
}

std::vector<uint8_t> KScriptStyles(std::string_view text) { return KStyler(text).Run(); }

std::vector<KScriptError> KCheckScript(Kinterface& engine, const std::string& nodeName, std::string_view text)
{
    Kobject node;
    node.name = nodeName;
    node.source.assign(text);
    std::vector<KCompileError> found;
    {
        KQuietReports quiet(engine);
        Kcompiler compiler;
        compiler.CollectErrors(&found);
        compiler.Compile(node);
    }
    std::vector<KScriptError> errors;
    for (KCompileError& error : found) {
        errors.push_back(KScriptError{error.line - 1, (error.warning ? "warning: " : "") + std::move(error.message)});
    }
    return errors;
}

std::vector<int> KLinesLostOnSave(std::string_view text)
{
    std::vector<int> lines;
    int line = 0;
    for (size_t at = 0; at < text.size(); ++line) {
        if (StartsLostLine(text, at)) lines.push_back(line);
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    return lines;
}

std::string KIndentLinesLostOnSave(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t at = 0; at <= text.size();) {
        if (StartsLostLine(text, at)) out += ' ';
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, end + 1 - at));
        at = end + 1;
    }
    return out;
}

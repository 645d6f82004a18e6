#include "KNames.h"

#include <string>
#include <unordered_map>

namespace {

template <typename Entry, size_t N>
int LookUp(const Entry (&table)[N], std::string_view word)
{
    for (const Entry& entry : table) {
        if (entry.word == word) return entry.value;
    }
    return -1;
}

struct KWordValue {
    std::string_view word;
    int value;
};

constexpr KWordValue kDirections[] = {
    {"n", kDirN},         {"s", kDirS},         {"w", kDirW},         {"e", kDirE},
    {"seek", kDirSeek},   {"seekv", kDirSeekV}, {"seekh", kDirSeekH}, {"i", kDirI},
    {"flow", kDirFlow},   {"rndns", kDirRndNS}, {"rndne", kDirRndNE}, {"rndp", kDirRndP},
    {"rnd", kDirRnd},     {"cw", kDirCW},       {"ccw", kDirCCW},     {"opp", kDirOpp},
};

constexpr KWordValue kColours[] = {
    {"dblue", 1},  {"dgreen", 2}, {"dcyan", 3},  {"dred", 4},    {"dpurple", 5}, {"brown", 6},
    {"dyellow", 6}, {"grey", 7},  {"gray", 7},   {"dgrey", 8},   {"dgray", 8},   {"blue", 9},
    {"green", 10}, {"cyan", 11},  {"red", 12},   {"purple", 13}, {"yellow", 14}, {"white", 15},
};
constexpr int kOtherColour = 15;

constexpr KWordValue kCollideModes[] = {
    {"none", kCollideNone}, {"normal", kCollideNormal},   {"fly", kCollideFly},
    {"water", kCollideWater}, {"exclude", kCollideExclude},
};

constexpr KWordValue kEnterable[] = {{"no", 0}, {"yes", 1}};

constexpr KWordValue kModProperties[] = {
    {"posx", kPropPosX},   {"posy", kPropPosY},   {"posz", kPropPosZ},     {"viewx", kPropViewX},
    {"viewy", kPropViewY}, {"vieww", kPropViewW}, {"viewh", kPropViewH},   {"evieww", kPropEViewW},
    {"eviewh", kPropEViewH}, {"name", kPropName},
};

constexpr KWordValue kGetProperties[] = {
    {"posx", kPropPosX},   {"posy", kPropPosY},   {"posz", kPropPosZ}, {"viewx", kPropViewX},
    {"viewy", kPropViewY}, {"vieww", kPropViewW}, {"viewh", kPropViewH}, {"name", kPropName},
    {"char", kPropChar},   {"fg", kPropFg},       {"bg", kPropBg},     {"attrib", kPropAttrib},
};

constexpr KWordValue kConditions[] = {
    {"contact", kCondContact}, {"aligned", kCondAligned}, {"aligndir", kCondAlignDir}, {"blocked", kCondBlocked},
    {"inside", kCondInside},   {"above", kCondAbove},     {"below", kCondBelow},       {"range", kCondRange},
    {"state", kCondState},     {"scope", kCondScope},     {"any", kCondAny},
};

constexpr KWordValue kCompares[] = {
    {"<", kCmpLess},       {">", kCmpGreater},    {"<=", kCmpLessEq},
    {">=", kCmpGreaterEq}, {"==", kCmpEqual},     {"!=", kCmpNotEqual},
};

constexpr std::array<KCommandWord, kCommandWordCount> kCommands = {{
    {"#fadein", kOpFadeIn, KArgForm::None},
    {"#fadeout", kOpFadeOut, KArgForm::None},
    {"#play", kOpPlay, KArgForm::Text1},
    {"#patch", kOpPatch, KArgForm::Patch},
    {"#song", kOpSong, KArgForm::Text2},
    {"#stopsong", kOpStopSong, KArgForm::None},
    {"#sound", kOpSound, KArgForm::Sound},
    {"#stopsound", kOpStopSound, KArgForm::Text1},
    {"#loadsound", kOpLoadSound, KArgForm::Text1},
    {"#light", kOpLight, KArgForm::Text4},
    {"#notify", kOpNotify, KArgForm::Variable},
    {"#denotify", kOpDenotify, KArgForm::Variable},
    {"#collide", kOpCollide, KArgForm::Collide},
    {"#enterable", kOpEnterable, KArgForm::Enterable},
    {"/", kOpMove, KArgForm::Directions},
    {"?", kOpTryMove, KArgForm::Directions},
    {"#walk", kOpWalk, KArgForm::Directions},
    {"#board", kOpBoard, KArgForm::Text1},
    {"#switch", kOpSwitch, KArgForm::Text1},
    {"#mod", kOpMod, KArgForm::Mod},
    {"#get", kOpGet, KArgForm::Get},
    {"#become", kOpBecome, KArgForm::Text4},
    {"#char", kOpChar, KArgForm::Text4},
    {"#charex", kOpCharEx, KArgForm::Text6},
    {"#write", kOpWrite, KArgForm::Write},
    // 25 (marker line) and 26 (text line) have no command word.
    {"#cycle", kOpCycle, KArgForm::Cycle},
    {"#cyclef", kOpCycleF, KArgForm::CycleF},
    {"#bind", kOpBind, KArgForm::Input},
    {"#change", kOpChange, KArgForm::Text8},
    {"#put", kOpPut, KArgForm::PutThrow},
    {"#shoot", kOpShoot, KArgForm::Directions},
    {"#throw", kOpThrow, KArgForm::PutThrow},
    {"#focus", kOpFocus, KArgForm::Variable},
    {"#attach", kOpAttach, KArgForm::Text3},
    {"#zap", kOpZap, KArgForm::Zap},
    {"#restore", kOpRestore, KArgForm::Zap},
    {"#take", kOpTake, KArgForm::VariableValue},
    {"#give", kOpGive, KArgForm::VariableValue},
    {"#set", kOpSet, KArgForm::Set},
    {"#clear", kOpClear, KArgForm::Variable},
    {"#rand", kOpRand, KArgForm::VariableValue},
    {"#div", kOpDiv, KArgForm::VariableThree},
    {"#mul", kOpMul, KArgForm::VariableThree},
    {"#try", kOpTry, KArgForm::TryDirections},
    {"#if", kOpIf, KArgForm::If},
    {"#ifex", kOpIfEx, KArgForm::IfEx},
    // 48 (message) is written "@name".
    {"#lock", kOpLock, KArgForm::None},
    {"#unlock", kOpUnlock, KArgForm::None},
    {"#restart", kOpRestart, KArgForm::None},
    {"#die", kOpDie, KArgForm::None},
    {"#end", kOpEnd, KArgForm::None},
    {"#endgame", kOpEndGame, KArgForm::None},
    {"#load", kOpLoad, KArgForm::Text1},
    {"#save", kOpSave, KArgForm::Save},
    {"&", 0, KArgForm::Repeat},
}};

void AddKeySeries(std::vector<std::string>& names, int first, std::string_view prefix, char from, char to)
{
    int index = first;
    for (char c = from; c <= to; ++c) names[static_cast<size_t>(index++)] = std::string(prefix) + c;
}

void AddNamed(std::vector<std::string>& names, int first, std::initializer_list<std::string_view> words)
{
    int index = first;
    for (const std::string_view word : words) names[static_cast<size_t>(index++)].assign(word);
}

}  // namespace

const std::array<KCommandWord, kCommandWordCount>& KCommandWords() { return kCommands; }

const KCommandWord* KFindCommand(std::string_view text)
{
    static const std::unordered_map<std::string_view, const KCommandWord*> byWord = [] {
        std::unordered_map<std::string_view, const KCommandWord*> map;
        for (const KCommandWord& command : kCommands) map.emplace(command.word, &command);
        return map;
    }();
    const auto found = byWord.find(text);
    return found == byWord.end() ? nullptr : found->second;
}

int KDirectionByteOf(std::string_view lowered) { return LookUp(kDirections, lowered); }

int KColourNumberOf(std::string_view lowered)
{
    const int number = LookUp(kColours, lowered);
    return number < 0 ? kOtherColour : number;
}

std::vector<std::string> KBuildInputNames()
{
    std::vector<std::string> names(kInputNameCount);
    AddKeySeries(names, 1, "key_", 'a', 'z');
    AddKeySeries(names, 27, "key_", '0', '9');
    AddKeySeries(names, 37, "key_pad_", '0', '9');
    for (int f = 1; f <= 12; ++f) names[static_cast<size_t>(46 + f)] = "key_f" + std::to_string(f);
    AddNamed(names, 59,
             {"key_esc", "key_tilde", "key_minus", "key_equals", "key_backspace", "key_tab", "key_openbrace",
              "key_closebrace", "key_enter", "key_colon", "key_quote", "key_backslash", "key_backslash2",
              "key_comma", "key_stop", "key_slash", "key_space", "key_insert", "key_del", "key_home", "key_end",
              "key_pgup", "key_pgdn", "key_left", "key_right", "key_up", "key_down", "key_pad_slash",
              "key_pad_aster", "key_pad_minus", "key_pad_plus", "key_pad_del", "key_pad_enter",
              "key_printscreen", "key_pause"});
    names[101] = "key_colon2";
    AddNamed(names, 103,
             {"key_lshift", "key_rshift", "key_lctrl", "key_rctrl", "key_lalt", "key_ralt", "key_lwin", "key_rwin",
              "key_menu", "key_scrlock", "key_numlock", "key_capslock", "key_sleft", "key_sright", "key_sup",
              "key_sdown", "key_shift", "key_ctrl", "key_alt", "mouse_b1", "mouse_b2", "mouse_b3"});
    for (int j = 0; j < 4; ++j) {
        const std::string stick = "j" + std::to_string(j + 1) + "_";
        const size_t base = static_cast<size_t>(125 + 14 * j);
        names[base + 0] = stick + "up";
        names[base + 1] = stick + "right";
        names[base + 2] = stick + "down";
        names[base + 3] = stick + "left";
        for (int b = 0; b < 10; ++b) names[base + 4 + static_cast<size_t>(b)] = stick + "b" + std::to_string(b);
    }
    return names;
}

std::string_view KSoundModeText(std::string_view lowered)
{
    if (lowered == "loop") return "1 ";
    if (lowered == "bidi") return "2 ";
    return "0 ";  // "once" and every other word
}

int KCollideModeOf(std::string_view lowered) { return LookUp(kCollideModes, lowered); }

int KEnterableOf(std::string_view lowered) { return LookUp(kEnterable, lowered); }

int KModPropertyOf(std::string_view lowered) { return LookUp(kModProperties, lowered); }

int KGetPropertyOf(std::string_view lowered) { return LookUp(kGetProperties, lowered); }

bool KGetPropertyTakesCell(int property) { return property >= kPropChar && property <= kPropAttrib; }

int KConditionOf(std::string_view word)
{
    const int code = LookUp(kConditions, word);
    return code < 0 ? kCondFlag : code;
}

int KCompareOf(std::string_view word) { return LookUp(kCompares, word); }

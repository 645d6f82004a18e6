#include "KNames.h"

#include "KInput.h"

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
    // The engine's input update owns the table of names by slot.
    std::vector<std::string> names(kInputNameCount);
    for (int slot = 0; slot < kInputNameCount; ++slot) names[static_cast<size_t>(slot)] = KInputName(slot);
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

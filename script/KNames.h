#pragma once
// The fixed vocabularies of the script language and the numbers stored for
// them in compiled programs: opcodes, token kinds, direction words, colour
// words, input names and the small keyword sets of single commands. Saved
// games and the executor depend on every number here.

#include "KAscii.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// --- Token kinds --------------------------------------------------------------

enum KTokenKind : int32_t {
    kTokNumber = 1,
    kTokCommand = 2,
    kTokLabel = 3,
    kTokMessage = 4,
    kTokAddress = 5,
    kTokWord = 6,
    kTokQuoted = 7,  // only inside the tokenizer; delivered as kTokWord
    kTokEndOfLine = 8,
    kTokEndOfProgram = 9,
};

// --- Opcodes ------------------------------------------------------------------

enum KOpcode : uint8_t {
    kOpFadeIn = 0,
    kOpFadeOut = 1,
    kOpPlay = 2,
    kOpPatch = 3,
    kOpSong = 4,
    kOpStopSong = 5,
    kOpSound = 6,
    kOpStopSound = 7,
    kOpLoadSound = 8,
    kOpLight = 9,
    kOpNotify = 10,
    kOpDenotify = 11,
    kOpCollide = 12,
    kOpEnterable = 13,
    kOpMove = 14,
    kOpTryMove = 15,
    kOpWalk = 16,
    kOpBoard = 17,
    kOpSwitch = 18,
    kOpMod = 19,
    kOpGet = 20,
    kOpBecome = 21,
    kOpChar = 22,
    kOpCharEx = 23,
    kOpWrite = 24,
    kOpMarker = 25,
    kOpText = 26,
    kOpCycle = 27,
    kOpCycleF = 28,
    kOpBind = 29,
    kOpChange = 30,
    kOpPut = 31,
    kOpShoot = 32,
    kOpThrow = 33,
    kOpFocus = 34,
    kOpAttach = 35,
    kOpZap = 36,
    kOpRestore = 37,
    kOpTake = 38,
    kOpGive = 39,
    kOpSet = 40,
    kOpClear = 41,
    kOpRand = 42,
    kOpDiv = 43,
    kOpMul = 44,
    kOpTry = 45,
    kOpIf = 46,
    kOpIfEx = 47,
    kOpMessage = 48,
    kOpLock = 49,
    kOpUnlock = 50,
    kOpRestart = 51,
    kOpDie = 52,
    kOpEnd = 53,
    kOpEndGame = 54,
    kOpLoad = 55,
    kOpSave = 56,
};
inline constexpr int kOpcodeCount = 57;

// How the compiler reads a command's arguments; one encoder per form.
enum class KArgForm : uint8_t {
    None,         // nothing after the opcode
    Text1,        // T
    Text2,        // T T
    Text3,        // T T T
    Text4,        // T T T T
    Text6,        // six T
    Text8,        // eight T
    Patch,        // B(number mod 256), or "0"
    Sound,        // T T, play mode text
    Variable,     // variable word T ("Bad var type")
    VariableValue,// variable word T, then T
    VariableThree,// variable word T, then T T
    Set,          // variable word T, optional T
    Input,        // input word T ("Bad input type")
    Collide,      // mode byte
    Enterable,    // yes/no byte, always present
    Directions,   // direction list, no end byte
    TryDirections,// direction list, end byte; the next command follows
    PutThrow,     // direction list, end byte, optional colour, object name
    Write,        // T T, then every token to the end of the line
    Cycle,        // number or word T ("Bad #cycle ...")
    CycleF,       // number or word T ("Bad #cyclef ...")
    Mod,          // property byte, value T
    Get,          // property byte, [T T], variable T
    Zap,          // label word T, lowered
    Save,         // T, then T for every following word
    If,           // negation, condition code, condition arguments
    IfEx,         // value T, operator byte, value T
    Repeat,       // the "&" operator
};

struct KCommandWord {
    std::string_view word;  // as the tokenizer delivers it: "#" and the lowered word, or "/", "?", "&"
    uint8_t opcode;         // meaningless for the repeat operator
    KArgForm form;
};

// Every command token the compiler knows, in opcode order, then "&". The
// marker line (25), the text line (26) and the message (48) have no word.
inline constexpr size_t kCommandWordCount = 55;
const std::array<KCommandWord, kCommandWordCount>& KCommandWords();

// The command of a command token's text (exact comparison), or none.
const KCommandWord* KFindCommand(std::string_view text);

// --- Directions ---------------------------------------------------------------

enum KDirectionByte : uint8_t {
    kDirN = 57,
    kDirS = 58,
    kDirW = 59,
    kDirE = 60,
    kDirSeek = 61,
    kDirSeekV = 62,
    kDirSeekH = 63,
    kDirI = 64,
    kDirFlow = 65,
    kDirRndNS = 66,
    kDirRndNE = 67,
    kDirRndP = 68,
    kDirRnd = 69,
    kDirCW = 70,
    kDirCCW = 71,
    kDirOpp = 72,
    kDirListEnd = 73,  // "I": ends a direction list where the command goes on
};

// The byte of a lowered direction word, or -1.
int KDirectionByteOf(std::string_view lowered);

// --- Colours ------------------------------------------------------------------

// The palette number of a lowered colour word; any other word gives 15.
int KColourNumberOf(std::string_view lowered);

// --- Inputs -------------------------------------------------------------------

inline constexpr int kInputNameCount = 181;

// The 181 input names by slot: keys, mouse buttons, joystick directions and
// buttons. Slot 0 and the unnamed slots (94 to 100, 102) hold "".
std::vector<std::string> KBuildInputNames();

// --- Keyword sets -------------------------------------------------------------

// "#sound" play mode text for a lowered word: "0 ", "1 " or "2 ".
std::string_view KSoundModeText(std::string_view lowered);

enum KCollideMode : uint8_t { kCollideNone = 0, kCollideNormal = 1, kCollideFly = 2, kCollideWater = 3, kCollideExclude = 4 };
// The byte of a lowered collide mode word, or -1.
int KCollideModeOf(std::string_view lowered);

// The byte of a lowered "#enterable" word ("no" 0, "yes" 1), or -1.
int KEnterableOf(std::string_view lowered);

enum KProperty : uint8_t {
    kPropPosX = 0,
    kPropPosY = 1,
    kPropPosZ = 2,
    kPropViewX = 3,
    kPropViewY = 4,
    kPropViewW = 5,
    kPropViewH = 6,
    kPropEViewW = 7,
    kPropEViewH = 8,
    kPropName = 9,
    kPropChar = 10,
    kPropFg = 11,
    kPropBg = 12,
    kPropAttrib = 13,
};
// The property byte of a lowered word that "#mod" accepts, or -1.
int KModPropertyOf(std::string_view lowered);
// The property byte of a lowered word that "#get" accepts, or -1.
int KGetPropertyOf(std::string_view lowered);
// "#get" properties that read a cell take its x and y first.
bool KGetPropertyTakesCell(int property);

enum KCondition : uint8_t {
    kCondFlag = 2,
    kCondAligned = 3,
    kCondAlignDir = 4,
    kCondContact = 5,
    kCondBlocked = 6,
    kCondAny = 7,
    kCondInside = 8,
    kCondAbove = 9,
    kCondBelow = 10,
    kCondRange = 11,
    kCondState = 12,
    kCondScope = 13,
};
// The code of an "#if" condition word as written (condition words are
// compared exactly); every other word is a flag name.
int KConditionOf(std::string_view word);

enum KCompare : uint8_t { kCmpLess = 0, kCmpGreater = 1, kCmpLessEq = 2, kCmpGreaterEq = 3, kCmpEqual = 4, kCmpNotEqual = 5 };
// The byte of an "#ifex" operator as written, or -1.
int KCompareOf(std::string_view word);


#pragma once
// The script compiler: a tokenizer over one node's script text and the
// compiler that turns the tokens into the node's program (lines of compiled
// commands, markers and key markers). One compiler serves all nodes in turn.

#include "KNames.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct KToken {
    int32_t kind = kTokEndOfProgram;
    std::string text = "EOP";
    size_t start = 0;  // position of the first character in the source
};

// One compile error as the check tool lists it.
struct KCompileError {
    std::string node;
    int line = 0;  // 1-based line of the script where the offending token stands
    std::string message;
    bool warning = false;  // a likely mistake that still compiles
};

// Compiled programs are bounded, as CopyCost counts them, for each script
// and for a whole world, so that a small file cannot ask for gigabytes: a
// script past the bound is refused with an error naming it and runs nothing.
inline constexpr size_t kMaxProgramBytes = size_t{64} << 20;
inline constexpr size_t kMaxWorldProgramBytes = size_t{256} << 20;

class Kcompiler {
public:
    Kcompiler();

    // --- Tokenizer ---------------------------------------------------------------
    void SetSource(std::string_view text);
    KToken GetToken();
    // Every character from start up to the next CR or LF; the read position
    // is left on that line end.
    KToken GetRestOfLine(size_t start);

    // --- Compiler ----------------------------------------------------------------
    // Compiles the node's script, then every node below it, depth first.
    void Compile(Kobject& node);

    const std::vector<std::string>& InputNames() const { return inputNames_; }
    // Index of the first input-name entry equal to name (the empty name is
    // entry 0), or -1.
    int InputIndexOf(std::string_view name) const;

    // While set, every compile error is also appended to the list (the
    // errors still go to the engine's reporter).
    void CollectErrors(std::vector<KCompileError>* into) { collected_ = into; }
    // Other bounds than kMaxProgramBytes and kMaxWorldProgramBytes.
    void SetProgramBounds(size_t perScript, size_t perWorld)
    {
        programBound_ = perScript;
        worldBound_ = perWorld;
    }

    // Repeats ("&n") in one script may add at most this many bytes of
    // commands (as CopyCost counts them) for the script's size, so a short
    // script cannot ask for unbounded memory.
    static size_t RepeatBudgetFor(size_t scriptBytes);
    static size_t CopyCost(const KCompiledCommand& command);

private:
    // Tokenizer states.
    enum : int32_t { kStart = 0, kInNumber = 1, kInCommand = 2, kInLabel = 3, kInMessage = 4, kInAddress = 5,
                     kInWord = 6, kInQuoted = 7, kDone = 10 };
    void BeginToken(char c);
    void ScanNumber();
    void ScanCommandWord();
    void ScanRun();
    void ScanQuoted();
    void SkipLineEnds();
    void SkipSpaces();

    // Compiling one node.
    void CompileNode(Kobject& node);
    void Next();
    bool AtLineEnd() const;
    void CloseLine();
    void CompileCommand();
    void CompileLabel();
    void CompileMessage();
    void CompileTextLine();
    void CompileRepeat();
    void WarnIfIndentedCommand(const KToken& line);
    void AddMarker(std::string_view labelText, int32_t commandIndex);
    void Error(const char* what, const KToken& token);
    // An error at the given place of the source (the current token's without one).
    void ErrorAtNode(std::string message, size_t position = std::string::npos);
    // Counts what the node's program has grown by; false past the bounds.
    bool CountCompiled();
    void DropProgram(Kobject& node);

    // Argument encoders.
    void EncodeArguments(KArgForm form, std::string& code);
    bool TakeText(std::string& code);
    void TakeTexts(std::string& code, int count);
    void TakeWord(std::string& code, const char* error);
    void TakeValue(std::string& code, const char* error);
    void TakeDirections(std::string& code);
    void EncodePatch(std::string& code);
    void EncodeSound(std::string& code);
    void EncodeKeyword(std::string& code, int (*lookUp)(std::string_view), const char* badWord,
                       const char* badType);
    void EncodeEnterable(std::string& code);
    void EncodePutThrow(std::string& code);
    void EncodeWrite(std::string& code);
    int TakeProperty(std::string& code, int (*lookUp)(std::string_view), const char* error);
    void EncodeMod(std::string& code);
    void EncodeGet(std::string& code);
    void EncodeZap(std::string& code);
    void EncodeSave(std::string& code);
    void EncodeIf(std::string& code);
    void EncodeIfEx(std::string& code);
    void ConsumeUnlessLineEnd();

    int LineAt(size_t position);

    // Scripts of the same text compile to the same program: within one
    // Compile, a node whose script compiled without a message is kept in a
    // small table by a hash of its text (nodes do not change while the tree
    // compiles), and a later node with that text shares its lines and key
    // markers (never changed while playing) and gets a copy of its markers
    // (#zap and #restore change those, per node). The table forgets: a
    // script whose slot another took since compiles in full, as any would.
    struct CompiledScript {
        uint64_t hash = 0;
        const Kobject* node = nullptr;
        size_t bytes = 0;
        uint64_t pass = 0;  // the Compile that kept it
    };
    static constexpr size_t kScriptSlots = 512;
    bool CompileFromCache(Kobject& node);
    void KeepInCache(const Kobject& node, size_t reportedBefore);
    static uint64_t SampleHash(std::string_view text);

    // --- Tokenizer state ---
    std::string source_;
    int32_t state_ = kStart;
    size_t position_ = 0;
    int32_t tokenKind_ = kTokEndOfProgram;
    std::string tokenText_;
    size_t tokenStart_ = 0;

    // --- Vocabulary ---
    std::vector<std::string> inputNames_;
    std::unordered_map<std::string, int> inputIndex_;

    // --- State of the node being compiled ---
    Kobject* node_ = nullptr;
    KToken token_;
    KProgramLine line_;
    std::string pendingAddress_;
    size_t repeatBudget_ = 0;
    size_t programBound_ = kMaxProgramBytes;
    size_t worldBound_ = kMaxWorldProgramBytes;
    size_t nodeBytes_ = 0;
    size_t worldBytes_ = 0;
    size_t countedInLine_ = 0;
    size_t lineCachePosition_ = 0;
    int lineCacheNumber_ = 1;
    std::vector<KCompileError>* collected_ = nullptr;
    size_t reported_ = 0;  // messages reported (errors and warnings) so far
    static constexpr size_t kNoSlot = ~size_t{0};
    std::vector<CompiledScript> compiledScripts_;
    uint64_t pass_ = 0;
    size_t keptSlot_ = kNoSlot;  // where the node being compiled is kept, and its hash
    uint64_t keptHash_ = 0;
};

// Makes the compiler one of the program's parts: the engine root builds it
// (vCompiler) and CompileAll compiles every board's subtree with it.
void KAddCompiler(KParts& parts);

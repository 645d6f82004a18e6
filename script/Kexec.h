#pragma once
// The executor: runs the compiled programs of a board's objects, one turn
// per object per tick, children before parents. It owns the handler table
// (one handler per opcode), the text lines said during a turn and the
// argument evaluator shared by every object.

#include "KEvaluator.h"
#include "KNames.h"
#include "KProgram.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Kinterface;
class Kobject;
struct KCompiledCommand;
struct KVariable;

class Kexec;

// What a handler asks of the executor for the running object.
enum KResult : int {
    kAdvance = 0,
    kRepeat = 1,
    kSkipLine = 2,
    kRestart = 3,
    kEnd = 4,
    kDie = 5,
};

using KHandler = int (*)(Kexec& exec, Kobject& object, KCompiledCommand& command);
using KHandlerTable = std::array<KHandler, kOpcodeCount>;

inline constexpr int kMaxCommandsPerTurn = 256;
// Turns taken at once by "*" messages inside other turns; a deeper chain of
// such messages jumps its receivers without running them.
inline constexpr int kMaxImmediateTurns = 8;
// Units of a tick's work that showing one text line costs.
inline constexpr int64_t kTextLineUnits = 50;
// Markers looked through for one unit of a tick's work.
inline constexpr size_t kMarkersPerUnit = 16;
// Nodes scripts may make in one tick (copies of templates, with their
// children): a chain of spawns that spawn again stops here until the next
// tick, and the game goes on.
inline constexpr int64_t kMaxNodesMadePerTick = 4096;

class Kexec {
public:
    explicit Kexec(Kinterface& engine);
    Kexec(const Kexec&) = delete;
    Kexec& operator=(const Kexec&) = delete;

    // One turn of object and, first, of its whole subtree. 1 when the object
    // is to be removed by its parent.
    int Step(Kobject& object);
    // Runs one command for object or for the objects its target addresses.
    int Dispatch(Kobject& object, KCompiledCommand& command);
    // Jumps object to its first enabled marker of that name; 1 if found.
    int SendMarker(Kobject& object, std::string_view name);

    // Text said by the running object; shown when its turn ends.
    void AddTextLine(std::string text) { pendingText_.push_back(std::move(text)); }
    void ShowPendingText(Kobject& object);

    // Takes a whole turn of receiver now, inside the running turn; false
    // (nothing run) when the receiver is already taking a turn or the chain
    // of such turns is too deep.
    bool RunTurnNow(Kobject& receiver);

    // Argument readers for handlers; each starts where the command's cursor
    // stands and leaves it past the argument and the spaces after it.
    int32_t IntArg(KCompiledCommand& command);
    std::string TextArg(KCompiledCommand& command);
    // A name (variable, label, board, file): one word, or a quoted text;
    // never an expression and never looked up.
    std::string NameArg(KCompiledCommand& command);
    // The same name without a copy: it views the command's code (or, for a
    // quoted name, the executor's scratch text, valid until the next call).
    std::string_view NameView(KCompiledCommand& command);
    bool HasArg(const KCompiledCommand& command) const;
    // The variable of a name read (by NameView) at nameAt, made when there
    // is none.
    KVariable& VariableNamed(KCompiledCommand& command, int32_t nameAt, std::string_view name);

    // The object whose program is running (the innermost, during turns
    // taken at once), or none between turns.
    Kobject* RunningObject() const { return runningObject_; }
    // Whether node is, or holds, an object in the middle of its turn: such a
    // node must not be destroyed until that turn ends.
    bool HoldsTurnTaker(const Kobject& node) const;
    // Erases child from parent unless it holds an object taking its turn;
    // then (or when it is no longer parent's) it is marked dead and its
    // parent erases it in a later turn. True when it is gone.
    bool EraseChild(Kobject& parent, Kobject& child);

    // Takes nodes from this tick's allowance of made nodes; false (nothing
    // taken) when the tick cannot afford them.
    bool MayMakeNodes(int64_t nodes);
    // A program replaced during a tick may still hold the command some
    // turn further up is running: it is kept until the outermost turn ends.
    void RetireProgram(KProgramLines lines);

    Kinterface& Engine() { return engine_; }
    KEvaluator& Evaluator() { return evaluator_; }
    bool IsRunningObject(const Kobject& object) const;
    bool IsTakingTurn(const Kobject* object) const;

    int32_t currentObjectId = 0;
    bool turnEnded = false;

    // Shows several lines (or a lone link or input line) in the scroll
    // window; without one such text is not shown.
    using ScrollWindow = void (*)(Kexec& exec, Kobject& speaker, const std::vector<std::string>& lines);
    ScrollWindow scrollWindow = nullptr;

    const KHandlerTable& Handlers() const { return handlers_; }
    // Puts another handler in place for one opcode of this executor.
    void SetHandler(int opcode, KHandler handler);

private:
    void StepChildren(Kobject& object);
    bool RunProgram(Kobject& object);  // false when the object died
    int RunCommand(Kobject& object, const KProgramLine& line, int32_t index);
    void Advance(Kobject& object);
    void NextLine(Kobject& object);
    void StopProgram(Kobject& object);
    void RunKeyMarkers(Kobject& object);
    void Walk(Kobject& object);
    bool ValidPosition(const Kobject& object) const;
    // The memos of the command being run, when command is that very one.
    KArgMemos* MemosOf(const KCompiledCommand& command) const
    {
        return &command == memoPlace_.command ? memoPlace_.memos : nullptr;
    }
    void RememberWord(KArgMemo& memo, const KCompiledCommand& command, std::string_view word);
    KVariable* MemoVariable(KArgMemo& memo, const KCompiledCommand& command);

    Kinterface& engine_;
    KEvaluator evaluator_;
    KHandlerTable handlers_;
    std::vector<std::string> pendingText_;
    std::string nameScratch_;
    // The command being run in place, its line's memos and its place in the line.
    struct MemoPlace {
        const KCompiledCommand* command = nullptr;
        KArgMemos* memos = nullptr;
        int32_t index = 0;
    };
    MemoPlace memoPlace_;
    std::vector<const Kobject*> inTurn_;
    int immediateTurns_ = 0;
    Kobject* runningObject_ = nullptr;
    int64_t nodesMadeTick_ = -1;
    int64_t nodesMade_ = 0;
    std::vector<KProgramLines> retiredPrograms_;
};

// The runner's executor part: makes the executor and hands it each tick's boards.
struct KParts;
void KAddExecutor(KParts& parts);

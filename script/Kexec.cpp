#include "Kexec.h"

#include "KHandlers.h"
#include "KTextLines.h"
#include "KTextWindow.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

// Marks an object as taking its turn for as long as the guard lives.
class TurnGuard {
public:
    TurnGuard(std::vector<const Kobject*>& inTurn, const Kobject& object) : inTurn_(inTurn)
    {
        inTurn_.push_back(&object);
    }
    ~TurnGuard() { inTurn_.pop_back(); }
    TurnGuard(const TurnGuard&) = delete;
    TurnGuard& operator=(const TurnGuard&) = delete;

private:
    std::vector<const Kobject*>& inTurn_;
};

bool IsSelfTarget(const std::string& target)
{
    return target.size() == 5 && std::string_view(target) == std::string_view(".self", 5);
}

// Names of labels mostly differ in length or first letter: those are
// looked at before the bytes are compared.
bool SameName(const std::string& stored, std::string_view name)
{
    return stored.size() == name.size() &&
           (name.empty() || (stored[0] == name[0] && std::memcmp(stored.data(), name.data(), name.size()) == 0));
}

int Opcode(const KCompiledCommand& command)
{
    return command.code.empty() ? -1 : static_cast<signed char>(command.code[0]);
}

}  // namespace

Kexec::Kexec(Kinterface& engine) : engine_(engine), evaluator_(engine), handlers_(KBuildHandlerTable()) {}

void Kexec::SetHandler(int opcode, KHandler handler)
{
    if (opcode >= 0 && opcode < kOpcodeCount && handler != nullptr) handlers_[static_cast<size_t>(opcode)] = handler;
}

bool Kexec::IsRunningObject(const Kobject& object) const { return object.id == currentObjectId; }

bool Kexec::IsTakingTurn(const Kobject* object) const
{
    return std::find(inTurn_.begin(), inTurn_.end(), object) != inTurn_.end();
}

int Kexec::Step(Kobject& object)
{
    const bool outermost = inTurn_.empty();
    if (outermost) {
        // A board stepped outside the engine's tick is a tick of its own.
        if (!engine_.InTick()) engine_.BeginTick();
        engine_.vDestroyed.clear();
        engine_.vTrackDestroyed = true;
    }
    int result = 0;
    // Once the tick's work is spent, the turns left are put off to the next tick.
    if (!engine_.vWork.Spent()) {
        TurnGuard guard(inTurn_, object);
        StepChildren(object);
        if (object.wait > 0) {
            --object.wait;
        } else {
            object.wait = object.cycle;
            if (object.running != 0 && object.currentLine == -1) object.running = 0;
            if (object.running != 0 && !RunProgram(object)) result = 1;
            if (result == 0) Walk(object);
        }
        if (result == 0) RunKeyMarkers(object);
    }
    if (outermost) {
        engine_.vTrackDestroyed = false;
        engine_.vDestroyed.clear();
        retiredPrograms_.clear();
    }
    return result;
}

bool Kexec::MayMakeNodes(int64_t nodes)
{
    if (nodesMadeTick_ != engine_.vTickCount) {
        nodesMadeTick_ = engine_.vTickCount;
        nodesMade_ = 0;
    }
    if (nodes < 0 || nodesMade_ + nodes > kMaxNodesMadePerTick) return false;
    nodesMade_ += nodes;
    return true;
}

void Kexec::RetireProgram(KProgramLines lines)
{
    // Kept, it keeps its commands where they are in memory.
    if (inTurn_.empty()) return;
    retiredPrograms_.push_back(std::move(lines));
}

bool Kexec::HoldsTurnTaker(const Kobject& node) const
{
    for (const Kobject* taking : inTurn_) {
        if (taking == &node || node.IsAncestorOf(taking)) return true;
    }
    return false;
}

bool Kexec::EraseChild(Kobject& parent, Kobject& child)
{
    // An object in the middle of its turn (or one below it) must outlive
    // that turn: the node stays, marked dead, for a later turn of its parent.
    if (HoldsTurnTaker(child)) {
        child.dead = 1;
        return false;
    }
    if (parent.Erase(&child)) return true;
    // It moved to another parent during its turn: that parent erases it.
    child.dead = 1;
    return false;
}

void Kexec::StepChildren(Kobject& object)
{
    if (object.children.empty()) return;
    // Children run from a snapshot taken before any of them ran, so objects
    // made during the tick wait for the next one. A child destroyed meanwhile
    // (every destruction is recorded by the engine) is never touched again.
    std::vector<Kobject*> snapshot;
    snapshot.reserve(object.children.size());
    for (const auto& child : object.children) snapshot.push_back(child.get());
    std::vector<char> gone(snapshot.size(), 0);
    std::unordered_map<const Kobject*, size_t> where;
    size_t destroyedSeen = engine_.vDestroyed.size();

    for (size_t i = 0; i < snapshot.size() && !engine_.vWork.Spent(); ++i) {
        if (engine_.vDestroyed.size() != destroyedSeen) {
            if (where.empty()) {
                for (size_t j = 0; j < snapshot.size(); ++j) where.emplace(snapshot[j], j);
            }
            for (; destroyedSeen < engine_.vDestroyed.size(); ++destroyedSeen) {
                const auto found = where.find(engine_.vDestroyed[destroyedSeen]);
                if (found != where.end()) gone[found->second] = 1;
            }
        }
        Kobject* child = snapshot[i];
        if (gone[i] != 0 || IsTakingTurn(child) || child->parent != &object) continue;
        if (child->dead != 0) {
            EraseChild(object, *child);
            continue;
        }
        // One turn a tick from its parents, even for a child that moved to
        // another parent that has not had its own turn yet.
        if (child->steppedTick == engine_.vTickCount) continue;
        child->steppedTick = engine_.vTickCount;
        if (Step(*child) == 1 && child->parent != nullptr) EraseChild(*child->parent, *child);
    }
}

bool Kexec::ValidPosition(const Kobject& object) const
{
    if (object.currentLine < 0 || static_cast<size_t>(object.currentLine) >= object.lines.size()) return false;
    const KProgramLine& line = object.lines[static_cast<size_t>(object.currentLine)];
    return object.currentCommand >= 0 && static_cast<size_t>(object.currentCommand) < line.commands.size();
}

void Kexec::StopProgram(Kobject& object)
{
    object.running = 0;
    object.currentLine = 0;
    object.currentCommand = 0;
}

void Kexec::NextLine(Kobject& object)
{
    const size_t next = static_cast<size_t>(object.currentLine) + 1;
    if (object.currentLine < 0 || next >= object.lines.size()) {
        StopProgram(object);
        return;
    }
    object.currentLine = static_cast<int32_t>(next);
    object.currentCommand = 0;
}

void Kexec::Advance(Kobject& object)
{
    if (!ValidPosition(object)) {
        StopProgram(object);
        return;
    }
    const KProgramLine& line = object.lines[static_cast<size_t>(object.currentLine)];
    ++object.currentCommand;
    if (static_cast<size_t>(object.currentCommand) >= line.commands.size()) NextLine(object);
}

bool Kexec::RunProgram(Kobject& object)
{
    turnEnded = false;
    Kobject* const outerRunning = runningObject_;
    runningObject_ = &object;
    for (int count = 0; count < kMaxCommandsPerTurn && object.running != 0 && !turnEnded; ++count) {
        // Past the tick's work the command stays current for the next tick.
        if (!engine_.vWork.Spend(1)) break;
        // Handlers may jump the object or replace its program: the position
        // is looked up afresh for every command.
        if (!ValidPosition(object)) {
            StopProgram(object);
            break;
        }
        const KProgramLine& line = object.lines[static_cast<size_t>(object.currentLine)];
        const int result = RunCommand(object, line, object.currentCommand);
        switch (result) {
        case kAdvance: Advance(object); break;
        case kSkipLine:
            if (ValidPosition(object)) {
                NextLine(object);
            } else {
                StopProgram(object);
            }
            break;
        case kRestart:
            object.currentLine = 0;
            object.currentCommand = 0;
            break;
        case kEnd: StopProgram(object); break;
        case kDie:
            ShowPendingText(object);
            runningObject_ = outerRunning;
            return false;
        default: break;  // repeat: the command stays current
        }
    }
    ShowPendingText(object);
    runningObject_ = outerRunning;
    return true;
}

int Kexec::RunCommand(Kobject& object, const KProgramLine& line, int32_t index)
{
    const KCompiledCommand& stored = line.commands[static_cast<size_t>(index)];
    const int opcode = Opcode(stored);
    if (opcode < 0 || opcode >= kOpcodeCount) return kAdvance;
    // The handler reads the stored command in place; only its read position
    // changes. Programs are shared by copies of a template, and a handler may
    // take a whole turn of another object that runs this same command: each
    // run puts back the position it found, so an outer run reads on where it
    // stood. A handler may also replace the object's program (rebinding):
    // then the old one may be gone and is not written to again.
    auto& command = const_cast<KCompiledCommand&>(stored);
    const void* const program = object.lines.Identity();
    const int32_t outerCursor = command.cursor;
    command.cursor = 0;
    // The argument readers keep what they learn in the line's memos while
    // they read this very command (not a copy made for several targets). A
    // turn taken inside the handler runs commands of its own: the handler
    // then reads on without memos. None are known between commands.
    memoPlace_ = MemoPlace{&command, &const_cast<KProgramLine&>(line).memos, index};
    const int result = Dispatch(object, command);
    memoPlace_ = MemoPlace{};
    if (object.lines.Identity() == program) command.cursor = outerCursor;
    return result;
}

void Kexec::Walk(Kobject& object)
{
    if (object.walkDir == -1) return;
    if (KMoveObject(*this, object, object.walkDir, kMoveNow) == 0) {
        if (SendMarker(object, "thud") != 0) {
            object.running = 1;
            object.wait = 0;
        }
    }
}

void Kexec::RunKeyMarkers(Kobject& object)
{
    if (object.locked != 0 || object.keyMarkers.empty()) return;
    for (size_t k = 0; k < object.keyMarkers.size(); ++k) {
        if ((k & (kMarkersPerUnit - 1)) == kMarkersPerUnit - 1 && !engine_.vWork.Spend(1)) return;
        const KKeyMarker key = object.keyMarkers[k];
        if (key.input < 0 || key.input >= kInputCount) continue;
        if (key.marker < 0 || static_cast<size_t>(key.marker) >= object.markers.size()) continue;
        const uint8_t held = engine_.vInputs[static_cast<size_t>(key.input)];
        if (held == 0) continue;
        if (held > 1 && object.wait != 0 && object.running != 0) continue;
        // Sending reads the markers and changes none of them.
        if (SendMarker(object, object.markers[static_cast<size_t>(key.marker)].name) != 0) {
            object.running = 1;
            object.wait = 0;
        }
    }
}

int Kexec::Dispatch(Kobject& object, KCompiledCommand& command)
{
    currentObjectId = object.id;
    const int opcode = Opcode(command);
    if (opcode < 0 || opcode >= kOpcodeCount) return kAdvance;
    const KHandler handler = handlers_[static_cast<size_t>(opcode)];
    if (IsSelfTarget(command.target)) return handler(*this, object, command);

    const int self = engine_.AllocHandle(&object);
    if (self < 0) return kAdvance;
    const int list = engine_.Resolve(self, command.target);
    int result = kAdvance;
    const int count = engine_.ListCount(list);
    if (count == 1) {
        if (Kobject* target = engine_.NodeOf(engine_.NextInList(list))) result = handler(*this, *target, command);
    } else if (count > 1) {
        // A handler may replace the running object's program, and the
        // command with it: every target gets a copy made beforehand.
        const KCompiledCommand copy = command;
        for (int h = engine_.NextInList(list); h >= 0; h = engine_.NextInList(list)) {
            KCompiledCommand each = copy;
            if (Kobject* target = engine_.NodeOf(h)) handler(*this, *target, each);
        }
    }
    engine_.FreeList(list);
    engine_.ReleaseHandle(self);
    return result;
}

int Kexec::SendMarker(Kobject& object, std::string_view name)
{
    size_t scanned = 0;
    for (const KMarker& marker : object.markers) {
        // Long tables of labels cost the tick their length.
        if ((++scanned & (kMarkersPerUnit - 1)) == 0 && !engine_.vWork.Spend(1)) return 0;
        if (marker.active == 0 || !SameName(marker.name, name)) continue;
        if (marker.line < 0 || static_cast<size_t>(marker.line) >= object.lines.size()) return 0;
        const KProgramLine& line = object.lines[static_cast<size_t>(marker.line)];
        if (marker.command < 0 || static_cast<size_t>(marker.command) >= line.commands.size()) return 0;
        object.currentLine = marker.line;
        object.currentCommand = marker.command;
        if (!SameName(object.lastMarker, name)) object.lastMarker.assign(name);
        return 1;
    }
    return 0;
}

namespace {
enum : int32_t { kIntReader = 0, kVariableReader = 1 };
}

// Numbers and bare words are read once a command: later runs take the
// number, or the variable the word named, from the memo. Anything else
// (quoted, an expression) is read afresh every time.
int32_t Kexec::IntArg(KCompiledCommand& command)
{
    KArgMemos* const memos = MemosOf(command);
    if (memos == nullptr) return evaluator_.GetIntArg(command.code, command.cursor);
    if (KArgMemo* memo = memos->Find(KArgMemo::Key(memoPlace_.index, kIntReader, command.cursor))) {
        command.cursor = memo->next;
        if (memo->names == 0) return memo->value;
        const KVariable* variable = MemoVariable(*memo, command);
        return variable != nullptr ? KVariables::ReadInt(*variable) : memo->value;
    }
    const int32_t start = command.cursor;
    const int32_t value = evaluator_.GetIntArg(command.code, command.cursor);
    const KEvaluator::Form form = evaluator_.LastForm();
    if (form == KEvaluator::kOtherForm) return value;
    KArgMemo* memo = memos->Free();
    if (memo == nullptr) return value;
    memo->key = KArgMemo::Key(memoPlace_.index, kIntReader, start);
    memo->next = command.cursor;
    if (form == KEvaluator::kBareNumber) {
        memo->value = value;
        memo->names = 0;
    } else {
        const std::string_view word = evaluator_.LastBare();
        memo->value = KTextToInt(word);
        RememberWord(*memo, command, word);
    }
    return value;
}

KVariable& Kexec::VariableNamed(KCompiledCommand& command, int32_t nameAt, std::string_view name)
{
    KArgMemos* const memos = MemosOf(command);
    const uint64_t key = KArgMemo::Key(memoPlace_.index, kVariableReader, nameAt);
    KArgMemo* memo = memos != nullptr ? memos->Find(key) : nullptr;
    if (memo != nullptr) {
        if (KVariable* variable = MemoVariable(*memo, command)) return *variable;
    }
    KVariable& variable = engine_.vVariables.FindOrCreate(name);
    const std::string_view code(command.code);
    const bool inCode = name.data() >= code.data() && name.data() + name.size() <= code.data() + code.size();
    if (memo == nullptr && inCode && memos != nullptr) {
        memo = memos->Free();
        if (memo != nullptr) {
            memo->key = key;
        }
    }
    if (memo != nullptr) RememberWord(*memo, command, name);
    return variable;
}

void Kexec::RememberWord(KArgMemo& memo, const KCompiledCommand& command, std::string_view word)
{
    memo.wordAt = static_cast<int32_t>(word.data() - command.code.data());
    memo.wordSize = static_cast<int32_t>(word.size());
    memo.place = engine_.vVariables.PlaceOf(word);
    memo.names = engine_.vVariables.Names();
}

KVariable* Kexec::MemoVariable(KArgMemo& memo, const KCompiledCommand& command)
{
    KVariables& store = engine_.vVariables;
    if (memo.names != store.Names()) {
        // Variables were made or erased since: the word is looked up again.
        const std::string_view word = std::string_view(command.code).substr(static_cast<size_t>(memo.wordAt),
                                                                             static_cast<size_t>(memo.wordSize));
        memo.place = store.PlaceOf(word);
        memo.names = store.Names();
    }
    return memo.place >= 0 ? &store.At(static_cast<size_t>(memo.place)) : nullptr;
}

std::string Kexec::TextArg(KCompiledCommand& command) { return evaluator_.GetStrArg(command.code, command.cursor, 1); }

bool Kexec::HasArg(const KCompiledCommand& command) const
{
    return command.cursor >= 0 && static_cast<size_t>(command.cursor) < command.code.size();
}

std::string_view Kexec::NameView(KCompiledCommand& command)
{
    const std::string& code = command.code;
    size_t at = command.cursor < 0 ? code.size() : static_cast<size_t>(command.cursor);
    if (at < code.size() && code[at] == '"') {
        nameScratch_ = NameArg(command);
        return nameScratch_;
    }
    const size_t start = at;
    while (at < code.size() && code[at] != ' ') ++at;
    const std::string_view name(code.data() + start, at - start);
    while (at < code.size() && code[at] == ' ') ++at;
    command.cursor = static_cast<int32_t>(at);
    return name;
}

std::string Kexec::NameArg(KCompiledCommand& command)
{
    const std::string& code = command.code;
    size_t at = command.cursor < 0 ? code.size() : static_cast<size_t>(command.cursor);
    std::string name;
    if (at < code.size() && code[at] == '"') {
        // Quoted: up to the closing quote; a backslash takes the next character as it is.
        for (++at; at < code.size() && code[at] != '"'; ++at) {
            if (code[at] == '\\' && at + 1 < code.size()) ++at;
            name += code[at];
        }
        if (at < code.size()) ++at;
    } else {
        const size_t start = at;
        while (at < code.size() && code[at] != ' ') ++at;
        name.assign(code, start, at - start);
    }
    while (at < code.size() && code[at] == ' ') ++at;
    command.cursor = static_cast<int32_t>(std::min(at, code.size()));
    return name;
}

bool Kexec::RunTurnNow(Kobject& receiver)
{
    if (IsTakingTurn(&receiver) || immediateTurns_ >= kMaxImmediateTurns || engine_.vWork.ImmediateSpent()) {
        return false;
    }
    // The receiver's turn has its own text lines and turn state; the sender's
    // are put back afterwards.
    std::vector<std::string> senderText;
    senderText.swap(pendingText_);
    const int32_t senderId = currentObjectId;
    const bool senderTurnEnded = turnEnded;
    ++immediateTurns_;
    engine_.vWork.EnterImmediate();
    if (Step(receiver) == 1) receiver.dead = 1;
    engine_.vWork.LeaveImmediate();
    --immediateTurns_;
    turnEnded = senderTurnEnded;
    currentObjectId = senderId;
    pendingText_.swap(senderText);
    return true;
}

void Kexec::ShowPendingText(Kobject& object)
{
    if (pendingText_.empty()) return;
    std::vector<std::string> lines;
    lines.swap(pendingText_);
    // Formatting and placing a line costs about as much as fifty commands.
    size_t bytes = 0;
    for (const std::string& line : lines) bytes += line.size();
    engine_.vWork.Spend(static_cast<int64_t>(lines.size()) * kTextLineUnits);
    engine_.vWork.SpendOnText(bytes);
    if (!KShowAsMessage(engine_, object, lines) && scrollWindow != nullptr) scrollWindow(*this, object, lines);
}

void KAddExecutor(KParts& parts)
{
    parts.makeExec = [](KOwned<Kexec>& out) {
        Kinterface* engine = KEngine();
        if (engine == nullptr) return false;
        out = KOwned<Kexec>(std::make_unique<Kexec>(*engine).release(), [](Kexec* exec) {
            std::default_delete<Kexec>()(exec);
        });
        out->scrollWindow = KShowScrollWindow;
        return true;
    };
    parts.stepBoard = [](Kexec& exec, Kobject& board) { exec.Step(board); };
}

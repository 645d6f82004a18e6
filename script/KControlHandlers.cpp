// Handlers of control flow: markers, messages, jumps, ends, boards, watches.

#include "KHandlers.h"
#include "Kinterface.h"
#include "Kobject.h"

namespace {

// Long tables of labels cost the tick their length.
bool ChargeScan(Kexec& exec, const Kobject& object)
{
    return exec.Engine().vWork.Spend(static_cast<int64_t>(object.markers.size() / kMarkersPerUnit));
}

// The index of the first enabled marker of that name, or -1.
int64_t FirstEnabledMarker(Kexec& exec, const Kobject& object, std::string_view name)
{
    size_t scanned = 0;
    for (size_t at = 0; at < object.markers.size(); ++at) {
        if ((++scanned & (kMarkersPerUnit - 1)) == 0 && !exec.Engine().vWork.Spend(1)) return -1;
        const KMarker& marker = object.markers[at];
        if (marker.name == name && marker.active != 0) return static_cast<int64_t>(at);
    }
    return -1;
}

// The object's own markers to change: markers shared with other copies of
// its template are copied first, at the cost of a scan.
KMarker* OwnMarkers(Kexec& exec, Kobject& object)
{
    if (object.markers.Shared() && !ChargeScan(exec, object)) return nullptr;
    return object.markers.Edit().data();
}

}  // namespace

int KHandleTextLine(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    // The compiler wraps the line in double quotes; the line itself may hold
    // any characters, quotes and operators included.
    std::string_view text(command.code);
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    exec.AddTextLine(std::string(text));
    return kAdvance;
}

int KHandleMessage(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    if (object.locked != 0 && !exec.IsRunningObject(object)) return kAdvance;
    command.cursor = 1;
    std::string_view name = exec.NameView(command);
    const bool immediate = !name.empty() && name.front() == '*';
    if (immediate) name.remove_prefix(1);
    const bool wasRunning = object.running != 0;
    if (exec.SendMarker(object, name) == 0) return kAdvance;
    if (!wasRunning) {
        object.running = 1;
        object.wait = 0;
    }
    if (immediate) exec.RunTurnNow(object);
    return kAdvance;
}

int KHandleZap(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    const int64_t found = FirstEnabledMarker(exec, object, exec.NameArg(command));
    if (found < 0) return kAdvance;
    if (KMarker* markers = OwnMarkers(exec, object)) markers[found].active = 0;
    return kAdvance;
}

int KHandleRestore(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    if (!ChargeScan(exec, object)) return kAdvance;
    // Only a marker that was zapped makes the object's markers its own.
    bool zapped = false;
    for (const KMarker& marker : object.markers) zapped = zapped || (marker.name == name && marker.active == 0);
    if (!zapped) return kAdvance;
    KMarker* markers = OwnMarkers(exec, object);
    if (markers == nullptr) return kAdvance;
    for (size_t at = 0; at < object.markers.size(); ++at) {
        if (markers[at].name == name) markers[at].active = 1;
    }
    return kAdvance;
}

int KHandleLock(Kexec&, Kobject& object, KCompiledCommand&)
{
    object.locked = 1;
    return kAdvance;
}

int KHandleUnlock(Kexec&, Kobject& object, KCompiledCommand&)
{
    object.locked = 0;
    return kAdvance;
}

int KHandleRestart(Kexec& exec, Kobject& object, KCompiledCommand&)
{
    if (exec.IsRunningObject(object)) return kRestart;
    if (!object.lines.empty() && !object.lines[0].commands.empty()) {
        object.currentLine = 0;
        object.currentCommand = 0;
        object.running = 1;
        object.wait = 0;
    }
    return kAdvance;
}

int KHandleEnd(Kexec& exec, Kobject& object, KCompiledCommand&)
{
    if (exec.IsRunningObject(object)) return kEnd;
    object.running = 0;
    return kAdvance;
}

int KHandleDie(Kexec& exec, Kobject& object, KCompiledCommand&)
{
    if (object.parent == nullptr) return kAdvance;
    Kinterface& engine = exec.Engine();
    if (object.name == "player" && engine.vPlayer == &object) engine.vPlayer = nullptr;
    exec.ShowPendingText(object);
    if (exec.IsRunningObject(object)) return kDie;
    object.dead = 1;
    return kAdvance;
}

int KHandleEndgame(Kexec& exec, Kobject&, KCompiledCommand&)
{
    Kinterface& engine = exec.Engine();
    exec.AddTextLine(std::string(kGameOverText));
    engine.vPlay.inputEnabled = 0;
    engine.vInputs.fill(0);
    return kAdvance;
}

int KHandleBoard(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    exec.Engine().SwitchBoard(std::string_view(exec.NameArg(command)));
    return kAdvance;
}

bool KSwitchToBoard(Kinterface& engine, std::string_view boardName)
{
    if (!engine.SwitchBoard(boardName) || engine.vActiveBoard == nullptr) return false;
    engine.vActiveBoard->RestartTree();
    return true;
}

int KHandleSwitch(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    KSwitchToBoard(exec.Engine(), std::string_view(exec.NameArg(command)));
    return kAdvance;
}

int KHandleNotify(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    Kinterface& engine = exec.Engine();
    const std::string name = exec.NameArg(command);
    if (!engine.vVariables.Exists(name)) return kAdvance;
    engine.vPlay.Watch(KWatch{name, engine.vVariables.IsString(name) ? 1 : 0, -object.id});
    return kAdvance;
}

int KHandleDenotify(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    std::vector<KWatch>& watches = exec.Engine().vPlay.watches;
    const std::string name = exec.NameArg(command);
    for (auto watch = watches.begin(); watch != watches.end(); ++watch) {
        if (watch->name == name) {
            watches.erase(watch);
            break;
        }
    }
    return kAdvance;
}

int KHandleIfex(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const int32_t first = exec.IntArg(command);
    int op = -1;
    if (static_cast<size_t>(command.cursor) < command.code.size()) {
        op = static_cast<unsigned char>(command.code[static_cast<size_t>(command.cursor)]);
        ++command.cursor;
    }
    const int32_t second = exec.IntArg(command);
    bool holds = false;
    switch (op) {
    case kCmpLess: holds = first < second; break;
    case kCmpGreater: holds = first > second; break;
    case kCmpLessEq: holds = first <= second; break;
    case kCmpGreaterEq: holds = first >= second; break;
    case kCmpEqual: holds = first == second; break;
    case kCmpNotEqual: holds = first != second; break;
    default: holds = false; break;
    }
    return holds ? kAdvance : kSkipLine;
}

namespace {

// A label's line: the jump target itself does nothing.
int KHandleMarkerLine(Kexec&, Kobject&, KCompiledCommand&) { return kAdvance; }

}  // namespace

void KRegisterControlHandlers(KHandlerTable& table)
{
    table[kOpMarker] = KHandleMarkerLine;
    table[kOpText] = KHandleTextLine;
    table[kOpMessage] = KHandleMessage;
    table[kOpZap] = KHandleZap;
    table[kOpRestore] = KHandleRestore;
    table[kOpLock] = KHandleLock;
    table[kOpUnlock] = KHandleUnlock;
    table[kOpRestart] = KHandleRestart;
    table[kOpEnd] = KHandleEnd;
    table[kOpDie] = KHandleDie;
    table[kOpEndGame] = KHandleEndgame;
    table[kOpBoard] = KHandleBoard;
    table[kOpSwitch] = KHandleSwitch;
    table[kOpNotify] = KHandleNotify;
    table[kOpDenotify] = KHandleDenotify;
    table[kOpIf] = KHandleIf;
    table[kOpIfEx] = KHandleIfex;
}

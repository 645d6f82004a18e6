// The handler table: one handler per opcode. Handlers of commands whose
// behaviour lives elsewhere (movement, spawning, appearance, sound, the
// scroll window) do nothing and advance until they are built.

#include "KHandlers.h"

#include "Kexec.h"
#include "Kinterface.h"
#include "Kobject.h"

namespace {

int DoNothing(Kexec&, Kobject&, KCompiledCommand&) { return kAdvance; }

}  // namespace

const std::array<KHandler, kOpcodeCount>& Kexec::Handlers()
{
    static const std::array<KHandler, kOpcodeCount> kTable = [] {
        std::array<KHandler, kOpcodeCount> table{};
        table.fill(DoNothing);
        table[kOpNotify] = KHandleNotify;
        table[kOpDenotify] = KHandleDenotify;
        table[kOpBoard] = KHandleBoard;
        table[kOpSwitch] = KHandleSwitch;
        table[kOpMarker] = DoNothing;
        table[kOpText] = KHandleTextLine;
        table[kOpZap] = KHandleZap;
        table[kOpRestore] = KHandleRestore;
        table[kOpTake] = KHandleTake;
        table[kOpGive] = KHandleGive;
        table[kOpSet] = KHandleSet;
        table[kOpClear] = KHandleClear;
        table[kOpRand] = KHandleRand;
        table[kOpDiv] = KHandleDiv;
        table[kOpMul] = KHandleMul;
        table[kOpIf] = KHandleIf;
        table[kOpIfEx] = KHandleIfex;
        table[kOpMessage] = KHandleMessage;
        table[kOpLock] = KHandleLock;
        table[kOpUnlock] = KHandleUnlock;
        table[kOpRestart] = KHandleRestart;
        table[kOpDie] = KHandleDie;
        table[kOpEnd] = KHandleEnd;
        table[kOpEndGame] = KHandleEndgame;
        table[kOpLoad] = KHandleLoad;
        table[kOpSave] = KHandleSave;
        return table;
    }();
    return kTable;
}

#pragma once
// Command handlers of the executor, by the opcode they serve.

#include "KNames.h"
#include "Kexec.h"


// Control flow.
int KHandleTextLine(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleMessage(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleZap(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleRestore(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleLock(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleUnlock(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleRestart(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleEnd(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleDie(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleEndgame(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleBoard(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleSwitch(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleNotify(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleDenotify(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleIf(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleIfex(Kexec& exec, Kobject& object, KCompiledCommand& command);

// Variables.
int KHandleSet(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleGive(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleTake(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleClear(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleRand(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleDiv(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleMul(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleSave(Kexec& exec, Kobject& object, KCompiledCommand& command);
int KHandleLoad(Kexec& exec, Kobject& object, KCompiledCommand& command);

// Moves object one cell in direction: mode 0 moves (1 when it moved), mode 1
// tests for the player, mode 2 tests for a block.
int KMoveObject(Kexec& exec, Kobject& object, int direction, int mode);

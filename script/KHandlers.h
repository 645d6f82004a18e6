#pragma once
// Command handlers of the executor, by the opcode they serve.

#include "KNames.h"
#include "Kexec.h"

#include <span>

// Each area of commands puts its handlers into the table, in its own file.
void KRegisterControlHandlers(KHandlerTable& table);
void KRegisterVariableHandlers(KHandlerTable& table);
void KRegisterSoundHandlers(KHandlerTable& table);

void KRegisterMovementHandlers(KHandlerTable& table);
void KRegisterSpawnHandlers(KHandlerTable& table);
void KRegisterAppearanceHandlers(KHandlerTable& table);

// Opcodes whose commands are not built yet: they do nothing and advance.
// Every opcode is either registered by an area or listed here.
std::span<const int> KUnbuiltOpcodes();
// Every command is built: from here on nothing may be left on the unbuilt
// list, so a new opcode must come with its handler.
inline constexpr bool kRunnerComplete = true;

// The table every executor starts from; the opcodes that no area
// registered and that are not listed as unbuilt go into missing.
KHandlerTable KBuildHandlerTable(std::vector<int>* missing = nullptr);


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
// What #switch does: the board named boardName becomes the active board and
// its whole tree starts its scripts afresh. False when no board has that name.
bool KSwitchToBoard(Kinterface& engine, std::string_view boardName);
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

// Moves object one cell in direction (0 north, 1 east, 2 south, 3 west).
// kMoveNow moves it: 1 when it moved, 0 when it was blocked (it is then
// back where it was, in its old parent). kMoveTestPlayer: 1 when the
// stepped window would overlap a sibling named "player" at its depth.
// kMoveTestBlocked: 1 when the move would be blocked. The tests leave the
// object and its parent's cells as they were.
enum KMoveMode : int { kMoveNow = 0, kMoveTestPlayer = 1, kMoveTestBlocked = 2 };
int KMoveObject(Kexec& exec, Kobject& object, int direction, int mode);

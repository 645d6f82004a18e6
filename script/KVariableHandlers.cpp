// Handlers of the variable commands.

#include "KHandlers.h"
#include "KVarArchive.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <cstdint>
#include <limits>

int KHandleSet(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    Kinterface& engine = exec.Engine();
    const std::string name = exec.NameArg(command);
    if (!exec.HasArg(command)) {
        engine.SetVar(name, 1);
    } else {
        engine.SetVarString(name, exec.TextArg(command));
    }
    return kAdvance;
}

int KHandleGive(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string_view name = exec.NameView(command);
    const int32_t amount = exec.IntArg(command);
    KVariables::GiveTo(exec.VariableNamed(command, 1, name), amount);
    return kAdvance;
}

int KHandleTake(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string_view name = exec.NameView(command);
    const int32_t amount = exec.IntArg(command);
    const bool failed = KVariables::TakeFrom(exec.VariableNamed(command, 1, name), amount);
    return failed ? kAdvance : kSkipLine;
}

int KHandleClear(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    exec.Engine().ClearVar(exec.NameArg(command));
    return kAdvance;
}

int KHandleRand(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    Kinterface& engine = exec.Engine();
    const std::string name = exec.NameArg(command);
    const int32_t range = exec.IntArg(command);
    engine.SetVar(name, range < 1 ? 0 : engine.vRandom.Next(range));
    return kAdvance;
}

int KHandleDiv(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    const int64_t dividend = exec.IntArg(command);
    const int64_t divisor = exec.IntArg(command);
    // 64-bit arithmetic: the smallest integer divided by -1 wraps instead of trapping.
    const int64_t quotient = divisor == 0 ? 0 : dividend / divisor;
    exec.Engine().SetVar(name, static_cast<int32_t>(static_cast<uint32_t>(quotient)));
    return kAdvance;
}

int KHandleMul(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    const auto a = static_cast<uint32_t>(exec.IntArg(command));
    const auto b = static_cast<uint32_t>(exec.IntArg(command));
    exec.Engine().SetVar(name, static_cast<int32_t>(a * b));
    return kAdvance;
}

int KHandleSave(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string file = exec.NameArg(command);
    std::vector<std::string> names;
    while (exec.HasArg(command)) names.push_back(exec.NameArg(command));
    KSaveVariables(exec.Engine(), file, names);
    return kAdvance;
}

int KHandleLoad(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    KLoadVariables(exec.Engine(), exec.NameArg(command));
    return kAdvance;
}

void KRegisterVariableHandlers(KHandlerTable& table)
{
    table[kOpSet] = KHandleSet;
    table[kOpGive] = KHandleGive;
    table[kOpTake] = KHandleTake;
    table[kOpClear] = KHandleClear;
    table[kOpRand] = KHandleRand;
    table[kOpDiv] = KHandleDiv;
    table[kOpMul] = KHandleMul;
    table[kOpSave] = KHandleSave;
    table[kOpLoad] = KHandleLoad;
}

// Sound commands: songs, samples and play strings. File names and play
// strings are read as written (never as expressions or variables): a name
// like "boss-theme.ogg" or a tune like "cdefgab+c" would otherwise be
// worked out as arithmetic.

#include "KHandlers.h"

#include "KSoundCalls.h"
#include "Kexec.h"
#include "Kinterface.h"
#include "KProgram.h"

namespace {

int HandleSong(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    const int32_t repeat = exec.IntArg(command);
    KPlaySong(exec.Engine(), name, repeat);
    return kAdvance;
}

int HandleStopSong(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    KStopSong(exec.Engine());
    return kAdvance;
}

int HandleSound(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    const int32_t channel = exec.IntArg(command);
    const int32_t mode = exec.IntArg(command);
    KPlaySound(exec.Engine(), name, channel, mode);
    return kAdvance;
}

int HandleStopSound(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    KStopSound(exec.Engine(), exec.IntArg(command));
    return kAdvance;
}

// A long sample decodes a slice a tick: the command waits, ending the
// object's turn, until it is loaded.
int HandleLoadSound(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    if (KLoadSound(exec.Engine(), exec.NameArg(command))) return kAdvance;
    exec.turnEnded = true;
    return kRepeat;
}

// The tune belongs to the object whose script plays it, even when the
// command addresses another object.
int HandlePlay(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string tune = exec.NameArg(command);
    Kinterface& engine = exec.Engine();
    Kobject* running = exec.RunningObject();
    const int handle = engine.AllocHandle(running != nullptr ? running : &object);
    KQueuePlay(engine, tune, handle);
    if (handle >= 0) engine.ReleaseHandle(handle);
    return kAdvance;
}

// The instrument is the raw byte after the opcode, a signed 8-bit number.
int HandlePatch(Kexec& exec, Kobject&, KCompiledCommand& command)
{
    command.cursor = 1;
    const int32_t program = command.code.size() > 1 ? static_cast<int8_t>(command.code[1]) : 0;
    KSetPatch(exec.Engine(), program);
    return kAdvance;
}

}  // namespace

void KRegisterSoundHandlers(KHandlerTable& table)
{
    table[kOpPlay] = HandlePlay;
    table[kOpPatch] = HandlePatch;
    table[kOpSong] = HandleSong;
    table[kOpStopSong] = HandleStopSong;
    table[kOpSound] = HandleSound;
    table[kOpStopSound] = HandleStopSound;
    table[kOpLoadSound] = HandleLoadSound;
}

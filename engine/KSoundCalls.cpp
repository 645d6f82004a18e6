#include "KSoundCalls.h"

#include "Kinterface.h"

namespace {

// The box and its calls, or none.
const KSoundCalls* Calls(Kinterface& engine)
{
    const KSoundCalls* calls = engine.Parts().sound;
    return engine.vSoundBox && calls != nullptr ? calls : nullptr;
}

bool Charge(Kinterface& engine, const KSoundWork& work)
{
    engine.vWork.Spend(work.lookups * kPathLookupUnits + work.bytes / kSoundBytesPerUnit + 1);
    return work.done;
}

}  // namespace

void KPlaySong(Kinterface& engine, std::string_view name, int32_t repeat)
{
    if (const KSoundCalls* calls = Calls(engine)) Charge(engine, calls->playSong(*engine.vSoundBox, name, repeat));
}

void KStopSong(Kinterface& engine)
{
    if (const KSoundCalls* calls = Calls(engine)) calls->stopSong(*engine.vSoundBox);
}

bool KLoadSound(Kinterface& engine, std::string_view name)
{
    const KSoundCalls* calls = Calls(engine);
    return calls == nullptr || Charge(engine, calls->loadSound(*engine.vSoundBox, name));
}

void KPlaySound(Kinterface& engine, std::string_view name, int32_t channel, int32_t mode)
{
    if (const KSoundCalls* calls = Calls(engine)) calls->playSound(*engine.vSoundBox, name, channel, mode);
}

void KStopSound(Kinterface& engine, int32_t channel)
{
    if (const KSoundCalls* calls = Calls(engine)) calls->stopSound(*engine.vSoundBox, channel);
}

void KSetPatch(Kinterface& engine, int32_t program)
{
    if (const KSoundCalls* calls = Calls(engine)) calls->setPatch(*engine.vSoundBox, program);
}

void KQueuePlay(Kinterface& engine, std::string_view text, int owner)
{
    const KSoundCalls* calls = Calls(engine);
    if (calls == nullptr || owner < 0 || owner >= kHandleCount) return;
    const Kobject* node = engine.NodeOf(owner);
    if (node != nullptr) calls->queuePlay(*engine.vSoundBox, text, node->name);
}

std::string KSaveSoundState(Kinterface& engine)
{
    const KSoundCalls* calls = Calls(engine);
    return calls != nullptr && calls->saveState != nullptr ? calls->saveState(*engine.vSoundBox) : std::string();
}

void KLoadSoundState(Kinterface& engine, std::string_view text)
{
    const KSoundCalls* calls = Calls(engine);
    if (calls != nullptr && calls->loadState != nullptr) calls->loadState(*engine.vSoundBox, text);
}

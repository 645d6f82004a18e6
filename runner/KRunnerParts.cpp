#include "KRunnerParts.h"

#include "KSoundBox.h"
#include "Kcompiler.h"
#include "Kexec.h"

#include <memory>

namespace {

void DestroySoundBox(KSoundBox* box) { std::unique_ptr<KSoundBox> owned(box); }

bool MakeSoundBox(KOwned<KSoundBox>& out)
{
    out = KOwned<KSoundBox>(std::make_unique<KSoundBox>().release(), DestroySoundBox);
    return out != nullptr;
}

void ForgetSamples(KSoundBox& box) { box.ForgetSamples(); }

KSoundWork PlaySong(KSoundBox& box, std::string_view name, int32_t repeat) { return box.PlaySong(name, repeat); }
void StopSong(KSoundBox& box) { box.StopSong(); }
KSoundWork LoadSound(KSoundBox& box, std::string_view name) { return box.LoadSound(name); }
void PlaySound(KSoundBox& box, std::string_view name, int32_t channel, int32_t mode)
{
    box.PlaySound(name, channel, mode);
}
void StopSound(KSoundBox& box, int32_t channel) { box.StopSound(channel); }
void SetPatch(KSoundBox& box, int32_t program) { box.SetPatch(program); }
void QueuePlay(KSoundBox& box, std::string_view text, std::string_view owner) { box.QueuePlay(text, owner); }

std::string SaveState(const KSoundBox& box) { return box.SaveState(); }
void LoadState(KSoundBox& box, std::string_view text) { box.LoadState(text); }

constexpr KSoundCalls kSoundCalls = {PlaySong, StopSong,  LoadSound, PlaySound, StopSound,
                                     SetPatch, QueuePlay, SaveState, LoadState};

}  // namespace

KParts KRunnerParts()
{
    KParts parts;
    parts.flavour = KFlavour::Runner;
    parts.makeSoundBox = MakeSoundBox;
    parts.forgetSamples = ForgetSamples;
    parts.sound = &kSoundCalls;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return parts;
}

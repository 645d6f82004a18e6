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

}  // namespace

KParts KRunnerParts()
{
    KParts parts;
    parts.flavour = KFlavour::Runner;
    parts.makeSoundBox = MakeSoundBox;
    parts.forgetSamples = ForgetSamples;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return parts;
}

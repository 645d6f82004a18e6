// The engine root's side of the modal host and the shown palette.

#include "KModalHost.h"

#include "KInput.h"
#include "Kinterface.h"

#include <allegro.h>

void Kinterface::ApplyPalette()
{
    if (vFont) ShowPalette(vFont->palette);
}

void Kinterface::ShowPalette(const KPalette& palette)
{
    static_assert(sizeof(KRGB) == sizeof(RGB) && sizeof(KPalette) == sizeof(PALETTE));
    vShownPalette = palette;
    if (vHost.showPalette != nullptr) {
        vHost.showPalette(vHost.context, palette);
    } else if (gfx_driver != nullptr) {
        set_palette(reinterpret_cast<const RGB*>(palette.data()));
    }
}

KModalPass Kinterface::RunModalPass()
{
    if (vHost.runPass == nullptr) return KModalPass::NoHost;
    return vHost.runPass(vHost.context);
}

int Kinterface::NextTypedChar()
{
    if (vHost.nextTypedChar == nullptr) return -1;
    return vHost.nextTypedChar(vHost.context);
}

bool Kinterface::CloseRequested()
{
    if (vHost.closeRequested == nullptr) return true;
    return vHost.closeRequested(vHost.context);
}

bool Kinterface::WaitForRelease(int libraryKey)
{
    if (libraryKey < 0 || libraryKey >= KEY_MAX) return true;
    // A press shorter than a frame counts as held for that frame: one more
    // frame takes the keys afresh.
    while (key[libraryKey] != 0 || KFrameKeyDown(libraryKey)) {
        if (RunModalPass() != KModalPass::Ran) return false;
    }
    return true;
}

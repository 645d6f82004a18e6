// The lock keys' lights, read from the X server when there is one. Apart
// from the rest of the editor because X11's headers define words Qt uses.

#include "CMainFrame.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace {

bool IndicatorOn(Display* display, const char* name)
{
    Bool on = False;
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) return false;
    return XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) == True && on == True;
}

}  // namespace

KLockKeys KReadLockKeys()
{
    KLockKeys keys;
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) return keys;
    keys.caps = IndicatorOn(display, "Caps Lock");
    keys.num = IndicatorOn(display, "Num Lock");
    keys.scroll = IndicatorOn(display, "Scroll Lock");
    return keys;
}

#pragma once
// The appearance commands' pieces that tests and benchmarks drive directly:
// geometry changes, lights on the dark board and palette fades.

#include "Kexec.h"
#include "Kfont.h"

#include <cstdint>

class Kinterface;
class Kobject;

// Rays of one light: the library's tables hold this many angles.
inline constexpr int64_t kLightAngles = 512;
// A fade runs kFadeSteps / kFadeSpeed frames (speed 4 of the library's
// scale, where 64 is instant), each a pass of the modal loop.
inline constexpr int kFadeSteps = 64;
inline constexpr int kFadeSpeed = 4;
// Fade frames one tick may show (four whole fades); past them, and once
// the player has pressed Escape during a fade, fades end at once, so a
// script fading in a loop neither holds one tick for ever nor keeps the
// menu shut.
inline constexpr int kMaxFadeFramesPerTick = 4 * kFadeSteps / kFadeSpeed;

// Sets one geometry property of object (posx .. eviewh) to value, keeping
// its parent's order and grid right; view sizes past the side bound leave
// everything as it was.
void KModProperty(Kinterface& engine, Kobject& object, int property, int64_t value);

// Casts rays from object's centre over its parent's grid onto the dark
// board's targets (radius in steps; angle and width in 256ths of a circle,
// 0 south, 64 east). Returns the cells lit (a cell lit twice counts twice).
int KCastLight(Kinterface& engine, const Kobject& object, int64_t radius, int64_t rays, int32_t angle, int32_t width);

// Shows from, then frames towards to, then to; one modal pass a frame.
// Nothing happens when to is shown already.
void KFadePalette(Kinterface& engine, const KPalette& from, const KPalette& to);

#pragma once
// Copies of the "Spawn" board's templates made at run time, and the pieces
// of the spawning commands that tests and benchmarks drive directly.

#include "Kexec.h"

#include <cstdint>
#include <string_view>

class Kinterface;
class Kobject;

// The first node of that name on the spawn board (pre-order), or none.
Kobject* KFindTemplate(Kinterface& engine, std::string_view name);

// A running copy of templ with its children, linked under parent by depth:
// owned by templ, cells recoloured unless foreground is -1. None (nothing
// made) without room in the world's bounds or the tick's allowance.
Kobject* KCopyTemplate(Kexec& exec, Kobject& parent, const Kobject& templ, int foreground);

// A copy of the template name beside spawner (one cell in putDirection),
// walking in walkDirection (and named "bullet" when it walks); its first
// turn runs at once, owned by the spawner so it cannot hit it.
void KSpawnProjectile(Kexec& exec, Kobject& spawner, std::string_view name, int putDirection, int walkDirection,
                      int foreground);

// Scrolls object's view so found (in its subtree) is centred, kept inside
// object's grid.
void KFocusOn(Kobject& object, const Kobject& found);

// Paints values (chr, fg, bg, attrib; all -1: object's own picture) into
// parent under object's window and moves object's children that touch the
// window to parent; the others are erased.
void KDissolve(Kexec& exec, Kobject& object, Kobject& parent, const int32_t values[4]);

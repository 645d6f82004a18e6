#pragma once
// Object addressing: an address is a dotted path (".self", ".parent.door",
// ".all.lamp", ".n") walked from a node; every node it reaches goes into a
// handle list, in the order reached. Paths branch, so the walk is bounded:
// it stops after about a million steps of work (node visits, window
// tests, cell comparisons), and at the first node that gets no handle.

#include "Kinterface.h"

#include <cstddef>
#include <string_view>

// Work one resolution may do before the walk stops.
inline constexpr size_t kAddressWorkBudget = size_t{1} << 20;

// Resolve with the walk of the given program: the runner knows every segment
// word, lowers names and tests windows; the editor knows "top", "all" and
// "parent", matches names exactly and traces the list it starts.
int KResolveAddress(Kinterface& engine, KFlavour walk, int h, std::string_view address);

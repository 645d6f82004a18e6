#pragma once
// What every fuzzing target shares: one engine root made on first use, with
// the output folder as current directory (for Library/default.dat) and its
// reports swallowed.

#include "Kinterface.h"

Kinterface& FuzzEngine(KFlavour flavour = KFlavour::Runner);
// The same with the program's parts (the parts of the first call win).
Kinterface& FuzzEngine(const KParts& parts);

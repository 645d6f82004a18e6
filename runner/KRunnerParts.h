#pragma once
// The runner's own parts of the engine root.

#include "Kinterface.h"

// The runner flavour with its sound box. The script compiler and executor
// join here when they exist.
KParts KRunnerParts();

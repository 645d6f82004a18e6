#pragma once
// Shared start-up of the benchmark programs: the game library without a
// system driver and the output folder as current directory (for Library/).

#include "Kinterface.h"

#include <memory>

// Starts the library once; every benchmark program calls this first.
void BenchStart();

// A fresh engine root of the given flavour whose reports are swallowed.
std::unique_ptr<Kinterface> BenchEngine(const KParts& parts = {});

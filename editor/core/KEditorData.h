#pragma once
// The datafile the editor holds from start-up to exit.

#include "Kinterface.h"

#include <allegro.h>

#include <memory>

struct KDatafileRelease {
    void operator()(DATAFILE* data) const { unload_datafile(data); }
};
using KDatafilePtr = std::unique_ptr<DATAFILE, KDatafileRelease>;

// Loads "Library/default.dat"; when it cannot be loaded the engine reports
// "Unable to load default.dat" and start-up goes on without it.
KDatafilePtr KLoadEditorDatafile(Kinterface& engine);

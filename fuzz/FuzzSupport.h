#pragma once
// What every fuzzing target shares: one engine root made on first use, with
// the output folder as current directory (for Library/default.dat) and its
// reports swallowed; the checks that end a run; and the mutator that gets
// changes past an archive's checksums.

#include "KLimits.h"
#include "Kinterface.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

Kinterface& FuzzEngine(KFlavour flavour = KFlavour::Runner);
// The same with the program's parts (the parts of the first call win).
Kinterface& FuzzEngine(const KParts& parts);

// Aborts, naming what failed, when holds is false: the fuzzer keeps the input.
void FuzzRequire(bool holds, const char* what = "a check failed");

// A node made under parent (boards under the root, kept in depth order) at
// (x, y) with depth z and the script.
Kobject* FuzzAddNode(Kinterface& engine, Kobject& parent, const std::string& name, int w, int h, int x = 0, int y = 0,
                     int z = 0, std::string_view script = {});

// Bounds small enough that a run stays quick, large enough for real worlds.
KWorldLimits FuzzWorldLimits();
int64_t FuzzCountNodes(const Kobject& node);

// The fuzzer's byte mutator: (data, size, maxSize) -> new size.
using FuzzMutator = size_t (*)(uint8_t*, size_t, size_t);
// The name of the entry to rewrite among an archive's names; "" for none.
using FuzzEntryChooser = std::function<std::string(const std::vector<std::string>&)>;

// The archive with the chosen entry's content run through mutate and packed
// again with every other entry, written over data: its new size, or 0 when
// the archive cannot be read, no entry is chosen or the result exceeds maxSize.
size_t FuzzRewriteZipEntry(const std::string& archive, const FuzzEntryChooser& choose, FuzzMutator mutate,
                           uint8_t* data, size_t maxSize);

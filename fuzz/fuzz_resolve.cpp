// Any address against a fixed small tree, from several nodes and with both
// walks: the walk must end, and freeing the list must give back every
// handle it took.

#include "FuzzSupport.h"
#include "KAddress.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

Kobject* Add(Kinterface& engine, Kobject& parent, const char* name, int w, int h, int x, int y, int z)
{
    Kobject* node = FuzzAddNode(engine, parent, name, w, h, x, y, z);
    for (int i = 0; i < w * h; i += 2) node->SetCell(i % w, i / w, 1, 0, 0, 0);
    return node;
}

// Handles of the nodes the addresses are resolved from.
const std::vector<int>& Origins(Kinterface& engine)
{
    static std::vector<int> origins;
    if (!origins.empty()) return origins;
    Kobject& root = *engine.vMain;
    Kobject* start = Add(engine, root, "Start", 20, 10, 0, 0, 0);
    Kobject* door = Add(engine, *start, "Door", 2, 2, 2, 2, 3);
    Add(engine, *start, "lamp", 1, 1, 4, 2, 2);
    Kobject* player = Add(engine, *start, "player", 1, 1, 3, 3, 1);
    Add(engine, *start, "rug", 5, 5, 1, 1, 0);
    Kobject* box = Add(engine, *door, "box", 1, 1, 0, 0, 0);
    Add(engine, *box, "knob", 1, 1, 0, 0, 0);
    Add(engine, *box, "Knob", 1, 1, 0, 0, 0);
    Kobject* other = Add(engine, root, "Other", 8, 8, 0, 0, 1);
    for (int i = 0; i < 6; ++i) Add(engine, *other, "n", 1, 1, i, i, i);
    for (Kobject* node : {engine.vMain.get(), start, door, player, box, other}) {
        origins.push_back(engine.AllocHandle(node));
    }
    return origins;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine();
    const std::vector<int>& origins = Origins(engine);
    const int handlesBefore = engine.HandlesInUse();
    const std::string_view address(reinterpret_cast<const char*>(data), size);
    for (const KFlavour walk : {KFlavour::Runner, KFlavour::Editor}) {
        for (const int origin : origins) {
            const int list = KResolveAddress(engine, walk, origin, address);
            FuzzRequire(list >= -1 && list < kListCount);
            if (list < 0) continue;
            FuzzRequire(engine.ListCount(list) >= 0);
            while (engine.NextInList(list) >= 0) {
            }
            engine.FreeList(list);
        }
    }
    FuzzRequire(engine.HandlesInUse() == handlesBefore);
    FuzzRequire(engine.ListsInUse() == 0);
    return 0;
}

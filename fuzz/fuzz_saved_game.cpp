// Any bytes as a saved game (.qsg) loaded over a small world in play, with
// the runner's parts (its sound box without output among them): no
// crash, hang or leak; a refused load leaves the world exactly as it was,
// and a game that loads plays a few ticks within the bounds of loading.

#include "FuzzSupport.h"
#include "KRunnerParts.h"
#include "KSavedGame.h"
#include "KTreeDump.h"
#include "KZip.h"
#include "Kobject.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

constexpr int kTicks = 5;
constexpr const char* kWorldPath = "/nonexistent-quav-fuzz/castle.zqav";
constexpr const char* kSlotPath = "/nonexistent-quav-fuzz/castle.3.qsg";

// The world in play: a board with a player and a scripted object, the
// spawn board with the objects that run after a save and a load, and a
// dark board.
void BuildWorld(Kinterface& engine)
{
    engine.vMain->ClearChildren();
    engine.vNextId = 1;
    engine.vWorldPath = kWorldPath;
    Kobject& root = *engine.vMain;
    Kobject* main = FuzzAddNode(engine, root, "Main", 20, 12);
    FuzzAddNode(engine, *main, "player", 1, 1, 0, 0, 0, ":key_up\n/n\n#end\n:touch\n#give hits 1\n#end");
    Kobject* guard = FuzzAddNode(engine, *main, "guard", 2, 1, 0, 0, 0, "#set seen 1\n:loop\n#give t 1\n@loop\n:shot\n#die");
    FuzzAddNode(engine, *guard, "eye", 1, 1, 0, 0, 0, "#end\n:go\n#set go 1\n#end");
    Kobject* spawn = FuzzAddNode(engine, root, "Spawn", 4, 4);
    FuzzAddNode(engine, *spawn, "save", 1, 1, 0, 0, 0, "#give saves 1\n#end");
    FuzzAddNode(engine, *spawn, "load", 1, 1, 0, 0, 0, "#give loads 1\n#end");
    FuzzAddNode(engine, root, "Dark", 20, 12);
    engine.vVariables.EraseAll();
    engine.CompileAll();
    engine.FindSpecialBoards();
    engine.ChooseActiveBoard();
    engine.vPlay.Reset();
    engine.SetVar("health", 100);
    engine.SetVarString("note", "two\nlines");
}

std::string Fingerprint(Kinterface& engine)
{
    std::string print = KTreeJson(*engine.vMain, true);
    for (const KVariable& variable : engine.vVariables.All()) {
        print += variable.name + "=" + KVariables::StringOf(variable) + "\n";
    }
    print += std::to_string(engine.vNextId) + " " + std::to_string(engine.vPlay.inputEnabled) + " ";
    print += engine.vActiveBoard != nullptr ? engine.vActiveBoard->name : "~none";
    print += engine.vPlayer != nullptr ? engine.vPlayer->name : "~none";
    return print;
}

int32_t HighestId(const Kobject& node)
{
    int32_t highest = node.id;
    for (const auto& child : node.children) highest = std::max(highest, HighestId(*child));
    return highest;
}

Kinterface& Engine()
{
    Kinterface& engine = FuzzEngine(KRunnerParts());
    static bool built = false;
    if (!built) {
        engine.vWork.SetCapacity(kTickWorkUnits / 10, kImmediateWorkUnits / 10);
        BuildWorld(engine);
        built = true;
    }
    return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = Engine();
    const KWorldLimits limits = FuzzWorldLimits();
    const std::string before = Fingerprint(engine);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const KLoadGame result = KLoadGameBytes(engine, std::move(bytes), kSlotPath, limits);
    if (result != KLoadGame::Loaded) {
        FuzzRequire(Fingerprint(engine) == before, "a refused load changed the game");
        return 0;
    }
    FuzzRequire(engine.vNextId > HighestId(*engine.vMain), "a restored id is not below the next id");
    FuzzRequire(FuzzCountNodes(*engine.vMain) <= limits.maxNodes + 1, "the world grew past the nodes a file may hold");
    for (int tick = 0; tick < kTicks; ++tick) {
        engine.Tick();
        FuzzRequire(engine.vWork.Left() >= 0, "a tick spent more than its budget");
    }
    BuildWorld(engine);
    return 0;
}

#ifdef QUAV_LIBFUZZER
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A good saved game of the world in play, to start from when the input is
// not an archive at all.
const std::string& GoodGame()
{
    static const std::string game = [] {
        Kinterface& engine = Engine();
        const std::string path = "/tmp/quav-fuzz-saved-" + std::to_string(getpid()) + ".qsg";
        KSaveGameFile(engine, path);
        std::string bytes = ReadAll(path);
        unlink(path.c_str());
        BuildWorld(engine);
        return bytes;
    }();
    return game;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    // One mutation in eight stays on the raw bytes, so the zip reader's
    // refusals keep being tried too.
    if (seed % 8 != 0) {
        // One entry's text mutated and packed again with the others: an
        // archive's checksums refuse nearly every byte-level change, so
        // without this few mutations would get past the zip reader. Input
        // that is no archive starts from a good game.
        std::string archive(reinterpret_cast<const char*>(data), size);
        KZipReader reader;
        std::string error;
        if (!reader.OpenMemory(archive, error)) archive = GoodGame();
        const auto choose = [seed](const std::vector<std::string>& names) {
            return names.empty() ? std::string() : names[(seed / 8) % names.size()];
        };
        const size_t newSize = FuzzRewriteZipEntry(archive, choose, LLVMFuzzerMutate, data, maxSize);
        if (newSize != 0) return newSize;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
#endif

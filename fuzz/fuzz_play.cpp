// Any bytes as a world file, loaded by the runner's loader and played for
// 30 ticks the way the runner starts and ticks a game: no crash, hang or
// leak, no tick past its budget, and the lists a tick grows stay bounded.
// The mutator also writes spawning and light commands with extreme
// arguments into the world's scripts.

#include "FuzzSupport.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "Kcompiler.h"
#include "Kexec.h"
#include "Kobject.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kTicks = 30;
// A tenth of the runner's budget: the same bound, reached in a tenth of the
// time, so the fuzzer tries ten times as many worlds.
constexpr int64_t kFuzzTickUnits = kTickWorkUnits / 10;
constexpr int64_t kFuzzImmediateUnits = kImmediateWorkUnits / 10;

KParts PlayParts()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return parts;
}

// What the runner does between loading a world and its first tick.
void StartPlay(Kinterface& engine)
{
    // Files a script saves or loads would go beside the world: a folder that
    // does not exist, so the fuzzer writes nothing.
    engine.vWorldPath = "/nonexistent-quav-fuzz/world.zqav";
    engine.vVariables.EraseAll();
    engine.CompileAll();
    engine.ChooseActiveBoard();
    engine.vPlay.Reset();
    engine.SetVar("health", 100);
    engine.SetVar("write_f", 15);
    engine.SetVar("write_b", 255);
}

void PlayTick(Kinterface& engine, int tick)
{
    engine.vPlay.RunDownTimers();
    engine.vPlay.CheckWatches(engine.vVariables);
    engine.vInputs[static_cast<size_t>(tick * 7 % kInputCount)] = static_cast<uint8_t>(tick % 3);
    engine.Tick();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine(PlayParts());
    engine.vWork.SetCapacity(kFuzzTickUnits, kFuzzImmediateUnits);
    engine.vInputs.fill(0);
    const KWorldLimits limits = FuzzWorldLimits();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!LoadWorldFromMemory(engine, std::move(bytes), "/nonexistent-quav-fuzz/world.zqav", limits)) return 0;
    StartPlay(engine);
    for (int tick = 0; tick < kTicks; ++tick) {
        PlayTick(engine, tick);
        FuzzRequire(engine.vWork.Left() >= 0, "a tick spent more than its budget");
        FuzzRequire(FuzzCountNodes(*engine.vMain) <= limits.maxNodes + 1, "the world grew past the nodes a file may hold");
        FuzzRequire(engine.vPlay.messages.size() <= kMaxMessages, "the message list grew past its bound");
        FuzzRequire(engine.vPlay.watches.size() <= kMaxWatches, "the watch list grew past its bound");
    }
    return 0;
}

#ifdef QUAV_LIBFUZZER
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

// The entry whose text the mutator changes: an archive's checksums refuse
// nearly every byte-level change, so without this few mutations would get
// past the loader into play.
std::string GameEntry(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        if (KSameEntryName(name, "game.qav")) return name;
    }
    return {};
}

// Spawning and light commands at the extremes of their arguments, each
// short enough for the room the rewriter leaves. Put at a line start of the
// game entry, they often land inside a script.
constexpr const char* kExtremeCommands[] = {
    "#light 2147483647 2147483647 -2147483648 2147483647",
    "#light 4096 512 0 1024\n#restart",
    "#light -2147483648 -1 2147483647 -2147483648",
    "#put n lamp &255",
    "#put rnd red chain\n#restart",
    "#throw seek bullet &255",
    "#shoot rnd &255",
    "#bind lamp",
    "#attach lamp -2147483648 2147483647",
    "#attach chain 2147483647 -1 &255",
    "#become 255 255 255 255",
    "#mod vieww 4096\n#mod viewh 2147483647",
    "#mod posz -2147483648\n#mod posz 2147483647",
};
unsigned gExtremePick = 0;

size_t InsertExtremeCommand(uint8_t* data, size_t size, size_t maxSize)
{
    const std::string line = std::string(kExtremeCommands[gExtremePick % std::size(kExtremeCommands)]) + "\n";
    if (size + line.size() > maxSize) return size;
    std::string text(reinterpret_cast<const char*>(data), size);
    // After the first, second, ... line break, as the pick says.
    size_t at = 0;
    for (unsigned skip = (gExtremePick / 16) % 64; skip > 0; --skip) {
        const size_t next = text.find('\n', at);
        if (next == std::string::npos) break;
        at = next + 1;
    }
    text.insert(at, line);
    std::memcpy(data, text.data(), text.size());
    return text.size();
}

size_t MutateWithExtremeCommand(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    gExtremePick = seed / 8;
    const std::string archive(reinterpret_cast<const char*>(data), size);
    return FuzzRewriteZipEntry(archive, GameEntry, InsertExtremeCommand, data, maxSize);
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    // One mutation in eight stays on the raw bytes, so the reader's
    // refusals keep being tried too.
    if (seed % 8 == 1) {
        const size_t newSize = MutateWithExtremeCommand(data, size, maxSize, seed);
        if (newSize != 0) return newSize;
    }
    if (seed % 8 != 0) {
        const std::string archive(reinterpret_cast<const char*>(data), size);
        const size_t newSize = FuzzRewriteZipEntry(archive, GameEntry, LLVMFuzzerMutate, data, maxSize);
        if (newSize != 0) return newSize;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
#endif

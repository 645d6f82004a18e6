// Any bytes as a world file, loaded by the runner's loader and played for
// 30 ticks the way the runner starts and ticks a game: no crash, hang or
// leak, no tick past its budget, and the lists a tick grows stay bounded.

#include "FuzzSupport.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "Kcompiler.h"
#include "Kexec.h"
#include "Kobject.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

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

KWorldLimits FuzzLimits()
{
    KWorldLimits limits;
    limits.maxEntryBytes = size_t{4} << 20;
    limits.maxWorldCells = int64_t{1} << 18;
    limits.maxNodes = 5000;
    return limits;
}

int64_t CountNodes(const Kobject& node)
{
    int64_t count = 1;
    for (const auto& child : node.children) count += CountNodes(*child);
    return count;
}

void Require(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "fuzz_play: %s\n", what);
    std::abort();
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
    const KWorldLimits limits = FuzzLimits();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!LoadWorldFromMemory(engine, std::move(bytes), "/nonexistent-quav-fuzz/world.zqav", limits)) return 0;
    StartPlay(engine);
    for (int tick = 0; tick < kTicks; ++tick) {
        PlayTick(engine, tick);
        Require(engine.vWork.Left() >= 0, "a tick spent more than its budget");
        Require(CountNodes(*engine.vMain) <= limits.maxNodes + 1, "the world grew past the nodes a file may hold");
        Require(engine.vPlay.messages.size() <= kMaxMessages, "the message list grew past its bound");
        Require(engine.vPlay.watches.size() <= kMaxWatches, "the watch list grew past its bound");
    }
    return 0;
}

#ifdef QUAV_LIBFUZZER
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

// The game entry's text mutated and packed again with every other entry:
// an archive's checksums refuse nearly every byte-level change, so without
// this few mutations would get past the loader into play.
bool MutateGameEntry(uint8_t* data, size_t size, size_t maxSize, size_t& newSize)
{
    KZipReader reader;
    std::string error;
    if (!reader.OpenMemory(std::string(reinterpret_cast<const char*>(data), size), error)) return false;
    const std::string path = "/tmp/quav-fuzz-play-" + std::to_string(getpid()) + ".zqav";
    KZipWriter writer;
    if (!writer.Open(path)) return false;
    bool mutated = false;
    for (const std::string& name : reader.Names()) {
        std::string content;
        if (reader.Read(name, content, maxSize) != KZipReader::Entry::Ok) return false;
        if (KSameEntryName(name, "game.qav")) {
            const size_t room = content.size() + 64;
            content.resize(room);
            content.resize(LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(content.data()), room - 64, room));
            mutated = true;
        }
        if (!writer.Add(name, content)) return false;
    }
    if (!mutated || !writer.Commit()) return false;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(path.c_str());
    if (bytes.empty() || bytes.size() > maxSize) return false;
    std::memcpy(data, bytes.data(), bytes.size());
    newSize = bytes.size();
    return true;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    // One mutation in eight stays on the raw bytes, so the reader's
    // refusals keep being tried too.
    size_t newSize = 0;
    if (seed % 8 != 0 && MutateGameEntry(data, size, maxSize, newSize)) return newSize;
    return LLVMFuzzerMutate(data, size, maxSize);
}
#endif

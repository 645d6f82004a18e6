// Any bytes as a world file, loaded by the runner's loader and played for
// 30 ticks the way the runner starts and ticks a game: no crash, hang or
// leak, no tick past its budget, and the lists a tick grows stay bounded.
// The mutator also writes spawning and light commands with extreme
// arguments into the world's scripts.
//
// Sound files travel inside the archive: every entry named like a sound
// file (".wav", ".ogg", ".flac", ".mid", ".mod", ...) is written beside the
// world, loaded as a sample, played back and forth and played as a song on
// repeat, through the runner's sound box mixing in game time. The mutator
// adds such files, made small and valid by libsndfile or by hand, then
// mutates their bytes.

#include "FuzzModules.h"
#include "FuzzSupport.h"
#include "KBitmap.h"
#include "KPaths.h"
#include "KRunnerParts.h"
#include "KSoundBox.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "Kobject.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTicks = 30;
// Ticks between two frames drawn.
constexpr int kTicksPerFrame = 10;
// A tenth of the runner's budget: the same bound, reached in a tenth of the
// time, so the fuzzer tries ten times as many worlds.
constexpr int64_t kFuzzTickUnits = kTickWorkUnits / 10;
constexpr int64_t kFuzzImmediateUnits = kImmediateWorkUnits / 10;

constexpr std::string_view kSoundExtensions[] = {".wav", ".ogg", ".flac", ".mid", ".mod", ".xm", ".s3m", ".it", ".mp3"};
// Sound entries taken from one archive.
constexpr size_t kMaxSoundEntries = 4;
constexpr size_t kMaxSoundBytes = size_t{256} << 10;
// Ticks a sample may take to decode before play starts.
constexpr int kDecodeTicks = 40;

bool IsSoundName(std::string_view name)
{
    for (std::string_view extension : kSoundExtensions) {
        if (name.size() > extension.size() && name.substr(name.size() - extension.size()) == extension) return true;
    }
    return false;
}

// A plain file name: no folder, nothing hidden.
bool IsPlainName(std::string_view name)
{
    return !name.empty() && name[0] != '.' && name.find('/') == std::string_view::npos &&
           name.find('\\') == std::string_view::npos && name.size() < 64;
}

// The folder this process plays worlds in: files a script saves and the
// sound files of the archive go there, and nowhere else.
const std::string& PlayFolder()
{
    static const std::string folder = [] {
        std::string path = "/tmp/quav-fuzz-play-" + std::to_string(getpid());
        mkdir(path.c_str(), 0700);
        return path;
    }();
    return folder;
}

void EmptyPlayFolder()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(PlayFolder(), error)) {
        std::filesystem::remove_all(entry.path(), error);
    }
}

// The sound entries of the archive, written into the play folder; their names.
std::vector<std::string> WriteSoundFiles(const std::string& archive)
{
    std::vector<std::string> written;
    KZipReader reader;
    std::string error;
    if (!reader.OpenMemory(archive, error)) return written;
    for (const std::string& name : reader.Names()) {
        if (written.size() >= kMaxSoundEntries || !IsSoundName(name) || !IsPlainName(name)) continue;
        std::string content;
        if (reader.Read(name, content, kMaxSoundBytes) != KZipReader::Entry::Ok) continue;
        std::FILE* file = std::fopen((PlayFolder() + "/" + name).c_str(), "wb");
        if (file == nullptr) continue;
        const bool whole = std::fwrite(content.data(), 1, content.size(), file) == content.size();
        if (std::fclose(file) == 0 && whole) written.push_back(name);
    }
    return written;
}

Kinterface& PlayEngine()
{
    static bool started = false;
    Kinterface& engine = FuzzEngine(KRunnerParts());
    if (!started) {
        started = true;
        engine.vSoundBox->StartAudio(KAudioSettings{KAudioMode::GameTime, ""}, "");
    }
    return engine;
}

// What the runner does between loading a world and its first tick.
void StartPlay(Kinterface& engine)
{
    engine.vWorldPath = PlayFolder() + "/world.zqav";
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
    engine.vSoundBox->Update();
    // Now and then the world is drawn, as the runner draws every frame:
    // whatever its nodes' sizes, places and views, nothing reaches past a
    // bitmap.
    if (tick % kTicksPerFrame == kTicksPerFrame - 1) {
        // Kept to the end, as the engine is: the game library takes its
        // bitmaps down at exit, before static objects would go.
        static BITMAP* const screen =
            KMakeBitmap(KBitmapWidth(engine.vSubClipBuffer.get()), KBitmapHeight(engine.vSubClipBuffer.get())).release();
        engine.Draw(screen, 0, 0);
    }
}

// Each sound file as a sample (decoded a slice a tick, as a script's load
// is), played back and forth, and as a song on repeat.
void PlaySoundFiles(Kinterface& engine, const std::vector<std::string>& names)
{
    KSoundBox& box = *engine.vSoundBox;
    for (size_t i = 0; i < names.size(); ++i) {
        for (int tick = 0; tick < kDecodeTicks && !box.LoadSound(names[i]).done; ++tick) box.Update();
        box.PlaySound(names[i], static_cast<int32_t>(i), 2);
    }
    if (!names.empty()) box.PlaySong(names.back(), 1);
}

// What one input leaves behind must not reach the next: the output keeps
// decoded samples by path, and every input's files have the same paths.
void ResetSound(KSoundBox& box)
{
    const KAudioOutput& output = box.Output();
    if (output.DecodedBytes() == 0 && output.SongLoads() == 0 && !output.Decoding()) return;
    box.StopAudio();
    box.StartAudio(KAudioSettings{KAudioMode::GameTime, ""}, "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = PlayEngine();
    engine.vWork.SetCapacity(kFuzzTickUnits, kFuzzImmediateUnits);
    engine.vInputs.fill(0);
    const KWorldLimits limits = FuzzWorldLimits();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    EmptyPlayFolder();
    const std::vector<std::string> sounds = WriteSoundFiles(bytes);
    ResetSound(*engine.vSoundBox);
    if (!LoadWorldFromMemory(engine, std::move(bytes), PlayFolder() + "/world.zqav", limits)) return 0;
    StartPlay(engine);
    PlaySoundFiles(engine, sounds);
    for (int tick = 0; tick < kTicks; ++tick) {
        PlayTick(engine, tick);
        FuzzRequire(engine.vWork.Left() >= 0, "a tick spent more than its budget");
        FuzzRequire(engine.vSoundBox->Output().DecodedBytes() <= kMaxDecodedSampleBytes,
                    "decoded samples grew past their bound");
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

// libsndfile writes a small sound into bytes held in memory.
struct Written {
    std::string bytes;
    sf_count_t at = 0;
};

sf_count_t WrittenLength(void* user) { return static_cast<sf_count_t>(static_cast<Written*>(user)->bytes.size()); }
sf_count_t WrittenSeek(sf_count_t offset, int whence, void* user)
{
    auto* out = static_cast<Written*>(user);
    const sf_count_t base = whence == SEEK_CUR ? out->at : whence == SEEK_END ? WrittenLength(user) : 0;
    out->at = std::max<sf_count_t>(base + offset, 0);
    return out->at;
}
sf_count_t WrittenRead(void* into, sf_count_t count, void* user)
{
    auto* out = static_cast<Written*>(user);
    const sf_count_t size = WrittenLength(user);
    const sf_count_t taken = std::clamp<sf_count_t>(size - out->at, 0, count);
    std::memcpy(into, out->bytes.data() + out->at, static_cast<size_t>(taken));
    out->at += taken;
    return taken;
}
sf_count_t WrittenWrite(const void* from, sf_count_t count, void* user)
{
    auto* out = static_cast<Written*>(user);
    const size_t end = static_cast<size_t>(out->at + count);
    if (out->bytes.size() < end) out->bytes.resize(end);
    std::memcpy(out->bytes.data() + out->at, from, static_cast<size_t>(count));
    out->at += count;
    return count;
}
sf_count_t WrittenTell(void* user) { return static_cast<Written*>(user)->at; }

// A short tone in a format libsndfile writes; empty when it cannot.
std::string SoundFile(int format, int channels, int rate, int frames)
{
    SF_VIRTUAL_IO io{WrittenLength, WrittenSeek, WrittenRead, WrittenWrite, WrittenTell};
    Written out;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &out);
    if (file == nullptr) return {};
    std::vector<short> samples(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(8000 * std::sin(0.05 * static_cast<double>(i)));
    sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    return out.bytes;
}

// A MIDI file of one track: a few notes, or nothing but its end.
std::string MidiFile(unsigned int seed)
{
    std::string track;
    for (unsigned int note = 0; note < seed % 5; ++note) {
        track += std::string{'\x00', '\x90', static_cast<char>(60 + note), '\x64', '\x30', '\x80', static_cast<char>(60 + note), '\x00'};
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string file("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk", 18);
    for (int shift = 24; shift >= 0; shift -= 8) file += static_cast<char>(track.size() >> shift);
    return file + track;
}

struct SoundKind {
    const char* name;
    int format;  // libsndfile's, 0 for made by hand
};
constexpr SoundKind kSoundKinds[] = {
    {"s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16}, {"s.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {"s.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}, {"s.mid", 0}, {"s.mod", 0}, {"s.s3m", 0}, {"s.xm", 0}, {"s.it", 0}};

std::string MakeSound(const SoundKind& kind, unsigned int seed)
{
    const std::string_view name = kind.name;
    if (name.ends_with(".mid")) return MidiFile(seed);
    // MOD files in their variants, or the one module kind of the extension.
    for (unsigned module = 0; module < kFuzzModuleKinds; ++module) {
        const std::string_view extension = FuzzModuleExtension(module);
        if (!name.ends_with(extension)) continue;
        return FuzzModule(extension == ".mod" ? seed % 6 : module, seed / 8);
    }
    return SoundFile(kind.format, 1 + static_cast<int>(seed % 2), seed % 3 == 0 ? 8000 : 44100, 64 + static_cast<int>(seed % 512));
}

// Puts a new sound file into the archive, or mutates one it holds.
size_t MutateSound(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    const std::string archive(reinterpret_cast<const char*>(data), size);
    KZipReader reader;
    std::string error;
    if (!reader.OpenMemory(archive, error)) return 0;
    const std::vector<std::string> names = reader.Names();
    std::string existing;
    for (const std::string& name : names) {
        if (IsSoundName(name)) existing = name;
    }
    if (!existing.empty() && seed % 3 != 0) {
        return FuzzRewriteZipEntry(archive, [&existing](const std::vector<std::string>&) { return existing; },
                                   LLVMFuzzerMutate, data, maxSize);
    }
    const SoundKind& kind = kSoundKinds[(seed / 3) % std::size(kSoundKinds)];
    const std::string sound = MakeSound(kind, seed / 16);
    if (sound.empty()) return 0;
    const std::string path = "/tmp/quav-fuzz-sound-" + std::to_string(getpid()) + ".zip";
    KZipWriter writer;
    if (!writer.Open(path)) return 0;
    for (const std::string& name : names) {
        std::string content;
        if (name == kind.name || reader.Read(name, content, maxSize) != KZipReader::Entry::Ok) continue;
        if (!writer.Add(name, content)) return 0;
    }
    if (!writer.Add(kind.name, sound) || !writer.Commit()) return 0;
    std::string bytes;
    KReadRegularFile(path, maxSize, bytes, error);
    unlink(path.c_str());
    if (bytes.empty() || bytes.size() > maxSize) return 0;
    std::memcpy(data, bytes.data(), bytes.size());
    return bytes.size();
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    // One mutation in eight stays on the raw bytes, so the reader's
    // refusals keep being tried too; one in eight writes an extreme
    // spawning or light command, one in eight works on sound files.
    if (seed % 8 == 1) {
        const size_t newSize = MutateWithExtremeCommand(data, size, maxSize, seed);
        if (newSize != 0) return newSize;
    }
    if (seed % 8 == 2) {
        const size_t newSize = MutateSound(data, size, maxSize, seed / 8);
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

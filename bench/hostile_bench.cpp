// Worlds a stranger could write to make one tick take as long as possible.
// Each is built in memory, saved once to learn its size as a world file,
// compiled and played the way the runner plays it; the figure that matters is
// the worst single tick (worst_tick_ms), which the tick's work budget should
// hold to tens of milliseconds whatever the scripts do.

#include "BenchSupport.h"
#include "KPaths.h"
#include "KRunnerParts.h"
#include "KSoundBox.h"
#include "KWorldFile.h"
#include "Kcompiler.h"
#include "Kexec.h"
#include "Kfont.h"
#include "Kobject.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <ctime>
#include <sndfile.h>
#include <sys/stat.h>

namespace {

constexpr int kTicks = 30;
constexpr int kBoardWidth = 128;
constexpr int kBoardHeight = 96;
constexpr size_t kKeyA = 1;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The machine is shared: this thread's processor time is the steadier figure.
double ThreadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string Repeated(const std::string& line, int count)
{
    std::string text;
    text.reserve(line.size() * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) text += line;
    return text;
}

struct HostileWorld {
    std::unique_ptr<Kinterface> engine;
    Kobject* board = nullptr;
    int notices = 0;
    std::string lastNotice;
};

HostileWorld NewWorld()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    HostileWorld world;
    world.engine = BenchEngine(parts);
    world.engine->vWorldPath = "/nonexistent-quav-bench/world.zqav";
    world.board = world.engine->vMain->Spawn_Back(world.engine->TakeNextId(), 0);
    world.board->Create("Main", kBoardWidth, kBoardHeight);
    return world;
}

// Objects run every tick (cycle 0), as a hostile world would ask for.
Kobject* AddObject(HostileWorld& world, Kobject& parent, const std::string& name, const std::string& script, int z = 0)
{
    Kobject* object = parent.Spawn(world.engine->TakeNextId(), z);
    object->Create(name, 1, 1);
    const int index = object->id;
    object->posx = index % kBoardWidth;
    object->posy = (index / kBoardWidth) % kBoardHeight;
    object->cycle = 0;
    object->source = script;
    return object;
}

void AddObjects(HostileWorld& world, int count, const std::string& prefix, const std::string& script)
{
    for (int i = 0; i < count; ++i) AddObject(world, *world.board, prefix + std::to_string(i), script);
}

double WorldFileKiB(Kinterface& engine)
{
    const std::string path = "/tmp/quav-hostile-bench.zqav";
    struct stat info {};
    const bool saved = SaveWorld(engine, path) && stat(path.c_str(), &info) == 0;
    std::remove(path.c_str());
    return saved ? static_cast<double>(info.st_size) / 1024.0 : -1.0;
}

// One tick as the runner's loop runs it.
void RunnerTick(Kinterface& engine)
{
    engine.vPlay.RunDownTimers();
    engine.vPlay.CheckWatches(engine.vVariables);
    engine.Tick();
    if (engine.vSoundBox) engine.vSoundBox->Update();
}

// The worst and mean ticks of a run, in wall time and in the game thread's
// processor time.
struct TickTimes {
    double worst = 0.0;
    double worstCpu = 0.0;
    double total = 0.0;
    int worstAt = 0;

    template <typename Tick>
    void Time(int tick, Tick&& run)
    {
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        run();
        worstCpu = std::max(worstCpu, ThreadCpuMs() - cpuStart);
        const double ms = MsSince(start);
        if (ms > worst) worstAt = tick;
        worst = std::max(worst, ms);
        total += ms;
    }
    void Report(benchmark::State& state, int ticks) const
    {
        state.counters["worst_tick_ms"] = worst;
        state.counters["worst_tick_cpu_ms"] = worstCpu;
        state.counters["worst_tick_at"] = worstAt;
        state.counters["mean_tick_ms"] = total / ticks;
    }
};

// Compiles and plays the world; reports the compile time and the worst and
// the mean tick.
void Play(benchmark::State& state, HostileWorld& world, int ticks = kTicks)
{
    Kinterface& engine = *world.engine;
    engine.SetNoticeSink([&world](KNoticeKind, const std::string&, const std::string& body) {
        ++world.notices;
        world.lastNotice = body;
    });
    state.counters["file_kib"] = WorldFileKiB(engine);
    TickTimes times;
    double compile = 0.0;
    // As the runner does when play starts.
    if (engine.vSoundBox) engine.vSoundBox->PrepareSongs();
    for (auto _ : state) {
        engine.FindSpecialBoards();
        const Clock::time_point compileStart = Clock::now();
        engine.CompileAll();
        compile = MsSince(compileStart);
        engine.ChooseActiveBoard();
        engine.vPlay.Reset();
        for (int tick = 0; tick < ticks; ++tick) times.Time(tick, [&engine] { RunnerTick(engine); });
        state.SetIterationTime(times.total / 1000.0);
    }
    state.counters["compile_ms"] = compile;
    times.Report(state, ticks);
    state.counters["notices"] = world.notices;
}

// The longest text a script can hold (longer ones are cut), copied 250 times
// a turn by 20 objects.
void BM_LongTextCopies(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObject(world, *world.board, "maker", "#set v " + std::string(kMaxTextBytes + 1024, 'x') + "\n#end\n", 10);
    AddObjects(world, 20, "c", "#set w v &250\n#restart\n");
    Play(state, world);
    state.counters["text_bytes"] = static_cast<double>(world.engine->GetVarString("w").size());
}

// Address walks that fan out over a few hundred objects.
void BM_AllParentWalks(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 300, "o", "#end\n");
    AddObjects(world, 20, "walker", Repeated(".all.parent.all.parent.all.zz @x\n", 250) + "#restart\n");
    Play(state, world);
}

// 99,000 objects each putting up a text line every tick: a held key wakes
// every object again after its program ends, as a player's key would.
void BM_TextLines(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 99000, "t", ":key_a\nA line of text from an object\n#end\n");
    world.engine->vInputs[kKeyA] = 2;  // held
    Play(state, world);
    state.counters["messages"] = static_cast<double>(world.engine->vPlay.messages.size());
}

// Depth searches: "#if above" looks the player up among 99,000 nodes.
void BM_IfAbove(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 8, "asker", Repeated("#if above #give a 1\n", 500) + "#restart\n");
    AddObjects(world, 99000, "n", "");
    AddObject(world, *world.board, "player", "", -10);
    Play(state, world);
}

// Messages to an object whose label sits behind 200,000 disabled ones.
void BM_DisabledLabels(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObject(world, *world.board, "target", "#end\n" + Repeated("'go\n", 200000) + ":go\n#end\n", -10);
    AddObjects(world, 20, "s", Repeated(".target @go\n", 250) + "#restart\n");
    Play(state, world);
}

// Objects asking again and again to watch variables; 540 ticks (nine
// seconds of play) let the lines they show time out and come back.
void BM_NotifyLoop(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    for (int i = 0; i < 100; ++i) {
        const std::string own = "v" + std::to_string(i) + "_";
        std::string script = ":l\n";
        for (int j = 0; j < 10; ++j) script += "#notify " + own + std::to_string(j) + "\n#give " + own + std::to_string(j) + " 1\n";
        AddObject(world, *world.board, "w" + std::to_string(i), script + "@l\n");
    }
    Play(state, world, 540);
    const KPlayState& play = world.engine->vPlay;
    double bytes = static_cast<double>(play.watches.capacity() * sizeof(KWatch));
    for (const KWatch& watch : play.watches) bytes += static_cast<double>(watch.name.capacity());
    state.counters["watches"] = static_cast<double>(play.watches.size());
    state.counters["watch_bytes"] = bytes;
    state.counters["messages"] = static_cast<double>(play.messages.size());
}

// Ten objects relaying "*go" to all their siblings, started once.
void BM_StarRelays(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 10, "r", "#end\n:go\n.all @*go\n#end\n");
    AddObject(world, *world.board, "starter", ".r0 @*go\n#end\n", 20);
    Play(state, world);
}

// 100,000 objects each taking a full turn of 256 commands.
void BM_FullTurns(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 100000, "l", ":l\n#give n 1\n@l\n");
    Play(state, world);
    state.counters["commands"] = world.engine->GetVar("n");
}

// A script of 32 MiB of "/": its compile time, and whether it is refused.
void BM_HugeScriptStartUp(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObject(world, *world.board, "huge", std::string(size_t{32} << 20, '/'));
    Play(state, world, 1);
    state.SetLabel(world.lastNotice.substr(0, 80));
}

// 6,000 objects each with a repeated move.
void BM_RepeatedMoves(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 6000, "m", "/n &10\n");
    Play(state, world);
}

// --- Second hardening round: programs, lights, child lists ----------------------

// Resident memory of this process, for worlds that try to eat it.
double ResidentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

Kobject* AddBoard(HostileWorld& world, const std::string& name, int w, int h, int z)
{
    Kobject* board = world.engine->vMain->Spawn_Back(world.engine->TakeNextId(), z);
    board->Create(name, w, h);
    return board;
}

// A template whose program is some 33 MB: half a megabyte of repeated
// moves, which a world file packs into a few kilobytes. Its first command
// is given.
Kobject* AddBigTemplate(HostileWorld& world, const std::string& first)
{
    Kobject* spawn = AddBoard(world, "Spawn", 8, 8, 1);
    return AddObject(world, *spawn, "big", first + "\n" + Repeated("/i &5\n", 90000));
}

// Twenty objects putting copies of the big template, every command.
void BM_PutBigProgram(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    Kobject* big = AddBigTemplate(world, "#end");
    AddObjects(world, 20, "p", ":l\n#put s big\n@l\n");
    Play(state, world, 10);
    size_t bytes = 0;
    for (const KProgramLine& line : big->lines) bytes += line.commands.size() * Kcompiler::CopyCost(line.commands[0]);
    state.counters["program_mib"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["program_holders"] = static_cast<double>(big->lines.Holders());
    state.counters["rss_mib"] = ResidentMiB();
}

// A template whose first command binds to itself: every command of a turn
// takes the program over again.
void BM_BindChain(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    Kobject* big = AddBigTemplate(world, "#bind big");
    AddObjects(world, 4, "b", "#bind big\n");
    Play(state, world, 10);
    state.counters["program_holders"] = static_cast<double>(big->lines.Holders());
    state.counters["rss_mib"] = ResidentMiB();
}

// What the runner does about the dark board around a tick: every target
// dark before, the cells whose target changed drawn after.
int64_t RedrawDarkness(Kinterface& engine, Kobject& dark)
{
    int64_t drawn = 0;
    if (dark.shade.size() != dark.cells.size()) {
        // The first frame draws the whole board dark, once.
        dark.shade.assign(dark.cells.size(), KCell{0, 255, 255, 0, 1, 0});
        for (int32_t y = 0; y < dark.height; ++y) {
            for (int32_t x = 0; x < dark.width; ++x) engine.vFont->RenderGlyph(dark, 0, 255, 255, x, y);
        }
    }
    for (int32_t y = 0; y < dark.height; ++y) {
        for (int32_t x = 0; x < dark.width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(dark.width) + static_cast<size_t>(x);
            if (dark.cells[i].fg == dark.shade[i].fg) continue;
            engine.vFont->RenderGlyph(dark, 0, dark.cells[i].fg, dark.cells[i].bg, x, y);
            ++drawn;
            dark.shade[i].fg = dark.cells[i].fg;
            dark.shade[i].bg = dark.cells[i].bg;
        }
    }
    return drawn;
}

void PlayInTheDark(benchmark::State& state, HostileWorld& world, Kobject& dark, int ticks)
{
    Kinterface& engine = *world.engine;
    engine.SetVar("dark", 1);
    engine.FindSpecialBoards();
    engine.CompileAll();
    engine.ChooseActiveBoard();
    engine.vPlay.Reset();
    RedrawDarkness(engine, dark);
    TickTimes times;
    int64_t mostDrawn = 0;
    for (auto _ : state) {
        for (int tick = 0; tick < ticks; ++tick) {
            times.Time(tick, [&] {
                for (KCell& cell : dark.cells) cell.fg = cell.bg = 255;
                RunnerTick(engine);
                mostDrawn = std::max(mostDrawn, RedrawDarkness(engine, dark));
            });
        }
        state.SetIterationTime(times.total / 1000.0);
    }
    times.Report(state, ticks);
    state.counters["most_cells_drawn"] = static_cast<double>(mostDrawn);
}

// A 1 x 1 dark board whose view claims 2,147,483,647 cells across, and
// lamps asking for the longest rays.
void BM_LightHugeView(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    Kobject* dark = AddBoard(world, "Dark", 1, 1, 2);
    dark->vieww = dark->viewh = 2147483647;
    AddObjects(world, 4, "lamp", ":l\n#light 2147483647 512 0 256\n@l\n");
    PlayInTheDark(state, world, *dark, 10);
}

// The largest dark board a node may be (1,024 x 1,024 cells) with a view of
// 4,096, and one lamp lighting it all, over and over.
void BM_LightLoop(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    world.board->Resize(1024, 1024);
    Kobject* dark = AddBoard(world, "Dark", 1024, 1024, 2);
    dark->vieww = dark->viewh = 4096;
    Kobject* lamp = AddObject(world, *world.board, "lamp", ":l\n#light 4096 512 0 256\n@l\n");
    lamp->posx = lamp->posy = 512;
    PlayInTheDark(state, world, *dark, 20);
}

// The same dark board, and a lamp lighting two halves in turn, so that
// every tick draws the cells of both halves anew.
void BM_LightAlternating(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    world.board->Resize(1024, 1024);
    Kobject* dark = AddBoard(world, "Dark", 1024, 1024, 2);
    Kobject* lamp = AddObject(world, *world.board, "lamp", ":l\n#light 4096 512 0 128\n/i\n#light 4096 512 128 128\n/i\n@l\n");
    lamp->posx = lamp->posy = 512;
    PlayInTheDark(state, world, *dark, 20);
}

// "#mod posz" back and forth among 60,000 siblings, with the moves' queries
// in between: every change of depth takes the object out of the list and
// back in, and the query after it numbers the list anew.
void BM_RedepthAmongMany(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 60000, "n", "#end\n");
    AddObjects(world, 20, "z", ":l\n#mod posz 5\n#if blocked n #give a 1\n#mod posz -5\n@l\n");
    Play(state, world);
}

// Twenty guns shooting among 60,000 siblings.
void BM_GunsAmongMany(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    Kobject* spawn = AddBoard(world, "Spawn", 8, 8, 1);
    AddObject(world, *spawn, "bullet", "#end\n:thud\n#die\n");
    AddObjects(world, 60000, "n", "#end\n");
    AddObjects(world, 20, "g", ":l\n#shoot rnd\n@l\n");
    Play(state, world);
}

// One object with 4,000 children dissolving into a board of 60,000 whose
// last object lies deepest: each child's place is found past all 60,000.
void BM_BecomeWithChildren(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    AddObjects(world, 60000, "n", "#end\n");
    AddObject(world, *world.board, "deepest", "#end\n", -10);
    Kobject* parent = AddObject(world, *world.board, "parent", "#become 1 2 3 0\n", 5);
    parent->vieww = parent->viewh = 0;
    for (int i = 0; i < 4000; ++i) {
        Kobject* child = AddObject(world, *parent, "c" + std::to_string(i), "#end\n", -1);
        child->posx = child->posy = 0;
    }
    Play(state, world);
}

// Copies of a template of 1,024 x 1,024 cells (a 64 MiB surface each).
void BM_PutBigSurface(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    Kobject* spawn = AddBoard(world, "Spawn", 8, 8, 1);
    Kobject* wide = AddObject(world, *spawn, "wide", "#end\n");
    wide->Create("wide", 1024, 1024);
    AddObjects(world, 4, "p", ":l\n#put s wide\n@l\n");
    Play(state, world);
    state.counters["rss_mib"] = ResidentMiB();
}

// Templates that put two copies of themselves: as many nodes as a tick may make.
void BM_SpawnStorm(benchmark::State& state)
{
    HostileWorld world = NewWorld();
    Kobject* spawn = AddBoard(world, "Spawn", 8, 8, 1);
    AddObject(world, *spawn, "seed", "#put n seed\n#put e seed\n#end\n");
    AddObjects(world, 20, "s", ":l\n#put s seed\n@l\n");
    Play(state, world);
    state.counters["nodes"] = static_cast<double>(world.engine->vLiveNodes);
}

// --- Sound files beside the world --------------------------------------------------

std::string MediaDir()
{
    static const std::string dir = [] {
        const std::string path = std::filesystem::temp_directory_path() / "quav-hostile-media";
        const std::string command = "python3 '" QUAV_SOURCE_DIR "/tests/tools/make_sound_media.py' '" + path + "'";
        if (std::system(command.c_str()) != 0) std::abort();
        return path;
    }();
    return dir;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    if (!KWriteFile(path, bytes)) std::abort();
}

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    std::string error;
    if (!KReadRegularFile(path, size_t{64} << 20, bytes, error)) std::abort();
    return bytes;
}

// seconds of near silence at 8 kHz mono through libsndfile, in format.
void WriteQuietSound(const std::string& path, int format, int seconds)
{
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = 8000;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) std::abort();
    std::vector<short> block(8000);
    for (size_t i = 0; i < block.size(); i += 64) block[i] = 1;
    for (int second = 0; second < seconds; ++second) sf_writef_short(file, block.data(), 8000);
    sf_close(file);
}

// A world of one board whose objects run scripts with the sound box of the
// runner, mixing in game time; the sound files lie in the media folder.
HostileWorld NewSoundWorld()
{
    HostileWorld world;
    world.engine = BenchEngine(KRunnerParts());
    world.engine->vWorldPath = MediaDir() + "/world.zqav";
    world.board = world.engine->vMain->Spawn_Back(world.engine->TakeNextId(), 0);
    world.board->Create("Main", kBoardWidth, kBoardHeight);
    world.engine->vSoundBox->StartAudio(KAudioSettings{KAudioMode::GameTime, ""}, "");
    return world;
}

void SoundCounters(benchmark::State& state, HostileWorld& world)
{
    const KAudioOutput& output = world.engine->vSoundBox->Output();
    state.counters["samples"] = static_cast<double>(world.engine->vSoundBox->SampleNames().size());
    state.counters["decoded_mib"] = static_cast<double>(output.DecodedBytes()) / double(1 << 20);
    state.counters["song_loads"] = static_cast<double>(output.SongLoads());
    state.counters["song_synths"] = static_cast<double>(output.SongSynthsMade());
    world.engine->vSoundBox->StopAudio();
}

// 20 objects asking for a MIDI song 25 times a turn.
void BM_SongLoop(benchmark::State& state)
{
    HostileWorld world = NewSoundWorld();
    AddObjects(world, 20, "s", Repeated("#song song.mid 1\n", 25) + "#restart\n");
    Play(state, world);
    SoundCounters(state, world);
}

// 64 copies of a 295-second Ogg of near silence, each loaded by its own object.
void BM_LongSampleLoads(benchmark::State& state)
{
    HostileWorld world = NewSoundWorld();
    const std::string first = MediaDir() + "/long0.ogg";
    WriteQuietSound(first, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 295);
    const std::string bytes = ReadBytes(first);
    state.counters["ogg_kib"] = static_cast<double>(bytes.size()) / 1024.0;
    for (int i = 0; i < 64; ++i) {
        const std::string name = "long" + std::to_string(i) + ".ogg";
        if (i > 0) WriteBytes(MediaDir() + "/" + name, bytes);
        AddObject(world, *world.board, "l" + std::to_string(i), "#loadsound " + name + "\n#end\n");
    }
    Play(state, world, 300);
    SoundCounters(state, world);
}

// A FLAC of 400 seconds whose header says it holds none, and a module
// whose last row jumps back to its start, loaded and played back and forth.
void BM_MediaBombs(benchmark::State& state)
{
    HostileWorld world = NewSoundWorld();
    const std::string flac = MediaDir() + "/zero.flac";
    WriteQuietSound(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 400);
    std::string bytes = ReadBytes(flac);
    // STREAMINFO's 36 bits of total samples: 0, "not known".
    bytes[21] = static_cast<char>(bytes[21] & 0xF0);
    for (size_t i = 22; i < 26; ++i) bytes[i] = 0;
    WriteBytes(flac, bytes);
    std::string module = ReadBytes(MediaDir() + "/tiny.mod");
    module[1202] = 0x0b;  // the pattern break becomes a jump to the first order
    WriteBytes(MediaDir() + "/loop.mod", module);
    state.counters["flac_kib"] = static_cast<double>(bytes.size()) / 1024.0;
    AddObject(world, *world.board, "bomb",
              "#loadsound zero.flac\n#sound zero.flac 0 bidi\n#loadsound loop.mod\n#sound loop.mod 1 bidi\n"
              "#song loop.mod 1\n#end\n");
    Play(state, world, 300);
    SoundCounters(state, world);
}

// A 2.1 MB MIDI file striking 700,000 notes at its first instant, and one
// spreading 100,000 notes over its length.
void BM_DenseMidi(benchmark::State& state)
{
    HostileWorld world = NewSoundWorld();
    const auto midi = [](int notes, int gap) {
        std::string track;
        for (int i = 0; i < notes; ++i) {
            track += static_cast<char>(gap);
            track += std::string{'\x90', static_cast<char>(36 + i % 60), '\x40'};
        }
        track += std::string("\x00\xff\x2f\x00", 4);
        std::string file("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk", 18);
        for (int shift = 24; shift >= 0; shift -= 8) file += static_cast<char>(track.size() >> shift);
        return file + track;
    };
    WriteBytes(MediaDir() + "/burst.mid", midi(700000, 0));
    WriteBytes(MediaDir() + "/dense.mid", midi(100000, 1));
    AddObject(world, *world.board, "a", "#song burst.mid 1\n#end\n");
    AddObject(world, *world.board, "b", "/i\n#song dense.mid 1\n#end\n");
    Play(state, world, 60);
    state.SetLabel(world.lastNotice.substr(0, 60));
    SoundCounters(state, world);
}

// A play string from the first tick: its synthesiser loads a sound font.
void BM_FirstPlayString(benchmark::State& state)
{
    HostileWorld world = NewSoundWorld();
    AddObject(world, *world.board, "tune", "#play \"cdefgab+c\"\n#end\n");
    Play(state, world, 60);
    SoundCounters(state, world);
}

void Hostile(benchmark::internal::Benchmark* bench)
{
    bench->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_LongTextCopies)->Apply(Hostile);
BENCHMARK(BM_AllParentWalks)->Apply(Hostile);
BENCHMARK(BM_TextLines)->Apply(Hostile);
BENCHMARK(BM_IfAbove)->Apply(Hostile);
BENCHMARK(BM_DisabledLabels)->Apply(Hostile);
BENCHMARK(BM_NotifyLoop)->Apply(Hostile);
BENCHMARK(BM_StarRelays)->Apply(Hostile);
BENCHMARK(BM_FullTurns)->Apply(Hostile);
BENCHMARK(BM_HugeScriptStartUp)->Apply(Hostile);
BENCHMARK(BM_RepeatedMoves)->Apply(Hostile);
BENCHMARK(BM_SongLoop)->Apply(Hostile);
BENCHMARK(BM_LongSampleLoads)->Apply(Hostile);
BENCHMARK(BM_MediaBombs)->Apply(Hostile);
BENCHMARK(BM_DenseMidi)->Apply(Hostile);
BENCHMARK(BM_FirstPlayString)->Apply(Hostile);

// Second hardening round.
BENCHMARK(BM_PutBigProgram)->Apply(Hostile);
BENCHMARK(BM_BindChain)->Apply(Hostile);
BENCHMARK(BM_LightHugeView)->Apply(Hostile);
BENCHMARK(BM_LightLoop)->Apply(Hostile);
BENCHMARK(BM_LightAlternating)->Apply(Hostile);
BENCHMARK(BM_RedepthAmongMany)->Apply(Hostile);
BENCHMARK(BM_GunsAmongMany)->Apply(Hostile);
BENCHMARK(BM_BecomeWithChildren)->Apply(Hostile);
BENCHMARK(BM_PutBigSurface)->Apply(Hostile);
BENCHMARK(BM_SpawnStorm)->Apply(Hostile);

}  // namespace

BENCHMARK_MAIN();

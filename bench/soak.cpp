// quav_soak: plays one board of a world headless for many ticks, the hero
// steered by a seeded random walk, and watches what long play costs: the
// resident memory, the time of a tick, the live nodes and the handle
// tables. A game that keeps growing, leaks handles or lists, or stops
// playing fails the run (exit status 1); a tick that slows down is only
// reported, since the machine's load decides wall times.

#include "KHandlers.h"
#include "KInput.h"
#include "KJson.h"
#include "KNotices.h"
#include "KParseNumber.h"
#include "KPaths.h"
#include "KRandom.h"
#include "KRunnerParts.h"
#include "KRunnerShell.h"
#include "KWorldFile.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <allegro.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadArguments = 2;
constexpr int64_t kRssEvery = 1000;
constexpr int64_t kLongestWindow = 10000;
constexpr int64_t kMaxGrowthKiB = 1024;
// Arrows are held for a few ticks, so the hero walks rather than jitters.
constexpr int32_t kShortestHold = 2;
constexpr int32_t kHoldSpread = 7;
// One tick in this many presses Space (released the tick after).
constexpr int32_t kFireOdds = 6;
// The walk draws from a generator of its own, seeded apart from the game's,
// so the two never run through the same numbers.
constexpr uint64_t kWalkSeedMix = 0x9e3779b97f4a7c15;

constexpr std::string_view kUsage =
    "usage: quav_soak --world FILE --board NAME --ticks N [--warmup W] [--seed S]\n"
    "                 [--keep VAR=VALUE]... [--report FILE]\n"
    "Plays board NAME of the world headless for N ticks (the first W of them\n"
    "warm-up), setting every --keep variable before each tick and walking the\n"
    "hero at random. Fails (status 1) when the resident memory grows by more\n"
    "than 1024 KiB after warm-up, when handles or lists in use after a restart\n"
    "differ from the start, or when the game stops before N ticks.\n";

struct KKeep {
    std::string name;
    std::string text;
    int32_t value = 0;
    bool isNumber = false;
};

struct KSoakOptions {
    std::string worldPath;
    std::string boardName;
    std::string reportPath;
    int64_t ticks = -1;
    int64_t warmup = 0;
    uint64_t seed = 0;
    std::vector<KKeep> keeps;
};

// Counts of the world and the handle tables: at start, the most seen
// between ticks, and at the end.
struct KCounts {
    int64_t nodes = 0;
    int handles = 0;
    int lists = 0;
};

struct KSoakFigures {
    int64_t ticksRun = 0;
    int64_t window = 1;
    double wallSeconds = 0;
    int64_t rssWarmupKiB = 0;
    int64_t rssEndKiB = 0;
    int64_t rssMaxGrowthKiB = 0;
    // The mean tick of every whole window after warm-up, in wall time and
    // in processor time of the process (every thread): on a loaded machine
    // the wall time follows the load, the processor time follows it less.
    std::vector<double> windowMeansUs;
    std::vector<double> windowCpuUs;
    KCounts start;
    KCounts most;
    KCounts endOfPlay;
    KCounts afterRestart;
    std::string stopped;  // why play stopped early; empty when it ran its ticks
};

bool ParseKeep(std::string_view text, KKeep& keep)
{
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) return false;
    keep.name = std::string(text.substr(0, equals));
    keep.text = std::string(text.substr(equals + 1));
    constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
    keep.isNumber = KParseNumber(std::string_view(keep.text), kLow, kHigh, keep.value);
    return true;
}

// Every option takes a value; false with a message for anything else.
bool ParseOption(std::string_view name, std::string_view value, KSoakOptions& options, std::string& error)
{
    constexpr int64_t kMost = std::numeric_limits<int64_t>::max() / 2;
    bool good = !value.empty();
    if (name == "--world") {
        options.worldPath = std::string(value);
    } else if (name == "--board") {
        options.boardName = std::string(value);
    } else if (name == "--report") {
        options.reportPath = std::string(value);
    } else if (name == "--ticks") {
        good = KParseNumber(value, int64_t{1}, kMost, options.ticks);
    } else if (name == "--warmup") {
        good = KParseNumber(value, int64_t{0}, kMost, options.warmup);
    } else if (name == "--seed") {
        good = KParseNumber(value, uint64_t{0}, std::numeric_limits<uint64_t>::max(), options.seed);
    } else if (name == "--keep") {
        KKeep keep;
        good = ParseKeep(value, keep);
        options.keeps.push_back(keep);
    } else {
        error = "unknown option '" + std::string(name) + "'";
        return false;
    }
    if (!good) error = "bad value '" + std::string(value) + "' for " + std::string(name);
    return good;
}

bool ParseArguments(int argc, char** argv, KSoakOptions& options, std::string& error)
{
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) {
            error = std::string(argv[i]) + " needs a value";
            return false;
        }
        if (!ParseOption(argv[i], argv[i + 1], options, error)) return false;
    }
    if (options.worldPath.empty() || options.boardName.empty() || options.ticks < 0) {
        error = "--world, --board and --ticks are required";
        return false;
    }
    if (options.warmup >= options.ticks) {
        error = "the warm-up must be shorter than the run";
        return false;
    }
    return true;
}

int64_t ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0;
    int64_t resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int64_t CountNodes(const Kobject& node)
{
    int64_t count = 1;
    for (const auto& child : node.children) count += CountNodes(*child);
    return count;
}

// Counted from the tables themselves rather than the engine's own counter,
// so a counter that drifts from its table cannot hide a leak.
KCounts CountNow(const Kinterface& engine)
{
    KCounts counts;
    counts.nodes = CountNodes(*engine.vMain);
    for (const KHandleEntry& entry : engine.vHandles) counts.handles += entry.node != nullptr ? 1 : 0;
    for (const KHandleList& list : engine.vLists) counts.lists += list.used != 0 ? 1 : 0;
    return counts;
}

void KeepMost(KCounts& most, const KCounts& now)
{
    most.nodes = std::max(most.nodes, now.nodes);
    most.handles = std::max(most.handles, now.handles);
    most.lists = std::max(most.lists, now.lists);
}

void ApplyKeeps(Kinterface& engine, const std::vector<KKeep>& keeps)
{
    for (const KKeep& keep : keeps) {
        if (keep.isNumber) {
            engine.SetVar(keep.name, keep.value);
        } else {
            engine.SetVarString(keep.name, keep.text);
        }
    }
}

// The hero's inputs, written to the library's physical key state as the
// input replay writes them: an arrow held for a few ticks, then another,
// and Space now and then.
class KRandomWalk {
public:
    explicit KRandomWalk(uint64_t seed) : random_(seed)
    {
        constexpr std::array<std::string_view, 4> kArrows = {"key_up", "key_right", "key_down", "key_left"};
        for (size_t i = 0; i < kArrows.size(); ++i) arrows_[i] = KInputSlot(kArrows[i]);
        space_ = KInputSlot("key_space");
    }

    void Step()
    {
        if (ticksLeft_ == 0) {
            KSetLibraryInput(arrows_[held_], false);
            held_ = static_cast<size_t>(random_.Next(static_cast<int32_t>(arrows_.size())));
            ticksLeft_ = kShortestHold + random_.Next(kHoldSpread);
            KSetLibraryInput(arrows_[held_], true);
        }
        --ticksLeft_;
        // Released for a tick after every shot, so each press is a new one.
        spaceDown_ = !spaceDown_ && random_.Next(kFireOdds) == 0;
        KSetLibraryInput(space_, spaceDown_);
    }

    void ReleaseAll()
    {
        for (const int slot : arrows_) KSetLibraryInput(slot, false);
        KSetLibraryInput(space_, false);
    }

private:
    KRandom random_;
    std::array<int, 4> arrows_{};
    int space_ = 0;
    size_t held_ = 0;
    int32_t ticksLeft_ = 0;
    bool spaceDown_ = false;
};

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Why play cannot go on after the pass of tick, or "" while it can.
std::string StopReason(const Kinterface& engine, const KRunnerShell& shell, bool passWent, int32_t boardId,
                       int64_t tick)
{
    const std::string at = " at tick " + std::to_string(tick);
    // A window's frames take passes of their own, so passes ahead of the
    // ticks mean one waited for keys the walk never presses.
    if (shell.PassesRun() > tick + 1) return "a window waited for the player" + at;
    if (!passWent || engine.vPlay.inputEnabled == 0) return "the game ended" + at;
    if (engine.vActiveBoard == nullptr || engine.vActiveBoard->id != boardId) return "the board was left" + at;
    return "";
}

void PlayTicks(const KSoakOptions& options, Kinterface& engine, KRunnerShell& shell, KSoakFigures& figures)
{
    const int32_t boardId = engine.vActiveBoard->id;
    figures.window = std::max<int64_t>(1, std::min(kLongestWindow, options.ticks / 10));
    KRandomWalk walk(options.seed ^ kWalkSeedMix);
    const auto begun = std::chrono::steady_clock::now();
    auto windowBegun = begun;
    double windowCpuBegun = CpuSeconds();
    int64_t rssMost = 0;
    for (int64_t tick = 0; tick < options.ticks && figures.stopped.empty(); ++tick) {
        ApplyKeeps(engine, options.keeps);
        walk.Step();
        const bool passWent = shell.RunPass();
        figures.ticksRun = tick + 1;
        KeepMost(figures.most, CountNow(engine));
        figures.stopped = StopReason(engine, shell, passWent, boardId, tick);
        const int64_t done = tick + 1;
        if (done % figures.window == 0) {
            const auto now = std::chrono::steady_clock::now();
            const double cpu = CpuSeconds();
            const double perTickUs = 1e6 / static_cast<double>(figures.window);
            if (done - figures.window >= options.warmup) {
                figures.windowMeansUs.push_back(Seconds(now - windowBegun) * perTickUs);
                figures.windowCpuUs.push_back((cpu - windowCpuBegun) * perTickUs);
            }
            windowBegun = now;
            windowCpuBegun = cpu;
        }
        if (done == options.warmup) figures.rssWarmupKiB = ResidentKiB();
        if (done % kRssEvery == 0 && done > options.warmup) rssMost = std::max(rssMost, ResidentKiB());
    }
    figures.wallSeconds = Seconds(std::chrono::steady_clock::now() - begun);
    walk.ReleaseAll();
    figures.rssEndKiB = ResidentKiB();
    figures.rssMaxGrowthKiB = std::max(rssMost, figures.rssEndKiB) - figures.rssWarmupKiB;
    figures.endOfPlay = CountNow(engine);
}

double First(const std::vector<double>& means) { return means.empty() ? 0 : means.front(); }
double Last(const std::vector<double>& means) { return means.empty() ? 0 : means.back(); }
double Ratio(const std::vector<double>& means) { return First(means) > 0 ? Last(means) / First(means) : 0; }

void PrintReport(const KSoakOptions& options, const KSoakFigures& figures)
{
    std::printf("quav_soak: %lld of %lld ticks of board '%s' (warm-up %lld, seed %llu) in %.1f s\n",
                static_cast<long long>(figures.ticksRun), static_cast<long long>(options.ticks),
                options.boardName.c_str(), static_cast<long long>(options.warmup),
                static_cast<unsigned long long>(options.seed), figures.wallSeconds);
    std::printf("  resident memory: %lld KiB after warm-up, %lld KiB at end, most growth %lld KiB\n",
                static_cast<long long>(figures.rssWarmupKiB), static_cast<long long>(figures.rssEndKiB),
                static_cast<long long>(figures.rssMaxGrowthKiB));
    std::printf("  mean tick, wall: %.1f us in the first window after warm-up, %.1f us in the last (ratio %.3f; %zu windows of %lld ticks)\n",
                First(figures.windowMeansUs), Last(figures.windowMeansUs), Ratio(figures.windowMeansUs),
                figures.windowMeansUs.size(), static_cast<long long>(figures.window));
    std::printf("  mean tick, processor: %.1f us in the first window, %.1f us in the last (ratio %.3f)\n",
                First(figures.windowCpuUs), Last(figures.windowCpuUs), Ratio(figures.windowCpuUs));
    std::printf("  nodes: %lld at start, %lld at most, %lld at end of play, %lld after restart\n",
                static_cast<long long>(figures.start.nodes), static_cast<long long>(figures.most.nodes),
                static_cast<long long>(figures.endOfPlay.nodes), static_cast<long long>(figures.afterRestart.nodes));
    std::printf("  handles in use: %d at start, %d at most, %d after restart\n", figures.start.handles,
                figures.most.handles, figures.afterRestart.handles);
    std::printf("  lists in use: %d at start, %d at most, %d after restart\n", figures.start.lists,
                figures.most.lists, figures.afterRestart.lists);
}

void AppendField(std::string& out, std::string_view name, const std::string& value, bool last = false)
{
    out += "  ";
    KAppendJsonString(out, name);
    out += ": " + value + (last ? "\n" : ",\n");
}

std::string CountsJson(const KCounts& counts)
{
    return "{\"nodes\": " + std::to_string(counts.nodes) + ", \"handles\": " + std::to_string(counts.handles) +
           ", \"lists\": " + std::to_string(counts.lists) + "}";
}

std::string Number(double value)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.3f", value);
    return text.data();
}

std::string NumberList(const std::vector<double>& values)
{
    std::string out = "[";
    for (const double value : values) out += (out.size() > 1 ? ", " : "") + Number(value);
    return out + "]";
}

std::string ReportJson(const KSoakOptions& options, const KSoakFigures& figures)
{
    std::string board;
    KAppendJsonString(board, options.boardName);
    std::string stopped;
    KAppendJsonString(stopped, figures.stopped);
    std::string out = "{\n";
    AppendField(out, "board", board);
    AppendField(out, "ticks", std::to_string(options.ticks));
    AppendField(out, "ticks_run", std::to_string(figures.ticksRun));
    AppendField(out, "warmup", std::to_string(options.warmup));
    AppendField(out, "seed", std::to_string(options.seed));
    AppendField(out, "wall_seconds", Number(figures.wallSeconds));
    AppendField(out, "rss_warmup_kib", std::to_string(figures.rssWarmupKiB));
    AppendField(out, "rss_end_kib", std::to_string(figures.rssEndKiB));
    AppendField(out, "rss_max_growth_kib", std::to_string(figures.rssMaxGrowthKiB));
    AppendField(out, "window_ticks", std::to_string(figures.window));
    AppendField(out, "tick_us_first_window", Number(First(figures.windowMeansUs)));
    AppendField(out, "tick_us_last_window", Number(Last(figures.windowMeansUs)));
    AppendField(out, "tick_us_ratio", Number(Ratio(figures.windowMeansUs)));
    AppendField(out, "tick_us_windows", NumberList(figures.windowMeansUs));
    AppendField(out, "tick_cpu_us_first_window", Number(First(figures.windowCpuUs)));
    AppendField(out, "tick_cpu_us_last_window", Number(Last(figures.windowCpuUs)));
    AppendField(out, "tick_cpu_us_ratio", Number(Ratio(figures.windowCpuUs)));
    AppendField(out, "tick_cpu_us_windows", NumberList(figures.windowCpuUs));
    AppendField(out, "start", CountsJson(figures.start));
    AppendField(out, "most", CountsJson(figures.most));
    AppendField(out, "end_of_play", CountsJson(figures.endOfPlay));
    AppendField(out, "after_restart", CountsJson(figures.afterRestart));
    AppendField(out, "stopped", stopped, true);
    return out + "}\n";
}

// The faults of a run, one a line; empty when it passed.
std::vector<std::string> Faults(const KSoakFigures& figures)
{
    std::vector<std::string> faults;
    if (!figures.stopped.empty()) faults.push_back(figures.stopped + ": the board stopped playing");
    if (figures.rssMaxGrowthKiB > kMaxGrowthKiB) {
        faults.push_back("resident memory grew by " + std::to_string(figures.rssMaxGrowthKiB) +
                         " KiB after warm-up (at most " + std::to_string(kMaxGrowthKiB) + " KiB allowed)");
    }
    if (figures.afterRestart.handles != figures.start.handles) {
        faults.push_back("handles in use after restart: " + std::to_string(figures.afterRestart.handles) +
                         ", at start: " + std::to_string(figures.start.handles));
    }
    if (figures.afterRestart.lists != figures.start.lists) {
        faults.push_back("lists in use after restart: " + std::to_string(figures.afterRestart.lists) +
                         ", at start: " + std::to_string(figures.start.lists));
    }
    return faults;
}

// Loads the world and starts play as the headless runner does, then makes
// the board active as #switch would; 0 when play is under way.
int StartPlay(const KSoakOptions& options, Kinterface& engine, KRunnerShell& shell)
{
    if (engine.vFont->glyphCount == 0) return kExitFailed;
    engine.vRandom.Seed(options.seed);
    if (!LoadWorld(engine, options.worldPath)) {
        std::fprintf(stderr, "quav_soak: cannot load the world '%s'\n", options.worldPath.c_str());
        return kExitFailed;
    }
    if (!shell.Start(engine.vWindowed, engine.vVideoMode)) return kExitFailed;
    if (!KSwitchToBoard(engine, options.boardName)) {
        std::fprintf(stderr, "quav_soak: the world has no board '%s'\n", options.boardName.c_str());
        return kExitFailed;
    }
    return kExitPassed;
}

int Soak(const KSoakOptions& options)
{
    if (!KStartLibraryHeadless() || chdir(QUAV_OUTPUT_DIR) != 0) {
        std::fprintf(stderr, "quav_soak: cannot start the game library in '%s'\n", QUAV_OUTPUT_DIR);
        return kExitFailed;
    }
    // Texts are 8-bit: one byte, one character.
    set_uformat(U_ASCII);
    Kinterface engine(KRunnerParts());
    KInstallRunnerNotices(engine, true);
    KShellConfig config;
    config.display = KDisplay::Headless;
    // A window that waits for the player ends the run instead of waiting
    // for keys the walk never presses.
    config.passLimit = options.ticks + 1;
    config.worldPath = options.worldPath;
    KRunnerShell shell(engine, config);
    if (const int status = StartPlay(options, engine, shell); status != kExitPassed) return status;

    KSoakFigures figures;
    figures.start = CountNow(engine);
    figures.most = figures.start;
    figures.rssWarmupKiB = ResidentKiB();
    PlayTicks(options, engine, shell, figures);
    shell.RestartGame();
    figures.afterRestart = CountNow(engine);
    shell.Shutdown();

    PrintReport(options, figures);
    if (!options.reportPath.empty() && !KWriteFile(options.reportPath, ReportJson(options, figures))) {
        std::fprintf(stderr, "quav_soak: cannot write the report '%s'\n", options.reportPath.c_str());
        return kExitFailed;
    }
    const std::vector<std::string> faults = Faults(figures);
    for (const std::string& fault : faults) std::fprintf(stderr, "quav_soak: FAILED: %s\n", fault.c_str());
    return faults.empty() ? kExitPassed : kExitFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    KSoakOptions options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "quav_soak: %s\n%.*s", error.c_str(), static_cast<int>(kUsage.size()), kUsage.data());
        return kExitBadArguments;
    }
    // Paths are taken from where the program was started, before it moves
    // into the output folder to find Library/.
    options.worldPath = KAbsolutePath(options.worldPath);
    if (!options.reportPath.empty()) options.reportPath = KAbsolutePath(options.reportPath);
    return Soak(options);
}

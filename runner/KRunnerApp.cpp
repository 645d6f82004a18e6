#include "KRunnerApp.h"

#include "KAlsaTrace.h"
#include "KCommandLine.h"
#include "KInputReplay.h"
#include "KLauncher.h"
#include "KNotices.h"
#include "KAscii.h"
#include "KPaths.h"
#include "KRunnerParts.h"
#include "KRunnerSettings.h"
#include "KRunnerShell.h"
#include "KScreenshot.h"
#include "KScriptTools.h"
#include "KTrace.h"
#include "KTreeDump.h"
#include "KUserWorlds.h"
#include "KWorldFile.h"
#include "Kinterface.h"

#include <allegro.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitNoWorld = 1;
constexpr int kExitBadArguments = 2;

// The enlargement given with --scale, for every game of this run; 0 when
// the kept one is used.
int gScaleAsked = 0;

// Paths from the command line are taken relative to the shell's current
// directory, before the program moves into its own folder.
void ResolvePaths(KRunnerOptions& options)
{
    for (std::string* path : {&options.worldPath, &options.inputPath, &options.screenshotPath, &options.audioPath,
                              &options.midiLogPath}) {
        *path = KAbsolutePath(*path);
    }
    for (std::string* path : {&options.dumpVarsPath, &options.dumpTreePath}) {
        if (*path != "-") *path = KAbsolutePath(*path);
    }
}

// A world in a folder the user cannot write (an installed one) is played
// from its per-user copy, where its saves and #save files can go.
std::string PlayableWorld(const std::string& worldPath)
{
    std::string error;
    std::string playable = KPlayableWorld(worldPath, error);
    if (!error.empty()) std::fprintf(stderr, "quav-runner: %s\n", KPrintable(error).c_str());
    return playable;
}

// A folder would read as an empty replay and a pipe would wait for a
// writer; only regular files are replays.
bool LoadReplay(const std::string& path, KInputReplay& replay, std::string& error)
{
    const KFileKind kind = KKindOfFile(path);
    if (kind == KFileKind::Folder || kind == KFileKind::Other) {
        error = "the input file '" + path + "' is " + (kind == KFileKind::Folder ? "a folder" : "not a regular file");
        return false;
    }
    return replay.Load(path, error);
}

// Writes what a headless run was asked to leave behind.
int WriteOutputs(const KRunnerOptions& options, Kinterface& engine, const KRunnerShell& shell)
{
    int status = kExitDone;
    if (!options.screenshotPath.empty() && !shell.SaveFrame(options.screenshotPath)) {
        std::fprintf(stderr, "quav-runner: cannot write the screenshot '%s'\n", options.screenshotPath.c_str());
        status = kExitNoWorld;
    }
    if (!options.dumpVarsPath.empty() && !KWriteFile(options.dumpVarsPath, KVariablesJson(engine))) {
        std::fprintf(stderr, "quav-runner: cannot write the variables to '%s'\n", options.dumpVarsPath.c_str());
        status = kExitNoWorld;
    }
    if (!options.dumpTreePath.empty() &&
        !KWriteFile(options.dumpTreePath, KTreeJson(*engine.vMain, options.dumpTreeCells))) {
        std::fprintf(stderr, "quav-runner: cannot write the world tree to '%s'\n", options.dumpTreePath.c_str());
        status = kExitNoWorld;
    }
    return status;
}

int RunHeadless(const KRunnerOptions& options)
{
    KInputReplay replay;
    std::string error;
    if (!options.inputPath.empty() && !LoadReplay(options.inputPath, replay, error)) {
        const std::string shown = "quav-runner: " + KPrintable(error) + "\n";
        std::fputs(shown.c_str(), stderr);
        return kExitBadArguments;
    }
    if (!KStartLibraryHeadless()) {
        std::fprintf(stderr, "quav-runner: cannot start the game library\n");
        return kExitNoWorld;
    }
    KRunnerShell::InstallSignalHandlers();
    Kinterface engine(KRunnerParts());
    KInstallRunnerNotices(engine, true);
    if (engine.vFont->glyphCount == 0) return kExitNoWorld;
    engine.vRandom.Seed(options.seeded ? options.seed : 0);
    if (!LoadWorld(engine, options.worldPath)) return kExitNoWorld;

    KShellConfig config;
    config.display = KDisplay::Headless;
    config.passLimit = options.ticks >= 0 ? options.ticks : kDefaultHeadlessTicks;
    config.replay = &replay;
    config.worldPath = options.worldPath;
    config.audioPath = options.audioPath;
    config.midiLogPath = options.midiLogPath;
    KRunnerShell shell(engine, config);
    if (!shell.Start(engine.vWindowed, engine.vVideoMode)) return kExitNoWorld;
    shell.Run();
    int status = WriteOutputs(options, engine, shell);
    shell.Shutdown();
    if (!shell.SoundWritten()) {
        std::fprintf(stderr, "quav-runner: cannot write the sound to '%s' or '%s'\n", options.audioPath.c_str(),
                     options.midiLogPath.c_str());
        status = kExitNoWorld;
    }
    return status;
}

// Loads a world where reports are boxes a person must close: a broken
// world shows a few and a count, not one box per broken record.
bool LoadWindowed(Kinterface& engine, const std::string& worldPath)
{
    KNoticeBurst burst(engine);
    return LoadWorld(engine, worldPath);
}

// Plays the world already loaded into the engine in a window.
bool PlayLoadedWorld(Kinterface& engine, const std::string& worldPath)
{
    KShellConfig config;
    config.worldPath = worldPath;
    config.scale = gScaleAsked != 0 ? gScaleAsked : KLoadScale();
    config.keepScale = true;
    KRunnerShell shell(engine, config);
    bool started = false;
    {
        // Compile errors are drawn together once start-up is over.
        KNoticeBurst burst(engine);
        started = shell.Start(engine.vWindowed, engine.vVideoMode);
    }
    if (!started) return false;
    shell.Run();
    shell.Shutdown();
    return true;
}

// The launcher's Play: the world is read again from its file every time.
void PlayFromLauncher(Kinterface& engine, const std::string& worldPath)
{
    const std::string playable = PlayableWorld(worldPath);
    if (LoadWindowed(engine, playable)) PlayLoadedWorld(engine, playable);
}

int RunWindowed(KRunnerOptions& options)
{
    KRunnerShell::InstallSignalHandlers();
    int started = 0;
    {
        // The library's threads start here; its handlers would end the
        // process under them.
        const KRunnerShell::StopSignalsHeld held;
        started = allegro_init();
    }
    if (started != 0) {
        std::fprintf(stderr, "quav-runner: cannot start the game library: %s\n"
                             "(without a display, quav-runner --headless plays a world)\n", allegro_error);
        return kExitNoWorld;
    }
    KRouteAlsaErrorsToTrace();
    if (options.scale != 0) {
        gScaleAsked = options.scale;
        if (!KSaveScale(options.scale)) KTRACE("The scale could not be kept in %s\n", KRunnerSettingsPath().c_str());
    }
    set_window_title("QUAV! Console");
    set_color_depth(8);
    Kinterface engine(KRunnerParts());
    KInstallRunnerNotices(engine, false);
    if (engine.vFont->glyphCount == 0) return kExitNoWorld;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    engine.vRandom.Seed(options.seeded ? options.seed : static_cast<uint64_t>(now));
    if (options.worldPath.empty()) return KRunLauncher(engine, options.worldPath, PlayFromLauncher);
    if (!LoadWindowed(engine, options.worldPath)) return kExitNoWorld;
    return PlayLoadedWorld(engine, options.worldPath) ? kExitDone : kExitNoWorld;
}

// --check and --dump-program: no window, no play.
int RunScriptTool(const KRunnerOptions& options)
{
    if (!KStartLibraryHeadless()) {
        std::fprintf(stderr, "quav-runner: cannot start the game library\n");
        return kExitNoWorld;
    }
    Kinterface engine(KRunnerParts());
    KInstallRunnerNotices(engine, true);
    const KToolResult result = options.mode == KRunMode::Check
                                   ? KCheckWorld(engine, options.worldPath)
                                   : KDumpPrograms(engine, options.worldPath,
                                                   options.nodeGiven ? &options.nodeName : nullptr);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    return result.status;
}

}  // namespace

int KRunnerMain(const std::vector<std::string_view>& args)
{
    KRunnerOptions options;
    std::string error;
    if (!KParseCommandLine(args, options, error)) {
        std::fprintf(stderr, "quav-runner: %s\nTry 'quav-runner --help'.\n", error.c_str());
        return kExitBadArguments;
    }
    switch (options.mode) {
    case KRunMode::Help: std::fputs(KUsageText().c_str(), stdout); return kExitDone;
    case KRunMode::Version: std::fputs(KVersionText().c_str(), stdout); return kExitDone;
    case KRunMode::Play:
    case KRunMode::Check:
    case KRunMode::DumpProgram: break;
    }
    ResolvePaths(options);
    if (!KEnterDataDir()) {
        std::fprintf(stderr, "quav-runner: cannot enter the program's data folder\n");
        return kExitNoWorld;
    }
    if (options.trace) {
        KTraceEnable(true);
    } else {
        KTraceEnableFromEnvironment();
    }
    // Texts are 8-bit: one byte, one character.
    set_uformat(U_ASCII);
    if (options.mode == KRunMode::Check || options.mode == KRunMode::DumpProgram) return RunScriptTool(options);
    if (!options.worldPath.empty()) options.worldPath = PlayableWorld(options.worldPath);
    return options.headless ? RunHeadless(options) : RunWindowed(options);
}

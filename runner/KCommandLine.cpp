#include "KCommandLine.h"

#include "KParseNumber.h"
#include "KPaths.h"
#include "KVersion.h"

#include <algorithm>
#include <limits>

namespace {

using Apply = bool (*)(KRunnerOptions& options, std::string_view value, std::string& error);

struct OptionRow {
    std::string_view name;
    std::string_view valueName;  // empty: the option takes no value
    Apply apply;
    bool headlessOnly;
    std::string_view help;
};

// An empty name would read as the option not given at all.
bool NamesAFile(std::string_view value, const char* option, std::string& error)
{
    if (!value.empty()) return true;
    error = std::string(option) + " wants a file name, not ''";
    return false;
}

bool SetHelp(KRunnerOptions& options, std::string_view, std::string&)
{
    options.mode = KRunMode::Help;
    return true;
}

bool SetVersion(KRunnerOptions& options, std::string_view, std::string&)
{
    options.mode = KRunMode::Version;
    return true;
}

bool SetCheck(KRunnerOptions& options, std::string_view, std::string&)
{
    options.mode = KRunMode::Check;
    return true;
}

bool SetDumpProgram(KRunnerOptions& options, std::string_view, std::string&)
{
    options.mode = KRunMode::DumpProgram;
    return true;
}

bool SetNode(KRunnerOptions& options, std::string_view value, std::string&)
{
    options.nodeGiven = true;
    options.nodeName = value;
    return true;
}

bool SetHeadless(KRunnerOptions& options, std::string_view, std::string&)
{
    options.headless = true;
    return true;
}

bool SetTrace(KRunnerOptions& options, std::string_view, std::string&)
{
    options.trace = true;
    return true;
}

bool SetTicks(KRunnerOptions& options, std::string_view value, std::string& error)
{
    if (KParseNumber<int64_t>(value, 0, std::numeric_limits<int32_t>::max(), options.ticks)) return true;
    error = "--ticks wants a number of ticks from 0 to 2147483647, not '" + std::string(value) + "'";
    return false;
}

bool SetSeed(KRunnerOptions& options, std::string_view value, std::string& error)
{
    if (KParseNumber<uint64_t>(value, 0, std::numeric_limits<uint64_t>::max(), options.seed)) {
        options.seeded = true;
        return true;
    }
    error = "--seed wants a whole number from 0 to 18446744073709551615, not '" + std::string(value) + "'";
    return false;
}

bool SetScale(KRunnerOptions& options, std::string_view value, std::string& error)
{
    if (KParseNumber<int>(value, 1, 4, options.scale)) return true;
    error = "--scale wants 1, 2, 3 or 4, not '" + std::string(value) + "'";
    return false;
}

bool SetInput(KRunnerOptions& options, std::string_view value, std::string& error)
{
    options.inputPath = value;
    return NamesAFile(value, "--input", error);
}

bool SetScreenshot(KRunnerOptions& options, std::string_view value, std::string& error)
{
    options.screenshotPath = value;
    return NamesAFile(value, "--screenshot", error);
}

bool SetDumpVars(KRunnerOptions& options, std::string_view value, std::string& error)
{
    options.dumpVarsPath = value;
    return NamesAFile(value, "--dump-vars", error);
}

bool SetDumpTree(KRunnerOptions& options, std::string_view value, std::string&)
{
    options.dumpTreePath = value;
    return true;
}

bool SetAudio(KRunnerOptions& options, std::string_view value, std::string& error)
{
    options.audioPath = value;
    return NamesAFile(value, "--audio", error);
}

bool SetMidiLog(KRunnerOptions& options, std::string_view value, std::string& error)
{
    options.midiLogPath = value;
    return NamesAFile(value, "--midi-log", error);
}

bool SetDumpTreeCells(KRunnerOptions& options, std::string_view, std::string&)
{
    options.dumpTreeCells = true;
    return true;
}

constexpr OptionRow kOptions[] = {
    {"--headless", "", SetHeadless, false, "play without a window: one tick and one frame a loop pass"},
    {"--ticks", "N", SetTicks, true, "end a headless run after N ticks (default 600), exit status 0"},
    {"--input", "FILE", SetInput, true, "replay the inputs of FILE (see below)"},
    {"--screenshot", "FILE", SetScreenshot, true, "save the last frame as FILE: PNG when it ends in .png, else BMP"},
    {"--seed", "S", SetSeed, false, "seed the game's random numbers"},
    {"--scale", "N", SetScale, false, "show the game N times larger (1 to 4); kept for later runs"},
    {"--dump-vars", "FILE", SetDumpVars, true, "write the variables at exit as a JSON object (- for standard output)"},
    {"--dump-tree", "FILE", SetDumpTree, true, "write the world tree at exit as JSON (- for standard output)"},
    {"--dump-tree-cells", "", SetDumpTreeCells, true, "with --dump-tree: every node's cells too"},
    {"--audio", "FILE", SetAudio, true, "write the run's sound to FILE as 16-bit stereo WAV, 1/60 s a tick"},
    {"--midi-log", "FILE", SetMidiLog, true, "write every MIDI message sent: the tick, then its bytes"},
    {"--check", "", SetCheck, false, "compile every script of WORLD without playing; list the errors"},
    {"--dump-program", "", SetDumpProgram, false, "write the compiled programs of WORLD as JSON"},
    {"--node", "NAME", SetNode, false, "with --dump-program: only the nodes named NAME"},
    {"--trace", "", SetTrace, false, "write progress lines to allegro.log beside the program"},
    {"--version", "", SetVersion, false, "print the program's name and version"},
    {"--help", "", SetHelp, false, "print this help"},
};

const OptionRow* FindOption(std::string_view name)
{
    for (const OptionRow& row : kOptions) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

bool CheckCombination(const KRunnerOptions& options, std::string& error)
{
    if (options.nodeGiven && options.mode != KRunMode::DumpProgram) {
        error = "--node goes with --dump-program";
        return false;
    }
    if (options.mode == KRunMode::Check || options.mode == KRunMode::DumpProgram) {
        if (options.worldPath.empty()) {
            error = std::string(options.mode == KRunMode::Check ? "--check" : "--dump-program") + " needs a world file";
            return false;
        }
        return true;
    }
    if (options.mode != KRunMode::Play) return true;
    if (!options.headless) {
        for (const std::string_view name : options.given) {
            const OptionRow* row = FindOption(name);
            if (row != nullptr && row->headlessOnly) {
                error = std::string(name) + " needs --headless";
                return false;
            }
        }
        return true;
    }
    if (options.worldPath.empty()) {
        error = "--headless needs a world file";
        return false;
    }
    if (options.dumpTreeCells && options.dumpTreePath.empty()) {
        error = "--dump-tree-cells goes with --dump-tree";
        return false;
    }
    return true;
}

}  // namespace

bool KParseCommandLine(const std::vector<std::string_view>& args, KRunnerOptions& options, std::string& error)
{
    bool sawWorld = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.size() > 1 && arg.substr(0, 2) == "--") {
            const OptionRow* row = FindOption(arg);
            if (row == nullptr) {
                error = "unknown option " + std::string(arg);
                return false;
            }
            std::string_view value;
            if (!row->valueName.empty()) {
                if (i + 1 >= args.size()) {
                    error = std::string(arg) + " needs " + std::string(row->valueName);
                    return false;
                }
                value = args[++i];
            }
            if (!row->apply(options, value, error)) return false;
            options.given.push_back(row->name);
            continue;
        }
        if (sawWorld) {
            error = "more than one world file: '" + options.worldPath + "' and '" + std::string(arg) + "'";
            return false;
        }
        sawWorld = true;
        options.worldPath = KUnquoted(arg);
    }
    return CheckCombination(options, error);
}

std::string KVersionText() { return "quav-runner (QUAV!) " QUAV_VERSION "\n"; }

std::string KUsageText()
{
    std::string text =
        "Usage: quav-runner [WORLD]\n"
        "       quav-runner --headless [options] WORLD\n"
        "       quav-runner --check WORLD\n"
        "       quav-runner --dump-program WORLD [--node NAME]\n"
        "\n"
        "Plays the world file WORLD (.zqav) in a window; without WORLD the launcher\n"
        "opens, where a world is chosen with Open and started with Play.\n"
        "\n"
        "Options:\n";
    for (const OptionRow& row : kOptions) {
        std::string left = "  " + std::string(row.name);
        if (!row.valueName.empty()) left += " " + std::string(row.valueName);
        left.resize(std::max<size_t>(left.size() + 1, 22), ' ');
        text += left + std::string(row.help) + "\n";
    }
    text +=
        "\n"
        "In a window, F11 cycles the enlargement through 1x to 4x; the last one\n"
        "chosen is kept in quav/runner.cfg under $XDG_CONFIG_HOME (or ~/.config).\n"
        "Screenshots keep the game's own size. Headless play is never enlarged.\n"
        "\n"
        "Headless play starts the game library without a system driver and draws\n"
        "into a memory bitmap of the world's video mode; there is no window and no\n"
        "timer, so a run with the same world, inputs and seed plays the same way.\n"
        "Without --seed a headless run uses seed 0.\n"
        "\n"
        "An input file holds one event a line; T is the 0-based tick at whose start\n"
        "the input changes:\n"
        "  T NAME down      press an input, e.g. 12 key_up down\n"
        "  T NAME up        release it\n"
        "  T mouse X Y      move the mouse to pixel (X, Y)\n"
        "  T type TEXT      type TEXT, which is all of the line after the one blank\n"
        "                   behind 'type' (blanks inside are typed too)\n"
        "NAME is a script input name: key_a .. key_z, key_0 .. key_9, key_space,\n"
        "key_left, key_lshift, key_esc, key_printscreen, mouse_b1 .. mouse_b3,\n"
        "j1_up .. j4_b9 and the rest of the key names. key_sleft .. key_sdown,\n"
        "key_shift, key_ctrl and key_alt follow from the keys held and cannot be\n"
        "replayed. Blank lines and lines starting with # are skipped. Escape and\n"
        "Print Screen act as in a window; screenshots go to Worlds/Screens/ (see\n"
        "Files).\n"
        "\n"
        "Windows that wait for the player inside a tick (the scroll window, the\n"
        "menu, a held Escape) run no game ticks, but every frame they show takes\n"
        "the next tick of the input file and counts towards --ticks. A run whose\n"
        "ticks end while such a window waits ends there: its last frame is the\n"
        "window's, and --screenshot saves it. Typed text is kept until the end\n"
        "of its tick, for a window open then; nobody else reads it.\n"
        "\n"
        "The scroll window (several lines said at once) takes key_up and key_down\n"
        "(a line), key_pgup and key_pgdn (ten), key_enter (when let go: follow the\n"
        "selected link, else close), key_esc (close) and, on an input line,\n"
        "key_left, key_right, key_backspace, key_del and typed text; j1_up,\n"
        "j1_down, j1_left, j1_right and j1_b0 act as Up, Down, Page Up, Page Down\n"
        "and Enter. A key held as it opens counts once let go; a key held for 24\n"
        "frames repeats every 4.\n"
        "\n"
        "Escape opens the in-game menu once it is let go. Its keys act when pressed\n"
        "(a key held as a page opens counts once let go and pressed again):\n"
        "key_q quits (the run ends), key_r restarts the world from its file,\n"
        "key_esc closes the menu, key_s and key_l open the slot page to save or\n"
        "load (not while the variable nosave is set), where key_f1 .. key_f12 pick\n"
        "a slot (WORLD without its extension, the slot number and .qsg, beside the\n"
        "world: castle.3.qsg) and key_esc leaves. key_printscreen saves a\n"
        "screenshot. The menu returns once Escape is up; then the tick goes on.\n"
        "For example, to save in slot 3 and load it back later:\n"
        "  10 key_esc down / 11 key_esc up / 12 key_s down / 13 key_s up /\n"
        "  14 key_f3 down / 15 key_f3 up, and later the same with key_l.\n"
        "\n"
        "--dump-tree writes an array with one object per node, depth first from\n"
        "the boards (depth 0): {\"name\", \"depth\", \"id\", \"parent\", \"ownerid\",\n"
        "\"posx\", \"posy\", \"posz\", \"width\", \"height\", \"viewx\", \"viewy\",\n"
        "\"vieww\", \"viewh\", \"running\", \"locked\", \"wait\", \"cycle\",\n"
        "\"current_line\", \"collide_mode\", \"walk_dir\", \"dead\"}; with\n"
        "--dump-tree-cells also \"cells\": rows of [char, fg, bg, attrib].\n"
        "\n"
        "Headless play opens no audio device: the sound is mixed in game time,\n"
        "44,100 frames a second, 735 a tick, so --audio holds exactly the ticks\n"
        "run. --midi-log writes one line per play-string message, the tick and the\n"
        "message's bytes in decimal: \"12 158 48 127\" is a note on, key 48, on\n"
        "channel 14 in tick 12.\n"
        "\n"
        "--check writes one line NODE:LINE: MESSAGE for every compile error to\n"
        "standard error and exits 0 when there are none, 1 when there are.\n"
        "--dump-program writes an array with one object per node, depth first:\n"
        "{\"node\", \"id\", \"current_line\", \"lines\": [[{\"code\", \"target\"}, ...], ...],\n"
        "\"markers\": [{\"name\", \"line\", \"command\", \"active\"}],\n"
        "\"keymarkers\": [{\"input\", \"marker\"}]}; each code byte is the character\n"
        "with the same number.\n"
        "\n"
        "Files: Library/ and Worlds/ are found beside the program (a build) or in\n"
        "../share/quav from it (an installed tree). A world in a folder the user\n"
        "cannot write is played from its copy in $XDG_DATA_HOME/quav/Worlds\n"
        "(~/.local/share/quav/Worlds), made at first use with the files beside it\n"
        "that are named after it (vault_theme.mid, vault.win.replay); its saved\n"
        "games and #save files go there, and screenshots go to Screens/ there\n"
        "when Worlds/ cannot be written.\n"
        "\n"
        "Exit status: 0 done, 1 the world could not be loaded (or no screen could\n"
        "be had, or an output file could not be written; --check: compile errors),\n"
        "2 bad arguments.\n";
    return text;
}

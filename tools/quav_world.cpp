// quav-world — looks inside a world file.
//
//   quav-world info [--json] [--trace] WORLD   video mode, window flag, font sheet, boards
//   quav-world tree [--json] [--trace] WORLD   every node, depth first
//
// A world that cannot be loaded exits with status 1 and the reason on
// standard error; bad arguments exit with status 2.

#include "KAscii.h"
#include "KJson.h"
#include "KPaths.h"
#include "KTrace.h"
#include "KVersion.h"
#include "KWorldFile.h"
#include "Kinterface.h"

#include <allegro.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: quav-world info [--json] [--trace] WORLD\n"
    "       quav-world tree [--json] [--trace] WORLD\n";

constexpr const char* kHelpDetails =
    "\n"
    "Looks inside a QUAV! world file (.zqav) without playing it.\n"
    "\n"
    "Commands:\n"
    "  info          the video mode, the window flag, the font sheet and the boards\n"
    "  tree          every node, depth first: name, id, depth, position, size, view\n"
    "                and the length of its script\n"
    "\n"
    "Options:\n"
    "  --json        write JSON instead of text\n"
    "  --trace       switch on the engine's trace log\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the program's name and version and exit\n"
    "\n"
    "Exit status: 0 done, 1 the world could not be loaded (the reason is on\n"
    "standard error), 2 bad arguments.\n";

// Whole texts, NUL bytes included; a failed write is an error like any other.
bool Print(const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// Reports name what is wrong with a stranger's file, often in its own words.
void ReportPrintably(KNoticeKind, const std::string& caption, const std::string& body)
{
    const std::string text = KPrintable(caption) + "\n" + KPrintable(body) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

const char* ModeName(int mode)
{
    static const char* const kNames[] = {"320 x 240", "640 x 480", "800 x 600", "1024 x 768"};
    return mode >= 0 && mode <= 3 ? kNames[mode] : "unknown";
}

int CountBelow(const Kobject& node)
{
    int count = 0;
    for (const auto& child : node.children) count += 1 + CountBelow(*child);
    return count;
}

int ScriptLines(const std::string& source)
{
    if (source.empty()) return 0;
    int lines = 1;
    for (const char c : source) lines += c == '\n' ? 1 : 0;
    return lines;
}

bool PrintInfo(Kinterface& engine, bool json)
{
    const Kfont& font = *engine.vFont;
    const int sheetW = KBitmapWidth(font.sheet.get());
    const int sheetH = KBitmapHeight(font.sheet.get());
    std::string out;
    if (json) {
        out += "{\"video_mode\": " + std::to_string(engine.vVideoMode) +
               ", \"windowed\": " + std::to_string(engine.vWindowed) + ", \"sheet\": {\"width\": " +
               std::to_string(sheetW) + ", \"height\": " + std::to_string(sheetH) +
               ", \"glyphs\": " + std::to_string(font.glyphCount) + "}, \"boards\": [";
        bool first = true;
        for (const auto& board : engine.vMain->children) {
            out += first ? "" : ", ";
            out += "{\"name\": " + KJsonString(board->name) + ", \"id\": " + std::to_string(board->id) +
                   ", \"width\": " + std::to_string(board->width) + ", \"height\": " + std::to_string(board->height) +
                   ", \"objects\": " + std::to_string(CountBelow(*board)) + "}";
            first = false;
        }
        out += "]}\n";
    } else {
        out += "video mode: " + std::to_string(engine.vVideoMode) + " (" + ModeName(engine.vVideoMode) + ")\n";
        out += "windowed: " + std::to_string(engine.vWindowed) + "\n";
        out += "font sheet: " + std::to_string(sheetW) + " x " + std::to_string(sheetH) + " pixels, " +
               std::to_string(font.glyphCount) + " glyphs\n";
        out += "boards: " + std::to_string(engine.vMain->children.size()) + "\n";
        for (const auto& board : engine.vMain->children) {
            out += "  " + KPrintable(board->name) + ": " + std::to_string(board->width) + " x " + std::to_string(board->height) +
                   " cells, " + std::to_string(CountBelow(*board)) + " objects\n";
        }
    }
    return Print(out);
}

void AppendNode(std::string& out, const Kobject& node, int depth, bool json, bool& first)
{
    const int lines = ScriptLines(node.source);
    if (json) {
        out += first ? "\n  " : ",\n  ";
        out += "{\"depth\": " + std::to_string(depth) + ", \"name\": " + KJsonString(node.name) +
               ", \"id\": " + std::to_string(node.id) + ", \"posz\": " + std::to_string(node.posz) +
               ", \"posx\": " + std::to_string(node.posx) + ", \"posy\": " + std::to_string(node.posy) +
               ", \"width\": " + std::to_string(node.width) + ", \"height\": " + std::to_string(node.height) +
               ", \"viewx\": " + std::to_string(node.viewx) + ", \"viewy\": " + std::to_string(node.viewy) +
               ", \"vieww\": " + std::to_string(node.vieww) + ", \"viewh\": " + std::to_string(node.viewh) +
               ", \"script_lines\": " + std::to_string(lines) + "}";
    } else {
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + KPrintable(node.name) + "  id " + std::to_string(node.id) +
               "  z " + std::to_string(node.posz) + "  at " + std::to_string(node.posx) + "," +
               std::to_string(node.posy) + "  size " + std::to_string(node.width) + "x" +
               std::to_string(node.height) + "  view " + std::to_string(node.viewx) + "," +
               std::to_string(node.viewy) + " " + std::to_string(node.vieww) + "x" + std::to_string(node.viewh) +
               "  script " + std::to_string(lines) + " lines\n";
    }
    first = false;
    for (const auto& child : node.children) AppendNode(out, *child, depth + 1, json, first);
}

bool PrintTree(Kinterface& engine, bool json)
{
    std::string out = json ? "[" : "";
    bool first = true;
    for (const auto& board : engine.vMain->children) AppendNode(out, *board, 0, json, first);
    if (json) out += first ? "]\n" : "\n]\n";
    return Print(out);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string command;
    std::string world;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--json") {
            json = true;
        } else if (argument == "--trace") {
            KTraceEnable(true);
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelpDetails, stdout);
            return 0;
        } else if (argument == "--version") {
            std::fputs("quav-world (QUAV!) " QUAV_VERSION "\n", stdout);
            return 0;
        } else if (command.empty()) {
            command = argument;
        } else if (world.empty()) {
            world = KUnquoted(argument);
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if ((command != "info" && command != "tree") || world.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    world = KAbsolutePath(world);
    if (!KEnterDataDir() || !KStartLibraryHeadless()) {
        std::fputs("quav-world: unable to start\n", stderr);
        return 1;
    }
    KTraceEnableFromEnvironment();
    Kinterface engine(KParts{KFlavour::Runner});
    engine.SetNoticeSink(ReportPrintably);
    if (!LoadWorld(engine, world)) return 1;
    const bool printed = command == "info" ? PrintInfo(engine, json) : PrintTree(engine, json);
    if (!printed) {
        std::fputs("quav-world: cannot write the output\n", stderr);
        return 1;
    }
    return 0;
}
END_OF_MAIN()

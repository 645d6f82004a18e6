#pragma once
// Support for tests that drive the real quav-runner: a sandbox folder with
// its own copy of the program (which writes screenshots beside itself),
// small worlds to play in it, readers of what a run dumps and photographs,
// child processes, and a private X server.

#include "KBitmap.h"
#include "TestSupport.h"

#include <sys/types.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One headless run and all it dumped.
struct Played {
    int status = -1;
    std::string tree;
    std::string vars;
    std::string output;
};

// A folder holding quav-runner, a link to the Library, and Worlds/ with the
// welcome world and an empty Screens/.
class RunnerSandbox {
public:
    RunnerSandbox();
    const std::string& Dir() const { return dir_.Path(); }
    std::string Runner() const { return dir_.File("quav-runner"); }
    std::string Screens() const { return dir_.File("Worlds/Screens"); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    // Runs the runner with arguments (shell words) from the sandbox folder;
    // standard output and error are collected in output.
    int Run(const std::string& arguments, std::string* output = nullptr) const;
    // Plays world headless for ticks with seed 7, dumping the tree (with
    // cells) and the variables; extra arguments go before the world. A run
    // that does not end with status 0 fails the test.
    Played Play(const std::string& world, int ticks, const std::string& extra = "") const;

private:
    TempDir dir_;
};

// An object of a test world: its cells show the world's object glyph in fg
// on 1.
struct TestPiece {
    std::string name;
    std::string script;
    int x = 1;
    int y = 1;
    int w = 1;
    int h = 1;
    int fg = 14;
    std::vector<TestPiece> children = {};
};

// A cell of a board drawn as a red block with a movement attribute.
struct TestWall {
    int x, y, attrib;
};

// A board of a test world, filled with blue blanks (0 in 1 on 1).
struct TestBoard {
    std::string name;
    int w = 80;
    int h = 60;
    int z = 0;
    std::vector<TestWall> walls = {};
    std::vector<TestPiece> pieces = {};
    std::string script = {};
};

struct TestWorld {
    int videoMode = 1;
    int objectGlyph = 2;
    // Anything more, added to the world before it is saved.
    std::function<void(TestEngine&)> extra = {};
};

// Saves the boards as a world file at path; false (and a test failure) when
// it cannot be written.
bool WriteTestWorld(const std::string& path, const std::vector<TestBoard>& boards, const TestWorld& world = {});
// One 80 x 60 board "Main" (mode 1) holding the pieces.
bool WriteTestWorld(const std::string& path, const std::vector<TestPiece>& pieces);

// The text of an entry of a zip archive, or "missing".
std::string ZipEntry(const std::string& archive, const std::string& entry);

// What a --dump-vars object holds for name: its text as written, or "missing".
std::string VarText(const std::string& json, const std::string& name);
constexpr int kMissing = -99999;
// The same read as an integer (from a number or a quoted text), or kMissing.
int VarInt(const std::string& json, const std::string& name);

// Readers of a --dump-tree dump. index picks among nodes of the same name.
size_t NodeAt(const std::string& tree, const std::string& name, int index = 0);
// The integer field of the named node, or kMissing.
int IntField(const std::string& tree, const std::string& name, const std::string& field, int index = 0);
int CountNodes(const std::string& tree, const std::string& name);
// The cells of the named node, row-major (needs --dump-tree-cells).
std::vector<std::array<int, 4>> CellsOf(const std::string& tree, const std::string& name, int index = 0);

// A screenshot read back against the font, cell by cell.
class ShotScreen {
public:
    explicit ShotScreen(const std::string& bmp);
    bool Loaded() const { return shot_ != nullptr; }
    // Whether cell (x, y) shows chr in fg on bg.
    bool Shows(int x, int y, int chr, int fg, int bg);
    // Count cells from (x, y) read as text in fg on bg; '?' for a cell that
    // shows no printable character in those colours.
    std::string Row(int x, int y, int count, int fg, int bg);
    // The same for text whose strokes are in colour, whatever shows through
    // around them.
    std::string Strokes(int x, int y, int count, int colour);
    // Pixels of colour in the w x h cells from cell (x, y); -1 w or h is to
    // the screen's edge.
    int Pixels(int x, int y, int w, int h, int colour) const;
    int Rows() const;
    // Whether text in the game library's own font (messages, the frame
    // rate) shows in colour at pixel (x, y), with nothing more of that
    // colour in the next character's place.
    bool ShowsLibraryText(int x, int y, const std::string& text, int colour) const;
    // The red part (0 to 63) of a colour of the palette the shot was saved with.
    int PaletteRed(int index) const { return reds_[static_cast<size_t>(index)]; }

private:
    bool StrokesAt(int x, int y, int chr, int colour);
    // Count cells read as the printable character each shows, '?' for none.
    std::string Read(int count, const std::function<bool(int cell, int chr)>& cellShows);

    TestEngine engine_;
    KBitmap shot_;
    KBitmap glyph_;
    std::array<int, 256> reds_{};
};

// A child process started without a shell, its output sent to a file.
class ChildProcess {
public:
    // passFd, when given, becomes the child's descriptor 3.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                 const std::string& workingDir, const std::string& outputFile, int passFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Started() const { return pid_ > 0; }
    bool Running();
    // Sends the signal to the child; false when it has ended.
    bool Signal(int signal);
    // Waits up to seconds for the end; the exit status, or -1 (still
    // running or killed by a signal).
    int Wait(double seconds);
    // The signal that ended the child, or 0.
    int EndSignal() const { return endSignal_; }
    // Whether it left a core file as it ended.
    bool DumpedCore() const { return dumpedCore_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    int endSignal_ = 0;
    bool dumpedCore_ = false;
    bool ended_ = false;
};

// Xvfb on a display number it picks itself, for as long as the object lives.
class XServer {
public:
    // screenSize: Xvfb's screen as WIDTHxHEIGHTxDEPTH.
    explicit XServer(const std::string& screenSize = "1024x768x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool Running() const { return server_ != nullptr; }
    std::string Display() const { return ":" + std::to_string(number_); }
    // Runs an X client command through the shell with DISPLAY set.
    int Run(const std::string& command, std::string* output = nullptr) const;
    // The first window whose title is exactly title, waiting up to seconds; "" if none.
    std::string FindWindow(const std::string& title, double seconds) const;
    // The window's size in pixels as "WIDTHxHEIGHT", "" when it cannot be read.
    std::string WindowSize(const std::string& window) const;

private:
    int number_ = 0;
    std::unique_ptr<ChildProcess> server_;
};

// A key pressed at tick and let go at the next, as replay lines.
std::string Press(int tick, const std::string& name);
// Keys pressed one after another, every second tick from tick on.
std::string Presses(int tick, const std::vector<std::string>& names);

bool HaveProgram(const std::string& name);
// Sleeps for seconds.
void Pause(double seconds);

// The real quav-runner in a window on a private X server: the picture in the
// window matches a headless run, the close button ends the game, an idle
// game leaves the processor alone, the window can be enlarged, signals end
// it cleanly, and the launcher opens worlds, photographed as a player sees
// it, and keeps Enter and Escape from closing it.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// Where the launcher's buttons are.
constexpr int kButtonY = 70;
constexpr int kPlayX = 40;
constexpr int kOpenX = 110;
constexpr int kAboutX = 674;
constexpr int kQuitX = 744;

// The processor time (user and system) a process has used, in seconds.
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    if (text.rfind(')') == std::string::npos) return 0;
    // The fields after the command's name, which is in parentheses.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index >= 14) ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A picture of a window as x_grab_window writes it (binary PPM).
struct Photo {
    int width = 0;
    int height = 0;
    std::string rgb;
    bool Dark(int x, int y) const
    {
        const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return static_cast<unsigned char>(rgb[at]) < 64 && static_cast<unsigned char>(rgb[at + 1]) < 64 &&
               static_cast<unsigned char>(rgb[at + 2]) < 64;
    }
    int DarkInRow(int y) const
    {
        int count = 0;
        for (int x = 0; x < width; ++x) count += Dark(x, y) ? 1 : 0;
        return count;
    }
};

Photo ReadPhoto(const std::string& path)
{
    Photo photo;
    const std::string bytes = ReadFileBytes(path);
    int depth = 0;
    int header = 0;
    if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &photo.width, &photo.height, &depth, &header) != 3) return {};
    photo.rgb = bytes.substr(static_cast<size_t>(header) + 1);
    if (photo.rgb.size() != static_cast<size_t>(photo.width) * static_cast<size_t>(photo.height) * 3) return {};
    return photo;
}

class Window : public testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveProgram("Xvfb") || !HaveProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is missing";
        // Room for a game enlarged four times.
        server = std::make_unique<XServer>("2600x1960x24");
        if (!server->Running()) GTEST_SKIP() << "Xvfb did not start";
    }

    std::unique_ptr<ChildProcess> StartRunner(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{sandbox.Runner()};
        argv.insert(argv.end(), args.begin(), args.end());
        // The settings the runner keeps live in the sandbox, not in the
        // home of whoever runs the tests.
        return std::make_unique<ChildProcess>(argv,
                                              std::vector<std::string>{"DISPLAY=" + server->Display(), "QUAV_TRACE=1",
                                                                       "XDG_CONFIG_HOME=" + sandbox.File("config")},
                                              sandbox.Dir(), sandbox.File("runner.log"));
    }

    // Starts the runner and waits for its window.
    std::unique_ptr<ChildProcess> StartRunnerWindow(const std::vector<std::string>& args, const std::string& title,
                                                    std::string& window)
    {
        auto runner = StartRunner(args);
        window.clear();
        for (int wait = 0; wait < 40 && window.empty() && runner->Running(); ++wait) {
            window = server->FindWindow(title, 0.5);
        }
        return runner;
    }

    // What the window shows now.
    Photo Photograph(const std::string& window, const std::string& name)
    {
        const std::string path = sandbox.File(name + ".ppm");
        server->Run(std::string(QUAV_TEST_TOOLS_BIN) + "/x_grab_window " + window + " " + path);
        return ReadPhoto(path);
    }

    // The window of that title that has the size wanted, waiting up to
    // seconds (the library names a window before it sets its mode); "" if
    // none comes.
    std::string WindowOfSize(const std::string& title, const std::string& size, double seconds)
    {
        for (double waited = 0; waited < seconds; waited += 0.2) {
            std::string ids;
            server->Run("xdotool search --name '^" + title + "$' 2>/dev/null", &ids);
            std::istringstream list(ids);
            seenSizes.clear();
            for (std::string id; std::getline(list, id);) {
                const std::string shown = server->WindowSize(id);
                if (shown == size) return id;
                seenSizes += id + ":" + shown + " ";
            }
            Pause(0.2);
        }
        return {};
    }

    std::string Log() { return ReadFileBytes(sandbox.File("runner.log")) + ReadFileBytes(sandbox.File("allegro.log")); }

    // Presses and releases a key in the window, holding it long enough for
    // the loop to see it.
    void Press(const std::string& window, const std::string& key)
    {
        server->Run("xdotool windowfocus --sync " + window + " keydown " + key + " sleep 0.3 keyup " + key);
    }

    // Holds the button a moment: the dialog polls the button's state.
    void Click(const std::string& window, int x, int y)
    {
        server->Run("xdotool mousemove --sync --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                    " sleep 0.2 mousedown 1 sleep 0.2 mouseup 1");
    }

    void Close(const std::string& window)
    {
        server->Run(std::string(QUAV_TEST_TOOLS_BIN) + "/x_close_window " + window);
    }

    bool WaitForFile(const std::string& path, double seconds)
    {
        for (double waited = 0; waited < seconds; waited += 0.1) {
            if (FileExists(path)) return true;
            Pause(0.1);
        }
        return false;
    }

    std::unique_ptr<XServer> server;
    RunnerSandbox sandbox;
    std::string seenSizes;  // the windows WindowOfSize saw last
};

TEST_F(Window, PrintScreenShowsWhatAHeadlessRunShowsAndCloseEndsTheGame)
{
    std::string window;
    auto runner = StartRunnerWindow({"Worlds/welcome.zqav"}, "QUAV! Console", window);
    ASSERT_FALSE(window.empty()) << ReadFileBytes(sandbox.File("runner.log"));
    Pause(0.5);
    Press(window, "Print");
    const std::string shot = sandbox.Screens() + "/00000.bmp";
    ASSERT_TRUE(WaitForFile(shot, 10)) << ReadFileBytes(sandbox.File("runner.log"));
    Pause(0.3);
    EXPECT_EQ(FilesIn(sandbox.Screens()).size(), 1u);

    // Escape (the menu's key) and Enter leave the game running.
    Press(window, "Escape");
    Press(window, "Return");
    Pause(0.3);
    EXPECT_TRUE(runner->Running());

    Close(window);
    EXPECT_EQ(runner->Wait(10), 0) << ReadFileBytes(sandbox.File("runner.log"));

    std::string output;
    ASSERT_EQ(sandbox.Run("--headless --ticks 30 --screenshot headless.bmp Worlds/welcome.zqav", &output), 0) << output;
    const std::string windowed = ReadFileBytes(shot);
    EXPECT_GT(windowed.size(), 640u * 480u);
    EXPECT_TRUE(windowed == ReadFileBytes(sandbox.File("headless.bmp"))) << "the window's picture differs";
}

// An instrumented build spends several times the processor on each frame
// it does draw, so its bound is looser; the frame rate read from the
// screen below holds it to the timer all the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kIdleShareBound = 0.35;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kIdleShareBound = 0.35;
#else
constexpr double kIdleShareBound = 0.12;
#endif
#else
constexpr double kIdleShareBound = 0.12;
#endif

// An idle game draws a frame per tick, not as many as the processor
// allows: the process's processor time over some seconds stays far below
// the fifth of a core the spinning loop took, and the frame rate shown
// with the tilde key is the timer's. No sound card: the sound system's
// complaints stay off standard error.
TEST_F(Window, AnIdleGameWaitsForTheTimer)
{
    std::string window;
    auto runner = StartRunnerWindow({"Worlds/welcome.zqav"}, "QUAV! Console", window);
    ASSERT_FALSE(window.empty()) << Log();
    Pause(2);
    const double before = CpuSeconds(runner->Pid());
    Pause(5);
    const double share = (CpuSeconds(runner->Pid()) - before) / 5;
    EXPECT_LT(share, kIdleShareBound) << "of a core, sitting on the title";

    server->Run("xdotool windowfocus --sync " + window +
                " keydown grave sleep 1.5 keydown Print sleep 0.3 keyup Print sleep 0.3 keyup grave");
    const std::string shot = sandbox.Screens() + "/00000.bmp";
    ASSERT_TRUE(WaitForFile(shot, 10)) << Log();
    Pause(0.3);
    ShotScreen screen(shot);
    int rate = 0;
    for (int shown = 1; shown <= 61 && rate == 0; ++shown) {
        if (screen.ShowsLibraryText(0, 472, "FPS: " + std::to_string(shown), 15)) rate = shown;
    }
    EXPECT_NE(rate, 0) << "the frame rate shown is at most one frame a tick";

    // Presses of 10 ms, under a frame, are not lost. The library itself
    // drops a press whose release it reads in the same batch of events
    // (a press and a release with one time stamp, or a busy machine), so
    // one of four may go: the loop that read only the key array missed
    // nearly all of them.
    for (int tap = 0; tap < 4; ++tap) server->Run("xdotool keydown Print sleep 0.01 keyup Print sleep 0.3");
    EXPECT_TRUE(WaitForFile(sandbox.Screens() + "/00003.bmp", 10)) << "a screenshot a tap";

    Close(window);
    EXPECT_EQ(runner->Wait(10), 0) << Log();
    EXPECT_EQ(ReadFileBytes(sandbox.File("runner.log")).find("ALSA"), std::string::npos) << Log();
}

// The game library's own handlers would shut it down under the running
// game; the runner's end the loop, and the program exits as from Quit,
// from a game and from the launcher alike. A signal that comes while the
// program starts ends it too, never with an abort or a core.
TEST_F(Window, SigintAndSigtermEndTheGameAndTheLauncherCleanly)
{
    struct Case {
        std::vector<std::string> args;
        const char* title;
    };
    const Case cases[] = {{{"Worlds/welcome.zqav"}, "QUAV! Console"}, {{}, "QUAV! Runner"}};
    for (const Case& run : cases) {
        for (const int signal : {SIGINT, SIGTERM}) {
            std::string window;
            auto runner = StartRunnerWindow(run.args, run.title, window);
            ASSERT_FALSE(window.empty()) << Log();
            Pause(0.5);
            ASSERT_TRUE(runner->Signal(signal));
            EXPECT_EQ(runner->Wait(10), 0) << run.title << ", signal " << signal << ": " << Log();
        }
    }
    for (const double after : {0.0, 0.05, 0.15, 0.3, 0.6}) {
        auto runner = StartRunner({"Worlds/welcome.zqav"});
        Pause(after);
        runner->Signal(SIGTERM);
        const int status = runner->Wait(10);
        EXPECT_TRUE(status == 0 || runner->EndSignal() == SIGTERM)
            << "after " << after << " s: status " << status << ", signal " << runner->EndSignal() << "\n" << Log();
        EXPECT_FALSE(runner->DumpedCore()) << after;
    }
}

// --scale 2 doubles the window, F11 steps on to 3x, and the next run keeps
// it; screenshots keep the game's size and the mouse speaks in game pixels.
TEST_F(Window, ScaleEnlargesTheWindowButNotTheGame)
{
    // An object that follows the mouse, a cell per eight game pixels.
    TestWorld windowed;
    windowed.extra = [](TestEngine& engine) { engine->vWindowed = 1; };
    WriteTestWorld(sandbox.File("mouse.zqav"),
                   {TestBoard{"Main", 80, 60, 0, {}, {{"pointer", "#cycle 1\n#mod posx mouse_x\n#mod posy mouse_y\n#restart"}}}},
                   windowed);
    auto runner = StartRunner({"--scale", "2", "mouse.zqav"});
    std::string window = WindowOfSize("QUAV! Console", "1280x960", 20);
    ASSERT_FALSE(window.empty()) << seenSizes << Log();
    Pause(0.5);
    EXPECT_EQ(ReadFileBytes(sandbox.File("config/quav/runner.cfg")), "scale 2\n");
    // Window pixel (400, 240) is game pixel (200, 120): cell (25, 15).
    server->Run("xdotool mousemove --sync --window " + window + " 400 240");
    Pause(0.5);
    Press(window, "Print");
    const std::string shot = sandbox.Screens() + "/00000.bmp";
    ASSERT_TRUE(WaitForFile(shot, 10)) << Log();
    Pause(0.3);
    ShotScreen screen(shot);
    ASSERT_TRUE(screen.Loaded());
    EXPECT_EQ(screen.Rows(), 60) << "the game's own size";
    EXPECT_TRUE(screen.Shows(25, 15, 2, 14, 1)) << "the pointer under the mouse";

    Press(window, "F11");
    window = WindowOfSize("QUAV! Console", "1920x1440", 10);
    ASSERT_FALSE(window.empty()) << Log();
    Pause(0.5);
    EXPECT_EQ(ReadFileBytes(sandbox.File("config/quav/runner.cfg")), "scale 3\n");
    Close(window);
    EXPECT_EQ(runner->Wait(10), 0) << Log();

    runner = StartRunner({"Worlds/welcome.zqav"});
    window = WindowOfSize("QUAV! Console", "1920x1440", 20);
    ASSERT_FALSE(window.empty()) << "kept from the run before: " << Log();
    Pause(0.5);
    Close(window);
    EXPECT_EQ(runner->Wait(10), 0) << Log();
}

TEST_F(Window, LauncherOpensPlaysAndComesBack)
{
    std::string window;
    auto runner = StartRunnerWindow({}, "QUAV! Runner", window);
    ASSERT_FALSE(window.empty()) << Log();
    Pause(0.5);
    Press(window, "Escape");
    Press(window, "Return");
    Pause(0.3);
    ASSERT_TRUE(runner->Running()) << "Enter and Escape do not close the launcher";

    // The field starts with the shipped game; emptied, Play does nothing.
    server->Run("xdotool windowfocus --sync " + window + " key --delay 5 --repeat 200 BackSpace");
    Click(window, kPlayX, kButtonY);
    Pause(0.5);
    EXPECT_TRUE(server->FindWindow("QUAV! Console", 0.5).empty());

    // A path typed into the field plays; closing the game brings the
    // launcher back, and Play starts the world again from its file.
    server->Run("xdotool windowfocus --sync " + window + " type --delay 20 'Worlds/welcome.zqav'");
    for (int round = 0; round < 2; ++round) {
        Click(window, kPlayX, kButtonY);
        const std::string game = server->FindWindow("QUAV! Console", 10);
        ASSERT_FALSE(game.empty()) << Log();
        Pause(0.5);
        Close(game);
        window = server->FindWindow("QUAV! Runner", 10);
        ASSERT_FALSE(window.empty()) << Log();
        Pause(0.5);
    }
    EXPECT_NE(Log().find("welcome.zqav"), std::string::npos) << Log();
    Click(window, kQuitX, kButtonY);
    EXPECT_EQ(runner->Wait(10), 0) << Log();
}

// The file selector opens in a window with room for it, on the Worlds
// folder with the shipped game in its path, so OK and Play start it at
// once; the About box fits the launcher's window whole. A signal while the
// selector is open ends the program as Quit does.
TEST_F(Window, LauncherGivesTheSelectorRoomAndShowsAllOfTheAboutBox)
{
    ASSERT_EQ(RunCommand("cp " + std::string(QUAV_OUTPUT_DIR) + "/Worlds/vault.zqav " + sandbox.File("Worlds/")), 0);
    std::string window;
    auto runner = StartRunnerWindow({}, "QUAV! Runner", window);
    ASSERT_FALSE(window.empty()) << Log();
    Pause(0.5);
    const Photo launcher = Photograph(window, "launcher");
    EXPECT_EQ(launcher.height, 96);

    Click(window, kAboutX, kButtonY);
    Pause(0.8);
    const Photo about = Photograph(window, "about");
    ASSERT_EQ(about.height, 96) << "the box is drawn in the launcher's window";
    EXPECT_GT(about.DarkInRow(2), about.width * 9 / 10) << "the box's top edge is there";
    int titleRows = 0;
    for (int y = 4; y < 20; ++y) titleRows += about.DarkInRow(y) > 0 && about.DarkInRow(y) < about.width / 2 ? 1 : 0;
    EXPECT_GE(titleRows, 5) << "the title's strokes under the top edge";
    Press(window, "Return");
    Pause(0.5);

    // Emptied first: the selector starts on the shipped game of itself.
    server->Run("xdotool windowfocus --sync " + window + " key --delay 5 --repeat 200 BackSpace");
    Pause(1);
    Click(window, kOpenX, kButtonY);
    Pause(1);
    window = server->FindWindow("QUAV! Runner", 5);
    const Photo selector = Photograph(window, "selector");
    EXPECT_GE(selector.height, 400) << "room for the selector";
    int drawnRows = 0;
    for (int y = 0; y < selector.height; ++y) drawnRows += selector.DarkInRow(y) < selector.width ? 1 : 0;
    EXPECT_GE(drawnRows, 300) << "the selector fills the room";
    Press(window, "Return");
    Pause(0.8);
    window = WindowOfSize("QUAV! Runner", "784x96", 5);
    ASSERT_FALSE(window.empty()) << "the window shrinks back: " << seenSizes;
    Click(window, kPlayX, kButtonY);
    const std::string game = server->FindWindow("QUAV! Console", 10);
    ASSERT_FALSE(game.empty()) << Log();
    Pause(0.5);
    EXPECT_NE(Log().find("vault.zqav"), std::string::npos) << Log();
    Close(game);

    window = server->FindWindow("QUAV! Runner", 10);
    ASSERT_FALSE(window.empty()) << Log();
    Pause(0.5);
    Click(window, kOpenX, kButtonY);
    Pause(1);
    ASSERT_TRUE(runner->Signal(SIGTERM));
    EXPECT_EQ(runner->Wait(10), 0) << Log();
}

}  // namespace

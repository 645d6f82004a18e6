// The real quav-runner in a window on a private X server: the picture in the
// window matches a headless run, the close button ends the game, and the
// launcher opens worlds and keeps Enter and Escape from closing it.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Where the launcher's buttons are.
constexpr int kButtonY = 70;
constexpr int kPlayX = 40;
constexpr int kQuitX = 744;

class Window : public testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveProgram("Xvfb") || !HaveProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is missing";
        server = std::make_unique<XServer>();
        if (!server->Running()) GTEST_SKIP() << "Xvfb did not start";
    }

    std::unique_ptr<ChildProcess> StartRunner(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{sandbox.Runner()};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<ChildProcess>(argv, std::vector<std::string>{"DISPLAY=" + server->Display(), "QUAV_TRACE=1"},
                                              sandbox.Dir(), sandbox.File("runner.log"));
    }

    // Starts the runner and waits for its window. Now and then, on a loaded
    // machine, the game library fails to start on a fresh X server; one more
    // try tells that apart from a runner that never opens its window.
    std::unique_ptr<ChildProcess> StartRunnerWindow(const std::vector<std::string>& args, const std::string& title,
                                                    std::string& window)
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            auto runner = StartRunner(args);
            window = server->FindWindow(title, 20);
            if (!window.empty() || runner->Running()) return runner;
            if (ReadFileBytes(sandbox.File("runner.log")).find("cannot start the game library") == std::string::npos) {
                return runner;
            }
        }
        return nullptr;
    }

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
};

TEST_F(Window, PrintScreenShowsWhatAHeadlessRunShowsAndCloseEndsTheGame)
{
    auto runner = StartRunner({"Worlds/welcome.zqav"});
    const std::string window = server->FindWindow("QUAV! Console", 20);
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

// The game library's own handlers would shut it down under the running
// game; the runner's end the loop, and the program exits as from Quit,
// from a game and from the launcher alike.
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
            ASSERT_TRUE(runner && !window.empty()) << ReadFileBytes(sandbox.File("runner.log"));
            Pause(0.5);
            ASSERT_TRUE(runner->Signal(signal));
            EXPECT_EQ(runner->Wait(10), 0)
                << run.title << ", signal " << signal << ": " << ReadFileBytes(sandbox.File("runner.log"));
        }
    }
}

TEST_F(Window, LauncherOpensPlaysAndComesBack)
{
    auto runner = StartRunner({});
    std::string window = server->FindWindow("QUAV! Runner", 20);
    ASSERT_FALSE(window.empty()) << ReadFileBytes(sandbox.File("runner.log"));
    Pause(0.5);
    Press(window, "Escape");
    Press(window, "Return");
    Pause(0.3);
    ASSERT_TRUE(runner->Running()) << "Enter and Escape do not close the launcher";

    // Play with an empty path does nothing.
    Click(window, kPlayX, kButtonY);
    Pause(0.5);
    EXPECT_TRUE(server->FindWindow("QUAV! Console", 0.5).empty());

    // A path typed into the field plays; closing the game brings the
    // launcher back, and Play starts the world again from its file.
    server->Run("xdotool windowfocus --sync " + window + " type --delay 20 'Worlds/welcome.zqav'");
    for (int round = 0; round < 2; ++round) {
        Click(window, kPlayX, kButtonY);
        const std::string game = server->FindWindow("QUAV! Console", 10);
        ASSERT_FALSE(game.empty()) << ReadFileBytes(sandbox.File("runner.log")) << ReadFileBytes(sandbox.File("allegro.log"));
        Pause(0.5);
        Close(game);
        window = server->FindWindow("QUAV! Runner", 10);
        ASSERT_FALSE(window.empty()) << ReadFileBytes(sandbox.File("runner.log"));
        Pause(0.5);
    }
    Click(window, kQuitX, kButtonY);
    EXPECT_EQ(runner->Wait(10), 0) << ReadFileBytes(sandbox.File("runner.log"));
}

}  // namespace

// The real quav-runner, played headless from a sandbox folder.

#include "RunnerSupport.h"
#include "KVersion.h"

#include <allegro.h>
#include <gtest/gtest.h>
#include <loadpng.h>

namespace {

TEST(HeadlessRunner, ExitStatusesTellWhatHappened)
{
    RunnerSandbox sandbox;
    std::string output;
    EXPECT_EQ(sandbox.Run("--headless --ticks 2 Worlds/welcome.zqav", &output), 0) << output;
    EXPECT_EQ(sandbox.Run("--headless --ticks 2 Worlds/missing.zqav", &output), 1);
    EXPECT_NE(output.find("Unable to load world"), std::string::npos) << output;
    WriteFileBytes(sandbox.File("garbage.zqav"), "PK\x03\x04 not really a zip");
    EXPECT_EQ(sandbox.Run("--headless garbage.zqav", &output), 1);
    EXPECT_EQ(sandbox.Run("--headless --tics 2 Worlds/welcome.zqav", &output), 2);
    EXPECT_NE(output.find("unknown option --tics\nTry 'quav-runner --help'."), std::string::npos) << output;
    EXPECT_EQ(sandbox.Run("--ticks 2 Worlds/welcome.zqav", &output), 2);
    EXPECT_EQ(sandbox.Run("--version", &output), 0);
    EXPECT_EQ(output, "quav-runner (QUAV!) " QUAV_VERSION "\n");
    EXPECT_EQ(sandbox.Run("--help", &output), 0);
    EXPECT_NE(output.find("--headless"), std::string::npos);
}

TEST(HeadlessRunner, ScreenshotShowsTheWorldRunsRepeatAndPathsAreTheCallers)
{
    RunnerSandbox sandbox;
    std::string output;
    sandbox.Play("Worlds/welcome.zqav", 5, "--screenshot a.bmp");
    sandbox.Play("Worlds/welcome.zqav", 5, "--screenshot b.bmp");
    EXPECT_EQ(ReadFileBytes(sandbox.File("a.bmp")), ReadFileBytes(sandbox.File("b.bmp")));
    PALETTE palette;
    KBitmap shot(load_bmp(sandbox.File("a.bmp").c_str(), palette));
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->w, 640);
    EXPECT_EQ(shot->h, 480);
    EXPECT_EQ(shot->line[240][320], 1) << "the welcome board's floor";
    EXPECT_EQ(palette[15].r, 63) << "saved with the font's palette";

    sandbox.Play("Worlds/welcome.zqav", 0, "--screenshot c.png");
    KBitmap png(load_png(sandbox.File("c.png").c_str(), palette));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->line[240][320], 1) << "no ticks still draws the world as loaded";
    EXPECT_EQ(sandbox.Run("--headless --ticks 1 --screenshot nowhere/c.png Worlds/welcome.zqav", &output), 1);

    // Paths are taken from the caller's folder, the world's quotes dropped.
    const std::string command = "cd '" + sandbox.Dir() + "/Worlds' && ../quav-runner --headless --ticks 1 "
                                "--screenshot shot.png --dump-vars vars.json \"\\\"welcome.zqav\\\"\" 2>&1";
    EXPECT_EQ(RunCommand(command, &output), 0) << output;
    EXPECT_TRUE(FileExists(sandbox.File("Worlds/shot.png")));
    EXPECT_TRUE(FileExists(sandbox.File("Worlds/vars.json")));
}

TEST(HeadlessRunner, ReplayedInputsReachTheGame)
{
    RunnerSandbox sandbox;
    WriteFileBytes(sandbox.File("walk.txt"), "# move the mouse, take two screenshots\n"
                                             "0 mouse 100 50\n"
                                             "2 key_printscreen down\n"
                                             "5 key_printscreen up\n"
                                             "7 key_printscreen down\n"
                                             "8 key_printscreen up\n");
    const std::string output = sandbox.Play("Worlds/welcome.zqav", 10, "--input walk.txt").vars;
    EXPECT_NE(output.find("\"mouse_x\": 12,\n  \"mouse_y\": 6,"), std::string::npos) << output;
    EXPECT_NE(output.find("\"player_x\": 40"), std::string::npos) << output;
    EXPECT_NE(output.find("\"health\": 100"), std::string::npos) << output;
    const std::vector<std::string> shots = FilesIn(sandbox.Screens());
    EXPECT_EQ(shots.size(), 2u) << "one screenshot per press";
    EXPECT_TRUE(FileExists(sandbox.Screens() + "/00000.bmp"));
    EXPECT_TRUE(FileExists(sandbox.Screens() + "/00001.bmp"));
    EXPECT_EQ(ReadFileBytes(sandbox.Screens() + "/00000.bmp").substr(0, 2), "BM");
}

// Outputs that cannot be written fail the run; folders, pipes, empty names
// and bad replay files are refused with a reason.
TEST(HeadlessRunner, BadFilesAreRefusedWithAReason)
{
    RunnerSandbox sandbox;
    ASSERT_EQ(RunCommand("mkfifo '" + sandbox.File("pipe") + "' && ln -s /dev/full '" + sandbox.File("full.png") + "'"), 0);
    WriteFileBytes(sandbox.File("bad.txt"), "0 key_up down\n\n3 key_shift down\n");
    WriteFileBytes(sandbox.File("nul.txt"), std::string("0 key\0\x1b[2J down\n", 16));
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"--screenshot full.png Worlds/welcome.zqav", 1, "cannot write the screenshot"},
        {"--dump-vars /dev/full Worlds/welcome.zqav", 1, "cannot write the variables"},
        {"--input Worlds Worlds/welcome.zqav", 2, "the input file '" },
        {"--input pipe Worlds/welcome.zqav", 2, "is not a regular file"},
        {"--screenshot '' Worlds/welcome.zqav", 2, "--screenshot wants a file name"},
        {"--input '' Worlds/welcome.zqav", 2, "--input wants a file name"},
        {"Worlds", 1, "is a folder, not a file"},
        {"pipe", 1, "is not a regular file"},
        {"--input bad.txt Worlds/welcome.zqav", 2, "bad.txt: line 3: key_shift follows from the keys held"},
        {"--input missing.txt Worlds/welcome.zqav", 2, "cannot read the input file"},
        {"--input nul.txt Worlds/welcome.zqav", 2, "unknown input 'key\\x00\\x1b[2J'"},
    };
    for (const Case& test : cases) {
        std::string output;
        // A pipe read as a file would wait for a writer for ever.
        EXPECT_EQ(RunCommand("cd '" + sandbox.Dir() + "' && timeout 20 ./quav-runner --headless --ticks 1 " +
                                 test.arguments + " 2>&1",
                             &output),
                  test.status)
            << test.arguments << ": " << output;
        EXPECT_NE(output.find(test.message), std::string::npos) << test.arguments << ": " << output;
    }
}

}  // namespace

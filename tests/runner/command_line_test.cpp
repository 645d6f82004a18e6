#include "KCommandLine.h"
#include "KRunnerSettings.h"

#include <gtest/gtest.h>

namespace {

bool Parse(std::vector<std::string_view> args, KRunnerOptions& options, std::string& error)
{
    return KParseCommandLine(args, options, error);
}

TEST(CommandLine, HeadlessOptionsAreRead)
{
    KRunnerOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--headless", "--ticks", "120", "--input", "in.txt", "--screenshot", "s.png", "--seed",
                       "18446744073709551615", "--dump-vars", "-", "--trace", "w.zqav"},
                      options, error))
        << error;
    // The headless runner's tests drive the other options end to end.
    EXPECT_TRUE(options.seeded);
    EXPECT_EQ(options.seed, 18446744073709551615ull);
    EXPECT_TRUE(options.trace);
    EXPECT_EQ(options.mode, KRunMode::Play);
}

// A window needs no world (its quotes are dropped, as the headless
// caller-path test shows); help and version are modes of their own.
TEST(CommandLine, WorldPathIsOptionalInAWindowHelpAndVersion)
{
    std::string error;
    KRunnerOptions none;
    ASSERT_TRUE(Parse({}, none, error));
    EXPECT_EQ(none.worldPath, "");
    EXPECT_FALSE(none.headless);
    KRunnerOptions seeded;
    ASSERT_TRUE(Parse({"--seed", "7", "w.zqav"}, seeded, error)) << "seed and trace also fit a window";
    KRunnerOptions scaled;
    ASSERT_TRUE(Parse({"--scale", "4", "w.zqav"}, scaled, error)) << error;
    EXPECT_EQ(scaled.scale, 4);
    EXPECT_EQ(none.scale, 0) << "the kept scale";
    KRunnerOptions help;
    ASSERT_TRUE(Parse({"--help"}, help, error));
    EXPECT_EQ(help.mode, KRunMode::Help);
    KRunnerOptions version;
    ASSERT_TRUE(Parse({"--version"}, version, error));
    EXPECT_EQ(version.mode, KRunMode::Version);
    const std::string usage = KUsageText();
    for (const char* word : {"--headless", "--ticks N", "--input FILE", "--screenshot FILE", "--seed S", "--dump-vars FILE",
                             "--trace", "--version", "T NAME down", "T mouse X Y", "Exit status"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
}

TEST(CommandLine, BadArgumentsAreRefusedWithAReason)
{
    struct Case {
        std::vector<std::string_view> args;
        const char* reason;
    };
    const Case cases[] = {
        {{"--bogus", "w"}, "unknown option --bogus"},
        {{"--headless", "w", "--ticks"}, "--ticks needs N"},
        {{"--headless", "--ticks", "ten", "w"}, "--ticks wants a number"},
        {{"--headless", "--ticks", "-1", "w"}, "--ticks wants a number"},
        {{"--headless", "--ticks", "2147483648", "w"}, "--ticks wants a number"},
        {{"--seed", "-3", "w"}, "--seed wants"},
        {{"--headless", "a", "b"}, "more than one world file"},
        {{"--ticks", "5", "w"}, "--ticks needs --headless"},
        {{"--screenshot", "x.png", "w"}, "--screenshot needs --headless"},
        {{"--headless", "--ticks", "5"}, "--headless needs a world file"},
        {{"--scale", "5", "w"}, "--scale wants 1, 2, 3 or 4, not '5'"},
        {{"--scale", "0", "w"}, "--scale wants"},
    };
    for (const Case& c : cases) {
        KRunnerOptions options;
        std::string error;
        EXPECT_FALSE(Parse(c.args, options, error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

// The settings file is the player's own but may hold anything: only a
// "scale N" line with N from 1 to 4 counts, else the game's own size.
TEST(RunnerSettings, ScaleIsReadFromAnyText)
{
    const struct {
        const char* text;
        int scale;
    } cases[] = {
        {"scale 3\n", 3}, {"other 2\nscale 2", 2}, {"", 1},           {"scale 9\n", 1},     {"scale -2\n", 1},
        {"scale\n", 1},    {"scales 2\n", 1},      {"scale 2x\n", 1}, {"\xff\x00scale 4", 1}, {"scale 99999999999999\n", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(KScaleFromSettings(c.text), c.scale) << c.text;
}

}  // namespace

#include "KCommandLine.h"

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
    };
    for (const Case& c : cases) {
        KRunnerOptions options;
        std::string error;
        EXPECT_FALSE(Parse(c.args, options, error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace

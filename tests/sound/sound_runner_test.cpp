// The real quav-runner played headless with --audio and --midi-log: what
// scripts ask of the sound box, heard in the rendered WAV file and read in
// the MIDI log.

#include "RunnerSupport.h"
#include "SoundTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {

// A one-board world (mode 0) whose only object runs script.
void WriteWorld(const std::string& path, const std::string& script)
{
    WriteTestWorld(path, {TestBoard{"Main", 40, 30, 0, {}, {{"band", script}}}}, TestWorld{0});
}

struct LogCase {
    const char* script;
    std::string logStart;
};

TEST(SoundRunner, PlayStringsReachTheMidiLogAsWritten)
{
    const LogCase cases[] = {
        // The tune is handed over as written, never worked out as "cdefgab" + "c".
        {"#play \"cdefgab+c\"", "0 206 1\n0 158 48 127\n4 142 48 0\n4 206 1\n4 158 50 127\n8 142 50 0\n"},
        {"#patch 20\n#play \"c\"\n#end", "0 206 20\n0 158 48 127\n3 142 48 0\n"},
        // The tune belongs to the object playing it, not the one addressed:
        // the second is appended, not a replacement.
        {"#play \"c\"\n.parent #play \"d\"\n#end", "0 206 1\n0 158 48 127\n4 142 48 0\n4 206 1\n4 158 50 127\n"},
        {"#play x9x0", "4 201 1\n4 153 35 127\n8 137 35 0\n12 201 1\n12 153 42 127\n15 137 42 0\n"},
    };
    RunnerSandbox sandbox;
    for (const LogCase& c : cases) {
        WriteWorld(sandbox.File("tune.zqav"), c.script);
        std::string output;
        ASSERT_EQ(sandbox.Run("--headless --ticks 40 --midi-log midi.txt tune.zqav 2>&1", &output), 0) << output;
        const std::string log = ReadFileBytes(sandbox.File("midi.txt"));
        EXPECT_EQ(log.substr(0, c.logStart.size()), c.logStart) << c.script << "\n" << log;
    }
    const std::string scale = ReadFileBytes(sandbox.File("midi.txt"));
    EXPECT_EQ(scale.find(" 202 "), std::string::npos) << "nothing on other channels";
}

TEST(SoundRunner, SamplesAreHeardInGameTimeRunsRepeatAndBadSongsAreReported)
{
    RunnerSandbox sandbox;
    ASSERT_TRUE(MakeSoundMedia(sandbox.Dir()));
    WriteFileBytes(sandbox.File("boom-1.wav"), ReadFileBytes(sandbox.File("tone.wav")));
    // A name with "-" is a name; channel 8 does not exist.
    WriteWorld(sandbox.File("noise.zqav"), "#loadsound boom-1.wav\n#sound boom-1.wav 8 loop\n"
                                           "#sound boom-1.wav 0 once\n#end");
    std::string output;
    ASSERT_EQ(sandbox.Run("--headless --ticks 30 --audio a.wav noise.zqav 2>&1", &output), 0) << output;
    ASSERT_EQ(sandbox.Run("--headless --ticks 30 --audio b.wav noise.zqav 2>&1", &output), 0) << output;
    size_t frames = 0;
    const std::vector<int16_t> left = LeftChannel(sandbox.File("a.wav"), &frames);
    const std::vector<int16_t> again = LeftChannel(sandbox.File("b.wav"));
    EXPECT_EQ(std::mismatch(left.begin(), left.end(), again.begin(), again.end()).first - left.begin(),
              static_cast<std::ptrdiff_t>(left.size()))
        << "the same run, the same sound";
    EXPECT_EQ(frames, 30u * kTestFramesPerTick);
    EXPECT_GT(PeakOfTicks(left, 0, 14), 10000);
    EXPECT_LT(PeakOfTicks(left, 16, 30), 8) << "played once, not looped on a channel past 7";

    EXPECT_EQ(sandbox.Run("--audio a.wav noise.zqav", &output), 2);
    EXPECT_EQ(sandbox.Run("--headless --ticks 1 --audio nowhere/a.wav noise.zqav 2>&1", &output), 1);
    EXPECT_EQ(sandbox.Run("--help", &output), 0);
    EXPECT_NE(output.find("--audio FILE"), std::string::npos);
    EXPECT_NE(output.find("--midi-log FILE"), std::string::npos);

    // Songs that do not load are reported and play goes on; a song is
    // loaded at the end of its tick, so each is asked for in a tick of its own.
    WriteWorld(sandbox.File("bad.zqav"), "#song \"../../theme.ogg\" 1\n/i\n#song missing.xm 0\n/i\n#give done 1\n#end");
    ASSERT_EQ(sandbox.Run("--headless --ticks 30 --dump-vars - bad.zqav 2>&1", &output), 0) << output;
    EXPECT_NE(output.find("SongBox Error"), std::string::npos) << output;
    EXPECT_NE(output.find("Unable to Load: ../../theme.ogg"), std::string::npos) << output;
    EXPECT_NE(output.find("Unable to Load: missing.xm"), std::string::npos) << output;
    EXPECT_NE(output.find("\"done\": 1"), std::string::npos) << output;
}

// Modules of five formats, each played as a song until #stopsong and then
// loaded as a sample and played once, in the real runner.
TEST(SoundRunner, ModulesOfEveryKindPlayAsSongsAndAsSamples)
{
    RunnerSandbox sandbox;
    ASSERT_TRUE(MakeSoundMedia(sandbox.Dir()));
    std::string idle;
    for (int i = 0; i < 20; ++i) idle += "/i\n";  // about 45 ticks
    for (const char* name : {"nosig15.mod", "fest.mod", "four.s3m", "bidi.xm", "loop.it"}) {
        WriteWorld(sandbox.File("mod.zqav"), std::string("#cyclef 1\n#song ") + name + " 1\n" + idle + "#stopsong\n" + idle +
                                                 "#loadsound " + name + "\n#sound " + name + " 0 once\n#end");
        std::string output;
        ASSERT_EQ(sandbox.Run("--headless --ticks 150 --audio mod.wav mod.zqav 2>&1", &output), 0) << output;
        EXPECT_EQ(output.find("Unable to Load"), std::string::npos) << name << ": " << output;
        const std::vector<int16_t> left = LeftChannel(sandbox.File("mod.wav"));
        EXPECT_GT(PeakOfTicks(left, 5, 40), 2000) << name << " as a song";
        EXPECT_LT(PeakOfTicks(left, 52, 86), 8) << name << " after #stopsong";
        EXPECT_GT(PeakOfTicks(left, 95, 150), 2000) << name << " as a sample";
    }
}

// A world that loops an empty MIDI file ends its run; one that would play
// for ever stops cleanly on SIGINT or SIGTERM, writing what it was asked to.
TEST(SoundRunner, AnEmptySongOnRepeatEndsAndSignalsStopEndlessRuns)
{
    RunnerSandbox sandbox;
    WriteFileBytes(sandbox.File("empty.mid"), std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x04\0\xff\x2f\0", 26));
    WriteWorld(sandbox.File("empty.zqav"), "#song empty.mid 1\n#give done 1\n#end");
    std::string output;
    ASSERT_EQ(RunCommand("cd '" + sandbox.Dir() + "' && timeout -s KILL 60 ./quav-runner --headless --ticks 30 "
                         "--dump-vars - empty.zqav 2>&1",
                         &output),
              0)
        << output;
    EXPECT_NE(output.find("\"done\": 1"), std::string::npos) << output;
    for (const int signal : {SIGINT, SIGTERM}) {
        const std::string log = sandbox.File("allegro.log");  // where --trace writes
        std::remove(sandbox.File("vars.json").c_str());
        std::remove(log.c_str());
        ChildProcess runner({sandbox.Runner(), "--headless", "--trace", "--ticks", "2147483647", "--dump-vars",
                             "vars.json", "empty.zqav"},
                            {}, sandbox.Dir(), sandbox.File("run.log"));
        for (int wait = 0; wait < 200 && ReadFileBytes(log).find("Playing at") == std::string::npos; ++wait) Pause(0.05);
        ASSERT_NE(ReadFileBytes(log).find("Playing at"), std::string::npos) << ReadFileBytes(log);
        ASSERT_TRUE(runner.Signal(signal));
        EXPECT_EQ(runner.Wait(30), 0) << "signal " << signal << ": " << ReadFileBytes(log);
        EXPECT_NE(ReadFileBytes(sandbox.File("vars.json")).find("\"done\": 1"), std::string::npos) << signal;
    }
}

// The lines of a saved game's Audio.tree.
std::vector<std::string> AudioLines(const std::string& slotPath)
{
    std::vector<std::string> lines;
    std::istringstream in(ZipEntry(slotPath, "audio.tree"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A song and a sample looping back and forth are saved, stopped, loaded
// back, and saved again from the sound box in another slot.
TEST(SoundRunner, SavedGamesKeepTheSongAndTheChannels)
{
    RunnerSandbox sandbox;
    ASSERT_TRUE(MakeSoundMedia(sandbox.Dir()));
    WriteWorld(sandbox.File("band.zqav"), "#song tiny.mod 1\n#loadsound tone.wav\n#sound tone.wav 2 bidi\n#end\n"
                                          ":key_b\n#stopsong\n#stopsound 2\n#end");
    // Save to F3, stop the sounds, load F3, save to F4.
    const std::string replay = Presses(10, {"key_esc", "key_s", "key_f3"}) + Press(20, "key_b") +
                               Presses(30, {"key_esc", "key_l", "key_f3"}) + Presses(40, {"key_esc", "key_s", "key_f4"});
    WriteFileBytes(sandbox.File("in.txt"), replay);
    sandbox.Play("band.zqav", 48, "--input in.txt");
    for (const char* slot : {"band.3.qsg", "band.4.qsg"}) {
        const std::vector<std::string> lines = AudioLines(sandbox.File(slot));
        ASSERT_GE(lines.size(), 29U) << slot;
        EXPECT_EQ(lines[0], "tiny.mod") << slot;
        EXPECT_EQ(lines[1], "1") << slot;
        EXPECT_EQ(lines[3], "tone.wav") << slot;
        ASSERT_EQ(lines[4], "~endsamples") << slot;
        EXPECT_EQ(lines[5 + 2 * 3], "tone.wav") << slot;
        EXPECT_EQ(lines[6 + 2 * 3], "4") << slot << ": back and forth";
        EXPECT_NE(lines[7 + 2 * 3], "-1") << slot << ": still playing";
    }
}

}  // namespace

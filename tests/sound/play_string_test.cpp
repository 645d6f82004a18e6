// The play-string sequencer against the MIDI messages it sends, byte for
// byte and tick for tick, written as the runner's --midi-log writes them.

#include "KPlayString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Queued {
    int tick;  // queued before this tick's step
    std::string text;
    std::string owner;
};

struct TuneCase {
    const char* name;
    std::vector<Queued> tunes;
    int ticks;
    std::string log;  // every message, "TICK BYTES..." a line
    int32_t patch = 1;
};

void PrintTo(const TuneCase& tune, std::ostream* out) { *out << tune.name; }

std::string Play(const TuneCase& tune)
{
    KPlayString sequencer;
    sequencer.SetPatch(tune.patch);
    std::string log;
    std::vector<KMidiMessage> messages;
    for (int tick = 0; tick < tune.ticks; ++tick) {
        for (const Queued& queued : tune.tunes) {
            if (queued.tick == tick) sequencer.QueuePlay(queued.text, queued.owner);
        }
        messages.clear();
        sequencer.Step(messages);
        for (const KMidiMessage& message : messages) {
            log += std::to_string(tick);
            for (uint8_t i = 0; i < message.size; ++i) log += " " + std::to_string(message.bytes[i]);
            log += "\n";
        }
    }
    return log;
}

// Program change and note on for key on channel 14, then its note off.
std::string Note(int on, int off, int key, int patch = 1)
{
    const std::string k = std::to_string(key);
    return std::to_string(on) + " 206 " + std::to_string(patch) + "\n" + std::to_string(on) + " 158 " + k + " 127\n" +
           std::to_string(off) + " 142 " + k + " 0\n";
}

std::string Drum(int on, int off, int key)
{
    const std::string k = std::to_string(key);
    return std::to_string(on) + " 201 1\n" + std::to_string(on) + " 153 " + k + " 127\n" + std::to_string(off) +
           " 137 " + k + " 0\n";
}

// Notes of countdown 3 one after another: on at 0, 4, 8, ...; the last is
// cut when the queue runs out.
std::string Scale(const std::vector<int>& keys)
{
    std::string log;
    for (size_t i = 0; i < keys.size(); ++i) {
        const int on = static_cast<int>(i) * 4;
        log += Note(on, on + (i + 1 == keys.size() ? 3 : 4), keys[i]);
    }
    return log;
}

// The messages in the order the sequencer sends them: within a tick the
// note off first.
std::string InTickOrder(const std::string& log)
{
    std::vector<std::pair<int, std::string>> lines;
    size_t at = 0;
    int order = 0;
    while (at < log.size()) {
        const size_t end = log.find('\n', at);
        const std::string line = log.substr(at, end - at);
        const int tick = std::stoi(line);
        const bool off = line.find(" 142 ") != std::string::npos || line.find(" 137 ") != std::string::npos;
        lines.emplace_back(tick * 100000 + (off ? 0 : 1) * 50000 + order++, line);
        at = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& line : lines) out += line.second + "\n";
    return out;
}

class Tunes : public ::testing::TestWithParam<TuneCase> {};

TEST_P(Tunes, SendTheExpectedMessages) { EXPECT_EQ(Play(GetParam()), InTickOrder(GetParam().log)); }

std::string Repeated(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Sequencer, Tunes,
    ::testing::Values(
        TuneCase{"scale", {{0, "cdefgab+c", "a"}}, 40, Scale({48, 50, 52, 53, 55, 57, 59, 60})},
        TuneCase{"dotted", {{0, "qc.d", "a"}}, 80, Note(0, 37, 48) + Note(37, 61, 50)},
        TuneCase{"length after the note", {{0, "cq", "a"}}, 40, Note(0, 24, 48)},
        TuneCase{"sharps, flats, octaves", {{0, "c#-e!++g", "a"}}, 20, Note(0, 4, 49) + Note(4, 8, 39) + Note(8, 11, 67)},
        TuneCase{"rests and drums", {{0, "x9x0", "a"}}, 20, Drum(4, 8, 35) + Drum(12, 15, 42)},
        TuneCase{"triplet", {{0, "q3c", "a"}}, 20, Note(0, 8, 48)},
        TuneCase{"patch", {{0, "c", "a"}}, 10, Note(0, 3, 48, 20), 20},
        // The same owner appends after "p", which resets octave and length.
        TuneCase{"append", {{0, "+c", "a"}, {1, "c", "a"}}, 12, Note(0, 3, 60) + Note(3, 6, 48)},
        // Another owner replaces the queue; the sounding note ends at the
        // next step.
        TuneCase{"replace", {{0, "qc", "a"}, {2, "d", "b"}}, 12, Note(0, 2, 48) + Note(2, 5, 50)},
        // Mends: keys stay within 0..127, programs are masked to 7 bits, a
        // rest ends no note on a silent channel, a tune of modifiers alone
        // is silent, a long run of dots does not overflow.
        TuneCase{"key clamped", {{0, Repeated("+", 20) + "c" + Repeated("-", 40) + "c", "a"}}, 10,
                 Note(0, 4, 127) + Note(4, 7, 0)},
        TuneCase{"patch masked", {{0, "c", "a"}}, 10, Note(0, 3, 48, 72), 200},
        TuneCase{"rest after a note", {{0, "cx", "a"}}, 12, Note(0, 4, 48)},
        // Idle steps send nothing: one note off, not one a tick.
        TuneCase{"idle", {{0, "c", "a"}}, 110, Note(0, 3, 48)},
        TuneCase{"modifiers only", {{0, "q+.", "a"}}, 40, ""},
        TuneCase{"many dots", {{0, "w" + Repeated(".", 200) + "c", "a"}}, 3, "0 206 1\n0 158 48 127\n"}),
    [](const ::testing::TestParamInfo<TuneCase>& param) {
        std::string name;
        for (const char c : std::string(param.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(Sequencer, SixtyAppendsThenTheNextReplaces)
{
    KPlayString sequencer;
    sequencer.QueuePlay("c", "a");
    for (int i = 0; i < KPlayString::kMaxAppends; ++i) sequencer.QueuePlay("d", "a");
    EXPECT_EQ(sequencer.Appended(), 60);
    EXPECT_EQ(sequencer.Queue().size(), 1u + 60u * 2u);
    sequencer.QueuePlay("e", "a");
    EXPECT_EQ(sequencer.Queue(), "e");
    EXPECT_EQ(sequencer.Appended(), 0);
}

}  // namespace

// The sound box in-process, rendering in game time into a WAV file: real
// decoding of WAV, Ogg, tracker modules and MIDI files, the eight sample
// channels and the saved state.

#include "KRunnerParts.h"
#include "KSoundBox.h"
#include "SoundTestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr int kSilence = 8;  // dither and rounding stay below this

class SoundBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeSoundMedia(dir_.Path()));
        engine_->vWorldPath = dir_.File("world.zqav");
        Start();
    }
    void TearDown() override { box().StopAudio(); }

    void Start() { box().StartAudio(KAudioSettings{KAudioMode::GameTime, dir_.File("out.wav")}, ""); }
    KSoundBox& box() { return *engine_->vSoundBox; }
    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) box().Update();
    }
    // Ends the rendering and reads what was heard.
    std::vector<int16_t> Heard(size_t* frames = nullptr)
    {
        EXPECT_TRUE(box().StopAudio());
        return LeftChannel(dir_.File("out.wav"), frames);
    }
    std::string Channel(int channel, int32_t& position)
    {
        int32_t mode = 0;
        return box().GetChannelState(channel, position, mode);
    }

    TempDir dir_;
    TestEngine engine_{KRunnerParts()};
};

// Channels out of range or samples not loaded do nothing for ten ticks; then
// a sample that ended reports -1 but keeps its name.
TEST_F(SoundBoxTest, ChannelsOutOfRangeDoNothingAndAnEndedSampleKeepsItsName)
{
    box().PlaySound("tone.wav", 0, 1);  // before #loadsound
    box().LoadSound("tone.wav");
    for (const int channel : {-1, 8, 9, 1000}) {
        box().PlaySound("tone.wav", channel, 1);
        box().StopSound(channel);
    }
    box().PlaySound("boom", 1, 1);  // never loaded
    Ticks(10);
    int32_t position = 0;
    for (const int channel : {0, 1, 8, -1}) EXPECT_EQ(Channel(channel, position), "~none") << channel;
    box().PlaySound("tone.wav", 2, 0);
    Ticks(1);
    EXPECT_EQ(Channel(2, position), "tone.wav");
    EXPECT_EQ(position, kTestFramesPerTick);
    Ticks(19);  // the tone lasts 15 ticks
    EXPECT_EQ(Channel(2, position), "tone.wav");
    EXPECT_EQ(position, -1);
    box().StopSound(2);
    EXPECT_EQ(Channel(2, position), "~none");
    size_t frames = 0;
    const std::vector<int16_t> left = Heard(&frames);
    EXPECT_EQ(frames, 30u * kTestFramesPerTick) << "1/60 s of audio per tick";
    EXPECT_LT(PeakOfTicks(left, 0, 10), kSilence);
    EXPECT_GT(PeakOfTicks(left, 10, 24), 10000);
    EXPECT_LT(PeakOfTicks(left, 26, 30), kSilence);
}

TEST_F(SoundBoxTest, BackAndForthLoopPlaysTheSampleReversed)
{
    box().LoadSound("ramp.wav");  // 1,000 frames rising
    box().PlaySound("ramp.wav", 0, 2);
    Ticks(2);
    int32_t position = 0;
    int32_t mode = 0;
    box().GetChannelState(0, position, mode);
    EXPECT_EQ(mode, 4);
    EXPECT_EQ(position, 1998 - 2 * kTestFramesPerTick) << "on the way back";
    Ticks(1);
    box().StopSound(0);
    Ticks(1);
    const std::vector<int16_t> left = Heard();
    ASSERT_GE(left.size(), 2000u);
    for (size_t i = 1; i < 999; ++i) ASSERT_GT(left[i], left[i - 1]) << "forwards at " << i;
    for (size_t i = 1000; i < 1997; ++i) ASSERT_LT(left[i], left[i - 1]) << "backwards at " << i;
    EXPECT_GT(left[1999], left[1998]) << "forwards again";
    EXPECT_LT(PeakOfTicks(left, 3, 4), kSilence) << "stopped";
}

struct SongCase {
    const char* file;
    int ticks;       // ticks to play before stopping
    int soundsFrom;  // a tick by which it is heard
};

TEST_F(SoundBoxTest, SongsAndSamplesDecodeAndStopAndAModulePlayedOnceEndsByItself)
{
    const SongCase songs[] = {{"tone.ogg", 10, 1}, {"tiny.mod", 10, 1}, {"tiny.xyz", 10, 1}, {"song.mid", 20, 10}};
    WriteFileBytes(dir_.File("tiny.xyz"), ReadFileBytes(dir_.File("tiny.mod")));
    int tick = 0;
    std::vector<std::pair<int, int>> heard;  // ticks that must sound, then be silent
    for (const SongCase& song : songs) {
        box().PlaySong(song.file, 0);
        int32_t position = 0;
        int32_t repeat = 1;
        EXPECT_EQ(box().GetSongState(position, repeat), song.file);
        EXPECT_EQ(repeat, 0);
        Ticks(song.ticks);
        box().StopSong();
        EXPECT_EQ(box().GetSongState(position, repeat), "~none");
        heard.emplace_back(tick + song.soundsFrom, tick + song.ticks);
        Ticks(5);
        tick += song.ticks + 5;
    }
    box().LoadSound("tone.ogg");
    box().PlaySound("tone.ogg", 7, 1);
    Ticks(5);
    box().StopSound(7);
    heard.emplace_back(tick, tick + 5);
    Ticks(5);
    tick += 10;
    box().PlaySong("tiny.mod", 0);  // eight rows: about a second
    Ticks(150);
    int32_t position = 0;
    int32_t repeat = 0;
    EXPECT_EQ(box().GetSongState(position, repeat), "tiny.mod") << "a module played once ends but keeps its name";
    EXPECT_FALSE(box().Output().SongPlaying());
    box().PlaySong("tiny.mod", 1);  // repeated: heard long after its one second
    Ticks(150);
    EXPECT_TRUE(box().Output().SongPlaying());
    EXPECT_LT(box().Output().SongPosition(), 1000) << "the position comes round again";
    EXPECT_TRUE(engine_.Reports().empty()) << engine_.Reports().front();
    const std::vector<int16_t> left = Heard();
    for (size_t i = 0; i < heard.size(); ++i) {
        EXPECT_GT(PeakOfTicks(left, heard[i].first, heard[i].second), 500) << "sound " << i;
        EXPECT_LT(PeakOfTicks(left, heard[i].second + 2, heard[i].second + 5), kSilence) << "silence after " << i;
    }
    EXPECT_GT(PeakOfTicks(left, tick + 1, tick + 40), 500);
    EXPECT_LT(PeakOfTicks(left, tick + 120, tick + 150), kSilence) << "it ended by itself";
    EXPECT_GT(PeakOfTicks(left, tick + 270, tick + 300), 500) << "the repeated one plays on";
}

// What the menu's Restart does: the song, the channels and the tune all
// stop, and the tune's sounding note is ended rather than left hanging.
TEST_F(SoundBoxTest, SilenceStopsEverythingAndEndsTheSoundingNote)
{
    box().PlaySong("tiny.mod", 1);
    box().LoadSound("tone.wav");
    box().PlaySound("tone.wav", 3, 1);
    box().QueuePlay("wc", "bard");
    Ticks(10);
    box().Silence();
    Ticks(1);
    int32_t position = 0;
    int32_t repeat = 0;
    EXPECT_EQ(box().GetSongState(position, repeat), "~none");
    EXPECT_EQ(Channel(3, position), "~none");
    EXPECT_TRUE(box().Tune().Queue().empty());
    Ticks(60);
    const std::vector<int16_t> left = Heard();
    EXPECT_GT(PeakOfTicks(left, 2, 10), 500);
    // The synthesiser's note fades out after its note-off; then silence.
    EXPECT_LT(PeakOfTicks(left, 60, 71), kSilence) << "silent after Silence";
    box().QueuePlay("c", "bard");  // the same owner starts afresh, not appended
    EXPECT_EQ(box().Tune().Queue(), "c");
}

// An 8-bit mono WAV of frames at rate: small on disk, large decoded.
std::string QuietWav(uint32_t rate, uint32_t frames)
{
    std::string wav = "RIFF";
    const auto number = [&wav](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) wav += static_cast<char>(value >> (8 * i));
    };
    number(36 + frames, 4);
    wav += "WAVEfmt ";
    // Format size, PCM, mono, the rate, bytes a second, bytes a frame, bits.
    for (const auto& [value, bytes] : {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {rate, 4}, {rate, 4}, {1u, 2}, {8u, 2}}) {
        number(value, bytes);
    }
    wav += "data";
    number(frames, 4);
    return wav + std::string(frames, '\x80');
}

TEST_F(SoundBoxTest, LoadsAreBoundedBadSongsReportedAndNamesKeptInsideTheWorldFolder)
{
    // Bad songs are reported; names stay inside the world's folder.
    WriteFileBytes(dir_.File("song.MID"), ReadFileBytes(dir_.File("song.mid")));
    WriteFileBytes(dir_.File("notes.txt"), "not a module at all\n");
    WriteFileBytes(dir_.File("../outside.ogg"), ReadFileBytes(dir_.File("tone.ogg")));
    const std::string outside = dir_.File("../outside.ogg");
    for (const std::string& name : {std::string("song.MID"), std::string("notes.txt"), std::string("../outside.ogg"), outside,
                                    std::string("missing.ogg"), std::string(".")}) {
        engine_.notices.clear();
        box().PlaySong(name, 1);
        Ticks(1);  // songs load with the tick's end
        ASSERT_EQ(engine_.notices.size(), 1u) << name;
        EXPECT_EQ(engine_.notices[0].body, "Unable to Load: " + name);
        EXPECT_NE(engine_.notices[0].caption.find("SongBox Error"), std::string::npos) << engine_.notices[0].caption;
        int32_t position = 0;
        int32_t repeat = 0;
        EXPECT_EQ(box().GetSongState(position, repeat), "~none") << name;
    }
    box().LoadSound("../outside.ogg");
    box().LoadSound(outside);
    EXPECT_TRUE(box().SampleNames().empty());
    std::remove(outside.c_str());

    // 400 seconds in 400 KB would decode to 70 MB.
    WriteFileBytes(dir_.File("long.wav"), QuietWav(1000, 400000));
    // It decodes two seconds a tick, the script's load waiting meanwhile,
    // and is refused once it passes five minutes, whatever its header says.
    EXPECT_FALSE(box().LoadSound("long.wav").done);
    EXPECT_FALSE(box().LoadSound("tone.wav").done) << "one sample decodes at a time";
    engine_.notices.clear();
    int ticks = 0;
    for (; ticks < 200 && box().Output().Decoding(); ++ticks) Ticks(1);
    EXPECT_GE(ticks, 60) << "a slice a tick";
    EXPECT_FALSE(box().Output().Decoding());
    EXPECT_TRUE(box().SampleNames().empty());
    EXPECT_LE(box().Output().DecodedBytes(), 0u);
    ASSERT_EQ(engine_.notices.size(), 1u);
    EXPECT_EQ(engine_.notices[0].body, "Unable to Load: long.wav");
    WriteFileBytes(dir_.File("short.wav"), QuietWav(1000, 4000));
    for (int tick = 0; tick < 10 && !box().LoadSound("short.wav").done; ++tick) Ticks(1);
    EXPECT_EQ(box().SampleNames(), std::vector<std::string>{"short.wav"});

    box().LoadSound("tone.wav");
    box().LoadSound("tone.wav");
    EXPECT_EQ(box().SampleNames().size(), 2u) << "shared by name";
    for (size_t i = 0; i < 2 * kMaxLoadedSamples; ++i) {
        std::string name;
        for (size_t j = 0; j < i; ++j) name += "./";
        box().LoadSound(name + "tone.wav");
    }
    EXPECT_EQ(box().SampleNames().size(), kMaxLoadedSamples) << "capped";
}

// A WAV file whose format chunk says 0 channels (or any other layout no
// decoder can take) as the header of a one-second tone.
std::string BadWav(const std::string& tone, int field, uint32_t value)
{
    std::string wav = tone;
    // Offsets in the format chunk: channels, rate, block alignment, bits.
    constexpr size_t kOffsets[] = {22, 24, 32, 34};
    constexpr int kBytes[] = {2, 4, 2, 2};
    for (int i = 0; i < kBytes[field]; ++i) wav[kOffsets[field] + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    return wav;
}

TEST_F(SoundBoxTest, BadWavHeadersAreRefusedBeforeAnyDecoderSeesThem)
{
    const std::string tone = ReadFileBytes(dir_.File("tone.wav"));
    struct Case {
        int field;
        uint32_t value;
    };
    const Case cases[] = {{0, 0}, {0, 9}, {1, 0}, {1, 999}, {2, 0}, {2, 3}, {3, 0}, {3, 12}};
    for (const Case& c : cases) {
        const std::string wav = BadWav(tone, c.field, c.value);
        std::string why;
        EXPECT_FALSE(KWavHeaderIsSound(wav, why)) << c.field << " " << c.value;
        EXPECT_FALSE(why.empty());
        WriteFileBytes(dir_.File("bad.wav"), wav);
        engine_.notices.clear();
        EXPECT_TRUE(box().LoadSound("bad.wav").done);
        box().PlaySong("bad.wav", 1);  // anything else is a module, and modules may be WAV files
        Ticks(1);
        ASSERT_EQ(engine_.notices.size(), 2u) << c.field << " " << c.value;
        EXPECT_EQ(engine_.notices[0].body, "Unable to Load: bad.wav");
        EXPECT_EQ(engine_.notices[1].body, "Unable to Load: bad.wav");
        box().ForgetSamples();
    }
    std::string why;
    EXPECT_TRUE(KWavHeaderIsSound(tone, why)) << why;
    EXPECT_FALSE(KWavHeaderIsSound(tone.substr(0, 30), why)) << "cut inside its format";
    EXPECT_TRUE(box().SampleNames().empty());
}

// The decoder counts what it decodes: a header's length is never trusted,
// and a module that jumps back to its start ends at the length limit.
TEST_F(SoundBoxTest, DecodingStopsAtTheLimitsWhateverTheFileSays)
{
    // Two seconds of tone whose header claims far more.
    std::string lying = ReadFileBytes(dir_.File("tone.wav"));
    std::string tone = lying.substr(44);
    while (tone.size() < 2 * 44100 * 2) tone += tone;
    lying = lying.substr(0, 40) + std::string(4, '\xff') + tone;
    struct Case {
        std::string bytes;
        double maxSeconds;
        KSampleDecoder::Status status;
    };
    std::string looping = ReadFileBytes(dir_.File("tiny.mod"));
    ASSERT_EQ(looping[1202], '\x0d') << "the pattern break that ends the song";
    looping[1202] = '\x0b';  // now a jump back to the first order: heard once, then over
    // 128 orders of 64 rows at the slowest speed: hours of sound.
    std::string endless = ReadFileBytes(dir_.File("tiny.mod"));
    endless[950] = static_cast<char>(128);
    endless[1202] = 0;
    endless[1084 + 8 + 2] = 0x0f;  // row 0, channel 2: speed 31
    endless[1084 + 8 + 3] = 31;
    const Case cases[] = {
        {lying, 1.0, KSampleDecoder::Status::Refused},
        {looping, 2.0, KSampleDecoder::Status::Done},
        {endless, 2.0, KSampleDecoder::Status::Refused},
        {ReadFileBytes(dir_.File("tiny.mod")), 10.0, KSampleDecoder::Status::Done},
        {ReadFileBytes(dir_.File("tone.ogg")), 1.0, KSampleDecoder::Status::Done},
        {ReadFileBytes(dir_.File("song.mid")), 10.0, KSampleDecoder::Status::Refused},
    };
    for (const Case& c : cases) {
        KSampleDecoder decoder(c.bytes, c.maxSeconds, size_t{64} << 20);
        int steps = 0;
        while (decoder.Step(kMixRate / 4) == KSampleDecoder::Status::More) ++steps;
        EXPECT_EQ(decoder.Current(), c.status) << c.bytes.substr(0, 4) << ": " << decoder.Why();
        EXPECT_LE(steps, static_cast<int>(c.maxSeconds * 4) + 1);
        EXPECT_LE(decoder.SourceFrames(), static_cast<int64_t>(c.maxSeconds * kMixRate) + 8192);
    }
    KSampleDecoder capped(endless, 60.0, size_t{1} << 20);
    while (capped.Step(kMixRate) == KSampleDecoder::Status::More) {
    }
    EXPECT_EQ(capped.Current(), KSampleDecoder::Status::Refused) << "a MiB of room runs out first";
    EXPECT_EQ(capped.Why(), "more sound than there is room for");

    // Back-and-forth copies count with the decoded samples.
    box().LoadSound("ramp.wav");
    const size_t decoded = box().Output().DecodedBytes();
    box().PlaySound("ramp.wav", 0, 2);
    EXPECT_EQ(box().Output().DecodedBytes(), decoded + (2 * 1000 - 2) * 4);
}

// Songs asked for in a loop: only the last of a tick is read, and every
// MIDI song plays on the one synthesiser; one with nothing in it plays once.
TEST_F(SoundBoxTest, SongsInALoopLoadOnceATickOnOneSynthesiser)
{
    // The synthesisers are made before the first tick, and only for a world
    // whose scripts name a MIDI file or play a string.
    EXPECT_FALSE(box().PrepareSongs());
    EXPECT_EQ(box().Output().SongSynthsMade(), 0);
    EXPECT_FALSE(box().Output().HasPlaySynth());
    Kobject& board = *engine_->vMain->Spawn_Back(engine_->TakeNextId(), 0);
    board.source = "#play \"c\"\n";
    EXPECT_FALSE(box().PrepareSongs());
    EXPECT_EQ(box().Output().SongSynthsMade(), 0);
    EXPECT_TRUE(box().Output().HasPlaySynth());
    board.source = "#song song.mid 1\n";
    EXPECT_TRUE(box().PrepareSongs());
    EXPECT_EQ(box().Output().SongSynthsMade(), 1);
    for (int tick = 0; tick < 5; ++tick) {
        for (int i = 0; i < 20; ++i) EXPECT_EQ(box().PlaySong("song.mid", 1).lookups, 1) << "charged as a look-up";
        Ticks(1);
    }
    EXPECT_EQ(box().Output().SongLoads(), 5);
    EXPECT_EQ(box().Output().SongSynthsMade(), 1);
    // One track holding only its end, on repeat.
    WriteFileBytes(dir_.File("empty.mid"), std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x04\0\xff\x2f\0", 26));
    box().PlaySong("empty.mid", 1);
    Ticks(10);
    EXPECT_FALSE(box().Output().SongPlaying()) << "played once and over";
    int32_t position = 0;
    int32_t repeat = 0;
    EXPECT_EQ(box().GetSongState(position, repeat), "empty.mid");
    EXPECT_EQ(box().Output().SongSynthsMade(), 1);
    EXPECT_TRUE(engine_.Reports().empty());

    // 5,000 notes struck at once would hold the synthesiser for seconds.
    std::string chord;
    for (int note = 0; note < 5000; ++note) chord += std::string("\0\x90\x3c\x40", 4);
    chord += std::string("\0\xff\x2f\0", 4);
    std::string length;
    for (int shift = 24; shift >= 0; shift -= 8) length += static_cast<char>(chord.size() >> shift);
    WriteFileBytes(dir_.File("chord.mid"), std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk", 18) + length + chord);
    box().PlaySong("chord.mid", 0);
    Ticks(1);
    ASSERT_EQ(engine_.notices.size(), 1u);
    EXPECT_EQ(engine_.notices[0].body, "Unable to Load: chord.mid");
    EXPECT_TRUE(box().StopAudio()) << "shutdown does not wait on the audio thread";
}

TEST_F(SoundBoxTest, SavedStateRoundTrips)
{
    box().PlaySong("tiny.mod", 1);
    box().LoadSound("tone.wav");
    box().LoadSound("ramp.wav");
    box().PlaySound("ramp.wav", 0, 2);
    box().PlaySound("tone.wav", 3, 1);
    box().PlaySound("tone.wav", 5, 0);
    box().StopSound(5);
    Ticks(2);
    const std::string saved = box().SaveState();
    EXPECT_EQ(saved.substr(0, saved.find("\n~endsamples")), "tiny.mod\n1\n" + saved.substr(11, saved.find('\n', 11) - 11) +
                                                                "\ntone.wav\nramp.wav");
    EXPECT_NE(saved.find("~endsamples\nramp.wav\n4\n528\n~none\n1\n-1\n~none\n1\n-1\ntone.wav\n2\n1470\n"),
              std::string::npos)
        << saved;

    box().StopAudio();
    box().PlaySong("song.mid", 0);
    box().StopSound(0);
    Start();
    box().LoadState(saved);
    Ticks(1);
    const std::string restored = box().SaveState();
    EXPECT_NE(restored.find("ramp.wav\n4\n735\n"), std::string::npos) << "528 + 735 frames, on the way back\n"
                                                                       << restored;
    EXPECT_NE(restored.find("tone.wav\n2\n2205\n"), std::string::npos) << restored;
    EXPECT_EQ(restored.substr(0, 11), "tiny.mod\n1\n");
    EXPECT_EQ(box().SampleNames(), (std::vector<std::string>{"tone.wav", "ramp.wav"}));

    // A damaged state restores what it can and nothing else.
    box().LoadState("garbage\nx\n\n~endsamples\n\xff\n");
    EXPECT_TRUE(box().SampleNames().empty());
    int32_t position = 0;
    EXPECT_EQ(Channel(0, position), "~none");
}

}  // namespace

#pragma once
// The sound box's way to the speakers: SDL audio with SDL_mixer for songs
// and the eight sample channels, libopenmpt for tracker modules, and a
// FluidSynth synthesiser for MIDI songs and the play-string messages, all
// mixed into the same output.
//
// The mixer runs on SDL's audio thread. The game thread never drives it
// directly: it queues commands, which the audio thread carries out between
// two blocks of output, and reads what the audio thread last published
// (which channels play, where). That keeps the game thread off the mixer's
// lock, which game-time rendering holds while it waits for the next tick;
// decoding, which takes that lock too, is then handed to the waiting audio
// thread (RunOnMixer).
//
// Two ways of running:
//   - Device: the machine's audio output (SDL's dummy output when there is
//     none: silent, and said once in the trace). Commands take effect with
//     the next block the device asks for.
//   - GameTime: no device; exactly 1/60 s of audio is mixed per game tick,
//     in step with the ticks, optionally written to a 16-bit WAV file. The
//     same world and inputs always give the same samples.

#include "KPlayString.h"
#include "KSampleDecoder.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct Mix_Chunk;
struct _Mix_Music;
struct _fluid_synth_t;

enum class KAudioMode : uint8_t { Device = 0, GameTime = 1 };

struct KAudioSettings {
    KAudioMode mode = KAudioMode::Device;
    std::string wavPath;  // GameTime: where the mix goes; empty for nowhere
};

// How a song file is decoded, chosen by its extension.
enum class KSongKind : uint8_t { Midi = 0, Stream = 1, Module = 2 };

// Loop modes of a sample channel as the sound box stores them.
enum : int32_t { kLoopOff = 1, kLoopNormal = 2, kLoopBidi = 4 };

inline constexpr int kSampleChannels = 8;
inline constexpr int kMixRate = 44100;
inline constexpr int kFramesPerTick = kMixRate / 60;
// Device blocks: 512 frames (11.6 ms) keep the delay from a command to the
// speaker short without asking much of the machine.
inline constexpr int kDeviceBlockFrames = 512;
inline constexpr size_t kMaxSongFileBytes = size_t{64} << 20;
inline constexpr size_t kMaxSampleFileBytes = size_t{16} << 20;
// A sample is decoded whole; a small file of few frames a second (or one
// compressed hard) could fill memory, so the decoder counts its length as
// it goes and gives up past this.
inline constexpr double kMaxSampleSeconds = 300.0;
// Decoded samples are kept for the whole run (a channel may still play
// one), with their back-and-forth copies; past this many bytes of them no
// more are decoded or copied.
inline constexpr size_t kMaxDecodedSampleBytes = size_t{512} << 20;
// Files refused as samples are never decoded again (a decoder library may
// keep a little memory from each failed open); past this many refusals no
// new sample file is decoded at all.
inline constexpr size_t kMaxRefusedSampleFiles = 256;
// A MIDI song striking more notes than this at one instant is refused: the
// synthesiser would spend seconds on them inside one block of sound.
inline constexpr int64_t kMaxMidiBurst = 4096;
// Nor is one of more events than this: the audio thread reads the whole
// file when the song starts.
inline constexpr int64_t kMaxMidiEvents = 200'000;

class KAudioOutput {
public:
    KAudioOutput();
    ~KAudioOutput();
    KAudioOutput(const KAudioOutput&) = delete;
    KAudioOutput& operator=(const KAudioOutput&) = delete;

    // False when no output could be had at all (the box then stays silent).
    bool Open(const KAudioSettings& settings);
    // False when the WAV file could not be written completely.
    bool Close();
    bool IsOpen() const { return open_; }
    KAudioMode Mode() const { return settings_.mode; }

    // --- Songs: one at a time ----------------------------------------------------
    // Decodes the song at path (a regular file) and starts it; false when
    // it cannot be loaded.
    bool StartSong(const std::string& path, KSongKind kind, bool repeat);
    void StopSong();
    // Whether the song still plays, as the audio thread last saw it.
    bool SongPlaying() const { return songPlaying_; }
    // Milliseconds into the song (ticks of the file for a MIDI song); 0
    // when the decoder cannot tell.
    int32_t SongPosition() const { return songPositionMs_; }
    void SeekSong(int32_t position);
    // Songs read and handed to a decoder, and synthesisers made for MIDI
    // songs, since the output opened.
    int64_t SongLoads() const { return songLoads_; }
    int64_t SongSynthsMade() const { return songSynthsMade_; }
    // Starts making the synthesiser of MIDI songs off the game thread, the
    // first time a MIDI song is asked for.
    void PrepareSongSynth();
    // Waits until the synthesiser asked for by PrepareSongSynth is made.
    void AwaitSongSynth() { EnsureSongSynth(); }
    // The same for the play strings' synthesiser.
    void PreparePlaySynth();
    void AwaitPlaySynth() { EnsureSynth(); }
    bool HasPlaySynth() const { return synth_ != nullptr; }
    // Whether a MIDI song can start without waiting for its synthesiser.
    // In game time a song waits for it instead, so runs repeat exactly.
    bool SongSynthReady();
    // A song that loaded but could not be started since the last call.
    bool TakeSongStartFailure() { return songStartFailed_.exchange(false); }

    // --- Samples -------------------------------------------------------------------
    // The decoded sample of a regular file, shared by every load of the same
    // real path; -1 when it cannot be decoded. Decodes it whole at once.
    int LoadSample(const std::string& realPath);
    // The same spread over calls: one file decodes at a time. Begin finds a
    // sample decoded before (its index) or starts decoding the file (-2;
    // -1 when it cannot be read or is refused at once, why saying why when
    // it was refused); Continue decodes about frames more and gives the
    // index once done, -2 while there is more, -1 when refused.
    int BeginSample(const std::string& realPath, std::string& why);
    int ContinueSample(int64_t frames, std::string& why);
    bool Decoding() const { return decoder_ != nullptr; }
    // Drops the file being decoded, if any, and forgets which files were
    // refused, so they may be tried again.
    void AbandonSample()
    {
        decoder_.reset();
        decoderPath_.clear();
        refusedPaths_.clear();
    }
    // Bytes of sound decoded (or read) since the last call.
    size_t TakeDecodedBytes() { return std::exchange(decodedSinceTaken_, 0); }
    size_t DecodedBytes() const { return decodedBytes_; }
    void PlaySample(int channel, int sample, int32_t loopMode);
    void StopChannel(int channel);
    // Frames into the sample, -1 when the channel does not play.
    int32_t ChannelPosition(int channel) const;
    void SeekChannel(int channel, int32_t frames);

    // --- Play-string messages -------------------------------------------------------
    void SendMidi(const KMidiMessage& message);

    // GameTime: the game tick is over; waits until its audio is mixed.
    void EndTick();
    // Blocks mixed so far (GameTime: ticks rendered, counting the lead-in).
    int64_t BlocksMixed() const { return blocksMixed_; }

    // The audio thread's work for one block: public for the mixer's C hooks.
    void AfterMix(uint8_t* stream, int bytes);
    void CountPlayed(int channel, int bytes);
    // The playing module's sound for the mixer's music hook.
    void MixModule(uint8_t* stream, int bytes);

    // Where a General MIDI sound font is found (QUAV_SOUNDFONT first); empty
    // when there is none.
    static std::string FindSoundFont();

private:
    struct Sample;
    struct Voice;
    struct Song;
    using Command = std::function<void()>;

    void Queue(Command command);
    // Runs work that takes the mixer's lock (decoding does) where it cannot
    // wait on the audio thread: in game time, on that thread while it waits
    // for the next tick; with a device, here.
    void RunOnMixer(const Command& work);
    void RunCommands(int64_t upToTick);
    bool OpenMixer();
    void PublishState();
    void WriteWav(const uint8_t* data, size_t bytes);
    bool FinishWav();
    void WaitForTick(int64_t tick);
    bool EnsureSynth();
    // The song synthesiser, made once and kept for every MIDI song after.
    bool EnsureSongSynth();
    bool StartMidi(std::shared_ptr<Song> song, bool repeat, bool hasEvents);
    bool StartModule(std::shared_ptr<Song> song, const std::string& path, bool repeat);
    // Audio thread: stops whatever song plays.
    void EndSongOnMixer();
    void MixSynth(_fluid_synth_t* synth, uint8_t* stream, int bytes);

    // Audio thread only.
    void StartVoice(int channel, const Sample* sample, int32_t loopMode, int32_t startFrame);
    void HaltVoice(int channel);

    KAudioSettings settings_;
    bool open_ = false;
    bool mixerOpen_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    struct Queued {
        int64_t tick;
        Command command;
    };
    std::vector<Queued> queue_;
    const Command* urgent_ = nullptr;  // GameTime: work the game thread waits on
    int64_t ticksDone_ = 0;     // GameTime: ticks the game has finished
    bool closing_ = false;
    std::atomic<int64_t> blocksMixed_{0};

    std::vector<std::unique_ptr<Sample>> samples_;
    size_t decodedBytes_ = 0;
    size_t decodedSinceTaken_ = 0;
    std::unique_ptr<KSampleDecoder> decoder_;
    std::string decoderPath_;
    std::vector<std::string> refusedPaths_;

    // The playing song and what it was decoded from; freed on the audio
    // thread, which may be mixing it.
    std::shared_ptr<Song> song_;

    std::array<std::atomic<int32_t>, kSampleChannels> positions_{};
    std::atomic<bool> songPlaying_{false};
    std::atomic<int32_t> songPositionMs_{0};
    std::atomic<bool> songStartFailed_{false};

    // Audio thread only.
    std::array<std::unique_ptr<Voice>, kSampleChannels> voices_;
    std::shared_ptr<Song> playingSong_;
    bool moduleEnded_ = false;
    _fluid_synth_t* audioSynth_ = nullptr;
    _fluid_synth_t* audioSongSynth_ = nullptr;
    std::vector<int16_t> synthBuffer_;

    // The play-string synthesiser, made while the world starts when its
    // scripts play strings, else at the first message.
    struct Synth;
    std::unique_ptr<Synth> synth_;
    bool synthTried_ = false;
    std::future<std::unique_ptr<Synth>> synthMaking_;
    std::unique_ptr<Synth> songSynth_;
    bool songSynthTried_ = false;
    std::future<std::unique_ptr<Synth>> songSynthMaking_;
    int64_t songLoads_ = 0;
    std::atomic<int64_t> songSynthsMade_{0};  // counted on the thread that makes it
    // Audio thread only: the MIDI song's player on the song synthesiser.
    struct MidiPlayer;
    std::unique_ptr<MidiPlayer> midi_;

    std::FILE* wav_ = nullptr;
    uint64_t wavBytes_ = 0;
    bool wavFailed_ = false;
};

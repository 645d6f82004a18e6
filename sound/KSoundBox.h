#pragma once
// The runner's sound box: one song at a time (a MIDI file, an Ogg or MP3
// stream, or a tracker module), eight sample channels, and the play-string
// sequencer. Scripts reach it through the engine root's sound calls.
//
// Every operation, Update included, runs on the game thread: the loop calls
// Update once per game tick, so the sequencer steps exactly once a tick and
// nothing here is shared with another thread. The audio thread is reached
// only through the output's command queue (KAudioOutput).
//
// Song and sample names are world-relative: the files lie beside the world
// file, never outside its folder, and saved games keep the names as given.

#include "KAudioOutput.h"
#include "KPlayString.h"
#include "KSoundCalls.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kNoSound = "~none";
// #loadsound shares samples by name; a world may hold this many names.
inline constexpr size_t kMaxLoadedSamples = 64;
// Frames of a sample decoded in one tick: a long sample loads over several.
inline constexpr int64_t kDecodeFramesPerTick = int64_t{kMixRate} * 2;

class KSoundBox {
public:
    KSoundBox();
    KSoundBox(const KSoundBox&) = delete;
    KSoundBox& operator=(const KSoundBox&) = delete;

    // Start-up and shutdown of sound with play. Without any output the
    // box still keeps its state and sends its messages to the MIDI log.
    void StartAudio(const KAudioSettings& settings, const std::string& midiLogPath);
    // False when the WAV file or the MIDI log could not be written.
    bool StopAudio();
    // When the world's scripts name MIDI files or play strings, makes their
    // synthesisers now, before play starts, rather than in the tick of the
    // first song or note (loading a sound font takes a good part of a
    // second). In game time it waits for them here. True when a MIDI file
    // is named.
    bool PrepareSongs();

    // The song starts with the tick's Update: of many asked for in one tick
    // only the last is looked up and loaded, and one that cannot be loaded
    // is reported then.
    KSoundWork PlaySong(std::string_view name, int32_t repeat);
    void StopSong();
    // A slice of the sample decodes now and one more with every Update;
    // not done while it decodes. One sample decodes at a time.
    KSoundWork LoadSound(std::string_view name);
    // The same decoded whole at once (a saved game's samples).
    void LoadSoundNow(std::string_view name);
    // mode 0 once, 1 loop, 2 back and forth.
    void PlaySound(std::string_view name, int32_t channel, int32_t mode);
    void StopSound(int32_t channel);
    // Stops the song, every sample channel and the tune (its sounding note
    // ends with the next step): a restarted game begins as silent as a new
    // one. Loaded samples stay loaded.
    void Silence();
    void SetPatch(int32_t program) { tune_.SetPatch(program); }
    void QueuePlay(std::string_view text, std::string_view owner) { tune_.QueuePlay(text, owner); }
    // Once per game tick: one step of the sequencer.
    void Update();

    // --- Saved games ------------------------------------------------------------------
    // The song's name ("~none" for none), its position and repeat flag.
    std::string GetSongState(int32_t& position, int32_t& repeat) const;
    void SetSongPosition(int32_t position);
    // The name last started on the channel, its play position (-1 when it
    // does not play) and its loop mode (1 off, 2 loop, 4 back and forth).
    std::string GetChannelState(int32_t channel, int32_t& position, int32_t& mode) const;
    void SetChannelPosition(int32_t channel, int32_t position);
    std::vector<std::string> SampleNames() const;
    void ForgetSamples()
    {
        samples_.clear();
        refused_.clear();
        decodingName_.clear();
        output_.AbandonSample();
    }
    // The whole state as the lines of a saved game's audio entry, and back.
    std::string SaveState() const;
    void LoadState(std::string_view text);

    const KPlayString& Tune() const { return tune_; }
    int64_t Updates() const { return updates_; }
    const KAudioOutput& Output() const { return output_; }

private:
    struct LoadedSample {
        std::string name;
        int sample = -1;
    };
    const LoadedSample* FindSample(std::string_view name) const;
    void SendMidi(const KMidiMessage& message);
    void StartPendingSong();
    void FinishLoad(std::string_view name, int sample, const std::string& why);

    KPlayString tune_;
    KAudioOutput output_;
    std::vector<LoadedSample> samples_;
    std::string decodingName_;
    bool decodedThisTick_ = false;  // a load's first slice was this tick's
    // Names whose files were refused, each reported once.
    std::vector<std::string> refused_;
    KSongKind songKind_ = KSongKind::Module;
    bool hasSong_ = false;
    bool songPending_ = false;
    int32_t pendingPosition_ = -1;
    std::string songName_ = kNoSound;
    int32_t songRepeat_ = 0;
    std::array<std::string, kSampleChannels> channelNames_;
    std::array<int32_t, kSampleChannels> channelModes_{};
    int64_t updates_ = 0;
    std::vector<KMidiMessage> messages_;
    std::ofstream midiLog_;
    bool midiLogWanted_ = false;
};

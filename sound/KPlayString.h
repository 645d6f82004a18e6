#pragma once
// The play-string sequencer: one queue of notes for the whole game, stepped
// once per game tick, turning note letters, durations, octave shifts and
// drum digits into raw MIDI messages (program change, note on, note off).
// It knows nothing of audio: the messages go wherever the caller sends them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct KMidiMessage {
    uint8_t bytes[3] = {0, 0, 0};
    uint8_t size = 0;
};

class KPlayString {
public:
    // Appends after "p" for the same owner (up to this many times), else
    // replaces the queue.
    static constexpr int32_t kMaxAppends = 60;
    static constexpr int32_t kMelodyChannel = 14;
    static constexpr int32_t kDrumChannel = 9;
    // Channels from here on are silent (rests, steps without a note).
    static constexpr int32_t kSilentChannel = 100;
    // Dotted lengths grow by half each time: a long run of dots would
    // overflow. An hour of ticks is more than any tune holds a note.
    static constexpr int32_t kMaxCountdown = 60 * 60 * 60;

    void QueuePlay(std::string_view text, std::string_view owner);
    // Drops the queue and its owner; the next step ends the sounding note.
    void Stop();
    void SetPatch(int32_t program) { patch_ = program; }
    // One tick: the messages this step sends are appended to out.
    void Step(std::vector<KMidiMessage>& out);

    const std::string& Queue() const { return queue_; }
    int32_t Patch() const { return patch_; }
    const std::string& Owner() const { return owner_; }
    int32_t Appended() const { return appended_; }

private:
    void NoteOff(std::vector<KMidiMessage>& out) const;
    void ReadStep();
    // Applies one character; false when it is a second note of the step,
    // which ends the step unread.
    bool Apply(char c, bool& taken);
    void EmptyQueue();

    std::string queue_;
    size_t position_ = 0;
    int32_t patch_ = 1;
    int32_t countdown_ = 0;
    int32_t noteLength_ = 3;
    int32_t channel_ = -1;
    int32_t note_ = 0;
    int32_t octaveBase_ = 48;
    int32_t savedLength_ = 3;
    std::string owner_;
    int32_t appended_ = 0;
};

#include "KPlayString.h"

#include <algorithm>

namespace {

constexpr int32_t kOctaveBase = 48;
constexpr int32_t kDefaultLength = 3;

// Semitones above the octave base of the note letters a to g.
constexpr int32_t kLetterOffsets[7] = {9, 11, 0, 2, 4, 5, 7};

// Drum characters and the keys they strike on the drum channel.
struct Drum {
    char c;
    int32_t key;
};
constexpr Drum kDrums[] = {{'0', 42}, {'1', 46}, {'2', 43}, {'4', 45}, {'5', 49},
                           {'6', 38}, {'7', 51}, {'8', 41}, {'9', 35}, {'z', 39}};

struct Duration {
    char c;
    int32_t ticks;
};
constexpr Duration kDurations[] = {{'w', 96}, {'h', 48}, {'q', 24}, {'i', 12}, {'s', 6}, {'t', 3}};

int32_t DrumKey(char c)
{
    for (const Drum& drum : kDrums) {
        if (drum.c == c) return drum.key;
    }
    return -1;
}

int32_t DurationTicks(char c)
{
    for (const Duration& duration : kDurations) {
        if (duration.c == c) return duration.ticks;
    }
    return -1;
}

// Data bytes carry seven bits; a key or program outside 0..127 would put a
// status byte where the synthesiser expects data.
uint8_t DataByte(int32_t value) { return static_cast<uint8_t>(value & 0x7F); }
uint8_t KeyByte(int32_t key) { return static_cast<uint8_t>(std::clamp(key, 0, 127)); }

KMidiMessage Message(int32_t status, uint8_t a)
{
    KMidiMessage m;
    m.bytes[0] = static_cast<uint8_t>(status);
    m.bytes[1] = a;
    m.size = 2;
    return m;
}

KMidiMessage Message(int32_t status, uint8_t a, uint8_t b)
{
    KMidiMessage m = Message(status, a);
    m.bytes[2] = b;
    m.size = 3;
    return m;
}

bool IsMidiChannel(int32_t channel) { return channel >= 0 && channel <= 15; }

}  // namespace

void KPlayString::QueuePlay(std::string_view text, std::string_view owner)
{
    if (owner == owner_ && appended_ < kMaxAppends) {
        queue_ += 'p';
        queue_ += text;
        ++appended_;
        return;
    }
    // The sounding note is not cut here; the next step ends it.
    queue_ = text;
    position_ = 0;
    countdown_ = 0;
    octaveBase_ = kOctaveBase;
    owner_ = owner;
    appended_ = 0;
    noteLength_ = kDefaultLength;
}

void KPlayString::Stop()
{
    EmptyQueue();
    countdown_ = 0;
    owner_.clear();
    appended_ = 0;
}

void KPlayString::NoteOff(std::vector<KMidiMessage>& out) const
{
    // Rests and empty steps sit on silent channels: they have no note to end.
    if (!IsMidiChannel(channel_)) return;
    out.push_back(Message(0x80 + channel_, KeyByte(note_), 0));
}

void KPlayString::EmptyQueue()
{
    queue_.clear();
    position_ = 0;
}

void KPlayString::Step(std::vector<KMidiMessage>& out)
{
    if (position_ >= queue_.size()) {
        if (countdown_ > 0) {
            --countdown_;
        } else {
            NoteOff(out);
            channel_ = -1;
            EmptyQueue();
            appended_ = 0;
        }
    }
    if (queue_.empty()) return;
    if (countdown_ > 0) {
        --countdown_;
        return;
    }
    NoteOff(out);
    ReadStep();
    if (countdown_ > 0) {
        savedLength_ = countdown_;
    } else {
        countdown_ = savedLength_;
    }
    if (channel_ < kSilentChannel) {
        out.push_back(Message(0xC0 + channel_, DataByte(patch_)));
        out.push_back(Message(0x90 + channel_, KeyByte(note_), 127));
    }
    if (position_ >= queue_.size()) {
        EmptyQueue();
        if (countdown_ > 0) --countdown_;
    }
}

void KPlayString::ReadStep()
{
    note_ = octaveBase_;
    countdown_ = noteLength_;
    // A step that reads no note, drum or rest sounds nothing: a tune of
    // modifiers alone stays silent rather than playing the octave base.
    channel_ = kSilentChannel;
    bool taken = false;
    while (position_ < queue_.size()) {
        if (!Apply(queue_[position_], taken)) return;
        ++position_;
    }
}

bool KPlayString::Apply(char c, bool& taken)
{
    if (c >= 'a' && c <= 'g') {
        if (taken) return false;
        taken = true;
        note_ = octaveBase_ + kLetterOffsets[c - 'a'];
        channel_ = kMelodyChannel;
        return true;
    }
    if (const int32_t drum = DrumKey(c); drum >= 0) {
        if (taken) return false;
        taken = true;
        note_ = drum;
        channel_ = kDrumChannel;
        return true;
    }
    if (const int32_t ticks = DurationTicks(c); ticks >= 0) {
        countdown_ = noteLength_ = ticks;
        return true;
    }
    switch (c) {
    case 'x':
        if (taken) return false;
        taken = true;
        channel_ = kSilentChannel;
        return true;
    case '#': ++note_; return true;
    case '!': --note_; return true;
    // The octave base stays within reach of a key: past 0..127 more shifts
    // change nothing audible.
    case '+': octaveBase_ = std::min(octaveBase_ + 12, 127 + 12); return true;
    case '-': octaveBase_ = std::max(octaveBase_ - 12, -12); return true;
    case '.':
        if (countdown_ != 0) countdown_ = std::min(countdown_ + countdown_ / 2, kMaxCountdown);
        return true;
    case '3': countdown_ = countdown_ == 0 ? 1 : countdown_ / 3; return true;
    case 'p':
        octaveBase_ = kOctaveBase;
        noteLength_ = kDefaultLength;
        return true;
    default: return true;
    }
}

#include "KSoundBox.h"

#include "KPaths.h"
#include "KTrace.h"
#include "Kinterface.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr const char* kCaption = "SongBox Error";
constexpr const char* kEndSamples = "~endsamples";

struct Extension {
    std::string_view text;
    KSongKind kind;
};
// Compared exactly: "MID" is not "mid" and plays as a module.
constexpr Extension kSongExtensions[] = {
    {"mid", KSongKind::Midi}, {"mp3", KSongKind::Stream}, {"ogg", KSongKind::Stream}};

// The loop modes stored per channel, by the play mode of #sound.
constexpr int32_t kLoopModes[] = {kLoopOff, kLoopNormal, kLoopBidi};

KSongKind SongKindOf(std::string_view name)
{
    const size_t dot = name.find_last_of('.');
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    for (const Extension& known : kSongExtensions) {
        if (known.text == extension) return known.kind;
    }
    return KSongKind::Module;
}

int32_t LoopModeOf(int32_t playMode)
{
    return playMode >= 0 && playMode < 3 ? kLoopModes[playMode] : kLoopOff;
}

int32_t PlayModeOf(int32_t loopMode)
{
    for (int32_t mode = 0; mode < 3; ++mode) {
        if (kLoopModes[mode] == loopMode) return mode;
    }
    return 0;
}

// What the world's scripts hold that needs a synthesiser: the name of a
// MIDI file, or a play string. A name built from pieces at run time escapes
// this, and its song then waits for the synthesiser in the tick it starts.
struct KSynthNeeds {
    bool songs = false;
    bool playStrings = false;
};

KSynthNeeds SynthNeedsOf(const Kobject& root)
{
    KSynthNeeds needs;
    std::vector<const Kobject*> pending{&root};
    while (!pending.empty() && !(needs.songs && needs.playStrings)) {
        const Kobject* node = pending.back();
        pending.pop_back();
        const std::string_view script = node->source.Text();
        needs.songs = needs.songs || script.find(".mid") != std::string_view::npos;
        needs.playStrings = needs.playStrings || script.find("#play") != std::string_view::npos;
        for (const std::unique_ptr<Kobject>& child : node->children) pending.push_back(child.get());
    }
    return needs;
}

bool IsSampleChannel(int32_t channel) { return channel >= 0 && channel < kSampleChannels; }

void Report(const std::string& message)
{
    if (Kinterface* engine = KEngine()) engine->Report(message, kCaption, 0);
}

std::string Resolve(std::string_view name)
{
    const Kinterface* engine = KEngine();
    return engine == nullptr ? std::string() : KFileBesideWorld(engine->vWorldPath, name);
}

// Reads the lines of a saved state; past the end every line is empty.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool AtEnd() const { return at_ >= text_.size(); }
    std::string_view Next()
    {
        if (AtEnd()) return {};
        size_t end = text_.find('\n', at_);
        if (end == std::string_view::npos) end = text_.size();
        const std::string_view line = text_.substr(at_, end - at_);
        at_ = end + 1;
        return line;
    }
    int32_t NextInt()
    {
        const std::string_view line = Next();
        int32_t value = 0;
        std::from_chars(line.data(), line.data() + line.size(), value);
        return value;
    }

private:
    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace

KSoundBox::KSoundBox()
{
    channelNames_.fill(kNoSound);
    channelModes_.fill(kLoopOff);
}

void KSoundBox::StartAudio(const KAudioSettings& settings, const std::string& midiLogPath)
{
    // Each play starts silent: no tune left over from an earlier game, and
    // the MIDI log counts this play's ticks from 0.
    tune_ = KPlayString();
    updates_ = 0;
    output_.Open(settings);
    midiLogWanted_ = !midiLogPath.empty();
    if (midiLogWanted_) midiLog_.open(midiLogPath, std::ios::binary | std::ios::trunc);
}

bool KSoundBox::StopAudio()
{
    StopSong();
    for (int32_t channel = 0; channel < kSampleChannels; ++channel) StopSound(channel);
    bool written = output_.Close();
    // The decoded samples went with the output.
    ForgetSamples();
    if (midiLogWanted_) {
        midiLog_.close();
        written = written && !midiLog_.fail();
        midiLogWanted_ = false;
    }
    midiLog_.clear();
    return written;
}

bool KSoundBox::PrepareSongs()
{
    const Kinterface* engine = KEngine();
    if (engine == nullptr || engine->vMain == nullptr || !output_.IsOpen()) return false;
    const KSynthNeeds needs = SynthNeedsOf(*engine->vMain);
    if (needs.songs) output_.PrepareSongSynth();
    if (needs.playStrings) output_.PreparePlaySynth();
    // Game time plays the same note at the same tick every run, so the
    // synthesisers must be there before the first tick rather than late.
    if (output_.Mode() == KAudioMode::GameTime) {
        if (needs.songs) output_.AwaitSongSynth();
        if (needs.playStrings) output_.AwaitPlaySynth();
    }
    return needs.songs;
}

KSoundWork KSoundBox::PlaySong(std::string_view name, int32_t repeat)
{
    StopSong();
    if (SongKindOf(name) == KSongKind::Midi) output_.PrepareSongSynth();
    songPending_ = true;
    pendingPosition_ = -1;
    songName_ = name;
    songRepeat_ = repeat;
    // Charged as the look-up it will be; the read is one a tick at most.
    return KSoundWork{1, 0, true};
}

void KSoundBox::StartPendingSong()
{
    songPending_ = false;
    const KSongKind kind = SongKindOf(songName_);
    const std::string path = Resolve(songName_);
    if (path.empty() || !output_.StartSong(path, kind, songRepeat_ != 0)) {
        // Nothing plays, so nothing is kept for a saved game either.
        Report("Unable to Load: " + songName_);
        songName_ = kNoSound;
        songRepeat_ = 0;
        return;
    }
    hasSong_ = true;
    songKind_ = kind;
    if (pendingPosition_ >= 0) output_.SeekSong(pendingPosition_);
}

void KSoundBox::StopSong()
{
    if (hasSong_) output_.StopSong();
    hasSong_ = false;
    songPending_ = false;
    songName_ = kNoSound;
    songRepeat_ = 0;
}

const KSoundBox::LoadedSample* KSoundBox::FindSample(std::string_view name) const
{
    for (const LoadedSample& loaded : samples_) {
        if (loaded.name == name) return &loaded;
    }
    return nullptr;
}

KSoundWork KSoundBox::LoadSound(std::string_view name)
{
    // A name loads once; a script loading in a loop adds nothing more.
    if (FindSample(name) != nullptr || samples_.size() >= kMaxLoadedSamples) return {};
    if (std::find(refused_.begin(), refused_.end(), name) != refused_.end()) return {};
    // Another sample still decodes (or this one): wait for it.
    if (!decodingName_.empty()) return KSoundWork{0, 0, false};
    const std::string path = Resolve(name);
    if (path.empty()) return KSoundWork{1, 0, true};
    std::string why;
    int sample = output_.BeginSample(path, why);
    if (sample == -2) {
        sample = output_.ContinueSample(kDecodeFramesPerTick, why);
        decodedThisTick_ = true;
    }
    KSoundWork work{1, static_cast<int64_t>(output_.TakeDecodedBytes()), true};
    if (sample == -2) {
        decodingName_ = name;
        work.done = false;
        return work;
    }
    FinishLoad(name, sample, why);
    return work;
}

void KSoundBox::LoadSoundNow(std::string_view name)
{
    if (FindSample(name) != nullptr || samples_.size() >= kMaxLoadedSamples) return;
    const std::string path = Resolve(name);
    if (path.empty()) return;
    const int sample = output_.LoadSample(path);
    output_.TakeDecodedBytes();
    if (sample >= 0) samples_.push_back(LoadedSample{std::string(name), sample});
}

// A file that was read but refused is reported, once per name; one that
// could not be read says nothing.
void KSoundBox::FinishLoad(std::string_view name, int sample, const std::string& why)
{
    if (sample >= 0) {
        samples_.push_back(LoadedSample{std::string(name), sample});
        return;
    }
    if (why.empty() || refused_.size() >= kMaxLoadedSamples) return;
    refused_.emplace_back(name);
    Report("Unable to Load: " + std::string(name));
}

void KSoundBox::PlaySound(std::string_view name, int32_t channel, int32_t mode)
{
    if (!IsSampleChannel(channel)) return;
    const LoadedSample* loaded = FindSample(name);
    if (loaded == nullptr) return;
    const size_t at = static_cast<size_t>(channel);
    channelNames_[at] = name;
    channelModes_[at] = LoopModeOf(mode);
    output_.PlaySample(channel, loaded->sample, channelModes_[at]);
}

void KSoundBox::StopSound(int32_t channel)
{
    if (!IsSampleChannel(channel)) return;
    output_.StopChannel(channel);
    channelNames_[static_cast<size_t>(channel)] = kNoSound;
}

void KSoundBox::Silence()
{
    StopSong();
    for (int32_t channel = 0; channel < kSampleChannels; ++channel) StopSound(channel);
    tune_.Stop();
}

void KSoundBox::SendMidi(const KMidiMessage& message)
{
    if (midiLogWanted_) {
        std::string line = std::to_string(updates_);
        for (uint8_t i = 0; i < message.size; ++i) line += ' ' + std::to_string(message.bytes[i]);
        line += '\n';
        midiLog_ << line;
    }
    output_.SendMidi(message);
}

void KSoundBox::Update()
{
    messages_.clear();
    tune_.Step(messages_);
    for (const KMidiMessage& message : messages_) SendMidi(message);
    // A MIDI song waits for its synthesiser, which is made off the game thread.
    if (songPending_ && (SongKindOf(songName_) != KSongKind::Midi || output_.SongSynthReady())) StartPendingSong();
    if (!decodingName_.empty() && !std::exchange(decodedThisTick_, false)) {
        std::string why;
        const int sample = output_.ContinueSample(kDecodeFramesPerTick, why);
        output_.TakeDecodedBytes();
        if (sample != -2) {
            FinishLoad(decodingName_, sample, why);
            decodingName_.clear();
        }
    }
    // A module played once stops by itself at its end; its name stays.
    if (hasSong_ && output_.TakeSongStartFailure()) {
        Report(songKind_ == KSongKind::Stream ? std::string("Unable to create audio Stream")
                                              : "Unable to Load: " + songName_);
    }
    output_.EndTick();
    ++updates_;
}

std::string KSoundBox::GetSongState(int32_t& position, int32_t& repeat) const
{
    position = hasSong_ ? output_.SongPosition() : songPending_ ? std::max(pendingPosition_, 0) : 0;
    repeat = songRepeat_;
    return songName_;
}

void KSoundBox::SetSongPosition(int32_t position)
{
    if (songPending_) {
        pendingPosition_ = position;
    } else if (hasSong_) {
        output_.SeekSong(position);
    }
}

std::string KSoundBox::GetChannelState(int32_t channel, int32_t& position, int32_t& mode) const
{
    position = -1;
    mode = kLoopOff;
    if (!IsSampleChannel(channel)) return kNoSound;
    position = output_.ChannelPosition(channel);
    mode = channelModes_[static_cast<size_t>(channel)];
    return channelNames_[static_cast<size_t>(channel)];
}

void KSoundBox::SetChannelPosition(int32_t channel, int32_t position)
{
    if (IsSampleChannel(channel) && position >= 0) output_.SeekChannel(channel, position);
}

std::vector<std::string> KSoundBox::SampleNames() const
{
    std::vector<std::string> names;
    for (const LoadedSample& loaded : samples_) names.push_back(loaded.name);
    return names;
}

std::string KSoundBox::SaveState() const
{
    std::string text;
    const auto line = [&text](const std::string& value) {
        text += value;
        text += '\n';
    };
    int32_t position = 0;
    int32_t repeat = 0;
    line(GetSongState(position, repeat));
    line(std::to_string(repeat));
    line(std::to_string(position));
    for (const LoadedSample& loaded : samples_) line(loaded.name);
    line(kEndSamples);
    for (int32_t channel = 0; channel < kSampleChannels; ++channel) {
        int32_t mode = 0;
        line(GetChannelState(channel, position, mode));
        line(std::to_string(mode));
        line(std::to_string(position));
    }
    return text;
}

void KSoundBox::LoadState(std::string_view text)
{
    ForgetSamples();
    StopSong();
    Lines lines(text);
    const std::string song(lines.Next());
    const int32_t repeat = lines.NextInt();
    const int32_t songPosition = lines.NextInt();
    if (song != kNoSound && !song.empty()) {
        PlaySong(song, repeat);
        SetSongPosition(songPosition);
    }
    // LoadSound stops adding at its cap; the rest of a long list is read past.
    for (std::string_view name = lines.Next(); !lines.AtEnd() && name != kEndSamples; name = lines.Next()) {
        LoadSoundNow(name);
    }
    for (int32_t channel = 0; channel < kSampleChannels; ++channel) {
        const std::string name(lines.Next());
        const int32_t mode = lines.NextInt();
        const int32_t position = lines.NextInt();
        // What played before the load stops, even when the saved sample
        // cannot be started again.
        StopSound(channel);
        if (name == kNoSound || name.empty()) continue;
        PlaySound(name, channel, PlayModeOf(mode));
        SetChannelPosition(channel, position);
    }
}

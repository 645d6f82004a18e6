#include "KAudioOutput.h"

#include "KMidiScan.h"
#include "KModule.h"
#include "KPaths.h"
#include "KTrace.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr int kBytesPerFrame = 4;  // 16-bit stereo
constexpr size_t kMaxQueuedCommands = 4096;
// GameTime: how long the game waits for a tick's audio before it gives up
// on keeping step (the audio thread has stopped); play goes on regardless.
constexpr auto kLockstepPatience = std::chrono::seconds(5);

constexpr const char* kSoundFontPlaces[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/soundfonts/default.sf2",
};

// By song kind; modules are libopenmpt's, not the mixer's.
constexpr Mix_MusicType kMusicTypes[] = {MUS_MID, MUS_OGG, MUS_NONE};

void SdlLogToTrace(void*, int, SDL_LogPriority, const char* message) { KTRACE("SDL: %s\n", message); }

void FluidLogToTrace(int, const char* message, void*) { KTRACE("FluidSynth: %s\n", message); }

void PostMixHook(void* output, Uint8* stream, int bytes)
{
    static_cast<KAudioOutput*>(output)->AfterMix(stream, bytes);
}

void ModuleHook(void* output, Uint8* stream, int bytes)
{
    static_cast<KAudioOutput*>(output)->MixModule(stream, bytes);
}

void EffectHook(int channel, void*, int bytes, void* output)
{
    static_cast<KAudioOutput*>(output)->CountPlayed(channel, bytes);
}

constexpr size_t kWavHeaderBytes = 44;

// A 16-bit stereo PCM WAV header for dataBytes of samples.
std::array<uint8_t, kWavHeaderBytes> WavHeader(uint32_t dataBytes)
{
    std::array<uint8_t, kWavHeaderBytes> h{};
    size_t at = 0;
    const auto text = [&](const char* s) {
        for (int i = 0; i < 4; ++i) h[at++] = static_cast<uint8_t>(s[i]);
    };
    const auto number = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) h[at++] = static_cast<uint8_t>(value >> (8 * i));
    };
    text("RIFF");
    number(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    number(16, 4);
    number(1, 2);  // PCM
    number(2, 2);
    number(kMixRate, 4);
    number(kMixRate * kBytesPerFrame, 4);
    number(kBytesPerFrame, 2);
    number(16, 2);
    text("data");
    number(dataBytes, 4);
    return h;
}

int16_t Saturated(int32_t value)
{
    return static_cast<int16_t>(std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

}  // namespace

struct KAudioOutput::Sample {
    std::string path;
    KPcmBytes pcm;  // the decoded sound, which chunk plays
    Mix_Chunk* chunk = nullptr;
    // The sample forwards and then backwards, for back-and-forth loops;
    // made the first time a channel plays it so.
    std::vector<uint8_t> bidi;
    int32_t frames = 0;
};

struct KAudioOutput::Voice {
    const Sample* sample = nullptr;
    Mix_Chunk* chunk = nullptr;  // what the channel plays; its bytes are data or a sample's
    std::vector<uint8_t> data;   // a sample turned to start elsewhere
    int32_t loopMode = kLoopOff;
    int32_t sampleFrames = 0;
    int32_t periodFrames = 0;    // frames before the played bytes repeat
    int64_t startFrame = 0;
    int64_t playedBytes = 0;
};

struct KAudioOutput::Song {
    std::string bytes;  // the file, which the decoder reads as it plays
    Mix_Music* music = nullptr;
    KModulePtr module;  // a module plays through the mixer's music hook
    double moduleSeconds = 0;  // one pass through it
    bool repeat = false;
    Song() = default;
    Song(const Song&) = delete;
    Song& operator=(const Song&) = delete;
    ~Song()
    {
        if (music != nullptr) Mix_FreeMusic(music);
    }
};

struct KAudioOutput::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    Synth() = default;
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;
    ~Synth()
    {
        if (synth != nullptr) delete_fluid_synth(synth);
        if (settings != nullptr) delete_fluid_settings(settings);
    }
};

namespace {

// A synthesiser at the mix rate with the sound font loaded; null when there
// is no sound font or it cannot be loaded. Only the audio thread plays it.
template <typename SynthT>
std::unique_ptr<SynthT> MakeSynth(const char* what)
{
    const std::string soundFont = KAudioOutput::FindSoundFont();
    if (soundFont.empty()) {
        KTRACE("No General MIDI sound font: %s are silent\n", what);
        return nullptr;
    }
    auto synth = std::make_unique<SynthT>();
    synth->settings = new_fluid_settings();
    if (synth->settings == nullptr) return nullptr;
    fluid_settings_setnum(synth->settings, "synth.sample-rate", kMixRate);
    fluid_settings_setint(synth->settings, "synth.threadsafe-api", 0);
    // Songs move on with the sound rendered, not the clock: game-time runs
    // hear the same song at the same tick every time.
    fluid_settings_setstr(synth->settings, "player.timing-source", "sample");
    synth->synth = new_fluid_synth(synth->settings);
    if (synth->synth == nullptr || fluid_synth_sfload(synth->synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        KTRACE("Sound font %s could not be loaded: %s are silent\n", soundFont.c_str(), what);
        return nullptr;
    }
    return synth;
}

}  // namespace

// A MIDI song on the song synthesiser.
struct KAudioOutput::MidiPlayer {
    fluid_player_t* player = nullptr;
    fluid_synth_t* synth = nullptr;
    // The player plays the file once; a repeated song is started again
    // here, at most once a block, so no file can keep the player
    // restarting inside one block.
    bool repeat = false;
    MidiPlayer() = default;
    MidiPlayer(const MidiPlayer&) = delete;
    MidiPlayer& operator=(const MidiPlayer&) = delete;
    ~MidiPlayer()
    {
        if (player == nullptr) return;
        fluid_player_stop(player);
        delete_fluid_player(player);
        // Notes still sounding and the song's instruments go with it.
        fluid_synth_system_reset(synth);
    }
};

KAudioOutput::KAudioOutput()
{
    for (std::atomic<int32_t>& position : positions_) position = -1;
}

KAudioOutput::~KAudioOutput() { Close(); }

std::string KAudioOutput::FindSoundFont()
{
    if (const char* chosen = std::getenv("QUAV_SOUNDFONT"); chosen != nullptr && *chosen != '\0') {
        return KKindOfFile(chosen) == KFileKind::Regular ? std::string(chosen) : std::string();
    }
    for (const char* place : kSoundFontPlaces) {
        if (KKindOfFile(place) == KFileKind::Regular) return place;
    }
    return {};
}

bool KAudioOutput::OpenMixer()
{
    const bool gameTime = settings_.mode == KAudioMode::GameTime;
    if (gameTime) {
        // SDL's file output with no pause between blocks: the blocks come
        // as fast as the ticks release them, and the bytes it writes are
        // not wanted (the WAV file is written here, in step with the game).
        SDL_setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        SDL_setenv("SDL_DISKAUDIODELAY", "0", 1);
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "disk", SDL_HINT_OVERRIDE);
    }
    // The program decides what SIGINT and SIGTERM do, not the audio library.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const int blockFrames = gameTime ? kFramesPerTick : kDeviceBlockFrames;
    const auto tryOpen = [blockFrames] {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        if (Mix_OpenAudioDevice(kMixRate, AUDIO_S16SYS, 2, blockFrames, nullptr, 0) == 0) return true;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    };
    bool opened = tryOpen();
    if (!opened && !gameTime) {
        KTRACE("No audio device (%s): the game plays silently\n", SDL_GetError());
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        opened = tryOpen();
    }
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!opened) {
        KTRACE("No audio output at all: %s\n", SDL_GetError());
        return false;
    }
    KTRACE("Audio output: %s, %i Hz, blocks of %i frames\n", SDL_GetCurrentAudioDriver(), kMixRate, blockFrames);
    return true;
}

bool KAudioOutput::Open(const KAudioSettings& settings)
{
    Close();
    settings_ = settings;
    SDL_LogSetOutputFunction(SdlLogToTrace, nullptr);
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, FluidLogToTrace, nullptr);
    wavFailed_ = false;
    wavBytes_ = 0;
    if (settings_.mode == KAudioMode::GameTime && !settings_.wavPath.empty()) {
        wav_ = std::fopen(settings_.wavPath.c_str(), "wb");
        const auto header = WavHeader(0);
        if (wav_ == nullptr || std::fwrite(header.data(), 1, header.size(), wav_) != header.size()) wavFailed_ = true;
    }
    Mix_Init(MIX_INIT_MID | MIX_INIT_OGG | MIX_INIT_MP3);
    if (!OpenMixer()) {
        Mix_Quit();
        return false;
    }
    mixerOpen_ = true;
    const std::string soundFont = FindSoundFont();
    if (!soundFont.empty()) Mix_SetSoundFonts(soundFont.c_str());
    Mix_AllocateChannels(kSampleChannels);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = false;
        ticksDone_ = 0;
        queue_.clear();
    }
    blocksMixed_ = 0;
    open_ = true;
    Mix_SetPostMix(PostMixHook, this);
    return true;
}

bool KAudioOutput::Close()
{
    if (mixerOpen_) {
        {
            // Free the audio thread from waiting for a tick that never comes.
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HookMusic(nullptr, nullptr);
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        mixerOpen_ = false;
    }
    // The audio thread is gone: what it owned can go now.
    queue_.clear();
    playingSong_.reset();
    midi_.reset();
    if (songSynthMaking_.valid()) songSynthMaking_.wait();
    songSynthMaking_ = {};
    songSynth_.reset();
    songSynthTried_ = false;
    songLoads_ = 0;
    songSynthsMade_ = 0;
    decoder_.reset();
    decoderPath_.clear();
    refusedPaths_.clear();
    for (std::unique_ptr<Voice>& voice : voices_) {
        if (voice && voice->chunk != nullptr) Mix_FreeChunk(voice->chunk);
        voice.reset();
    }
    for (const std::unique_ptr<Sample>& sample : samples_) Mix_FreeChunk(sample->chunk);
    samples_.clear();
    decodedBytes_ = 0;
    audioSynth_ = nullptr;
    audioSongSynth_ = nullptr;
    if (synthMaking_.valid()) synthMaking_.wait();
    synthMaking_ = {};
    synth_.reset();
    synthTried_ = false;
    if (open_) Mix_Quit();
    open_ = false;
    for (std::atomic<int32_t>& position : positions_) position = -1;
    songPlaying_ = false;
    songPositionMs_ = 0;
    return FinishWav();
}

// --- Commands -------------------------------------------------------------------------

void KAudioOutput::Queue(Command command)
{
    if (!open_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    // Only an audio thread that has stopped leaves this many waiting.
    if (queue_.size() >= kMaxQueuedCommands) return;
    queue_.push_back(Queued{ticksDone_, std::move(command)});
}

void KAudioOutput::RunCommands(int64_t upToTick)
{
    std::vector<Queued> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto later = std::stable_partition(queue_.begin(), queue_.end(),
                                                 [upToTick](const Queued& q) { return q.tick <= upToTick; });
        due.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(later));
        queue_.erase(queue_.begin(), later);
    }
    for (Queued& queued : due) queued.command();
}

void KAudioOutput::RunOnMixer(const Command& work)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (settings_.mode != KAudioMode::GameTime || closing_) {
        lock.unlock();
        work();
        return;
    }
    urgent_ = &work;
    wake_.notify_all();
    wake_.wait(lock, [&] { return urgent_ == nullptr || closing_; });
    if (urgent_ != nullptr) {
        // The audio thread is stopping: it no longer holds the lock.
        urgent_ = nullptr;
        lock.unlock();
        work();
    }
}

void KAudioOutput::EndTick()
{
    if (!open_ || settings_.mode != KAudioMode::GameTime) return;
    std::unique_lock<std::mutex> lock(mutex_);
    ++ticksDone_;
    wake_.notify_all();
    const int64_t wanted = ticksDone_ + 1;  // the lead-in block, then one a tick
    if (!wake_.wait_for(lock, kLockstepPatience, [&] { return blocksMixed_ >= wanted || closing_; })) {
        KTRACE("The audio thread fell behind; sound no longer keeps step\n");
        closing_ = true;
        wake_.notify_all();
    }
}

void KAudioOutput::WaitForTick(int64_t tick)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return ticksDone_ > tick || closing_ || urgent_ != nullptr; });
        if (urgent_ == nullptr) return;
        (*urgent_)();
        urgent_ = nullptr;
        wake_.notify_all();
    }
}

void KAudioOutput::AfterMix(uint8_t* stream, int bytes)
{
    MixSynth(audioSynth_, stream, bytes);
    MixSynth(audioSongSynth_, stream, bytes);
    const int64_t block = blocksMixed_;
    const bool gameTime = settings_.mode == KAudioMode::GameTime;
    bool closing = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing = closing_;
    }
    // GameTime: block 0 is mixed before the first tick; block n is tick n - 1.
    // Once the game has ended, blocks mixed before the thread stops belong
    // to no tick.
    if (gameTime && block >= 1 && !closing) WriteWav(stream, static_cast<size_t>(bytes));
    PublishState();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        blocksMixed_ = block + 1;
    }
    wake_.notify_all();
    if (!gameTime) {
        RunCommands(std::numeric_limits<int64_t>::max());
        return;
    }
    WaitForTick(block);
    RunCommands(block);
}

// --- Songs -------------------------------------------------------------------------------

bool KAudioOutput::StartSong(const std::string& path, KSongKind kind, bool repeat)
{
    if (!open_) return false;
    auto song = std::make_shared<Song>();
    std::string error;
    if (!KReadRegularFile(path, kMaxSongFileBytes, song->bytes, error)) return false;
    ++songLoads_;
    // A MIDI file named as a module (".MID") is refused as the module it
    // is not, rather than played by anything else.
    if (kind == KSongKind::Module && song->bytes.compare(0, 4, "MThd") == 0) return false;
    // The module decoder reads WAV files too, trusting their headers.
    if (!KWavHeaderIsSound(song->bytes, error)) {
        KTRACE("Song %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    if (kind == KSongKind::Midi) {
        const KMidiFacts facts = KScanMidi(song->bytes);
        if (!facts.valid || facts.burst > kMaxMidiBurst || facts.events > kMaxMidiEvents) {
            KTRACE("Song %s: %s\n", path.c_str(), facts.valid ? "too many events" : "not a MIDI file");
            return false;
        }
        // A song with nothing to play is over at once: looped, it would
        // start again without end.
        return StartMidi(std::move(song), repeat, facts.events > 0);
    }
    if (kind == KSongKind::Module) return StartModule(std::move(song), path, repeat);
    SDL_RWops* source = SDL_RWFromConstMem(song->bytes.data(), static_cast<int>(song->bytes.size()));
    if (source == nullptr) return false;
    RunOnMixer([&] { song->music = Mix_LoadMUSType_RW(source, kMusicTypes[static_cast<size_t>(kind)], 1); });
    if (song->music == nullptr) {
        KTRACE("Song %s: %s\n", path.c_str(), Mix_GetError());
        return false;
    }
    song->repeat = repeat;
    // The audio thread holds the last reference, so the song is freed there.
    Queue([this, song]() mutable {
        EndSongOnMixer();
        playingSong_ = std::move(song);
        if (Mix_PlayMusic(playingSong_->music, playingSong_->repeat ? -1 : 0) != 0) songStartFailed_ = true;
    });
    return true;
}

// Modules render through libopenmpt into the mixer's music hook, so the
// mixer still adds the samples and the MIDI song to them.
bool KAudioOutput::StartModule(std::shared_ptr<Song> song, const std::string& path, bool repeat)
{
    std::string why;
    song->module = KOpenModule(song->bytes, repeat, why);
    if (song->module == nullptr) {
        KTRACE("Song %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    song->moduleSeconds = KModuleDuration(song->module.get());
    // The module holds what it needs of the file.
    song->bytes = std::string();
    song->repeat = repeat;
    Queue([this, song]() mutable {
        EndSongOnMixer();
        playingSong_ = std::move(song);
        moduleEnded_ = false;
        Mix_HookMusic(ModuleHook, this);
    });
    return true;
}

void KAudioOutput::EndSongOnMixer()
{
    Mix_HookMusic(nullptr, nullptr);
    Mix_HaltMusic();
    playingSong_.reset();
    midi_.reset();
    // A stopped song is cut off, echo and all, as the mixer cuts its music.
    audioSongSynth_ = nullptr;
}

void KAudioOutput::MixModule(uint8_t* stream, int bytes)
{
    if (!playingSong_ || playingSong_->module == nullptr || moduleEnded_) return;
    const int64_t frames = bytes / kBytesPerFrame;
    auto* samples = reinterpret_cast<int16_t*>(stream);
    for (int64_t done = 0; done < frames;) {
        const int64_t got = KRenderModule(playingSong_->module.get(), frames - done, samples + 2 * done);
        if (got <= 0) {
            moduleEnded_ = true;
            return;
        }
        done += got;
    }
}

void KAudioOutput::PrepareSongSynth()
{
    if (!open_ || songSynthTried_ || songSynthMaking_.valid() || FindSoundFont().empty()) return;
    // Loading a sound font takes a good part of a second: the synthesiser
    // every MIDI song plays on is made beside the game, once.
    songSynthMaking_ = std::async(std::launch::async, [this] {
        ++songSynthsMade_;
        return MakeSynth<Synth>("MIDI songs");
    });
}

bool KAudioOutput::SongSynthReady()
{
    return settings_.mode == KAudioMode::GameTime || !songSynthMaking_.valid() ||
           songSynthMaking_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

bool KAudioOutput::EnsureSongSynth()
{
    if (!songSynthTried_) {
        songSynthTried_ = true;
        songSynth_ = songSynthMaking_.valid() ? songSynthMaking_.get() : nullptr;
    }
    return songSynth_ != nullptr;
}

// One synthesiser serves every MIDI song: a new song is only a new player
// on it, made on the audio thread, which parses the file there.
bool KAudioOutput::StartMidi(std::shared_ptr<Song> song, bool repeat, bool hasEvents)
{
    if (!EnsureSongSynth()) return false;
    if (!hasEvents) {
        // Nothing to hear: the song is over as soon as it starts.
        StopSong();
        return true;
    }
    fluid_synth_t* synth = songSynth_->synth;
    Queue([this, song, synth, repeat] {
        EndSongOnMixer();
        auto midi = std::make_unique<MidiPlayer>();
        midi->synth = synth;
        midi->repeat = repeat;
        midi->player = new_fluid_player(synth);
        if (midi->player == nullptr || fluid_player_add_mem(midi->player, song->bytes.data(), song->bytes.size()) != FLUID_OK ||
            fluid_player_play(midi->player) != FLUID_OK) {
            songStartFailed_ = true;
            return;
        }
        midi_ = std::move(midi);
        audioSongSynth_ = synth;
    });
    return true;
}

void KAudioOutput::StopSong()
{
    Queue([this] { EndSongOnMixer(); });
}

void KAudioOutput::SeekSong(int32_t position)
{
    Queue([this, position] {
        // MIDI songs count their position in the file's ticks, others in milliseconds.
        const double seconds = static_cast<double>(std::max(position, 0)) / 1000.0;
        if (midi_) fluid_player_seek(midi_->player, std::max(position, 0));
        if (playingSong_ && playingSong_->module != nullptr) {
            KSeekModule(playingSong_->module.get(), seconds);
            moduleEnded_ = false;
        } else if (playingSong_) {
            Mix_SetMusicPosition(seconds);
        }
    });
}

// --- Samples -----------------------------------------------------------------------------

int KAudioOutput::LoadSample(const std::string& realPath)
{
    std::string why;
    if (decoder_ != nullptr && decoderPath_ != realPath) ContinueSample(std::numeric_limits<int64_t>::max() / 8, why);
    int sample = BeginSample(realPath, why);
    while (sample == -2) sample = ContinueSample(std::numeric_limits<int64_t>::max() / 8, why);
    return sample;
}

int KAudioOutput::BeginSample(const std::string& realPath, std::string& why)
{
    if (!open_) return -1;
    for (size_t i = 0; i < samples_.size(); ++i) {
        if (samples_[i]->path == realPath) return static_cast<int>(i);
    }
    if (decoder_ != nullptr) return decoderPath_ == realPath ? -2 : -1;
    if (decodedBytes_ >= kMaxDecodedSampleBytes || refusedPaths_.size() >= kMaxRefusedSampleFiles) return -1;
    if (std::find(refusedPaths_.begin(), refusedPaths_.end(), realPath) != refusedPaths_.end()) return -1;
    std::string bytes;
    std::string error;
    if (!KReadRegularFile(realPath, kMaxSampleFileBytes, bytes, error)) return -1;
    decodedSinceTaken_ += bytes.size();
    decoder_ = std::make_unique<KSampleDecoder>(std::move(bytes), kMaxSampleSeconds,
                                                kMaxDecodedSampleBytes - decodedBytes_);
    decoderPath_ = realPath;
    if (decoder_->Current() == KSampleDecoder::Status::Refused) return ContinueSample(0, why);
    return -2;
}

int KAudioOutput::ContinueSample(int64_t frames, std::string& why)
{
    if (decoder_ == nullptr) return -1;
    const size_t before = decoder_->Output().Size();
    const KSampleDecoder::Status status = decoder_->Step(frames);
    decodedSinceTaken_ += decoder_->Output().Size() > before ? decoder_->Output().Size() - before : 0;
    if (status == KSampleDecoder::Status::More) return -2;
    std::unique_ptr<KSampleDecoder> decoder = std::move(decoder_);
    const std::string path = std::move(decoderPath_);
    decoderPath_.clear();
    KPcmBytes& pcm = decoder->Output();
    if (status == KSampleDecoder::Status::Refused || pcm.Size() < kBytesPerFrame ||
        pcm.Size() > std::numeric_limits<Uint32>::max()) {
        why = decoder->Why();
        KTRACE("Sample %s: %s, not loaded\n", path.c_str(), why.empty() ? "no sound in it" : why.c_str());
        refusedPaths_.push_back(path);
        return -1;
    }
    auto sample = std::make_unique<Sample>();
    sample->path = path;
    sample->pcm = std::move(pcm);
    sample->chunk = Mix_QuickLoad_RAW(sample->pcm.Data(), static_cast<Uint32>(sample->pcm.Size()));
    if (sample->chunk == nullptr) return -1;
    sample->frames = static_cast<int32_t>(sample->pcm.Size() / kBytesPerFrame);
    decodedBytes_ += sample->pcm.Size();
    samples_.push_back(std::move(sample));
    return static_cast<int>(samples_.size() - 1);
}

void KAudioOutput::PlaySample(int channel, int sample, int32_t loopMode)
{
    if (channel < 0 || channel >= kSampleChannels || sample < 0 || static_cast<size_t>(sample) >= samples_.size()) return;
    Sample* played = samples_[static_cast<size_t>(sample)].get();
    const size_t bidiBytes = played->frames >= 3 ? (static_cast<size_t>(played->frames) * 2 - 2) * kBytesPerFrame : 0;
    // The copy counts with the decoded samples; past their limit the sample
    // loops forwards only.
    if (loopMode == kLoopBidi && played->bidi.empty() && played->frames >= 3 &&
        decodedBytes_ + bidiBytes <= kMaxDecodedSampleBytes) {
        decodedBytes_ += bidiBytes;
        // Forwards, then backwards without repeating either end frame, so
        // the loop turns without a doubled frame.
        const uint8_t* bytes = played->chunk->abuf;
        const size_t total = static_cast<size_t>(played->frames) * kBytesPerFrame;
        played->bidi.assign(bytes, bytes + total);
        for (int32_t frame = played->frames - 2; frame >= 1; --frame) {
            const uint8_t* at = bytes + static_cast<size_t>(frame) * kBytesPerFrame;
            played->bidi.insert(played->bidi.end(), at, at + kBytesPerFrame);
        }
    }
    Queue([this, channel, played, loopMode] { StartVoice(channel, played, loopMode, 0); });
}

void KAudioOutput::StopChannel(int channel)
{
    if (channel < 0 || channel >= kSampleChannels) return;
    Queue([this, channel] { HaltVoice(channel); });
}

void KAudioOutput::SeekChannel(int channel, int32_t frames)
{
    if (channel < 0 || channel >= kSampleChannels) return;
    // The mixer cannot seek a channel: its sample starts again from there.
    Queue([this, channel, frames] {
        const Voice* voice = voices_[static_cast<size_t>(channel)].get();
        if (voice == nullptr || !Mix_Playing(channel)) return;
        StartVoice(channel, voice->sample, voice->loopMode, frames);
    });
}

int32_t KAudioOutput::ChannelPosition(int channel) const
{
    if (channel < 0 || channel >= kSampleChannels) return -1;
    return positions_[static_cast<size_t>(channel)];
}

void KAudioOutput::CountPlayed(int channel, int bytes)
{
    if (channel < 0 || channel >= kSampleChannels) return;
    if (Voice* voice = voices_[static_cast<size_t>(channel)].get()) voice->playedBytes += bytes;
}

void KAudioOutput::HaltVoice(int channel)
{
    Mix_HaltChannel(channel);
    std::unique_ptr<Voice>& voice = voices_[static_cast<size_t>(channel)];
    if (voice && voice->chunk != nullptr) Mix_FreeChunk(voice->chunk);
    voice.reset();
}

void KAudioOutput::StartVoice(int channel, const Sample* sample, int32_t loopMode, int32_t startFrame)
{
    HaltVoice(channel);
    auto voice = std::make_unique<Voice>();
    const bool bidi = loopMode == kLoopBidi && !sample->bidi.empty();
    const uint8_t* bytes = bidi ? sample->bidi.data() : sample->chunk->abuf;
    const size_t total = bidi ? sample->bidi.size() : sample->chunk->alen;
    const int32_t period = static_cast<int32_t>(total / kBytesPerFrame);
    if (period <= 0) return;
    const int32_t start = std::clamp(startFrame, 0, period - 1);
    const size_t offset = static_cast<size_t>(start) * kBytesPerFrame;
    const bool loops = loopMode == kLoopNormal || loopMode == kLoopBidi;
    Uint8* played = const_cast<Uint8*>(bytes);
    Uint32 playedBytes = static_cast<Uint32>(total);
    if (start > 0 && loops) {
        // A loop entered part way: the same loop turned to begin there.
        voice->data.assign(bytes + offset, bytes + total);
        voice->data.insert(voice->data.end(), bytes, bytes + offset);
        played = voice->data.data();
    } else if (start > 0) {
        played += offset;
        playedBytes -= static_cast<Uint32>(offset);
    }
    voice->chunk = Mix_QuickLoad_RAW(played, playedBytes);
    if (voice->chunk == nullptr) return;
    voice->sample = sample;
    voice->loopMode = loopMode;
    voice->sampleFrames = sample->frames;
    voice->periodFrames = period;
    voice->startFrame = start;
    if (Mix_PlayChannel(channel, voice->chunk, loops ? -1 : 0) < 0) {
        Mix_FreeChunk(voice->chunk);
        return;
    }
    Mix_RegisterEffect(channel, EffectHook, nullptr, this);
    voices_[static_cast<size_t>(channel)] = std::move(voice);
}

void KAudioOutput::PublishState()
{
    for (int channel = 0; channel < kSampleChannels; ++channel) {
        const Voice* voice = voices_[static_cast<size_t>(channel)].get();
        int32_t position = -1;
        if (voice != nullptr && Mix_Playing(channel)) {
            const int64_t frame = voice->startFrame + voice->playedBytes / kBytesPerFrame;
            const int64_t inPeriod = voice->periodFrames > 0 ? frame % voice->periodFrames : 0;
            position = static_cast<int32_t>(voice->loopMode == kLoopOff ? std::min<int64_t>(frame, voice->sampleFrames)
                                                                        : inPeriod);
            // Back and forth: the way back counts down again.
            if (voice->loopMode == kLoopBidi && position >= voice->sampleFrames) {
                position = voice->periodFrames - position;
            }
        }
        positions_[static_cast<size_t>(channel)] = position;
    }
    if (midi_) {
        if (midi_->repeat && fluid_player_get_status(midi_->player) == FLUID_PLAYER_DONE) {
            fluid_player_stop(midi_->player);
            fluid_player_seek(midi_->player, 0);
            fluid_player_play(midi_->player);
        }
        songPlaying_ = fluid_player_get_status(midi_->player) == FLUID_PLAYER_PLAYING;
        songPositionMs_ = fluid_player_get_current_tick(midi_->player);
        return;
    }
    if (playingSong_ && playingSong_->module != nullptr) {
        songPlaying_ = !moduleEnded_;
        // Saved games keep the position within one pass, as they do for
        // other songs.
        double seconds = KModulePosition(playingSong_->module.get());
        if (!std::isfinite(seconds)) seconds = 0;
        if (playingSong_->moduleSeconds > 0 && seconds >= playingSong_->moduleSeconds) {
            seconds = std::fmod(seconds, playingSong_->moduleSeconds);
        }
        songPositionMs_ = static_cast<int32_t>(std::clamp(seconds * 1000.0, 0.0, 2.0e9));
        return;
    }
    const bool playing = playingSong_ && Mix_PlayingMusic();
    songPlaying_ = playing;
    if (playing) {
        const double seconds = Mix_GetMusicPosition(playingSong_->music);
        if (seconds >= 0) songPositionMs_ = static_cast<int32_t>(seconds * 1000.0);
    }
}

// --- Play-string synthesiser ---------------------------------------------------------------

void KAudioOutput::PreparePlaySynth()
{
    if (!open_ || synthTried_ || synthMaking_.valid() || FindSoundFont().empty()) return;
    synthMaking_ = std::async(std::launch::async, [] { return MakeSynth<Synth>("play strings"); });
}

bool KAudioOutput::EnsureSynth()
{
    if (!synthTried_) {
        synthTried_ = true;
        synth_ = synthMaking_.valid() ? synthMaking_.get() : MakeSynth<Synth>("play strings");
    }
    return synth_ != nullptr;
}

void KAudioOutput::SendMidi(const KMidiMessage& message)
{
    if (!open_ || !EnsureSynth()) return;
    fluid_synth_t* synth = synth_->synth;
    Queue([this, synth, message] {
        audioSynth_ = synth;
        const int channel = message.bytes[0] & 0x0F;
        switch (message.bytes[0] & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth, channel, message.bytes[1]); break;
        case 0x90: fluid_synth_noteon(synth, channel, message.bytes[1], message.bytes[2]); break;
        case 0xC0: fluid_synth_program_change(synth, channel, message.bytes[1]); break;
        default: break;
        }
    });
}

void KAudioOutput::MixSynth(fluid_synth_t* synth, uint8_t* stream, int bytes)
{
    if (synth == nullptr || bytes <= 0) return;
    const int frames = bytes / kBytesPerFrame;
    synthBuffer_.assign(static_cast<size_t>(frames) * 2, 0);
    fluid_synth_write_s16(synth, frames, synthBuffer_.data(), 0, 2, synthBuffer_.data(), 1, 2);
    for (size_t i = 0; i < synthBuffer_.size(); ++i) {
        int16_t mixed = 0;
        std::memcpy(&mixed, stream + i * 2, 2);
        mixed = Saturated(int32_t{mixed} + synthBuffer_[i]);
        std::memcpy(stream + i * 2, &mixed, 2);
    }
}

// --- WAV file -----------------------------------------------------------------------------

void KAudioOutput::WriteWav(const uint8_t* data, size_t bytes)
{
    if (wav_ == nullptr || wavFailed_) return;
    // A WAV file counts its bytes in 32 bits.
    if (wavBytes_ + bytes > std::numeric_limits<uint32_t>::max() - 64) return;
    if (std::fwrite(data, 1, bytes, wav_) != bytes) wavFailed_ = true;
    wavBytes_ += bytes;
}

bool KAudioOutput::FinishWav()
{
    if (wav_ == nullptr) {
        const bool ok = !wavFailed_;
        wavFailed_ = false;
        return ok;
    }
    const auto header = WavHeader(static_cast<uint32_t>(wavBytes_));
    if (std::fseek(wav_, 0, SEEK_SET) != 0 || std::fwrite(header.data(), 1, header.size(), wav_) != header.size()) {
        wavFailed_ = true;
    }
    // A full disk shows only when the file is closed.
    if (std::fclose(wav_) != 0) wavFailed_ = true;
    wav_ = nullptr;
    const bool ok = !wavFailed_;
    wavFailed_ = false;
    return ok;
}

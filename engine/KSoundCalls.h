#pragma once
// How scripts reach the sound box. The engine knows the sound box only by
// name: the runner fills in these calls, so the engine (and the editor,
// which has no sound) never depends on the audio libraries. Without a sound
// box or its calls every one of them does nothing.

#include <cstdint>
#include <string>
#include <string_view>

class Kinterface;
class KSoundBox;

// Bytes of a sound file read, or of sound decoded from one, for one unit of
// a tick's work.
inline constexpr int64_t kSoundBytesPerUnit = 16;
// Finding a file beside the world (its path resolved link by link, then
// looked at) takes a dozen system calls: about 80 microseconds here.
inline constexpr int64_t kPathLookupUnits = 1000;

// What a song or sample load did in this tick: the paths it looked up, the
// bytes it read and decoded, and whether it is over (a long sample decodes
// over many ticks).
struct KSoundWork {
    int64_t lookups = 0;
    int64_t bytes = 0;
    bool done = true;
};

struct KSoundCalls {
    KSoundWork (*playSong)(KSoundBox& box, std::string_view name, int32_t repeat) = nullptr;
    void (*stopSong)(KSoundBox& box) = nullptr;
    KSoundWork (*loadSound)(KSoundBox& box, std::string_view name) = nullptr;
    void (*playSound)(KSoundBox& box, std::string_view name, int32_t channel, int32_t mode) = nullptr;
    void (*stopSound)(KSoundBox& box, int32_t channel) = nullptr;
    void (*setPatch)(KSoundBox& box, int32_t program) = nullptr;
    void (*queuePlay)(KSoundBox& box, std::string_view text, std::string_view owner) = nullptr;
    // Saved games: the box's whole state as the lines of their audio entry, and back.
    std::string (*saveState)(const KSoundBox& box) = nullptr;
    void (*loadState)(KSoundBox& box, std::string_view text) = nullptr;
};

// Both charge the tick's work for what they read and decoded.
void KPlaySong(Kinterface& engine, std::string_view name, int32_t repeat);
void KStopSong(Kinterface& engine);
// False while the sample still decodes: the command waits for a later tick.
bool KLoadSound(Kinterface& engine, std::string_view name);
void KPlaySound(Kinterface& engine, std::string_view name, int32_t channel, int32_t mode);
void KStopSound(Kinterface& engine, int32_t channel);
void KSetPatch(Kinterface& engine, int32_t program);
// Queues the tune for the node of handle owner, when that is a handle.
void KQueuePlay(Kinterface& engine, std::string_view text, int owner);
// The sound box's state for a saved game; empty without a sound box.
std::string KSaveSoundState(Kinterface& engine);
void KLoadSoundState(Kinterface& engine, std::string_view text);

#include "VaultMedia.h"

#include "KPaths.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

bool WriteFile(const std::string& path, const Bytes& bytes)
{
    return KWriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void PutBigEndian(Bytes& out, uint32_t value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutLittleEndian(Bytes& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// ------------------------------------------------------------------ theme

constexpr uint32_t kTicksPerQuarter = 96;

struct MidiEvent {
    uint32_t time;  // in ticks from the start
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

void PutVariableLength(Bytes& out, uint32_t value)
{
    uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7f);
        value >>= 7;
    } while (value != 0);
    while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

void AddNote(std::vector<MidiEvent>& events, uint32_t start, uint32_t length, int channel, int key, int velocity)
{
    events.push_back({start, static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)});
    events.push_back({start + length, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 0});
}

// How one area plays the theme: transposed, on its own instruments and at
// its own pace.
struct Arrangement {
    int transpose;         // semitones
    int melody;            // General MIDI programs
    int bass;
    uint32_t microseconds;  // a quarter note
};

constexpr Arrangement kVaultTheme{0, 73, 33, 600000};   // flute over a fingered bass
constexpr Arrangement kCaveTheme{-5, 11, 32, 800000};   // a slow vibraphone, deep in the dark
constexpr Arrangement kCryptTheme{2, 19, 43, 700000};   // church organ and cello, solemn
constexpr Arrangement kArmoryTheme{-2, 61, 58, 560000};  // brass over a tuba, marching
constexpr Arrangement kRaceTheme{7, 81, 38, 330000};     // a saw lead over a synth bass, racing

// Eight bars in A minor (Am F G E, twice): a melody over a plucked bass and
// a quiet hi-hat, slow enough to sneak to.
Bytes ThemeMidi(const Arrangement& arrangement)
{
    constexpr uint32_t kBar = kTicksPerQuarter * 4;
    constexpr int kRoots[] = {45, 41, 43, 40};  // A2 F2 G2 E2
    // Melody, two bars a chord pair: key, start in eighths, length in eighths.
    struct Note {
        int key;
        int start;
        int length;
    };
    constexpr Note kMelody[] = {
        {69, 0, 3},  {72, 3, 1},  {71, 4, 2},  {69, 6, 2},  {65, 8, 4},  {64, 12, 2}, {65, 14, 2},
        {67, 16, 3}, {71, 19, 1}, {74, 20, 4}, {71, 24, 2}, {68, 26, 2}, {64, 28, 4},
    };
    std::vector<MidiEvent> events;
    events.push_back({0, 0xc0, static_cast<uint8_t>(arrangement.melody), 0});
    events.push_back({0, 0xc1, static_cast<uint8_t>(arrangement.bass), 0});
    for (int pass = 0; pass < 2; ++pass) {
        const uint32_t passStart = static_cast<uint32_t>(pass) * 4 * kBar;
        for (int bar = 0; bar < 4; ++bar) {
            const uint32_t barStart = passStart + static_cast<uint32_t>(bar) * kBar;
            for (int beat = 0; beat < 4; ++beat) {
                const uint32_t at = barStart + static_cast<uint32_t>(beat) * kTicksPerQuarter;
                const int root = kRoots[bar] + arrangement.transpose;
                AddNote(events, at, kTicksPerQuarter - 8, 1, root + (beat == 2 ? 7 : 0), 90);
                AddNote(events, at + kTicksPerQuarter / 2, 12, 9, 42, 40);
            }
        }
        for (const Note& note : kMelody) {
            const uint32_t start = passStart + static_cast<uint32_t>(note.start) * kTicksPerQuarter / 2;
            AddNote(events, start, static_cast<uint32_t>(note.length) * kTicksPerQuarter / 2 - 6, 0,
                    note.key + arrangement.transpose, pass == 0 ? 80 : 95);
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });

    Bytes track;
    PutVariableLength(track, 0);
    for (uint8_t byte : {0xff, 0x51, 0x03}) track.push_back(byte);  // the tempo: µs a quarter
    PutBigEndian(track, arrangement.microseconds, 3);
    uint32_t now = 0;
    for (const MidiEvent& event : events) {
        PutVariableLength(track, event.time - now);
        now = event.time;
        track.push_back(event.status);
        track.push_back(event.data1);
        if ((event.status & 0xf0) != 0xc0) track.push_back(event.data2);
    }
    PutVariableLength(track, 8 * kBar - now);
    for (uint8_t byte : {0xff, 0x2f, 0x00}) track.push_back(byte);

    Bytes file;
    for (char c : {'M', 'T', 'h', 'd'}) file.push_back(static_cast<uint8_t>(c));
    PutBigEndian(file, 6, 4);
    PutBigEndian(file, 0, 2);  // one track
    PutBigEndian(file, 1, 2);
    PutBigEndian(file, kTicksPerQuarter, 2);
    for (char c : {'M', 'T', 'r', 'k'}) file.push_back(static_cast<uint8_t>(c));
    PutBigEndian(file, static_cast<uint32_t>(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// ---------------------------------------------------------------- samples

constexpr int kRate = 22050;

// 8-bit unsigned mono WAV from samples in -1..1.
Bytes Wave(std::span<const float> samples)
{
    Bytes file;
    auto tag = [&file](const char* text) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(text[i]));
    };
    const auto count = static_cast<uint32_t>(samples.size());
    tag("RIFF");
    PutLittleEndian(file, 36 + count, 4);
    tag("WAVE");
    tag("fmt ");
    PutLittleEndian(file, 16, 4);
    PutLittleEndian(file, 1, 2);  // PCM
    PutLittleEndian(file, 1, 2);  // mono
    PutLittleEndian(file, kRate, 4);
    PutLittleEndian(file, kRate, 4);
    PutLittleEndian(file, 1, 2);
    PutLittleEndian(file, 8, 2);
    tag("data");
    PutLittleEndian(file, count, 4);
    for (float sample : samples) {
        const float clamped = std::fmax(-1.0f, std::fmin(1.0f, sample));
        file.push_back(static_cast<uint8_t>(std::lround(128.0f + clamped * 127.0f)));
    }
    return file;
}

// A tone sweeping from one pitch to another with a linear fade; square
// when square is set, else sine.
std::vector<float> Sweep(float seconds, float fromHz, float toHz, bool square, float volume)
{
    const int count = static_cast<int>(seconds * kRate);
    std::vector<float> out(static_cast<size_t>(count));
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count);
        phase += (fromHz + (toHz - fromHz) * t) / kRate;
        const double wave = std::sin(2 * std::numbers::pi * phase);
        const double shaped = square ? (wave >= 0 ? 1.0 : -1.0) : wave;
        out[static_cast<size_t>(i)] = static_cast<float>(shaped) * volume * (1.0f - t);
    }
    return out;
}

// Noise with an exponential decay, from a fixed seed so every build writes
// the same bytes.
std::vector<float> Burst(float seconds, float decay, float volume)
{
    const int count = static_cast<int>(seconds * kRate);
    std::vector<float> out(static_cast<size_t>(count));
    uint32_t state = 12345;
    float smooth = 0;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(state >> 8) / static_cast<float>(1 << 23) - 1.0f;
        smooth = smooth * 0.6f + noise * 0.4f;  // darker than white noise
        out[static_cast<size_t>(i)] = smooth * volume * std::exp(-decay * static_cast<float>(i) / kRate);
    }
    return out;
}

// A creaking door: a low sawtooth whose pitch wobbles.
std::vector<float> Creak(float seconds)
{
    const int count = static_cast<int>(seconds * kRate);
    std::vector<float> out(static_cast<size_t>(count));
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += (90 + 25 * std::sin(2 * std::numbers::pi * 7 * t)) / kRate;
        const double saw = 2 * (phase - std::floor(phase)) - 1;
        const double envelope = std::sin(std::numbers::pi * t / seconds);
        out[static_cast<size_t>(i)] = static_cast<float>(saw * envelope * 0.5);
    }
    return out;
}

}  // namespace

bool WriteVaultMedia(const std::string& folder)
{
    const std::string at = folder + "/";
    bool written = WriteFile(at + "vault_theme.mid", ThemeMidi(kVaultTheme));
    written = WriteFile(at + "vault_cave.mid", ThemeMidi(kCaveTheme)) && written;
    written = WriteFile(at + "vault_crypt.mid", ThemeMidi(kCryptTheme)) && written;
    written = WriteFile(at + "vault_armory.mid", ThemeMidi(kArmoryTheme)) && written;
    written = WriteFile(at + "vault_race.mid", ThemeMidi(kRaceTheme)) && written;
    written = WriteFile(at + "vault_shot.wav", Wave(Sweep(0.12f, 900, 250, true, 0.35f))) && written;
    written = WriteFile(at + "vault_hit.wav", Wave(Burst(0.3f, 12, 0.9f))) && written;
    written = WriteFile(at + "vault_door.wav", Wave(Creak(0.7f))) && written;
    written = WriteFile(at + "vault_pop.wav", Wave(Sweep(0.1f, 300, 1200, false, 0.6f))) && written;
    // The hunter's warning before it fires: a rising hiss a human can react to.
    written = WriteFile(at + "vault_warn.wav", Wave(Sweep(0.35f, 200, 700, true, 0.3f))) && written;
    return written;
}

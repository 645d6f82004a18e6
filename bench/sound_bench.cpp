// The sound box's cost and delay.
//
// Mixing: a second of game-time audio (60 ticks of 735 frames at 44.1 kHz)
// with eight looping samples, a looping tracker module and a play string
// that never stops, through the same path headless play takes. Time is the
// CPU of the whole process (the audio thread does the mixing): the CPU
// time of one iteration over one second is the part of one core that
// real-time play needs.
//
// Delay: with a device, from PlaySound on the game thread until the block
// holding the sample's first frame has been mixed (the audio thread
// publishes the channel as playing after mixing that block). SDL's dummy
// output paces blocks in real time like a device; what a real device adds
// on top is its own buffer, one block of 512 frames (11.6 ms) as opened.

#include "BenchSupport.h"
#include "KModule.h"
#include "KRunnerParts.h"
#include "KSampleDecoder.h"
#include "KSoundBox.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <thread>

namespace {

// The test media, written once into a scratch folder.
const std::string& MediaDir()
{
    static const std::string dir = [] {
        std::string path = std::filesystem::temp_directory_path() / "quav-sound-bench";
        const std::string command = "python3 '" QUAV_SOURCE_DIR "/tests/tools/make_sound_media.py' '" + path + "'";
        if (std::system(command.c_str()) != 0) std::abort();
        return path;
    }();
    return dir;
}

std::unique_ptr<Kinterface> SoundEngine()
{
    auto engine = BenchEngine(KRunnerParts());
    engine->vWorldPath = MediaDir() + "/world.zqav";
    return engine;
}

void BM_MixSecondOfAudio(benchmark::State& state)
{
    auto engine = SoundEngine();
    KSoundBox& box = *engine->vSoundBox;
    box.StartAudio(KAudioSettings{KAudioMode::GameTime, ""}, "");
    box.LoadSound("tone.wav");
    box.LoadSound("ramp.wav");
    for (int channel = 0; channel < kSampleChannels; ++channel) {
        box.PlaySound(channel % 2 == 0 ? "tone.wav" : "ramp.wav", channel, channel % 2 == 0 ? 1 : 2);
    }
    box.PlaySong("tiny.mod", 1);
    for (auto _ : state) {
        for (int tick = 0; tick < 60; ++tick) {
            if (box.Tune().Queue().empty()) box.QueuePlay("ic9e0g9+c0-g9e0", "band");
            box.Update();
        }
    }
    box.StopAudio();
}
BENCHMARK(BM_MixSecondOfAudio)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_SoundToMixedBlock(benchmark::State& state)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto engine = SoundEngine();
    KSoundBox& box = *engine->vSoundBox;
    box.StartAudio(KAudioSettings{KAudioMode::Device, ""}, "");
    box.LoadSound("tone.wav");
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        box.PlaySound("tone.wav", 0, 1);
        int32_t position = -1;
        int32_t mode = 0;
        while (box.GetChannelState(0, position, mode), position < 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
        box.StopSound(0);
        while (box.GetChannelState(0, position, mode), position >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    state.counters["worst_ms"] = worst * 1000.0;
    box.StopAudio();
    unsetenv("SDL_AUDIODRIVER");
}
BENCHMARK(BM_SoundToMixedBlock)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

// A MOD of channels channels (signed "M.K." for 4, "<n>CH" past 9), every
// channel striking a note of a looped square wave every fourth row, and
// jumping back to its start after its one pattern: it never ends.
std::string BusyModule(int channels)
{
    std::string module = "busy";
    module.resize(20, '\0');
    std::string sample = "square";
    sample.resize(22, '\0');
    module += sample + std::string{'\x00', '\x10', '\x00', '\x40', '\x00', '\x00', '\x00', '\x10'};
    for (int i = 1; i < 31; ++i) module += std::string(22, '\0') + std::string{'\0', '\0', '\0', '\0', '\0', '\0', '\0', '\x01'};
    module += std::string{'\x01', '\x7f'} + std::string(128, '\0');
    module += channels == 4 ? std::string("M.K.") : std::to_string(channels) + "CH";
    for (int row = 0; row < 64; ++row) {
        for (int channel = 0; channel < channels; ++channel) {
            const int period = 214 + 24 * ((row / 4 + channel) % 16);
            const bool strike = row % 4 == 0;
            const bool jump = row == 63 && channel == 0;
            module += std::string{static_cast<char>(strike ? period >> 8 : 0), static_cast<char>(strike ? period & 0xFF : 0),
                                  static_cast<char>((strike ? 0x10 : 0) | (jump ? 0x0B : 0)), '\0'};
        }
    }
    return module + std::string(16, '\x64') + std::string(16, '\x9c');
}

// libopenmpt alone rendering one second of a module at the mix rate: the
// CPU time of an iteration, over one second, is the part of a core a
// playing module takes (1 ms is 0.1 %).
void BM_RenderModuleSecond(benchmark::State& state)
{
    std::string why;
    KModulePtr module = KOpenModule(BusyModule(static_cast<int>(state.range(0))), true, why);
    if (module == nullptr) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::vector<int16_t> block(2 * kFramesPerTick);
    for (auto _ : state) {
        for (int tick = 0; tick < 60; ++tick) benchmark::DoNotOptimize(KRenderModule(module.get(), kFramesPerTick, block.data()));
    }
}
BENCHMARK(BM_RenderModuleSecond)->Arg(4)->Arg(32)->Unit(benchmark::kMillisecond);

// A module of hours loaded as a sample: decoding stops at the length
// limit, and the memory it takes stays within the caps.
double PeakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_EndlessModuleAsSample(benchmark::State& state)
{
    // 128 orders of its pattern at the slowest speed, never jumping back:
    // hours of sound that libopenmpt has no reason to cut short.
    std::string bytes = BusyModule(4);
    constexpr size_t kOrderCount = 950;
    constexpr size_t kPatterns = 1084;
    bytes[kOrderCount] = static_cast<char>(128);
    bytes[kPatterns + 2] = 0x1F;  // row 0, channel 0: sample 1, speed 31
    bytes[kPatterns + 3] = 31;
    bytes[kPatterns + 63 * 16 + 2] = 0;
    bool refused = false;
    int64_t frames = 0;
    for (auto _ : state) {
        KSampleDecoder decoder(bytes, kMaxSampleSeconds, kMaxDecodedSampleBytes);
        while (decoder.Step(kDecodeFramesPerTick) == KSampleDecoder::Status::More) {
        }
        refused = decoder.Current() == KSampleDecoder::Status::Refused;
        frames = decoder.SourceFrames();
    }
    state.counters["refused"] = refused;
    state.counters["seconds"] = static_cast<double>(frames) / kMixRate;
    state.counters["max_rss_mib"] = PeakResidentMiB();
}
BENCHMARK(BM_EndlessModuleAsSample)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    BenchStart();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

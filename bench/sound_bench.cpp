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
#include "KRunnerParts.h"
#include "KSoundBox.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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

}  // namespace

int main(int argc, char** argv)
{
    BenchStart();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

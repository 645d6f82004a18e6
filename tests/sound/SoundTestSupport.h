#pragma once
// Sound test helpers: the media written at test time and the rendered WAV
// files read back.

#include "TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kTestFramesPerTick = 735;

// Writes tone.wav, ramp.wav, tone.ogg, tiny.mod, song.mid and modules of five
// formats (nosig15.mod, fest.mod, four.s3m, bidi.xm, loop.it) into dir.
bool MakeSoundMedia(const std::string& dir);

// The left channel of a 16-bit stereo WAV file; empty when it is not one.
std::vector<int16_t> LeftChannel(const std::string& wavPath, size_t* frames = nullptr);

// The loudest absolute sample of ticks [first, last) of a left channel.
int PeakOfTicks(const std::vector<int16_t>& left, int first, int last);

#pragma once
// Tracker modules (MOD in its variants, S3M, XM, IT, MPTM, 669, MTM, STM,
// ULT, FAR, OKT, MED and the rest) through libopenmpt, rendered as 16-bit
// stereo at the mix rate. Its warnings go to the trace, never to the
// player's terminal.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct openmpt_module;

struct KModuleCloser {
    void operator()(openmpt_module* module) const;
};
using KModulePtr = std::unique_ptr<openmpt_module, KModuleCloser>;

// The module in bytes (which may go once this returns); null with why set
// when libopenmpt cannot take it. Played once, or looped for ever when
// repeat is set: a song that jumps back to its start still ends when
// played once, after every order has been heard.
KModulePtr KOpenModule(std::string_view bytes, bool repeat, std::string& why);

// Up to frames frames of 16-bit stereo into samples; 0 at the end.
int64_t KRenderModule(openmpt_module* module, int64_t frames, int16_t* samples);
// The length of one pass through the module, in seconds.
double KModuleDuration(openmpt_module* module);
// Where the module plays, in seconds, and a jump there. A repeated module's
// position counts on through its repeats.
double KModulePosition(openmpt_module* module);
void KSeekModule(openmpt_module* module, double seconds);

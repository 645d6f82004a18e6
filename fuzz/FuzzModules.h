#pragma once
// Small valid tracker modules for the play fuzzer to start from: one
// pattern of 64 rows with a looped square-wave note, in the module formats
// players own. The mutator then changes their bytes.

#include <string>

// The module kinds, by index: MOD signed "M.K.", "M!K!", "FLT4", "6CHN" or
// "FEST", a 15-instrument MOD with no signature, S3M, XM (its sample
// looping back and forth) and IT (its first rows looping).
inline constexpr unsigned kFuzzModuleKinds = 9;
// The extension a module of the kind goes by.
const char* FuzzModuleExtension(unsigned kind);
// seed varies the note and whether the song jumps back to its start.
std::string FuzzModule(unsigned kind, unsigned seed);

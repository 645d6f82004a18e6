#pragma once
// The vault's sound files, written beside the world: a looping theme as a
// standard MIDI file and a few short effects as 8-bit WAV samples, all
// synthesised here so the game ships nothing it did not make.

#include <string>

// Writes every sound file of the vault into folder; false when one could
// not be written.
bool WriteVaultMedia(const std::string& folder);

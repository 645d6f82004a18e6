#pragma once
// What the runner keeps between runs for the person playing: a small text
// file in the user's configuration folder, one "name value" a line.

#include <string>

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 4;

// The settings file: $XDG_CONFIG_HOME/quav/runner.cfg, else
// $HOME/.config/quav/runner.cfg; empty when neither is set.
std::string KRunnerSettingsPath();

// The window's enlargement kept from an earlier run; 1 when none was kept
// or the file says something else.
int KLoadScale();
// Keeps the enlargement for later runs; false when it could not be written.
bool KSaveScale(int scale);

// The enlargement read from the text of a settings file (1 when missing or
// out of range).
int KScaleFromSettings(const std::string& text);

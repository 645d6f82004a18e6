#pragma once
// The launcher: a small window of the game library's GUI where the player
// opens a world file and plays it, as often as liked.

#include <string>

class Kinterface;

// Plays a world the launcher asked for; returns when the game ends.
using KPlayFunction = void (*)(Kinterface& engine, const std::string& worldPath);

// Shows the launcher until Quit or the window's close button. Returns the
// program's exit status (1 when no window could be opened).
int KRunLauncher(Kinterface& engine, std::string& worldPath, KPlayFunction play);

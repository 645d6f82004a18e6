#pragma once
// How the runner shows what the engine's reporter says.

class Kinterface;

// Before there is a back buffer a report is a message box (the game
// library's alert while a graphics mode is set, else standard error); then
// it is drawn at the top of the back buffer and shown. Headless, nothing
// ever waits for a person: the two lines go to standard error.
void KInstallRunnerNotices(Kinterface& engine, bool headless);

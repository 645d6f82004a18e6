#pragma once
// The runner's game session: start-up of play on a world already loaded into
// the engine, the frame loop with its ticks, the message lines, the frame
// rate, screenshots, and the orderly shutdown. It plays in a window (60 Hz
// timer) or headless (one tick and one frame a loop pass, no timer).

#include "KBitmap.h"

#include <atomic>
#include <cstdint>
#include <string>

class Kinterface;
class KInputReplay;
struct BITMAP;

enum class KDisplay : uint8_t { Window = 0, Headless = 1 };

struct KShellConfig {
    KDisplay display = KDisplay::Window;
    int64_t passLimit = -1;            // headless: loop passes to run (one tick each)
    KInputReplay* replay = nullptr;    // headless: inputs to replay, or none
    std::string worldPath;             // the world file in play (the menu restarts from it)
};

// Screen sizes of the video modes 0..3, in pixels.
struct KVideoSize {
    int width = 0;
    int height = 0;
};
// The size of a video mode; false for a mode that does not exist.
bool KVideoModeSize(int mode, KVideoSize& size);

class KRunnerShell {
public:
    KRunnerShell(Kinterface& engine, const KShellConfig& config);
    ~KRunnerShell();
    KRunnerShell(const KRunnerShell&) = delete;
    KRunnerShell& operator=(const KRunnerShell&) = delete;

    // Start-up of play with the world's windowed flag and video mode. False
    // when no screen could be had (nothing to play on).
    bool Start(int windowed, int videoMode);
    // Runs loop passes until the game is quit (or a headless run has run its
    // passes); then shuts down. Returns 0.
    int Run();

    // One pass of the loop; false when the game ends.
    bool RunPass();
    // One game tick.
    void RunTick();
    // The dark board, the world, the message lines and the frame rate into
    // the back buffer, then the back buffer onto the screen.
    void DrawFrame();
    // Saves the screen as the next free "Worlds/Screens/%.5i.bmp".
    bool SaveScreenshot();
    void Shutdown();

    BITMAP* BackBuffer() const { return backBuffer_.get(); }
    int64_t TicksRun() const { return ticksRun_; }
    int64_t PassesRun() const { return pass_; }

    // Asked by the window's close button: the game ends after this pass.
    static void RequestClose();
    static bool CloseRequested();
    static void ClearCloseRequest();

private:
    bool StartDevices();
    bool SetScreen(int windowed, int videoMode);
    void StartTimers();
    void CalibrateJoysticks();
    void ResetDarkBoard();
    void SetStartingVariables();
    void ResetDarknessTargets();
    void RedrawDarkness();
    void DrawMessages();
    void CopyToScreen();
    bool KeyDown(int libraryKey) const;
    // Waits until the key is let go; headless, the replay's time runs on.
    void WaitForRelease(int libraryKey);
    // The in-game menu: returns 1 when the player quits.
    int RunMenu();
    bool Headless() const { return config_.display == KDisplay::Headless; }
    bool PassLimitReached() const { return config_.passLimit >= 0 && pass_ >= config_.passLimit; }

    Kinterface& engine_;
    KShellConfig config_;
    KBitmap backBuffer_;
    KBitmap headlessScreen_;  // the screen of a headless run
    bool started_ = false;
    bool devicesInstalled_ = false;
    bool timersInstalled_ = false;
    bool printScreenHeld_ = false;
    int quit_ = 0;
    int64_t pass_ = 0;
    int64_t ticksRun_ = 0;
};

// The variables as one JSON object in creation order: integers as numbers,
// texts as strings.
std::string KVariablesJson(Kinterface& engine);

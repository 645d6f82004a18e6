#pragma once
// The runner's game session: start-up of play on a world already loaded into
// the engine, the frame loop with its ticks, the message lines, the frame
// rate, screenshots, and the orderly shutdown. It plays in a window (60 Hz
// timer) or headless (one tick and one frame a loop pass, no timer). While
// it plays it is the engine's modal host: loops that run inside a tick get
// their frames, inputs and typed characters from it.

#include "KBitmap.h"
#include "KModalHost.h"

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
    std::string audioPath;             // headless: the mixed sound as a WAV file, or none
    std::string midiLogPath;           // headless: every MIDI message sent, or none
    int scale = 1;                     // window: the game shown this many times larger (1..4)
    bool keepScale = false;            // window: the scale chosen with the cycle key is kept for later runs
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
    // Saves the screen as the next free "Worlds/Screens/%.5i.bmp", or in
    // the per-user folder's Screens/ when Worlds/ cannot be written.
    bool SaveScreenshot();
    // Saves the screen as path with the shown palette (PNG or BMP by name).
    bool SaveFrame(const std::string& path) const;
    void Shutdown();
    // The menu's Restart: the world read again from its file and play
    // started afresh. A world that can no longer be read leaves the game
    // in play as it was.
    void RestartGame();

    // --- Modal host ----------------------------------------------------------
    // Draws and shows the frame, then waits for the next one: in a window
    // until the timer counts a tick, headless by taking the next tick of
    // the replay (no game tick runs). Then polls the inputs. Closing when
    // the window was closed or a headless run has no tick left; the run
    // then ends with this frame as its last.
    KModalPass RunModalPass();
    // In a window from the keyboard buffer, headless from the replay's
    // typed text; -1 when none is waiting.
    int NextTypedChar();
    void ShowPalette(const KPalette& palette);
    // The window was closed, or a modal loop used up a headless run.
    bool Ending() const { return runOver_ || CloseRequested(); }

    BITMAP* BackBuffer() const { return backBuffer_.get(); }
    int Scale() const { return scale_; }
    int64_t TicksRun() const { return ticksRun_; }
    int64_t PassesRun() const { return pass_; }
    // False when the sound's output files could not be written.
    bool SoundWritten() const { return soundWritten_; }

    // Asked by the window's close button: the game ends after this pass.
    static void RequestClose();
    static bool CloseRequested();
    static void ClearCloseRequest();
    // SIGINT and SIGTERM end the game the way the close button does (and
    // keep doing so: a signal is not cleared by the next game); SIGXFSZ is
    // ignored, so a write past a file-size limit fails instead of killing
    // the game.
    static void InstallSignalHandlers();
    // SIGINT and SIGTERM wait while the libraries start: the threads they
    // start never take them, and a signal that comes meanwhile reaches the
    // runner's handlers once the hold ends (the handlers are put back then,
    // over any the libraries installed).
    class StopSignalsHeld {
    public:
        StopSignalsHeld();
        ~StopSignalsHeld();
        StopSignalsHeld(const StopSignalsHeld&) = delete;
        StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
    };

private:
    bool StartDevices();
    void StartSound();
    void StopSound();
    bool SetScreen(int windowed, int videoMode);
    // A window (or screen) for the game at the given enlargement; false
    // when the library cannot give one.
    bool SetGraphicsMode(int card, int scale);
    // The cycle key: the next enlargement, 1x after 4x.
    void CycleScale();
    // Names the window and routes its close button, after every mode set.
    void DressWindow();
    void StartTimers();
    void CalibrateJoysticks();
    void ResetDarkBoard();
    void SetStartingVariables();
    // What the start of play and Restart share: programs, boards, messages
    // and variables as a new game has them.
    void ResetGameState();
    // Where the slot files of the world in play lie.
    std::string SlotBase() const;
    void ResetDarknessTargets();
    void RedrawDarkness();
    void DrawMessages();
    void CopyToScreen();
    // Whether back holds the frame on screen already; else it is kept as
    // the frame about to be shown.
    bool SameAsShown(BITMAP* back);
    bool KeyDown(int libraryKey) const;
    // The replay's events of this pass (headless) or the keyboard (window).
    void TakeInputs();
    // Headless: the next tick of the replay, if the run has one left.
    bool TakeNextReplayTick();
    // Window: waits for the timer's next tick; false when the window closes.
    bool AwaitTimerTick();
    // Window: sleeps until the timer has counted a tick (or the game ends).
    void WaitForTick() const;
    // Print Screen pressed in this frame: one screenshot per press.
    void TakeScreenshotKey();
    // A modal loop used up the run: this pass ends it, drawing nothing more.
    bool EndInsideModal();
    // The in-game menu: returns 1 when the player quits.
    int RunMenu();
    bool Headless() const { return config_.display == KDisplay::Headless; }
    bool PassLimitReached() const { return config_.passLimit >= 0 && pass_ >= config_.passLimit; }

    Kinterface& engine_;
    KShellConfig config_;
    KBitmap backBuffer_;
    KBitmap headlessScreen_;  // the screen of a headless run
    KBitmap shownFrame_;      // window: the frame last sent to the screen
    bool screenStale_ = true;  // window: the screen may not show shownFrame_
    bool started_ = false;
    bool devicesInstalled_ = false;
    bool timersInstalled_ = false;
    // The shell's own keys, pressed in this frame (down now, up the frame before).
    struct KeyEdge {
        int libraryKey;
        bool held;
        bool pressed;
    };
    KeyEdge printScreen_;
    KeyEdge scaleKey_;
    int scale_ = 1;
    KVideoSize gameSize_;  // the game's own screen size in pixels
    int card_ = 0;  // the graphics driver asked for
    bool runOver_ = false;
    bool soundStarted_ = false;
    bool soundWritten_ = true;
    int quit_ = 0;
    int64_t pass_ = 0;
    int64_t ticksRun_ = 0;
};

// The variables as one JSON object in creation order: integers as numbers,
// texts as strings.
std::string KVariablesJson(Kinterface& engine);

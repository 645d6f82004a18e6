#include "KRunnerShell.h"

#include "KGameMenu.h"
#include "KInput.h"
#include "KInputReplay.h"
#include "KJson.h"
#include "KScreenshot.h"
#include "KRunnerSettings.h"
#include "KUserWorlds.h"
#include "KSavedGame.h"
#include "KSoundBox.h"
#include "KWorldFile.h"
#include "KTrace.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <csignal>
#include <mutex>

namespace {

constexpr KVideoSize kVideoSizes[] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}};
constexpr KVideoSize kFallbackSize = kVideoSizes[1];
constexpr int kTextColour = 15;
constexpr int kLineHeight = 8;
constexpr int kTicksPerSecond = 60;
constexpr int kFrameRateSampleMs = 1000;
constexpr int kDarkColour = 255;
// Cycles the window's enlargement; F11 is the usual key for the window's size.
constexpr int kScaleKey = KEY_F11;

std::atomic<int32_t> gFrameCount{0};
std::atomic<int32_t> gFrameRate{0};
std::atomic<bool> gCloseRequested{false};
// Set by SIGINT and SIGTERM and never cleared: a run asked to stop while a
// world loads stops as soon as its play starts.
std::atomic<bool> gStopSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores without a lock");

void StopSignalHandler(int) { gStopSignalled = true; }

// The main loop sleeps on this until the timer counts a tick. Signals cannot
// wake it (a handler may not take a lock), so the sleep is also cut short
// now and then to look at the stop flags.
std::mutex gTickMutex;
std::condition_variable gTickCounted;
constexpr auto kStopLookEvery = std::chrono::milliseconds(20);

void WakeMainLoop()
{
    // Taking the lock orders this wake-up after a sleeper's last look at
    // the counter, so none is lost.
    { const std::lock_guard<std::mutex> lock(gTickMutex); }
    gTickCounted.notify_all();
}

// Timer thread: counts the tick for the main loop.
void TickCallback()
{
    if (Kinterface* engine = KEngine()) ++engine->vPlay.pendingTicks;
    WakeMainLoop();
}

// Timer thread: once a second, the frames drawn in that second.
void FrameRateCallback() { gFrameRate = gFrameCount.exchange(0); }

void CloseButtonCallback() { KRunnerShell::RequestClose(); }

// The engine's modal host, served by the shell given as context.
KModalPass HostRunPass(void* shell) { return static_cast<KRunnerShell*>(shell)->RunModalPass(); }
int HostNextTypedChar(void* shell) { return static_cast<KRunnerShell*>(shell)->NextTypedChar(); }
void HostShowPalette(void* shell, const KPalette& palette) { static_cast<KRunnerShell*>(shell)->ShowPalette(palette); }
bool HostCloseRequested(void* shell) { return static_cast<KRunnerShell*>(shell)->Ending(); }

}  // namespace

bool KVideoModeSize(int mode, KVideoSize& size)
{
    if (mode < 0 || mode >= static_cast<int>(std::size(kVideoSizes))) return false;
    size = kVideoSizes[mode];
    return true;
}

void KRunnerShell::RequestClose()
{
    gCloseRequested = true;
    WakeMainLoop();
}
bool KRunnerShell::CloseRequested() { return gCloseRequested || gStopSignalled; }

void KRunnerShell::InstallSignalHandlers()
{
    // The game library's own handlers shut it down under the running game,
    // and the audio library's turn the signals into events nobody reads:
    // these replace both, and the loop ends the game in its own time.
    struct sigaction stop {};
    stop.sa_handler = StopSignalHandler;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    // Past a file-size limit a write fails and the save says so; the
    // signal would end the game in play instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

void KRunnerShell::ClearCloseRequest() { gCloseRequested = false; }

namespace {

sigset_t StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

KRunnerShell::StopSignalsHeld::StopSignalsHeld()
{
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

KRunnerShell::StopSignalsHeld::~StopSignalsHeld()
{
    InstallSignalHandlers();
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

KRunnerShell::KRunnerShell(Kinterface& engine, const KShellConfig& config)
    : engine_(engine), config_(config), printScreen_{KEY_PRTSCR, false, false}, scaleKey_{kScaleKey, false, false},
      scale_(std::clamp(config.scale, kMinScale, kMaxScale))
{
}

KRunnerShell::~KRunnerShell() { Shutdown(); }

bool KRunnerShell::Start(int windowed, int videoMode)
{
    ClearCloseRequest();
    // Presses left from an earlier game are not this game's.
    KForgetFrameKeys();
    {
        // The libraries start threads and install handlers of their own.
        const StopSignalsHeld held;
        if (!StartDevices() || !SetScreen(windowed, videoMode)) return false;
        StartSound();
    }
    // The game keeps its own size; the window may show it enlarged.
    const int w = Headless() ? headlessScreen_->w : SCREEN_W / scale_;
    const int h = Headless() ? headlessScreen_->h : SCREEN_H / scale_;
    backBuffer_ = KMakeBitmap(w, h);
    if (!backBuffer_) {
        engine_.Report("Unable to create the back buffer", __FILE_NAME__, __LINE__);
        return false;
    }
    engine_.vBackBuffer = backBuffer_.get();
    engine_.vHost = KModalHost{this, HostRunPass, HostNextTypedChar, HostShowPalette, HostCloseRequested};
    runOver_ = false;
    engine_.SetScreenSize(w / 8, h / 8);
    // Variables left from an earlier game must not steer the choice of boards.
    engine_.vVariables.EraseAll();
    engine_.CompileAll();
    engine_.ChooseActiveBoard();
    gFrameCount = 0;
    StartTimers();
    engine_.ApplyPalette();
    CalibrateJoysticks();
    ResetDarkBoard();
    engine_.vPlay.Reset();
    engine_.vVariables.EraseAll();
    SetStartingVariables();
    engine_.vPlay.pendingTicks = 0;
    quit_ = 0;
    pass_ = 0;
    ticksRun_ = 0;
    started_ = true;
    KTRACE("Playing at %i x %i\n", w, h);
    return true;
}

bool KRunnerShell::StartDevices()
{
    if (Headless()) return true;
    install_timer();
    install_keyboard();
    install_mouse();
    devicesInstalled_ = true;
    KLatchKeyPresses();
    if (install_sound(DIGI_NONE, MIDI_AUTODETECT, nullptr) != 0) {
        engine_.Report("Error Initing Midi", allegro_error, __LINE__);
    }
    return true;
}

// Headless play uses no audio device: its sound is mixed in game time,
// one tick's worth at a time, so runs repeat exactly.
void KRunnerShell::StartSound()
{
    if (!engine_.vSoundBox || soundStarted_) return;
    KAudioSettings settings;
    settings.mode = Headless() ? KAudioMode::GameTime : KAudioMode::Device;
    settings.wavPath = config_.audioPath;
    engine_.vSoundBox->StartAudio(settings, config_.midiLogPath);
    engine_.vSoundBox->PrepareSongs();
    soundStarted_ = true;
    soundWritten_ = true;
}

void KRunnerShell::StopSound()
{
    if (!soundStarted_) return;
    soundStarted_ = false;
    if (engine_.vSoundBox) soundWritten_ = engine_.vSoundBox->StopAudio();
}

bool KRunnerShell::SetScreen(int windowed, int videoMode)
{
    KVideoSize size;
    const bool known = KVideoModeSize(videoMode, size);
    if (Headless()) {
        headlessScreen_ = KMakeBitmap(known ? size.width : kFallbackSize.width, known ? size.height : kFallbackSize.height);
        return headlessScreen_ != nullptr;
    }
    set_color_depth(8);
    gameSize_ = known ? size : kFallbackSize;
    const int card = windowed == 0 ? GFX_AUTODETECT : GFX_AUTODETECT_WINDOWED;
    // A world asking for a mode that does not exist (or cannot be had full
    // screen) still plays, in a window; a window too large for the display
    // shows the game at its own size.
    const int wanted = scale_;
    bool set = known && (windowed == 0 || windowed == 1) && SetGraphicsMode(card, wanted);
    if (!set) set = SetGraphicsMode(GFX_AUTODETECT_WINDOWED, wanted);
    if (!set && wanted != 1) set = SetGraphicsMode(GFX_AUTODETECT_WINDOWED, 1);
    if (!set) {
        engine_.Report(std::string("Unable to set a graphics mode: ") + allegro_error, __FILE_NAME__, __LINE__);
        return false;
    }
    return true;
}

bool KRunnerShell::SetGraphicsMode(int card, int scale)
{
    // Set before the window exists: a close asked for while it is still
    // being mapped would otherwise be dropped.
    set_close_button_callback(CloseButtonCallback);
    if (set_gfx_mode(card, gameSize_.width * scale, gameSize_.height * scale, 0, 0) != 0) return false;
    // A driver that gave another size than asked shows the game unscaled.
    scale_ = SCREEN_W == gameSize_.width * scale && SCREEN_H == gameSize_.height * scale ? scale : 1;
    card_ = card;
    // A new mode starts with a blank screen.
    screenStale_ = true;
    KSetMouseScale(scale_);
    DressWindow();
    return true;
}

void KRunnerShell::DressWindow()
{
    set_window_title("QUAV! Console");
    set_close_button_callback(CloseButtonCallback);
}

void KRunnerShell::CycleScale()
{
    const int before = scale_;
    const int next = scale_ % kMaxScale + 1;
    // A size the display cannot have is skipped; the game's own size always fits.
    bool set = SetGraphicsMode(card_, next);
    if (!set && next != 1) set = SetGraphicsMode(card_, 1);
    if (!set) set = SetGraphicsMode(GFX_AUTODETECT_WINDOWED, before);
    // A new mode starts with the library's palette.
    engine_.ApplyPalette();
    KTRACE("Scale %ix\n", scale_);
    if (config_.keepScale && scale_ != before && !KSaveScale(scale_)) KTRACE("The scale could not be kept\n");
}

void KRunnerShell::StartTimers()
{
    if (Headless()) return;
    install_int(FrameRateCallback, kFrameRateSampleMs);
    install_int_ex(TickCallback, BPS_TO_TIMER(kTicksPerSecond));
    timersInstalled_ = true;
}

void KRunnerShell::CalibrateJoysticks()
{
    if (Headless()) return;
    install_joystick(JOY_TYPE_AUTODETECT);
    BITMAP* back = backBuffer_.get();
    for (int j = 0; j < num_joysticks; ++j) {
        while (joy[j].flags & JOYFLAG_CALIBRATE) {
            clear_to_color(back, 0);
            textout_centre_ex(back, font, calibrate_joystick_name(j), back->w / 2, 64, kTextColour, -1);
            textout_centre_ex(back, font, "and press a key.", back->w / 2, 80, kTextColour, -1);
            CopyToScreen();
            readkey();
            if (calibrate_joystick(j) != 0) break;
        }
    }
}

void KRunnerShell::ResetDarkBoard()
{
    Kobject* dark = engine_.vDarkBoard;
    if (dark == nullptr) return;
    const KCell shown{0, kDarkColour, kDarkColour, 0, 1, 0};
    dark->shade.assign(dark->cells.size(), shown);
    for (int32_t y = 0; y < dark->height; ++y) {
        for (int32_t x = 0; x < dark->width; ++x) {
            engine_.vFont->RenderGlyph(*dark, 0, kDarkColour, kDarkColour, x, y);
            dark->GetCell(x, y)->drawn = 1;
        }
    }
}

void KRunnerShell::SetStartingVariables()
{
    engine_.SetVar("health", 100);
    engine_.SetVar("ammo", 0);
    engine_.ClearVar("dark");
    engine_.ClearVar("overlay");
    engine_.SetVar("break_c", 176);
    engine_.SetVar("break_f", 15);
    engine_.SetVar("break_b", 7);
    engine_.SetVar("write_f", 15);
    engine_.SetVar("write_b", 255);
    // Look once, so the start values do not show on the HUD.
    engine_.vVariables.Changed("health");
    engine_.vVariables.Changed("ammo");
}

int KRunnerShell::Run()
{
    if (!started_) return 0;
    // A headless run of no ticks still shows the world as loaded.
    if (PassLimitReached()) DrawFrame();
    while (!PassLimitReached() && RunPass()) {
    }
    return 0;
}

bool KRunnerShell::RunPass()
{
    // A window draws when the game has moved on, not as often as the
    // processor allows: the pass waits for the timer's tick.
    if (!Headless()) WaitForTick();
    TakeInputs();
    if (scaleKey_.pressed && !Headless()) CycleScale();
    if (KeyDown(KEY_ESC) || engine_.vPlay.menuAsked) {
        engine_.vPlay.menuAsked = false;
        if (engine_.WaitForRelease(KEY_ESC)) quit_ = RunMenu();
        engine_.vPlay.pendingTicks = 0;
        if (runOver_) return EndInsideModal();
    }
    // Headless, every pass is one tick; in a window the timer counts them.
    if (Headless()) engine_.vPlay.pendingTicks = 1;
    ticksRun_ += engine_.vPlay.RunPendingTicks([this] { RunTick(); });
    if (runOver_) return EndInsideModal();
    // Typed characters last for the tick they came in; play itself reads
    // only the keys held.
    if (config_.replay != nullptr) config_.replay->DropTyped();
    if (!Headless()) clear_keybuf();
    DrawFrame();
    TakeScreenshotKey();
    ++gFrameCount;
    ++pass_;
    if (CloseRequested()) quit_ = 1;
    return quit_ == 0;
}

void KRunnerShell::WaitForTick() const
{
    const auto due = [this] { return engine_.vPlay.pendingTicks != 0 || CloseRequested(); };
    std::unique_lock<std::mutex> lock(gTickMutex);
    while (!due()) gTickCounted.wait_for(lock, kStopLookEvery);
}

void KRunnerShell::TakeInputs()
{
    if (Headless()) {
        if (config_.replay != nullptr) config_.replay->ApplyUpTo(pass_);
    } else {
        poll_keyboard();
    }
    // Everything this frame reads of the keys, taps shorter than a frame included.
    KTakeFrameKeys();
    for (KeyEdge* edge : {&printScreen_, &scaleKey_}) {
        const bool down = KFrameKeyDown(edge->libraryKey);
        edge->pressed = down && !edge->held;
        edge->held = down;
    }
}

void KRunnerShell::TakeScreenshotKey()
{
    // One screenshot per press, however long the key is held.
    if (printScreen_.pressed) SaveScreenshot();
    printScreen_.pressed = false;
}

bool KRunnerShell::EndInsideModal()
{
    ++pass_;
    ++gFrameCount;
    return false;
}

void KRunnerShell::RunTick()
{
    KPlayState& play = engine_.vPlay;
    play.RunDownTimers();
    play.CheckWatches(engine_.vVariables);
    if (play.inputEnabled != 0) engine_.PollInput();
    ResetDarknessTargets();
    engine_.Tick();
    if (engine_.vSoundBox) engine_.vSoundBox->Update();
}

void KRunnerShell::ResetDarknessTargets()
{
    Kobject* dark = engine_.vDarkBoard;
    if (dark == nullptr || engine_.GetVar("dark") != 1) return;
    for (KCell& cell : dark->cells) cell.fg = cell.bg = kDarkColour;
}

void KRunnerShell::RedrawDarkness()
{
    Kobject* dark = engine_.vDarkBoard;
    if (dark == nullptr || engine_.GetVar("dark") != 1) return;
    if (dark->shade.size() != dark->cells.size()) ResetDarkBoard();
    for (int32_t y = 0; y < dark->height; ++y) {
        for (int32_t x = 0; x < dark->width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(dark->width) + static_cast<size_t>(x);
            KCell& target = dark->cells[i];
            KCell& shown = dark->shade[i];
            if (target.fg == shown.fg) continue;
            engine_.vFont->RenderGlyph(*dark, 0, target.fg, target.bg, x, y);
            target.drawn = 1;
            shown.fg = target.fg;
            shown.bg = target.bg;
        }
    }
}

void KRunnerShell::DrawFrame()
{
    BITMAP* back = backBuffer_.get();
    if (back == nullptr) return;
    RedrawDarkness();
    // Cleared first, so text of earlier frames never lingers where no
    // board draws.
    clear_to_color(back, 0);
    engine_.Draw(back, 0, 0);
    DrawMessages();
    if (KeyDown(KEY_TILDE)) textprintf_ex(back, font, 0, back->h - kLineHeight, kTextColour, -1, "FPS: %i", gFrameRate.load());
    CopyToScreen();
}

void KRunnerShell::DrawMessages()
{
    BITMAP* back = backBuffer_.get();
    int line = 1;
    for (const KMessage& message : engine_.vPlay.messages) {
        textout_centre_ex(back, font, message.text.c_str(), back->w / 2, back->h - kLineHeight * line, kTextColour, -1);
        ++line;
    }
}

void KRunnerShell::CopyToScreen()
{
    BITMAP* back = backBuffer_.get();
    if (Headless()) {
        blit(back, headlessScreen_.get(), 0, 0, 0, 0, back->w, back->h);
        return;
    }
    // A frame like the one on screen is not sent again: a title or a
    // waiting window costs the compositing only, not the display's copy.
    if (SameAsShown(back)) return;
    acquire_screen();
    if (scale_ == 1) {
        blit(back, screen, 0, 0, 0, 0, back->w, back->h);
    } else {
        // Every game pixel becomes a square of scale x scale screen pixels.
        stretch_blit(back, screen, 0, 0, back->w, back->h, 0, 0, back->w * scale_, back->h * scale_);
    }
    release_screen();
}

bool KRunnerShell::SameAsShown(BITMAP* back)
{
    BITMAP* shown = shownFrame_.get();
    bool same = shown != nullptr && !screenStale_ && shown->w == back->w && shown->h == back->h;
    for (int y = 0; same && y < back->h; ++y) same = std::memcmp(shown->line[y], back->line[y], static_cast<size_t>(back->w)) == 0;
    if (same) return true;
    if (shown == nullptr || shown->w != back->w || shown->h != back->h) shownFrame_ = KMakeBitmap(back->w, back->h);
    if (shownFrame_) blit(back, shownFrame_.get(), 0, 0, 0, 0, back->w, back->h);
    screenStale_ = false;
    return false;
}

bool KRunnerShell::KeyDown(int libraryKey) const { return KFrameKeyDown(libraryKey); }

KModalPass KRunnerShell::RunModalPass()
{
    if (!started_ || Ending()) return KModalPass::Closing;
    DrawFrame();
    ++gFrameCount;
    const bool next = Headless() ? TakeNextReplayTick() : AwaitTimerTick();
    if (!next) return KModalPass::Closing;
    // The game waits, but time goes on: tunes keep playing while a window
    // or the menu is open, and headless sound keeps its 1/60 s a frame.
    if (engine_.vSoundBox) engine_.vSoundBox->Update();
    engine_.PollInput();
    // Every window that waits for the player takes screenshots as play does.
    TakeScreenshotKey();
    return KModalPass::Ran;
}

bool KRunnerShell::TakeNextReplayTick()
{
    if (config_.passLimit >= 0 && pass_ + 1 >= config_.passLimit) {
        runOver_ = true;
        return false;
    }
    ++pass_;
    TakeInputs();
    return true;
}

bool KRunnerShell::AwaitTimerTick()
{
    WaitForTick();
    // The game does not tick meanwhile, so the time spent here is never
    // caught up.
    engine_.vPlay.pendingTicks = 0;
    TakeInputs();
    return !CloseRequested();
}

int KRunnerShell::NextTypedChar()
{
    if (Headless()) return config_.replay != nullptr ? config_.replay->NextTypedChar() : -1;
    while (keypressed()) {
        int scancode = 0;
        const int typed = ureadkey(&scancode);
        // Keys without a character (arrows, function keys) give 0.
        if (typed > 0 && typed < 256) return typed;
    }
    return -1;
}

void KRunnerShell::ShowPalette(const KPalette& palette)
{
    if (!Headless() && gfx_driver != nullptr) set_palette(reinterpret_cast<const RGB*>(palette.data()));
    screenStale_ = true;
}

int KRunnerShell::RunMenu()
{
    KGameMenu menu(engine_, *this, SlotBase());
    return menu.Run();
}

std::string KRunnerShell::SlotBase() const
{
    return KSlotBase(config_.worldPath.empty() ? engine_.vWorldPath : config_.worldPath);
}

void KRunnerShell::RestartGame()
{
    const std::string path = config_.worldPath.empty() ? engine_.vWorldPath : config_.worldPath;
    if (!LoadWorld(engine_, path, engine_.vLimits)) return;
    if (engine_.vSoundBox) engine_.vSoundBox->Silence();
    ResetGameState();
    engine_.ApplyPalette();
    engine_.vPlay.pendingTicks = 0;
}

void KRunnerShell::ResetGameState()
{
    engine_.vVariables.EraseAll();
    engine_.CompileAll();
    engine_.ChooseActiveBoard();
    ResetDarkBoard();
    engine_.vPlay.Reset();
    engine_.vVariables.EraseAll();
    SetStartingVariables();
}

bool KRunnerShell::SaveScreenshot()
{
    const std::string folder = KScreensFolderFor(kShippedWorldsFolder);
    const std::string name = folder.empty() ? std::string() : KNextScreenshotName(folder);
    const bool saved = !name.empty() && SaveFrame(name);
    KTRACE("Screenshot %s: %s\n", name.c_str(), saved ? "saved" : "not saved");
    return saved;
}

bool KRunnerShell::SaveFrame(const std::string& path) const
{
    BITMAP* shown = Headless() ? headlessScreen_.get() : backBuffer_.get();
    return KSaveImage(path, shown, engine_.vShownPalette);
}

void KRunnerShell::Shutdown()
{
    if (engine_.vHost.context == this) engine_.vHost = KModalHost{};
    StopSound();
    if (!started_ && !devicesInstalled_ && !headlessScreen_) return;
    started_ = false;
    engine_.ResetHandles();
    engine_.vBackBuffer = nullptr;
    backBuffer_.reset();
    shownFrame_.reset();
    if (timersInstalled_) {
        remove_int(TickCallback);
        remove_int(FrameRateCallback);
        timersInstalled_ = false;
    }
    KSetMouseScale(1);
    KForgetFrameKeys();
    if (devicesInstalled_) {
        keyboard_lowlevel_callback = nullptr;
        set_close_button_callback(nullptr);
        remove_joystick();
        remove_sound();
        remove_keyboard();
        remove_mouse();
        remove_timer();
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        devicesInstalled_ = false;
    }
    headlessScreen_.reset();
}

std::string KVariablesJson(Kinterface& engine)
{
    std::string out = "{";
    bool first = true;
    for (const KVariable& variable : engine.vVariables.All()) {
        out += first ? "\n  " : ",\n  ";
        first = false;
        KAppendJsonString(out, variable.name);
        out += ": ";
        if (variable.kind == 1) {
            KAppendJsonString(out, variable.strValue);
        } else {
            out += std::to_string(variable.intValue);
        }
    }
    out += first ? "}\n" : "\n}\n";
    return out;
}

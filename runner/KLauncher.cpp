#include "KLauncher.h"

#include "KPaths.h"
#include "KRunnerShell.h"
#include "KScreenshot.h"
#include "KUserWorlds.h"
#include "KVersion.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kWidth = 784;
constexpr int kHeight = 96;
// While the file selector is open the window grows to give it room.
constexpr int kRoomHeight = 480;
constexpr int kSelectorWidth = 560;
constexpr int kSelectorHeight = 400;
// The game that ships with the runner, in its Worlds folder.
constexpr const char* kShippedWorld = "vault.zqav";
constexpr int kPathChars = 1000;
constexpr int kButtonY = 60;
constexpr int kButtonW = 64;
constexpr int kButtonH = 20;

// What the launcher's buttons ask for.
enum class Choice : uint8_t { None = 0, Play = 1, Open = 2, About = 3, Quit = 4 };

constexpr const char* kWelcome[] = {
    "Welcome To QUAV! Runner.  This is the program that will run the games you make with QUAV!",
    "Its simple! Just press the open and select a .zqav file. Then once you do that press the play",
    "button!  That's all there is too it!  Enjoy!!",
};

// Dialog indexes.
enum : int {
    kBackground = 0, kText0 = 1, kPlay = 4, kOpen = 5, kPathBox = 6, kPath = 7, kAbout = 8, kQuit = 9, kKeyGuard = 10, kEnd = 11
};

bool IsSwallowed(int scancode) { return scancode == KEY_ESC || scancode == KEY_ENTER || scancode == KEY_ENTER_PAD; }

// Takes Enter and Escape before the dialog manager would close the dialog
// or press the focused button with them: only the buttons act.
int KeyGuardProc(int message, DIALOG*, int key)
{
    if (message == MSG_XCHAR && IsSwallowed(key >> 8)) return D_USED_CHAR;
    return D_O_K;
}

struct LauncherDialog {
    std::array<char, kPathChars + 1> path{};
    std::array<DIALOG, kEnd + 1> items{};

    explicit LauncherDialog(const std::string& worldPath)
    {
        const size_t length = std::min(worldPath.size(), static_cast<size_t>(kPathChars));
        std::memcpy(path.data(), worldPath.data(), length);
        path[length] = '\0';
        items[kBackground] = DIALOG{d_clear_proc, 0, 0, kWidth, kHeight, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr};
        for (int line = 0; line < 3; ++line) {
            items[static_cast<size_t>(kText0 + line)] =
                DIALOG{d_text_proc, 8, 8 + 12 * line, kWidth - 16, 8, 0, 0, 0, 0, 0, 0,
                       const_cast<char*>(kWelcome[line]), nullptr, nullptr};
        }
        items[kPlay] = Button(8, "&Play", 'p');
        items[kOpen] = Button(8 + kButtonW + 6, "&Open", 'o');
        const int pathX = 8 + 2 * (kButtonW + 6);
        const int pathW = kWidth - pathX - 2 * (kButtonW + 6) - 8;
        // A frame around the path field, so an empty field still shows where to type.
        items[kPathBox] = DIALOG{d_box_proc, pathX - 3, kButtonY + 3, pathW + 6, 16, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr};
        items[kPath] = DIALOG{d_edit_proc, pathX, kButtonY + 6, pathW, 10, 0, 0, 0, 0, kPathChars, 0, path.data(),
                              nullptr, nullptr};
        items[kAbout] = Button(kWidth - 2 * kButtonW - 14, "&About", 'a');
        items[kQuit] = Button(kWidth - kButtonW - 8, "&Quit", 'q');
        items[kKeyGuard] = DIALOG{KeyGuardProc, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr};
        items[kEnd] = DIALOG{nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr};
    }

    static DIALOG Button(int x, const char* text, int shortcut)
    {
        return DIALOG{d_button_proc, x, kButtonY, kButtonW, kButtonH, 0, 0, shortcut, D_EXIT, 0, 0,
                      const_cast<char*>(text), nullptr, nullptr};
    }
};

Choice ChoiceOf(int item)
{
    switch (item) {
    case kPlay: return Choice::Play;
    case kOpen: return Choice::Open;
    case kAbout: return Choice::About;
    case kQuit: return Choice::Quit;
    default: return Choice::None;
    }
}

// Runs the dialog until a button asks for something or the window is closed.
Choice RunDialog(LauncherDialog& dialog)
{
    set_dialog_color(dialog.items.data(), gui_fg_color, gui_bg_color);
    show_mouse(screen);
    DIALOG_PLAYER* player = init_dialog(dialog.items.data(), kPath);
    Choice choice = Choice::None;
    while (choice == Choice::None) {
        if (KRunnerShell::CloseRequested()) {
            choice = Choice::Quit;
            break;
        }
        if (!update_dialog(player)) {
            choice = ChoiceOf(player->obj);
            if (choice == Choice::None) break;
        }
        rest(1);
    }
    shutdown_dialog(player);
    show_mouse(nullptr);
    return choice;
}

// The launcher's window at a height; its look and handlers come back with
// every mode set.
bool SetLauncherMode(int height)
{
    const KRunnerShell::StopSignalsHeld held;
    set_color_depth(8);
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, kWidth, height, 0, 0) != 0) return false;
    set_window_title("QUAV! Runner");
    set_palette(default_palette);
    set_close_button_callback(KRunnerShell::RequestClose);
    gui_fg_color = makecol(0, 0, 0);
    gui_bg_color = makecol(255, 255, 255);
    gui_mg_color = makecol(128, 128, 128);
    return true;
}

bool OpenLauncherWindow()
{
    if (!SetLauncherMode(kHeight)) return false;
    const KRunnerShell::StopSignalsHeld held;
    install_timer();
    install_keyboard();
    install_mouse();
    return true;
}

// The library's own modal dialogs (the file selector) run their loops
// without asking anybody: asked to stop, the launcher answers them Escape
// through the mouse hook that every pass of their loop calls.
int (*gLibraryMouseButtons)() = nullptr;
bool gEscapeSent = false;

int MouseButtonsOrStop()
{
    if (KRunnerShell::CloseRequested() && !gEscapeSent) {
        gEscapeSent = true;
        simulate_keypress((KEY_ESC << 8) | 27);
    }
    return gLibraryMouseButtons != nullptr ? gLibraryMouseButtons() : mouse_b;
}

// Hooks the stop into the library's dialogs for as long as it lives.
class StopHook {
public:
    StopHook() : saved_(gui_mouse_b)
    {
        gLibraryMouseButtons = saved_;
        gEscapeSent = false;
        gui_mouse_b = MouseButtonsOrStop;
    }
    ~StopHook()
    {
        gui_mouse_b = saved_;
        gLibraryMouseButtons = nullptr;
        if (gEscapeSent) clear_keybuf();
    }
    StopHook(const StopHook&) = delete;
    StopHook& operator=(const StopHook&) = delete;

private:
    int (*saved_)();
};

// Open starts where the games live: the Worlds folder of the data folder
// (the current directory) when it can be written, else the per-user copy.
std::string WorldsFolder()
{
    const std::string home = KWorldsHome(kShippedWorldsFolder);
    if (home.empty() || home.front() == '/') return home.empty() ? "Worlds/" : home + "/";
    std::array<char, 4096> cwd{};
    if (getcwd(cwd.data(), cwd.size()) == nullptr) return home + "/";
    return std::string(cwd.data()) + "/" + home + "/";
}

// The shipped game, when it is there: the path the launcher starts with.
std::string ShippedWorld()
{
    const std::string path = WorldsFolder() + kShippedWorld;
    return KKindOfFile(path) == KFileKind::Regular ? path : std::string();
}

// The file selector, in a window grown to give it room, starting in the
// Worlds folder on the shipped game (else on the world in the path field)
// and showing world files; the current directory stays as it is.
void OpenWorld(std::string& worldPath)
{
    std::array<char, 6 * 1024> chosen{};
    std::string start = WorldsFolder();
    if (worldPath.rfind(start, 0) == 0 && KKindOfFile(worldPath) == KFileKind::Regular) {
        start = worldPath;
    } else if (const std::string shipped = ShippedWorld(); !shipped.empty()) {
        start = shipped;
    }
    std::strncpy(chosen.data(), start.c_str(), chosen.size() - 1);
    if (!SetLauncherMode(kRoomHeight)) return;
    int picked = 0;
    {
        const StopHook stop;
        // Keys typed for the launcher's field are not the selector's.
        clear_keybuf();
        show_mouse(screen);
        picked = file_select_ex("Open a QUAV! world", chosen.data(), "zqav;/-h", static_cast<int>(chosen.size()),
                                kSelectorWidth, kSelectorHeight);
        show_mouse(nullptr);
    }
    if (picked != 0) worldPath = chosen.data();
    SetLauncherMode(kHeight);
}

// The About box, drawn inside the launcher's window so none of it is cut.
void ShowAbout()
{
    static constexpr char kTitle[] = "About QUAV Runner";
    static constexpr char kName[] = "QUAV! Runner " QUAV_VERSION;
    static constexpr char kCredits[] = "Plays the worlds made with Vantor.  A QUAV! kit program.";
    std::array<DIALOG, 6> about{{
        {d_shadow_box_proc, 4, 2, kWidth - 10, kHeight - 6, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
        {d_ctext_proc, kWidth / 2, 10, 0, 8, 0, 0, 0, 0, 0, 0, const_cast<char*>(kTitle), nullptr, nullptr},
        {d_ctext_proc, kWidth / 2, 30, 0, 8, 0, 0, 0, 0, 0, 0, const_cast<char*>(kName), nullptr, nullptr},
        {d_ctext_proc, kWidth / 2, 44, 0, 8, 0, 0, 0, 0, 0, 0, const_cast<char*>(kCredits), nullptr, nullptr},
        {d_button_proc, kWidth / 2 - kButtonW / 2, kButtonY, kButtonW, kButtonH, 0, 0, 'o', D_EXIT, 0, 0,
         const_cast<char*>("&OK"), nullptr, nullptr},
        {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    }};
    set_dialog_color(about.data(), gui_fg_color, gui_bg_color);
    show_mouse(screen);
    DIALOG_PLAYER* player = init_dialog(about.data(), 4);
    while (!KRunnerShell::CloseRequested() && update_dialog(player)) rest(1);
    shutdown_dialog(player);
    show_mouse(nullptr);
}

}  // namespace

int KRunLauncher(Kinterface& engine, std::string& worldPath, KPlayFunction play)
{
    // Play works at once, on the game that ships with the runner.
    if (worldPath.empty()) worldPath = ShippedWorld();
    bool windowOpen = false;
    for (;;) {
        if (!windowOpen) {
            // The first time, and again after each game, which had the screen.
            if (!OpenLauncherWindow()) {
                std::fprintf(stderr, "quav-runner: cannot open the launcher window: %s\n"
                                     "(without a display, quav-runner --headless plays a world)\n", allegro_error);
                return 1;
            }
            KRunnerShell::ClearCloseRequest();
            windowOpen = true;
        }
        LauncherDialog dialog(worldPath);
        const Choice choice = RunDialog(dialog);
        worldPath = dialog.path.data();
        switch (choice) {
        case Choice::Open: OpenWorld(worldPath); break;
        case Choice::About: ShowAbout(); break;
        case Choice::Play:
            // A path of fewer than two characters is no world.
            if (worldPath.size() < 2) break;
            play(engine, worldPath);
            windowOpen = false;
            break;
        case Choice::None:
        case Choice::Quit:
            set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
            return 0;
        }
    }
}

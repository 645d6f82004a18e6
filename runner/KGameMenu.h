#pragma once
// The in-game menu that Escape opens during play: quit, save, load and
// restart, with a page of twelve save slots on the keys F1 to F12. It is a
// modal loop: every frame it shows is one pass of the engine's modal host,
// so a headless run drives it from its input replay like any other input.

#include <cstdint>
#include <string>

class Kinterface;
class KRunnerShell;
class Kobject;

// The text a slot shows: "Empty", or the file's time in local time as
// month/day hour:minute.second without leading zeros.
std::string KSlotLabel(const std::string& slotPath);

// The message line's owner for what the menu tells the player (objects
// have ids from 1, the HUD's watches the keys 0 and -1).
inline constexpr int32_t kMenuNoticeOwner = -2;

class KGameMenu {
public:
    KGameMenu(Kinterface& engine, KRunnerShell& shell, std::string slotBase);
    ~KGameMenu();
    KGameMenu(const KGameMenu&) = delete;
    KGameMenu& operator=(const KGameMenu&) = delete;

    // Runs the menu until the player leaves it; 1 when the player quits.
    // Returns once Escape is up.
    int Run();

private:
    enum class Choice : uint8_t { Stay, Leave, Quit, Restart, SavePage, LoadPage };

    bool MakeNodes();
    void EraseNodes();
    void DrawFrameCells();
    void ClearText();
    void Write(int32_t x, int32_t y, const std::string& text);
    void DrawMainPage();
    void DrawSlotPage();
    // One modal pass; false when the loop must give up.
    bool NextFrame();
    // Keys held as a page opens count only once let go and pressed again.
    void ArmKeys();
    bool Pressed(int libraryKey) const;
    Choice PollMainPage();
    // The slot whose key was pressed (the highest of several), 0 for none,
    // -1 when Escape leaves the page.
    int PollSlotPage();
    int RunMainPage();
    void RunSlotPage(bool saving);
    void Notify(const std::string& text);

    Kinterface& engine_;
    KRunnerShell& shell_;
    std::string slotBase_;
    bool nosave_ = false;
    Kobject* board_ = nullptr;
    Kobject* text_ = nullptr;
    // Keys down in the last pass, by library key number.
    uint8_t held_[128] = {};
    uint8_t down_[128] = {};
};

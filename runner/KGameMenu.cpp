#include "KGameMenu.h"

#include "KInput.h"
#include "KPaths.h"
#include "KRunnerShell.h"
#include "KSavedGame.h"
#include "KTrace.h"
#include "Kinterface.h"

#include <allegro.h>
#include <sys/stat.h>

#include <ctime>
#include <iterator>

namespace {

static_assert(KEY_MAX <= 128, "the menu keeps one byte per library key");

constexpr int32_t kMenuWidth = 40;
constexpr int32_t kMenuHeight = 20;
constexpr int32_t kMenuDepth = 100010;
constexpr int32_t kTextWidth = 38;
constexpr int32_t kTextHeight = 18;
constexpr int kTextFg = 255;
constexpr int kTextBg = 0;

// --- The frame ---------------------------------------------------------------------------
// Border cells are drawn in 15 on 8; the shadow is character 177 in 255 on 0;
// the inside shades from colour 79 downwards, two rows a step.
constexpr int kBorderFg = 15;
constexpr int kBorderBg = 8;
constexpr int kShadowChar = 177;
constexpr int kShadowFg = 255;
constexpr int kShadowBg = 0;
constexpr int kInsideTopChar = 177;
constexpr int kInsideChar = 219;
constexpr int kInsideFg = 79;
constexpr int kInsideBg = 255;

// A run of border cells along a row or a column: character, first, last.
struct BorderRun {
    int chr;
    int32_t from;
    int32_t to;
};

constexpr BorderRun kTopRow[] = {{9, 0, 7}, {7, 8, 15}, {249, 16, 22}, {250, 23, 30}, {32, 31, 37}};
constexpr BorderRun kBottomRow[] = {{32, 0, 3}, {250, 4, 11}, {249, 12, 19}, {7, 20, 26}, {9, 27, 37}};
constexpr BorderRun kLeftColumn[] = {{9, 1, 3}, {7, 4, 7}, {249, 8, 10}, {250, 11, 14}, {32, 15, 16}};
constexpr BorderRun kRightColumn[] = {{32, 1, 1}, {250, 2, 5}, {249, 6, 9}, {7, 10, 12}, {9, 13, 16}};
constexpr int32_t kRightX = 37;
constexpr int32_t kBottomY = 17;
constexpr int32_t kInsideLastY = 16;

// --- The pages -----------------------------------------------------------------------------
struct PageLine {
    int32_t y;
    const char* text;
    bool savingLine;  // shown (and accepted) only while saving is allowed
};

constexpr PageLine kMainPage[] = {
    {2, "QUAV! v1.1 Menu:", false}, {4, "(Q)uit", false}, {6, "(S)ave", true},
    {8, "(L)oad", true},            {10, "(R)estart", false},
};

constexpr int kSlotKeys[] = {KEY_F1, KEY_F2, KEY_F3, KEY_F4,  KEY_F5,  KEY_F6,
                             KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12};
constexpr int kSlotsPerColumn = 6;
constexpr int32_t kFirstSlotRow = 4;
constexpr int32_t kKeyColumn[] = {1, 19};

// The keys the menu reacts to; only their presses are tracked. Print Screen
// is the shell's, in the menu as everywhere.
constexpr int kMenuKeys[] = {KEY_ESC, KEY_Q,  KEY_R,  KEY_S,  KEY_L,  KEY_F1,  KEY_F2,  KEY_F3, KEY_F4,
                             KEY_F5,  KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12};

}  // namespace

std::string KSlotLabel(const std::string& slotPath)
{
    struct stat info {};
    if (stat(slotPath.c_str(), &info) != 0) return "Empty";
    std::tm local{};
    const time_t when = info.st_mtime;
    if (localtime_r(&when, &local) == nullptr) return "Empty";
    return std::to_string(local.tm_mon + 1) + "/" + std::to_string(local.tm_mday) + " " +
           std::to_string(local.tm_hour) + ":" + std::to_string(local.tm_min) + "." + std::to_string(local.tm_sec);
}

KGameMenu::KGameMenu(Kinterface& engine, KRunnerShell& shell, std::string slotBase)
    : engine_(engine), shell_(shell), slotBase_(std::move(slotBase))
{
}

KGameMenu::~KGameMenu() { EraseNodes(); }

int KGameMenu::Run()
{
    // Looked at without making the variable: opening the menu changes no game.
    const KVariable* nosave = engine_.vVariables.Find("nosave");
    nosave_ = nosave != nullptr && KTextToInt(KVariables::StringOf(*nosave)) != 0;
    MakeNodes();
    const int quit = RunMainPage();
    EraseNodes();
    engine_.WaitForRelease(KEY_ESC);
    return quit;
}

bool KGameMenu::MakeNodes()
{
    Kobject& root = *engine_.vMain;
    const int64_t cells = int64_t{kMenuWidth} * kMenuHeight + int64_t{kTextWidth} * kTextHeight;
    if (!engine_.MayAddNodes(root, 2, cells, kMenuWidth, kMenuHeight)) return false;
    const int32_t boardId = engine_.TakeNextId();
    const int32_t textId = engine_.TakeNextId();
    if (boardId < 0 || textId < 0) return false;
    board_ = root.Spawn_Back(boardId, kMenuDepth);
    board_->Create("vMenu", kMenuWidth, kMenuHeight);
    board_->posz = kMenuDepth;
    board_->posx = root.width / 2 - kMenuWidth / 2;
    board_->posy = root.height / 2 - kMenuHeight / 2;
    text_ = board_->Spawn(textId, 0);
    text_->Create("vText", kTextWidth, kTextHeight);
    text_->posx = text_->posy = 1;
    // Nothing of the menu runs a script.
    board_->running = text_->running = 0;
    DrawFrameCells();
    return true;
}

void KGameMenu::EraseNodes()
{
    if (board_ == nullptr) return;
    engine_.vMain->Erase(board_);
    board_ = text_ = nullptr;
}

void KGameMenu::DrawFrameCells()
{
    Kobject& menu = *board_;
    for (int32_t y = 0; y < kMenuHeight; ++y) {
        for (int32_t x = 0; x < kMenuWidth; ++x) menu.SetCellNow(x, y, 0, 0, 0, 0);
    }
    const auto border = [&menu](int32_t x, int32_t y, int chr) { menu.SetCellNow(x, y, chr, kBorderFg, kBorderBg, 0); };
    for (const BorderRun& run : kTopRow) {
        for (int32_t x = run.from; x <= run.to; ++x) border(x, 0, run.chr);
    }
    for (const BorderRun& run : kBottomRow) {
        for (int32_t x = run.from; x <= run.to; ++x) border(x, kBottomY, run.chr);
    }
    for (const BorderRun& run : kLeftColumn) {
        for (int32_t y = run.from; y <= run.to; ++y) border(0, y, run.chr);
    }
    for (const BorderRun& run : kRightColumn) {
        for (int32_t y = run.from; y <= run.to; ++y) border(kRightX, y, run.chr);
    }
    for (int32_t x = 1; x < kRightX; ++x) menu.SetCellNow(x, 1, kInsideTopChar, kInsideFg, kInsideBg, 0);
    for (int32_t y = 2; y <= kInsideLastY; ++y) {
        const int fg = kInsideFg - (y - 1) / 2;
        menu.SetCellNow(1, y, kInsideTopChar, fg, kInsideBg, 0);
        for (int32_t x = 2; x < kRightX; ++x) menu.SetCellNow(x, y, kInsideChar, fg, kInsideBg, 0);
    }
    const auto shadow = [&menu](int32_t x, int32_t y) { menu.SetCellNow(x, y, kShadowChar, kShadowFg, kShadowBg, 0); };
    for (int32_t y = 2; y <= kBottomY; ++y) {
        shadow(kRightX + 1, y);
        shadow(kRightX + 2, y);
    }
    for (int32_t y = kBottomY + 1; y < kMenuHeight; ++y) {
        for (int32_t x = 2; x < kMenuWidth; ++x) shadow(x, y);
    }
}

void KGameMenu::ClearText()
{
    if (text_ == nullptr) return;
    for (int32_t y = 0; y < kTextHeight; ++y) {
        for (int32_t x = 0; x < kTextWidth; ++x) text_->SetCellNow(x, y, 0, 0, 0, 0);
    }
}

void KGameMenu::Write(int32_t x, int32_t y, const std::string& text)
{
    if (text_ != nullptr) text_->WriteText(x, y, text, kTextFg, kTextBg, 0);
}

void KGameMenu::DrawMainPage()
{
    ClearText();
    for (const PageLine& line : kMainPage) {
        if (!line.savingLine || !nosave_) Write(2, line.y, line.text);
    }
}

void KGameMenu::DrawSlotPage()
{
    ClearText();
    Write(2, 2, "Slot Menu:");
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const int index = slot - kFirstSlot;
        const int32_t column = kKeyColumn[index / kSlotsPerColumn];
        const int32_t y = kFirstSlotRow + 2 * (index % kSlotsPerColumn);
        const std::string keyLabel = "F" + std::to_string(slot) + ")";
        Write(column, y, keyLabel);
        Write(column + static_cast<int32_t>(keyLabel.size()), y, KSlotLabel(KSlotPath(slotBase_, slot)));
    }
}

bool KGameMenu::NextFrame()
{
    if (engine_.RunModalPass() != KModalPass::Ran) return false;
    // The frame's keys: a press shorter than a frame counts too.
    for (const int k : kMenuKeys) {
        const uint8_t now = KFrameKeyDown(k) ? 1 : 0;
        down_[k] = now != 0 && held_[k] == 0 ? 1 : 0;
        held_[k] = now;
    }
    return true;
}

void KGameMenu::ArmKeys()
{
    for (const int k : kMenuKeys) {
        held_[k] = KFrameKeyDown(k) ? 1 : 0;
        down_[k] = 0;
    }
}

bool KGameMenu::Pressed(int libraryKey) const { return down_[libraryKey] != 0; }

KGameMenu::Choice KGameMenu::PollMainPage()
{
    if (Pressed(KEY_ESC)) return Choice::Leave;
    if (Pressed(KEY_Q)) return Choice::Quit;
    if (Pressed(KEY_R)) return Choice::Restart;
    if (!nosave_ && Pressed(KEY_S)) return Choice::SavePage;
    if (!nosave_ && Pressed(KEY_L)) return Choice::LoadPage;
    return Choice::Stay;
}

int KGameMenu::PollSlotPage()
{
    if (Pressed(KEY_ESC)) return -1;
    int chosen = 0;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (Pressed(kSlotKeys[slot - kFirstSlot])) chosen = slot;
    }
    return chosen;
}

int KGameMenu::RunMainPage()
{
    DrawMainPage();
    ArmKeys();
    while (NextFrame()) {
        switch (PollMainPage()) {
        case Choice::Stay: continue;
        case Choice::Leave: return 0;
        case Choice::Quit: return 1;
        case Choice::Restart:
            EraseNodes();
            shell_.RestartGame();
            return 0;
        case Choice::SavePage: RunSlotPage(true); return 0;
        case Choice::LoadPage: RunSlotPage(false); return 0;
        }
    }
    return 0;
}

// The menu stays on screen while the slot keys are polled; its nodes go
// before the game is saved or replaced, so they are never part of a game.
void KGameMenu::RunSlotPage(bool saving)
{
    DrawSlotPage();
    ArmKeys();
    int slot = 0;
    while (slot == 0 && NextFrame()) slot = PollSlotPage();
    EraseNodes();
    if (slot <= 0) return;
    const std::string path = KSlotPath(slotBase_, slot);
    if (saving) {
        if (!KSaveGameFile(engine_, path)) Notify("Save failed: slot " + std::to_string(slot) + " is as it was");
        return;
    }
    if (KLoadGameFile(engine_, path, engine_.vLimits) == KLoadGame::Refused) {
        Notify("Load failed: slot " + std::to_string(slot) + " cannot be read");
    }
}

void KGameMenu::Notify(const std::string& text)
{
    KTRACE("%s\n", text.c_str());
    engine_.vPlay.ShowMessage(kMenuNoticeOwner, text);
}

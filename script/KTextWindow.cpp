#include "KTextWindow.h"

#include "KInput.h"
#include "KTextLines.h"
#include "Kexec.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace {

constexpr int16_t kTextFg = 15;
constexpr int16_t kTextBg = 1;
constexpr int16_t kFieldFg = 15;
constexpr int16_t kFieldBg = 255;
constexpr int kCursorChar = 219;
constexpr int32_t kLinkColumn = 3;
constexpr int32_t kPageRows = 10;
constexpr int32_t kDefaultHeight = 30;
constexpr int32_t kRootMargin = 10;

// Glyphs of the default frame.
constexpr int kBlank = 32;
constexpr int kLeftEnd = 198;
constexpr int kRightEnd = 181;
constexpr int kTopTee = 209;
constexpr int kBottomTee = 207;
constexpr int kHorizontal = 205;
constexpr int kVertical = 179;
constexpr int kMarkLeft = 175;
constexpr int kMarkRight = 174;

// A key held down repeats its action after this many frames, then every
// few frames, so long texts scroll without a press per line.
constexpr int kRepeatDelay = 24;
constexpr int kRepeatEvery = 4;

enum WindowAction : uint8_t {
    kLineUp = 0,
    kLineDown,
    kPageUp,
    kPageDown,
    kCursorLeft,
    kCursorRight,
    kEraseBefore,
    kEraseUnder,
    kChoose,
    kClose,
};

// How an action fires: on the press (repeating while held), once on the
// press, or on the release.
enum Trigger : uint8_t { kRepeating = 0, kOnPress = 1, kOnRelease = 2 };

struct Control {
    std::string_view input;
    WindowAction action;
    Trigger trigger;
};

constexpr std::array kControls = {
    Control{"key_up", kLineUp, kRepeating},         Control{"j1_up", kLineUp, kRepeating},
    Control{"key_down", kLineDown, kRepeating},     Control{"j1_down", kLineDown, kRepeating},
    Control{"key_pgup", kPageUp, kRepeating},       Control{"j1_left", kPageUp, kRepeating},
    Control{"key_pgdn", kPageDown, kRepeating},     Control{"j1_right", kPageDown, kRepeating},
    Control{"key_left", kCursorLeft, kRepeating},   Control{"key_right", kCursorRight, kRepeating},
    Control{"key_backspace", kEraseBefore, kRepeating}, Control{"key_del", kEraseUnder, kRepeating},
    Control{"key_enter", kChoose, kOnRelease},      Control{"j1_b0", kChoose, kOnRelease},
    Control{"key_esc", kClose, kOnPress},
};

// A held control is counted in frames; one held since before the window
// opened is ignored until it is let go.
constexpr int kHeldBeforeOpening = -1;

struct WindowLine {
    KFormattedLine text;
    int16_t startFg = kTextFg;  // colours carried in from the lines before
    int16_t startBg = kTextBg;
    int16_t linkFg = 14;
    int16_t linkBg = 1;
    // Input lines: the field's text, cursor, length and first column.
    std::string field;
    size_t cursor = 0;
    size_t maxLength = 0;
    int32_t fieldColumn = 0;
};

struct Look {
    int32_t width = 0;
    int32_t height = 0;
    int16_t frameFg = kTextFg;
    int16_t frameBg = kTextBg;
    bool recoloured = false;
    bool placed = false;
    int32_t x = 0;
    int32_t y = 0;
};

class TextWindow {
public:
    TextWindow(Kexec& exec, Kobject& speaker) : exec_(exec), engine_(exec.Engine()), speaker_(speaker) {}
    ~TextWindow() { Close(); }
    TextWindow(const TextWindow&) = delete;
    TextWindow& operator=(const TextWindow&) = delete;

    bool Open(const std::vector<std::string>& said);
    void Run();

private:
    using ActionHandler = bool (TextWindow::*)();
    static const std::array<ActionHandler, kClose + 1> kHandlers;

    void ChooseSize();
    size_t LinesThatFit(size_t said) const;
    void FormatLines(const std::vector<std::string>& said);
    bool MakeNodes();
    void DrawFrame();
    void DrawDefaultFrame();
    void CopyScrollBoard();
    void DrawTitle();
    void Place();
    void DrawRow(size_t row);
    void DrawPlain(size_t row);
    void DrawLink(size_t row);
    void DrawInput(size_t row);
    void PutText(size_t row, int32_t x, int chr, int fg, int bg);

    void ArmControls();
    // Acts on one pass's inputs; false when the window closes.
    bool Act();
    bool Fires(size_t control, bool down);
    void TakeTyped();
    void Close();

    int64_t Selected() const { return int64_t{look_.height / 2} - areaY_ - 3; }
    WindowLine* SelectedLine();
    WindowLine* SelectedInput();
    // Selects the first input line, when there is one.
    void SelectFirstInput();
    bool MoveArea(int32_t rows);
    void StoreField(const WindowLine& line);

    bool LineUp() { return MoveArea(1); }
    bool LineDown() { return MoveArea(-1); }
    bool PageUp() { return MoveArea(kPageRows); }
    bool PageDown() { return MoveArea(-kPageRows); }
    bool CursorLeft();
    bool CursorRight();
    bool EraseBefore();
    bool EraseUnder();
    bool Choose();
    bool CloseNow() { return false; }

    Kexec& exec_;
    Kinterface& engine_;
    Kobject& speaker_;
    int speakerHandle_ = -1;
    Look look_;
    int32_t areaWidth_ = 0;
    int32_t areaY_ = 0;
    std::vector<WindowLine> lines_;
    Kobject* board_ = nullptr;
    Kobject* frame_ = nullptr;
    Kobject* area_ = nullptr;
    std::array<int, kControls.size()> held_{};
    bool ending_ = false;
};

const std::array<TextWindow::ActionHandler, kClose + 1> TextWindow::kHandlers = {
    &TextWindow::LineUp,      &TextWindow::LineDown,    &TextWindow::PageUp,      &TextWindow::PageDown,
    &TextWindow::CursorLeft,  &TextWindow::CursorRight, &TextWindow::EraseBefore, &TextWindow::EraseUnder,
    &TextWindow::Choose,      &TextWindow::CloseNow,
};

int32_t NonNegative(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX)); }

bool TextWindow::Open(const std::vector<std::string>& said)
{
    // Nobody shows the game (tests, tools): there is no one to read it.
    if (engine_.vHost.runPass == nullptr || !engine_.vMain || said.empty()) return false;
    ChooseSize();
    FormatLines(said);
    if (!MakeNodes()) return false;
    speakerHandle_ = engine_.AllocHandle(&speaker_);
    DrawFrame();
    for (size_t row = 0; row < lines_.size(); ++row) DrawRow(row);
    Place();
    return true;
}

void TextWindow::ChooseSize()
{
    if (const Kobject* scroll = engine_.vScrollBoard) {
        look_.width = NonNegative(scroll->vieww);
        look_.height = NonNegative(scroll->viewh);
    } else {
        look_.width = NonNegative(int64_t{engine_.vMain->width} - kRootMargin);
        look_.height = kDefaultHeight;
    }
    // A small "Scroll" board would give the inside negative sizes.
    areaWidth_ = NonNegative(int64_t{look_.width} - 6);
}

size_t TextWindow::LinesThatFit(size_t said) const
{
    const int64_t byCells = areaWidth_ > 0 ? kMaxTextAreaCells / areaWidth_ : int64_t{kMaxWindowLines};
    return std::min({said, kMaxWindowLines, static_cast<size_t>(byCells)});
}

void TextWindow::FormatLines(const std::vector<std::string>& said)
{
    lines_.resize(LinesThatFit(said.size()));
    int16_t fg = kTextFg;
    int16_t bg = kTextBg;
    int16_t linkFg = 14;
    int16_t linkBg = 1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        WindowLine& line = lines_[i];
        line.text = KFormatLine(engine_, said[i]);
        const KFormattedLine& text = line.text;
        if (text.setsLinkColours) {
            linkFg = text.linkFg;
            linkBg = text.linkBg;
        }
        if (text.movesWindow) {
            look_.placed = true;
            look_.x = text.windowX;
            look_.y = text.windowY;
        }
        if (text.setsFrame) {
            look_.recoloured = true;
            look_.frameFg = text.frameFg;
            look_.frameBg = text.frameBg;
        }
        line.startFg = fg;
        line.startBg = bg;
        line.linkFg = linkFg;
        line.linkBg = linkBg;
        for (size_t c = 0; c < text.chars.size(); ++c) {
            if (text.fg[c] != -1) fg = text.fg[c];
            if (text.bg[c] != -1) bg = text.bg[c];
        }
        if (text.trailingFg != -1) fg = text.trailingFg;
        if (text.trailingBg != -1) bg = text.trailingBg;
        if (text.kind == kInputLine) {
            // The field follows its prompt and keeps one cell for the cursor.
            line.fieldColumn = static_cast<int32_t>(std::min<size_t>(text.chars.size(), static_cast<size_t>(areaWidth_)));
            const int64_t room = std::max<int64_t>(int64_t{areaWidth_} - line.fieldColumn - 1, 0);
            line.maxLength = static_cast<size_t>(std::clamp<int64_t>(text.maxLength, 0, room));
            // The field starts with what its variable holds now.
            if (const KVariable* variable = engine_.vVariables.Find(text.target)) {
                line.field = KVariables::StringOf(*variable).substr(0, line.maxLength);
            }
            line.cursor = line.field.size();
        }
    }
}

bool TextWindow::MakeNodes()
{
    const int32_t inW = NonNegative(int64_t{look_.width} - 4);
    const int32_t inH = NonNegative(int64_t{look_.height} - 6);
    const auto rows = static_cast<int32_t>(lines_.size());
    const int64_t cells = int64_t{look_.width} * look_.height + int64_t{inW} * inH + int64_t{areaWidth_} * rows;
    Kobject& root = *engine_.vMain;
    if (!engine_.MayAddNodes(root, 3, cells, look_.width, look_.height)) return false;
    const int32_t boardId = engine_.TakeNextId();
    const int32_t frameId = engine_.TakeNextId();
    const int32_t areaId = engine_.TakeNextId();
    if (boardId < 0 || frameId < 0 || areaId < 0) return false;
    board_ = root.Spawn_Back(boardId, kTextWindowDepth);
    board_->Create(speaker_.name, look_.width, look_.height);
    board_->posz = kTextWindowDepth;
    frame_ = board_->Spawn(frameId, 0);
    frame_->Create("vTextWindow", inW, inH);
    frame_->posx = frame_->posy = 3;
    area_ = frame_->Spawn(areaId, 0);
    area_->Create("vTextArea", areaWidth_, rows);
    areaY_ = look_.height / 2;
    area_->posy = areaY_;
    // Nothing of the window runs a script.
    board_->running = frame_->running = area_->running = 0;
    return true;
}

void TextWindow::DrawFrame()
{
    if (engine_.vScrollBoard != nullptr) {
        CopyScrollBoard();
    } else {
        DrawDefaultFrame();
    }
}

void TextWindow::CopyScrollBoard()
{
    const Kobject& scroll = *engine_.vScrollBoard;
    const int fg = look_.recoloured ? look_.frameFg : kKeep;
    const int bg = look_.recoloured ? look_.frameBg : kKeep;
    for (int32_t y = 0; y < look_.height; ++y) {
        for (int32_t x = 0; x < look_.width; ++x) {
            const KCell* cell = scroll.GetCell(static_cast<int32_t>(int64_t{scroll.viewx} + x),
                                               static_cast<int32_t>(int64_t{scroll.viewy} + y));
            if (cell == nullptr) continue;
            board_->SetCell(x, y, cell->chr, cell->fg, cell->bg, cell->attrib);
            board_->SetCell(x, y, kKeep, fg, bg, kKeep);
        }
    }
}

void TextWindow::DrawDefaultFrame()
{
    const int32_t w = look_.width;
    const int32_t h = look_.height;
    std::vector<int> glyphs(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    const auto set = [&](int32_t x, int32_t y, int chr) {
        if (x >= 0 && x < w && y >= 0 && y < h) glyphs[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = chr;
    };
    const auto rule = [&](int32_t y, int32_t from, int32_t to, int chr) {
        for (int32_t x = from; x <= to; ++x) set(x, y, chr);
    };
    const auto walls = [&](int32_t y) {
        set(1, y, kVertical);
        rule(y, 2, w - 3, kBlank);
        set(w - 2, y, kVertical);
    };
    set(0, 0, kLeftEnd);
    set(1, 0, kTopTee);
    rule(0, 2, w - 3, kHorizontal);
    set(w - 2, 0, kTopTee);
    set(w - 1, 0, kRightEnd);
    walls(1);
    set(1, 2, kLeftEnd);
    rule(2, 2, w - 3, kHorizontal);
    set(w - 2, 2, kRightEnd);
    for (int32_t y = 3; y <= h - 4; ++y) walls(y);
    set(0, h - 3, kLeftEnd);
    set(1, h - 3, kBottomTee);
    rule(h - 3, 2, w - 3, kHorizontal);
    set(w - 2, h - 3, kBottomTee);
    set(w - 1, h - 3, kRightEnd);
    const int32_t middle = (h - 2) / 2 + 1;
    set(2, middle, kMarkLeft);
    set(w - 3, middle, kMarkRight);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const int chr = glyphs[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
            if (chr == 0) {
                board_->SetCellNow(x, y, 0, 0, 0, 0);
            } else {
                board_->SetCellNow(x, y, chr, look_.frameFg, look_.frameBg, 0);
            }
        }
    }
    DrawTitle();
}

void TextWindow::DrawTitle()
{
    // The name goes into the surface only; the cells keep their blanks.
    if (!engine_.vFont || look_.height < 2) return;
    const std::string& name = board_->name;
    const int64_t start = int64_t{look_.width / 2} - static_cast<int64_t>(name.size() / 2);
    const int64_t first = std::max<int64_t>(0, -start);
    const int64_t last = std::min<int64_t>(static_cast<int64_t>(name.size()), int64_t{look_.width} - start);
    if (first >= last) return;
    const std::string_view shown = std::string_view(name).substr(static_cast<size_t>(first), static_cast<size_t>(last - first));
    engine_.vFont->DrawText(*board_, shown, look_.frameFg, look_.frameBg, static_cast<int32_t>(start + first), 1);
}

void TextWindow::Place()
{
    const Kobject& root = *engine_.vMain;
    if (look_.placed) {
        // Kept on the root wherever it fits, however far away it was sent.
        const int64_t spareX = int64_t{root.width} - look_.width;
        const int64_t spareY = int64_t{root.height} - look_.height;
        board_->posx = static_cast<int32_t>(std::clamp<int64_t>(look_.x, std::min<int64_t>(spareX, 0), std::max<int64_t>(spareX, 0)));
        board_->posy = static_cast<int32_t>(std::clamp<int64_t>(look_.y, std::min<int64_t>(spareY, 0), std::max<int64_t>(spareY, 0)));
    } else {
        board_->posx = root.width / 2 - look_.width / 2;
        board_->posy = root.height / 2 - look_.height / 2;
    }
}

void TextWindow::PutText(size_t row, int32_t x, int chr, int fg, int bg)
{
    if (x >= 0 && x < areaWidth_) area_->SetCell(x, static_cast<int32_t>(row), chr, fg, bg, 0);
}

void TextWindow::DrawRow(size_t row)
{
    for (int32_t x = 0; x < areaWidth_; ++x) area_->SetCell(x, static_cast<int32_t>(row), 0, 0, 0, 0);
    switch (lines_[row].text.kind) {
    case kLinkLine: DrawLink(row); break;
    case kInputLine: DrawInput(row); break;
    case kPlainLine: DrawPlain(row); break;
    }
}

void TextWindow::DrawPlain(size_t row)
{
    const WindowLine& line = lines_[row];
    const KFormattedLine& text = line.text;
    const auto length = static_cast<int64_t>(text.chars.size());
    const int64_t start = text.centred ? int64_t{areaWidth_ / 2} - length / 2 : 0;
    int fg = line.startFg;
    int bg = line.startBg;
    for (int64_t c = 0; c < length && start + c < areaWidth_; ++c) {
        const auto at = static_cast<size_t>(c);
        if (text.fg[at] != -1) fg = text.fg[at];
        if (text.bg[at] != -1) bg = text.bg[at];
        if (start + c >= 0) PutText(row, static_cast<int32_t>(start + c), text.chars[at], fg, bg);
    }
}

void TextWindow::DrawLink(size_t row)
{
    const WindowLine& line = lines_[row];
    const size_t shown = std::min<size_t>(line.text.chars.size(), static_cast<size_t>(areaWidth_));
    for (size_t c = 0; c < shown; ++c) {
        PutText(row, kLinkColumn + static_cast<int32_t>(c), line.text.chars[c], line.linkFg, line.linkBg);
    }
}

void TextWindow::DrawInput(size_t row)
{
    const WindowLine& line = lines_[row];
    for (int32_t c = 0; c < line.fieldColumn; ++c) {
        PutText(row, c, line.text.chars[static_cast<size_t>(c)], kFieldFg, kFieldBg);
    }
    for (size_t c = 0; c < line.maxLength; ++c) {
        const int chr = c < line.field.size() ? static_cast<unsigned char>(line.field[c]) : kBlank;
        PutText(row, line.fieldColumn + static_cast<int32_t>(c), chr, kFieldFg, kFieldBg);
    }
    if (Selected() == static_cast<int64_t>(row)) {
        PutText(row, line.fieldColumn + static_cast<int32_t>(line.cursor), kCursorChar, kFieldFg, kFieldBg);
    }
}

void TextWindow::Run()
{
    ArmControls();
    while (true) {
        if (engine_.RunModalPass() != KModalPass::Ran) {
            ending_ = true;
            break;
        }
        if (!Act()) break;
    }
    Close();
}

void TextWindow::ArmControls()
{
    for (size_t i = 0; i < kControls.size(); ++i) {
        const int slot = KInputSlot(kControls[i].input);
        const bool down = slot >= 0 && engine_.vInputs[static_cast<size_t>(slot)] != 0;
        held_[i] = down ? kHeldBeforeOpening : 0;
    }
}

bool TextWindow::Fires(size_t control, bool down)
{
    int& held = held_[control];
    const Trigger trigger = kControls[control].trigger;
    if (!down) {
        const bool released = held > 0;
        held = 0;
        return released && trigger == kOnRelease;
    }
    if (held == kHeldBeforeOpening) return false;
    held = std::min(held + 1, kRepeatDelay + kRepeatEvery);
    if (held == kRepeatDelay + kRepeatEvery) held = kRepeatDelay;
    switch (trigger) {
    case kRepeating: return held == 1 || held == kRepeatDelay;
    case kOnPress: return held == 1;
    case kOnRelease: return false;
    }
    return false;
}

bool TextWindow::Act()
{
    for (size_t i = 0; i < kControls.size(); ++i) {
        const int slot = KInputSlot(kControls[i].input);
        const bool down = slot >= 0 && engine_.vInputs[static_cast<size_t>(slot)] != 0;
        if (Fires(i, down) && !(this->*kHandlers[kControls[i].action])()) return false;
    }
    TakeTyped();
    return true;
}

void TextWindow::TakeTyped()
{
    // Typed characters are always taken, so none is left for later.
    for (int typed = engine_.NextTypedChar(); typed >= 0; typed = engine_.NextTypedChar()) {
        if (typed < 32 || typed > 126) continue;
        // Typing before the selection reaches a field goes to the first
        // field, which becomes the selected line.
        if (SelectedInput() == nullptr) SelectFirstInput();
        WindowLine* line = SelectedInput();
        if (line == nullptr || line->field.size() >= line->maxLength) continue;
        line->field.insert(line->cursor, 1, static_cast<char>(typed));
        ++line->cursor;
        StoreField(*line);
    }
}

void TextWindow::SelectFirstInput()
{
    for (size_t row = 0; row < lines_.size(); ++row) {
        if (lines_[row].text.kind != kInputLine) continue;
        MoveArea(static_cast<int32_t>(Selected() - static_cast<int64_t>(row)));
        return;
    }
}

WindowLine* TextWindow::SelectedLine()
{
    const int64_t selected = Selected();
    if (selected < 0 || selected >= static_cast<int64_t>(lines_.size())) return nullptr;
    return &lines_[static_cast<size_t>(selected)];
}

WindowLine* TextWindow::SelectedInput()
{
    WindowLine* line = SelectedLine();
    return line != nullptr && line->text.kind == kInputLine ? line : nullptr;
}

bool TextWindow::MoveArea(int32_t rows)
{
    const int64_t before = Selected();
    const int32_t half = look_.height / 2;
    const auto count = static_cast<int32_t>(lines_.size());
    areaY_ = std::clamp(areaY_ + rows, half - count - 2, half - 3);
    area_->posy = areaY_;
    // The cursor shows only on the selected line.
    for (const int64_t row : {before, Selected()}) {
        if (row >= 0 && row < count && lines_[static_cast<size_t>(row)].text.kind == kInputLine) {
            DrawRow(static_cast<size_t>(row));
        }
    }
    return true;
}

void TextWindow::StoreField(const WindowLine& line)
{
    engine_.SetVarString(line.text.target, line.field);
    DrawRow(static_cast<size_t>(&line - lines_.data()));
}

bool TextWindow::CursorLeft()
{
    WindowLine* line = SelectedInput();
    if (line != nullptr && line->cursor > 0) {
        --line->cursor;
        DrawRow(static_cast<size_t>(line - lines_.data()));
    }
    return true;
}

bool TextWindow::CursorRight()
{
    WindowLine* line = SelectedInput();
    if (line != nullptr && line->cursor < line->field.size()) {
        ++line->cursor;
        DrawRow(static_cast<size_t>(line - lines_.data()));
    }
    return true;
}

bool TextWindow::EraseBefore()
{
    WindowLine* line = SelectedInput();
    if (line != nullptr && line->cursor > 0) {
        line->field.erase(--line->cursor, 1);
        StoreField(*line);
    }
    return true;
}

bool TextWindow::EraseUnder()
{
    WindowLine* line = SelectedInput();
    if (line != nullptr && line->cursor < line->field.size()) {
        line->field.erase(line->cursor, 1);
        StoreField(*line);
    }
    return true;
}

bool TextWindow::Choose()
{
    const WindowLine* line = SelectedLine();
    // Before the first key the selection stands above the first line:
    // there is nothing to act on, and Enter closes the window.
    if (line == nullptr || line->text.kind != kLinkLine) return false;
    Kobject* speaker = engine_.NodeOf(speakerHandle_);
    if (speaker == nullptr || exec_.SendMarker(*speaker, line->text.target) == 0) return true;
    speaker->running = 1;
    speaker->wait = 0;
    return false;
}

void TextWindow::Close()
{
    if (board_ == nullptr) return;
    exec_.EraseChild(*engine_.vMain, *board_);
    board_ = frame_ = area_ = nullptr;
    if (speakerHandle_ >= 0) engine_.ReleaseHandle(speakerHandle_);
    speakerHandle_ = -1;
    if (!ending_) {
        if (engine_.WaitForRelease(KEY_ESC)) engine_.WaitForRelease(KEY_ENTER);
        // After #endgame no binding may fire: the counters stay at rest.
        if (engine_.vPlay.inputEnabled != 0) {
            engine_.PollInput();
        } else {
            engine_.vInputs.fill(0);
        }
    }
    engine_.vPlay.pendingTicks = 0;
}

}  // namespace

void KShowScrollWindow(Kexec& exec, Kobject& speaker, const std::vector<std::string>& lines)
{
    TextWindow window(exec, speaker);
    if (!window.Open(lines)) return;
    // The player may stay in the window for as long as they like; the work
    // left to the tick (a link's jump looks through labels) starts afresh.
    exec.Engine().vWork.Begin();
    window.Run();
}

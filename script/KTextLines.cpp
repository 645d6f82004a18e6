#include "KTextLines.h"

#include "KVariables.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>

namespace {

class LineFormatter {
public:
    LineFormatter(Kinterface& engine, std::string_view text) : engine_(engine), text_(text) {}

    KFormattedLine Run()
    {
        while (at_ < text_.size() && line_.chars.size() < kMaxFormattedChars) {
            const char c = text_[at_];
            if (c != '$' || at_ + 1 >= text_.size()) {
                Put(static_cast<unsigned char>(c));
                ++at_;
                continue;
            }
            const size_t dollar = at_++;
            if (!Code()) {
                // Any other letter: the rest of the line, the "$" with it, is
                // copied as it stands, so prices and the like read as typed.
                at_ = dollar;
                while (at_ < text_.size() && line_.chars.size() < kMaxFormattedChars) {
                    Put(static_cast<unsigned char>(text_[at_++]));
                }
            }
        }
        line_.trailingFg = pendingFg_;
        line_.trailingBg = pendingBg_;
        return std::move(line_);
    }

private:
    void Put(int code)
    {
        if (line_.chars.size() >= kMaxFormattedChars) return;
        line_.chars.push_back(static_cast<int16_t>(code));
        line_.fg.push_back(pendingFg_);
        line_.bg.push_back(pendingBg_);
        pendingFg_ = pendingBg_ = -1;
    }

    void SkipBlanks()
    {
        while (at_ < text_.size() && text_[at_] == ' ') ++at_;
    }

    void SkipOneBlank()
    {
        if (at_ < text_.size() && text_[at_] == ' ') ++at_;
    }

    std::string_view Word()
    {
        SkipBlanks();
        const size_t start = at_;
        while (at_ < text_.size() && text_[at_] != ' ') ++at_;
        return text_.substr(start, at_ - start);
    }

    // A palette index, or -1 (keep) / -2 (the sheet's own colours).
    int16_t Colour() { return static_cast<int16_t>(std::clamp(Number(), -2, 255)); }

    // Two colour codes in a row: the later one wins where it sets a colour.
    void SetPending(int16_t fg, int16_t bg)
    {
        if (fg != -1) pendingFg_ = fg;
        if (bg != -1) pendingBg_ = bg;
    }

    int32_t Number()
    {
        SkipBlanks();
        const size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
        return KTextToInt(text_.substr(start, at_ - start));
    }

    // Works out the code after a "$"; false for a letter that is no code.
    bool Code()
    {
        const char code = text_[at_];
        if (code == '$') {
            ++at_;
            Put(std::clamp(Number(), 0, kMaxCharCode));
        } else if (code == '-' || (code >= '0' && code <= '9')) {
            const int16_t fg = Colour();
            if (at_ < text_.size() && text_[at_] == ',') ++at_;
            SetPending(fg, Colour());
        } else if (code == 'c') {
            ++at_;
            line_.centred = true;
        } else if (code == 'h') {
            ++at_;
            line_.setsLinkColours = true;
            line_.linkFg = Colour();
            line_.linkBg = Colour();
        } else if (code == 'm') {
            ++at_;
            line_.movesWindow = true;
            line_.windowX = Number();
            line_.windowY = Number();
        } else if (code == 's') {
            ++at_;
            line_.setsFrame = true;
            line_.frameFg = Colour();
            line_.frameBg = Colour();
        } else if (code == 'l') {
            ++at_;
            line_.kind = kLinkLine;
            line_.target = std::string(Word());
        } else if (code == 'i') {
            ++at_;
            line_.kind = kInputLine;
            line_.target = std::string(Word());
            line_.maxLength = Number();
        } else if (code == 'v') {
            ++at_;
            const std::string value = engine_.GetVarString(Word());
            SkipOneBlank();
            for (const char c : value) Put(static_cast<unsigned char>(c));
            return true;
        } else {
            return false;
        }
        SkipOneBlank();
        return true;
    }

    Kinterface& engine_;
    std::string_view text_;
    size_t at_ = 0;
    int16_t pendingFg_ = -1;
    int16_t pendingBg_ = -1;
    KFormattedLine line_;
};

}  // namespace

std::string KFormattedLine::Text() const
{
    std::string text;
    text.reserve(chars.size());
    for (const int16_t code : chars) text += static_cast<char>(code & 0xff);
    return text;
}

KFormattedLine KFormatLine(Kinterface& engine, std::string_view text) { return LineFormatter(engine, text).Run(); }

bool KShowAsMessage(Kinterface& engine, const Kobject& speaker, const std::vector<std::string>& lines)
{
    if (lines.size() != 1) return false;
    const KFormattedLine line = KFormatLine(engine, lines[0]);
    if (line.kind != kPlainLine) return false;
    engine.vPlay.ShowMessage(speaker.id, line.Text());
    return true;
}

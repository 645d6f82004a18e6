#include "KTextLines.h"

#include "KVariables.h"
#include "Kinterface.h"
#include "Kobject.h"

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
            ++at_;
            if (!Code()) {
                // Any other letter: the rest of the line is copied as it stands.
                while (at_ < text_.size() && line_.chars.size() < kMaxFormattedChars) {
                    Put(static_cast<unsigned char>(text_[at_++]));
                }
            }
        }
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
            Put(Number() & 0xffff);
        } else if (code == '-' || (code >= '0' && code <= '9')) {
            pendingFg_ = static_cast<int16_t>(Number());
            if (at_ < text_.size() && text_[at_] == ',') ++at_;
            pendingBg_ = static_cast<int16_t>(Number());
        } else if (code == 'c') {
            ++at_;
            line_.centred = true;
        } else if (code == 'h') {
            ++at_;
            line_.setsLinkColours = true;
            line_.linkFg = static_cast<int16_t>(Number());
            line_.linkBg = static_cast<int16_t>(Number());
        } else if (code == 'm') {
            ++at_;
            line_.movesWindow = true;
            line_.windowX = Number();
            line_.windowY = Number();
        } else if (code == 's') {
            ++at_;
            line_.setsFrame = true;
            line_.frameFg = static_cast<int16_t>(Number());
            line_.frameBg = static_cast<int16_t>(Number());
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

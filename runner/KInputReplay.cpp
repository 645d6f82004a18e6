#include "KInputReplay.h"

#include "KInput.h"
#include "KParseNumber.h"

#include <algorithm>
#include <fstream>
#include <limits>

namespace {

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

bool Fail(std::string& error, int line, const std::string& why)
{
    error = "line " + std::to_string(line) + ": " + why;
    return false;
}

bool ParseInput(const std::vector<std::string_view>& words, KReplayEvent& event, std::string& error)
{
    const std::string name(words[1]);
    if (words.size() != 3 || (words[2] != "down" && words[2] != "up")) {
        const std::string start = std::string(words[0]) + " " + name;
        return Fail(error, event.line, "expected '" + start + " down' or '" + start + " up'");
    }
    const int slot = name.empty() ? -1 : KInputSlot(name);
    if (slot <= 0) return Fail(error, event.line, "unknown input '" + name + "'");
    if (KInputKindOfSlot(slot) == KInputKind::Derived) {
        return Fail(error, event.line, name + " follows from the keys held and cannot be replayed");
    }
    event.slot = slot;
    event.kind = words[2] == "down" ? KReplayEvent::Kind::Press : KReplayEvent::Kind::Release;
    return true;
}

bool ParseMouse(const std::vector<std::string_view>& words, KReplayEvent& event, std::string& error)
{
    constexpr int kLow = std::numeric_limits<int>::min();
    constexpr int kHigh = std::numeric_limits<int>::max();
    if (words.size() != 4 || !KParseNumber(words[2], kLow, kHigh, event.x) || !KParseNumber(words[3], kLow, kHigh, event.y)) {
        return Fail(error, event.line, "expected 'T mouse X Y' with X and Y in pixels");
    }
    event.kind = KReplayEvent::Kind::MouseMove;
    return true;
}

// "T type TEXT": TEXT is the rest of the line after the one blank that
// follows "type", so blanks inside and at its end are typed too.
bool ParseType(std::string_view text, const std::vector<std::string_view>& words, KReplayEvent& event, std::string& error)
{
    const size_t after = static_cast<size_t>(words[1].data() + words[1].size() - text.data());
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (after + 1 >= text.size()) return Fail(error, event.line, "expected 'T type TEXT' with TEXT after one blank");
    event.text = std::string(text.substr(after + 1));
    event.kind = KReplayEvent::Kind::Type;
    return true;
}

bool ParseLine(std::string_view text, int line, std::vector<KReplayEvent>& events, std::string& error)
{
    const std::vector<std::string_view> words = Words(text);
    if (words.empty() || words[0].front() == '#') return true;
    KReplayEvent event;
    event.line = line;
    if (!KParseNumber<int64_t>(words[0], 0, std::numeric_limits<int32_t>::max(), event.tick)) {
        return Fail(error, line, "'" + std::string(words[0]) + "' is not a tick number");
    }
    if (words.size() < 2) return Fail(error, line, "an input name, 'mouse' or 'type' must follow the tick");
    bool ok = false;
    if (words[1] == "mouse") {
        ok = ParseMouse(words, event, error);
    } else if (words[1] == "type") {
        ok = ParseType(text, words, event, error);
    } else {
        ok = ParseInput(words, event, error);
    }
    if (ok) events.push_back(event);
    return ok;
}

}  // namespace

bool KInputReplay::Load(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the input file '" + path + "'";
        return false;
    }
    std::string text(kMaxReplayBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxReplayBytes) {
        error = "the input file '" + path + "' is larger than 16 MiB";
        return false;
    }
    if (!Parse(text, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool KInputReplay::Parse(std::string_view text, std::string& error)
{
    std::vector<KReplayEvent> events;
    int line = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        ++line;
        if (!ParseLine(text.substr(at, end - at), line, events, error)) return false;
        at = end + 1;
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const KReplayEvent& a, const KReplayEvent& b) { return a.tick < b.tick; });
    events_ = std::move(events);
    next_ = 0;
    typed_.clear();
    return true;
}

void KInputReplay::ApplyUpTo(int64_t tick)
{
    for (; next_ < events_.size() && events_[next_].tick <= tick; ++next_) {
        const KReplayEvent& event = events_[next_];
        switch (event.kind) {
        case KReplayEvent::Kind::Press: KSetLibraryInput(event.slot, true); break;
        case KReplayEvent::Kind::Release: KSetLibraryInput(event.slot, false); break;
        case KReplayEvent::Kind::MouseMove: KSetLibraryMousePosition(event.x, event.y); break;
        case KReplayEvent::Kind::Type: typed_.insert(typed_.end(), event.text.begin(), event.text.end()); break;
        }
    }
}

int KInputReplay::NextTypedChar()
{
    if (typed_.empty()) return -1;
    const int typed = typed_.front();
    typed_.pop_front();
    return typed;
}

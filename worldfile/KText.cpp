#include "KText.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace {
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

bool KTextReader::Token(std::string_view& token)
{
    while (position_ < text_.size() && IsSpace(text_[position_])) ++position_;
    const size_t start = position_;
    while (position_ < text_.size() && !IsSpace(text_[position_])) ++position_;
    token = text_.substr(start, position_ - start);
    return !token.empty();
}

bool KTextReader::Line(std::string_view& line)
{
    if (position_ >= text_.size()) {
        line = {};
        return false;
    }
    const size_t end = text_.find('\n', position_);
    if (end == std::string_view::npos) {
        line = text_.substr(position_);
        position_ = text_.size();
    } else {
        line = text_.substr(position_, end - position_);
        position_ = end + 1;
    }
    return true;
}

size_t KTextReader::LineNumber() const
{
    // The read position only ever moves forward.
    const size_t upTo = std::min(position_, text_.size());
    if (upTo > countedTo_) {
        const auto begin = text_.begin() + static_cast<std::ptrdiff_t>(countedTo_);
        const auto end = text_.begin() + static_cast<std::ptrdiff_t>(upTo);
        linesBefore_ += static_cast<size_t>(std::count(begin, end, '\n'));
        countedTo_ = upTo;
    }
    return 1 + linesBefore_;
}

bool KParseInt(std::string_view token, int64_t& value)
{
    // from_chars takes a minus sign but no plus sign.
    if (token.size() > 1 && token[0] == '+' && token[1] != '-') token.remove_prefix(1);
    int64_t parsed = 0;
    const auto [end, failure] = std::from_chars(token.data(), token.data() + token.size(), parsed);
    constexpr int64_t kLimit = int64_t{1} << 62;
    if (token.empty() || failure != std::errc{} || end != token.data() + token.size()) return false;
    if (parsed > kLimit || parsed < -kLimit) return false;
    value = parsed;
    return true;
}

void KAppendInt(std::string& out, int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

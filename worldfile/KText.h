#pragma once
// Reading the system's text entries: whitespace-separated tokens and whole
// lines ended by a line feed, over text held in memory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class KTextReader {
public:
    explicit KTextReader(std::string_view text) : text_(text) {}

    // The next run of non-whitespace characters; false at the end.
    bool Token(std::string_view& token);
    // Everything up to the next line feed (which is consumed); false when
    // nothing is left at all.
    bool Line(std::string_view& line);
    bool AtEnd() const { return position_ >= text_.size(); }
    size_t Position() const { return position_; }
    // 1-based number of the line the read position stands on.
    size_t LineNumber() const;

private:
    std::string_view text_;
    size_t position_ = 0;
};

// A whole token of an optional sign and decimal digits; false for anything
// else or a value beyond +/- 2^62.
bool KParseInt(std::string_view token, int64_t& value);

// Appends the decimal text of value.
void KAppendInt(std::string& out, int64_t value);

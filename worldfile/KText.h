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
    // 1-based number of the line the read position stands on. The count
    // goes on from where the last call left it, so naming lines while
    // reading a whole text costs one pass over it, not one per call.
    size_t LineNumber() const;
    // Characters looked at to number lines so far (at most the text's size).
    size_t LineCountingWork() const { return countedTo_; }

private:
    std::string_view text_;
    size_t position_ = 0;
    mutable size_t countedTo_ = 0;
    mutable size_t linesBefore_ = 0;  // line feeds before countedTo_
};

// A whole token of an optional sign and decimal digits; false for anything
// else or a value beyond +/- 2^62.
bool KParseInt(std::string_view token, int64_t& value);

// Appends the decimal text of value.
void KAppendInt(std::string& out, int64_t value);

#pragma once
// Whole numbers read from the command line and from replay files.

#include <charconv>
#include <string_view>

// Reads all of text as a decimal number within low .. high; false (and out
// unchanged) otherwise.
template <typename Number>
bool KParseNumber(std::string_view text, Number low, Number high, Number& out)
{
    Number value{};
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc{} || end != text.data() + text.size() || value < low || value > high) return false;
    out = value;
    return true;
}

#pragma once
// Direction expressions: runs of direction codes compiled from words such as
// "n", "seek", "opp", read from the last code (the base direction) back to
// the first (each one modifying the result of those after it).

#include <cstddef>
#include <string>

class Kexec;
class Kobject;

inline constexpr int kDirectionNone = -1;

// The direction of the codes code[begin, end) for object; reading backwards
// from end stops at the first byte that is not a direction code.
int KResolveDirection(Kexec& exec, const Kobject& object, const std::string& code, size_t begin, size_t end);

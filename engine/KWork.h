#pragma once
// The work one game tick may do. Every command run, node visited by an
// address walk or a search, and run of bytes copied into a text costs units;
// once a tick's units are spent, the tick's remaining turns are put off to
// the next tick, so whatever a world's scripts do, a tick ends in bounded
// time. Turns taken at once by "*" messages draw on a smaller share of the
// same units; past it such a message only jumps its receiver, so relays
// between objects cannot starve the turns that come after them.

#include <cstdint>

// About 40 ms of plain commands on a busy two-core machine: far more than a
// game can use at 60 ticks a second.
inline constexpr int64_t kTickWorkUnits = 500'000;
inline constexpr int64_t kImmediateWorkUnits = 125'000;
// Bytes of text copied for one unit.
inline constexpr int64_t kTextBytesPerUnit = 64;

class KTickWork {
public:
    // A fresh tick: every unit available again.
    void Begin()
    {
        left_ = capacity_;
        immediateLeft_ = immediateCapacity_;
    }
    // The units of every later tick (smaller ones make tests quick).
    void SetCapacity(int64_t units, int64_t immediateUnits)
    {
        capacity_ = units;
        immediateCapacity_ = immediateUnits;
        Begin();
    }
    // Takes units; false (and nothing left) when the tick cannot afford them.
    bool Spend(int64_t units)
    {
        if (immediateDepth_ > 0) immediateLeft_ = immediateLeft_ > units ? immediateLeft_ - units : 0;
        if (left_ < units) {
            left_ = 0;
            return false;
        }
        left_ -= units;
        return true;
    }
    bool SpendOnText(size_t bytes) { return Spend(static_cast<int64_t>(bytes) / kTextBytesPerUnit + 1); }
    bool Spent() const { return left_ <= 0; }
    bool ImmediateSpent() const { return immediateLeft_ <= 0 || left_ <= 0; }
    int64_t Left() const { return left_; }

    // Work done inside turns taken at once also counts against their share.
    void EnterImmediate() { ++immediateDepth_; }
    void LeaveImmediate() { --immediateDepth_; }

private:
    int64_t capacity_ = kTickWorkUnits;
    int64_t immediateCapacity_ = kImmediateWorkUnits;
    int64_t left_ = kTickWorkUnits;
    int64_t immediateLeft_ = kImmediateWorkUnits;
    int immediateDepth_ = 0;
};

#pragma once
// Input replay for headless play: a text file of timed presses, releases,
// mouse moves and typed text, applied at the start of the ticks they name.
// Presses, releases and moves go to the game library's physical input
// state; typed text waits in a queue of characters until it is taken.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

struct KReplayEvent {
    enum class Kind : uint8_t { Press = 0, Release = 1, MouseMove = 2, Type = 3 };
    int64_t tick = 0;
    Kind kind = Kind::Press;
    int slot = 0;  // input slot, for presses and releases
    int x = 0;     // pixels, for mouse moves
    int y = 0;
    std::string text;  // typed characters, for Type
    int line = 0;  // where it stands in the file
};

// Largest replay file read, so a stranger's file cannot eat the memory.
inline constexpr size_t kMaxReplayBytes = size_t{16} << 20;

class KInputReplay {
public:
    // False with a message naming the file or the line at fault.
    bool Load(const std::string& path, std::string& error);
    bool Parse(std::string_view text, std::string& error);

    // Applies every event up to and including tick that is not applied yet,
    // in tick order and, within a tick, in file order.
    void ApplyUpTo(int64_t tick);

    // The next typed character (0..255) not taken yet, or -1.
    int NextTypedChar();
    // Drops the typed characters nobody took.
    void DropTyped() { typed_.clear(); }

    const std::vector<KReplayEvent>& Events() const { return events_; }

private:
    std::vector<KReplayEvent> events_;
    size_t next_ = 0;
    std::deque<unsigned char> typed_;
};

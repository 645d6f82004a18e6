#pragma once
// The runner's play state shared by the shell and the script executor: the
// on-screen messages, the HUD's watch list, the input-enabled flag and the
// pending-tick counter fed by the game timer.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class KVariables;

struct KMessage {
    std::string text;
    int32_t owner = 0;  // the speaking object's id, or a watch key
    int32_t timer = 0;  // ticks left on screen
};

struct KWatch {
    std::string name;      // the variable shown
    int32_t isString = 0;  // show the text value rather than the integer
    int32_t key = 0;       // owner key of its message line
};

inline constexpr int32_t kMessageLife = 170;
// More lines than the largest screen has rows are never seen: past this the
// oldest line (never the game-over line) makes room for a new one.
inline constexpr size_t kMaxMessages = 128;
// A variable is watched once; at most this many are watched at a time.
inline constexpr size_t kMaxWatches = 256;
inline constexpr std::string_view kGameOverText = "!!! Game Over !!!";
// A batch of ticks runs only while 0 < pending < this limit.
inline constexpr int32_t kCatchUpLimit = 4;

class KPlayState {
public:
    std::vector<KMessage> messages;  // oldest first: drawn on the bottom line
    std::vector<KWatch> watches;
    int32_t inputEnabled = 1;
    // Written by the timer thread, read and reset by the main loop.
    std::atomic<int32_t> pendingTicks{0};
    // Escape was pressed while a fade held the game: the menu opens once
    // the tick is over. Fades block the game, not the player.
    bool menuAsked = false;
    // Frames of fades shown in the tick counted by fadeTick.
    int64_t fadeTick = -1;
    int32_t fadeFrames = 0;

    // Shows text as the message of owner: an owner's existing line gets the
    // new text and a fresh life; otherwise a line is added, except a second
    // "!!! Game Over !!!".
    void ShowMessage(int32_t owner, std::string_view text);
    const KMessage* MessageOf(int32_t owner) const;
    // Adds a watch unless the variable is watched already or the list is
    // full; true when it was added.
    bool Watch(KWatch watch);

    // One tick of message life: lines whose timer runs out go, except the
    // game-over line, which stays for the rest of the game.
    void RunDownTimers();

    // Shows a line "name: value" for every watched variable that changed
    // since it was last looked at.
    void CheckWatches(KVariables& variables);

    // The state at the start of play: no messages, input on, the watch list
    // of health (key 0) and ammo (key -1), no pending ticks.
    void Reset();

    // Runs tick() while 0 < pending < kCatchUpLimit, one pending tick each,
    // then drops what is left: a machine that falls behind slows the game
    // down instead of jumping. Returns the number of ticks run.
    template <typename TickFunction>
    int RunPendingTicks(TickFunction&& tick)
    {
        int ran = 0;
        for (int32_t pending = pendingTicks.load(); pending > 0 && pending < kCatchUpLimit;
             pending = pendingTicks.load()) {
            tick();
            --pendingTicks;
            ++ran;
        }
        pendingTicks = 0;
        return ran;
    }
};

// The HUD line of a watched variable.
std::string KWatchLine(const KWatch& watch, KVariables& variables);

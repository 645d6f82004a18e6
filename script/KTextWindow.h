#pragma once
// The scroll window: several lines said at once (or a lone link or input
// line) shown in a framed board above the world, through which the player
// scrolls, follows links to the speaker's labels and types into input
// fields. It waits for the player inside the tick that opened it; the game
// does not tick meanwhile.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Kexec;
class Kobject;

// Depth of the window's board among the boards: in front of all of them.
inline constexpr int32_t kTextWindowDepth = 100005;
// Lines shown in one window; later ones are dropped.
inline constexpr size_t kMaxWindowLines = 1024;
// Cells of the text area (its width times its lines); lines past it are
// dropped, so a wide window of many lines cannot eat the memory.
inline constexpr int64_t kMaxTextAreaCells = int64_t{1} << 18;

// Opens the window for what speaker said and runs it until it closes.
void KShowScrollWindow(Kexec& exec, Kobject& speaker, const std::vector<std::string>& lines);

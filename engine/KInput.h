#pragma once
// Inputs: the physical state of keyboard, mouse and joysticks as the game
// library holds it, the 181 input slots the engine counts, and the names
// scripts and replay files give those slots.

#include <array>
#include <cstdint>
#include <string_view>

inline constexpr int kInputCount = 181;

// Slots of the input counters.
inline constexpr int kSlotLastKey = 114;      // 1..114: keyboard keys
inline constexpr int kSlotShiftedLeft = 115;  // 115..118: arrows held with shift
inline constexpr int kSlotShift = 119;
inline constexpr int kSlotCtrl = 120;
inline constexpr int kSlotAlt = 121;
inline constexpr int kSlotMouse1 = 122;       // 122..124: mouse buttons 1..3
inline constexpr int kSlotJoystick = 125;     // 125 + 14 j: up, right, down, left, buttons 0..9
inline constexpr int kSlotsPerJoystick = 14;
inline constexpr int kJoysticks = 4;
inline constexpr int kJoystickButtons = 10;
// Key slots named like the library's keys.
inline constexpr int kSlotLeft = 82;
inline constexpr int kSlotRight = 83;
inline constexpr int kSlotUp = 84;
inline constexpr int kSlotDown = 85;
inline constexpr int kSlotLShift = 103;

// What the library says is down, read once per poll.
struct KJoystickState {
    bool up = false;
    bool right = false;
    bool down = false;
    bool left = false;
    std::array<bool, kJoystickButtons> buttons{};
};

struct KPhysicalInput {
    std::array<bool, 128> keys{};  // indexed by the library's key numbers
    int mouseX = 0;                // pixels
    int mouseY = 0;
    int mouseZ = 0;                // wheel position
    int mouseButtons = 0;          // bit 0: button 1, bit 1: button 2, bit 2: button 3
    std::array<KJoystickState, kJoysticks> joysticks{};
    int joystickCount = 0;
};

// The library key counted in a keyboard slot (1..114), or -1. The library
// numbers its modifier keys from 115 on and puts other keys at 103..114,
// while the slots keep the modifiers at 103..114.
int KLibraryKeyOfSlot(int slot);

// The name of slot 0..180 ("" for the unnamed slots and outside the table).
std::string_view KInputName(int slot);
// The slot of an input name (exact comparison, first match), or -1.
int KInputSlot(std::string_view name);

// What kind of physical input a slot stands for.
enum class KInputKind : uint8_t { None = 0, Key = 1, Derived = 2, MouseButton = 3, JoystickDirection = 4, JoystickButton = 5 };
KInputKind KInputKindOfSlot(int slot);

// Reads the library's key array, mouse and joysticks (polling the drivers
// that are installed). A key counts as down when it is held now or was down
// when the frame's keys were taken (KTakeFrameKeys).
KPhysicalInput KReadLibraryInput();

// --- Keys of a frame ------------------------------------------------------------
// A key pressed and let go between two looks at the key array would never
// be seen: every press is latched until the next frame takes it. The
// keyboard's low-level hook latches real presses; KSetLibraryInput latches
// replayed ones.
// Hooks the latch into the keyboard driver (after install_keyboard).
void KLatchKeyPresses();
// Takes the frame's keys: each is down when held now or pressed since the
// frame before. Clears the latch.
void KTakeFrameKeys();
// Whether the key was down in the frame taken last.
bool KFrameKeyDown(int libraryKey);
// Forgets the latched presses and the frame's keys (a new game, a new window).
void KForgetFrameKeys();

// The window shows the game enlarged this many times: mouse positions are
// divided by it, so scripts see game pixels.
void KSetMouseScale(int scale);

// Writes the library's physical state as a device would: the headless
// replay presses and releases keys, buttons and joystick directions here,
// and the engine's poll then reads them as from real hardware.
void KSetLibraryInput(int slot, bool down);
void KSetLibraryMousePosition(int x, int y);

// The engine's input update and the game library's physical input state.

#include "KInput.h"

#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace {

// Slots whose library key sits elsewhere: 103.. are the modifier keys,
// which the library numbers from its KEY_MODIFIERS on.
constexpr int kFirstModifierSlot = 103;

constexpr std::array<std::string_view, 93> kKeyNames = {
    "",           "key_a",         "key_b",          "key_c",         "key_d",        "key_e",
    "key_f",      "key_g",         "key_h",          "key_i",         "key_j",        "key_k",
    "key_l",      "key_m",         "key_n",          "key_o",         "key_p",        "key_q",
    "key_r",      "key_s",         "key_t",          "key_u",         "key_v",        "key_w",
    "key_x",      "key_y",         "key_z",          "key_0",         "key_1",        "key_2",
    "key_3",      "key_4",         "key_5",          "key_6",         "key_7",        "key_8",
    "key_9",      "key_pad_0",     "key_pad_1",      "key_pad_2",     "key_pad_3",    "key_pad_4",
    "key_pad_5",  "key_pad_6",     "key_pad_7",      "key_pad_8",     "key_pad_9",    "key_f1",
    "key_f2",     "key_f3",        "key_f4",         "key_f5",        "key_f6",       "key_f7",
    "key_f8",     "key_f9",        "key_f10",        "key_f11",       "key_f12",      "key_esc",
    "key_tilde",  "key_minus",     "key_equals",     "key_backspace", "key_tab",      "key_openbrace",
    "key_closebrace", "key_enter", "key_colon",      "key_quote",     "key_backslash", "key_backslash2",
    "key_comma",  "key_stop",      "key_slash",      "key_space",     "key_insert",   "key_del",
    "key_home",   "key_end",       "key_pgup",       "key_pgdn",      "key_left",     "key_right",
    "key_up",     "key_down",      "key_pad_slash",  "key_pad_aster", "key_pad_minus", "key_pad_plus",
    "key_pad_del", "key_pad_enter", "key_printscreen"};

// Slots 93..124 (the names after the plain keys).
constexpr std::array<std::string_view, 32> kLaterNames = {
    "key_pause",  "",            "",             "",           "",           "",          "",
    "",           "key_colon2",  "",             "key_lshift", "key_rshift", "key_lctrl", "key_rctrl",
    "key_lalt",   "key_ralt",    "key_lwin",     "key_rwin",   "key_menu",   "key_scrlock", "key_numlock",
    "key_capslock", "key_sleft", "key_sright",   "key_sup",    "key_sdown",  "key_shift", "key_ctrl",
    "key_alt",    "mouse_b1",    "mouse_b2",     "mouse_b3"};

constexpr std::array<std::string_view, kSlotsPerJoystick> kJoystickParts = {
    "up", "right", "down", "left", "b0", "b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8", "b9"};

struct NameTable {
    std::array<std::string, kInputCount> names;
    NameTable()
    {
        for (size_t i = 0; i < kKeyNames.size(); ++i) names[i] = kKeyNames[i];
        for (size_t i = 0; i < kLaterNames.size(); ++i) names[kKeyNames.size() + i] = kLaterNames[i];
        for (int j = 0; j < kJoysticks; ++j) {
            for (int part = 0; part < kSlotsPerJoystick; ++part) {
                names[static_cast<size_t>(kSlotJoystick + kSlotsPerJoystick * j + part)] =
                    "j" + std::to_string(j + 1) + "_" + std::string(kJoystickParts[static_cast<size_t>(part)]);
            }
        }
    }
};

const NameTable& Names()
{
    static const NameTable table;
    return table;
}

// Presses seen by the keyboard driver's thread (or replayed) since the
// frame's keys were last taken, and the keys of that frame.
constexpr size_t kLibraryKeys = 128;
static_assert(KEY_MAX <= static_cast<int>(kLibraryKeys));
std::array<std::atomic<uint8_t>, kLibraryKeys> gPressedSinceFrame{};
std::array<uint8_t, kLibraryKeys> gFrameKeys{};
static_assert(std::atomic<uint8_t>::is_always_lock_free, "the keyboard thread latches without a lock");
std::atomic<int> gMouseScale{1};

void LatchPress(int libraryKey)
{
    if (libraryKey > 0 && libraryKey < static_cast<int>(kLibraryKeys)) gPressedSinceFrame[static_cast<size_t>(libraryKey)] = 1;
}

// The keyboard driver's thread: the scancode, with bit 7 set on a release.
void LowLevelKeyHook(int scancode)
{
    if ((scancode & 0x80) == 0) LatchPress(scancode & 0x7f);
}

void Count(uint8_t& counter, bool down) { counter = down ? static_cast<uint8_t>(counter + 1) : 0; }

bool KeyDown(const KPhysicalInput& input, int libraryKey)
{
    return libraryKey >= 0 && libraryKey < static_cast<int>(input.keys.size()) && input.keys[static_cast<size_t>(libraryKey)];
}

int JoystickOfSlot(int slot) { return (slot - kSlotJoystick) / kSlotsPerJoystick; }
int JoystickPartOfSlot(int slot) { return (slot - kSlotJoystick) % kSlotsPerJoystick; }

bool StickUsable(const JOYSTICK_INFO& info) { return info.num_sticks > 0 && info.stick[0].num_axis >= 2; }

void SetJoystickPart(int j, int part, bool down)
{
    JOYSTICK_INFO& info = joy[j];
    num_joysticks = std::max(num_joysticks, j + 1);
    info.num_sticks = std::max(info.num_sticks, 1);
    info.stick[0].num_axis = std::max(info.stick[0].num_axis, 2);
    info.num_buttons = std::max(info.num_buttons, kJoystickButtons);
    const int value = down ? 1 : 0;
    switch (part) {
    case 0: info.stick[0].axis[1].d1 = value; break;
    case 1: info.stick[0].axis[0].d2 = value; break;
    case 2: info.stick[0].axis[1].d2 = value; break;
    case 3: info.stick[0].axis[0].d1 = value; break;
    default: info.button[part - 4].b = value; break;
    }
}

}  // namespace

int KLibraryKeyOfSlot(int slot)
{
    if (slot < 1 || slot > kSlotLastKey) return -1;
    if (slot < kFirstModifierSlot) return slot;
    return KEY_MODIFIERS + (slot - kFirstModifierSlot);
}

std::string_view KInputName(int slot)
{
    if (slot < 0 || slot >= kInputCount) return {};
    return Names().names[static_cast<size_t>(slot)];
}

int KInputSlot(std::string_view name)
{
    const auto& names = Names().names;
    for (size_t slot = 0; slot < names.size(); ++slot) {
        if (names[slot] == name) return static_cast<int>(slot);
    }
    return -1;
}

KInputKind KInputKindOfSlot(int slot)
{
    if (slot >= 1 && slot <= kSlotLastKey) return KInputKind::Key;
    if (slot >= kSlotShiftedLeft && slot <= kSlotAlt) return KInputKind::Derived;
    if (slot >= kSlotMouse1 && slot < kSlotJoystick) return KInputKind::MouseButton;
    if (slot >= kSlotJoystick && slot < kInputCount) {
        return JoystickPartOfSlot(slot) < 4 ? KInputKind::JoystickDirection : KInputKind::JoystickButton;
    }
    return KInputKind::None;
}

KPhysicalInput KReadLibraryInput()
{
    KPhysicalInput input;
    poll_keyboard();
    poll_mouse();
    poll_joystick();
    for (size_t k = 0; k < input.keys.size() && k < KEY_MAX; ++k) input.keys[k] = key[k] != 0 || gFrameKeys[k] != 0;
    const int scale = std::max(gMouseScale.load(), 1);
    input.mouseX = mouse_x / scale;
    input.mouseY = mouse_y / scale;
    input.mouseZ = mouse_z;
    input.mouseButtons = mouse_b;
    input.joystickCount = std::clamp(num_joysticks, 0, kJoysticks);
    for (int j = 0; j < input.joystickCount; ++j) {
        const JOYSTICK_INFO& info = joy[j];
        KJoystickState& state = input.joysticks[static_cast<size_t>(j)];
        if (StickUsable(info)) {
            state.left = info.stick[0].axis[0].d1 != 0;
            state.right = info.stick[0].axis[0].d2 != 0;
            state.up = info.stick[0].axis[1].d1 != 0;
            state.down = info.stick[0].axis[1].d2 != 0;
        }
        const int buttons = std::clamp(info.num_buttons, 0, kJoystickButtons);
        for (int b = 0; b < buttons; ++b) state.buttons[static_cast<size_t>(b)] = info.button[b].b != 0;
    }
    return input;
}

void KLatchKeyPresses() { keyboard_lowlevel_callback = LowLevelKeyHook; }

void KTakeFrameKeys()
{
    for (size_t k = 0; k < kLibraryKeys; ++k) {
        const bool held = k < static_cast<size_t>(KEY_MAX) && key[k] != 0;
        gFrameKeys[k] = gPressedSinceFrame[k].exchange(0) != 0 || held ? 1 : 0;
    }
}

bool KFrameKeyDown(int libraryKey)
{
    return libraryKey >= 0 && libraryKey < static_cast<int>(kLibraryKeys) && gFrameKeys[static_cast<size_t>(libraryKey)] != 0;
}

void KForgetFrameKeys()
{
    for (auto& pressed : gPressedSinceFrame) pressed = 0;
    gFrameKeys.fill(0);
}

void KSetMouseScale(int scale) { gMouseScale = std::max(scale, 1); }

void KSetLibraryInput(int slot, bool down)
{
    switch (KInputKindOfSlot(slot)) {
    case KInputKind::Key:
        key[KLibraryKeyOfSlot(slot)] = down ? 1 : 0;
        if (down) LatchPress(KLibraryKeyOfSlot(slot));
        break;
    case KInputKind::MouseButton: {
        const int bit = 1 << (slot - kSlotMouse1);
        mouse_b = down ? (mouse_b | bit) : (mouse_b & ~bit);
        break;
    }
    case KInputKind::JoystickDirection:
    case KInputKind::JoystickButton: SetJoystickPart(JoystickOfSlot(slot), JoystickPartOfSlot(slot), down); break;
    case KInputKind::None:
    case KInputKind::Derived: break;
    }
}

void KSetLibraryMousePosition(int x, int y)
{
    mouse_x = x;
    mouse_y = y;
}

// --- The engine root's input update ------------------------------------------------

void Kinterface::PollInput() { PollInput(KReadLibraryInput()); }

void Kinterface::PollInput(const KPhysicalInput& input)
{
    for (int slot = 0; slot <= kSlotLastKey; ++slot) {
        Count(vInputs[static_cast<size_t>(slot)], KeyDown(input, KLibraryKeyOfSlot(slot)));
    }
    const bool shift = KeyDown(input, KEY_LSHIFT) || KeyDown(input, KEY_RSHIFT);
    // An arrow held with shift counts only in its shifted slot.
    for (int arrow = 0; arrow < 4; ++arrow) {
        const int plain = kSlotLeft + arrow;
        uint8_t& shifted = vInputs[static_cast<size_t>(kSlotShiftedLeft + arrow)];
        if (shift) {
            Count(shifted, KeyDown(input, plain));
            vInputs[static_cast<size_t>(plain)] = 0;
        } else {
            shifted = 0;
        }
    }
    Count(vInputs[kSlotShift], shift);
    Count(vInputs[kSlotCtrl], KeyDown(input, KEY_LCONTROL) || KeyDown(input, KEY_RCONTROL));
    Count(vInputs[kSlotAlt], KeyDown(input, KEY_ALT) || KeyDown(input, KEY_ALTGR));
    for (int button = 0; button < 3; ++button) {
        Count(vInputs[static_cast<size_t>(kSlotMouse1 + button)], (input.mouseButtons >> button) & 1);
    }
    for (int j = 0; j < kJoysticks; ++j) {
        const KJoystickState none;
        const KJoystickState& state = j < input.joystickCount ? input.joysticks[static_cast<size_t>(j)] : none;
        uint8_t* slots = &vInputs[static_cast<size_t>(kSlotJoystick + kSlotsPerJoystick * j)];
        // Left wins over right and up over down.
        Count(slots[0], state.up);
        Count(slots[1], state.right && !state.left);
        Count(slots[2], state.down && !state.up);
        Count(slots[3], state.left);
        for (int b = 0; b < kJoystickButtons; ++b) Count(slots[4 + b], state.buttons[static_cast<size_t>(b)]);
    }
    SetVar("mouse_x", input.mouseX / 8);
    SetVar("mouse_y", input.mouseY / 8);
    SetVar("mouse_z", input.mouseZ);
}

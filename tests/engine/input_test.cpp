// The input update: key slots, modifiers, shifted arrows, mouse, joysticks.

#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

int Slot(const char* name)
{
    const int slot = KInputSlot(name);
    EXPECT_GE(slot, 0) << name;
    return slot;
}

TEST(InputNames, TableHasItsFixedNumbersAndModifierSlotsReadTheLibrarysKeys)
{
    const std::pair<const char*, int> kSlots[] = {
        {"key_a", 1},        {"key_0", 27},       {"key_f1", 47},     {"key_esc", 59},    {"key_space", 75},
        {"key_up", 84},      {"key_printscreen", 92}, {"key_pause", 93}, {"key_colon2", 101}, {"key_lshift", 103},
        {"key_capslock", 114}, {"key_sleft", 115}, {"key_alt", 121},   {"mouse_b3", 124},  {"j1_up", 125},
        {"j1_b9", 138},      {"j2_up", 139},      {"j4_b9", 180},     {"KEY_A", -1},      {"nothing", -1},
        {"", 0}};
    for (const auto& [name, slot] : kSlots) EXPECT_EQ(KInputSlot(name), slot) << name;
    for (int slot : {0, 94, 100, 102, 181, -1}) EXPECT_EQ(KInputName(slot), "");
    for (int slot = 0; slot < kInputCount; ++slot) {
        if (!KInputName(slot).empty()) {
            EXPECT_EQ(KInputSlot(KInputName(slot)), slot);
        }
    }
    const std::pair<const char*, int> kLibraryKeys[] = {
        {"key_lshift", KEY_LSHIFT}, {"key_rshift", KEY_RSHIFT}, {"key_lctrl", KEY_LCONTROL}, {"key_ralt", KEY_ALTGR},
        {"key_capslock", KEY_CAPSLOCK}, {"key_up", KEY_UP}, {"key_pause", KEY_PAUSE}, {"", -1}, {"key_sleft", -1}};
    for (const auto& [name, libraryKey] : kLibraryKeys) EXPECT_EQ(KLibraryKeyOfSlot(KInputSlot(name)), libraryKey) << name;
    EXPECT_EQ(KInputKindOfSlot(Slot("key_shift")), KInputKind::Derived);
    EXPECT_EQ(KInputKindOfSlot(Slot("mouse_b2")), KInputKind::MouseButton);
    EXPECT_EQ(KInputKindOfSlot(Slot("j3_left")), KInputKind::JoystickDirection);
    EXPECT_EQ(KInputKindOfSlot(Slot("j3_b0")), KInputKind::JoystickButton);
}

class Input : public testing::Test {
protected:
    int Counter(const char* name) { return engine->vInputs[static_cast<size_t>(Slot(name))]; }
    void Press(int libraryKey, bool down = true) { input.keys[static_cast<size_t>(libraryKey)] = down; }
    void Poll(int times = 1)
    {
        for (int i = 0; i < times; ++i) engine->PollInput(input);
    }
    TestEngine engine;
    KPhysicalInput input;
};

TEST_F(Input, HeldKeysCountAndWrapAfter255)
{
    Press(KEY_SPACE);
    Poll(3);
    EXPECT_EQ(Counter("key_space"), 3);
    Poll(252);
    EXPECT_EQ(Counter("key_space"), 255);
    Poll();
    EXPECT_EQ(Counter("key_space"), 0) << "wraps to 0 once";
    Poll();
    EXPECT_EQ(Counter("key_space"), 1);
    Press(KEY_SPACE, false);
    Poll();
    EXPECT_EQ(Counter("key_space"), 0);
}

TEST_F(Input, ShiftMovesArrowsIntoTheirShiftedSlots)
{
    Press(KEY_LSHIFT);
    Press(KEY_LEFT);
    Poll(2);
    EXPECT_EQ(Counter("key_sleft"), 2);
    EXPECT_EQ(Counter("key_left"), 0);
    EXPECT_EQ(Counter("key_shift"), 2);
    EXPECT_EQ(Counter("key_lshift"), 2) << "the library's KEY_LSHIFT lands in slot 103";
    Press(KEY_LSHIFT, false);
    Poll();
    EXPECT_EQ(Counter("key_sleft"), 0);
    EXPECT_EQ(Counter("key_left"), 1) << "counting starts again without shift";
    Press(KEY_RSHIFT);
    Press(KEY_DOWN);
    Poll();
    EXPECT_EQ(Counter("key_sdown"), 1);
    EXPECT_EQ(Counter("key_rshift"), 1);
}

TEST_F(Input, ControlAndAltCountEitherKeyAndKeysWithoutASlotNone)
{
    Press(KEY_RCONTROL);
    Press(KEY_ALTGR);
    Press(KEY_COMMAND);  // 106 in the library, key_lctrl's number in the table: no slot of its own
    Poll();
    EXPECT_EQ(Counter("key_lctrl"), 0);
    EXPECT_EQ(Counter("key_ctrl"), 1);
    EXPECT_EQ(Counter("key_rctrl"), 1);
    EXPECT_EQ(Counter("key_alt"), 1);
    EXPECT_EQ(Counter("key_ralt"), 1);
    EXPECT_EQ(Counter("key_lalt"), 0);
    Press(KEY_RCONTROL, false);
    Press(KEY_LCONTROL);
    Poll();
    EXPECT_EQ(Counter("key_ctrl"), 2);
}

// Mouse buttons count, its position is read in cells; of opposite joystick
// directions the first wins, and only four joysticks count.
TEST_F(Input, MouseAndJoysticks)
{
    input.mouseButtons = 1 | 4;
    input.mouseX = 77;
    input.mouseY = 15;
    input.mouseZ = -2;
    input.joystickCount = 2;
    KJoystickState& second = input.joysticks[1];
    second.left = second.right = true;
    second.up = second.down = true;
    second.buttons[9] = true;
    input.joysticks[0].right = true;
    input.joysticks[0].down = true;
    Poll();
    const std::pair<const char*, int> kCounters[] = {{"mouse_b1", 1}, {"mouse_b2", 0}, {"mouse_b3", 1}, {"j2_left", 1},
                                                     {"j2_right", 0}, {"j2_up", 1},    {"j2_down", 0},  {"j2_b9", 1},
                                                     {"j1_right", 1}, {"j1_down", 1}};
    for (const auto& [name, count] : kCounters) EXPECT_EQ(Counter(name), count) << name;
    EXPECT_EQ(engine->GetVar("mouse_x"), 9);
    EXPECT_EQ(engine->GetVar("mouse_y"), 1);
    EXPECT_EQ(engine->GetVar("mouse_z"), -2);
    input.joystickCount = 1;
    Poll();
    EXPECT_EQ(Counter("j2_left"), 0) << "a joystick that is gone counts nothing";
}

TEST(LibraryInput, ReplayedStateIsReadBackAsFromTheDevices)
{
    TestEngine engine;
    for (int slot : {KInputSlot("key_lshift"), KInputSlot("key_right"), KInputSlot("mouse_b2"), KInputSlot("j3_left"),
                     KInputSlot("j3_right"), KInputSlot("j3_b4")}) {
        KSetLibraryInput(slot, true);
    }
    KSetLibraryMousePosition(100, 20);
    KSetLibraryInput(KInputSlot("key_shift"), true);  // derived: not a device
    engine->PollInput();
    EXPECT_EQ(engine->vInputs[116], 1) << "shift + right";
    EXPECT_EQ(engine->vInputs[83], 0);
    EXPECT_EQ(engine->vInputs[103], 1);
    EXPECT_EQ(engine->vInputs[123], 1);
    EXPECT_EQ(engine->vInputs[static_cast<size_t>(KInputSlot("j3_left"))], 1);
    EXPECT_EQ(engine->vInputs[static_cast<size_t>(KInputSlot("j3_right"))], 0);
    EXPECT_EQ(engine->vInputs[static_cast<size_t>(KInputSlot("j3_b4"))], 1);
    EXPECT_EQ(engine->GetVar("mouse_x"), 12);
    for (int slot = 1; slot < kInputCount; ++slot) {
        if (KInputKindOfSlot(slot) != KInputKind::Derived) {
            KSetLibraryInput(slot, false);
        }
    }
    engine->PollInput();
    for (int slot = 0; slot < kInputCount; ++slot) EXPECT_EQ(engine->vInputs[static_cast<size_t>(slot)], 0) << slot;
    KSetLibraryMousePosition(0, 0);
}

}  // namespace

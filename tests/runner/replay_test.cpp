#include "KInputReplay.h"
#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

TEST(Replay, ReadsEventsSkippingCommentsAndBlankLines)
{
    KInputReplay replay;
    std::string error;
    ASSERT_TRUE(replay.Parse("# a walk\n\n  5 key_up down\r\n12 key_up up\n3 mouse 100 -8\n3 j2_b9 down\n"
                             "   # indented comment\n5 mouse_b1 down",
                             error))
        << error;
    const auto& events = replay.Events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].tick, 3) << "sorted by tick";
    EXPECT_EQ(events[0].kind, KReplayEvent::Kind::MouseMove);
    EXPECT_EQ(events[0].x, 100);
    EXPECT_EQ(events[0].y, -8);
    EXPECT_EQ(events[1].slot, KInputSlot("j2_b9")) << "same tick: file order";
    EXPECT_EQ(events[2].slot, 84);
    EXPECT_EQ(events[2].kind, KReplayEvent::Kind::Press);
    EXPECT_EQ(events[2].line, 3);
    EXPECT_EQ(events[3].slot, KInputSlot("mouse_b1"));
    EXPECT_EQ(events[4].kind, KReplayEvent::Kind::Release);
}

TEST(Replay, MalformedLinesAreErrorsNamingTheLine)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"1 key_up down\nx key_up down\n", "line 2: 'x' is not a tick number"},
        {"-1 key_up down\n", "line 1: '-1' is not a tick number"},
        {"99999999999 key_up down\n", "line 1:"},
        {"\n\n4 key_upp down\n", "line 3: unknown input 'key_upp'"},
        {"4 key_up sideways\n", "line 1: expected '4 key_up down'"},
        {"4 key_up\n", "line 1: expected"},
        {"4 key_up down now\n", "line 1: expected"},
        {"4\n", "line 1: an input name, 'mouse' or 'type' must follow"},
        {"4 key_shift down\n", "line 1: key_shift follows from the keys held"},
        {"4 key_sleft down\n", "line 1: key_sleft follows from the keys held"},
        {"4 key_alt up\n", "line 1: key_alt follows"},
        {"4 mouse 3\n", "line 1: expected 'T mouse X Y'"},
        {"4 mouse a b\n", "line 1: expected 'T mouse X Y'"},
        {"4 KEY_UP down\n", "line 1: unknown input 'KEY_UP'"},
        {"4 type\n", "line 1: expected 'T type TEXT'"},
        {"4 type \r\n", "line 1: expected 'T type TEXT'"},
    };
    for (const Case& c : cases) {
        KInputReplay replay;
        std::string error;
        EXPECT_FALSE(replay.Parse(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
    }
}

TEST(Replay, AppliesEventsToTheLibrarysInputsUpToATick)
{
    KInputReplay replay;
    std::string error;
    ASSERT_TRUE(replay.Parse("0 key_lshift down\n2 key_lshift up\n2 mouse 40 16\n5 mouse_b3 down\n7 mouse_b3 up\n", error));
    replay.ApplyUpTo(0);
    EXPECT_EQ(key[KEY_LSHIFT], 1) << "slot 103 presses the library's KEY_LSHIFT";
    EXPECT_EQ(key[103], 0);
    replay.ApplyUpTo(4);
    EXPECT_EQ(key[KEY_LSHIFT], 0);
    EXPECT_EQ(mouse_x, 40);
    EXPECT_EQ(mouse_y, 16);
    replay.ApplyUpTo(6);
    EXPECT_EQ(mouse_b & 4, 4);
    replay.ApplyUpTo(100);
    EXPECT_EQ(mouse_b, 0);
    KSetLibraryMousePosition(0, 0);
}

TEST(Replay, TypedTextIsTheRestOfTheLineAndQueuesUntilTaken)
{
    KInputReplay replay;
    std::string error;
    ASSERT_TRUE(replay.Parse("3 type  two  blanks \r\n1\ttype\tx#\n5 type later\n", error)) << error;
    ASSERT_EQ(replay.Events().size(), 3u);
    EXPECT_EQ(replay.Events()[1].text, " two  blanks ");
    EXPECT_EQ(replay.Events()[0].kind, KReplayEvent::Kind::Type);
    replay.ApplyUpTo(3);
    std::string typed;
    for (int c = replay.NextTypedChar(); c >= 0; c = replay.NextTypedChar()) typed += static_cast<char>(c);
    EXPECT_EQ(typed, "x# two  blanks ");
    replay.ApplyUpTo(5);
    replay.DropTyped();
    EXPECT_EQ(replay.NextTypedChar(), -1);
}

TEST(Replay, FilesThatCannotBeReadAreRefused)
{
    // Missing files and bad lines, named with the file, are in the headless
    // runner's table of refused files.
    TempDir dir;
    KInputReplay replay;
    std::string error;
    WriteFileBytes(dir.File("big.txt"), std::string(kMaxReplayBytes + 10, '#'));
    EXPECT_FALSE(replay.Load(dir.File("big.txt"), error));
    EXPECT_NE(error.find("larger than 16 MiB"), std::string::npos);
    WriteFileBytes(dir.File("binary.txt"), std::string("\0\xff\x01 7\n", 6));
    EXPECT_FALSE(replay.Load(dir.File("binary.txt"), error));
}

}  // namespace

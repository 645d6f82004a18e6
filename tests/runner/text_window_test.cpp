// The scroll window, played by the real quav-runner headless: replays open
// it, scroll, follow links and fill fields; screenshots taken while it is
// open are read back cell by cell against the font.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

namespace {

// Mode 1: the root is 80 x 60 cells. The default window is 70 x 30 at
// (5, 15); its text area starts at column 8, and the selected line sits on
// row 30, with the first line three rows below it until the first key.
constexpr int kAreaX = 8;
constexpr int kMiddleRow = 30;
constexpr int kFirstRow = 33;

// A board of the given size with a pattern ('#' in 4 on 2) for its look.
struct ScrollLook {
    int width = 0;
    int height = 0;
};

// The speakers stand side by side on the top row.
void WriteWorld(const std::string& path, std::vector<TestPiece> speakers, ScrollLook look = {})
{
    for (size_t i = 0; i < speakers.size(); ++i) speakers[i].x = static_cast<int>(i) + 1;
    TestWorld world;
    if (look.width > 0) {
        world.extra = [look](TestEngine& engine) {
            // Out of sight below the screen, as worlds keep it.
            Kobject* scroll = engine.AddBoard("Scroll", look.width + 2, look.height + 2, 1);
            scroll->posy = 200;
            scroll->viewx = scroll->viewy = 1;
            scroll->vieww = look.width;
            scroll->viewh = look.height;
            for (int y = 0; y < look.height + 2; ++y) {
                for (int x = 0; x < look.width + 2; ++x) scroll->SetCell(x, y, '#', 4, 2, 0);
            }
        };
    }
    WriteTestWorld(path, {TestBoard{"Main", 80, 60, 0, {}, speakers}}, world);
}

TEST(TextWindow, FormatsCodesCarriesColoursAndCentres)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"talker", "#set num 42\n#set who Ann\n"
                                                   "$$ 65$$ -5$$ 999999999999\n"
                                                   "$v num  $v who\n"
                                                   "$4,2Red$15,-1 and$2,3\n"
                                                   "next\n"
                                                   "$cMid\n"
                                                   "$c$i who 3\n"
                                                   "Cost $z5 $4,2\n"
                                                   "$h 12 5\n"
                                                   "$l nowhere Go\n#end"}});
    sandbox.Play("w.zqav", 3, "--screenshot s.bmp");
    ShotScreen screen(sandbox.File("s.bmp"));
    ASSERT_TRUE(screen.Loaded());
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow, 1, 15, 1), "A");
    EXPECT_TRUE(screen.Shows(kAreaX + 1, kFirstRow, 0, 15, 1)) << "a negative code is character 0";
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow + 1, 6, 15, 1), "42 Ann") << "one blank after a code is skipped";
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow + 2, 3, 4, 2), "Red");
    EXPECT_EQ(screen.Row(kAreaX + 3, kFirstRow + 2, 3, 15, 2), "and") << "-1 keeps the background";
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow + 3, 4, 2, 3), "next") << "colours carry to the next line";
    EXPECT_EQ(screen.Row(kAreaX + 31, kFirstRow + 4, 3, 2, 3), "Mid") << "centred in the 64 columns";
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow + 5, 3, 15, 255), "Ann") << "an input line is never centred";
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow + 6, 12, 2, 3), "Cost $z5 $4,") << "an unknown code copies the rest";
    EXPECT_EQ(screen.Row(kAreaX + 3, kFirstRow + 8, 2, 12, 5), "Go") << "links in the colours of $h";
}

// Ticks are counted by a key held from tick 1 on: its label gives once a
// tick. The window opens at tick 10; the frames until it closes run no tick
// and none is caught up afterwards. Enter before any other key finds the
// selection above the first line and closes the window.
TEST(TextWindow, EscapeOrEnterClosesWithNoJumpInTimeAndNothingLeft)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"clock", "#end\n:key_a\n#give t 1\n#end"},
                                        {"talker", "#end\n:key_t\nFirst line\nSecond line\n#end"}});
    const struct {
        const char* closing;
        const char* ticks;  // ticks 1..10, then from the frame after the key is let go
    } kCases[] = {{"20 key_esc down\n21 key_esc up\n", "48"}, {"12 key_enter down\n13 key_enter up\n", "56"}};
    for (const auto& test : kCases) {
        WriteFileBytes(sandbox.File("in.txt"), std::string("1 key_a down\n10 key_t down\n11 key_t up\n") + test.closing);
        const std::string vars = sandbox.Play("w.zqav", 60, "--input in.txt").vars;
        EXPECT_EQ(VarText(vars, "t"), test.ticks) << test.closing << vars;
    }

    WriteFileBytes(sandbox.File("in.txt"), "10 key_t down\n11 key_t up\n");
    std::string tree;
    ASSERT_EQ(sandbox.Run("--headless --ticks 15 --input in.txt --screenshot open.bmp --dump-tree - w.zqav 2>/dev/null",
                          &tree),
              0);
    EXPECT_EQ(tree.find("vText"), std::string::npos) << "a run ending in the window leaves none of it: " << tree;
    ShotScreen screen(sandbox.File("open.bmp"));
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow, 10, 15, 1), "First line") << "the last frame shows the window";
}

TEST(TextWindow, ScrollsToALinkAndFollowsItAMissingMarkerDoesNothing)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"talker", "#end\n:key_t\nLine one\n$l nothere Missing\n$l go Go there\n#end\n"
                                                   ":go\n#give went 1\n#end"}});
    // The first Down stops at the first line, the next two reach the third;
    // Enter on the missing link (tick 16) leaves the window open.
    WriteFileBytes(sandbox.File("in.txt"), Presses(10, {"key_t", "key_down", "key_down", "key_enter", "key_down", "key_enter"}));
    const std::string vars = sandbox.Play("w.zqav", 40, "--input in.txt").vars;
    EXPECT_EQ(VarText(vars, "went"), "1") << vars;

    sandbox.Play("w.zqav", 20, "--input in.txt --screenshot s.bmp");
    ShotScreen screen(sandbox.File("s.bmp"));
    EXPECT_EQ(screen.Row(kAreaX + 3, kMiddleRow, 8, 14, 1), "Go there") << "the third line is selected";
    EXPECT_EQ(screen.Row(kAreaX + 3, kMiddleRow - 1, 7, 14, 1), "Missing");
}

TEST(TextWindow, TypingEditsTheVariableAtOnce)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"talker", "#set name Al\n#end\n:key_t\nName: $i name 8\n#end"}});
    // A lone input line opens the window too. The field starts with "Al";
    // two Backspaces clear it, "Bobx" is typed, Left and Delete take the "x"
    // away. The second Down finds no line below.
    WriteFileBytes(sandbox.File("in.txt"), Presses(10, {"key_t", "key_down", "key_down", "key_backspace", "key_backspace"}) +
                                               "20 type Bobx\n" + Presses(22, {"key_left", "key_del"}) + Press(30, "key_esc"));
    const std::string vars = sandbox.Play("w.zqav", 28, "--input in.txt --screenshot s.bmp").vars;
    EXPECT_EQ(VarText(vars, "name"), "\"Bob\"") << "stored at once, the window still open: " << vars;
    ShotScreen screen(sandbox.File("s.bmp"));
    EXPECT_EQ(screen.Row(kAreaX, kMiddleRow, 9, 15, 255), "Name: Bob") << "the field follows its prompt";
    EXPECT_TRUE(screen.Shows(kAreaX + 9, kMiddleRow, 219, 15, 255)) << "the cursor after the text";
    EXPECT_EQ(VarText(sandbox.Play("w.zqav", 40, "--input in.txt").vars, "name"), "\"Bob\"");
}

// Keys pressed and let go within one tick still act, typing before any
// field is selected goes to the first field and selects it, and Print
// Screen saves what the window shows.
TEST(TextWindow, TapsTypingAheadAndScreenshots)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"talker", "#set name Al\n#end\n:key_t\nHello\nName: $i name 8\n$l go Go\n#end\n"
                                                   ":go\n#give went 1\n#end"}});
    const auto tap = [](int tick, const std::string& name) {
        return std::to_string(tick) + " " + name + " down\n" + std::to_string(tick) + " " + name + " up\n";
    };
    // Opened by a tap at 2; "Bob" typed at 5 lands in the field; Print
    // Screen at 7; Down to the link and Enter, both taps, follow it.
    WriteFileBytes(sandbox.File("in.txt"), tap(2, "key_t") + "5 type Bob\n" + tap(7, "key_printscreen") + tap(9, "key_down") +
                                               tap(11, "key_enter"));
    const Played played = sandbox.Play("w.zqav", 20, "--input in.txt");
    EXPECT_EQ(VarText(played.vars, "name"), "\"AlBob\"") << played.vars;
    EXPECT_EQ(VarText(played.vars, "went"), "1") << "Down and Enter as taps: " << played.vars;
    const std::vector<std::string> shots = FilesIn(sandbox.Screens());
    ASSERT_EQ(shots.size(), 1u);
    ShotScreen screen(sandbox.Screens() + "/" + shots[0]);
    EXPECT_EQ(screen.Row(kAreaX, kMiddleRow, 11, 15, 255), "Name: AlBob") << "the field is the selected line";
    EXPECT_TRUE(screen.Shows(kAreaX + 11, kMiddleRow, 219, 15, 255)) << "with the cursor after the text";
    EXPECT_EQ(screen.Row(kAreaX, kMiddleRow - 1, 5, 15, 1), "Hello");
}

TEST(TextWindow, DefaultFrameCellByCell)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"talker", "One\nTwo\n#end"}});
    sandbox.Play("w.zqav", 3, "--screenshot s.bmp");
    ShotScreen screen(sandbox.File("s.bmp"));
    constexpr int kW = 70;
    constexpr int kH = 30;
    constexpr int kLeft = 5;
    constexpr int kTop = 15;
    // The glyph of each cell of the board; 0 = cleared, the board behind shows.
    const auto expected = [](int x, int y) {
        const bool between = x >= 2 && x <= kW - 3;
        const int middle = (kH - 2) / 2 + 1;
        if (y == 0 || y == kH - 3) {
            if (x == 0) return 198;
            if (x == 1 || x == kW - 2) return y == 0 ? 209 : 207;
            return x == kW - 1 ? 181 : 205;
        }
        if (y == 2) return x == 1 ? 198 : x == kW - 2 ? 181 : between ? 205 : 0;
        if (y == middle && (x == 2 || x == kW - 3)) return x == 2 ? 175 : 174;
        if (y >= 1 && y <= kH - 4) return x == 1 || x == kW - 2 ? 179 : between ? 32 : 0;
        return 0;
    };
    int wrong = 0;
    for (int y = 0; y < kH && wrong < 5; ++y) {
        for (int x = 0; x < kW && wrong < 5; ++x) {
            // The title and the two lines lie over these cells.
            if (y == 1 && x >= 32 && x < 38) continue;
            if ((y == 18 || y == 19) && x >= 3 && x < 6) continue;
            const int chr = expected(x, y);
            const bool shows = chr == 0 ? screen.Shows(kLeft + x, kTop + y, 0, 1, 1)
                                        : screen.Shows(kLeft + x, kTop + y, chr, 15, 1);
            if (!shows) {
                ++wrong;
                ADD_FAILURE() << "board cell " << x << "," << y << " does not show " << chr;
            }
        }
    }
    EXPECT_EQ(screen.Row(kLeft + 32, kTop + 1, 6, 15, 1), "talker") << "the name centred on row 1";
    EXPECT_EQ(screen.Row(kAreaX, kFirstRow, 3, 15, 1), "One");
}

TEST(TextWindow, ScrollBoardGivesTheLookAndSmallOnesAreHarmless)
{
    RunnerSandbox sandbox;
    WriteWorld(sandbox.File("w.zqav"), {{"talker", "One\nTwo\n#end"}}, ScrollLook{20, 12});
    WriteWorld(sandbox.File("tiny.zqav"), {{"talker", "One\nTwo\n#end"}}, ScrollLook{3, 2});
    // The window opens at tick 0; the first Down brings the first line to
    // the middle row.
    WriteFileBytes(sandbox.File("in.txt"), "1 key_down down\n2 key_down up\n");
    std::string output;
    sandbox.Play("w.zqav", 4, "--input in.txt --screenshot s.bmp");
    ShotScreen screen(sandbox.File("s.bmp"));
    // 20 x 12 at (30, 24); the text area from column 33, its middle row 30.
    EXPECT_TRUE(screen.Shows(30, 24, '#', 4, 2));
    EXPECT_TRUE(screen.Shows(49, 35, '#', 4, 2));
    EXPECT_EQ(screen.Row(33, 30, 3, 15, 1), "One");
    EXPECT_EQ(sandbox.Run("--headless --ticks 4 --input in.txt --screenshot t.bmp tiny.zqav", &output), 0) << output;
}

// Codes out of every range, a line far past what is shown, more lines
// than a turn runs, and a link that makes its speaker die.
TEST(TextWindow, HostileTextIsShownWithinBounds)
{
    RunnerSandbox sandbox;
    std::string script = "#end\n:key_t\n$m 99999999 -99999999\n$l bye Bye\n$i zero 0\n$i huge 10000000\n"
                         "$i neg -3\n$$ 99999999999 $4,2$$ -99999999999$h 99999 -99999$s 7777 -7777\n" +
                         std::string(100000, 'x') + "\n";
    for (int i = 0; i < 300; ++i) script += "line " + std::to_string(i) + "\n";
    script += "#end\n:bye\n#die";
    WriteWorld(sandbox.File("w.zqav"), {{"talker", script}});
    // Down to the long field, type more than fits into it, hold Page Down
    // (it repeats) to the end, Page Up back to the top, Down to the link
    // and follow it.
    const std::string typed(100, 'h');
    WriteFileBytes(sandbox.File("in.txt"), Presses(2, {"key_t", "key_down", "key_down", "key_down", "key_down"}) + "15 type " +
                                               typed + "\n16 key_pgdn down\n100 key_pgdn up\n101 key_pgup down\n200 key_pgup up\n" +
                                               Presses(201, {"key_down", "key_enter"}));
    std::string tree;
    ASSERT_EQ(sandbox.Run("--headless --ticks 260 --input in.txt --dump-tree - --dump-vars vars.json w.zqav 2>/dev/null",
                          &tree),
              0)
        << tree;
    EXPECT_EQ(tree.find("\"name\": \"talker\""), std::string::npos) << "the link's jump made it die: " << tree;
    EXPECT_EQ(tree.find("vText"), std::string::npos) << tree;
    const std::string vars = ReadFileBytes(sandbox.File("vars.json"));
    EXPECT_EQ(VarText(vars, "huge"), "\"" + typed.substr(0, 63) + "\"") << "the area's 64 columns less the cursor";
}

}  // namespace

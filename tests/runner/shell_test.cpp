// The game session played headless inside the test program.

#include "KInputReplay.h"
#include "KRunnerParts.h"
#include "KRunnerShell.h"
#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

constexpr int kBottom = 480;

class Shell : public testing::Test {
protected:
    explicit Shell(const KParts& parts = KRunnerParts()) : engine(parts) {}

    void SetUp() override
    {
        board = engine.AddBoard("Main", 80, 60);
        for (KCell& cell : board->cells) cell = KCell{0, 1, 1, 0, 0, 0};
        player = engine.AddObject(*board, "player", 1, 1, 0, 7, 9);
        player->SetCell(0, 0, 2, 15, 0, 0);
    }

    void Start(int64_t passes = -1)
    {
        config.display = KDisplay::Headless;
        config.passLimit = passes;
        config.replay = &replay;
        shell = std::make_unique<KRunnerShell>(*engine, config);
        ASSERT_TRUE(shell->Start(1, 1));
    }

    BITMAP* Back() { return shell->BackBuffer(); }

    // The pixels of colour 15 in a band of 8 rows starting at y.
    int TextPixels(int y)
    {
        int count = 0;
        for (int row = y; row < y + 8; ++row) {
            for (int x = 0; x < Back()->w; ++x) count += Back()->line[row][x] == 15 ? 1 : 0;
        }
        return count;
    }

    // Whether the band at y shows text drawn centred as the loop draws it.
    bool ShowsCentred(int y, const std::string& text)
    {
        KBitmap expected = KMakeBitmap(Back()->w, 8);
        textout_centre_ex(expected.get(), font, text.c_str(), Back()->w / 2, 0, 15, -1);
        for (int row = 0; row < 8; ++row) {
            for (int x = 0; x < Back()->w; ++x) {
                if ((expected->line[row][x] == 15) != (Back()->line[y + row][x] == 15)) return false;
            }
        }
        return true;
    }

    TestEngine engine;
    Kobject* board = nullptr;
    Kobject* player = nullptr;
    KInputReplay replay;
    KShellConfig config;
    std::unique_ptr<KRunnerShell> shell;
    std::string error;
};

TEST_F(Shell, StartUpSetsTheScreenTheBoardsAndTheStartingVariablesInAnyMode)
{
    engine->SetVar("overlay", 1);
    engine->vPlay.ShowMessage(3, "left over");
    Start();
    EXPECT_EQ(Back()->w, 640);
    EXPECT_EQ(Back()->h, 480);
    EXPECT_EQ(engine->vBackBuffer, Back());
    EXPECT_EQ(engine->vMain->width, 80);
    EXPECT_EQ(engine->vMain->height, 60);
    EXPECT_EQ(engine->vActiveBoard, board);
    EXPECT_EQ(engine->vPlayer, player);
    EXPECT_TRUE(engine->vPlay.messages.empty());
    EXPECT_EQ(engine->vPlay.inputEnabled, 1);
    EXPECT_EQ(engine->GetVar("health"), 100);
    EXPECT_EQ(engine->GetVar("overlay"), 0);
    EXPECT_EQ(engine->GetVar("break_c"), 176);
    EXPECT_EQ(engine->GetVar("write_b"), 255);
    ASSERT_EQ(engine->vPlay.watches.size(), 2u);
    shell->RunTick();
    EXPECT_TRUE(engine->vPlay.messages.empty()) << "start values do not show on the HUD";
    EXPECT_EQ(engine->GetVar("player_x"), 7);
    EXPECT_EQ(engine->GetVar("player_y"), 9);

    // Unknown video modes still get a screen.
    KRunnerShell odd(*engine, config);
    ASSERT_TRUE(odd.Start(7, 99));
    EXPECT_EQ(odd.BackBuffer()->w, 640);
    KRunnerShell large(*engine, config);
    ASSERT_TRUE(large.Start(0, 3));
    EXPECT_EQ(large.BackBuffer()->w, 1024);
    EXPECT_EQ(engine->vMain->height, 96);
}

TEST_F(Shell, HudLineAppearsOnTheBottomLineAndMessagesStackUpwards)
{
    Start();
    engine->SetVar("health", 42);
    shell->RunTick();
    ASSERT_EQ(engine->vPlay.messages.size(), 1u);
    EXPECT_EQ(engine->vPlay.messages[0].text, "health: 42");
    engine->vPlay.ShowMessage(12, "Hello there");
    shell->DrawFrame();
    EXPECT_TRUE(ShowsCentred(kBottom - 8, "health: 42"));
    EXPECT_TRUE(ShowsCentred(kBottom - 16, "Hello there"));
    EXPECT_EQ(TextPixels(kBottom - 24), 0);
    for (int tick = 0; tick < kMessageLife; ++tick) shell->RunTick();
    shell->DrawFrame();
    EXPECT_TRUE(engine->vPlay.messages.empty());
    EXPECT_EQ(TextPixels(kBottom - 8), 0) << "an expired line leaves no trace";
}

TEST_F(Shell, TildeShowsTheFrameRateWhileHeld)
{
    ASSERT_TRUE(replay.Parse("1 key_tilde down\n2 key_tilde up\n", error));
    Start();
    shell->RunPass();
    EXPECT_EQ(TextPixels(kBottom - 8), 0);
    shell->RunPass();
    KBitmap expected = KMakeBitmap(640, 8);
    textout_ex(expected.get(), font, "FPS: 0", 0, 0, 15, -1);
    int expectedPixels = 0;
    for (int row = 0; row < 8; ++row) {
        for (int x = 0; x < 640; ++x) expectedPixels += expected->line[row][x] == 15 ? 1 : 0;
    }
    EXPECT_EQ(TextPixels(kBottom - 8), expectedPixels);
    shell->RunPass();
    EXPECT_EQ(TextPixels(kBottom - 8), 0);
}

TEST_F(Shell, HeadlessPassesRunOneTickEachAndInputsReachTheCounters)
{
    ASSERT_TRUE(replay.Parse("2 key_lshift down\n2 key_up down\n4 key_up up\n3 mouse 80 24\n", error));
    Start(6);
    for (int pass = 0; pass < 3; ++pass) shell->RunPass();
    EXPECT_EQ(engine->vInputs[117], 1) << "shift + up from tick 2";
    EXPECT_EQ(engine->vInputs[84], 0);
    shell->RunPass();
    EXPECT_EQ(engine->vInputs[117], 2);
    EXPECT_EQ(engine->GetVar("mouse_x"), 10);
    EXPECT_EQ(engine->GetVar("mouse_y"), 3);
    shell->Run();
    EXPECT_EQ(shell->TicksRun(), 6);
    EXPECT_EQ(engine->vInputs[117], 0);
    EXPECT_EQ(engine->vInputs[119], 4) << "shift still held";
    for (int slot = 1; slot < kInputCount; ++slot) KSetLibraryInput(slot, false);
    KSetLibraryMousePosition(0, 0);
}

TEST_F(Shell, InputOffStopsTheInputUpdate)
{
    ASSERT_TRUE(replay.Parse("0 key_space down\n", error));
    Start(3);
    engine->vPlay.inputEnabled = 0;
    shell->Run();
    EXPECT_EQ(engine->vInputs[75], 0);
    KSetLibraryInput(75, false);
}

TEST_F(Shell, HeldEscapeSpendsReplayTimeWithoutTicks)
{
    // Let go at 5, Escape opens the menu, which the next press closes.
    ASSERT_TRUE(replay.Parse("1 key_esc down\n5 key_esc up\n6 key_esc down\n7 key_esc up\n", error));
    Start(12);
    shell->Run();
    EXPECT_EQ(shell->PassesRun(), 12);
    EXPECT_EQ(shell->TicksRun(), 6) << "ticks 1 to 6 went by while Escape was held and the menu was open";
    ASSERT_TRUE(replay.Parse("0 key_esc down\n", error));
    KRunnerShell held(*engine, config);
    ASSERT_TRUE(held.Start(1, 1));
    held.Run();
    EXPECT_EQ(held.TicksRun(), 0) << "never released: the run still ends";
    KSetLibraryInput(59, false);
}

TEST_F(Shell, DarkBoardRedrawsOnlyCellsWhoseColoursChanged)
{
    Kobject* dark = engine.AddBoard("Dark", 80, 60, 5);
    for (KCell& cell : dark->cells) cell = KCell{0, 4, 4, 0, 0, 0};
    engine->FindSpecialBoards();
    Start();
    ASSERT_EQ(dark->shade.size(), dark->cells.size());
    EXPECT_EQ(dark->shade[0].fg, 255);
    EXPECT_EQ(dark->Surface()->line[0][0], 255) << "shown dark at once";
    engine->SetVar("dark", 1);
    shell->RunTick();
    EXPECT_EQ(dark->cells[5].fg, 255) << "every target is dark again each tick";
    dark->cells[5].fg = 0;  // a light opens a hole
    dark->cells[5].bg = 0;
    shell->DrawFrame();
    EXPECT_EQ(dark->shade[5].fg, 0);
    EXPECT_EQ(dark->Surface()->line[0][5 * 8], 0);
    EXPECT_EQ(Back()->line[0][5 * 8], 1) << "the board shows through the hole";
    EXPECT_EQ(Back()->line[0][4 * 8], 255);
}

TEST_F(Shell, VariablesAsJson)
{
    engine->SetVar("b", -3);
    engine->SetVarString("a \"quoted\"", "x\n");
    EXPECT_EQ(KVariablesJson(*engine), "{\n  \"b\": -3,\n  \"a \\\"quoted\\\"\": \"x\\n\"\n}\n");
    engine->vVariables.EraseAll();
    EXPECT_EQ(KVariablesJson(*engine), "{}\n");
}

}  // namespace

namespace {

// A tick that opens a modal loop: it paints the board's top-left cell in
// colour 9, runs passes until Enter is down, collecting the typed text,
// then paints the cell back.
struct ModalProbe {
    int openAtTick = 0;
    int ticks = 0;
    int passes = 0;
    KModalPass last = KModalPass::Ran;
    std::string typed;
};
ModalProbe gProbe;

void StepWithModalLoop(Kexec&, Kobject& board)
{
    if (gProbe.ticks++ != gProbe.openAtTick) return;
    Kinterface& engine = *KEngine();
    board.SetCellNow(0, 0, 0, 9, 9, 0);
    for (gProbe.last = engine.RunModalPass(); gProbe.last == KModalPass::Ran; gProbe.last = engine.RunModalPass()) {
        ++gProbe.passes;
        for (int c = engine.NextTypedChar(); c >= 0; c = engine.NextTypedChar()) gProbe.typed += static_cast<char>(c);
        if (engine.vInputs[static_cast<size_t>(KInputSlot("key_enter"))] != 0) break;
    }
    board.SetCellNow(0, 0, 0, 1, 1, 0);
}

KParts PartsWithModalLoop()
{
    KParts parts = KRunnerParts();
    parts.stepBoard = StepWithModalLoop;
    return parts;
}

// The shell's world, with the modal loop as the boards' step.
class ModalLoop : public Shell {
protected:
    ModalLoop() : Shell(PartsWithModalLoop()) { gProbe = ModalProbe{}; }

    void TearDown() override
    {
        for (int slot = 1; slot <= kSlotLastKey; ++slot) KSetLibraryInput(slot, false);
    }

    void Play(const char* inputs, int64_t ticks)
    {
        ASSERT_TRUE(replay.Parse(inputs, error)) << error;
        Start(ticks);
        shell->Run();
    }
};

TEST_F(ModalLoop, ReplayTicksDriveItsPassesAndItsTypedText)
{
    Play("0 type hi \n2 type there\n4 key_enter down\n5 key_enter up\n7 type lost\n", 10);
    EXPECT_EQ(gProbe.passes, 4) << "ticks 1 to 4 were modal passes";
    EXPECT_EQ(gProbe.typed, "hi there") << "text typed in the opening tick counts too";
    EXPECT_EQ(shell->PassesRun(), 10);
    EXPECT_EQ(shell->TicksRun(), 6) << "no game tick ran while the loop was open";
    EXPECT_EQ(replay.NextTypedChar(), -1) << "text nobody took is gone at the end of its tick";
    EXPECT_EQ(shell->BackBuffer()->line[0][0], 1);
}

TEST_F(ModalLoop, RunEndingInsideItEndsWithItsFrame)
{
    gProbe.openAtTick = 2;
    Play("", 6);
    EXPECT_EQ(gProbe.passes, 3);
    EXPECT_EQ(gProbe.last, KModalPass::Closing);
    EXPECT_EQ(shell->PassesRun(), 6);
    EXPECT_EQ(shell->TicksRun(), 3);
    EXPECT_EQ(shell->BackBuffer()->line[0][0], 9) << "the last frame is the loop's";
    EXPECT_EQ(engine->RunModalPass(), KModalPass::Closing) << "asking again still gives up";
    shell->Shutdown();
    EXPECT_EQ(engine->RunModalPass(), KModalPass::NoHost);
    EXPECT_EQ(engine->NextTypedChar(), -1);
    EXPECT_TRUE(engine->CloseRequested());
}

}  // namespace

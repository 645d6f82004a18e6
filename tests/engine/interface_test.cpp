#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(EngineRoot, ConstructionScreenSizeAndDestructionTraceInOrder)
{
    TraceCapture trace;
    {
        TestEngine engine;
        EXPECT_EQ(engine->NodeOf(0), engine->vMain.get());
        EXPECT_EQ(KEngine(), &engine.Engine());
        engine->SetScreenSize(80, 60);
        EXPECT_EQ(engine->vMain->width, 80);
        EXPECT_EQ(engine->vMain->height, 60);
        EXPECT_EQ(KBitmapWidth(engine->vClipBuffer.get()), 80) << "the screen size makes the coverage buffers";
        EXPECT_EQ(KBitmapHeight(engine->vSubClipBuffer.get()), 480);
    }
    EXPECT_EQ(trace.text, "Kinterface created\n--- vSubClipBuffer 640 x 480 ---\nKinterface deleted\n");
    EXPECT_EQ(KEngine(), nullptr);
}

TEST(EngineRoot, ReportFormatsCaptionAndTracesOrWritesToStandardErrorWithoutASink)
{
    TestEngine engine;
    TraceCapture trace;
    engine->Report("Something broke", "door", 3);
    ASSERT_EQ(engine.notices.size(), 1u);
    EXPECT_EQ(engine.notices[0].caption, "Error in door at 3");
    EXPECT_EQ(engine.notices[0].body, "Something broke");
    EXPECT_EQ(trace.text, "Something broke\nError in door at 3\n");
    Kinterface bare(KParts{});
    testing::internal::CaptureStderr();
    bare.Report("Bad command: #foo", "door", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error in door at 3\nBad command: #foo\n");
}

TEST(EngineRoot, PartsAreMadeInOrderReportedWhenTheyFailAndTheEditorMakesNoExecutor)
{
    KParts parts;
    parts.makeCompiler = [](KOwned<Kcompiler>&) { return false; };
    testing::internal::CaptureStderr();
    Kinterface failed(parts);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind("Error in Kinterface.cpp at ", 0), 0u) << printed;
    EXPECT_NE(printed.find("\nUnable to create vCompiler\n"), std::string::npos) << printed;

    static int made = 0;
    KParts editor;
    editor.flavour = KFlavour::Editor;
    editor.makeExec = [](KOwned<Kexec>&) {
        ++made;
        return true;
    };
    TestEngine engine(editor);
    EXPECT_EQ(made, 0) << "the editor builds no executor";
}

TEST(ActiveBoard, FirstBoardPlaysAndTheRestAreParked)
{
    TestEngine engine;
    Kobject* first = engine.AddBoard("Start", 80, 60);
    Kobject* second = engine.AddBoard("Second", 80, 60, 1);
    Kobject* player = engine.AddObject(*first, "player", 1, 1, 0, 4, 5);
    first->posx = 7;
    second->posx = 3;
    engine->ChooseActiveBoard();
    EXPECT_EQ(engine->vActiveBoard, first);
    EXPECT_EQ(engine->vPlayer, player);
    EXPECT_EQ(first->posx, 0);
    EXPECT_EQ(second->posy, 30 * 16);
    EXPECT_EQ(second->posx, 3) << "parking moves boards down only";
    engine->vVideoMode = 3;
    engine->ChooseActiveBoard();
    EXPECT_EQ(second->posy, 48 * 16);
}

TEST(ActiveBoard, OverlayBoardFirstBecomesActiveWhenOverlayIsSet)
{
    TestEngine engine;
    Kobject* overlay = engine.AddBoard("Overlay", 10, 10, 0);
    Kobject* main = engine.AddBoard("Main", 10, 10, 1);
    overlay->posy = 99;
    engine->SetVar("overlay", 1);
    engine->ChooseActiveBoard();
    EXPECT_EQ(engine->vActiveBoard, overlay);
    EXPECT_EQ(overlay->posy, 0);
    EXPECT_EQ(main->posy, 480);
}

TEST(ActiveBoard, DarkBoardIsPlacedButOrdinaryFirstPlays)
{
    TestEngine engine;
    Kobject* main = engine.AddBoard("Main", 10, 10, 0);
    Kobject* dark = engine.AddBoard("Dark", 10, 10, 1);
    dark->posy = 99;
    engine->SetVar("dark", 1);
    engine->ChooseActiveBoard();
    EXPECT_EQ(engine->vActiveBoard, main);
    EXPECT_EQ(dark->posy, 0);
    engine->SetVar("dark", 0);
    engine->ChooseActiveBoard();
    EXPECT_EQ(dark->posy, 480) << "with dark off the dark board is an ordinary board";
}

TEST(ActiveBoard, SwitchingByIdAndByNameAndErasing)
{
    TestEngine engine;
    Kobject* a = engine.AddBoard("Alpha", 10, 10, 0);
    Kobject* b = engine.AddBoard("Beta", 10, 10, 1);
    engine.AddObject(*b, "player", 1, 1);
    engine->ChooseActiveBoard();
    engine->SwitchBoard(b->id);
    EXPECT_EQ(engine->vActiveBoard, b);
    EXPECT_EQ(b->posy, 0);
    EXPECT_EQ(a->posy, 480);
    ASSERT_NE(engine->vPlayer, nullptr);
    EXPECT_EQ(engine->vPlayer->parent, b);

    engine->SwitchBoard(std::string_view("aLPHA"));
    EXPECT_EQ(engine->vActiveBoard, a);
    EXPECT_EQ(engine->vPlayer, nullptr);
    engine->SwitchBoard(std::string_view("nowhere"));
    EXPECT_EQ(engine->vActiveBoard, a);
    engine->SwitchBoard(int32_t{4242});
    EXPECT_EQ(engine->vActiveBoard, a) << "an unknown id leaves the boards alone";
    EXPECT_EQ(a->posy, 0);
    engine->SwitchBoard(b->id);
    engine->vMain->Erase(b);
    EXPECT_EQ(engine->vActiveBoard, nullptr) << "an erased board is forgotten";
    EXPECT_EQ(engine->vPlayer, nullptr);
}

TEST(Variables, DarkAndOverlayMoveTheirBoards)
{
    TestEngine engine;
    Kobject* dark = engine.AddBoard("Dark", 10, 10);
    Kobject* overlay = engine.AddBoard("Overlay", 10, 10);
    engine->FindSpecialBoards();
    dark->posx = dark->posy = 5;
    engine->SetVar("dark", 0);
    EXPECT_EQ(dark->posx, 0) << "any value placed on 'dark' shows the board";
    EXPECT_EQ(dark->posy, 0);
    engine->ClearVar("dark");
    EXPECT_EQ(dark->posy, 480);
    overlay->posy = 7;
    engine->SetVarString("overlay", "yes");
    EXPECT_EQ(overlay->posy, 0);
    engine->ClearVar("overlay");
    EXPECT_EQ(overlay->posy, 480);
}

TEST(Variables, TickHandsBoardsToTheExecutorUnlessFrozen)
{
    static std::vector<std::string> stepped;
    stepped.clear();
    KParts parts;
    parts.makeExec = [](KOwned<Kexec>& out) {
        out = KOwned<Kexec>(reinterpret_cast<Kexec*>(&stepped), [](Kexec*) {});
        return true;
    };
    parts.stepBoard = [](Kexec&, Kobject& board) { stepped.push_back(board.name); };
    TestEngine engine(parts);
    engine.AddBoard("Main", 10, 10, 0);
    engine.AddBoard("Overlay", 10, 10, 1);
    engine->FindSpecialBoards();
    engine->ChooseActiveBoard();
    engine->Tick();
    engine->SetVar("overlay", 1);
    engine->Tick();
    engine->SetVar("freeze", 1);
    engine->Tick();
    EXPECT_EQ(stepped, (std::vector<std::string>{"Main", "Main", "Overlay", "Overlay"}));
}

}  // namespace

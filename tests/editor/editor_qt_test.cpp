// The Qt editor on the offscreen platform: building and saving a world
// through the frame's commands and menus, Run, and the prompts that guard
// unsaved work. Dialogs and boxes are answered through the frame's hooks.

#include "CMainFrame.h"
#include "CViews.h"
#include "KDialogs.h"
#include "KSettings.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <thread>

namespace {

class Frame : public testing::Test {
protected:
    void SetUp() override
    {
        WriteFileBytes(dir.File("start.zqav"), ReadFileBytes("Library/default.zqav"));
        KSetNotify(1);
    }

    // The frame with every question answered from the fields below.
    std::unique_ptr<CMainFrame> MakeFrame()
    {
        KFrameHooks hooks;
        hooks.askUnsaved = [this](const QString&) {
            ++asked;
            return unsavedAnswer;
        };
        hooks.confirm = [this](const QString& caption, const QString& text) {
            confirmations.push_back(caption + "|" + text);
            return confirmAnswer;
        };
        hooks.chooseOpenPath = [this] { return openPath; };
        hooks.chooseSavePath = [this] { return savePath; };
        hooks.notifyRun = [this] {
            ++notified;
            return notifyAnswer;
        };
        hooks.runDialog = [this](QDialog& dialog) {
            if (auto* name = qobject_cast<CNameDialog*>(&dialog); name != nullptr && !names.empty()) {
                name->Field()->setText(names.front());
                names.pop_front();
            }
            return true;
        };
        hooks.programFolder = QString::fromStdString(dir.Path());
        return std::make_unique<CMainFrame>(doc, hooks);
    }

    static QAction* FindIn(QMenu& menu, const QString& text)
    {
        for (QAction* action : menu.actions()) {
            if (action->text() == text) return action;
        }
        return nullptr;
    }

    TempDir dir;
    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    KUnsavedAnswer unsavedAnswer = KUnsavedAnswer::Cancel;
    bool confirmAnswer = true;
    bool notifyAnswer = true;
    QString openPath;
    QString savePath;
    std::deque<QString> names;
    QStringList confirmations;
    int asked = 0;
    int notified = 0;
};

TEST_F(Frame, BuildsAWorldThroughMenusAndSavesIt)
{
    auto frame = MakeFrame();
    openPath = QString::fromStdString(dir.File("start.zqav"));
    frame->FileOpen();
    ASSERT_EQ(doc.Title(), "start.zqav");

    names = {"Castle Gate", "door"};
    frame->AddBoard();
    frame->AddObject();
    ASSERT_EQ(doc.Current()->name, "door");
    EXPECT_TRUE(frame->windowTitle().contains("start.zqav *"));

    // Edit > Move > NewBoard > Here ... from the object's menu.
    std::unique_ptr<QMenu> menu(frame->Tree().BuildContextMenu());
    EXPECT_EQ(menu->objectName(), "SV_OBJMENU");
    QMenu* edit = FindIn(*menu, "&Edit")->menu();
    QMenu* move = FindIn(*edit, "Move")->menu();
    QStringList boards;
    for (QAction* action : move->actions()) boards << action->text();
    EXPECT_EQ(boards, (QStringList{"NewBoard", "Spawn", "Castle_Gate"}));
    QMenu* target = FindIn(*move, "NewBoard")->menu();
    FindIn(*target, "&Here ...")->trigger();

    ASSERT_TRUE(frame->FileSave());
    EXPECT_FALSE(doc.IsModified());
    std::string json;
    ASSERT_EQ(RunCommand("./quav-world tree --json '" + dir.File("start.zqav") + "'", &json), 0);
    const size_t gate = json.find("\"name\": \"Castle_Gate\"");
    const size_t door = json.find("{\"depth\": 1, \"name\": \"door\"");
    EXPECT_NE(gate, std::string::npos) << json;
    EXPECT_NE(door, std::string::npos) << json;
    EXPECT_LT(door, json.find("\"name\": \"Spawn\"")) << json;

    frame->Undo();
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(Frame, RunSavesAndStartsTheRunnerWithThePathFromTheProgramFolder)
{
    const std::string log = dir.File("args.txt");
    WriteFileBytes(dir.File("quav-runner"), "#!/bin/sh\npwd > '" + log + "'\nfor a in \"$@\"; do echo \"$a\" >> '" +
                                                 log + "'; done\n");
    ASSERT_EQ(RunCommand("chmod +x '" + dir.File("quav-runner") + "'"), 0);
    auto frame = MakeFrame();
    doc.NewFromTemplate();

    notifyAnswer = false;
    frame->FileRun();  // the notification cancelled
    savePath.clear();
    notifyAnswer = true;
    frame->FileRun();  // the save dialog cancelled
    EXPECT_EQ(notified, 2);
    EXPECT_TRUE(doc.NeedsName());

    KSetNotify(0);
    savePath = QString::fromStdString(dir.File("my world.zqav"));
    frame->FileRun();
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(doc.Title(), "my world.zqav");
    for (int waited = 0; waited < 100 && ReadFileBytes(log).find(".zqav") == std::string::npos; ++waited) {
        QTest::qWait(50);
    }
    EXPECT_EQ(ReadFileBytes(log), dir.Path() + "\n" + dir.File("my world.zqav") + "\n");
    EXPECT_TRUE(KRecentFileList().contains(savePath));
}

TEST_F(Frame, UnsavedChangesAreSavedDiscardedOrKeptAsAnswered)
{
    auto frame = MakeFrame();
    frame->OpenPath(QString::fromStdString(dir.File("start.zqav")));
    frame->AddBoard();
    ASSERT_EQ(engine->vMain->children.size(), 3u);

    unsavedAnswer = KUnsavedAnswer::Cancel;
    frame->FileNew();
    EXPECT_EQ(engine->vMain->children.size(), 3u);
    EXPECT_FALSE(frame->close());

    unsavedAnswer = KUnsavedAnswer::Discard;
    confirmAnswer = false;
    EXPECT_FALSE(frame->close());  // "Do you want to quit?" answered Cancel
    EXPECT_EQ(confirmations.back(), "Confirm Quit|Do you want to quit?");
    frame->FileNew();
    EXPECT_EQ(engine->vMain->children.size(), 2u);
    EXPECT_TRUE(doc.NeedsName());

    frame->OpenPath(QString::fromStdString(dir.File("start.zqav")));
    frame->AddBoard();
    unsavedAnswer = KUnsavedAnswer::Save;
    confirmAnswer = true;
    EXPECT_TRUE(frame->close());
    std::string json;
    ASSERT_EQ(RunCommand("./quav-world tree --json '" + dir.File("start.zqav") + "'", &json), 0);
    EXPECT_NE(json.find("\"name\": \"NewBoard\", \"id\": 3"), std::string::npos) << json;
    EXPECT_EQ(asked, 4);
}

TEST_F(Frame, TheTreePaneSelectsScrollsAndDrawsOnlyVisibleRows)
{
    auto frame = MakeFrame();
    frame->OpenPath(QString::fromStdString(dir.File("start.zqav")));
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    EXPECT_EQ(frame->Outer().sizes().value(0), kTreeWidth);
    EXPECT_EQ(frame->Inner().sizes().value(1), kBarHeight);
    CSelectView& tree = frame->Tree();
    QTest::mouseClick(&tree, Qt::LeftButton, Qt::NoModifier, QPoint(30, 25));
    EXPECT_EQ(doc.Current()->name, "Spawn");
    QTest::mouseClick(&tree, Qt::LeftButton, Qt::NoModifier, QPoint(30, 21));  // between rows
    EXPECT_EQ(doc.Current()->name, "Spawn");
    tree.grab();
    EXPECT_EQ(tree.RowsDrawn(), 2);

    // Ctrl-drag up scrolls down, never past the top.
    QTest::mousePress(&tree, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 100));
    QTest::mouseMove(&tree, QPoint(30, 80));
    QTest::mouseRelease(&tree, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 80));
    EXPECT_EQ(tree.RowOffset(), 2);
    QTest::mousePress(&tree, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 0));
    QTest::mouseMove(&tree, QPoint(30, 200));
    QTest::mouseRelease(&tree, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 200));
    EXPECT_EQ(tree.RowOffset(), 0);
    EXPECT_EQ(doc.Current()->name, "Spawn");

    // The board menu's Delete asks with the board's name as caption.
    std::unique_ptr<QMenu> menu(tree.BuildContextMenu());
    EXPECT_EQ(menu->objectName(), "SV_BOARDMENU");
    FindIn(*menu, "&Delete")->trigger();
    EXPECT_EQ(confirmations.back(), "Spawn|Delete Board?");
    EXPECT_EQ(engine->vMain->children.size(), 1u);

    // Ctrl + double-click swaps the paint bar for the properties bar.
    EXPECT_TRUE(frame->PaintMode());
    QTest::mouseDClick(&tree, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 15));
    EXPECT_FALSE(frame->PaintMode());
    EXPECT_NE(frame->findChild<CToolView*>("props"), nullptr);
    frame->grab();
    EXPECT_EQ(frame->Inner().sizes().value(1), kBarHeight);
}

TEST_F(Frame, VideoModeMenuSizesNewBoardsAndTheNotificationBoxCanBeCleared)
{
    auto frame = MakeFrame();
    doc.NewFromTemplate();
    QAction* small = frame->FindAction("320 x 240");
    ASSERT_NE(small, nullptr);
    small->trigger();
    EXPECT_TRUE(small->isChecked());
    EXPECT_FALSE(frame->FindAction("640 x 480")->isChecked());
    frame->AddBoard();
    EXPECT_EQ(doc.Current()->width, 40);
    EXPECT_EQ(doc.Current()->height, 30);
    frame->Undo();
    frame->Undo();
    EXPECT_TRUE(frame->FindAction("640 x 480")->isChecked());
    EXPECT_FALSE(doc.IsModified());

    CSaveNotifyDialog dialog(frame.get());
    auto* hide = dialog.findChild<QCheckBox*>();
    ASSERT_NE(hide, nullptr);
    EXPECT_TRUE(hide->isChecked());
    hide->click();
    EXPECT_EQ(KNotify(), 0);
    hide->click();
    EXPECT_EQ(KNotify(), 0);
}

}  // namespace

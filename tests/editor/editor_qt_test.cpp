// The Qt editor on the offscreen platform: building and saving a world
// through the frame's commands and menus, Run, and the prompts that guard
// unsaved work. Dialogs and boxes are answered through the frame's hooks.

#include "CBrushDialog.h"
#include "CClipDialogs.h"
#include "CCanvasViews.h"
#include "CMainFrame.h"
#include "CScriptDialog.h"
#include "CToolDialogs.h"
#include "CViews.h"
#include "KDialogs.h"
#include "KSettings.h"
#include "KTreeEdits.h"
#include "KWorldFile.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QCoreApplication>
#include <QLabel>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QMenu>
#include <QSplitter>
#include <QTest>

#include <Qsci/qsciscintilla.h>

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

// A mouse event on the canvas at a window pixel, with buttons held.
void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held, modifiers);
    QApplication::sendEvent(&widget, &event);
}

void Click(QWidget& widget, QPoint at)
{
    SendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// The action of a menu path such as {"F&lood", "Fa&de", "&Distance"}.
QAction* MenuPath(QMenu& menu, const QStringList& path)
{
    QMenu* at = &menu;
    for (int i = 0; i < path.size(); ++i) {
        QAction* found = nullptr;
        for (QAction* action : at->actions()) {
            if (action->text() == path[i]) found = action;
        }
        if (found == nullptr) return nullptr;
        if (i + 1 == path.size()) return found;
        at = found->menu();
        if (at == nullptr) return nullptr;
    }
    return nullptr;
}

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
            if (onDialog) return onDialog(dialog);
            return true;
        };
        hooks.lockKeys = [this] { return lockKeys; };
        hooks.chooseClipPath = [this](bool, const QString&) { return clipPath; };
        hooks.askBmpAs = [] { return 0; };
        hooks.runMenu = [this](QMenu& menu, const QPoint&) {
            QStringList texts;
            for (QAction* action : menu.actions()) texts << action->text();
            menus << menu.objectName() + ":" + texts.join("|");
            if (onMenu) onMenu(menu);
        };
        hooks.programFolder = QString::fromStdString(dir.Path());
        return std::make_unique<CMainFrame>(doc, hooks);
    }

    // The frame on start.zqav, shown, with the board's cells at hand.
    std::unique_ptr<CMainFrame> ShownFrame()
    {
        auto frame = MakeFrame();
        openPath = QString::fromStdString(dir.File("start.zqav"));
        frame->FileOpen();
        frame->show();
        QCoreApplication::processEvents();
        return frame;
    }

    // The current board's cell at a board (screen) cell.
    KCell* BoardCell(int x, int y)
    {
        Kobject* board = doc.CurrentBoardNode();
        int32_t originX = 0;
        int32_t originY = 0;
        board->WindowOrigin(originX, originY);
        return board->GetCell(x - originX + board->viewx, y - originY + board->viewy);
    }

    // A right drag (Ctrl: the shapes menu) from one cell to another, then
    // the menu item at path.
    void RightDrag(CVantorView& canvas, QPoint from, QPoint to, bool ctrl, const QStringList& path)
    {
        onMenu = [path](QMenu& menu) {
            QAction* action = MenuPath(menu, path);
            ASSERT_NE(action, nullptr) << path.join(">").toStdString();
            EXPECT_TRUE(action->isEnabled());
            action->trigger();
        };
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        SendMouse(canvas, QEvent::MouseButtonPress, canvas.CellPixel(from.x(), from.y()) + QPoint(2, 2), Qt::RightButton,
                  Qt::RightButton, mods);
        SendMouse(canvas, QEvent::MouseMove, canvas.CellPixel(to.x(), to.y()) + QPoint(2, 2), Qt::NoButton, Qt::RightButton, mods);
        SendMouse(canvas, QEvent::MouseButtonRelease, canvas.CellPixel(to.x(), to.y()) + QPoint(2, 2), Qt::RightButton,
                  Qt::NoButton, mods);
        onMenu = nullptr;
    }

    // A menu as it is about to show, for those that fill themselves then.
    static QMenu& Opened(QMenu& menu)
    {
        emit menu.aboutToShow();
        return menu;
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
    std::function<bool(QDialog&)> onDialog;
    std::function<void(QMenu&)> onMenu;
    QString clipPath;
    QStringList menus;
    KLockKeys lockKeys;
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
    EXPECT_TRUE(move->isEmpty()) << "made only when opened";
    Opened(*move);
    QStringList boards;
    for (QAction* action : move->actions()) boards << action->text();
    EXPECT_EQ(boards, (QStringList{"NewBoard", "Spawn", "Castle_Gate"}));
    QMenu* target = FindIn(*move, "NewBoard")->menu();
    FindIn(Opened(*target), "&Here ...")->trigger();
    EXPECT_EQ(doc.Current()->name, "door");

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

// An installed world lies in a folder the user cannot write: Save asks for
// another place instead of failing there. Root writes anywhere, so for root
// the folder is taken away as well.
TEST_F(Frame, SaveOnAWorldThatCannotBeWrittenAsksForAnotherPlace)
{
    const std::string shared = dir.File("shared");
    ASSERT_EQ(RunCommand("mkdir '" + shared + "' && cp '" + dir.File("start.zqav") + "' '" + shared + "/'"), 0);
    auto frame = MakeFrame();
    frame->OpenPath(QString::fromStdString(shared + "/start.zqav"));
    ASSERT_EQ(doc.Path(), shared + "/start.zqav");
    ASSERT_EQ(RunCommand("chmod a-w '" + shared + "'" + (geteuid() == 0 ? " && mv '" + shared + "' '" + shared + ".gone'" : "")), 0);

    savePath.clear();
    EXPECT_FALSE(frame->FileSave()) << "the dialog cancelled";
    EXPECT_EQ(doc.Path(), shared + "/start.zqav");
    savePath = QString::fromStdString(dir.File("mine.zqav"));
    EXPECT_TRUE(frame->FileSave());
    EXPECT_EQ(doc.Path(), dir.File("mine.zqav"));
    EXPECT_TRUE(FileExists(dir.File("mine.zqav")));
    RunCommand("chmod -R u+w '" + dir.Path() + "'");
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
    frame->FileNew();
    EXPECT_EQ(engine->vMain->children.size(), 2u);
    EXPECT_TRUE(doc.NeedsName());
    confirmAnswer = false;
    EXPECT_FALSE(frame->close());  // nothing unsaved: "Do you want to quit?" answered Cancel
    EXPECT_EQ(confirmations, QStringList{"Confirm Quit|Do you want to quit?"});

    frame->OpenPath(QString::fromStdString(dir.File("start.zqav")));
    frame->AddBoard();
    unsavedAnswer = KUnsavedAnswer::Save;
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(confirmations.size(), 1) << "unsaved work asks one question";
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

TEST_F(Frame, TheTreeAtScaleMovesByBarAndKeysFoldsBoardsAndKeepsTheWorkInView)
{
    auto frame = ShownFrame();
    Kobject* board = engine->vMain->children[0].get();
    for (int i = 0; i < 300; ++i) engine.AddObject(*board, "o" + std::to_string(i), 1, 1, 0, 2, 2);
    frame->Repaint();
    CSelectView& tree = frame->Tree();
    tree.grab();
    const int visible = tree.VisibleRows();
    const int64_t rows = KTreeRowCount(*engine);
    ASSERT_EQ(rows, 302);
    ASSERT_LT(visible, 100);
    QScrollBar& bar = tree.ScrollBar();
    EXPECT_EQ(bar.maximum(), rows - visible);
    bar.setValue(50);
    EXPECT_EQ(tree.RowOffset(), 50);

    // The keys move the selection and keep its row in view.
    auto row = [&] { return KTreeRowOf(*engine, doc.CurrentNode()); };
    QTest::keyClick(&tree, Qt::Key_End);
    EXPECT_EQ(doc.Current()->name, "Spawn");
    EXPECT_EQ(tree.RowOffset(), rows - visible);
    QTest::keyClick(&tree, Qt::Key_Home);
    EXPECT_EQ(row(), 0);
    EXPECT_EQ(tree.RowOffset(), 0);
    QTest::keyClick(&tree, Qt::Key_PageDown);
    EXPECT_EQ(row(), visible - 1);
    EXPECT_EQ(tree.RowOffset(), 0);
    QTest::keyClick(&tree, Qt::Key_PageDown);
    EXPECT_EQ(row(), 2 * (visible - 1));
    EXPECT_EQ(tree.RowOffset(), 2 * (visible - 1) - visible + 1);
    QTest::keyClick(&tree, Qt::Key_Up);
    QTest::keyClick(&tree, Qt::Key_Up);
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(row(), 2 * (visible - 1) - 1);
    EXPECT_EQ(bar.value(), tree.RowOffset());

    // F2 names, Enter programs, Delete deletes, each for the selected row.
    names = {"hero"};
    QTest::keyClick(&tree, Qt::Key_F2);
    EXPECT_EQ(doc.Current()->name, "hero");
    int scripts = 0;
    onDialog = [&scripts](QDialog& dialog) {
        scripts += qobject_cast<CScriptDialog*>(&dialog) != nullptr ? 1 : 0;
        return false;
    };
    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_EQ(scripts, 1);
    onDialog = nullptr;
    const int64_t heroRow = row();
    const int32_t next = KTreeNodeAtRow(*engine, heroRow + 1);
    QTest::keyClick(&tree, Qt::Key_Delete);
    EXPECT_EQ(confirmations.back(), "hero|Delete Object?");
    EXPECT_EQ(doc.CurrentNode(), next) << "the next sibling";
    EXPECT_EQ(row(), heroRow);

    const int32_t placed = doc.CurrentNode();

    // Move: the moved node stays selected, its row in view.
    frame->MoveCurrentTo(engine->vMain->children[1]->id);
    EXPECT_EQ(doc.CurrentNode(), placed);
    EXPECT_EQ(row(), rows - 2);
    EXPECT_EQ(tree.RowOffset(), rows - 1 - visible);

    // A click on a board's marker folds it; the board menu unfolds it, and
    // Expand All unfolds every board.
    QTest::keyClick(&tree, Qt::Key_Home);
    QTest::mouseClick(&tree, Qt::LeftButton, Qt::NoModifier, QPoint(5, 15));
    EXPECT_TRUE(tree.IsFolded(board->id));
    tree.grab();
    EXPECT_EQ(bar.maximum(), 0);
    EXPECT_EQ(tree.RowsDrawn(), 3);  // NewBoard, Spawn and the node moved there
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(doc.Current()->name, "Spawn") << "a folded board's objects have no rows";
    QTest::keyClick(&tree, Qt::Key_Up);
    std::unique_ptr<QMenu> menu(tree.BuildContextMenu());
    FindIn(*menu, "Un&fold")->trigger();
    EXPECT_FALSE(tree.IsFolded(board->id));
    menu.reset(tree.BuildContextMenu());
    FindIn(*menu, "&Fold")->trigger();
    doc.Select(engine->vMain->children[1]->id);
    menu.reset(tree.BuildContextMenu());
    FindIn(*menu, "&Expand All")->trigger();
    EXPECT_FALSE(tree.IsFolded(board->id));

    // Another world starts at the top of its list.
    bar.setValue(40);
    ASSERT_EQ(tree.RowOffset(), 40);
    frame->OpenPath(QString::fromStdString(dir.File("start.zqav")));
    EXPECT_EQ(tree.RowOffset(), 0);
    EXPECT_EQ(bar.value(), 0);
}

TEST_F(Frame, TheStatusBarSaysWhyCommandsAreRefusedAndItsPromptComesBack)
{
    auto frame = ShownFrame();
    QStatusBar* status = frame->statusBar();
    const QString idle = "Use arrow keys to move cursor.  Ctrl + Left mouse button drags the view.";
    EXPECT_EQ(frame->IdlePrompt().text(), idle);
    EXPECT_TRUE(frame->IdlePrompt().isVisible());
    // A menu item's prompt while it is highlighted, then the idle prompt again.
    QStatusTipEvent hover("Run the currently loaded QUAV! game");
    QApplication::sendEvent(frame.get(), &hover);
    EXPECT_FALSE(frame->IdlePrompt().isVisible());
    QStatusTipEvent left{QString()};
    QApplication::sendEvent(frame.get(), &left);
    EXPECT_TRUE(frame->IdlePrompt().isVisible());
    EXPECT_EQ(status->currentMessage(), "");

    // Run without quav-runner beside the editor: no notice, no save.
    frame->FileRun();
    EXPECT_EQ(status->currentMessage(), "quav-runner was not found in " + QString::fromStdString(dir.Path()) +
                                            ", so the world cannot be run from here.");
    EXPECT_EQ(notified, 0);

    // Moving a node into its own object.
    names = {"outer", "inner"};
    frame->AddObject();
    const int32_t outer = doc.CurrentNode();
    frame->AddObject();
    const int32_t inner = doc.CurrentNode();
    doc.Select(outer);
    frame->MoveCurrentTo(inner);
    EXPECT_EQ(status->currentMessage(), "\"outer\" cannot be moved into itself or into one of its own objects.");

    // A size past the world's bounds.
    onDialog = [](QDialog& dialog) {
        if (auto* width = dialog.findChild<QSpinBox*>("Width"); width != nullptr) width->setValue(100000);
        return true;
    };
    frame->EditSize();
    onDialog = nullptr;
    EXPECT_TRUE(status->currentMessage().contains("is more than the world may hold")) << status->currentMessage().toStdString();
    EXPECT_EQ(doc.Current()->width, 1);

    // The last board: refused before the question.
    doc.Select(engine->vMain->children[1]->id);
    frame->DeleteCurrent();
    ASSERT_EQ(engine->vMain->children.size(), 1u);
    const qsizetype questions = confirmations.size();
    frame->DeleteCurrent();
    EXPECT_EQ(confirmations.size(), questions);
    EXPECT_EQ(status->currentMessage(), "The world's only board cannot be deleted: a world keeps at least one board.");
    EXPECT_EQ(engine->vMain->children.size(), 1u);
}

TEST_F(Frame, RecentFilesShowMissingOnesForRemovalAndTheRunNoticeComesBack)
{
    const QString gone = QString::fromStdString(dir.File("gone.zqav"));
    WriteFileBytes(gone.toStdString(), ReadFileBytes("Library/default.zqav"));
    KAddRecentFile(gone);
    auto frame = ShownFrame();
    QMenu& recent = frame->RecentMenu();
    ASSERT_NE(FindIn(Opened(recent), "gone.zqav"), nullptr);
    ASSERT_EQ(std::remove(gone.toStdString().c_str()), 0);
    QAction* missing = FindIn(Opened(recent), "gone.zqav (missing)");
    ASSERT_NE(missing, nullptr);
    missing->trigger();
    EXPECT_FALSE(KRecentFileList().contains(gone));
    EXPECT_EQ(FindIn(Opened(recent), "gone.zqav (missing)"), nullptr);
    EXPECT_TRUE(KRecentFileList().contains(QString::fromStdString(dir.File("start.zqav"))));

    // "Hide this message" hides the notice for good; File > Run Notice brings it back.
    KSetNotify(0);
    QAction* notice = frame->FindAction("Run &Notice");
    ASSERT_NE(notice, nullptr);
    Opened(*qobject_cast<QMenu*>(notice->parent()));
    EXPECT_FALSE(notice->isChecked());
    notice->trigger();
    EXPECT_EQ(KNotify(), 1);
}

// The indented blocks of README.md's "Make your first game", in order, as
// lines without their indent.
std::vector<std::vector<std::string>> GuideBlocks()
{
    const std::string readme = ReadFileBytes(std::string(QUAV_SOURCE_DIR) + "/README.md");
    const size_t from = readme.find("## Make your first game");
    const size_t to = readme.find("\n## ", from + 1);
    std::vector<std::vector<std::string>> blocks;
    if (from == std::string::npos) return blocks;
    std::istringstream in(readme.substr(from, to - from));
    bool inBlock = false;
    for (std::string line; std::getline(in, line);) {
        const bool code = line.rfind("       ", 0) == 0;
        if (code && !inBlock) blocks.emplace_back();
        if (code) blocks.back().push_back(line.substr(7));
        if (!line.empty() || !code) inBlock = code;
    }
    return blocks;
}

// The guide, step by step, through the menus and dialogs a newcomer uses;
// then the saved world is checked and played headless with the guide's
// replay, and its player must have walked.
TEST_F(Frame, TheFirstGameGuideWorks)
{
    const std::vector<std::vector<std::string>> blocks = GuideBlocks();
    ASSERT_GE(blocks.size(), 3u) << "the script, the replay and the headless command";
    const std::vector<std::string>& script = blocks[0];
    ASSERT_EQ(script.front().substr(0, 1), "'");

    // 1. The new world from the template.
    auto frame = MakeFrame();
    frame->FileNew();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    CSelectView& tree = frame->Tree();
    ASSERT_EQ(KTreeNodeAtRow(*engine, 0), engine->vMain->FindByName("NewBoard")->id);

    // Each dialog is shown and typed into; then its OK is clicked.
    QStringList typedInto;
    onDialog = [&](QDialog& dialog) {
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        typedInto << dialog.windowTitle();
        if (auto* name = qobject_cast<CNameDialog*>(&dialog); name != nullptr) {
            EXPECT_EQ(name->Field()->selectedText(), name->Field()->text()) << "typing replaces the old name";
            QTest::keyClicks(name->Field(), "player");
        } else if (auto* editor = qobject_cast<CScriptDialog*>(&dialog); editor != nullptr) {
            for (const std::string& line : script) {
                QTest::keyClicks(&editor->Editor(), QString::fromStdString(line));
                QTest::keyClick(&editor->Editor(), Qt::Key_Return);
            }
        } else if (dialog.windowTitle() == "Location") {
            for (const char* label : {"X Coord", "Y Coord"}) {
                auto* field = dialog.findChild<QSpinBox*>(label);
                field->selectAll();
                QTest::keyClicks(field, "10");
            }
        }
        QPushButton* ok = nullptr;
        if (auto* box = dialog.findChild<QDialogButtonBox*>(); box != nullptr) ok = box->button(QDialogButtonBox::Ok);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (ok == nullptr && button->text() == "OK") ok = button;
        }
        EXPECT_NE(ok, nullptr) << dialog.windowTitle().toStdString();
        if (ok != nullptr) QTest::mouseClick(ok, Qt::LeftButton);
        return dialog.result() == QDialog::Accepted;
    };
    // A right-click on a row of the list, then the item at path.
    auto rightClick = [&](int row, const QStringList& path) {
        onMenu = [path](QMenu& menu) {
            QAction* action = MenuPath(menu, path);
            ASSERT_NE(action, nullptr) << path.join(">").toStdString();
            action->trigger();
        };
        const QPoint at(30, 15 + kTreeRowPixels * row);
        SendMouse(tree, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        SendMouse(tree, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
        onMenu = nullptr;
    };

    // 2. Add, Object on "NewBoard": the Name dialog opens by itself.
    rightClick(0, {"&Add", "&Object"});
    ASSERT_EQ(doc.Current()->name, "player");
    EXPECT_EQ(KTreeRowOf(*engine, doc.CurrentNode()), 1);
    // 3. Location 10, 10; 4. Programming, typed key by key.
    rightClick(1, {"&Location"});
    rightClick(1, {"&Programming"});
    EXPECT_EQ(typedInto, (QStringList{"Name", "Location", "Programming"}));
    const Kobject* player = doc.Current();
    ASSERT_EQ(player->name, "player");
    EXPECT_EQ((std::vector<int>{player->posx, player->posy, player->posz}), (std::vector<int>{10, 10, 0}));
    std::string typed;
    for (const std::string& line : script) typed += line + "\n";
    EXPECT_EQ(player->source, typed);

    // 5. Save asks for a name; 6. Run shows the notice and hands the world over.
    const std::string log = dir.File("args.txt");
    WriteFileBytes(dir.File("quav-runner"), "#!/bin/sh\necho \"$1\" > '" + log + "'\n");
    ASSERT_EQ(RunCommand("chmod +x '" + dir.File("quav-runner") + "'"), 0);
    const std::string world = dir.File("first.zqav");
    savePath = QString::fromStdString(world);
    frame->FindAction("&Save")->trigger();
    EXPECT_EQ(doc.Title(), "first.zqav");
    EXPECT_FALSE(doc.IsModified());
    frame->FindAction("&Run")->trigger();
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ReadFileBytes(log) == world + "\n"; }, 5000)) << ReadFileBytes(log);

    // 7. The check; 8. the replay, played headless.
    std::string output;
    EXPECT_EQ(RunCommand("./quav-runner --check '" + world + "'", &output), 0) << output;
    EXPECT_EQ(output, "");
    std::string replay;
    for (const std::string& line : blocks[1]) replay += line + "\n";
    ASSERT_NE(replay.find("key_right down"), std::string::npos) << replay;
    WriteFileBytes(dir.File("first.replay"), replay);
    const std::string command = "./quav-runner --headless --ticks 120 --seed 0 --input '" + dir.File("first.replay") +
                                "' --dump-tree '" + dir.File("first.json") + "' '" + world + "'";
    ASSERT_EQ(RunCommand(command, &output), 0) << output;
    const std::string played = ReadFileBytes(dir.File("first.json"));
    const size_t at = played.find("{\"name\": \"player\"");
    ASSERT_NE(at, std::string::npos) << played;
    const std::string node = played.substr(at, played.find('}', at) - at);
    const size_t posx = node.find("\"posx\": ");
    ASSERT_NE(posx, std::string::npos) << node;
    EXPECT_GT(std::stoi(node.substr(posx + 8)), 10) << node;
    EXPECT_NE(node.find("\"posy\": 10,"), std::string::npos) << node;
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

TEST_F(Frame, ScriptDialogOkStoresTheScriptWithLfEndsAsOneUndoStep)
{
    auto frame = MakeFrame();
    doc.NewFromTemplate();
    frame->AddBoard();
    frame->AddObject();
    const std::string object = doc.Current()->name;
    onDialog = [](QDialog& dialog) {
        auto* script = qobject_cast<CScriptDialog*>(&dialog);
        if (script == nullptr) return false;
        script->Editor().SendScintilla(QsciScintillaBase::SCI_SETTEXT, "#walk n\r\n~pe\r\n:touch\r");
        script->accept();
        return script->result() == QDialog::Accepted;
    };
    // Opened from the tree's menu.
    std::unique_ptr<QMenu> menu(frame->Tree().BuildContextMenu());
    QAction* programming = FindIn(*menu, "&Programming");
    ASSERT_NE(programming, nullptr);
    confirmAnswer = false;  // the lines a saved world loses are not indented: nothing is stored
    programming->trigger();
    EXPECT_EQ(doc.Current()->source, "");
    ASSERT_FALSE(confirmations.isEmpty());
    EXPECT_TRUE(confirmations.back().startsWith("Programming|Line 2 begins with ~pe")) << confirmations.back().toStdString();

    confirmAnswer = true;
    programming->trigger();
    EXPECT_EQ(doc.Current()->source, "#walk n\n ~pe\n:touch\n");
    frame->Undo();
    EXPECT_EQ(doc.Current()->name, object);
    EXPECT_EQ(doc.Current()->source, "");
}

TEST_F(Frame, StatusBarShowsTheLockKeys)
{
    auto frame = MakeFrame();
    EXPECT_EQ(frame->LockPane(0).text() + frame->LockPane(1).text() + frame->LockPane(2).text(), "");
    lockKeys = KLockKeys{true, false, true};
    frame->UpdateLockPanes();
    EXPECT_EQ(frame->LockPane(0).text(), "CAP");
    EXPECT_EQ(frame->LockPane(1).text(), "");
    EXPECT_EQ(frame->LockPane(2).text(), "SCRL");
}

}  // namespace

namespace {

TEST_F(Frame, TheCanvasPaintsByKeysAndShiftDragsWithPickedBrushesAndSavesTheCells)
{
    auto frame = ShownFrame();
    CVantorView& canvas = frame->Canvas();
    Kobject* board = doc.CurrentBoardNode();
    ASSERT_NE(board, nullptr);
    ASSERT_TRUE(frame->PaintMode());
    // Board cells are 8 window pixels at zoom 1; click cell (3,2).
    Click(canvas, canvas.CellPixel(3, 2) + QPoint(2, 2));
    EXPECT_EQ(QApplication::focusWidget(), &canvas);
    EXPECT_EQ(canvas.Core().CursorX(), 3);

    // Brush Settings from the preview: pick character 65 and two colours
    // by clicking computed pixels of the pickers.
    const Kfont& font = *engine->vFont;
    onDialog = [&](QDialog& dialog) {
        auto* brush = qobject_cast<CBrushDialog*>(&dialog);
        if (brush == nullptr) return true;
        Click(brush->Characters(), QPoint(font.glyphX[65] / 8 * 16 + 5, font.glyphY[65] / 8 * 16 + 5));
        Click(brush->Foreground(), QPoint(12 * kSwatchW + 5, 0 * kSwatchH + 5));
        SendMouse(brush->Background(), QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton, Qt::LeftButton);
        SendMouse(brush->Background(), QEvent::MouseMove, QPoint(2 * kSwatchW + 5, 2 * kSwatchH + 5), Qt::NoButton,
                  Qt::LeftButton);
        EXPECT_EQ(dialog.findChild<QLabel*>("brushText")->text(), "65 12 34 0");
        return true;
    };
    ASSERT_TRUE(frame->OpenBrushSettings());
    EXPECT_EQ(QApplication::focusWidget(), &canvas);
    EXPECT_EQ((std::array<int, 3>{frame->PaintSettings().chr, frame->PaintSettings().fg, frame->PaintSettings().bg}),
              (std::array<int, 3>{65, 12, 34}));
    // Cancel puts back the whole brush state.
    onDialog = [&](QDialog& dialog) {
        Click(static_cast<CBrushDialog&>(dialog).Foreground(), QPoint(5, 15 * kSwatchH + 5));
        return false;
    };
    frame->OpenBrushSettings();
    EXPECT_EQ(frame->PaintSettings().fg, 12);
    onDialog = nullptr;

    // Keys: Space paints, Space again does not flip the bars, Right moves.
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space}) QTest::keyClick(&canvas, key);
    EXPECT_TRUE(frame->PaintMode());
    int32_t nodeX = 0;
    int32_t nodeY = 0;
    board->WindowOrigin(nodeX, nodeY);
    auto cellAt = [&](int x, int y) { return board->GetCell(x - nodeX + board->viewx, y - nodeY + board->viewy); };
    EXPECT_EQ(cellAt(3, 2)->chr, 65);
    EXPECT_EQ(cellAt(5, 2)->fg, 12);
    EXPECT_NE(cellAt(4, 2)->chr, 65);
    EXPECT_NE(frame->CanvasStatus().text().indexOf("Char 65"), -1);

    // A Shift drag from (2,6) to (8,6) paints the row between, one step.
    const size_t steps = doc.UndoSteps();
    const QPoint from = canvas.CellPixel(2, 6) + QPoint(3, 3);
    const QPoint to = canvas.CellPixel(8, 6) + QPoint(3, 3);
    SendMouse(canvas, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    SendMouse(canvas, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    SendMouse(canvas, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
    for (int x = 2; x <= 8; ++x) EXPECT_EQ(cellAt(x, 6)->chr, 65) << x;
    EXPECT_EQ(doc.UndoSteps(), steps + 1);

    // A right drag opens TOOLMENU; its Zoom In works, the tools wait.
    onMenu = [](QMenu& menu) {
        for (QAction* action : menu.actions()) {
            if (action->text() == "Zoom &In") action->trigger();
        }
    };
    SendMouse(canvas, QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    SendMouse(canvas, QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
    ASSERT_EQ(menus.size(), 1);
    EXPECT_TRUE(menus[0].startsWith("TOOLMENU:&Fill|Fa&de|&Speckle|F&lood|Same&As|&Replace|&Copy|&Paste|")) << menus[0].toStdString();
    EXPECT_FLOAT_EQ(canvas.Core().Zoom(), 0.5f);
    onMenu = nullptr;

    // Typed text with the "Add Text" radio.
    frame->SetBrushMode(KBrushMode::Text);
    Click(canvas, canvas.CellPixel(2, 9) + QPoint(1, 1));
    QTest::keyClicks(&canvas, "Hi");
    EXPECT_EQ(cellAt(2, 9)->chr, 'H');
    EXPECT_EQ(cellAt(3, 9)->chr, 'i');

    // Saved and read back by the world reader.
    ASSERT_TRUE(frame->FileSave());
    TestEngine reread(KFlavour::Editor);
    ASSERT_TRUE(LoadWorld(*reread, dir.File("start.zqav")));
    const Kobject* saved = reread->vMain->FindByName(board->name);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetCell(5 - nodeX + board->viewx, 2 - nodeY + board->viewy)->chr, 65);
    EXPECT_EQ(saved->GetCell(8 - nodeX + board->viewx, 6 - nodeY + board->viewy)->chr, 65);
    EXPECT_EQ(saved->GetCell(3 - nodeX + board->viewx, 9 - nodeY + board->viewy)->chr, 'i');

    // Opening a world brings the view back to the start.
    frame->FileOpen();
    EXPECT_EQ(canvas.Core().ScrollX(), 0);
    EXPECT_EQ(canvas.Core().CursorX(), 0);
}

}  // namespace

namespace {

TEST_F(Frame, TheCanvasMenusRunTheToolsWithTheirDialogsAsUndoableSteps)
{
    auto frame = ShownFrame();
    CVantorView& canvas = frame->Canvas();
    Kobject* board = doc.CurrentBoardNode();
    ASSERT_NE(board, nullptr);
    int32_t originX = 0;
    int32_t originY = 0;
    board->WindowOrigin(originX, originY);
    auto cellAt = [this](int x, int y) { return BoardCell(x, y); };
    auto drag = [&](QPoint from, QPoint to, bool ctrl, const QStringList& path) { RightDrag(canvas, from, to, ctrl, path); };
    KPaintSettings& paint = frame->PaintSettings();
    paint.chr = 66;
    const size_t steps = doc.UndoSteps();
    drag({2, 2}, {5, 4}, false, {"&Fill"});
    EXPECT_EQ(cellAt(5, 4)->chr, 66);
    EXPECT_EQ(cellAt(6, 4)->chr, cellAt(6, 5)->chr);
    // Replace > Fill with only "Fg" checked recolours and keeps the rest.
    paint.fg = 9;
    paint.chr = 67;
    onDialog = [](QDialog& dialog) {
        auto* filter = qobject_cast<CFilterDialog*>(&dialog);
        if (filter == nullptr) return false;
        for (int field : {0, 2, 3}) filter->Box(field)->setChecked(false);
        return true;
    };
    drag({2, 2}, {3, 2}, false, {"&Replace", "&Fill"});
    EXPECT_EQ(cellAt(3, 2)->chr, 66);
    EXPECT_EQ(cellAt(3, 2)->fg, 9);
    // Distance over a flood of the filled area, through its dialog.
    onDialog = [](QDialog& dialog) {
        auto* distance = qobject_cast<CDistanceDialog*>(&dialog);
        if (distance == nullptr) return false;
        EXPECT_EQ(distance->SetButton().text(), "Set: Basic");
        distance->RandomSlider().setValue(0);
        distance->findChildren<QSlider*>().front()->setValue(100);  // X multiplier 1.00
        return true;
    };
    drag({4, 3}, {4, 3}, false, {"F&lood", "Fa&de", "&Distance"});
    EXPECT_EQ(cellAt(4, 3)->chr, 32);  // the centre takes the set's first code
    EXPECT_EQ(cellAt(5, 3)->chr, 176);
    // A line from the shapes menu, and a Speckle of 99 percent.
    paint.chr = 68;
    drag({10, 8}, {15, 8}, true, {"&Line", "&Fill"});
    for (int x = 10; x <= 15; ++x) EXPECT_EQ(cellAt(x, 8)->chr, 68) << x;
    EXPECT_EQ(doc.UndoSteps(), steps + 4);
    frame->Undo();
    EXPECT_NE(cellAt(12, 8)->chr, 68);
    // Make Object: the new object is current and named through the dialog.
    names = {"crate"};
    onDialog = nullptr;
    drag({2, 2}, {3, 3}, false, {"&Make Object"});
    ASSERT_NE(doc.Current(), nullptr);
    EXPECT_EQ(doc.Current()->name, "crate");
    EXPECT_EQ(doc.Current()->width, 2);

    ASSERT_TRUE(frame->FileSave());
    TestEngine reread(KFlavour::Editor);
    ASSERT_TRUE(LoadWorld(*reread, dir.File("start.zqav")));
    const Kobject* saved = reread->vMain->FindByName(board->name);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetCell(5 - originX + board->viewx, 3 - originY + board->viewy)->chr, 176);
    EXPECT_NE(saved->FindByName("crate"), nullptr);
}

}  // namespace

namespace {

TEST_F(Frame, ClipboardsCopyPasteAndCarryTilesAndObjectsThroughFiles)
{
    auto frame = ShownFrame();
    CVantorView& canvas = frame->Canvas();
    ASSERT_NE(doc.CurrentBoardNode(), nullptr);
    auto cellAt = [this](int x, int y) { return BoardCell(x, y); };
    auto drag = [&](QPoint from, QPoint to, const QStringList& path) { RightDrag(canvas, from, to, false, path); };
    // Copy the top left corner (a wall corner and the walls beside it),
    // all four fields, and tile it over an inner rectangle.
    onDialog = [](QDialog& dialog) { return qobject_cast<CFilterDialog*>(&dialog) != nullptr; };
    drag({0, 0}, {2, 1}, {"&Copy", "&Fill"});
    ASSERT_EQ((std::array<int, 2>{frame->Tiles().width, frame->Tiles().height}), (std::array<int, 2>{3, 2}));
    onDialog = nullptr;
    drag({10, 10}, {15, 12}, {"&Paste", "&Fill"});
    EXPECT_EQ(cellAt(13, 12)->chr, cellAt(0, 0)->chr);
    EXPECT_EQ(cellAt(14, 11)->attrib, cellAt(1, 1)->attrib);

    // "Tile ClipBoard": Save picks .qcf for four fields; OK keeps the skip flag.
    clipPath = QString::fromStdString(dir.File("corner"));
    onDialog = [](QDialog& dialog) {
        auto* tiles = qobject_cast<CTileClipDialog*>(&dialog);
        if (tiles == nullptr) return false;
        tiles->Save();
        tiles->Skip().setChecked(true);
        tiles->accept();
        return true;
    };
    frame->TileClipboard();
    EXPECT_TRUE(frame->Tiles().skip);
    KTileClipboard reread;
    std::string error;
    ASSERT_TRUE(KLoadTiles(dir.File("corner.qcf"), false, reread, error)) << error;
    EXPECT_EQ(reread.cells, frame->Tiles().cells);

    // An object saved as a .zobj from this world ...
    onDialog = nullptr;
    names = {"door"};
    frame->AddObject();
    ASSERT_TRUE(KCopyToClipboard(doc, false));
    clipPath = QString::fromStdString(dir.File("door.zobj"));
    onDialog = [](QDialog& dialog) {
        if (auto* objects = qobject_cast<CObjectClipDialog*>(&dialog)) objects->Save();
        return true;
    };
    frame->ObjectClipboard();
    // ... is loaded into a new world and pasted there.
    unsavedAnswer = KUnsavedAnswer::Discard;
    frame->FileNew();
    auto dummy = std::make_unique<Kobject>();
    dummy->id = kDummyId;
    dummy->Create("Dummy", 1, 1);
    doc.SetClipboard(std::move(dummy));
    onDialog = [](QDialog& dialog) {
        if (auto* objects = qobject_cast<CObjectClipDialog*>(&dialog)) objects->Load();
        return true;
    };
    frame->ObjectClipboard();
    ASSERT_EQ(doc.Clipboard()->name, "door");
    EXPECT_EQ(engine->vMain->name, "world_tree");
    ASSERT_TRUE(KPasteObject(doc, true));
    savePath = QString::fromStdString(dir.File("other.zqav"));
    ASSERT_TRUE(frame->FileSave());
    std::string json;
    ASSERT_EQ(RunCommand("./quav-world tree --json '" + dir.File("other.zqav") + "'", &json), 0);
    EXPECT_NE(json.find("\"name\": \"door\""), std::string::npos) << json;
}

}  // namespace

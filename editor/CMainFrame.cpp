#include "CMainFrame.h"

#include "CBrushDialog.h"
#include "CCanvasViews.h"
#include "CClipDialogs.h"
#include "CFontDialog.h"
#include "CScriptDialog.h"
#include "CViews.h"
#include "KDialogs.h"
#include "KSettings.h"
#include "KScreenshot.h"
#include "KTreeEdits.h"
#include "KUserWorlds.h"
#include "Kfont.h"
#include "Kinterface.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr const char* kFileFilter = "QUAV! game Files (*.zqav)";
constexpr const char* kRunnerName = "quav-runner";
constexpr const char* kVideoTexts[4] = {"320 x 240", "640 x 480", "800 x 600", "1024 x 768"};
constexpr const char* kLockTexts[3] = {"CAP", "NUM", "SCRL"};
// The lock keys change outside the editor's windows too, so they are polled.
constexpr int kLockPollMs = 250;
constexpr const char* kIdlePrompt = "Use arrow keys to move cursor.  Ctrl + Left mouse button drags the view.";
// A refusal stays in the status bar this long before the prompt returns.
constexpr int kRefusalMs = 10000;

// Where the world dialogs start when no folder is given: the shipped
// Worlds folder in a build, the per-user one when that cannot be written
// (an installed tree).
QString WorldsHome() { return QString::fromStdString(KWorldsHome(kShippedWorldsFolder)); }

QString AskPath(QWidget* parent, bool save, const QString& given)
{
    const QString folder = given.isEmpty() ? WorldsHome() : given;
    const QFileDialog::Options options = QFileDialog::DontConfirmOverwrite;
    QString path = save ? QFileDialog::getSaveFileName(parent, "Save As", folder, kFileFilter, nullptr,
                                                       QFileDialog::Options())
                        : QFileDialog::getOpenFileName(parent, "Open", folder, kFileFilter, nullptr, options);
    if (save && !path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += ".zqav";
    return path;
}

QString AskFontPath(QWidget* parent, bool save)
{
    constexpr const char* kBmpFilter = "Bmp Files (*.bmp)";
    QString path = save ? QFileDialog::getSaveFileName(parent, "Save", QString(), kBmpFilter)
                        : QFileDialog::getOpenFileName(parent, "Load", QString(), kBmpFilter);
    if (save && !path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += ".bmp";
    return path;
}

KFrameHooks WithDefaults(KFrameHooks hooks, QWidget* parent)
{
    if (!hooks.askUnsaved) {
        hooks.askUnsaved = [parent](const QString& title) {
            const auto answer = QMessageBox::question(parent, "Vantor", "Save changes to " + title + "?",
                                                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            if (answer == QMessageBox::Save) return KUnsavedAnswer::Save;
            return answer == QMessageBox::Discard ? KUnsavedAnswer::Discard : KUnsavedAnswer::Cancel;
        };
    }
    if (!hooks.confirm) {
        hooks.confirm = [parent](const QString& caption, const QString& text) {
            return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
                   QMessageBox::Ok;
        };
    }
    const QString startFolder = hooks.documentsFolder;
    if (!hooks.chooseOpenPath) hooks.chooseOpenPath = [parent, startFolder] { return AskPath(parent, false, startFolder); };
    if (!hooks.chooseSavePath) hooks.chooseSavePath = [parent, startFolder] { return AskPath(parent, true, startFolder); };
    if (!hooks.notifyRun) {
        hooks.notifyRun = [parent] {
            CSaveNotifyDialog dialog(parent);
            return dialog.exec() == QDialog::Accepted;
        };
    }
    if (!hooks.startDetached) {
        hooks.startDetached = [](const QString& program, const QStringList& args, const QString& folder) {
            return QProcess::startDetached(program, args, folder);
        };
    }
    if (!hooks.runDialog) hooks.runDialog = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    if (!hooks.lockKeys) hooks.lockKeys = KReadLockKeys;
    if (!hooks.runMenu) hooks.runMenu = [](QMenu& menu, const QPoint& at) { menu.exec(at); };
    if (!hooks.chooseFontPath) hooks.chooseFontPath = [parent](bool save) { return AskFontPath(parent, save); };
    if (!hooks.chooseClipPath) {
        hooks.chooseClipPath = [parent](bool save, const QString& filter) {
            return save ? QFileDialog::getSaveFileName(parent, "Save", QString(), filter)
                        : QFileDialog::getOpenFileName(parent, "Load", QString(), filter);
        };
    }
    if (!hooks.askBmpAs) {
        hooks.askBmpAs = [parent] {
            QMessageBox box(QMessageBox::Question, "Load BMP As",
                            "Do want to load this bmp as foreground color or background color info ?", QMessageBox::NoButton,
                            parent);
            QPushButton* foreground = box.addButton("Foreground", QMessageBox::AcceptRole);
            box.addButton("Background", QMessageBox::AcceptRole);
            box.addButton(QMessageBox::Cancel);
            box.exec();
            if (box.clickedButton() == foreground) return 0;
            return box.buttonRole(box.clickedButton()) == QMessageBox::AcceptRole ? 1 : -1;
        };
    }
    return hooks;
}

}  // namespace

CMainFrame::CMainFrame(KEditorDoc& doc, KFrameHooks hooks) : doc_(doc), hooks_(WithDefaults(std::move(hooks), this))
{
    BuildPanes();
    BuildMenus();
    BuildStatusBar();
    resize(1024, 720);
    const QSettings settings = KEditorSettings();
    restoreGeometry(settings.value("Frame/geometry").toByteArray());
    if (!outer_->restoreState(settings.value("Frame/outer").toByteArray())) {
        outer_->setSizes({kTreeWidth, std::max(0, width() - kTreeWidth)});
    }
    Repaint();
}

CMainFrame::~CMainFrame() = default;

QString CMainFrame::ProgramFolder() const
{
    return hooks_.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : hooks_.programFolder;
}

void CMainFrame::BuildPanes()
{
    outer_ = new QSplitter(Qt::Horizontal, this);
    tree_ = new CSelectView(doc_, *this);
    inner_ = new QSplitter(Qt::Vertical, outer_);
    outer_->addWidget(tree_);
    outer_->addWidget(inner_);
    canvas_ = new CVantorView(doc_, *this, paint_);
    inner_->addWidget(canvas_);
    outer_->setStretchFactor(1, 1);
    inner_->setStretchFactor(0, 1);
    setCentralWidget(outer_);
    ShowLowerPane(true);
    paintMode_ = true;
    // The object clipboard starts with a one-cell object to place.
    if (doc_.Clipboard() == nullptr) {
        auto dummy = std::make_unique<Kobject>();
        dummy->id = kDummyId;
        dummy->Create("Dummy", 1, 1);
        dummy->SetCell(0, 0, 1, 15, 1, 0);
        doc_.SetClipboard(std::move(dummy));
    }
    shownLoads_ = doc_.LoadCount();
    canvas_->setFocus();
}

void CMainFrame::ShowLowerPane(bool paint)
{
    tools_ = nullptr;
    paintBar_ = nullptr;
    QWidget* bar = nullptr;
    if (paint) {
        paintBar_ = new CPaintView(doc_, *this, paint_);
        bar = paintBar_;
    } else {
        tools_ = new CToolView(doc_, *this);
        bar = tools_;
    }
    bar->setFixedHeight(kBarHeight);
    // The new bar takes the old one's place and size in the splitter.
    if (lower_ != nullptr) {
        inner_->replaceWidget(inner_->indexOf(lower_), bar);
        lower_->deleteLater();
    } else {
        inner_->addWidget(bar);
    }
    lower_ = bar;
}

void CMainFrame::BuildStatusBar()
{
    // A widget of the message pane, not a message: the menus' prompts and
    // refusals cover it while they show, and it comes back when they clear.
    idlePrompt_ = new QLabel(kIdlePrompt, this);
    idlePrompt_->setObjectName("idlePrompt");
    statusBar()->addWidget(idlePrompt_, 1);
    canvasStatus_ = new QLabel(this);
    canvasStatus_->setObjectName("canvasStatus");
    statusBar()->addPermanentWidget(canvasStatus_);
    for (int pane = 0; pane < 3; ++pane) {
        lockPanes_[pane] = new QLabel(this);
        lockPanes_[pane]->setAlignment(Qt::AlignCenter);
        // As wide as its text, shown or not, so the bar does not jump.
        lockPanes_[pane]->setMinimumWidth(lockPanes_[pane]->fontMetrics().horizontalAdvance(kLockTexts[pane]) + 8);
        statusBar()->addPermanentWidget(lockPanes_[pane]);
    }
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &CMainFrame::UpdateLockPanes);
    poll->start(kLockPollMs);
    UpdateLockPanes();
}

void CMainFrame::UpdateLockPanes()
{
    const KLockKeys keys = hooks_.lockKeys();
    const bool on[3] = {keys.caps, keys.num, keys.scroll};
    for (int pane = 0; pane < 3; ++pane) lockPanes_[pane]->setText(on[pane] ? kLockTexts[pane] : "");
}

void CMainFrame::BuildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    auto add = [this](QMenu* menu, const char* text, const char* tip, auto slot, QKeySequence key = {}) {
        QAction* action = menu->addAction(text, this, slot);
        action->setStatusTip(tip);
        if (!key.isEmpty()) action->setShortcut(key);
        return action;
    };
    add(file, "&New", "Create a new QUAV! game", &CMainFrame::FileNew, QKeySequence("Ctrl+N"));
    add(file, "&Open...", "Open an existing QUAV! game", &CMainFrame::FileOpen, QKeySequence("Ctrl+O"));
    add(file, "&Save", "Save the currently loaded QUAV! game", &CMainFrame::FileSave, QKeySequence("Ctrl+S"));
    add(file, "Save &As...", "Save the currently loaded QUAV! game with a new name", &CMainFrame::FileSaveAs);
    add(file, "&Run", "Run the currently loaded QUAV! game", &CMainFrame::FileRun, QKeySequence("Ctrl+R"));
    // "Hide this message" in the notice hides it for good; this brings it back.
    runNotice_ = add(file, "Run &Notice", "Show the save notification before Run", [](bool on) { KSetNotify(on ? 1 : 0); });
    runNotice_->setCheckable(true);
    connect(file, &QMenu::aboutToShow, runNotice_, [this] { runNotice_->setChecked(KNotify() != 0); });
    recent_ = file->addMenu("Recent File");
    // Files come and go while the editor runs: the list is looked at anew.
    connect(recent_, &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentMenu);
    UpdateRecentMenu();
    add(file, "E&xit", "Quit QUAV!; prompts to save currently loaded QUAV! game", &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    undo_ = add(edit, "&Undo", "Undo the last change", &CMainFrame::Undo, QKeySequence("Ctrl+Z"));
    redo_ = add(edit, "&Redo", "Redo the change undone last", &CMainFrame::Redo, QKeySequence("Ctrl+Y"));

    QMenu* video = menuBar()->addMenu("&Set Video Mode");
    for (int mode = 0; mode < 4; ++mode) {
        QAction* action = add(video, kVideoTexts[mode], "Choose this resolution", [this, mode] {
            Apply([mode](KEditorDoc& d) { return KSetVideoMode(d, mode); });
        });
        action->setCheckable(true);
        videoActions_.push_back(action);
    }
    windowed_ = add(video, "Windowed", "Toggle windowed video mode", [this] { Apply(KToggleWindowed); });
    windowed_->setCheckable(true);

    QMenu* view = menuBar()->addMenu("&View");
    QAction* status = view->addAction("&Status Bar");
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);
    add(view, "&Font Edit", "Edit the fontset", &CMainFrame::FontEdit, QKeySequence("Ctrl+F"));
    add(view, "&Tile ClipBoard", "Show the tile clipboard dialog", &CMainFrame::TileClipboard, QKeySequence("Ctrl+T"));
    add(view, "&Object Clipboard", "Show the object clipboard dialog", &CMainFrame::ObjectClipboard, QKeySequence("Ctrl+C"));

    QMenu* help = menuBar()->addMenu("&Help");
    add(help, "&About QUAV!...", "Program information and version", &CMainFrame::About);
}

QAction* CMainFrame::FindAction(const QString& text) const
{
    for (QAction* action : menuBar()->findChildren<QAction*>()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

void CMainFrame::UpdateRecentMenu()
{
    recent_->clear();
    for (const QString& path : KRecentFileList()) {
        const QString name = QFileInfo(path).fileName();
        if (!QFileInfo::exists(path)) {
            QAction* action = recent_->addAction(name + " (missing)", this, [this, path] {
                KRemoveRecentFile(path);
                UpdateRecentMenu();
                statusBar()->showMessage(path + " no longer exists; it was taken off the recent files.", kRefusalMs);
            });
            action->setStatusTip(path + " no longer exists; choose it to take it off the list");
            continue;
        }
        QAction* action = recent_->addAction(name, this, [this, path] {
            if (MayDropChanges()) OpenPath(path);
        });
        action->setStatusTip("Open this QUAV! game");
    }
    recent_->setEnabled(!recent_->isEmpty());
}

void CMainFrame::UpdateVideoMenu()
{
    const Kinterface& engine = doc_.Engine();
    for (int mode = 0; mode < videoActions_.size(); ++mode) videoActions_[mode]->setChecked(engine.vVideoMode == mode);
    windowed_->setChecked(engine.vWindowed == 1);
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(QString::fromStdString(doc_.Title()) + (doc_.IsModified() ? " *" : "") + " - Vantor");
}

void CMainFrame::Repaint()
{
    UpdateTitle();
    UpdateVideoMenu();
    undo_->setEnabled(doc_.CanUndo());
    redo_->setEnabled(doc_.CanRedo());
    if (tools_ != nullptr) tools_->Refresh();
    if (paintBar_ != nullptr) paintBar_->Refresh();
    if (shownLoads_ != doc_.LoadCount()) {
        // Another world: its boards start at the origin again.
        shownLoads_ = doc_.LoadCount();
        canvas_->ResetView();
        tree_->ResetView();
    }
    if (const int dropped = doc_.TakeDroppedSteps(); dropped > 0) {
        statusBar()->showMessage(QString("Undo memory full: the oldest %1 step(s) can no longer be undone.").arg(dropped));
    }
    canvasStatus_->setText(QString::fromStdString(canvas_->Core().StatusText()));
    tree_->update();
    canvas_->update();
}

void CMainFrame::BrushChanged()
{
    if (paintBar_ != nullptr) paintBar_->Refresh();
    CanvasChanged();
}

void CMainFrame::CanvasChanged()
{
    UpdateTitle();
    undo_->setEnabled(doc_.CanUndo());
    redo_->setEnabled(doc_.CanRedo());
    if (const int dropped = doc_.TakeDroppedSteps(); dropped > 0) {
        statusBar()->showMessage(QString("Undo memory full: the oldest %1 step(s) can no longer be undone.").arg(dropped));
    }
    canvasStatus_->setText(QString::fromStdString(canvas_->Core().StatusText()));
    canvas_->update();
}

bool CMainFrame::OpenBrushSettings()
{
    canvas_->Core().FinishStrokes();
    const KPaintSettings kept = paint_;
    CBrushDialog dialog(paint_, doc_, this);
    const bool accepted = Exec(dialog);
    // However the dialog ended, only OK keeps what the pickers changed.
    if (!accepted) paint_ = kept;
    BrushChanged();
    canvas_->setFocus();
    return accepted;
}

void CMainFrame::UniformBrushSettings()
{
    KCanvas& canvas = canvas_->Core();
    int chr = 0;
    int fg = 0;
    int bg = 0;
    int attrib = 0;
    if (!canvas.UniformLook(chr, fg, bg, attrib)) return;
    const KPaintSettings kept = paint_;
    paint_.chr = chr;
    paint_.fg = fg;
    paint_.bg = bg;
    paint_.attrib = attrib;
    if (OpenBrushSettings()) canvas.FillNodeWithBrush();
    paint_.chr = kept.chr;
    paint_.fg = kept.fg;
    paint_.bg = kept.bg;
    paint_.attrib = kept.attrib;
    BrushChanged();
    Repaint();
}

void CMainFrame::SetBrushMode(KBrushMode mode)
{
    canvas_->Core().SetMode(mode);
    BrushChanged();
    canvas_->setFocus();
}

void CMainFrame::Page(bool forward)
{
    canvas_->Core().Page(forward);
    Repaint();
    canvas_->setFocus();
}

void CMainFrame::RunMenu(QMenu& menu, const QPoint& at) { hooks_.runMenu(menu, at); }

void CMainFrame::FontEdit()
{
    if (!doc_.Engine().vFont || !doc_.Engine().vFont->sheet) return;
    canvas_->Core().FinishStrokes();
    // The whole session is one change of the font: kept on OK, undone by
    // the editor itself otherwise.
    doc_.EditFont([this] {
        KFontEditor editor(doc_, paint_);
        KFontDialogSetup setup{hooks_.runDialog, hooks_.confirm, hooks_.chooseFontPath, [this] { canvas_->update(); }};
        CFontDialog dialog(editor, doc_, paint_, std::move(setup), this);
        return editor.Close(Exec(dialog));
    });
    BrushChanged();
    Repaint();
    canvas_->setFocus();
}

bool CMainFrame::MayDropChanges()
{
    if (!doc_.IsModified()) return true;
    switch (hooks_.askUnsaved(QString::fromStdString(doc_.Title()))) {
    case KUnsavedAnswer::Save: return FileSave() && !doc_.IsModified();
    case KUnsavedAnswer::Discard: return true;
    case KUnsavedAnswer::Cancel: return false;
    }
    return false;
}

void CMainFrame::FileNew()
{
    if (!MayDropChanges()) return;
    doc_.NewFromTemplate();
    Repaint();
}

void CMainFrame::FileOpen()
{
    if (!MayDropChanges()) return;
    const QString path = hooks_.chooseOpenPath();
    if (!path.isEmpty()) OpenPath(path);
}

void CMainFrame::OpenPath(const QString& path)
{
    if (doc_.Open(path.toStdString())) {
        KAddRecentFile(QFileInfo(path).absoluteFilePath());
        UpdateRecentMenu();
    }
    Repaint();
}

bool CMainFrame::SaveToChosenPath()
{
    const QString path = hooks_.chooseSavePath();
    if (path.isEmpty() || !doc_.SaveTo(path.toStdString())) return false;
    KAddRecentFile(QFileInfo(path).absoluteFilePath());
    UpdateRecentMenu();
    Repaint();
    return true;
}

namespace {

// A world the user cannot write (an installed one) is saved somewhere else.
bool CanSaveInPlace(const std::string& path)
{
    return KCanWriteFolder(KFolderOf(path)) && (access(path.c_str(), F_OK) != 0 || access(path.c_str(), W_OK) == 0);
}

}  // namespace

bool CMainFrame::FileSave()
{
    if (doc_.NeedsName() || !CanSaveInPlace(doc_.Path())) return SaveToChosenPath();
    const bool saved = doc_.SaveTo(doc_.Path());
    Repaint();
    return saved;
}

bool CMainFrame::FileSaveAs() { return SaveToChosenPath(); }

void CMainFrame::FileRun()
{
    const QString folder = ProgramFolder();
    const QString runner = folder + "/" + kRunnerName;
    if (!QFileInfo(runner).isExecutable()) {
        Refuse(QString(kRunnerName) + " was not found in " + folder + ", so the world cannot be run from here.");
        return;
    }
    if (KNotify() != 0 && !hooks_.notifyRun()) return;
    if (!FileSave()) return;
    // The runner takes one world path; QProcess passes it as one argument,
    // which is what the quotes around it achieve on a command line.
    hooks_.startDetached(runner, {QString::fromStdString(doc_.Path())}, folder);
}

void CMainFrame::About()
{
    QMessageBox::about(this, "About QUAV!", QString("QUAV! Edit (Vantor)\nVersion ") + kAboutVersion);
}

void CMainFrame::Undo()
{
    canvas_->Core().FinishStrokes();
    doc_.Undo();
    Repaint();
}

void CMainFrame::Redo()
{
    canvas_->Core().FinishStrokes();
    doc_.Redo();
    Repaint();
}

void CMainFrame::Apply(const std::function<bool(KEditorDoc&)>& edit)
{
    edit(doc_);
    Repaint();
}

bool CMainFrame::Exec(QDialog& dialog) { return hooks_.runDialog(dialog); }

void CMainFrame::Refuse(const QString& why) { statusBar()->showMessage(why, kRefusalMs); }

void CMainFrame::AddBoard()
{
    if (KAddBoard(doc_)) {
        tree_->ShowCurrent();
        Repaint();
        EditName();
    } else {
        Refuse("A new board would make the world larger than it may be.");
    }
}

void CMainFrame::AddObject()
{
    if (KAddObject(doc_)) {
        tree_->ShowCurrent();
        Repaint();
        EditName();
    } else if (doc_.Current() != nullptr) {
        Refuse("A new object would make the world larger than it may be.");
    }
}

void CMainFrame::EditName()
{
    const Kobject* node = doc_.Current();
    if (node == nullptr) return;
    CNameDialog dialog(QString::fromStdString(node->name), this);
    if (Exec(dialog)) KRenameCurrent(doc_, dialog.Name().toStdString());
    Repaint();
}

void CMainFrame::EditLocation()
{
    const Kobject* node = doc_.Current();
    if (node == nullptr) return;
    CNumbersDialog dialog("Location", {"X Coord", "Y Coord", "Z Coord"}, {node->posx, node->posy, node->posz},
                          INT_MIN, QString(), this);
    if (Exec(dialog)) {
        const QList<int> v = dialog.Values();
        KSetLocation(doc_, v[0], v[1], v[2]);
        tree_->ShowCurrent();
    }
    Repaint();
}

void CMainFrame::EditSize()
{
    const Kobject* node = doc_.Current();
    if (node == nullptr) return;
    CNumbersDialog dialog("Size", {"Width", "Height"}, {node->width, node->height}, 0, "Change Viewport", this);
    if (Exec(dialog)) {
        const QList<int> v = dialog.Values();
        const std::string why = KSizeRefusal(doc_, v[0], v[1]);
        if (!why.empty()) Refuse(QString::fromStdString(why));
        KSetSize(doc_, v[0], v[1], dialog.Checked());
    }
    Repaint();
}

void CMainFrame::EditViewport()
{
    const Kobject* node = doc_.Current();
    if (node == nullptr) return;
    CNumbersDialog dialog("Viewport", {"Width", "Height"}, {node->vieww, node->viewh}, 0, QString(), this);
    if (Exec(dialog)) {
        const QList<int> v = dialog.Values();
        const std::string why = KViewportRefusal(doc_, v[0], v[1]);
        if (!why.empty()) Refuse(QString::fromStdString(why));
        KSetViewport(doc_, v[0], v[1]);
    }
    Repaint();
}

void CMainFrame::EditScript()
{
    const Kobject* node = doc_.Current();
    if (node == nullptr) return;
    KScriptDialogSetup setup;
    setup.text = QString::fromStdString(node->source);
    setup.confirm = hooks_.confirm;
    // The node is looked up again at each use: nothing holds it meanwhile.
    setup.addressNames = [this](std::string_view typed) { return KAddressNames(doc_.Engine(), doc_.Current(), typed); };
    setup.check = [this, name = node->name](std::string_view text) { return KCheckScript(doc_.Engine(), name, text); };
    CScriptDialog dialog(std::move(setup), this);
    // The whole edit is one step of the editor's undo.
    if (Exec(dialog)) KSetScript(doc_, dialog.Text().toStdString());
    Repaint();
}

void CMainFrame::TogglePaintMode()
{
    // Painting shows the whole node; the properties show its own view.
    const bool toPaint = !paintMode_;
    canvas_->Core().FinishStrokes();
    ShowLowerPane(toPaint);
    KSetShowAll(doc_, toPaint);
    paintMode_ = toPaint;
    Repaint();
    canvas_->setFocus();
}

void CMainFrame::SetShowAll(bool on) { Apply([on](KEditorDoc& d) { return KSetShowAll(d, on); }); }

void CMainFrame::ToggleDisplayFlag(int flag)
{
    displayFlags_ ^= flag;
    Repaint();
}

void CMainFrame::CopyNode(bool wholeBoard)
{
    KCopyToClipboard(doc_, wholeBoard);
    Repaint();
}

void CMainFrame::DeleteNode(const QString& question)
{
    const Kobject* node = doc_.Current();
    if (node == nullptr) return;
    // Refused before the question, which would otherwise be asked in vain.
    if (const std::string why = KDeleteRefusal(doc_); !why.empty()) {
        Refuse(QString::fromStdString(why));
        return;
    }
    if (hooks_.confirm(QString::fromStdString(node->name), question) && KDeleteCurrent(doc_)) tree_->ShowCurrent();
    Repaint();
}

void CMainFrame::DeleteCurrent()
{
    const Kobject* node = doc_.Current();
    if (node != nullptr) DeleteNode(node->IsBoard() ? "Delete Board?" : "Delete Object?");
}

void CMainFrame::MoveCurrentTo(int32_t targetId)
{
    if (const std::string why = KMoveRefusal(doc_, targetId); !why.empty()) {
        Refuse(QString::fromStdString(why));
        return;
    }
    if (KMoveCurrent(doc_, targetId)) tree_->ShowCurrent();
    Repaint();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Unsaved work asks once: Save, Discard or Cancel; a clean world asks
    // whether to quit.
    const bool asked = quitConfirmed_ || doc_.IsModified();
    if (!asked && !hooks_.confirm("Confirm Quit", "Do you want to quit?")) {
        event->ignore();
        return;
    }
    if (!quitConfirmed_ && !MayDropChanges()) {
        event->ignore();
        return;
    }
    quitConfirmed_ = true;
    QSettings settings = KEditorSettings();
    settings.setValue("Frame/geometry", saveGeometry());
    settings.setValue("Frame/outer", outer_->saveState());
    event->accept();
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // The lower bar keeps its 135 pixels; the canvas takes the rest.
    if (inner_ != nullptr && !isMinimized()) inner_->setSizes({std::max(0, inner_->height() - kBarHeight), kBarHeight});
}

#pragma once
// The editor's main window: menus, the splitters with the world tree, the
// canvas and the lower bar, and the document commands.

#include "KCanvas.h"
#include "KEditorDoc.h"
#include "KTileClipboard.h"
#include "KTools.h"

#include <QMainWindow>

#include <functional>

class CPaintView;
class CSelectView;
class CToolView;
class CVantorView;
class QAction;
class QLabel;
class QMenu;
class QSplitter;

inline constexpr int kTreeWidth = 200;
inline constexpr int kBarHeight = 135;
inline constexpr const char* kAboutVersion = "1.1c";
// The id of the object the clipboard starts with.
inline constexpr int32_t kDummyId = 101010101;

enum class KUnsavedAnswer : uint8_t { Save = 0, Discard = 1, Cancel = 2 };

// The lights of the lock keys.
struct KLockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};
// From the X server; all off without one.
KLockKeys KReadLockKeys();

// Everything that would block on the user or leave the process, so tests
// answer instead. The defaults show the real boxes and start the runner.
struct KFrameHooks {
    std::function<KUnsavedAnswer(const QString& title)> askUnsaved;
    std::function<bool(const QString& caption, const QString& text)> confirm;
    std::function<QString()> chooseOpenPath;
    std::function<QString()> chooseSavePath;
    std::function<bool()> notifyRun;
    std::function<bool(const QString& program, const QStringList& args, const QString& folder)> startDetached;
    std::function<bool(QDialog& dialog)> runDialog;
    std::function<KLockKeys()> lockKeys;
    // Pops up a context menu (the canvas's and the node list's) at a screen point.
    std::function<void(QMenu& menu, const QPoint& at)> runMenu;
    // The font editor's picture to load (save false) or to save as.
    std::function<QString(bool save)> chooseFontPath;
    // A tile clipboard or object file to load (save false) or save to.
    std::function<QString(bool save, const QString& filter)> chooseClipPath;
    // "Load BMP As": 0 foreground, 1 background, -1 cancelled.
    std::function<int()> askBmpAs;
    // Where quav-runner is found and started; empty: the editor's own folder.
    QString programFolder;
    // Where the open and save dialogs start (the folder the editor was
    // started from); empty: the current folder.
    QString documentsFolder;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(KEditorDoc& doc, KFrameHooks hooks = {});
    ~CMainFrame() override;

    KEditorDoc& Doc() { return doc_; }
    CSelectView& Tree() { return *tree_; }
    CVantorView& Canvas() { return *canvas_; }
    // The paint bar while it is shown, else none.
    CPaintView* PaintBar() const { return paintBar_; }
    KPaintSettings& PaintSettings() { return paint_; }
    KTileClipboard& Tiles() { return tiles_; }
    QLabel& CanvasStatus() const { return *canvasStatus_; }
    QSplitter& Outer() { return *outer_; }
    QSplitter& Inner() { return *inner_; }
    int DisplayFlags() const { return displayFlags_; }
    bool PaintMode() const { return paintMode_; }
    // The menu bar's action with this text ("&Run"), or none.
    QAction* FindAction(const QString& text) const;

    // The folder the editor runs from; quav-runner is started from it.
    QString ProgramFolder() const;
    // The status bar's caps, num and scroll lock panes, in that order.
    QLabel& LockPane(int index) const { return *lockPanes_[index]; }
    // The message pane's prompt, shown whenever no other message is.
    QLabel& IdlePrompt() const { return *idlePrompt_; }
    QMenu& RecentMenu() const { return *recent_; }

public slots:
    void Repaint();
    void FileNew();
    void FileOpen();
    void OpenPath(const QString& path);
    bool FileSave();
    bool FileSaveAs();
    void FileRun();
    void About();
    void Undo();
    void Redo();
    void AddBoard();
    void AddObject();
    void EditName();
    void EditLocation();
    void EditSize();
    void EditViewport();
    void EditScript();
    void TogglePaintMode();
    void SetShowAll(bool on);
    void ToggleDisplayFlag(int flag);
    void CopyNode(bool wholeBoard);
    void DeleteNode(const QString& question);
    // Delete with the board's or the object's question.
    void DeleteCurrent();
    void MoveCurrentTo(int32_t targetId);
    // Runs an edit and repaints.
    void Apply(const std::function<bool(KEditorDoc&)>& edit);
    void UpdateLockPanes();
    // The brush changed: the paint bar shows it anew.
    void BrushChanged();
    // The canvas's cursor or cells changed: title, status and canvas.
    void CanvasChanged();
    // "Brush Settings"; true on OK. The canvas gets the keyboard back.
    bool OpenBrushSettings();
    // Selection-mode Tab on a node of one look.
    void UniformBrushSettings();
    void SetBrushMode(KBrushMode mode);
    void Page(bool forward);
    void RunMenu(QMenu& menu, const QPoint& at);
    // A tool of the canvas's menus: the region from the cursor and anchor,
    // then the action (with its dialog, when it has one).
    void RunTool(KRegionKind region, KToolAction action);
    // "Tile ClipBoard" (Ctrl+T) and "Object ClipBoard" (Ctrl+C).
    void TileClipboard();
    void ObjectClipboard();
    // "Font Edit": OK keeps the edited sheet as one undo step.
    void FontEdit();
    // Says in the status bar why a command did nothing.
    void Refuse(const QString& why);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildMenus();
    void BuildPanes();
    void BuildStatusBar();
    void ShowLowerPane(bool paint);
    void UpdateTitle();
    void UpdateRecentMenu();
    void UpdateVideoMenu();
    bool SaveToChosenPath();
    // False when the user cancelled; unsaved changes are saved or dropped.
    bool MayDropChanges();
    bool Exec(QDialog& dialog);

    KEditorDoc& doc_;
    KFrameHooks hooks_;
    QSplitter* outer_ = nullptr;
    QSplitter* inner_ = nullptr;
    CSelectView* tree_ = nullptr;
    CVantorView* canvas_ = nullptr;
    QWidget* lower_ = nullptr;
    CToolView* tools_ = nullptr;
    CPaintView* paintBar_ = nullptr;
    QLabel* canvasStatus_ = nullptr;
    KPaintSettings paint_;
    KTileClipboard tiles_;
    uint64_t shownLoads_ = 0;
    QMenu* recent_ = nullptr;
    QList<QAction*> videoActions_;
    QLabel* lockPanes_[3] = {};
    QLabel* idlePrompt_ = nullptr;
    QAction* runNotice_ = nullptr;
    QAction* windowed_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    int displayFlags_ = 0;
    bool paintMode_ = false;
    bool quitConfirmed_ = false;
};

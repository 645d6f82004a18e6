#pragma once
// The editor's main window: menus, the splitters with the world tree, the
// canvas and the lower bar, and the document commands.

#include "KEditorDoc.h"

#include <QMainWindow>

#include <functional>

class CPaintView;
class CSelectView;
class CToolView;
class CVantorView;
class QAction;
class QMenu;
class QSplitter;

inline constexpr int kTreeWidth = 200;
inline constexpr int kBarHeight = 135;
inline constexpr const char* kAboutVersion = "1.1c";

enum class KUnsavedAnswer : uint8_t { Save = 0, Discard = 1, Cancel = 2 };

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
    // Where quav-runner is found and started; empty: the editor's own folder.
    QString programFolder;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(KEditorDoc& doc, KFrameHooks hooks = {});
    ~CMainFrame() override;

    KEditorDoc& Doc() { return doc_; }
    CSelectView& Tree() { return *tree_; }
    CVantorView& Canvas() { return *canvas_; }
    QSplitter& Outer() { return *outer_; }
    QSplitter& Inner() { return *inner_; }
    int DisplayFlags() const { return displayFlags_; }
    bool PaintMode() const { return paintMode_; }
    // The menu bar's action with this text ("&Run"), or none.
    QAction* FindAction(const QString& text) const;

    // The folder the editor runs from; quav-runner is started from it.
    QString ProgramFolder() const;

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
    void MoveCurrentTo(int32_t targetId);
    // Runs an edit and repaints.
    void Apply(const std::function<bool(KEditorDoc&)>& edit);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildMenus();
    void BuildPanes();
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
    QMenu* recent_ = nullptr;
    QList<QAction*> videoActions_;
    QAction* windowed_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    int displayFlags_ = 0;
    bool paintMode_ = false;
    bool quitConfirmed_ = false;
};

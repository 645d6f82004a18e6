#pragma once
// The frame's panes: the world tree (left), the canvas (upper right) and
// the two bars that take turns in the lower right pane.

#include "KBitmap.h"
#include "KTreeRows.h"

#include <QWidget>

class CMainFrame;
class KEditorDoc;
class QCheckBox;
class QMenu;
class QScrollBar;

// Display flags of the canvas.
inline constexpr int kFlagHideObjs = 1;
inline constexpr int kFlagFocus = 2;

class CSelectView : public QWidget {
    Q_OBJECT
public:
    CSelectView(KEditorDoc& doc, CMainFrame& frame);
    int RowOffset() const { return rowOffset_; }
    int ColumnOffset() const { return columnOffset_; }
    // Rows drawn by the last repaint.
    int RowsDrawn() const { return rowsDrawn_; }
    // Builds the menu the right button opens for the current node. Its
    // "Move" sub-menu fills itself when it is opened.
    QMenu* BuildContextMenu();
    QScrollBar& ScrollBar() const { return *scrollBar_; }
    // Another world: the list starts at its top, every board unfolded.
    void ResetView();
    // Scrolls so the current node's row shows, unfolding its board.
    void ShowCurrent();
    bool IsFolded(int32_t boardId) const { return folds_.count(boardId) != 0; }
    void SetFolded(int32_t boardId, bool folded);
    void UnfoldAll();
    // Rows the pane shows whole.
    int VisibleRows() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Mode : uint8_t { Idle = 0, DragView = 1, DragSelect = 2 };
    void SelectAt(int y);
    // Selects the node rows away from the current one (clamped to the list).
    void StepSelection(int64_t rows);
    void SelectRow(int64_t row);
    void SetRowOffset(int offset);
    void SyncScrollBar();
    // Fills menu with "&Here ..." for the node of id and a sub-menu for each
    // of its children, each filled in turn when it opens.
    void FillMoveMenu(QMenu& menu, int32_t id);
    void AddMoveSubMenu(QMenu& parent, const class Kobject& node);
    KEditorDoc& doc_;
    CMainFrame& frame_;
    KBitmap bitmap_;
    int rowOffset_ = 0;
    int columnOffset_ = 0;
    Mode mode_ = Mode::Idle;
    QPoint dragStart_;
    int dragRowOffset_ = 0;
    int dragColumnOffset_ = 0;
    int rowsDrawn_ = 0;
    QScrollBar* scrollBar_;
    KTreeFolds folds_;
};

// The properties bar: buttons for the dialogs, "PAINT", the three check
// boxes and the "Prop Viewer" panel.
class CToolView : public QWidget {
    Q_OBJECT
public:
    CToolView(KEditorDoc& doc, CMainFrame& frame);
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KEditorDoc& doc_;
    CMainFrame& frame_;
    QCheckBox* showAll_;
    QCheckBox* focus_;
    QCheckBox* hideObjs_;
    QWidget* viewer_;
    KBitmap bitmap_;
};


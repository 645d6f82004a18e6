#pragma once
// The frame's panes: the world tree (left), the canvas (upper right) and
// the two bars that take turns in the lower right pane.

#include "KBitmap.h"

#include <QWidget>

class CMainFrame;
class KEditorDoc;
class QCheckBox;
class QMenu;

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
    // Builds the menu the right button opens for the current node.
    QMenu* BuildContextMenu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    enum class Mode : uint8_t { Idle = 0, DragView = 1, DragSelect = 2 };
    void SelectAt(int y);
    void AddMoveMenu(QMenu& parent, const class Kobject& node);
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


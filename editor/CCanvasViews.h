#pragma once
// The canvas (upper right pane) and the paint bar (lower right pane in
// paint mode). Both are thin: what keys, clicks and buttons do lives in
// KCanvas.

#include "KBitmap.h"
#include "KCanvas.h"

#include <QWidget>

class CMainFrame;
class KEditorDoc;
class QCheckBox;
class QLineEdit;
class QMenu;
class QRadioButton;
class QScrollBar;
class QSlider;
class QSpinBox;

class CVantorView : public QWidget {
    Q_OBJECT
public:
    CVantorView(KEditorDoc& doc, CMainFrame& frame, KPaintSettings& paint);
    KCanvas& Core() { return canvas_; }
    // The window pixel at the top left of a board cell.
    QPoint CellPixel(int cellX, int cellY) const;
    // The menus of a right drag; built anew each time.
    QMenu* BuildToolMenu();
    QMenu* BuildPrimMenu();
    QScrollBar& HorizontalBar() { return *hBar_; }
    QScrollBar& VerticalBar() { return *vBar_; }
    // After another world is opened: scroll and cursor back to the start.
    void ResetView();
    // The client area the board is drawn in (without the scroll bars).
    QSize DrawArea() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Handle(const KCanvasOutcome& outcome);
    void ShowMenu(QMenu* menu);
    void ChooseNode();
    void UpdateScrollBars();
    void ScrollBarsMoved();
    int ViewCellsW() const;
    int ViewCellsH() const;

    KEditorDoc& doc_;
    CMainFrame& frame_;
    KCanvas canvas_;
    KBitmap bitmap_;
    QScrollBar* hBar_;
    QScrollBar* vBar_;
    bool updatingBars_ = false;
};

// "Brush Preview": the brush's glyph in its colours, large.
class CBrushPreview : public QWidget {
    Q_OBJECT
public:
    CBrushPreview(const KPaintSettings& paint, const KEditorDoc& doc, QWidget* parent);
    QSize sizeHint() const override { return {48, 48}; }

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const KPaintSettings& paint_;
    const KEditorDoc& doc_;
};

class CPaintView : public QWidget {
    Q_OBJECT
public:
    CPaintView(KEditorDoc& doc, CMainFrame& frame, KPaintSettings& paint);
    // Shows the brush, its mode, the slot and the steps.
    void Refresh();

private:
    CMainFrame& frame_;
    KPaintSettings& paint_;
    CBrushPreview* preview_;
    QLineEdit* modeText_;
    QRadioButton* modes_[3];
    QSlider* slot_;
    QCheckBox* showAttrib_;
    QSpinBox* steps_[2];
};

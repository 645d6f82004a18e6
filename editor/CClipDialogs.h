#pragma once
// "Tile ClipBoard" and "Object ClipBoard": each shows its clipboard and
// loads or saves it through its "&File" menu.

#include "KBitmap.h"
#include "KTileClipboard.h"

#include <QDialog>
#include <QWidget>

#include <functional>

class KEditorDoc;
class QCheckBox;

// Questions the dialogs ask, answered by the frame's hooks.
struct KClipDialogHooks {
    // A path to load (save false) or save to, for the given Qt filter; empty: cancelled.
    std::function<QString(bool save, const QString& filter)> choosePath;
    // "Load BMP As": 0 foreground, 1 background, -1 cancelled.
    std::function<int()> askBmpAs;
};

// A scrollable view dragged with the left button: one cell per step.
class CClipViewer : public QWidget {
    Q_OBJECT
public:
    CClipViewer(const QString& name, std::function<void(BITMAP*, int, int)> draw, const KEditorDoc& doc, QWidget* parent);
    int ScrollX() const { return scrollX_; }
    int ScrollY() const { return scrollY_; }
    // The contents' size in cells, for the scroll limits.
    void SetExtent(int w, int h);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int CellsAcross() const { return width() / 16; }
    int CellsDown() const { return height() / 16; }
    std::function<void(BITMAP*, int, int)> draw_;
    const KEditorDoc& doc_;
    int extentW_ = 0;
    int extentH_ = 0;
    int scrollX_ = 0;
    int scrollY_ = 0;
    QPoint dragStart_;
    int dragScrollX_ = 0;
    int dragScrollY_ = 0;
};

class CTileClipDialog : public QDialog {
    Q_OBJECT
public:
    CTileClipDialog(KTileClipboard& clip, KEditorDoc& doc, KClipDialogHooks hooks, QWidget* parent);
    void Load();
    void Save();
    QCheckBox& Skip() { return *skip_; }
    CClipViewer& Viewer() { return *viewer_; }
    void accept() override;

private:
    KTileClipboard& clip_;
    KEditorDoc& doc_;
    KClipDialogHooks hooks_;
    CClipViewer* viewer_;
    QCheckBox* skip_;
};

class CObjectClipDialog : public QDialog {
    Q_OBJECT
public:
    CObjectClipDialog(KEditorDoc& doc, KClipDialogHooks hooks, QWidget* parent);
    void Load();
    void Save();

private:
    KEditorDoc& doc_;
    KClipDialogHooks hooks_;
    CClipViewer* viewer_;
};

// Draws the clipboard's entries from a cell offset: an empty character as
// glyph 177, empty colours as the dialog shows them.
void KDrawTiles(BITMAP* target, const KTileClipboard& clip, Kfont& glyphs, int scrollX, int scrollY);

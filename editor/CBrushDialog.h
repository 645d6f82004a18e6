#pragma once
// "Brush Settings": the character picker, the two colour pickers, the
// preview, the attribute, "Sprite" and "Empty". The pickers change the
// brush at once; Cancel puts back the whole brush state kept on opening.

#include "KCanvas.h"

#include <QDialog>

class CBrushPreview;
class KEditorDoc;
class QLabel;
class QRadioButton;

// 16 x 16 swatches of 11 x 10 pixels; a click or a drag picks.
class CColourPicker : public QWidget {
    Q_OBJECT
public:
    CColourPicker(const QString& name, int& colour, const KEditorDoc& doc, QWidget* parent);

signals:
    void Picked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void PickAt(QPoint at);
    int& colour_;
    const KEditorDoc& doc_;
};

// The font sheet at twice its size; Ctrl + drag scrolls it by glyphs.
class CCharPicker : public QWidget {
    Q_OBJECT
public:
    CCharPicker(KPaintSettings& paint, const KEditorDoc& doc, QWidget* parent);
    int ColumnOffset() const { return columnOffset_; }
    int RowOffset() const { return rowOffset_; }
    // Scrolls to a first glyph row (the font editor's slider).
    void SetRowOffset(int rows);

signals:
    void Picked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    KPaintSettings& paint_;
    const KEditorDoc& doc_;
    int columnOffset_ = 0;
    int rowOffset_ = 0;
    bool dragging_ = false;
    QPoint dragStart_;
    int dragColumn_ = 0;
    int dragRow_ = 0;
};

class CBrushDialog : public QDialog {
    Q_OBJECT
public:
    CBrushDialog(KPaintSettings& paint, const KEditorDoc& doc, QWidget* parent);
    CCharPicker& Characters() { return *characters_; }
    CColourPicker& Foreground() { return *foreground_; }
    CColourPicker& Background() { return *background_; }

    void reject() override;

private:
    void Changed();
    KPaintSettings& paint_;
    const KEditorDoc& doc_;
    const KPaintSettings kept_;
    CCharPicker* characters_;
    CColourPicker* foreground_;
    CColourPicker* background_;
    CBrushPreview* preview_;
    QLabel* text_;
    QRadioButton* attributes_[4];
};

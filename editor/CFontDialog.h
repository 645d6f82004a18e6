#pragma once
// "Font Edit": the glyph grid, the character picker over the whole sheet
// with its slider, the preview, the mode radios, the row, flip, copy,
// paste and invert buttons and the "&File" menu; and "Color Select". What
// each does lives in KFontEditor.

#include "KFontEdit.h"

#include <QDialog>

#include <functional>

class CBrushPreview;
class CCharPicker;
class CColourPicker;
class QPushButton;
class QRadioButton;
class QSlider;

// What the dialog asks of the frame: the boxes and file choosers tests
// answer, and the canvas behind it shown anew after an edit.
struct KFontDialogSetup {
    std::function<bool(QDialog& dialog)> runDialog;
    std::function<bool(const QString& caption, const QString& text)> confirm;
    std::function<QString(bool save)> choosePath;
    std::function<void()> changed;
};

// "Char Edit": the current glyph in its own colours, 8 x 8, with the edit
// cursor; a click or a drag moves the cursor.
class CGlyphGrid : public QWidget {
    Q_OBJECT
public:
    CGlyphGrid(KFontEditor& editor, const KEditorDoc& doc, QWidget* parent);

signals:
    void Moved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void PointAt(QPoint at);
    KFontEditor& editor_;
    const KEditorDoc& doc_;
};

// "Color Select": the foreground picker; the arrows step the colour.
class CColourDialog : public QDialog {
    Q_OBJECT
public:
    CColourDialog(int& colour, const KEditorDoc& doc, QWidget* parent);
    CColourPicker& Picker() { return *picker_; }
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int& colour_;
    const int kept_;
    CColourPicker* picker_;
};

class CFontDialog : public QDialog {
    Q_OBJECT
public:
    CFontDialog(KFontEditor& editor, KEditorDoc& doc, KPaintSettings& paint, KFontDialogSetup setup, QWidget* parent);
    CGlyphGrid& Grid() { return *grid_; }
    CCharPicker& Characters() { return *characters_; }
    QSlider& Slider() { return *slider_; }
    // "&Change Color" and typed "c": "Color Select".
    void ChangeColour();
    void Load();
    void Save();
    // Cancel, Escape and closing ask first; only OK closes.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Pixels, the sheet or the brush changed: everything that shows them repaints.
    void Changed();
    QPushButton* AddButton(const QString& text, const std::function<bool()>& action);

    KFontEditor& editor_;
    KEditorDoc& doc_;
    KPaintSettings& paint_;
    KFontDialogSetup setup_;
    CGlyphGrid* grid_;
    CCharPicker* characters_;
    CBrushPreview* preview_;
    QSlider* slider_;
    QRadioButton* modes_[2];
};

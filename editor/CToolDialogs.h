#pragma once
// The dialogs of the canvas's tools: "Filter" (which brush fields a
// Replace writes) and the generators' "Fade", "Distance Fade", "Slime fade"
// and "Speckle". Each only gathers its settings; the tools run in KTools.

#include "KTools.h"

#include <QDialog>
#include <QWidget>

#include <vector>

class KEditorDoc;
class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

class CFilterDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFilterDialog(QWidget* parent);
    // The brush with every unchecked field made -1 (keep the cell's).
    KBrushCell Filtered(KBrushCell brush) const;
    QCheckBox* Box(int field) const { return boxes_[field]; }

private:
    QCheckBox* boxes_[4];
};

// The fade, distance and slime dialogs: a fade set chosen by the
// "Set: ..." button, a Random slider, OK and Cancel.
class CGeneratorDialog : public QDialog {
    Q_OBJECT
public:
    CGeneratorDialog(const QString& title, std::vector<KFadeSet> sets, QWidget* parent);
    const KFadeSet& Set() const { return sets_[static_cast<size_t>(setIndex_)]; }
    QPushButton& SetButton() { return *setButton_; }
    // Chooses the set at this place of the list.
    void ChooseSet(int index);
    QMenu* BuildSetMenu();
    QSlider& RandomSlider() { return *random_; }
    int Random() const;

signals:
    void SetChosen();

protected:
    // A row of a label and a slider whose text follows its value.
    QSlider* AddSlider(int minimum, int maximum, int start, std::function<QString(int)> text);
    // Leaves OK off, with the reason, when a list the dialog needs is empty.
    void Finish(bool usable, const QString& why);

    std::vector<KFadeSet> sets_;
    int setIndex_ = 0;
    QPushButton* setButton_;
    QSlider* random_ = nullptr;
    class QGridLayout* grid_;
    QDialogButtonBox* buttons_;
};

// "Fade Viewer": the chosen pattern in the chosen set's characters.
class CFadeViewer : public QWidget {
    Q_OBJECT
public:
    CFadeViewer(const KEditorDoc& doc, const KBrushCell& brush, QWidget* parent);
    void Show(const KBlendPattern* pattern, const KFadeSet* set);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const KEditorDoc& doc_;
    KBrushCell brush_;
    const KBlendPattern* pattern_ = nullptr;
    const KFadeSet* set_ = nullptr;
};

class CFadeDialog : public CGeneratorDialog {
    Q_OBJECT
public:
    CFadeDialog(const KEditorDoc& doc, const KBrushCell& brush, std::vector<KFadeSet> sets,
                std::vector<KBlendPattern> patterns, QWidget* parent);
    const KBlendPattern& Pattern() const;
    QSlider& BlendSlider() { return *blend_; }

private:
    void Refresh();
    std::vector<KBlendPattern> patterns_;
    CFadeViewer* viewer_;
    QSlider* blend_;
    QLabel* name_;
};

class CDistanceDialog : public CGeneratorDialog {
    Q_OBJECT
public:
    CDistanceDialog(std::vector<KFadeSet> sets, QWidget* parent);
    int XPosition() const;
    int YPosition() const;

private:
    QSlider* x_;
    QSlider* y_;
};

class CSlimeDialog : public CGeneratorDialog {
    Q_OBJECT
public:
    CSlimeDialog(std::vector<KFadeSet> sets, QWidget* parent);
};

class CSpeckleDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSpeckleDialog(QWidget* parent);
    int Percentage() const;
    QSpinBox& Field() { return *field_; }

private:
    QSpinBox* field_;
};

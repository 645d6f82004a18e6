#include "CToolDialogs.h"

#include "KEditorDoc.h"
#include "KQtImage.h"
#include "Kinterface.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QDialogButtonBox* OkCancel(QDialog& dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}
}  // namespace

// --- Filter ----------------------------------------------------------------------

CFilterDialog::CFilterDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Filter");
    auto* layout = new QVBoxLayout(this);
    static constexpr const char* kFields[4] = {"Char", "Fg", "Bg", "Attribute"};
    for (int i = 0; i < 4; ++i) {
        boxes_[i] = new QCheckBox(kFields[i], this);
        boxes_[i]->setChecked(true);
        layout->addWidget(boxes_[i]);
    }
    layout->addWidget(OkCancel(*this));
}

KBrushCell CFilterDialog::Filtered(KBrushCell brush) const
{
    int* fields[4] = {&brush.chr, &brush.fg, &brush.bg, &brush.attrib};
    for (int i = 0; i < 4; ++i) {
        if (!boxes_[i]->isChecked()) *fields[i] = -1;
    }
    return brush;
}

// --- Generators ------------------------------------------------------------------

CGeneratorDialog::CGeneratorDialog(const QString& title, std::vector<KFadeSet> sets, QWidget* parent)
    : QDialog(parent), sets_(std::move(sets)), setButton_(new QPushButton("Set: Basic", this)), grid_(new QGridLayout(this)),
      buttons_(OkCancel(*this))
{
    setWindowTitle(title);
    setButton_->setObjectName("set");
    connect(setButton_, &QPushButton::clicked, this, [this] {
        QMenu* menu = BuildSetMenu();
        menu->exec(setButton_->mapToGlobal(QPoint(0, setButton_->height())));
        menu->deleteLater();
    });
    if (!sets_.empty()) ChooseSet(0);
}

QMenu* CGeneratorDialog::BuildSetMenu()
{
    auto* menu = new QMenu(this);
    for (size_t i = 0; i < sets_.size(); ++i) {
        menu->addAction(QString::fromStdString(sets_[i].name), this, [this, i] { ChooseSet(static_cast<int>(i)); });
    }
    menu->addSeparator();
    menu->addAction("&Cancel");
    return menu;
}

void CGeneratorDialog::ChooseSet(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= sets_.size()) return;
    setIndex_ = index;
    setButton_->setText(QString("Set: %1").arg(QString::fromStdString(sets_[static_cast<size_t>(index)].name)));
    emit SetChosen();
    update();
}

int CGeneratorDialog::Random() const { return random_ != nullptr ? random_->value() : 0; }

QSlider* CGeneratorDialog::AddSlider(int minimum, int maximum, int start, std::function<QString(int)> text)
{
    auto* slider = new QSlider(Qt::Horizontal, this);
    auto* label = new QLabel(this);
    slider->setRange(minimum, maximum);
    connect(slider, &QSlider::valueChanged, label, [label, text](int value) { label->setText(text(value)); });
    slider->setValue(start);
    label->setText(text(start));
    const int row = grid_->rowCount();
    grid_->addWidget(slider, row, 0);
    grid_->addWidget(label, row, 1);
    return slider;
}

void CGeneratorDialog::Finish(bool usable, const QString& why)
{
    const int row = grid_->rowCount();
    grid_->addWidget(setButton_, row, 0);
    if (!usable) {
        auto* reason = new QLabel(why, this);
        reason->setObjectName("reason");
        grid_->addWidget(reason, row + 1, 0, 1, 2);
        setButton_->setEnabled(!sets_.empty());
    }
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(usable);
    grid_->addWidget(buttons_, grid_->rowCount(), 0, 1, 2);
}

CFadeViewer::CFadeViewer(const KEditorDoc& doc, const KBrushCell& brush, QWidget* parent)
    : QWidget(parent), doc_(doc), brush_(brush)
{
    setObjectName("Fade Viewer");
    setFixedSize(160, 160);
}

void CFadeViewer::Show(const KBlendPattern* pattern, const KFadeSet* set)
{
    pattern_ = pattern;
    set_ = set;
    update();
}

void CFadeViewer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const Kinterface& engine = doc_.Engine();
    if (pattern_ == nullptr || set_ == nullptr || !engine.vFont) return;
    KBitmap buffer = KMakeBitmap(80, 80);
    if (!buffer) {
        const_cast<Kinterface&>(engine).Report("Unable to create vBuffer for FadeViewer", "Vantor", __LINE__);
        return;
    }
    for (size_t y = 0; y < 10; ++y) {
        for (size_t x = 0; x < 10; ++x) {
            const int chr = set_->codes[static_cast<size_t>(pattern_->table[y][x])];
            engine.vFont->RenderGlyphTo(buffer.get(), chr, brush_.fg, brush_.bg, static_cast<int>(x) * 8, static_cast<int>(y) * 8);
        }
    }
    painter.drawImage(rect(), KToQImage(buffer.get(), engine.vFont->Palette()));
}

CFadeDialog::CFadeDialog(const KEditorDoc& doc, const KBrushCell& brush, std::vector<KFadeSet> sets,
                         std::vector<KBlendPattern> patterns, QWidget* parent)
    : CGeneratorDialog("Fade", std::move(sets), parent), patterns_(std::move(patterns)),
      viewer_(new CFadeViewer(doc, brush, this)), name_(new QLabel(this))
{
    grid_->addWidget(viewer_, 0, 0, 1, 2);
    blend_ = new QSlider(Qt::Horizontal, this);
    blend_->setObjectName("blend");
    blend_->setRange(0, std::max(0, static_cast<int>(patterns_.size()) - 1));
    grid_->addWidget(blend_, 1, 0);
    grid_->addWidget(name_, 1, 1);
    connect(blend_, &QSlider::valueChanged, this, &CFadeDialog::Refresh);
    random_ = AddSlider(0, 15, 0, [](int value) { return QString("Random: %1").arg(value); });
    connect(this, &CGeneratorDialog::SetChosen, this, &CFadeDialog::Refresh);
    Finish(!sets_.empty() && !patterns_.empty(), "No fade sets or blend patterns could be read from the Library folder.");
    Refresh();
}

const KBlendPattern& CFadeDialog::Pattern() const { return patterns_[static_cast<size_t>(blend_->value())]; }

void CFadeDialog::Refresh()
{
    const bool ready = !patterns_.empty() && !sets_.empty();
    name_->setText(patterns_.empty() ? QString() : QString::fromStdString(Pattern().name));
    viewer_->Show(ready ? &Pattern() : nullptr, ready ? &Set() : nullptr);
}

CDistanceDialog::CDistanceDialog(std::vector<KFadeSet> sets, QWidget* parent)
    : CGeneratorDialog("Distance Fade", std::move(sets), parent)
{
    x_ = AddSlider(10, 400, 35, [](int value) { return QString::asprintf("X multiplier: %#.2f", value / 100.0); });
    y_ = AddSlider(10, 400, 45, [](int value) { return QString::asprintf("Y multiplier: %#.2f", value / 100.0); });
    random_ = AddSlider(0, 15, 4, [](int value) { return QString("Random: %1").arg(value); });
    Finish(!sets_.empty(), "No fade sets could be read from Library/FadeSets.txt.");
}

int CDistanceDialog::XPosition() const { return x_->value(); }
int CDistanceDialog::YPosition() const { return y_->value(); }

CSlimeDialog::CSlimeDialog(std::vector<KFadeSet> sets, QWidget* parent) : CGeneratorDialog("Slime fade", std::move(sets), parent)
{
    random_ = AddSlider(0, 15, 5, [](int value) { return QString("Random: %1").arg(value); });
    Finish(!sets_.empty(), "No fade sets could be read from Library/FadeSets.txt.");
}

CSpeckleDialog::CSpeckleDialog(QWidget* parent) : QDialog(parent), field_(new QSpinBox(this))
{
    setWindowTitle("Speckle");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Percentage of Frequency", this));
    field_->setRange(0, 99);
    field_->setValue(0);
    layout->addWidget(field_);
    layout->addWidget(OkCancel(*this));
}

int CSpeckleDialog::Percentage() const { return field_->value(); }

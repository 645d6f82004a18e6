#include "CFontDialog.h"

#include "CBrushDialog.h"
#include "CCanvasViews.h"
#include "KEditorDoc.h"
#include "KQtImage.h"
#include "Kfont.h"
#include "Kinterface.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr int kGridPixels = 160;  // 20 pixels a glyph pixel

std::optional<KFontKey> ArrowKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Left: return KFontKey::Left;
    case Qt::Key_Right: return KFontKey::Right;
    case Qt::Key_Up: return KFontKey::Up;
    case Qt::Key_Down: return KFontKey::Down;
    default: return std::nullopt;
    }
}

// The dialog keeps the keyboard: its controls are worked by the mouse.
template <typename Widget>
Widget* NoFocus(Widget* widget)
{
    widget->setFocusPolicy(Qt::NoFocus);
    return widget;
}

}  // namespace

// --- Char Edit ----------------------------------------------------------------------

CGlyphGrid::CGlyphGrid(KFontEditor& editor, const KEditorDoc& doc, QWidget* parent)
    : QWidget(parent), editor_(editor), doc_(doc)
{
    setObjectName("Char Edit");
    setFixedSize(kGridPixels, kGridPixels);
}

void CGlyphGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    KBitmap glyph = KMakeBitmap(kGlyphSide, kGlyphSide);
    if (!glyph) return;
    // The sheet's own colours, as a sprite cell shows them.
    Kfont* font = doc_.Engine().vFont.get();
    if (font == nullptr) return;
    font->RenderGlyphTo(glyph.get(), editor_.Glyph(), -2, -2, 0, 0);
    painter.drawImage(rect(), KToQImage(glyph.get(), font->Palette()));
    const int cellW = width() / kGlyphSide;
    const int cellH = height() / kGlyphSide;
    const QRect cursor(editor_.CursorX() * cellW, editor_.CursorY() * cellH, cellW - 1, cellH - 1);
    painter.setPen(Qt::white);
    painter.drawRect(cursor);
    painter.setPen(Qt::black);
    painter.drawRect(cursor.adjusted(1, 1, -1, -1));
}

void CGlyphGrid::PointAt(QPoint at)
{
    if (editor_.PointAt(at.x(), at.y(), width(), height())) {
        update();
        emit Moved();
    }
}

void CGlyphGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) PointAt(event->position().toPoint());
}

void CGlyphGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) PointAt(event->position().toPoint());
}

// --- Color Select ---------------------------------------------------------------------

CColourDialog::CColourDialog(int& colour, const KEditorDoc& doc, QWidget* parent)
    : QDialog(parent), colour_(colour), kept_(colour), picker_(new CColourPicker("FG color Select", colour, doc, this))
{
    setWindowTitle("Color Select");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picker_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QAbstractButton* button : buttons->buttons()) NoFocus(button);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CColourDialog::keyPressEvent(QKeyEvent* event)
{
    if (const std::optional<KFontKey> key = ArrowKey(event->key())) {
        colour_ = KStepColour(colour_, *key);
        picker_->update();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CColourDialog::reject()
{
    colour_ = kept_;
    QDialog::reject();
}

// --- Font Edit ------------------------------------------------------------------------

CFontDialog::CFontDialog(KFontEditor& editor, KEditorDoc& doc, KPaintSettings& paint, KFontDialogSetup setup,
                         QWidget* parent)
    : QDialog(parent), editor_(editor), doc_(doc), paint_(paint), setup_(std::move(setup)),
      grid_(new CGlyphGrid(editor, doc, this)), characters_(new CCharPicker(paint, doc, this)),
      preview_(new CBrushPreview(paint, doc, this)), slider_(NoFocus(new QSlider(Qt::Vertical, this)))
{
    setWindowTitle("Font Edit");
    preview_->setObjectName("Preview");
    auto* layout = new QGridLayout(this);
    auto* menus = new QMenuBar(this);
    QMenu* file = menus->addMenu("&File");
    file->addAction("&Load", this, &CFontDialog::Load);
    file->addAction("&Save", this, &CFontDialog::Save);
    layout->setMenuBar(menus);

    layout->addWidget(grid_, 0, 0, 4, 1);
    layout->addWidget(characters_, 0, 1, 4, 1);
    slider_->setRange(0, kSliderMax);
    layout->addWidget(slider_, 0, 2, 4, 1);
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        characters_->SetRowOffset(KSliderRowOffset(KBitmapHeight(editor_.Font().sheet.get()), position, slider_->maximum()));
    });

    auto* side = new QGridLayout;
    side->addWidget(preview_, 0, 0);
    static constexpr const char* kModeNames[2] = {"Char Mode", "Sprite Mode"};
    for (int i = 0; i < 2; ++i) {
        modes_[i] = NoFocus(new QRadioButton(kModeNames[i], this));
        side->addWidget(modes_[i], 1 + i, 0);
        const auto mode = static_cast<KGlyphMode>(i);
        connect(modes_[i], &QRadioButton::clicked, this, [this, mode] { editor_.SetMode(mode); });
    }
    modes_[0]->setChecked(true);
    side->addWidget(AddButton("&Change Color", [this] {
                        ChangeColour();
                        return false;
                    }),
                    3, 0);
    layout->addLayout(side, 0, 3, 4, 1);

    auto* buttons = new QGridLayout;
    const std::pair<const char*, std::function<bool()>> kButtons[] = {
        {"New Line", [this] { return editor_.NewLine(); }},
        {"Delete Line", [this] { return editor_.DeleteLine(); }},
        {"Flip Vertical", [this] { return editor_.FlipVertical(); }},
        {"Flip Horizontal", [this] { return editor_.FlipHorizontal(); }},
        {"Copy", [this] {
             editor_.Copy();
             return false;
         }},
        {"Paste", [this] { return editor_.Paste(); }},
        {"Invert", [this] { return editor_.Invert(); }},
    };
    int at = 0;
    for (const auto& [text, action] : kButtons) {
        buttons->addWidget(AddButton(text, action), at / 4, at % 4);
        ++at;
    }
    layout->addLayout(buttons, 4, 0, 1, 4);
    auto* closing = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QAbstractButton* button : closing->buttons()) NoFocus(button);
    layout->addWidget(closing, 5, 0, 1, 4);
    connect(closing, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(closing, &QDialogButtonBox::rejected, this, &CFontDialog::reject);
    connect(grid_, &CGlyphGrid::Moved, this, &CFontDialog::Changed);
    connect(characters_, &CCharPicker::Picked, this, &CFontDialog::Changed);
    setFocusPolicy(Qt::StrongFocus);
}

QPushButton* CFontDialog::AddButton(const QString& text, const std::function<bool()>& action)
{
    auto* button = NoFocus(new QPushButton(text, this));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, action] {
        if (action()) Changed();
    });
    return button;
}

void CFontDialog::Changed()
{
    grid_->update();
    characters_->update();
    preview_->update();
    if (setup_.changed) setup_.changed();
}

void CFontDialog::keyPressEvent(QKeyEvent* event)
{
    std::optional<KFontKey> key = ArrowKey(event->key());
    if (event->key() == Qt::Key_Space) key = KFontKey::Space;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) key = KFontKey::Enter;
    if (key) {
        if (editor_.Key(*key)) Changed();
        return;
    }
    if (event->text() == "c" || event->text() == "C") {
        ChangeColour();
        return;
    }
    // Escape asks as Cancel does; every other typed character is ignored.
    if (event->key() == Qt::Key_Escape) QDialog::keyPressEvent(event);
}

void CFontDialog::ChangeColour()
{
    CColourDialog dialog(paint_.fg, doc_, this);
    setup_.runDialog(dialog);
    Changed();
}

void CFontDialog::Load()
{
    const QString path = setup_.choosePath(false);
    if (!path.isEmpty() && editor_.Load(path.toStdString())) Changed();
}

void CFontDialog::Save()
{
    const QString path = setup_.choosePath(true);
    if (!path.isEmpty()) editor_.Save(path.toStdString());
}

void CFontDialog::reject()
{
    if (setup_.confirm("Confirm Cancel", "Discard Changes ?")) QDialog::reject();
}

#include "CBrushDialog.h"

#include "CCanvasViews.h"
#include "KEditorDoc.h"
#include "KQtImage.h"
#include "Kinterface.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int kPickerGlyphs = 16;  // glyphs shown across and down
constexpr int kPickerCell = 16;    // each at twice its 8 pixels

QColor PaletteColour(const Kinterface& engine, int index)
{
    if (!engine.vFont || index < 0 || index > 255) return Qt::black;
    const KRGB& c = engine.vFont->Palette()[static_cast<size_t>(index)];
    auto widen = [](uint8_t level) { return std::min<int>(level, 63) * 255 / 63; };
    return {widen(c.r), widen(c.g), widen(c.b)};
}
}  // namespace

// --- Colour picker --------------------------------------------------------------

CColourPicker::CColourPicker(const QString& name, int& colour, const KEditorDoc& doc, QWidget* parent)
    : QWidget(parent), colour_(colour), doc_(doc)
{
    setObjectName(name);
    setFixedSize(16 * kSwatchW, 16 * kSwatchH);
}

void CColourPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int index = 0; index < 256; ++index) {
        const QRect swatch((index % 16) * kSwatchW, (index / 16) * kSwatchH, kSwatchW, kSwatchH);
        painter.fillRect(swatch, PaletteColour(doc_.Engine(), index));
    }
    if (colour_ >= 0 && colour_ <= 255) {
        painter.setPen(Qt::white);
        painter.drawRect((colour_ % 16) * kSwatchW, (colour_ / 16) * kSwatchH, kSwatchW - 1, kSwatchH - 1);
    }
}

void CColourPicker::PickAt(QPoint at)
{
    const int picked = KColourAt(at.x(), at.y());
    if (picked < 0 || picked == colour_) return;
    colour_ = picked;
    update();
    emit Picked();
}

void CColourPicker::mousePressEvent(QMouseEvent* event) { PickAt(event->position().toPoint()); }

void CColourPicker::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) PickAt(event->position().toPoint());
}

// --- Character picker -------------------------------------------------------------

CCharPicker::CCharPicker(KPaintSettings& paint, const KEditorDoc& doc, QWidget* parent)
    : QWidget(parent), paint_(paint), doc_(doc)
{
    setObjectName("Char Select");
    setFixedSize(kPickerGlyphs * kPickerCell, kPickerGlyphs * kPickerCell);
}

void CCharPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const Kinterface& engine = doc_.Engine();
    if (!engine.vFont || !engine.vFont->sheet) return;
    const QImage sheet = KToQImage(engine.vFont->sheet.get(), engine.vFont->Palette());
    painter.drawImage(QRect(-columnOffset_ * kPickerCell, -rowOffset_ * kPickerCell, sheet.width() * 2, sheet.height() * 2),
                      sheet);
    const int chr = paint_.chr;
    if (chr >= 0 && chr < engine.vFont->glyphCount) {
        const int x = engine.vFont->glyphX[static_cast<size_t>(chr)] / 8 - columnOffset_;
        const int y = engine.vFont->glyphY[static_cast<size_t>(chr)] / 8 - rowOffset_;
        painter.setPen(Qt::white);
        painter.drawRect(x * kPickerCell, y * kPickerCell, kPickerCell - 1, kPickerCell - 1);
    }
}

void CCharPicker::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->modifiers() & Qt::ControlModifier) {
        dragging_ = true;
        dragStart_ = at;
        dragColumn_ = columnOffset_;
        dragRow_ = rowOffset_;
        return;
    }
    const Kinterface& engine = doc_.Engine();
    if (!engine.vFont) return;
    const int chr = KPickCharacter(*engine.vFont, at.x(), at.y(), columnOffset_, rowOffset_);
    if (chr < 0) return;
    paint_.chr = chr;
    if (paint_.fg == -2) paint_.bg = KSpriteBackground(*engine.vFont, chr);
    update();
    emit Picked();
}

void CCharPicker::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_) return;
    const Kinterface& engine = doc_.Engine();
    const int sheetW = engine.vFont && engine.vFont->sheet ? KBitmapWidth(engine.vFont->sheet.get()) / 8 : 0;
    const int sheetH = engine.vFont && engine.vFont->sheet ? KBitmapHeight(engine.vFont->sheet.get()) / 8 : 0;
    const QPoint at = event->position().toPoint();
    // Dragging pulls the sheet along under the pointer.
    columnOffset_ = std::clamp(dragColumn_ - (at.x() - dragStart_.x()) / kPickerCell, 0, std::max(0, sheetW - kPickerGlyphs));
    rowOffset_ = std::clamp(dragRow_ - (at.y() - dragStart_.y()) / kPickerCell, 0, std::max(0, sheetH - kPickerGlyphs));
    update();
}

void CCharPicker::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void CCharPicker::SetRowOffset(int rows)
{
    rowOffset_ = std::max(0, rows);
    update();
}

// --- Dialog -------------------------------------------------------------------------

CBrushDialog::CBrushDialog(KPaintSettings& paint, const KEditorDoc& doc, QWidget* parent)
    : QDialog(parent), paint_(paint), doc_(doc), kept_(paint), characters_(new CCharPicker(paint, doc, this)),
      foreground_(new CColourPicker("FG color Select", paint.fg, doc, this)),
      background_(new CColourPicker("BG color Select", paint.bg, doc, this)),
      preview_(new CBrushPreview(paint, doc, this)), text_(new QLabel(this))
{
    setWindowTitle("Brush Settings");
    preview_->setObjectName("Preview");
    text_->setObjectName("brushText");
    auto* layout = new QGridLayout(this);
    layout->addWidget(characters_, 0, 0, 3, 1);
    layout->addWidget(foreground_, 0, 1);
    layout->addWidget(background_, 1, 1);
    auto* side = new QGridLayout;
    side->addWidget(preview_, 0, 0);
    side->addWidget(text_, 1, 0);
    static constexpr const char* kAttributes[4] = {"None", "Solid", "Breakable", "Water"};
    for (int i = 0; i < 4; ++i) {
        attributes_[i] = new QRadioButton(kAttributes[i], this);
        side->addWidget(attributes_[i], 2 + i, 0);
        connect(attributes_[i], &QRadioButton::clicked, this, [this, i] {
            paint_.attrib = i;
            Changed();
        });
    }
    // A brush attribute outside 0 to 3 checks none of them.
    if (paint.attrib >= 0 && paint.attrib <= 3) attributes_[paint.attrib]->setChecked(true);
    auto* sprite = new QPushButton("Sprite", this);
    auto* empty = new QPushButton("Empty", this);
    side->addWidget(sprite, 6, 0);
    side->addWidget(empty, 7, 0);
    layout->addLayout(side, 0, 2, 2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons, 3, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(sprite, &QPushButton::clicked, this, [this] {
        paint_.fg = -2;
        if (doc_.Engine().vFont) paint_.bg = KSpriteBackground(*doc_.Engine().vFont, paint_.chr);
        Changed();
    });
    connect(empty, &QPushButton::clicked, this, [this] {
        paint_.chr = paint_.fg = paint_.bg = paint_.attrib = 0;
        Changed();
    });
    for (auto* picker : {foreground_, background_}) connect(picker, &CColourPicker::Picked, this, &CBrushDialog::Changed);
    connect(characters_, &CCharPicker::Picked, this, &CBrushDialog::Changed);
    Changed();
}

void CBrushDialog::Changed()
{
    text_->setText(QString::asprintf("%i %i %i %i", paint_.chr, paint_.fg, paint_.bg, paint_.attrib));
    preview_->update();
    foreground_->update();
    background_->update();
    characters_->update();
}

void CBrushDialog::reject()
{
    paint_ = kept_;
    QDialog::reject();
}

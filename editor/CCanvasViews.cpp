#include "CCanvasViews.h"

#include "CMainFrame.h"
#include "KEditorDoc.h"
#include "KQtImage.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr int kCellPixels = 8;

std::optional<KCanvasKey> CanvasKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Left: return KCanvasKey::Left;
    case Qt::Key_Right: return KCanvasKey::Right;
    case Qt::Key_Up: return KCanvasKey::Up;
    case Qt::Key_Down: return KCanvasKey::Down;
    case Qt::Key_Space: return KCanvasKey::Space;
    case Qt::Key_Shift: return KCanvasKey::ShiftDown;
    case Qt::Key_Return:
    case Qt::Key_Enter: return KCanvasKey::Enter;
    case Qt::Key_Tab: return KCanvasKey::Tab;
    case Qt::Key_Insert: return KCanvasKey::Insert;
    case Qt::Key_Delete: return KCanvasKey::Delete;
    case Qt::Key_Home: return KCanvasKey::Home;
    case Qt::Key_End: return KCanvasKey::End;
    case Qt::Key_PageUp: return KCanvasKey::PageUp;
    case Qt::Key_PageDown: return KCanvasKey::PageDown;
    case Qt::Key_F1: return KCanvasKey::F1;
    case Qt::Key_F2: return KCanvasKey::F2;
    case Qt::Key_Menu: return KCanvasKey::Menu;
    default: return std::nullopt;
    }
}

// The typed character the Text brush writes, or -1.
int TypedCode(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Escape: return 27;
    default: break;
    }
    const QString text = event.text();
    if (text.isEmpty()) return -1;
    const char16_t code = text.at(0).unicode();
    return code >= 32 && code < 256 ? code : -1;
}

// A menu of this table's items: entries with children are sub-menus, the
// others run a tool on a region; entries without an action are shown but
// cannot be chosen yet (the tile clipboard's).
struct MenuItem {
    const char* text;
    std::vector<MenuItem> items = {};
    int region = -1;
    int action = -1;
};

void AddItems(QMenu& menu, const std::vector<MenuItem>& items, CMainFrame& frame)
{
    for (const MenuItem& item : items) {
        if (!item.items.empty()) {
            AddItems(*menu.addMenu(item.text), item.items, frame);
        } else if (item.action < 0) {
            menu.addAction(item.text)->setEnabled(false);
        } else {
            const auto region = static_cast<KRegionKind>(item.region);
            const auto action = static_cast<KToolAction>(item.action);
            menu.addAction(item.text, &frame, [&frame, region, action] { frame.RunTool(region, action); });
        }
    }
}

constexpr int R(KRegionKind kind) { return static_cast<int>(kind); }
constexpr int A(KToolAction action) { return static_cast<int>(action); }

// Fill, the fades and Speckle over a region, as the menus offer them.
std::vector<MenuItem> GeneratorItems(KRegionKind kind, bool slime, bool speckle)
{
    std::vector<MenuItem> fades = {{"&Normal", {}, R(kind), A(KToolAction::Fade)},
                                   {"&Distance", {}, R(kind), A(KToolAction::Distance)}};
    if (slime) fades.push_back({"&Slime", {}, R(kind), A(KToolAction::Slime)});
    std::vector<MenuItem> items = {{"&Fill", {}, R(kind), A(KToolAction::Fill)}, {"Fa&de", fades}};
    if (speckle) items.push_back({"&Speckle", {}, R(kind), A(KToolAction::Speckle)});
    return items;
}

std::vector<MenuItem> ReplaceItems(KRegionKind kind)
{
    return {{"&Fill", {}, R(kind), A(KToolAction::ReplaceFill)}, {"&Speckle", {}, R(kind), A(KToolAction::ReplaceSpeckle)}};
}

}  // namespace

// --- Canvas -----------------------------------------------------------------------

CVantorView::CVantorView(KEditorDoc& doc, CMainFrame& frame, KPaintSettings& paint)
    : doc_(doc), frame_(frame), canvas_(doc, paint), hBar_(new QScrollBar(Qt::Horizontal, this)),
      vBar_(new QScrollBar(Qt::Vertical, this))
{
    setObjectName("canvas");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    for (QScrollBar* bar : {hBar_, vBar_}) {
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QScrollBar::valueChanged, this, &CVantorView::ScrollBarsMoved);
    }
}

QSize CVantorView::DrawArea() const
{
    return {std::max(1, width() - vBar_->sizeHint().width()), std::max(1, height() - hBar_->sizeHint().height())};
}

int CVantorView::ViewCellsW() const
{
    return static_cast<int>(static_cast<float>(DrawArea().width()) * canvas_.Zoom()) / kCellPixels;
}

int CVantorView::ViewCellsH() const
{
    return static_cast<int>(static_cast<float>(DrawArea().height()) * canvas_.Zoom()) / kCellPixels;
}

QPoint CVantorView::CellPixel(int cellX, int cellY) const
{
    const float cell = kCellPixels / canvas_.Zoom();
    return {static_cast<int>(static_cast<float>(cellX + canvas_.ScrollX()) * cell),
            static_cast<int>(static_cast<float>(cellY + canvas_.ScrollY()) * cell)};
}

void CVantorView::ResetView()
{
    canvas_.ResetView();
    UpdateScrollBars();
    update();
}

void CVantorView::resizeEvent(QResizeEvent*)
{
    const int barW = vBar_->sizeHint().width();
    const int barH = hBar_->sizeHint().height();
    hBar_->setGeometry(0, height() - barH, std::max(0, width() - barW), barH);
    vBar_->setGeometry(width() - barW, 0, barW, std::max(0, height() - barH));
    UpdateScrollBars();
}

void CVantorView::UpdateScrollBars()
{
    int minX = 0;
    int maxX = 0;
    int minY = 0;
    int maxY = 0;
    canvas_.ScrollRange(ViewCellsW(), ViewCellsH(), minX, maxX, minY, maxY);
    updatingBars_ = true;
    // The bars run the other way: moving right shows cells further right.
    hBar_->setRange(-maxX, -minX);
    vBar_->setRange(-maxY, -minY);
    hBar_->setPageStep(std::max(1, ViewCellsW()));
    vBar_->setPageStep(std::max(1, ViewCellsH()));
    hBar_->setValue(-canvas_.ScrollX());
    vBar_->setValue(-canvas_.ScrollY());
    updatingBars_ = false;
}

void CVantorView::ScrollBarsMoved()
{
    if (updatingBars_) return;
    canvas_.SetScroll(-hBar_->value(), -vBar_->value(), ViewCellsW(), ViewCellsH());
    update();
}

void CVantorView::paintEvent(QPaintEvent*)
{
    Kinterface& engine = doc_.Engine();
    const QSize area = DrawArea();
    int w = 0;
    int h = 0;
    KCanvas::BitmapSize(area.width(), area.height(), canvas_.Zoom(), w, h);
    if (!bitmap_ || KBitmapWidth(bitmap_.get()) != w || KBitmapHeight(bitmap_.get()) != h) {
        bitmap_ = KMakeBitmap(w, h);
        engine.SetScreenSize(w / kCellPixels, h / kCellPixels);
    }
    QPainter painter(this);
    if (!bitmap_ || !engine.vFont) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    canvas_.Draw(bitmap_.get(), frame_.DisplayFlags(), frame_.PaintMode());
    const QImage image = KToQImage(bitmap_.get(), engine.vFont->Palette()).convertToFormat(QImage::Format_RGB32);
    // Every cell is 8 / zoom window pixels; what passes the edge is cut.
    const float scale = 1.0f / canvas_.Zoom();
    painter.setClipRect(QRect(QPoint(0, 0), area));
    painter.drawImage(QRectF(0, 0, static_cast<qreal>(static_cast<float>(w) * scale), static_cast<qreal>(static_cast<float>(h) * scale)), image);
    painter.setClipping(false);
    painter.fillRect(QRect(area.width(), area.height(), width() - area.width(), height() - area.height()), palette().window());
}

bool CVantorView::event(QEvent* event)
{
    // Tab is the canvas's own key, not a move to the next control.
    if (event->type() == QEvent::KeyPress) {
        auto* pressed = static_cast<QKeyEvent*>(event);
        if (pressed->key() == Qt::Key_Tab || pressed->key() == Qt::Key_Backtab) {
            keyPressEvent(pressed);
            return true;
        }
    }
    return QWidget::event(event);
}

void CVantorView::keyPressEvent(QKeyEvent* event)
{
    const bool paintMode = frame_.PaintMode();
    if (paintMode && canvas_.Paint().mode == KBrushMode::Text && event->key() != Qt::Key_Shift) {
        const int code = TypedCode(*event);
        if (code < 0) return QWidget::keyPressEvent(event);
        Handle(canvas_.Type(code));
        return;
    }
    const std::optional<KCanvasKey> canvasKey = CanvasKey(event->key());
    if (!canvasKey) return QWidget::keyPressEvent(event);
    if (*canvasKey == KCanvasKey::ShiftDown && event->isAutoRepeat()) return;
    Handle(paintMode ? canvas_.PaintKey(*canvasKey) : canvas_.SelectKey(*canvasKey));
}

void CVantorView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Shift && !event->isAutoRepeat() && frame_.PaintMode()) {
        Handle(canvas_.PaintKey(KCanvasKey::ShiftUp));
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CVantorView::focusOutEvent(QFocusEvent* event)
{
    // A stroke or walk left open would hold back its undo step.
    canvas_.FinishStrokes();
    QWidget::focusOutEvent(event);
}

void CVantorView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    if (event->button() == Qt::LeftButton) Handle(canvas_.LeftDown(at.x(), at.y(), ctrl, shift, frame_.PaintMode()));
    if (event->button() == Qt::RightButton) Handle(canvas_.RightDown(at.x(), at.y(), ctrl, frame_.PaintMode()));
}

void CVantorView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const KCanvasOutcome outcome = canvas_.MouseMove(at.x(), at.y(), frame_.PaintMode());
    if (canvas_.Mouse() == KMouseState::DragView) {
        // A drag keeps the board within reach, as the bars do.
        canvas_.SetScroll(canvas_.ScrollX(), canvas_.ScrollY(), ViewCellsW(), ViewCellsH());
        UpdateScrollBars();
    }
    Handle(outcome);
}

void CVantorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) Handle(canvas_.LeftUp());
    if (event->button() == Qt::RightButton) Handle(canvas_.RightUp(frame_.PaintMode()));
}

void CVantorView::wheelEvent(QWheelEvent* event)
{
    Handle(canvas_.Wheel(event->angleDelta().y()));
    UpdateScrollBars();
}

void CVantorView::Handle(const KCanvasOutcome& outcome)
{
    if (outcome.brushChanged) frame_.BrushChanged();
    if (outcome.selectionChanged) frame_.Repaint();
    if (outcome.repaint || outcome.brushChanged) {
        update();
        frame_.CanvasChanged();
    }
    switch (outcome.request) {
    case KCanvasRequest::ToolMenu: ShowMenu(BuildToolMenu()); break;
    case KCanvasRequest::PrimMenu: ShowMenu(BuildPrimMenu()); break;
    case KCanvasRequest::UniformBrush: frame_.UniformBrushSettings(); break;
    case KCanvasRequest::PickNode: ChooseNode(); break;
    case KCanvasRequest::None: break;
    }
}

void CVantorView::ShowMenu(QMenu* menu)
{
    const QPoint cell = CellPixel(canvas_.CursorX(), canvas_.CursorY());
    frame_.RunMenu(*menu, mapToGlobal(cell));
    menu->deleteLater();
    update();
}

QMenu* CVantorView::BuildToolMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName("TOOLMENU");
    std::vector<MenuItem> items = GeneratorItems(KRegionKind::Rectangle, true, true);
    items.push_back({"F&lood", GeneratorItems(KRegionKind::Flood, true, true)});
    items.push_back({"Same&As", GeneratorItems(KRegionKind::SameAs, false, true)});
    std::vector<MenuItem> replace = ReplaceItems(KRegionKind::Rectangle);
    replace.push_back({"F&lood", ReplaceItems(KRegionKind::Flood)});
    replace.push_back({"Same&As", ReplaceItems(KRegionKind::SameAs)});
    items.push_back({"&Replace", replace});
    items.push_back({"&Copy",
                     {{"&Fill", {}, R(KRegionKind::Rectangle), A(KToolAction::CopyTiles)},
                      {"F&lood", {}, R(KRegionKind::Flood), A(KToolAction::CopyTiles)},
                      {"&SameAs", {}, R(KRegionKind::SameAs), A(KToolAction::CopyTiles)}}});
    items.push_back({"&Paste",
                     {{"&Fill", {}, R(KRegionKind::Rectangle), A(KToolAction::PasteTiles)},
                      {"F&lood", {}, R(KRegionKind::Flood), A(KToolAction::PasteTiles)},
                      {"&SameAs", {}, R(KRegionKind::SameAs), A(KToolAction::PasteTiles)},
                      {"S&prite", {}, R(KRegionKind::Rectangle), A(KToolAction::SpritePaste)}}});
    AddItems(*menu, items, frame_);
    menu->addSeparator();
    menu->addAction("Zoom &In", this, [this] {
        canvas_.ZoomIn();
        UpdateScrollBars();
    });
    menu->addAction("Zoom &Out", this, [this] {
        canvas_.ZoomOut();
        UpdateScrollBars();
    });
    QAction* ruler = menu->addAction("R&uler", this, [this] { canvas_.ToggleRuler(); });
    ruler->setCheckable(true);
    ruler->setChecked(canvas_.Paint().ruler == 1);
    AddItems(*menu, {{"&Make Object", {}, R(KRegionKind::Rectangle), A(KToolAction::MakeObject)}}, frame_);
    menu->addSeparator();
    menu->addAction("Cancel");
    return menu;
}

QMenu* CVantorView::BuildPrimMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName("PRIMMENU");
    AddItems(*menu,
             {{"&Line", GeneratorItems(KRegionKind::Line, false, true)},
              {"&Rect", GeneratorItems(KRegionKind::RectOutline, false, true)},
              {"&Circle", GeneratorItems(KRegionKind::Ellipse, false, true)},
              {"&Blend Fade",
               {{"&Fill", {}, R(KRegionKind::Rectangle), A(KToolAction::BlendFade)},
                {"F&lood", {}, R(KRegionKind::Flood), A(KToolAction::BlendFade)},
                {"&SameAs", {}, R(KRegionKind::SameAs), A(KToolAction::BlendFade)}}}},
             frame_);
    menu->addSeparator();
    menu->addAction("Cancel");
    return menu;
}

void CVantorView::ChooseNode()
{
    auto* menu = new QMenu(this);
    menu->setObjectName("NODEMENU");
    for (int32_t id : canvas_.PickList()) {
        const Kobject* node = doc_.FindNode(id);
        if (node == nullptr) continue;
        menu->addAction(QString::fromStdString(node->name), this, [this, id] {
            doc_.Select(id);
            frame_.Repaint();
        });
    }
    menu->addSeparator();
    menu->addAction("&Cancel");
    ShowMenu(menu);
}

// --- Paint bar --------------------------------------------------------------------

CBrushPreview::CBrushPreview(const KPaintSettings& paint, const KEditorDoc& doc, QWidget* parent)
    : QWidget(parent), paint_(paint), doc_(doc)
{
    setObjectName("Brush Preview");
    setFixedSize(48, 48);
}

void CBrushPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const Kinterface& engine = doc_.Engine();
    if (!engine.vFont) return;
    KBitmap glyph = KMakeBitmap(kCellPixels, kCellPixels);
    if (!glyph) return;
    engine.vFont->RenderGlyphTo(glyph.get(), paint_.chr, paint_.fg, paint_.bg, 0, 0);
    painter.drawImage(rect(), KToQImage(glyph.get(), engine.vFont->Palette()));
}

void CBrushPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit Clicked();
}

CPaintView::CPaintView(KEditorDoc& doc, CMainFrame& frame, KPaintSettings& paint)
    : frame_(frame), paint_(paint), preview_(new CBrushPreview(paint, doc, this)), modeText_(new QLineEdit(this)),
      slot_(new QSlider(Qt::Horizontal, this)), showAttrib_(new QCheckBox("Show Attrib", this))
{
    setObjectName("paint");
    auto* layout = new QHBoxLayout(this);
    auto noFocus = [](QWidget* widget) {
        // The canvas keeps the keyboard: the bar's buttons never take it.
        widget->setFocusPolicy(Qt::NoFocus);
        return widget;
    };
    auto* properties = new QPushButton("PROPERTIES", this);
    noFocus(properties);
    connect(properties, &QPushButton::clicked, &frame_, &CMainFrame::TogglePaintMode);
    auto* left = new QVBoxLayout;
    left->addWidget(properties);
    left->addWidget(preview_);
    layout->addLayout(left);
    connect(preview_, &CBrushPreview::Clicked, &frame_, [this] { frame_.OpenBrushSettings(); });

    auto* middle = new QGridLayout;
    modeText_->setReadOnly(true);
    noFocus(modeText_);
    middle->addWidget(modeText_, 0, 0, 1, 3);
    static constexpr const char* kModeNames[3] = {"&Brush", "&Add Text", "B&lender"};
    static constexpr KBrushMode kModes[3] = {KBrushMode::Normal, KBrushMode::Text, KBrushMode::Blender};
    for (int i = 0; i < 3; ++i) {
        modes_[i] = new QRadioButton(kModeNames[i], this);
        noFocus(modes_[i]);
        middle->addWidget(modes_[i], 1, i);
        const KBrushMode mode = kModes[i];
        connect(modes_[i], &QRadioButton::clicked, &frame_, [this, mode] { frame_.SetBrushMode(mode); });
    }
    slot_->setObjectName("slot");
    slot_->setRange(0, kSlotCount - 1);
    slot_->setTickPosition(QSlider::TicksBelow);
    noFocus(slot_);
    connect(slot_, &QSlider::valueChanged, &frame_, [this](int slot) {
        if (slot == paint_.slot) return;
        KSwitchSlot(paint_, slot);
        frame_.BrushChanged();
    });
    middle->addWidget(slot_, 2, 0, 1, 3);
    noFocus(showAttrib_);
    connect(showAttrib_, &QCheckBox::clicked, &frame_, [this](bool on) {
        paint_.showAttrib = on;
        frame_.CanvasChanged();
    });
    middle->addWidget(showAttrib_, 3, 0);
    layout->addLayout(middle);

    auto* right = new QGridLayout;
    auto* save = new QPushButton("&Save Backup", this);
    auto* restore = new QPushButton("&Restore Backup", this);
    noFocus(save);
    noFocus(restore);
    connect(save, &QPushButton::clicked, &frame_, [this] { frame_.Canvas().Core().SaveBackup(); });
    connect(restore, &QPushButton::clicked, &frame_, [this] {
        frame_.Canvas().Core().RestoreBackup();
        frame_.Repaint();
    });
    right->addWidget(save, 0, 0, 1, 2);
    right->addWidget(restore, 1, 0, 1, 2);
    static constexpr const char* kStepNames[2] = {"x step", "y step"};
    for (int i = 0; i < 2; ++i) {
        steps_[i] = new QSpinBox(this);
        steps_[i]->setObjectName(kStepNames[i]);
        steps_[i]->setRange(0, kMaxStep);
        right->addWidget(steps_[i], 2, i);
        connect(steps_[i], &QSpinBox::valueChanged, &frame_, [this, i](int value) {
            (i == 0 ? paint_.stepX : paint_.stepY) = value;
        });
    }
    auto* back = new QPushButton("< F1", this);
    auto* forward = new QPushButton("F2 >", this);
    noFocus(back);
    noFocus(forward);
    connect(back, &QPushButton::clicked, &frame_, [this] { frame_.Page(false); });
    connect(forward, &QPushButton::clicked, &frame_, [this] { frame_.Page(true); });
    right->addWidget(back, 3, 0);
    right->addWidget(forward, 3, 1);
    auto* tiles = new QPushButton("&Tile ClipBoard", this);
    noFocus(tiles);
    connect(tiles, &QPushButton::clicked, &frame_, &CMainFrame::TileClipboard);
    right->addWidget(tiles, 4, 0, 1, 2);
    layout->addLayout(right);
    layout->addStretch(1);
    Refresh();
}

void CPaintView::Refresh()
{
    modeText_->setText(KBrushModeText(paint_.mode));
    const int checked = paint_.mode == KBrushMode::Text ? 1
                        : (paint_.mode == KBrushMode::Blender || paint_.mode == KBrushMode::BlenderTab) ? 2
                                                                                                       : 0;
    modes_[checked]->setChecked(true);
    slot_->setValue(paint_.slot);
    showAttrib_->setChecked(paint_.showAttrib);
    steps_[0]->setValue(paint_.stepX);
    steps_[1]->setValue(paint_.stepY);
    preview_->update();
}

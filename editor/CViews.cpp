#include "CViews.h"

#include "CMainFrame.h"
#include "KEditorDoc.h"
#include "KQtImage.h"
#include "KTreeEdits.h"
#include "KTreeRows.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWheelEvent>

#include <string>

namespace {

// Keeps an 8-bit bitmap the widget's size.
BITMAP* SizedBitmap(KBitmap& bitmap, int width, int height)
{
    if (!bitmap || KBitmapWidth(bitmap.get()) != width || KBitmapHeight(bitmap.get()) != height) {
        bitmap = KMakeBitmap(width, height);
    }
    return bitmap.get();
}

void Blit(QWidget& widget, BITMAP* bitmap, const Kinterface& engine)
{
    if (bitmap == nullptr || !engine.vFont) return;
    QPainter painter(&widget);
    painter.drawImage(0, 0, KToQImage(bitmap, engine.vFont->Palette()));
}

}  // namespace

// --- World tree ---------------------------------------------------------------------

CSelectView::CSelectView(KEditorDoc& doc, CMainFrame& frame) : doc_(doc), frame_(frame)
{
    setObjectName("tree");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumWidth(40);
}

void CSelectView::paintEvent(QPaintEvent*)
{
    BITMAP* target = SizedBitmap(bitmap_, std::max(1, width()), std::max(1, height()));
    rowsDrawn_ = KDrawTree(target, doc_.Engine(), doc_.CurrentNode(), doc_.CurrentBoard(), columnOffset_, rowOffset_);
    Blit(*this, target, doc_.Engine());
}

void CSelectView::SelectAt(int y)
{
    const int32_t id = KTreeHitTest(doc_.Engine(), y, rowOffset_);
    if (id > 0) doc_.Select(id);
    frame_.Repaint();
}

void CSelectView::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        SelectAt(at.y());
        if (doc_.Current() == nullptr) return;
        QMenu* menu = BuildContextMenu();
        // Opens on the next multiple of 10 below the pointer.
        const QPoint global = mapToGlobal(QPoint(at.x(), (at.y() / 10 + 1) * 10));
        menu->exec(global);
        menu->deleteLater();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (event->modifiers() & Qt::ControlModifier) {
        mode_ = Mode::DragView;
        dragStart_ = at;
        dragRowOffset_ = rowOffset_;
        dragColumnOffset_ = columnOffset_;
        return;
    }
    SelectAt(at.y());
    mode_ = Mode::DragSelect;
}

void CSelectView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (mode_ == Mode::DragView) {
        columnOffset_ = KDragOffset(dragColumnOffset_, dragStart_.x(), at.x());
        rowOffset_ = KDragOffset(dragRowOffset_, dragStart_.y(), at.y());
        update();
    } else if (mode_ == Mode::DragSelect) {
        SelectAt(at.y());
    }
}

void CSelectView::mouseReleaseEvent(QMouseEvent*) { mode_ = Mode::Idle; }

void CSelectView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        frame_.TogglePaintMode();
    } else {
        frame_.EditScript();
    }
}

void CSelectView::wheelEvent(QWheelEvent* event)
{
    // Turning the wheel towards the user scrolls down the list.
    rowOffset_ = KWheelRowOffset(rowOffset_, -event->angleDelta().y());
    update();
}

void CSelectView::AddMoveMenu(QMenu& parent, const Kobject& node)
{
    QMenu* sub = parent.addMenu(QString::fromStdString(node.name));
    const int32_t id = node.id;
    sub->addAction("&Here ...", &frame_, [this, id] { frame_.MoveCurrentTo(id); });
    for (const auto& child : node.children) AddMoveMenu(*sub, *child);
}

QMenu* CSelectView::BuildContextMenu()
{
    auto* menu = new QMenu(this);
    const Kobject* node = doc_.Current();
    CMainFrame* frame = &frame_;
    if (node != nullptr && node->IsBoard()) {
        menu->setObjectName("SV_BOARDMENU");
        QMenu* add = menu->addMenu("&Add");
        add->addAction("&Board", frame, &CMainFrame::AddBoard);
        add->addAction("&Object", frame, &CMainFrame::AddObject);
        add->addAction("&Duplicate", frame, [frame] { frame->Apply(KDuplicateBoard); });
        QMenu* paste = add->addMenu("&Paste");
        paste->addAction("&Board", frame, [frame] { frame->Apply(KPasteBoard); });
        paste->addAction("&Object", frame, [frame] { frame->Apply([](KEditorDoc& d) { return KPasteObject(d, true); }); });
        menu->addAction("&Copy", frame, [frame] { frame->CopyNode(true); });
        menu->addAction("&Delete", frame, [frame] { frame->DeleteNode("Delete Board?"); });
    } else {
        menu->setObjectName("SV_OBJMENU");
        QMenu* add = menu->addMenu("&Add");
        add->addAction("&New", frame, &CMainFrame::AddObject);
        add->addAction("&Paste", frame, [frame] { frame->Apply([](KEditorDoc& d) { return KPasteObject(d, false); }); });
        QMenu* edit = menu->addMenu("&Edit");
        edit->addAction("&Copy", frame, [frame] { frame->CopyNode(false); });
        QMenu* move = edit->addMenu("Move");
        for (const auto& board : doc_.Engine().vMain->children) AddMoveMenu(*move, *board);
        menu->addAction("&Delete", frame, [frame] { frame->DeleteNode("Delete Object?"); });
    }
    menu->addAction("&Name", frame, &CMainFrame::EditName);
    menu->addAction("&Programming", frame, &CMainFrame::EditScript);
    menu->addAction("&Location", frame, &CMainFrame::EditLocation);
    menu->addAction("&Size", frame, &CMainFrame::EditSize);
    menu->addAction("&Viewport", frame, &CMainFrame::EditViewport);
    if (node != nullptr && node->IsBoard()) {
        menu->addAction("&Expand All", frame, [frame] { frame->Apply(KExpandAll); });
    } else {
        QAction* hide = menu->addAction("&Hide", frame, [frame] { frame->Apply(KToggleHidden); });
        hide->setCheckable(true);
        hide->setChecked(node != nullptr && node->hiddenmark == 1);
    }
    menu->addAction("&Cancel");
    return menu;
}

// --- Properties bar --------------------------------------------------------------------

CToolView::CToolView(KEditorDoc& doc, CMainFrame& frame) : doc_(doc), frame_(frame)
{
    setObjectName("props");
    auto* layout = new QHBoxLayout(this);
    auto* buttons = new QGridLayout;
    auto addButton = [&](const char* text, int row, int column, auto slot) {
        auto* button = new QPushButton(text, this);
        // The canvas keeps the keyboard: a bar's buttons never take it.
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, &frame_, slot);
        buttons->addWidget(button, row, column);
    };
    addButton("&Name", 0, 0, &CMainFrame::EditName);
    addButton("&Location", 1, 0, &CMainFrame::EditLocation);
    addButton("&Size", 2, 0, &CMainFrame::EditSize);
    addButton("&Viewport", 0, 1, &CMainFrame::EditViewport);
    addButton("&Programming", 1, 1, &CMainFrame::EditScript);
    addButton("PAINT", 2, 1, &CMainFrame::TogglePaintMode);
    showAll_ = new QCheckBox("Show All", this);
    focus_ = new QCheckBox("&Focus", this);
    hideObjs_ = new QCheckBox("&Hide Objs", this);
    for (QCheckBox* box : {showAll_, focus_, hideObjs_}) box->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(showAll_, 0, 2);
    buttons->addWidget(focus_, 1, 2);
    buttons->addWidget(hideObjs_, 2, 2);
    connect(showAll_, &QCheckBox::clicked, &frame_, [this](bool on) { frame_.SetShowAll(on); });
    connect(focus_, &QCheckBox::clicked, &frame_, [this] { frame_.ToggleDisplayFlag(kFlagFocus); });
    connect(hideObjs_, &QCheckBox::clicked, &frame_, [this] { frame_.ToggleDisplayFlag(kFlagHideObjs); });
    layout->addLayout(buttons);
    viewer_ = new QWidget(this);
    viewer_->setObjectName("Prop Viewer");
    viewer_->setMinimumSize(240, 80);
    layout->addWidget(viewer_, 1);
}

void CToolView::Refresh()
{
    focus_->setChecked((frame_.DisplayFlags() & kFlagFocus) != 0);
    hideObjs_->setChecked((frame_.DisplayFlags() & kFlagHideObjs) != 0);
    const Kobject* node = doc_.Current();
    showAll_->setChecked(node != nullptr && node->savedvieww != 0);
    update();
}

void CToolView::paintEvent(QPaintEvent*)
{
    // The panel: the current node's name, place, size and view in the world's font.
    const QRect area = viewer_->geometry();
    BITMAP* target = SizedBitmap(bitmap_, std::max(1, area.width()), std::max(1, area.height()));
    if (target == nullptr) return;
    clear_to_color(target, 255);
    Kinterface& engine = doc_.Engine();
    const Kobject* node = doc_.Current();
    if (node != nullptr && engine.vFont) {
        const std::string lines[4] = {
            node->name,
            "Location: " + std::to_string(node->posx) + " x " + std::to_string(node->posy) + " z " +
                std::to_string(node->posz),
            "Size: " + std::to_string(node->width) + " x " + std::to_string(node->height),
            "View: " + std::to_string(node->vieww) + " x " + std::to_string(node->viewh)};
        for (int i = 0; i < 4; ++i) engine.vFont->DrawTextTo(target, lines[i], 15, 255, 1, 1 + 2 * i);
    }
    QPainter painter(this);
    painter.drawImage(area.topLeft(), KToQImage(target, engine.vFont ? engine.vFont->Palette() : KPalette{}));
}


#include "CViews.h"

#include "CMainFrame.h"
#include "KEditorDoc.h"
#include "KQtImage.h"
#include "KTreeEdits.h"
#include "KTreeRows.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <memory>
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

CSelectView::CSelectView(KEditorDoc& doc, CMainFrame& frame)
    : doc_(doc), frame_(frame), scrollBar_(new QScrollBar(Qt::Vertical, this))
{
    setObjectName("tree");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumWidth(40);
    // Clicked, the list takes the keyboard for its arrows and commands.
    setFocusPolicy(Qt::ClickFocus);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->setSingleStep(1);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
        if (value == rowOffset_) return;
        rowOffset_ = value;
        update();
    });
}

int CSelectView::VisibleRows() const { return KTreeVisibleRows(height()); }

void CSelectView::resizeEvent(QResizeEvent*)
{
    const int barWidth = scrollBar_->sizeHint().width();
    scrollBar_->setGeometry(width() - barWidth, 0, barWidth, height());
    SyncScrollBar();
}

void CSelectView::SyncScrollBar()
{
    // One step is one row; past the last row only where the wheel went.
    const int64_t rows = KTreeRowCount(doc_.Engine(), &folds_);
    const int64_t last = std::max<int64_t>(0, rows - VisibleRows());
    const QSignalBlocker quiet(scrollBar_);
    scrollBar_->setRange(0, static_cast<int>(std::min<int64_t>(std::max<int64_t>(last, rowOffset_), INT_MAX)));
    scrollBar_->setPageStep(VisibleRows());
    scrollBar_->setValue(rowOffset_);
}

void CSelectView::SetRowOffset(int offset)
{
    rowOffset_ = std::max(0, offset);
    SyncScrollBar();
    update();
}

void CSelectView::paintEvent(QPaintEvent*)
{
    const int listWidth = std::max(1, width() - scrollBar_->width());
    BITMAP* target = SizedBitmap(bitmap_, listWidth, std::max(1, height()));
    rowsDrawn_ = KDrawTree(target, doc_.Engine(), doc_.CurrentNode(), doc_.CurrentBoard(), columnOffset_, rowOffset_,
                           &folds_);
    Blit(*this, target, doc_.Engine());
    SyncScrollBar();
}

void CSelectView::ResetView()
{
    folds_.clear();
    columnOffset_ = 0;
    SetRowOffset(0);
}

void CSelectView::ShowCurrent()
{
    const Kobject* board = doc_.CurrentBoardNode();
    if (board != nullptr && doc_.CurrentNode() != board->id) folds_.erase(board->id);
    const int64_t row = KTreeRowOf(doc_.Engine(), doc_.CurrentNode(), &folds_);
    SetRowOffset(KTreeOffsetShowing(row, rowOffset_, VisibleRows()));
}

void CSelectView::SetFolded(int32_t boardId, bool folded)
{
    if (folded) {
        folds_.insert(boardId);
        // An object of a folded board has no row: its board takes the selection.
        const Kobject* current = doc_.Current();
        if (current != nullptr && !current->IsBoard() && doc_.CurrentBoard() == boardId) doc_.Select(boardId);
    } else {
        folds_.erase(boardId);
    }
    SyncScrollBar();
    frame_.Repaint();
}

void CSelectView::UnfoldAll()
{
    folds_.clear();
    SyncScrollBar();
    update();
}

void CSelectView::SelectAt(int y)
{
    const int32_t id = KTreeHitTest(doc_.Engine(), y, rowOffset_, &folds_);
    if (id > 0) doc_.Select(id);
    frame_.Repaint();
}

void CSelectView::SelectRow(int64_t row)
{
    const int64_t rows = KTreeRowCount(doc_.Engine(), &folds_);
    if (rows <= 0) return;
    const int32_t id = KTreeNodeAtRow(doc_.Engine(), std::clamp<int64_t>(row, 0, rows - 1), &folds_);
    if (id > 0) doc_.Select(id);
    ShowCurrent();
    frame_.Repaint();
}

void CSelectView::StepSelection(int64_t rows)
{
    const int64_t row = KTreeRowOf(doc_.Engine(), doc_.CurrentNode(), &folds_);
    SelectRow(row < 0 ? 0 : row + rows);
}

void CSelectView::keyPressEvent(QKeyEvent* event)
{
    const int page = std::max(1, VisibleRows() - 1);
    switch (event->key()) {
    case Qt::Key_Up: StepSelection(-1); break;
    case Qt::Key_Down: StepSelection(1); break;
    case Qt::Key_PageUp: StepSelection(-page); break;
    case Qt::Key_PageDown: StepSelection(page); break;
    case Qt::Key_Home: SelectRow(0); break;
    case Qt::Key_End: SelectRow(KTreeRowCount(doc_.Engine(), &folds_) - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: frame_.EditScript(); break;
    case Qt::Key_F2: frame_.EditName(); break;
    case Qt::Key_Delete: frame_.DeleteCurrent(); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CSelectView::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        SelectAt(at.y());
        if (doc_.Current() == nullptr) return;
        std::unique_ptr<QMenu> menu(BuildContextMenu());
        // Opens on the next multiple of 10 below the pointer.
        frame_.RunMenu(*menu, mapToGlobal(QPoint(at.x(), (at.y() / 10 + 1) * 10)));
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
    const int32_t hit = KTreeHitTest(doc_.Engine(), at.y(), rowOffset_, &folds_);
    const Kobject* node = hit > 0 ? doc_.FindNode(hit) : nullptr;
    if (node != nullptr && node->IsBoard() && KTreeMarkerHit(at.x(), columnOffset_)) {
        doc_.Select(hit);
        SetFolded(hit, !IsFolded(hit));
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
        SetRowOffset(KDragOffset(dragRowOffset_, dragStart_.y(), at.y()));
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
    SetRowOffset(KWheelRowOffset(rowOffset_, -event->angleDelta().y()));
}

void CSelectView::FillMoveMenu(QMenu& menu, int32_t id)
{
    const Kobject* node = id == 0 ? doc_.Engine().vMain.get() : doc_.FindNode(id);
    if (node == nullptr) return;
    if (id != 0) menu.addAction("&Here ...", &frame_, [this, id] { frame_.MoveCurrentTo(id); });
    for (const auto& child : node->children) AddMoveSubMenu(menu, *child);
}

void CSelectView::AddMoveSubMenu(QMenu& parent, const Kobject& node)
{
    QMenu* sub = parent.addMenu(QString::fromStdString(node.name));
    const int32_t id = node.id;
    // A world of thousands of nodes would make thousands of menus on every
    // right-click; each level is made only when it is opened.
    connect(sub, &QMenu::aboutToShow, sub, [this, sub, id] {
        if (sub->isEmpty()) FillMoveMenu(*sub, id);
    });
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
        connect(move, &QMenu::aboutToShow, move, [this, move] {
            if (move->isEmpty()) FillMoveMenu(*move, 0);
        });
        menu->addAction("&Delete", frame, [frame] { frame->DeleteNode("Delete Object?"); });
    }
    menu->addAction("&Name", frame, &CMainFrame::EditName);
    menu->addAction("&Programming", frame, &CMainFrame::EditScript);
    menu->addAction("&Location", frame, &CMainFrame::EditLocation);
    menu->addAction("&Size", frame, &CMainFrame::EditSize);
    menu->addAction("&Viewport", frame, &CMainFrame::EditViewport);
    if (node != nullptr && node->IsBoard()) {
        menu->addAction("&Expand All", frame, [this, frame] {
            UnfoldAll();
            frame->Apply(KExpandAll);
        });
        const int32_t id = node->id;
        menu->addAction(IsFolded(id) ? "Un&fold" : "&Fold", this, [this, id] { SetFolded(id, !IsFolded(id)); });
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


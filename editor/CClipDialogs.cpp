#include "CClipDialogs.h"

#include "KEditorDoc.h"
#include "KQtImage.h"
#include "KWorldFile.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The engine finds a node's handle by its id: a node without one of its
// own would be taken for the root.
int HandleOf(Kinterface& engine, Kobject* node)
{
    return node != nullptr && node->id > 0 ? engine.AllocHandle(node) : -1;
}

constexpr const char* kLoadFilter =
    "QUAV! ClipBoard Files (*.qcf);;Char Files (*.chr);;Char Files (*.txt);;Bmp Files (*.bmp);;Attrib Files (*.att)";
constexpr const char* kSaveFilters[5] = {"QUAV! ClipBoard Files (*.qcf)", "Char Files (*.chr)", "Bmp Files (*.bmp)",
                                         "Bmp Files (*.bmp)", "Attrib Files (*.att)"};
constexpr const char* kObjectFilter = "QUAV! obj files (*.zobj)";

QDialogButtonBox* Buttons(QDialog& dialog, QDialogButtonBox::StandardButtons which)
{
    auto* buttons = new QDialogButtonBox(which, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

void Complain(KEditorDoc& doc, const std::string& what)
{
    doc.Engine().Report(what, "Vantor", __LINE__);
}

}  // namespace

void KDrawTiles(BITMAP* target, const KTileClipboard& clip, Kfont& glyphs, int scrollX, int scrollY)
{
    clear_to_color(target, 0);
    const int across = KBitmapWidth(target) / 8;
    const int down = KBitmapHeight(target) / 8;
    for (int y = 0; y < down; ++y) {
        for (int x = 0; x < across; ++x) {
            const int cx = x - scrollX;
            const int cy = y - scrollY;
            if (cx < 0 || cy < 0 || cx >= clip.width || cy >= clip.height) continue;
            const KTile& tile = clip.At(cx, cy);
            const bool noFg = tile[1] == kEmptyField;
            const bool noBg = tile[2] == kEmptyField;
            const int chr = tile[0] == kEmptyField ? 177 : static_cast<int16_t>(tile[0]);
            int fg = noFg ? 0 : static_cast<int16_t>(tile[1]);
            int bg = noBg ? 0 : static_cast<int16_t>(tile[2]);
            if (noFg && noBg) {
                fg = 15;
                bg = 1;
            }
            glyphs.RenderGlyphTo(target, chr, fg, bg, x * 8, y * 8);
        }
    }
}

// --- Viewer ---------------------------------------------------------------------

CClipViewer::CClipViewer(const QString& name, std::function<void(BITMAP*, int, int)> draw, const KEditorDoc& doc,
                         QWidget* parent)
    : QWidget(parent), draw_(std::move(draw)), doc_(doc)
{
    setObjectName(name);
    setMinimumSize(256, 192);
}

void CClipViewer::SetExtent(int w, int h)
{
    extentW_ = w;
    extentH_ = h;
    scrollX_ = scrollY_ = 0;
    update();
}

void CClipViewer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Kinterface& engine = doc_.Engine();
    // Half the control's size, one glyph per 8 pixels, shown at twice that.
    KBitmap half = KMakeBitmap(std::max(8, width() / 2), std::max(8, height() / 2));
    if (!half || !engine.vFont) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    draw_(half.get(), scrollX_, scrollY_);
    painter.drawImage(QRect(0, 0, KBitmapWidth(half.get()) * 2, KBitmapHeight(half.get()) * 2),
                      KToQImage(half.get(), engine.vFont->Palette()));
}

void CClipViewer::mousePressEvent(QMouseEvent* event)
{
    dragStart_ = event->position().toPoint();
    dragScrollX_ = scrollX_;
    dragScrollY_ = scrollY_;
}

void CClipViewer::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    // One cell per 8 pixels, between (cells that fit - extent) and 0.
    scrollX_ = std::clamp(dragScrollX_ + (at.x() - dragStart_.x()) / 8, std::min(0, CellsAcross() - extentW_), 0);
    scrollY_ = std::clamp(dragScrollY_ + (at.y() - dragStart_.y()) / 8, std::min(0, CellsDown() - extentH_), 0);
    update();
}

// --- Tile clipboard ---------------------------------------------------------------

CTileClipDialog::CTileClipDialog(KTileClipboard& clip, KEditorDoc& doc, KClipDialogHooks hooks, QWidget* parent)
    : QDialog(parent), clip_(clip), doc_(doc), hooks_(std::move(hooks)),
      viewer_(new CClipViewer(
          "ClipBoard Viewer",
          [this](BITMAP* target, int x, int y) {
              if (doc_.Engine().vFont) KDrawTiles(target, clip_, *doc_.Engine().vFont, x, y);
          },
          doc, this)),
      skip_(new QCheckBox("Skip 0 0 0 0 Tiles", this))
{
    setWindowTitle("Tile ClipBoard");
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu("&File");
    file->addAction("&Load", this, &CTileClipDialog::Load);
    file->addAction("&Save", this, &CTileClipDialog::Save);
    layout->setMenuBar(bar);
    layout->addWidget(viewer_, 1);
    skip_->setChecked(clip_.skip);
    layout->addWidget(skip_);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
    viewer_->SetExtent(clip_.width, clip_.height);
}

void CTileClipDialog::accept()
{
    clip_.skip = skip_->isChecked();
    QDialog::accept();
}

void CTileClipDialog::Load()
{
    const QString path = hooks_.choosePath(false, kLoadFilter);
    if (path.isEmpty()) return;
    bool asBackground = false;
    if (KTileFileOf(path.toStdString()) == KTileFile::Bmp) {
        const int answer = hooks_.askBmpAs();
        if (answer < 0) return;
        asBackground = answer == 1;
    }
    std::string error;
    if (!KLoadTiles(path.toStdString(), asBackground, clip_, error)) {
        Complain(doc_, "Unable to load '" + path.toStdString() + "': " + error);
        return;
    }
    viewer_->SetExtent(clip_.width, clip_.height);
}

void CTileClipDialog::Save()
{
    if (clip_.Empty()) return;
    const KTileSave type = KTileSaveOf(clip_);
    QString path = hooks_.choosePath(true, kSaveFilters[static_cast<size_t>(type)]);
    if (path.isEmpty()) return;
    static constexpr const char* kExtensions[5] = {".qcf", ".chr", ".bmp", ".bmp", ".att"};
    if (!path.contains('.')) path += kExtensions[static_cast<size_t>(type)];
    std::string error;
    const KPalette palette = doc_.Engine().vFont ? doc_.Engine().vFont->Palette() : KPalette{};
    if (!KSaveTiles(path.toStdString(), type, clip_, palette, error)) {
        Complain(doc_, "Unable to save '" + path.toStdString() + "': " + error);
    }
}

// --- Object clipboard ---------------------------------------------------------------

CObjectClipDialog::CObjectClipDialog(KEditorDoc& doc, KClipDialogHooks hooks, QWidget* parent)
    : QDialog(parent), doc_(doc), hooks_(std::move(hooks)),
      viewer_(new CClipViewer(
          "Object Viewer",
          [this](BITMAP* target, int x, int y) {
              clear_to_color(target, 0);
              Kobject* node = doc_.MutableClipboard();
              if (node == nullptr) return;
              // The node's whole surface, as the engine draws it.
              Kinterface& engine = doc_.Engine();
              const int handle = HandleOf(engine, node);
              if (handle < 0) return;
              const int32_t posx = node->posx;
              const int32_t posy = node->posy;
              node->posx = node->posy = 0;
              engine.DrawFocused(target, x, y, handle, 3);
              node->posx = posx;
              node->posy = posy;
              engine.ReleaseHandle(handle);
          },
          doc, this))
{
    setWindowTitle("Object ClipBoard");
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu("&File");
    file->addAction("&Load", this, &CObjectClipDialog::Load);
    file->addAction("&Save", this, &CObjectClipDialog::Save);
    layout->setMenuBar(bar);
    layout->addWidget(viewer_, 1);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Ok));
    if (const Kobject* node = doc_.Clipboard()) viewer_->SetExtent(node->width, node->height);
}

void CObjectClipDialog::Load()
{
    const QString path = hooks_.choosePath(false, kObjectFilter);
    Kobject* node = doc_.MutableClipboard();
    if (path.isEmpty() || node == nullptr) return;
    Kinterface& engine = doc_.Engine();
    const int handle = HandleOf(engine, node);
    if (handle < 0) return;
    // A file that cannot be read is reported and leaves the node as it was.
    ImportNode(engine, handle, path.toStdString());
    engine.ReleaseHandle(handle);
    viewer_->SetExtent(node->width, node->height);
}

void CObjectClipDialog::Save()
{
    Kobject* node = doc_.MutableClipboard();
    if (node == nullptr) return;
    QString path = hooks_.choosePath(true, kObjectFilter);
    if (path.isEmpty()) return;
    if (!path.contains('.')) path += ".zobj";
    Kinterface& engine = doc_.Engine();
    const int handle = HandleOf(engine, node);
    if (handle < 0) return;
    ExportNode(engine, handle, path.toStdString());
    engine.ReleaseHandle(handle);
}

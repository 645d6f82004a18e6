#include "KEditorDoc.h"

#include "KTrace.h"
#include "KTreeRows.h"
#include "KWorldFile.h"
#include "Kinterface.h"

namespace {

Kobject* FindById(Kobject& node, int32_t wanted)
{
    if (node.id == wanted) return &node;
    for (const auto& child : node.children) {
        if (Kobject* found = FindById(*child, wanted)) return found;
    }
    return nullptr;
}

}  // namespace

std::string KFileNamePart(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

KEditorDoc::KEditorDoc(Kinterface& engine) : engine_(engine) {}

KEditorDoc::~KEditorDoc() = default;

void KEditorDoc::Loaded(const std::string& path, const std::string& title)
{
    path_ = path;
    title_ = title;
    undo_.clear();
    redo_.clear();
    version_ = savedVersion_ = nextVersion_++;
    SelectFirstRow();
}

bool KEditorDoc::NewFromTemplate()
{
    const bool loaded = LoadWorld(engine_, kTemplateWorldPath);
    // A template that cannot be read leaves the world as it was; the
    // document still becomes a new one, so nothing overwrites the old file.
    Loaded("", kUntitled);
    KTRACE("OnNewDocument Finished..\n");
    return loaded;
}

bool KEditorDoc::Open(const std::string& path)
{
    if (!LoadWorld(engine_, path)) return false;
    Loaded(path, KFileNamePart(path));
    return true;
}

bool KEditorDoc::SaveTo(const std::string& path)
{
    if (!SaveWorld(engine_, path)) return false;
    path_ = path;
    title_ = KFileNamePart(path);
    savedVersion_ = version_;
    return true;
}

Kobject* KEditorDoc::FindNode(int32_t id) const
{
    if (id <= 0 || !engine_.vMain) return nullptr;
    return FindById(*engine_.vMain, id);
}

bool KEditorDoc::Select(int32_t id)
{
    Kobject* node = FindNode(id);
    if (node == nullptr) return false;
    Kobject* board = node;
    while (board->parent != nullptr && !board->IsBoard()) board = board->parent;
    currentNode_ = node->id;
    currentBoard_ = board->id;
    engine_.vActiveBoard = board;
    return true;
}

void KEditorDoc::SelectFirstRow()
{
    currentNode_ = currentBoard_ = -1;
    engine_.vActiveBoard = nullptr;
    const int32_t id = KTreeHitTest(engine_, kFirstRowY, 0);
    if (id > 0) Select(id);
}

KEditorDoc::Step KEditorDoc::Capture() const
{
    Step step{KCaptureWorld(engine_), version_, engine_.vLiveCells};
    step.world.currentNode = currentNode_;
    step.world.currentBoard = currentBoard_;
    return step;
}

void KEditorDoc::Restore(const Step& step)
{
    KRestoreWorld(engine_, step.world);
    version_ = step.version;
    if (!Select(step.world.currentNode)) SelectFirstRow();
}

bool KEditorDoc::Edit(const std::function<bool()>& change)
{
    Step before = Capture();
    if (!change()) return false;
    undo_.push_back(std::move(before));
    TrimUndo();
    redo_.clear();
    version_ = nextVersion_++;
    // A node the edit removed cannot stay selected.
    if (FindNode(currentNode_) == nullptr) SelectFirstRow();
    return true;
}

void KEditorDoc::TrimUndo()
{
    int64_t cells = 0;
    for (const Step& step : undo_) cells += step.cells;
    size_t drop = 0;
    while (undo_.size() - drop > 1 && (undo_.size() - drop > kUndoDepth || cells > kUndoCellBudget)) {
        cells -= undo_[drop++].cells;
    }
    undo_.erase(undo_.begin(), undo_.begin() + static_cast<std::ptrdiff_t>(drop));
}

bool KEditorDoc::Undo()
{
    if (undo_.empty()) return false;
    redo_.push_back(Capture());
    Step step = std::move(undo_.back());
    undo_.pop_back();
    Restore(step);
    return true;
}

bool KEditorDoc::Redo()
{
    if (redo_.empty()) return false;
    undo_.push_back(Capture());
    Step step = std::move(redo_.back());
    redo_.pop_back();
    Restore(step);
    return true;
}

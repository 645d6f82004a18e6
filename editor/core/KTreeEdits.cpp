#include "KTreeEdits.h"

#include "KEditorDoc.h"
#include "KNodeCopy.h"
#include "Kinterface.h"

#include <algorithm>
#include <array>

namespace {

// A handle of the engine's table, released when it goes.
class ScopedHandle {
public:
    ScopedHandle(Kinterface& engine, Kobject* node) : engine_(engine), handle_(engine.AllocHandle(node)) {}
    ~ScopedHandle()
    {
        if (handle_ > 0) engine_.ReleaseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    int Get() const { return handle_; }
    bool Valid() const { return handle_ >= 0; }

private:
    Kinterface& engine_;
    int handle_;
};

// Runs setter on the current node's handle as one edit, when any of the
// properties differ from the wanted values.
struct PropertyValue {
    int property;
    int value;
};

bool SetProperties(KEditorDoc& doc, std::initializer_list<PropertyValue> values, bool mayResize)
{
    Kobject* node = doc.Current();
    if (node == nullptr) return false;
    Kinterface& engine = doc.Engine();
    ScopedHandle handle(engine, node);
    if (!handle.Valid()) return false;
    auto snapshot = [&] {
        std::array<int, 9> now{};
        for (size_t property = 0; property < now.size(); ++property) {
            now[property] = engine.GetProperty(handle.Get(), static_cast<int>(property));
        }
        return now;
    };
    const std::array<int, 9> before = snapshot();
    KEditScope scope;
    (mayResize ? scope.resized : scope.fields).push_back(node->id);
    return doc.Edit(scope, [&] {
        for (const PropertyValue& wanted : values) engine.SetProperty(handle.Get(), wanted.property, wanted.value);
        return snapshot() != before;
    });
}

// Whether the node may grow to w by h cells; a dialog's sizes are taken
// whole or not at all.
bool MayResizeCurrent(KEditorDoc& doc, int width, int height)
{
    const Kobject* node = doc.Current();
    return node != nullptr && doc.Engine().MayResize(*node, width, height);
}

bool AddAndSelect(KEditorDoc& doc, int32_t parentId, Kobject* (*make)(KEditorDoc&))
{
    int32_t made = -1;
    const bool changed = doc.Edit(ChildrenOf(parentId), [&] {
        Kobject* node = make(doc);
        if (node == nullptr) return false;
        made = node->id;
        return true;
    });
    if (changed) doc.Select(made);
    return changed;
}

}  // namespace

KEditScope FieldsOf(int32_t id)
{
    KEditScope scope;
    scope.fields.push_back(id);
    return scope;
}

KEditScope ChildrenOf(int32_t parentId)
{
    KEditScope scope;
    scope.parents.push_back(parentId);
    return scope;
}

std::string KCleanName(std::string_view typed)
{
    std::string name(typed.substr(0, kMaxNameLength));
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

bool KAddBoard(KEditorDoc& doc)
{
    return AddAndSelect(doc, 0, [](KEditorDoc& d) { return KMakeNewBoard(d.Engine()); });
}

bool KAddObject(KEditorDoc& doc)
{
    if (doc.Current() == nullptr) return false;
    return AddAndSelect(doc, doc.CurrentNode(), [](KEditorDoc& d) { return KMakeNewObject(d.Engine(), *d.Current()); });
}

bool KDuplicateBoard(KEditorDoc& doc)
{
    const Kobject* board = doc.CurrentBoardNode();
    if (board == nullptr) return false;
    Kinterface& engine = doc.Engine();
    return doc.Edit(ChildrenOf(0), [&] { return KCopyNodeInto(engine, *board, *engine.vMain) != nullptr; });
}

bool KCopyToClipboard(KEditorDoc& doc, bool wholeBoard)
{
    const Kobject* source = wholeBoard ? doc.CurrentBoardNode() : doc.Current();
    if (source == nullptr) return false;
    // The old clipboard goes first, so its cells do not count against the copy.
    doc.SetClipboard(nullptr);
    doc.SetClipboard(KCopyNode(doc.Engine(), *source));
    return doc.Clipboard() != nullptr;
}

bool KPasteBoard(KEditorDoc& doc)
{
    const Kobject* clip = doc.Clipboard();
    if (clip == nullptr) return false;
    Kinterface& engine = doc.Engine();
    return doc.Edit(ChildrenOf(0), [&] { return KCopyNodeInto(engine, *clip, *engine.vMain) != nullptr; });
}

bool KPasteObject(KEditorDoc& doc, bool intoBoard)
{
    const Kobject* clip = doc.Clipboard();
    Kobject* target = intoBoard ? doc.CurrentBoardNode() : doc.Current();
    if (clip == nullptr || target == nullptr) return false;
    return doc.Edit(ChildrenOf(target->id), [&] { return KCopyNodeInto(doc.Engine(), *clip, *target) != nullptr; });
}

// Where the author goes on after node is deleted: its next sibling, else
// its parent, else (a last board) the board before it.
int32_t NextSelectionAfterDelete(const Kobject& node)
{
    const Kobject* parent = node.parent;
    if (parent == nullptr) return -1;
    const auto& siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() != &node) continue;
        if (i + 1 < siblings.size()) return siblings[i + 1]->id;
        if (!parent->IsRoot()) return parent->id;
        return i > 0 ? siblings[i - 1]->id : -1;
    }
    return -1;
}

bool KDeleteCurrent(KEditorDoc& doc)
{
    Kobject* node = doc.Current();
    if (node == nullptr || !KDeleteRefusal(doc).empty()) return false;
    Kinterface& engine = doc.Engine();
    const int32_t next = NextSelectionAfterDelete(*node);
    KEditScope scope = ChildrenOf(node->parent != nullptr && !node->parent->IsRoot() ? node->parent->id : 0);
    scope.leaving.push_back(node->id);
    const bool changed = doc.Edit(scope, [&] {
        const int handle = engine.AllocHandle(node);
        // DeleteNode frees the handle along with the node.
        const bool deleted = engine.DeleteNode(handle);
        if (!deleted && handle > 0) engine.ReleaseHandle(handle);
        return deleted;
    });
    if (changed && !doc.Select(next)) doc.SelectFirstRow();
    return changed;
}

bool KMoveCurrent(KEditorDoc& doc, int32_t targetId)
{
    Kobject* node = doc.Current();
    Kobject* target = doc.FindNode(targetId);
    if (!KMoveRefusal(doc, targetId).empty()) return false;
    // Moving a node where it already is moves nothing.
    if (node == nullptr || target == nullptr || node->parent == target) return false;
    Kinterface& engine = doc.Engine();
    ScopedHandle moved(engine, node);
    ScopedHandle destination(engine, target);
    KEditScope scope = ChildrenOf(node->parent->IsRoot() ? 0 : node->parent->id);
    scope.parents.push_back(target->id);
    scope.leaving.push_back(node->id);
    const int32_t movedId = node->id;
    const bool changed = doc.Edit(scope, [&] { return engine.MoveNode(moved.Get(), destination.Get()); });
    // Its new board becomes the current board.
    if (changed) doc.Select(movedId);
    return changed;
}

std::string KDeleteRefusal(const KEditorDoc& doc)
{
    const Kobject* node = doc.Current();
    if (node == nullptr) return "Nothing is selected to delete.";
    if (doc.Engine().vMain->children.size() <= 1) {
        // The rule holds for objects too: a world of one board keeps all it holds.
        if (node->IsBoard()) return "The world's only board cannot be deleted: a world keeps at least one board.";
        return "Nothing is deleted from a world of one board; add another board first.";
    }
    return {};
}

std::string KMoveRefusal(const KEditorDoc& doc, int32_t targetId)
{
    const Kobject* node = doc.Current();
    const Kobject* target = doc.FindNode(targetId);
    if (node == nullptr || target == nullptr) return "There is nothing to move, or nowhere to move it.";
    if (node == target || node->IsAncestorOf(target)) {
        return "\"" + node->name + "\" cannot be moved into itself or into one of its own objects.";
    }
    return {};
}

std::string KSizeRefusal(const KEditorDoc& doc, int width, int height)
{
    const Kobject* node = doc.Current();
    if (node == nullptr) return "Nothing is selected to resize.";
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (!doc.Engine().MayResize(*node, width, height)) {
        return std::to_string(width) + " x " + std::to_string(height) +
               " cells is more than the world may hold; the size was not changed.";
    }
    return {};
}

std::string KViewportRefusal(const KEditorDoc& doc, int width, int height)
{
    const Kobject* node = doc.Current();
    if (node == nullptr) return "Nothing is selected to resize.";
    // A viewport larger than the node grows the node to it.
    return KSizeRefusal(doc, std::max(width, node->width), std::max(height, node->height));
}

bool KRenameCurrent(KEditorDoc& doc, std::string_view typed)
{
    Kobject* node = doc.Current();
    if (node == nullptr) return false;
    const std::string name = KCleanName(typed);
    if (name == node->name) return false;
    return doc.Edit(FieldsOf(node->id), [&] {
        node->name = name;
        return true;
    });
}

bool KSetLocation(KEditorDoc& doc, int x, int y, int z)
{
    const Kobject* node = doc.Current();
    if (node == nullptr) return false;
    // Storing z links the node anew among its siblings, which changes the
    // order of turns and of collisions: only a new depth may do that.
    if (node->posz == z) return SetProperties(doc, {{0, x}, {1, y}}, false);
    return SetProperties(doc, {{0, x}, {1, y}, {2, z}}, false);
}

bool KSetSize(KEditorDoc& doc, int width, int height, bool changeViewport)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (!MayResizeCurrent(doc, width, height)) return false;
    if (changeViewport) return SetProperties(doc, {{3, width}, {4, height}, {7, width}, {8, height}}, true);
    return SetProperties(doc, {{3, width}, {4, height}}, true);
}

bool KSetViewport(KEditorDoc& doc, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    const Kobject* node = doc.Current();
    if (node == nullptr || !MayResizeCurrent(doc, std::max(width, node->width), std::max(height, node->height))) {
        return false;
    }
    return SetProperties(doc, {{7, width}, {8, height}}, true);
}

bool KSetScript(KEditorDoc& doc, std::string_view text)
{
    Kobject* node = doc.Current();
    if (node == nullptr || node->source == text) return false;
    return doc.Edit(FieldsOf(node->id), [&] {
        node->source.assign(text);
        return true;
    });
}

bool KToggleHidden(KEditorDoc& doc)
{
    Kobject* node = doc.Current();
    if (node == nullptr) return false;
    return doc.Edit(FieldsOf(node->id), [&] {
        node->hiddenmark = 1 - node->hiddenmark;
        return true;
    });
}

bool KExpandAll(KEditorDoc& doc)
{
    Kobject* node = doc.Current();
    if (node == nullptr) return false;
    Kinterface& engine = doc.Engine();
    ScopedHandle handle(engine, node);
    engine.ShowWholeTree(handle.Get());
    return true;
}

bool KSetShowAll(KEditorDoc& doc, bool on)
{
    Kobject* node = doc.Current();
    if (node == nullptr) return false;
    Kinterface& engine = doc.Engine();
    ScopedHandle handle(engine, node);
    if (engine.IsWholeShown(handle.Get()) == (on ? 1 : 0)) return false;
    engine.ShowWhole(handle.Get(), on ? 1 : 0);
    return true;
}

bool KSetVideoMode(KEditorDoc& doc, int mode)
{
    Kinterface& engine = doc.Engine();
    if (mode < 0 || mode > 3 || engine.vVideoMode == mode) return false;
    return doc.Edit({}, [&] {
        engine.vVideoMode = mode;
        return true;
    });
}

bool KToggleWindowed(KEditorDoc& doc)
{
    Kinterface& engine = doc.Engine();
    return doc.Edit({}, [&] {
        engine.vWindowed = 1 - engine.vWindowed;
        return true;
    });
}

#include "KEditorDoc.h"

#include "KTrace.h"
#include "KTreeRows.h"
#include "KWorldFile.h"
#include "Kfont.h"
#include "Kinterface.h"

#include <algorithm>
#include <unordered_set>

namespace {

Kobject* FindById(Kobject& node, int32_t wanted)
{
    if (node.id == wanted) return &node;
    for (const auto& child : node.children) {
        if (Kobject* found = FindById(*child, wanted)) return found;
    }
    return nullptr;
}

std::vector<int32_t> ChildIds(const Kobject& parent)
{
    std::vector<int32_t> ids;
    ids.reserve(parent.children.size());
    for (const auto& child : parent.children) ids.push_back(child->id);
    return ids;
}

size_t PlaceOf(const Kobject& node)
{
    if (node.parent == nullptr) return 0;
    const auto& siblings = node.parent->children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == &node) return i;
    }
    return 0;
}

struct SheetCopy {
    int32_t w = 0;
    int32_t h = 0;
    std::vector<uint8_t> pixels;
    bool operator==(const SheetCopy&) const = default;
};

SheetCopy CopySheet(const Kfont& font)
{
    SheetCopy copy{KBitmapWidth(font.sheet.get()), KBitmapHeight(font.sheet.get()), {}};
    copy.pixels.reserve(static_cast<size_t>(copy.w) * static_cast<size_t>(copy.h));
    for (int32_t y = 0; y < copy.h; ++y) {
        const uint8_t* row = KBitmapRow(font.sheet.get(), y);
        copy.pixels.insert(copy.pixels.end(), row, row + copy.w);
    }
    return copy;
}

bool SameRow(const SheetCopy& a, const SheetCopy& b, int32_t y)
{
    const auto at = static_cast<std::ptrdiff_t>(y) * a.w;
    return std::equal(a.pixels.begin() + at, a.pixels.begin() + at + a.w, b.pixels.begin() + at);
}

void RedrawMarked(Kobject& node, const std::vector<uint8_t>& marked)
{
    for (int32_t y = 0; y < node.height; ++y) {
        for (int32_t x = 0; x < node.width; ++x) {
            const int chr = node.cells[static_cast<size_t>(y) * static_cast<size_t>(node.width) + static_cast<size_t>(x)].chr;
            if (chr >= 0 && static_cast<size_t>(chr) < marked.size() && marked[static_cast<size_t>(chr)] != 0) {
                node.RenderCell(x, y);
            }
        }
    }
    for (const auto& child : node.children) RedrawMarked(*child, marked);
}

// Every node drawn anew where it shows a glyph of the sheet's rows first
// to end, or wholly when the sheet changed its size.
void RedrawSheetRows(Kinterface& engine, int32_t first, int32_t end, bool resized)
{
    if (!engine.vMain || !engine.vFont) return;
    if (resized) return engine.vMain->RenderAll();
    const Kfont& font = *engine.vFont;
    std::vector<uint8_t> marked(static_cast<size_t>(font.glyphCount), 0);
    for (size_t i = 0; i < marked.size(); ++i) marked[i] = font.glyphY[i] + 8 > first && font.glyphY[i] < end;
    RedrawMarked(*engine.vMain, marked);
}

std::vector<uint8_t> RowsOf(const SheetCopy& sheet, int32_t first, int32_t end)
{
    return {sheet.pixels.begin() + static_cast<std::ptrdiff_t>(first) * sheet.w,
            sheet.pixels.begin() + static_cast<std::ptrdiff_t>(end) * sheet.w};
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
    stroke_ = Step{};
    strokeCells_.clear();
    strokeDepth_ = 0;
    version_ = savedVersion_ = nextVersion_++;
    ++loads_;
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

void KEditorDoc::Reselect(int32_t id)
{
    if (!Select(id)) SelectFirstRow();
}

KEditorDoc::Settings KEditorDoc::CurrentSettings() const
{
    return Settings{engine_.vVideoMode, engine_.vWindowed, engine_.vNextId};
}

void KEditorDoc::ApplySettings(const Settings& settings)
{
    engine_.vVideoMode = settings.videoMode;
    engine_.vWindowed = settings.windowed;
    // Ids only ever grow: a node made after an undo never takes the id of
    // one that a redo may bring back.
    engine_.vNextId = std::max(engine_.vNextId, settings.nextId);
}

bool KEditorDoc::Edit(const KEditScope& scope, const std::function<bool()>& change)
{
    // Cells of an open stroke came first: they become their own step, so
    // undo takes the two back in the order they were made.
    if (strokeDepth_ > 0) FlushStroke();
    Step step;
    step.settingsBefore = CurrentSettings();
    step.selectedBefore = currentNode_;
    // Before: the named nodes' fields, the subtrees that may leave, and
    // the child lists to compare with afterwards.
    struct Watched {
        int32_t parent;
        std::vector<int32_t> ids;
    };
    std::vector<Watched> watched;
    for (int32_t id : scope.parents) {
        if (const Kobject* parent = FindNode(id); parent != nullptr) watched.push_back({id, ChildIds(*parent)});
        else if (id == 0 && engine_.vMain) watched.push_back({0, ChildIds(*engine_.vMain)});
    }
    std::unordered_map<int32_t, KNodeSnapshot> leaving;
    for (int32_t id : scope.leaving) {
        if (const Kobject* node = FindNode(id)) leaving.emplace(id, KCaptureSubtree(*node));
    }
    std::vector<FieldsChange> fieldsBefore;
    auto captureFields = [&](const std::vector<int32_t>& ids, bool withCells) {
        for (int32_t id : ids) {
            if (const Kobject* node = FindNode(id)) {
                fieldsBefore.push_back({KCaptureFields(*node, withCells), {}, PlaceOf(*node), 0});
            }
        }
    };
    captureFields(scope.fields, false);
    captureFields(scope.resized, true);

    if (!change()) return false;

    for (FieldsChange& fields : fieldsBefore) {
        if (const Kobject* node = FindNode(fields.before.id)) {
            fields.after = KCaptureFields(*node, fields.before.hasCells);
            fields.placeAfter = PlaceOf(*node);
            step.fields.push_back(std::move(fields));
        }
    }
    for (Watched& list : watched) {
        const Kobject* parent = list.parent == 0 ? engine_.vMain.get() : FindNode(list.parent);
        const std::vector<int32_t> now = parent != nullptr ? ChildIds(*parent) : std::vector<int32_t>{};
        const std::unordered_set<int32_t> before(list.ids.begin(), list.ids.end());
        const std::unordered_set<int32_t> after(now.begin(), now.end());
        for (size_t i = 0; i < list.ids.size(); ++i) {
            if (after.count(list.ids[i]) != 0) continue;
            auto kept = leaving.find(list.ids[i]);
            if (kept == leaving.end()) {
                // An edit that removed what it did not name cannot be undone:
                // the history would lie, so it goes.
                undo_.clear();
                redo_.clear();
                version_ = nextVersion_++;
                return true;
            }
            step.left.push_back({list.parent, i, kept->second});
        }
        for (size_t i = 0; i < now.size(); ++i) {
            if (before.count(now[i]) != 0) continue;
            step.came.push_back({list.parent, i, KCaptureSubtree(*parent->children[i])});
        }
    }
    step.settingsAfter = CurrentSettings();
    // A node the edit removed cannot stay selected.
    if (FindNode(currentNode_) == nullptr) SelectFirstRow();
    step.selectedAfter = currentNode_;
    Commit(std::move(step));
    return true;
}

void KEditorDoc::Commit(Step step)
{
    step.versionBefore = version_;
    version_ = nextVersion_++;
    step.versionAfter = version_;
    step.bytes = StepBytes(step);
    undo_.push_back(std::move(step));
    redo_.clear();
    TrimUndo();
}

bool KEditorDoc::EditFont(const std::function<bool()>& change)
{
    if (strokeDepth_ > 0) FlushStroke();
    Kfont* font = engine_.vFont.get();
    const SheetCopy before = font != nullptr ? CopySheet(*font) : SheetCopy{};
    const bool changed = change();
    const SheetCopy after = font != nullptr ? CopySheet(*font) : SheetCopy{};
    if (!changed || before == after) return false;
    // Only rows that differ are kept: a pixel edit keeps its glyph row, a
    // new row of glyphs that row alone; a new width keeps both sheets.
    SheetChange diff{before.w, before.h, after.w, after.h, 0, 0, 0, {}, {}};
    if (before.w == after.w) {
        diff.commonRows = std::min(before.h, after.h);
        while (diff.firstRow < diff.commonRows && SameRow(before, after, diff.firstRow)) ++diff.firstRow;
        diff.endRow = diff.commonRows;
        while (diff.endRow > diff.firstRow && SameRow(before, after, diff.endRow - 1)) --diff.endRow;
    }
    for (auto [sheet, rows] : {std::pair{&before, &diff.rowsBefore}, std::pair{&after, &diff.rowsAfter}}) {
        *rows = RowsOf(*sheet, diff.firstRow, diff.endRow);
        const std::vector<uint8_t> tail = RowsOf(*sheet, diff.commonRows, sheet->h);
        rows->insert(rows->end(), tail.begin(), tail.end());
    }
    Step step;
    step.settingsBefore = step.settingsAfter = CurrentSettings();
    step.selectedBefore = step.selectedAfter = currentNode_;
    RedrawSheetRows(engine_, diff.firstRow, diff.endRow, before.w != after.w || before.h != after.h);
    step.sheet.push_back(std::move(diff));
    Commit(std::move(step));
    return true;
}

void KEditorDoc::ApplySheet(const SheetChange& change, int32_t w, int32_t h, const std::vector<uint8_t>& rows)
{
    Kfont* font = engine_.vFont.get();
    if (font == nullptr || w <= 0) return;
    const bool sameSize = KBitmapWidth(font->sheet.get()) == w && KBitmapHeight(font->sheet.get()) == h;
    KBitmap made = sameSize ? nullptr : KMakeBitmap(w, h);
    if (!sameSize && !made) return;
    BITMAP* target = sameSize ? font->sheet.get() : made.get();
    const int32_t band = change.endRow - change.firstRow;
    for (int32_t y = 0; y < h; ++y) {
        int32_t from = -1;  // the row's place in rows, or -1: it is the same as now
        if (y >= change.firstRow && y < change.endRow) from = y - change.firstRow;
        if (y >= change.commonRows) from = band + y - change.commonRows;
        if (from >= 0) {
            std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(from) * w, w, KBitmapRow(target, y));
        } else if (!sameSize) {
            std::copy_n(KBitmapRow(font->sheet.get(), y), w, KBitmapRow(target, y));
        }
    }
    if (!sameSize) font->sheet = std::move(made);
    font->RebuildGlyphs();
    RedrawSheetRows(engine_, change.firstRow, change.endRow,
                    change.widthBefore != change.widthAfter || change.heightBefore != change.heightAfter);
}

void KEditorDoc::BeginStroke()
{
    if (strokeDepth_++ > 0) return;
    stroke_ = Step{};
    stroke_.settingsBefore = stroke_.settingsAfter = CurrentSettings();
    stroke_.selectedBefore = currentNode_;
    strokeCells_.clear();
}

bool KEditorDoc::PaintCell(Kobject& node, int32_t x, int32_t y, int chr, int fg, int bg, int attrib, bool once)
{
    // Tools write a million cells at a time: the cell is written here, as
    // the engine's SetCellLater writes it (-1 keeps a field, the glyph waits
    // for the next drawing), without a call per field.
    if (x < 0 || y < 0 || x >= node.width || y >= node.height) return false;
    const size_t place = static_cast<size_t>(y) * static_cast<size_t>(node.width) + static_cast<size_t>(x);
    if (place >= node.cells.size()) return false;
    KCell* cell = &node.cells[place];
    const Look before{cell->chr, cell->fg, cell->bg, cell->attrib};
    auto keepOr = [](int value, int16_t old) { return value == kKeep ? old : static_cast<int16_t>(value); };
    cell->chr = keepOr(chr, cell->chr);
    cell->fg = keepOr(fg, cell->fg);
    cell->bg = keepOr(bg, cell->bg);
    cell->attrib = keepOr(attrib, cell->attrib);
    cell->drawn = 0;
    const Look after{cell->chr, cell->fg, cell->bg, cell->attrib};
    if (before == after) return false;
    const bool own = strokeDepth_ == 0;
    if (own) BeginStroke();
    const uint32_t index = static_cast<uint32_t>(y) * static_cast<uint32_t>(node.width) + static_cast<uint32_t>(x);
    if (once) {
        stroke_.cells.push_back({node.id, index, before, after});
        if (own) EndStroke();
        return true;
    }
    const uint64_t key = (uint64_t{static_cast<uint32_t>(node.id)} << 32) | index;
    auto [at, fresh] = strokeCells_.emplace(key, stroke_.cells.size());
    if (fresh) stroke_.cells.push_back({node.id, index, before, after});
    else stroke_.cells[at->second].after = after;
    if (own) EndStroke();
    return true;
}

bool KEditorDoc::FlushStroke()
{
    strokeCells_.clear();
    // Cells painted back to what they were are no change.
    std::erase_if(stroke_.cells, [](const CellChange& c) { return c.before == c.after; });
    if (stroke_.cells.empty()) return false;
    stroke_.selectedAfter = currentNode_;
    Commit(std::move(stroke_));
    stroke_ = Step{};
    stroke_.settingsBefore = stroke_.settingsAfter = CurrentSettings();
    stroke_.selectedBefore = currentNode_;
    return true;
}

bool KEditorDoc::EndStroke()
{
    if (strokeDepth_ == 0 || --strokeDepth_ > 0) return false;
    return FlushStroke();
}

void KEditorDoc::RemoveById(int32_t id)
{
    Kobject* node = FindNode(id);
    if (node != nullptr && node->parent != nullptr) node->parent->Erase(node);
}

void KEditorDoc::RestoreNode(const KNodeSnapshot& shot, size_t place)
{
    Kobject* node = FindNode(shot.id);
    if (node == nullptr) return;
    KRestoreFields(*node, shot);
    Kobject* parent = node->parent;
    if (parent == nullptr || PlaceOf(*node) == place) return;
    std::unique_ptr<Kobject> taken = parent->UnLink(node);
    parent->LinkAt(place, std::move(taken));
}

void KEditorDoc::InsertEntries(const std::vector<ChildEntry>& entries)
{
    // Lower places first, so each lands where it stood.
    std::vector<const ChildEntry*> order;
    for (const ChildEntry& entry : entries) order.push_back(&entry);
    std::stable_sort(order.begin(), order.end(), [](const ChildEntry* a, const ChildEntry* b) { return a->index < b->index; });
    for (const ChildEntry* entry : order) {
        Kobject* parent = entry->parent == 0 ? engine_.vMain.get() : FindNode(entry->parent);
        if (parent != nullptr) parent->LinkAt(entry->index, KBuildSubtree(entry->subtree));
    }
}

void KEditorDoc::Revert(const Step& step)
{
    for (const ChildEntry& entry : step.came) RemoveById(entry.subtree.id);
    for (auto it = step.fields.rbegin(); it != step.fields.rend(); ++it) {
        RestoreNode(it->before, it->placeBefore);
    }
    InsertEntries(step.left);
    WriteCells(step.cells, false);
    for (const SheetChange& sheet : step.sheet) ApplySheet(sheet, sheet.widthBefore, sheet.heightBefore, sheet.rowsBefore);
    ApplySettings(step.settingsBefore);
    version_ = step.versionBefore;
    Reselect(step.selectedBefore);
}

void KEditorDoc::WriteCells(const std::vector<CellChange>& cells, bool after)
{
    // A step's cells mostly share one node: it is looked up once per run.
    Kobject* node = nullptr;
    int32_t nodeId = -1;
    auto write = [&](const CellChange& change) {
        if (change.node != nodeId) {
            nodeId = change.node;
            node = FindNode(nodeId);
        }
        if (node == nullptr || node->width <= 0) return;
        const Look& look = after ? change.after : change.before;
        const auto width = static_cast<uint32_t>(node->width);
        node->SetCellLater(static_cast<int32_t>(change.index % width), static_cast<int32_t>(change.index / width), look.chr,
                           look.fg, look.bg, look.attrib);
    };
    // Undo goes backwards, so a cell written twice ends as it first was.
    if (after) {
        for (const CellChange& change : cells) write(change);
    } else {
        for (auto it = cells.rbegin(); it != cells.rend(); ++it) write(*it);
    }
}

void KEditorDoc::Replay(const Step& step)
{
    WriteCells(step.cells, true);
    for (const ChildEntry& entry : step.left) RemoveById(entry.subtree.id);
    for (const FieldsChange& fields : step.fields) {
        RestoreNode(fields.after, fields.placeAfter);
    }
    InsertEntries(step.came);
    for (const SheetChange& sheet : step.sheet) ApplySheet(sheet, sheet.widthAfter, sheet.heightAfter, sheet.rowsAfter);
    ApplySettings(step.settingsAfter);
    version_ = step.versionAfter;
    Reselect(step.selectedAfter);
}

int64_t KEditorDoc::StepBytes(const Step& step)
{
    int64_t bytes = static_cast<int64_t>(sizeof(Step) + step.cells.capacity() * sizeof(CellChange) +
                                         step.fields.capacity() * sizeof(FieldsChange) +
                                         (step.left.capacity() + step.came.capacity()) * sizeof(ChildEntry));
    for (const FieldsChange& f : step.fields) bytes += KSnapshotBytes(f.before) + KSnapshotBytes(f.after);
    for (const ChildEntry& e : step.left) bytes += KSnapshotBytes(e.subtree);
    for (const ChildEntry& e : step.came) bytes += KSnapshotBytes(e.subtree);
    for (const SheetChange& s : step.sheet) {
        bytes += static_cast<int64_t>(sizeof(SheetChange) + s.rowsBefore.capacity() + s.rowsAfter.capacity());
    }
    return bytes;
}

int64_t KEditorDoc::UndoBytes() const
{
    int64_t bytes = 0;
    for (const Step& step : undo_) bytes += step.bytes;
    for (const Step& step : redo_) bytes += step.bytes;
    return bytes;
}

int KEditorDoc::TakeDroppedSteps()
{
    const int dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

void KEditorDoc::TrimUndo()
{
    int64_t bytes = 0;
    for (const Step& step : undo_) bytes += step.bytes;
    size_t drop = 0;
    while (undo_.size() - drop > 1 && (undo_.size() - drop > kUndoDepth || bytes > kUndoByteBudget)) {
        bytes -= undo_[drop++].bytes;
    }
    undo_.erase(undo_.begin(), undo_.begin() + static_cast<std::ptrdiff_t>(drop));
    dropped_ += static_cast<int>(drop);
}

bool KEditorDoc::Undo()
{
    if (undo_.empty() || InStroke()) return false;
    Step step = std::move(undo_.back());
    undo_.pop_back();
    Revert(step);
    redo_.push_back(std::move(step));
    return true;
}

bool KEditorDoc::Redo()
{
    if (redo_.empty() || InStroke()) return false;
    Step step = std::move(redo_.back());
    redo_.pop_back();
    Replay(step);
    undo_.push_back(std::move(step));
    return true;
}

#pragma once
// The document the editor works on: the engine's one world, its file, the
// selection (current node and current board, by id), the object clipboard
// and the undo history. Every change to the world goes through Edit() or a
// cell stroke, so each one can be undone and marks the document modified.
// An undo step keeps only what its edit touched: the cells a stroke
// changed, the fields of the nodes an edit named, and the subtrees it added
// or removed.

#include "KNodeSnapshot.h"
#include "Kobject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Kinterface;

inline constexpr const char* kTemplateWorldPath = "Library/default.zqav";
inline constexpr const char* kUntitled = "Untitled";
// Undo steps kept, and the bytes they may hold together; past either the
// oldest steps go first (the newest always stays).
inline constexpr size_t kUndoDepth = 64;
inline constexpr int64_t kUndoByteBudget = int64_t{256} << 20;

// What an edit may change, named before it runs.
struct KEditScope {
    // Nodes whose own fields (name, script, place, view, marks) may change.
    std::vector<int32_t> fields;
    // Nodes whose size, and so their cells, may change.
    std::vector<int32_t> resized;
    // Nodes whose child lists may gain or lose nodes.
    std::vector<int32_t> parents;
    // Nodes the edit may take out of those lists (deleted or moved).
    std::vector<int32_t> leaving;
};

class KEditorDoc {
public:
    explicit KEditorDoc(Kinterface& engine);
    ~KEditorDoc();
    KEditorDoc(const KEditorDoc&) = delete;
    KEditorDoc& operator=(const KEditorDoc&) = delete;

    Kinterface& Engine() { return engine_; }
    const Kinterface& Engine() const { return engine_; }

    // --- Files ---------------------------------------------------------------
    // Loads the template; the document is then "Untitled" with no path.
    bool NewFromTemplate();
    bool Open(const std::string& path);
    // Saves to path; on success path becomes the document's and it is clean.
    bool SaveTo(const std::string& path);
    const std::string& Path() const { return path_; }
    const std::string& Title() const { return title_; }
    // A title holding "Untitled" asks for a name before saving.
    bool NeedsName() const { return title_.find(kUntitled) != std::string::npos; }
    bool IsModified() const { return version_ != savedVersion_; }
    // Counts worlds loaded, so views can reset their scrolling.
    uint64_t LoadCount() const { return loads_; }

    // --- Selection -------------------------------------------------------------
    int32_t CurrentNode() const { return currentNode_; }
    int32_t CurrentBoard() const { return currentBoard_; }
    // Makes the node current, its board the current and active board; false
    // (nothing changes) when no node has that id.
    bool Select(int32_t id);
    // The tree's first row, as after loading.
    void SelectFirstRow();
    Kobject* FindNode(int32_t id) const;
    Kobject* Current() const { return FindNode(currentNode_); }
    Kobject* CurrentBoardNode() const { return FindNode(currentBoard_); }

    // --- Object clipboard ----------------------------------------------------------
    const Kobject* Clipboard() const { return clipboard_.get(); }
    // The clipboard node itself, for loading an object file into it.
    Kobject* MutableClipboard() { return clipboard_.get(); }
    void SetClipboard(std::unique_ptr<Kobject> node) { clipboard_ = std::move(node); }

    // --- Edits ---------------------------------------------------------------------
    // Runs change, which touches only what scope names; when it reports a
    // change, that becomes an undo step and the document is modified.
    bool Edit(const KEditScope& scope, const std::function<bool()>& change);
    // Cells written between BeginStroke and EndStroke make one step; a
    // PaintCell outside a stroke is a step of its own.
    void BeginStroke();
    // Writes a cell (-1 keeps a field); false when it did not change. A
    // caller that writes each cell of a stroke once says so with once, and
    // the stroke need not look for an earlier write of the cell.
    bool PaintCell(Kobject& node, int32_t x, int32_t y, int chr, int fg, int bg, int attrib, bool once = false);
    // True when the stroke changed anything.
    bool EndStroke();
    bool InStroke() const { return strokeDepth_ > 0; }
    // Room for this many more cells in the open stroke, for tools that know
    // how many they will write.
    void ReserveStroke(size_t cells) { stroke_.cells.reserve(stroke_.cells.size() + cells); }
    // Runs change, which may alter only the font sheet (the font editor
    // between opening and OK). When it reports a change and the sheet
    // differs, that is one step, and every node is drawn anew where it
    // shows a changed glyph.
    bool EditFont(const std::function<bool()>& change);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo();
    bool Redo();
    size_t UndoSteps() const { return undo_.size(); }
    // Bytes the undo and redo steps hold now.
    int64_t UndoBytes() const;
    // Steps dropped to stay within the bounds since the last call.
    int TakeDroppedSteps();

private:
    // A cell's four fields, without what only drawing needs.
    struct Look {
        int16_t chr = 0, fg = 0, bg = 0, attrib = 0;
        bool operator==(const Look&) const = default;
    };
    struct CellChange {
        int32_t node = 0;
        uint32_t index = 0;
        Look before;
        Look after;
    };
    // Writes the cells of a step's changes, before or after.
    void WriteCells(const std::vector<CellChange>& cells, bool after);
    // A node's own fields, and its place among its siblings (a new depth
    // moves it there).
    struct FieldsChange {
        KNodeSnapshot before;
        KNodeSnapshot after;
        size_t placeBefore = 0;
        size_t placeAfter = 0;
    };
    // A subtree that left (undo puts it back) or came (redo puts it back).
    struct ChildEntry {
        int32_t parent = 0;
        size_t index = 0;
        KNodeSnapshot subtree;
    };
    // The font sheet's rows that differ, before and after: the band
    // firstRow..endRow of the rows both sheets have, then each one's rows
    // from commonRows down. The rows between are the same in both.
    struct SheetChange {
        int32_t widthBefore = 0, heightBefore = 0;
        int32_t widthAfter = 0, heightAfter = 0;
        int32_t firstRow = 0, endRow = 0, commonRows = 0;
        std::vector<uint8_t> rowsBefore;
        std::vector<uint8_t> rowsAfter;
    };
    struct Settings {
        int32_t videoMode = 0;
        int32_t windowed = 0;
        int32_t nextId = 0;
    };
    struct Step {
        std::vector<CellChange> cells;
        std::vector<FieldsChange> fields;
        std::vector<ChildEntry> left;
        std::vector<ChildEntry> came;
        std::vector<SheetChange> sheet;  // none, or the font editor's one
        Settings settingsBefore;
        Settings settingsAfter;
        int32_t selectedBefore = -1;
        int32_t selectedAfter = -1;
        uint64_t versionBefore = 0;
        uint64_t versionAfter = 0;
        int64_t bytes = 0;
    };
    Settings CurrentSettings() const;
    void ApplySettings(const Settings& settings);
    void Commit(Step step);
    // Commits the open stroke's cells as a step; the stroke stays open.
    bool FlushStroke();
    void Revert(const Step& step);
    void Replay(const Step& step);
    // Makes the sheet w x h, taking the change's band and tail rows from
    // rows and keeping the others; draws every node anew.
    void ApplySheet(const SheetChange& change, int32_t w, int32_t h, const std::vector<uint8_t>& rows);
    void RemoveById(int32_t id);
    void RestoreNode(const KNodeSnapshot& shot, size_t place);
    void InsertEntries(const std::vector<ChildEntry>& entries);
    void TrimUndo();
    void Loaded(const std::string& path, const std::string& title);
    void Reselect(int32_t id);
    static int64_t StepBytes(const Step& step);

    Kinterface& engine_;
    std::string path_;
    std::string title_ = kUntitled;
    int32_t currentNode_ = -1;
    int32_t currentBoard_ = -1;
    std::unique_ptr<Kobject> clipboard_;
    std::vector<Step> undo_;
    std::vector<Step> redo_;
    Step stroke_;
    std::unordered_map<uint64_t, size_t> strokeCells_;
    int strokeDepth_ = 0;
    int dropped_ = 0;
    uint64_t version_ = 0;
    uint64_t savedVersion_ = 0;
    uint64_t nextVersion_ = 1;
    uint64_t loads_ = 0;
};

// "name.zqav" of "/some/folder/name.zqav".
std::string KFileNamePart(const std::string& path);

#pragma once
// The document the editor works on: the engine's one world, its file, the
// selection (current node and current board, by id), the object clipboard
// and the undo history. Every change to the world goes through Edit(), so
// each one can be undone and marks the document modified.

#include "KWorldSnapshot.h"
#include "Kobject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Kinterface;

inline constexpr const char* kTemplateWorldPath = "Library/default.zqav";
inline constexpr const char* kUntitled = "Untitled";
// Undo steps kept; each holds a copy of the world, so the cells they hold
// together are bounded too (the oldest steps go first; the last one stays).
inline constexpr size_t kUndoDepth = 64;
inline constexpr int64_t kUndoCellBudget = int64_t{1} << 24;

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
    void SetClipboard(std::unique_ptr<Kobject> node) { clipboard_ = std::move(node); }

    // --- Edits ---------------------------------------------------------------------
    // Runs change; when it reports a change, the world before it becomes an
    // undo step and the document is modified. False when nothing changed.
    bool Edit(const std::function<bool()>& change);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo();
    bool Redo();
    size_t UndoSteps() const { return undo_.size(); }

private:
    struct Step {
        KWorldSnapshot world;
        uint64_t version = 0;
        int64_t cells = 0;
    };
    void TrimUndo();
    Step Capture() const;
    void Restore(const Step& step);
    void Loaded(const std::string& path, const std::string& title);

    Kinterface& engine_;
    std::string path_;
    std::string title_ = kUntitled;
    int32_t currentNode_ = -1;
    int32_t currentBoard_ = -1;
    std::unique_ptr<Kobject> clipboard_;
    std::vector<Step> undo_;
    std::vector<Step> redo_;
    uint64_t version_ = 0;
    uint64_t savedVersion_ = 0;
    uint64_t nextVersion_ = 1;
};

// "name.zqav" of "/some/folder/name.zqav".
std::string KFileNamePart(const std::string& path);

#pragma once
// The world tree's commands: each is one undoable edit of the document.
// Commands that need a current node do nothing without one; each returns
// whether the world changed.

#include <cstdint>
#include <string>
#include <string_view>

class KEditorDoc;
struct KEditScope;

inline constexpr size_t kMaxNameLength = 50;
// Move commands carry the target node's id above this base.
inline constexpr int kMoveCommandBase = 33000;

// Scopes of edits: one node's own fields; the child list of a node (0:
// the world's list of boards).
KEditScope FieldsOf(int32_t id);
KEditScope ChildrenOf(int32_t parentId);

// A typed name as stored: at most 50 characters, blanks made "_".
std::string KCleanName(std::string_view typed);

// New nodes become current; they return false past the world's bounds.
bool KAddBoard(KEditorDoc& doc);
bool KAddObject(KEditorDoc& doc);
// Deep copy of the current board as a new board behind the others.
bool KDuplicateBoard(KEditorDoc& doc);
// The clipboard takes a deep copy of the current board (board menu) or the
// current node (object menu). Not a change of the world.
bool KCopyToClipboard(KEditorDoc& doc, bool wholeBoard);
bool KPasteBoard(KEditorDoc& doc);
// Into the current board (board menu) or the current node (object menu).
bool KPasteObject(KEditorDoc& doc, bool intoBoard);
// Removes the current node unless the world holds a single board; the
// selection goes to its next sibling, else its parent (a board's: the board
// before it).
bool KDeleteCurrent(KEditorDoc& doc);
// Moves the current node under the node of targetId, and it stays current;
// refused for the node itself, its own subtree, or an unknown id.
bool KMoveCurrent(KEditorDoc& doc, int32_t targetId);

// Why a command would be refused, in the words the status bar shows; empty
// when it would not be.
std::string KDeleteRefusal(const KEditorDoc& doc);
std::string KMoveRefusal(const KEditorDoc& doc, int32_t targetId);
std::string KSizeRefusal(const KEditorDoc& doc, int width, int height);
std::string KViewportRefusal(const KEditorDoc& doc, int width, int height);
bool KRenameCurrent(KEditorDoc& doc, std::string_view typed);
// The node keeps its place among its siblings unless z changes.
bool KSetLocation(KEditorDoc& doc, int x, int y, int z);
bool KSetSize(KEditorDoc& doc, int width, int height, bool changeViewport);
bool KSetViewport(KEditorDoc& doc, int width, int height);
bool KSetScript(KEditorDoc& doc, std::string_view text);
bool KToggleHidden(KEditorDoc& doc);
// Showing whole nodes is a way of looking, not a change: the file keeps the
// real views, so these mark nothing modified and make no undo step.
bool KExpandAll(KEditorDoc& doc);
bool KSetShowAll(KEditorDoc& doc, bool on);
bool KSetVideoMode(KEditorDoc& doc, int mode);
bool KToggleWindowed(KEditorDoc& doc);

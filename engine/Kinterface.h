#pragma once
// The engine root: owns the world tree, the font and the program's parts
// (sound box, compiler, executor), keeps the handle table and handle lists,
// the variables, the input counters and the special boards, and reports
// errors. One exists per program; the engine reaches it through KEngine().

#include "KBitmap.h"
#include "KInput.h"
#include "KLimits.h"
#include "KModalHost.h"
#include "KPlayState.h"
#include "KRandom.h"
#include "KSoundCalls.h"
#include "KVariables.h"
#include "KWork.h"
#include "Kfont.h"
#include "Kobject.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Kcompiler;
class Kexec;
class KSoundBox;

// Which program the engine serves. The runner renders glyphs lazily and runs
// scripts; the editor renders at once and writes its trace lines.
enum class KFlavour : uint8_t { Runner = 0, Editor = 1 };

template <typename T>
using KOwned = std::unique_ptr<T, void (*)(T*)>;

// The program's own parts and the hooks through which the engine drives them.
// A null maker leaves that part a placeholder (the editor has no sound box,
// compiler or executor of its own); a null hook does nothing.
struct KParts {
    KFlavour flavour = KFlavour::Runner;
    bool (*makeSoundBox)(KOwned<KSoundBox>& out) = nullptr;
    bool (*makeCompiler)(KOwned<Kcompiler>& out) = nullptr;
    bool (*makeExec)(KOwned<Kexec>& out) = nullptr;
    void (*compileTree)(Kcompiler& compiler, Kobject& node) = nullptr;
    void (*stepBoard)(Kexec& exec, Kobject& board) = nullptr;
    void (*forgetSamples)(KSoundBox& soundBox) = nullptr;
    // What scripts may ask of the sound box (KSoundCalls.h).
    const KSoundCalls* sound = nullptr;
};

inline constexpr int kHandleCount = 1024;
inline constexpr int kListCount = 256;

struct KHandleEntry {
    int32_t count = 0;
    Kobject* node = nullptr;
};

struct KHandleList {
    int32_t used = 0;
    size_t cursor = 0;
    std::vector<int32_t> handles;
};

// What the reporter asks the program's front end to show.
enum class KNoticeKind : uint8_t { Report = 0, MessageBox = 1 };
using KNoticeSink = std::function<void(KNoticeKind kind, const std::string& caption, const std::string& body)>;

class Kinterface {
public:
    explicit Kinterface(const KParts& parts);
    ~Kinterface();
    Kinterface(const Kinterface&) = delete;
    Kinterface& operator=(const Kinterface&) = delete;

    KFlavour Flavour() const { return parts_.flavour; }
    bool IsRunner() const { return parts_.flavour == KFlavour::Runner; }
    bool IsEditor() const { return parts_.flavour == KFlavour::Editor; }
    const KParts& Parts() const { return parts_; }

    // --- Fields ----------------------------------------------------------------
    std::unique_ptr<Kobject> vMain;
    Kobject* vActiveBoard = nullptr;
    Kobject* vPlayer = nullptr;
    Kobject* vDarkBoard = nullptr;
    Kobject* vOverlayBoard = nullptr;
    Kobject* vSpawnBoard = nullptr;
    Kobject* vScrollBoard = nullptr;
    std::unique_ptr<Kfont> vFont;
    // The palette on the display. The font keeps the authored one; fades
    // change only this.
    KPalette vShownPalette{};
    std::array<KHandleEntry, kHandleCount> vHandles{};
    std::array<KHandleList, kListCount> vLists{};
    KVariables vVariables;
    std::array<uint8_t, kInputCount> vInputs{};
    int32_t vNextId = 1;
    // Nodes and cells alive now, whether in the world or not yet linked.
    int64_t vLiveNodes = 0;
    int64_t vLiveCells = 0;
    // The bounds of loading, which scripts cannot pass at run time either.
    KWorldLimits vLimits;
    KOwned<KSoundBox> vSoundBox;
    int32_t vVideoMode = 1;
    int32_t vWindowed = 0;
    KOwned<Kcompiler> vCompiler;
    KOwned<Kexec> vExec;

    // Runner: the messages, watch list, input flag and pending ticks of play.
    KPlayState vPlay;
    // The game's random numbers; the runner seeds them at start.
    KRandom vRandom;
    // The work the current tick may still do, and the ticks run so far.
    KTickWork vWork;
    int64_t vTickCount = 0;
    // Parents with this many children find them through a grid; with the
    // check on, every answer of a grid is compared with a plain scan.
    size_t vChildGridFrom = kChildGridFrom;
#ifdef NDEBUG
    bool vCheckChildGrid = false;
#else
    bool vCheckChildGrid = true;
#endif

    KBitmap vClipBuffer;       // one byte per screen cell
    KBitmap vSubClipBuffer;    // one byte per screen pixel
    KBitmap vSubClipBits;      // one bit per screen pixel: the compositor's marks while it draws, where it can
    BITMAP* vBackBuffer = nullptr;  // made by the program's shell; not owned

    // While vTrackDestroyed is set, every destroyed node is recorded here
    // (the executor sets it during a tick and clears both after).
    bool vTrackDestroyed = false;
    std::vector<const Kobject*> vDestroyed;

    // The world file being played (its folder is where scripts may keep files).
    std::string vWorldPath;

    // Set by the program that shows the game while it plays; empty otherwise.
    KModalHost vHost;

    // --- Reporter ---------------------------------------------------------------
    // "Error in FILE at LINE" with the message below it.
    void Report(const std::string& message, const std::string& file, int line);
    void ShowMessageBox(const std::string& caption, const std::string& text);
    void SetNoticeSink(KNoticeSink sink) { noticeSink_ = std::move(sink); }
    const KNoticeSink& NoticeSink() const { return noticeSink_; }

    // --- Handles ----------------------------------------------------------------
    int AllocHandle(Kobject* node);
    void ReleaseHandle(int handle);
    Kobject* NodeOf(int handle) const;
    int AllocList();
    void FreeList(int list);
    int NextInList(int list);
    int ListCount(int list) const;
    // Appends a new handle for node to the list (the walk of an address).
    bool AddToList(int list, Kobject* node);
    // Resolves an address (".parent", ".n", ".top.level2.door", ...) relative
    // to the node of handle h into a new handle list, in the order the nodes
    // are reached; -1 for a bad handle, an empty address or no free list.
    // The runner and the editor walk addresses differently (KAddress.h).
    int Resolve(int h, std::string_view address);
    void ResetHandles();
    int HandlesInUse() const;
    int ListsInUse() const;

    // --- Editor handle interface --------------------------------------------------
    int GetProperty(int h, int property) const;
    void SetProperty(int h, int property, int value);
    std::string GetName(int h) const;
    void SetName(int h, std::string_view text);
    std::string GetScriptText(int h) const;
    void SetScriptText(int h, std::string_view text);
    bool GetCellAt(int h, int x, int y, int& chr, int& fg, int& bg, int& attrib) const;
    void SetCellAt(int h, int x, int y, int chr, int fg, int bg, int attrib);
    int CreateChild(int h, std::string_view childName, int w, int h2, int z);
    bool DeleteNode(int h);
    bool MoveNode(int h, int newParent);
    int HandleById(int h, int32_t wantedId);
    int ParentHandle(int h);
    int32_t IdOf(int h) const;
    int IsWholeShown(int h) const;
    void ShowWhole(int h, int on);
    void ShowWholeTree(int h);
    int GetHiddenMark(int h) const;
    void SetHiddenMark(int h, int value);
    void SaveBackup(int h);
    void RestoreBackup(int h);
    void MoveToScreen(int h, int x, int y);
    bool ScreenToNode(int h, int x, int y, int& nodeX, int& nodeY) const;
    void NodeOrigin(int h, int& x, int& y) const;
    int HitTest(int h, int x, int y);

    // --- Screen, boards, play -----------------------------------------------------
    void SetScreenSize(int w, int h);
    // Composites the whole tree into target with the root's view at (vx, vy).
    // The target is not cleared; pixels no node draws keep what they held.
    void Draw(BITMAP* target, int vx, int vy);
    // The editor's focused views of the node of handle h: flags 1 without its
    // objects, 2 the node alone, 3 its whole surface as it is.
    void DrawFocused(BITMAP* target, int vx, int vy, int h, int flags);
    // Updates the input counters from the game library's keyboard, mouse and
    // joysticks, and the variables mouse_x, mouse_y and mouse_z.
    void PollInput();
    void PollInput(const KPhysicalInput& input);
    // Makes the font's palette the shown palette.
    void ApplyPalette();
    // Makes palette the shown one and puts it on the display.
    void ShowPalette(const KPalette& palette);

    // --- Modal loops (through vHost) -------------------------------------------------
    // One pass of a modal loop; anything but Ran means: give up now.
    KModalPass RunModalPass();
    // The next typed character, or -1 when none is waiting (or no host).
    int NextTypedChar();
    // True when the game is ending, or nobody shows it.
    bool CloseRequested();
    // Runs modal passes while the game library's key is down; false when
    // the loop had to give up with the key still down.
    bool WaitForRelease(int libraryKey);
    void ChooseActiveBoard();
    void SwitchBoard(int32_t boardId);
    // False when no board has that name (nothing changes then).
    bool SwitchBoard(std::string_view boardName);
    void CompileAll();
    void Tick();
    // Starts a tick of its own for work done outside Tick (a board stepped
    // directly): a fresh work budget and a new tick number.
    void BeginTick();
    bool InTick() const { return inTick_; }
    // Sets the dark, overlay, spawn and scroll boards by exact name (last wins).
    void FindSpecialBoards();
    // Rows below which a board is out of sight in the current video mode.
    int32_t OffScreenRows() const;
    // The next node id, or -1 when ids are used up.
    int32_t TakeNextId();

    // --- Variables (with the effects of "dark" and "overlay") --------------------
    int32_t GetVar(std::string_view name);
    std::string GetVarString(std::string_view name);
    void SetVar(std::string_view name, int32_t value);
    void SetVarString(std::string_view name, std::string_view text);
    void GiveVar(std::string_view name, int32_t amount);
    bool TakeVar(std::string_view name, int32_t amount);
    void ClearVar(std::string_view name);

    // Called by every node as it is destroyed: forgets every pointer and
    // handle that still names it.
    void ForgetNode(const Kobject* node);

    // --- Growth at run time -----------------------------------------------------------
    // Whether scripts may add nodes more nodes with cells cells in all below
    // parent (each at most w by h): a command that would pass a bound does
    // nothing and the game goes on.
    bool MayAddNodes(const Kobject& parent, int64_t nodes, int64_t cells, int32_t w, int32_t h) const;
    // Whether node may be resized to w by h cells.
    bool MayResize(const Kobject& node, int32_t w, int32_t h) const;

private:
    void PlaceBoardOnSetting(std::string_view name);
    void PlaceBoardOnClear(std::string_view name);
    bool IsOverlayBoardNow(const Kobject& board, int32_t overlay) const;
    bool IsDarkBoardNow(const Kobject& board, int32_t overlay, int32_t dark) const;
    Kobject* ValidNode(int h) const;
    bool ResizeWithinBounds(Kobject& node, int32_t w, int32_t h);
    void FreeEntry(int handle);
    void PurgeFromLists(int handle);

    KParts parts_;
    KNoticeSink noticeSink_;
    int handlesTaken_ = 0;  // entries 1..1023 holding a node
    bool handlesFullShown_ = false;
    bool listsFullShown_ = false;
    bool inTick_ = false;
};

// The one engine root of this process, or none.
Kinterface* KEngine();

// The game library must be started before the engine makes bitmaps; this
// starts it without a system driver when the program has not done so.
bool KStartLibraryHeadless();

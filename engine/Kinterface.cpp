#include "Kinterface.h"

#include "KAscii.h"
#include "KTrace.h"

#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

Kinterface* gEngine = nullptr;

// Rows (in cells) at which boards out of play are parked, by video mode.
constexpr int32_t kParkRows[4] = {15, 30, 37, 48};

template <typename T>
bool MakePart(bool (*maker)(KOwned<T>&), KOwned<T>& out)
{
    return maker == nullptr || maker(out);
}

}  // namespace

Kinterface* KEngine() { return gEngine; }

bool KStartLibraryHeadless()
{
    if (system_driver != nullptr) return true;
    return install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
}

Kinterface::Kinterface(const KParts& parts)
    : vSoundBox(nullptr, nullptr), vCompiler(nullptr, nullptr), vExec(nullptr, nullptr), parts_(parts)
{
    gEngine = this;
    vMain = std::make_unique<Kobject>();
    if (!vMain) Report("Unable to create vMain", __FILE_NAME__, __LINE__);
    vMain->id = 0;
    vNextId = 1;
    vMain->name = "world_tree";
    vHandles[0] = KHandleEntry{1, vMain.get()};
    vFont = std::make_unique<Kfont>();
    if (!vFont) Report("Unable to create vFont", __FILE_NAME__, __LINE__);
    vFont->LoadDefault();
    if (!MakePart(parts_.makeSoundBox, vSoundBox)) Report("Unable to create vSoundBox", __FILE_NAME__, __LINE__);
    if (!MakePart(parts_.makeCompiler, vCompiler)) Report("Unable to create vCompiler", __FILE_NAME__, __LINE__);
    if (IsRunner() && !MakePart(parts_.makeExec, vExec)) Report("Unable to create vExec", __FILE_NAME__, __LINE__);
    vVideoMode = 1;
    KTRACE("Kinterface created\n");
}

Kinterface::~Kinterface()
{
    vFont.reset();
    vActiveBoard = vPlayer = nullptr;
    vDarkBoard = vOverlayBoard = vSpawnBoard = vScrollBoard = nullptr;
    vMain.reset();
    vCompiler.reset();
    vExec.reset();
    KTRACE("Kinterface deleted\n");
    vVariables.EraseAll();
    for (KHandleList& list : vLists) list = KHandleList{};
    vClipBuffer.reset();
    vSubClipBuffer.reset();
    vSubClipBits.reset();
    vSoundBox.reset();
    if (gEngine == this) gEngine = nullptr;
}

// --- Reporter -------------------------------------------------------------------

void Kinterface::Report(const std::string& message, const std::string& file, int line)
{
    std::string formatted = "Error in " + file + " at " + std::to_string(line);
    KTRACE("%s\n%s\n", message.c_str(), formatted.c_str());
    if (noticeSink_) {
        noticeSink_(KNoticeKind::Report, formatted, message);
        return;
    }
    const std::string shown = KPrintable(formatted) + "\n" + KPrintable(message) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

void Kinterface::ShowMessageBox(const std::string& caption, const std::string& text)
{
    if (noticeSink_) {
        noticeSink_(KNoticeKind::MessageBox, caption, text);
        return;
    }
    const std::string shown = KPrintable(caption) + "\n" + KPrintable(text) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

// --- Handles ----------------------------------------------------------------------

int Kinterface::AllocHandle(Kobject* node)
{
    if (node == nullptr) return -1;
    for (int h = 0; h < kHandleCount; ++h) {
        KHandleEntry& entry = vHandles[static_cast<size_t>(h)];
        if (entry.node == nullptr) {
            entry = KHandleEntry{1, node};
            ++handlesTaken_;
            return h;
        }
        if (entry.node->id == node->id) {
            ++entry.count;
            return h;
        }
    }
    // Once until the handles are reset: a script that asks every tick would
    // otherwise stop the game with a box every tick.
    if (!handlesFullShown_) ShowMessageBox("Oh No!!", "Error: Max Handles reached");
    handlesFullShown_ = true;
    return -1;
}

void Kinterface::ReleaseHandle(int handle)
{
    if (handle < 1 || handle >= kHandleCount) return;
    KHandleEntry& entry = vHandles[static_cast<size_t>(handle)];
    if (entry.node == nullptr) return;
    if (--entry.count < 1) FreeEntry(handle);
}

void Kinterface::FreeEntry(int handle)
{
    KHandleEntry& entry = vHandles[static_cast<size_t>(handle)];
    if (entry.node != nullptr) --handlesTaken_;
    entry = KHandleEntry{};
}

Kobject* Kinterface::NodeOf(int handle) const
{
    if (handle < 0 || handle >= kHandleCount) return nullptr;
    return vHandles[static_cast<size_t>(handle)].node;
}

int Kinterface::AllocList()
{
    for (int l = 0; l < kListCount; ++l) {
        KHandleList& list = vLists[static_cast<size_t>(l)];
        if (list.used == 0) {
            list.used = 1;
            list.cursor = 0;
            list.handles.clear();
            return l;
        }
    }
    if (!listsFullShown_) ShowMessageBox("Oh No!!", "Error: Max HandleLists reached");
    listsFullShown_ = true;
    return -1;
}

void Kinterface::FreeList(int l)
{
    if (l < 0 || l >= kListCount) return;
    KHandleList& list = vLists[static_cast<size_t>(l)];
    for (const int h : list.handles) ReleaseHandle(h);
    list.handles.clear();
    list.cursor = 0;
    list.used = 0;
}

int Kinterface::NextInList(int l)
{
    if (l < 0 || l >= kListCount) return -1;
    KHandleList& list = vLists[static_cast<size_t>(l)];
    if (list.cursor < list.handles.size()) return list.handles[list.cursor++];
    list.cursor = 0;
    return -1;
}

int Kinterface::ListCount(int l) const
{
    if (l < 0 || l >= kListCount) return -1;
    return static_cast<int>(vLists[static_cast<size_t>(l)].handles.size());
}

bool Kinterface::AddToList(int l, Kobject* node)
{
    if (l < 0 || l >= kListCount) return false;
    const int h = AllocHandle(node);
    if (h < 0) return false;
    vLists[static_cast<size_t>(l)].handles.push_back(h);
    return true;
}

void Kinterface::ResetHandles()
{
    for (int h = 1; h < kHandleCount; ++h) vHandles[static_cast<size_t>(h)] = KHandleEntry{};
    handlesTaken_ = 0;
    handlesFullShown_ = false;
    listsFullShown_ = false;
    for (KHandleList& list : vLists) {
        list.handles.clear();
        list.cursor = 0;
        list.used = 0;
    }
}

int Kinterface::HandlesInUse() const { return handlesTaken_ + (vHandles[0].node != nullptr ? 1 : 0); }

int Kinterface::ListsInUse() const
{
    int used = 0;
    for (const KHandleList& list : vLists) used += list.used != 0 ? 1 : 0;
    return used;
}

void Kinterface::ForgetNode(const Kobject* node)
{
    --vLiveNodes;
    vLiveCells -= static_cast<int64_t>(node->cells.size());
    if (vTrackDestroyed) vDestroyed.push_back(node);
    if (vActiveBoard == node) vActiveBoard = nullptr;
    if (vPlayer == node) vPlayer = nullptr;
    if (vDarkBoard == node) vDarkBoard = nullptr;
    if (vOverlayBoard == node) vOverlayBoard = nullptr;
    if (vSpawnBoard == node) vSpawnBoard = nullptr;
    if (vScrollBoard == node) vScrollBoard = nullptr;
    // Most nodes go while no handle is out: then there is nothing to forget.
    for (int h = 1; h < kHandleCount && handlesTaken_ > 0; ++h) {
        if (vHandles[static_cast<size_t>(h)].node != node) continue;
        FreeEntry(h);
        PurgeFromLists(h);
    }
}

bool Kinterface::MayAddNodes(const Kobject& parent, int64_t nodes, int64_t cells, int32_t w, int32_t h) const
{
    int depth = 0;
    for (const Kobject* at = &parent; at->parent != nullptr; at = at->parent) ++depth;
    return nodes >= 0 && cells >= 0 && depth + 1 <= vLimits.maxDepth && vLiveNodes + nodes <= vLimits.maxNodes &&
           w <= vLimits.maxSide && h <= vLimits.maxSide && int64_t{w} * h <= vLimits.maxNodeCells &&
           vLiveCells + cells <= vLimits.maxWorldCells;
}

bool Kinterface::MayResize(const Kobject& node, int32_t w, int32_t h) const
{
    w = std::max(w, 0);
    h = std::max(h, 0);
    const int64_t cells = int64_t{w} * h;
    return w <= vLimits.maxSide && h <= vLimits.maxSide && cells <= vLimits.maxNodeCells &&
           vLiveCells - static_cast<int64_t>(node.cells.size()) + cells <= vLimits.maxWorldCells;
}

void Kinterface::PurgeFromLists(int handle)
{
    // The number may be handed out again at once: an open list that kept it
    // would then yield (and later release) some other node.
    for (KHandleList& list : vLists) {
        if (list.used == 0) continue;
        size_t kept = 0;
        size_t cursor = list.cursor;
        for (size_t i = 0; i < list.handles.size(); ++i) {
            if (list.handles[i] == handle) {
                if (i < list.cursor) --cursor;
                continue;
            }
            list.handles[kept++] = list.handles[i];
        }
        list.handles.resize(kept);
        list.cursor = cursor;
    }
}

// --- Screen and boards ---------------------------------------------------------------

void Kinterface::SetScreenSize(int w, int h)
{
    if (!vMain) {
        Report("vMain doesn't exist", __FILE_NAME__, __LINE__);
        return;
    }
    vMain->width = w;
    vMain->height = h;
    vClipBuffer = KMakeBitmap(w, h);
    if (!vClipBuffer) Report("Unable to create vClipBuffer", __FILE_NAME__, __LINE__);
    vSubClipBuffer = KMakeBitmap(8 * w, 8 * h);
    if (!vSubClipBuffer) Report("Unable to create vSubClipBuffer", __FILE_NAME__, __LINE__);
    // Without it the compositor keeps its marks in vSubClipBuffer.
    vSubClipBits = KMakeBitmap(w, 8 * h);
    KTRACE("--- vSubClipBuffer %i x %i ---\n", KBitmapWidth(vSubClipBuffer.get()), KBitmapHeight(vSubClipBuffer.get()));
}

int32_t Kinterface::OffScreenRows() const
{
    const int mode = vVideoMode >= 0 && vVideoMode <= 3 ? vVideoMode : 1;
    return kParkRows[mode] * 16;
}

bool Kinterface::IsOverlayBoardNow(const Kobject& board, int32_t overlay) const
{
    return overlay != 0 && board.name == "Overlay";
}

bool Kinterface::IsDarkBoardNow(const Kobject& board, int32_t overlay, int32_t dark) const
{
    return !IsOverlayBoardNow(board, overlay) && dark != 0 && board.name == "Dark";
}

void Kinterface::ChooseActiveBoard()
{
    const int32_t overlay = GetVar("overlay");
    const int32_t dark = GetVar("dark");
    size_t index = 0;
    for (const auto& board : vMain->children) {
        const bool first = index++ == 0;
        if (IsOverlayBoardNow(*board, overlay) || IsDarkBoardNow(*board, overlay, dark)) {
            board->posx = board->posy = 0;
            if (first) vActiveBoard = board.get();
        } else if (first) {
            vActiveBoard = board.get();
            board->posx = board->posy = 0;
        } else {
            board->posy = OffScreenRows();
        }
    }
    vPlayer = vActiveBoard != nullptr ? vActiveBoard->FindByName("player") : nullptr;
}

void Kinterface::SwitchBoard(int32_t boardId)
{
    Kobject* target = nullptr;
    for (const auto& board : vMain->children) {
        if (board->id == boardId) target = board.get();
    }
    if (target == nullptr) return;
    const int32_t overlay = GetVar("overlay");
    const int32_t dark = GetVar("dark");
    for (const auto& board : vMain->children) {
        if (board.get() == target) {
            vActiveBoard = target;
            board->posx = board->posy = 0;
        } else if (IsOverlayBoardNow(*board, overlay) || IsDarkBoardNow(*board, overlay, dark)) {
            board->posx = board->posy = 0;
        } else {
            board->posy = OffScreenRows();
        }
    }
    vPlayer = vActiveBoard != nullptr ? vActiveBoard->FindByName("player") : nullptr;
}


bool Kinterface::SwitchBoard(std::string_view boardName)
{
    const std::string wanted = KLowered(boardName);
    for (const auto& board : vMain->children) {
        if (KLowered(board->name) == wanted) {
            SwitchBoard(board->id);
            return true;
        }
    }
    return false;
}

void Kinterface::FindSpecialBoards()
{
    vDarkBoard = vOverlayBoard = vSpawnBoard = vScrollBoard = nullptr;
    for (const auto& board : vMain->children) {
        if (board->name == "Dark") vDarkBoard = board.get();
        if (board->name == "Spawn") vSpawnBoard = board.get();
        if (board->name == "Overlay") vOverlayBoard = board.get();
        if (board->name == "Scroll") vScrollBoard = board.get();
    }
}

void Kinterface::CompileAll()
{
    if (!vCompiler || parts_.compileTree == nullptr) return;
    // One call for the whole tree: the compiler bounds a world's programs as a whole.
    parts_.compileTree(*vCompiler, *vMain);
}

void Kinterface::BeginTick()
{
    ++vTickCount;
    vWork.Begin();
}

void Kinterface::Tick()
{
    BeginTick();
    inTick_ = true;
    if (vPlayer != nullptr) {
        SetVar("player_x", vPlayer->posx);
        SetVar("player_y", vPlayer->posy);
    }
    if (vExec && parts_.stepBoard != nullptr) {
        if (vActiveBoard != nullptr && GetVar("freeze") == 0) parts_.stepBoard(*vExec, *vActiveBoard);
        if (GetVar("overlay") != 0 && vOverlayBoard != nullptr) parts_.stepBoard(*vExec, *vOverlayBoard);
    }
    inTick_ = false;
}

int32_t Kinterface::TakeNextId()
{
    if (vNextId < 1 || vNextId == std::numeric_limits<int32_t>::max()) return -1;
    return vNextId++;
}

// --- Variables ----------------------------------------------------------------------

void Kinterface::PlaceBoardOnSetting(std::string_view name)
{
    if (name == "dark" && vDarkBoard != nullptr) vDarkBoard->posx = vDarkBoard->posy = 0;
    if (name == "overlay" && vOverlayBoard != nullptr) vOverlayBoard->posx = vOverlayBoard->posy = 0;
}

void Kinterface::PlaceBoardOnClear(std::string_view name)
{
    if (name == "dark" && vDarkBoard != nullptr) vDarkBoard->posy = OffScreenRows();
    if (name == "overlay" && vOverlayBoard != nullptr) vOverlayBoard->posy = OffScreenRows();
}

int32_t Kinterface::GetVar(std::string_view name) { return vVariables.GetInt(name); }

std::string Kinterface::GetVarString(std::string_view name) { return vVariables.GetString(name); }

void Kinterface::SetVar(std::string_view name, int32_t value)
{
    PlaceBoardOnSetting(name);
    vVariables.SetInt(name, value);
}

void Kinterface::SetVarString(std::string_view name, std::string_view text)
{
    PlaceBoardOnSetting(name);
    vVariables.SetString(name, text);
    // Read from its source, handed over and stored: three copies.
    vWork.SpendOnText(3 * std::min(text.size(), kMaxTextBytes));
}

void Kinterface::GiveVar(std::string_view name, int32_t amount) { vVariables.Give(name, amount); }

bool Kinterface::TakeVar(std::string_view name, int32_t amount) { return vVariables.Take(name, amount); }

void Kinterface::ClearVar(std::string_view name)
{
    vVariables.Clear(name);
    PlaceBoardOnClear(name);
}

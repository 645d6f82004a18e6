// Objects made at run time from the templates of the "Spawn" board, and the
// commands that take over a template's program, centre a view on an object
// or dissolve an object into its parent's cells.
//
// Every node a script makes is paid for twice: from the tick's work (so a
// tick stays bounded) and from the tick's allowance of made nodes (so a
// chain of spawns that spawn again cannot fill the world in one tick). At
// either bound the command does nothing and the game goes on.

#include "KDirections.h"
#include "KHandlers.h"
#include "KNodeCopy.h"
#include "KSpawning.h"
#include "KWindow.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace {

constexpr int kStepX[4] = {0, 1, 0, -1};
constexpr int kStepY[4] = {-1, 0, 1, 0};
// Cells painted for one unit of a tick's work.
constexpr int64_t kCellsPerUnit = 64;
// Cells of a copy for one unit: its grid is fresh memory, and the system
// hands that over page by page. A tick affords one copy of the largest node.
constexpr int64_t kCopiedCellsPerUnit = 4;

int32_t Clamped32(int64_t value)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The world's root holds boards only: an object whose parent is the root
// (a board) has no parent to spawn into or to dissolve into.
Kobject* SpawnParent(Kobject& object)
{
    Kobject* parent = object.parent;
    return parent != nullptr && !parent->IsRoot() ? parent : nullptr;
}

// The direction list from just past the opcode up to its end byte (or the
// end of the code); the cursor is left past both.
int DirectionOf(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    const std::string& code = command.code;
    size_t end = 1;
    while (end < code.size() && static_cast<unsigned char>(code[end]) != kDirListEnd) ++end;
    command.cursor = static_cast<int32_t>(std::min(end + 1, code.size()));
    return KResolveDirection(exec, object, code, 1, end);
}

// A colour given as decimal text, kept within what a cell holds; -1 (no
// override) for anything else.
int ColourOf(const std::string& text)
{
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return -1;
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

// Places object at (x, y) and tells its parent's grid.
void PlaceAt(Kobject& object, int64_t x, int64_t y)
{
    object.posx = Clamped32(x);
    object.posy = Clamped32(y);
    object.Refile();
}

// The first node of that name below root (pre-order); every node visited
// costs a unit of the tick's work, and a tick that cannot pay finds nothing.
Kobject* FindPaid(Kinterface& engine, const Kobject& root, std::string_view name)
{
    for (const auto& child : root.children) {
        if (!engine.vWork.Spend(1)) return nullptr;
        if (child->name == name) return child.get();
        if (Kobject* found = FindPaid(engine, *child, name)) return found;
        if (engine.vWork.Spent()) return nullptr;
    }
    return nullptr;
}

}  // namespace

Kobject* KFindTemplate(Kinterface& engine, std::string_view name)
{
    if (engine.vSpawnBoard == nullptr) return nullptr;
    return FindPaid(engine, *engine.vSpawnBoard, name);
}

Kobject* KCopyTemplate(Kexec& exec, Kobject& parent, const Kobject& templ, int foreground)
{
    Kinterface& engine = exec.Engine();
    const KTreeSize size = KMeasureTree(templ);
    // A copy pays for what it copies: nodes, cells and script text. The
    // compiled programs are shared, whatever their size.
    const int64_t units = size.nodes + size.cells / kCopiedCellsPerUnit + size.scriptBytes / kTextBytesPerUnit;
    if (!engine.vWork.Spend(units)) return nullptr;
    if (!exec.MayMakeNodes(size.nodes)) return nullptr;
    KCopyOptions options;
    options.asTemplate = true;
    options.foreground = foreground;
    Kobject* copy = KCopyNodeInto(engine, templ, parent, options);
    // Its parent has stepped (or is stepping) a list taken before the copy
    // existed: the copy's first turn from a parent comes next tick.
    if (copy != nullptr) copy->steppedTick = engine.vTickCount;
    return copy;
}

void KSpawnProjectile(Kexec& exec, Kobject& spawner, std::string_view name, int putDirection, int walkDirection,
                      int foreground)
{
    Kinterface& engine = exec.Engine();
    Kobject* parent = SpawnParent(spawner);
    const Kobject* templ = KFindTemplate(engine, name);
    if (parent == nullptr || templ == nullptr) return;
    Kobject* copy = KCopyTemplate(exec, *parent, *templ, foreground);
    if (copy == nullptr) return;
    copy->ownerid = spawner.id;
    if (walkDirection != -1) copy->name = "bullet";
    copy->walkDir = walkDirection;
    int64_t x = spawner.posx;
    int64_t y = spawner.posy;
    if (putDirection >= 0 && putDirection <= 3) {
        x += kStepX[putDirection];
        y += kStepY[putDirection];
    }
    PlaceAt(*copy, x, y);

    // Its first turn runs now, while its owner keeps it from colliding with
    // the spawner. The turn may end with the copy gone: a handle tells.
    const int handle = engine.AllocHandle(copy);
    if (handle < 0) return;
    const bool ran = exec.RunTurnNow(*copy);
    copy = engine.NodeOf(handle);
    engine.ReleaseHandle(handle);
    if (copy == nullptr) return;
    copy->wait = 0;
    // A copy whose turn could not run now (a chain of turns taken at once
    // too deep) would start its walk on top of the spawner and hit it: it
    // keeps its owner's protection. Collide mode 4 is never stored (that
    // word sets the exclude flag), so that test always passes; it is kept
    // as the rule reads.
    if (ran && copy->collideMode != kCollideExclude) copy->ownerid = copy->id;
}

namespace {

// #put and #throw: directions, the end byte, then [colour] name.
void SpawnByCommand(Kexec& exec, Kobject& object, KCompiledCommand& command, bool walks)
{
    const int direction = DirectionOf(exec, object, command);
    std::string name = exec.NameArg(command);
    int colour = -1;
    if (exec.HasArg(command)) {
        colour = ColourOf(name);
        name = exec.NameArg(command);
    }
    if (direction == kDirectionNone || SpawnParent(object) == nullptr) return;
    if (walks) {
        KSpawnProjectile(exec, object, name, -1, direction, colour);
    } else {
        KSpawnProjectile(exec, object, name, direction, -1, colour);
    }
}

int HandlePut(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    SpawnByCommand(exec, object, command, false);
    return kAdvance;
}

int HandleThrow(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    SpawnByCommand(exec, object, command, true);
    return kAdvance;
}

int HandleShoot(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    const int direction = DirectionOf(exec, object, command);
    if (direction == kDirectionNone || SpawnParent(object) == nullptr) return kAdvance;
    Kinterface& engine = exec.Engine();
    // No bullet to fire costs no ammunition.
    if (KFindTemplate(engine, "bullet") == nullptr) return kAdvance;
    // The player pays a round per shot; without one it does not fire.
    if (object.name == "player" && engine.TakeVar("ammo", 1)) return kAdvance;
    KSpawnProjectile(exec, object, "bullet", -1, direction, -1);
    return kAdvance;
}

int HandleAttach(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    const int32_t x = exec.IntArg(command);
    const int32_t y = exec.IntArg(command);
    // Under the root a copy would become a board.
    if (object.IsRoot()) return kAdvance;
    Kinterface& engine = exec.Engine();
    const Kobject* templ = KFindTemplate(engine, name);
    if (templ == nullptr) return kAdvance;
    Kobject* copy = KCopyTemplate(exec, object, *templ, -1);
    if (copy == nullptr) return kAdvance;
    PlaceAt(*copy, x, y);
    if (copy->name == "player") engine.vPlayer = copy;
    return kAdvance;
}

int HandleBind(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    const Kobject* templ = KFindTemplate(exec.Engine(), exec.NameArg(command));
    if (templ == nullptr) return kAdvance;
    // Taken before the old program goes, which may be the template's own;
    // the object shares the template's program from now on.
    KProgramLines lines = templ->lines;
    KMarkers markers = templ->markers;
    KKeyMarkers keyMarkers = templ->keyMarkers;
    exec.RetireProgram(std::move(object.lines));
    object.lines = std::move(lines);
    object.markers = std::move(markers);
    object.keyMarkers = std::move(keyMarkers);
    object.currentLine = -1;
    if (!object.lines.empty() && !object.lines[0].commands.empty()) {
        object.currentLine = 0;
        object.currentCommand = 0;
        object.running = 1;
        object.wait = 0;
    } else {
        // Nothing to run: stopped where no program is, not at its start
        // (the turn would otherwise stop it on line 0).
        object.running = 0;
    }
    // The running object goes on with its new first command in this turn;
    // asking any other command to repeat would hold the running object on
    // this #bind for good.
    return &object == exec.RunningObject() ? kRepeat : kAdvance;
}

int HandleFocus(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    const std::string name = exec.NameArg(command);
    const Kobject* found = FindPaid(exec.Engine(), object, name);
    if (found == nullptr) return kAdvance;
    KFocusOn(object, *found);
    return kAdvance;
}

int HandleBecome(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    int32_t values[4];
    for (int32_t& value : values) value = exec.IntArg(command);
    Kobject* parent = SpawnParent(object);
    if (parent == nullptr) return kAdvance;
    KDissolve(exec, object, *parent, values);
    if (&object == exec.RunningObject()) {
        object.dead = 1;
        exec.turnEnded = true;
        return kDie;
    }
    exec.EraseChild(*parent, object);
    return kAdvance;
}

}  // namespace

void KFocusOn(Kobject& object, const Kobject& found)
{
    if (found.parent == nullptr) return;
    const Kobject& home = *found.parent;
    int32_t homeX = 0;
    int32_t homeY = 0;
    home.WindowOrigin(homeX, homeY);
    int32_t ownX = 0;
    int32_t ownY = 0;
    object.WindowOrigin(ownX, ownY);
    // The centre in its parent's grid, then on the screen, then in object's grid.
    const int64_t centreX = int64_t{found.posx} + found.vieww / 2;
    const int64_t centreY = int64_t{found.posy} + found.viewh / 2;
    const int64_t screenX = centreX - (home.IsRoot() ? 0 : home.viewx) + homeX;
    const int64_t screenY = centreY - (home.IsRoot() ? 0 : home.viewy) + homeY;
    const int64_t x = screenX - ownX + object.viewx - object.vieww / 2;
    const int64_t y = screenY - ownY + object.viewy - object.viewh / 2;
    int64_t viewX = std::min<int64_t>(x, int64_t{object.width} - object.vieww);
    int64_t viewY = std::min<int64_t>(y, int64_t{object.height} - object.viewh);
    viewX = std::max<int64_t>(viewX, 0);
    viewY = std::max<int64_t>(viewY, 0);
    object.viewx = Clamped32(viewX);
    object.viewy = Clamped32(viewY);
}

void KDissolve(Kexec& exec, Kobject& object, Kobject& parent, const int32_t values[4])
{
    Kinterface& engine = exec.Engine();
    const bool paint = values[0] != -1 || values[1] != -1 || values[2] != -1 || values[3] != -1;
    // Only the part of the view window that lies on both grids is visited,
    // however large a script made the view.
    const int64_t viewW = std::max(object.vieww, 0);
    const int64_t viewH = std::max(object.viewh, 0);
    int64_t firstX = std::max<int64_t>(0, object.posx);
    int64_t firstY = std::max<int64_t>(0, object.posy);
    int64_t endX = std::min<int64_t>(int64_t{object.posx} + viewW, parent.width);
    int64_t endY = std::min<int64_t>(int64_t{object.posy} + viewH, parent.height);
    if (!paint) {
        // Copying, also only where the object's own grid has cells.
        const int64_t gridX = int64_t{object.posx} - object.viewx;
        const int64_t gridY = int64_t{object.posy} - object.viewy;
        firstX = std::max(firstX, gridX);
        firstY = std::max(firstY, gridY);
        endX = std::min<int64_t>(endX, gridX + object.width);
        endY = std::min<int64_t>(endY, gridY + object.height);
    }
    if (endX > firstX && endY > firstY) engine.vWork.Spend((endX - firstX) * (endY - firstY) / kCellsPerUnit);
    for (int64_t y = firstY; y < endY; ++y) {
        for (int64_t x = firstX; x < endX; ++x) {
            const auto px = static_cast<int32_t>(x);
            const auto py = static_cast<int32_t>(y);
            if (paint) {
                parent.SetCell(px, py, values[0], values[1], values[2], values[3]);
                continue;
            }
            const KCell* cell = object.GetCell(static_cast<int32_t>(x - object.posx + object.viewx),
                                               static_cast<int32_t>(y - object.posy + object.viewy));
            if (cell != nullptr) parent.SetCell(px, py, cell->chr, cell->fg, cell->bg, cell->attrib);
        }
    }
    // The children go to the parent where they touch the object's window,
    // else they go with it.
    const KWindow window = KWindowOf(object);
    const KWindow touching{window.x - 1, window.y - 1, window.w + 2, window.h + 2};
    std::vector<Kobject*> children;
    children.reserve(object.children.size());
    for (const auto& child : object.children) children.push_back(child.get());
    engine.vWork.Spend(static_cast<int64_t>(children.size()));
    std::vector<Kobject*> movers;
    for (Kobject* child : children) {
        const KWindow moved{int64_t{child->posx} + object.posx - object.viewx,
                            int64_t{child->posy} + object.posy - object.viewy, child->vieww, child->viewh};
        if (!KOverlaps(moved, touching)) {
            exec.EraseChild(object, *child);
            continue;
        }
        child->posx = Clamped32(moved.x);
        child->posy = Clamped32(moved.y);
        movers.push_back(child);
    }
    // Taken out from the back, where each is found at once, and linked in
    // their order in one pass over the parent's children.
    std::vector<std::unique_ptr<Kobject>> nodes;
    nodes.reserve(movers.size());
    for (auto mover = movers.rbegin(); mover != movers.rend(); ++mover) {
        if (std::unique_ptr<Kobject> node = object.UnLink(*mover)) nodes.push_back(std::move(node));
    }
    std::reverse(nodes.begin(), nodes.end());
    parent.LinkAll(std::move(nodes));
}

void KRegisterSpawnHandlers(KHandlerTable& table)
{
    table[kOpPut] = HandlePut;
    table[kOpThrow] = HandleThrow;
    table[kOpShoot] = HandleShoot;
    table[kOpAttach] = HandleAttach;
    table[kOpBind] = HandleBind;
    table[kOpFocus] = HandleFocus;
    table[kOpBecome] = HandleBecome;
}

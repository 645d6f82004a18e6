// One-cell moves of objects inside their parent: the parent's edges (and
// the containers left through them), the siblings in the way (and the
// containers entered), the cells under the object's border, and the
// messages a collision sends. Nothing a move does runs a script: messages
// only jump their receivers to a marker, so no node is destroyed while a
// move is under way and the parent it started in is still there at its end.

#include "KDirections.h"
#include "KHandlers.h"
#include "KWindow.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr int kStepX[4] = {0, 1, 0, -1};
constexpr int kStepY[4] = {-1, 0, 1, 0};
enum Edge : int { kNorth = 0, kEast = 1, kSouth = 2, kWest = 3, kNoEdge = -1 };

// Objects this small fit through a container's edge.
constexpr int32_t kMaxContainedSide = 4;
// Siblings and cells looked at for one unit of a tick's work.
constexpr int64_t kSiblingsPerUnit = 16;
constexpr int64_t kCellsPerUnit = 64;

enum CellAttribute : int { kFree = 0, kWall = 1, kBreakable = 2, kWater = 3 };

bool Representable(int64_t value)
{
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

// The answer of a move that cannot be made, by mode.
int Blocked(int mode) { return mode == kMoveNow ? 0 : 1; }

struct Point64 {
    int64_t x = 0;
    int64_t y = 0;
};

// The screen cell of the node's window, summed in 64 bits.
Point64 AbsoluteOrigin(const Kobject& node)
{
    Point64 at;
    for (const Kobject* step = &node; step->parent != nullptr; step = step->parent) {
        at.x += step->posx;
        at.y += step->posy;
        if (step->parent->parent != nullptr) {
            at.x -= step->parent->viewx;
            at.y -= step->parent->viewy;
        }
    }
    return at;
}

// Boards stay children of the root: they neither enter nor leave containers.
bool MayChangeParent(const Kobject& object) { return object.parent != nullptr && !object.IsBoard(); }

void PlaceAt(Kobject& object, int64_t x, int64_t y)
{
    object.posx = static_cast<int32_t>(x);
    object.posy = static_cast<int32_t>(y);
    object.Refile();
}

void Relink(Kobject& object, Kobject& into)
{
    Kobject* from = object.parent;
    if (from == nullptr || from == &into) return;
    into.Link(from->UnLink(&object));
}

// One move of one object; its scratch lists are kept between moves so that
// a busy tick does not allocate for every step.
class Move {
public:
    Move(Kexec& exec, Kobject& object, int mode)
        : exec_(exec), object_(object), mode_(mode), home_(object.parent), homeX_(object.posx), homeY_(object.posy)
    {
    }

    int Run(int direction);
    int TouchesPlayer(int direction);

private:
    int EdgeCrossed() const;
    bool Leave(int edge);
    bool StoppedByObject();
    bool Enter(Kobject& container);
    bool StoppedByCells();
    int CellVerdict(KCell& cell);
    void SendCollision(Kobject& obstacle);
    void Restore();
    const std::vector<Kobject*>& Meeting(Kobject& parent, const KWindow& window, std::vector<Kobject*>& out);

    Kexec& exec_;
    Kobject& object_;
    const int mode_;
    Kobject* const home_;
    const int32_t homeX_;
    const int32_t homeY_;
    static std::vector<Kobject*> siblings_;
    static std::vector<Kobject*> inside_;
};

std::vector<Kobject*> Move::siblings_;
std::vector<Kobject*> Move::inside_;

const std::vector<Kobject*>& Move::Meeting(Kobject& parent, const KWindow& window, std::vector<Kobject*>& out)
{
    int64_t looked = 0;
    parent.ChildrenMeeting(window, out, looked);
    exec_.Engine().vWork.Spend(looked / kSiblingsPerUnit);
    return out;
}

int Move::TouchesPlayer(int direction)
{
    if (home_ == nullptr) return 0;
    const KWindow stepped = KWindowOf(object_, kStepX[direction], kStepY[direction]);
    for (const Kobject* sibling : Meeting(*home_, stepped, siblings_)) {
        if (sibling != &object_ && sibling->name == "player" && sibling->posz == object_.posz) return 1;
    }
    return 0;
}

int Move::Run(int direction)
{
    const int64_t x = int64_t{object_.posx} + kStepX[direction];
    const int64_t y = int64_t{object_.posy} + kStepY[direction];
    // A position past the 32-bit range cannot be held: nothing goes there.
    if (!Representable(x) || !Representable(y)) return Blocked(mode_);
    if (object_.collideMode == kCollideNone || home_ == nullptr) {
        if (mode_ != kMoveNow) return 0;
        PlaceAt(object_, x, y);
        return 1;
    }
    PlaceAt(object_, x, y);
    bool blocked = false;
    const int edge = EdgeCrossed();
    if (edge != kNoEdge) blocked = mode_ != kMoveNow || !Leave(edge);
    if (!blocked) blocked = StoppedByObject();
    if (!blocked) blocked = StoppedByCells();
    if (blocked || mode_ != kMoveNow) Restore();
    return blocked ? Blocked(mode_) : (mode_ == kMoveNow ? 1 : 0);
}

// The first edge of the bounds the object's window crosses: the parent's
// view for an object that is itself a container, else its whole surface.
int Move::EdgeCrossed() const
{
    const Kobject& parent = *home_;
    const KWindow bounds = object_.enterable != 0 ? KWindow{parent.viewx, parent.viewy, parent.vieww, parent.viewh}
                                                  : KWindow{0, 0, parent.width, parent.height};
    const KWindow window = KWindowOf(object_);
    if (window.x < bounds.x) return kWest;
    if (window.x + window.w > bounds.x + bounds.w) return kEast;
    if (window.y < bounds.y) return kNorth;
    if (window.y + window.h > bounds.y + bounds.h) return kSouth;
    return kNoEdge;
}

// Steps out of an enterable parent into the grandparent, beside the
// parent's window on the side it left by.
bool Move::Leave(int edge)
{
    Kobject& container = *home_;
    Kobject* outside = container.parent;
    if (container.enterable == 0 || outside == nullptr || !MayChangeParent(container) ||
        object_.vieww > kMaxContainedSide || object_.viewh > kMaxContainedSide) {
        return false;
    }
    const int64_t x = object_.posx;
    const int64_t y = object_.posy;
    const int64_t alongX = int64_t{container.posx} - container.viewx + x;
    const int64_t alongY = int64_t{container.posy} - container.viewy + y;
    Point64 to;
    switch (edge) {
    case kNorth: to = {alongX, int64_t{container.posy} - object_.viewh}; break;
    case kEast: to = {int64_t{container.posx} + container.vieww, alongY}; break;
    case kSouth: to = {alongX, int64_t{container.posy} + container.viewh}; break;
    default: to = {int64_t{container.posx} - object_.vieww, alongY}; break;
    }
    if (!Representable(to.x) || !Representable(to.y)) return false;
    object_.posx = static_cast<int32_t>(to.x);
    object_.posy = static_cast<int32_t>(to.y);
    Relink(object_, *outside);
    return true;
}

// The siblings in the way, in list order; the first one decides. In a real
// move an enterable one takes the object in, else the collision messages go
// out.
bool Move::StoppedByObject()
{
    Kobject& parent = *object_.parent;
    for (Kobject* other : Meeting(parent, KWindowOf(object_), siblings_)) {
        if (other == &object_ || other->collideMode == kCollideNone || other->posz != object_.posz) continue;
        if (other->id == object_.ownerid || other->ownerid == object_.id) continue;
        if (other->exclude != 0 && object_.exclude != 0) continue;
        if (mode_ != kMoveNow) return true;
        if (Enter(*other)) return false;
        SendCollision(*other);
        return true;
    }
    return false;
}

bool Move::Enter(Kobject& container)
{
    if (container.enterable == 0 || !MayChangeParent(object_) || object_.vieww > kMaxContainedSide ||
        object_.viewh > kMaxContainedSide) {
        return false;
    }
    const Point64 mine = AbsoluteOrigin(object_);
    const Point64 its = AbsoluteOrigin(container);
    int64_t x = mine.x - its.x + container.viewx;
    int64_t y = mine.y - its.y + container.viewy;
    if (x < 0) x = 0;
    if (x + object_.vieww >= container.width) x = int64_t{container.width} - object_.vieww;
    if (y < 0) y = 0;
    if (y + object_.viewh >= container.height) y = int64_t{container.height} - object_.viewh;
    if (!Representable(x) || !Representable(y)) return false;
    object_.posx = static_cast<int32_t>(x);
    object_.posy = static_cast<int32_t>(y);
    Relink(object_, container);
    // Whatever already stands there keeps the newcomer out (the restore
    // takes it back to where it came from).
    for (const Kobject* other : Meeting(container, KWindowOf(object_), inside_)) {
        if (other != &object_ && other->id != object_.ownerid && other->posz == object_.posz) return false;
    }
    return true;
}

void Receive(Kexec& exec, Kobject& receiver, const char* marker)
{
    if (exec.SendMarker(receiver, marker) == 0) return;
    receiver.running = 1;
    receiver.wait = 0;
}

void Move::SendCollision(Kobject& obstacle)
{
    if (object_.name == "player") {
        if (obstacle.locked == 0) Receive(exec_, obstacle, "touch");
    } else if (object_.name == "bullet") {
        if (obstacle.locked == 0) Receive(exec_, obstacle, "shot");
    } else if (obstacle.name == "player") {
        if (object_.locked == 0) Receive(exec_, object_, "touch");
    } else if (obstacle.name == "bullet" && object_.locked == 0) {
        Receive(exec_, object_, "shot");
        Receive(exec_, obstacle, "thud");
    }
}

enum CellVerdictCode : int { kPasses = 0, kStops = 1, kBrokeIt = 2 };

int Move::CellVerdict(KCell& cell)
{
    switch (object_.collideMode) {
    case kCollideFly:
        if (cell.attrib == kWall) return kStops;
        if (cell.attrib != kBreakable) return kPasses;
        // Only a bullet that really moves breaks a wall; asking whether it
        // could move leaves the wall standing.
        if (mode_ != kMoveNow || object_.name != "bullet") return kStops;
        {
            Kinterface& engine = exec_.Engine();
            cell.chr = static_cast<int16_t>(engine.GetVar("break_c"));
            cell.fg = static_cast<int16_t>(engine.GetVar("break_f"));
            cell.bg = static_cast<int16_t>(engine.GetVar("break_b"));
            cell.attrib = kFree;
            cell.drawn = 0;
        }
        return kBrokeIt;
    case kCollideWater: return cell.attrib == kWater ? kPasses : kStops;
    default: return cell.attrib == kFree ? kPasses : kStops;
    }
}

// The cells under the object's border ring, row by row, in the parent's
// surface. The first cell outside the surface or the first that stops the
// object ends the scan, so a window of any size costs at most the
// surface's rows and two of its rows' widths; a bullet breaks every
// breakable cell before that.
bool Move::StoppedByCells()
{
    Kobject& parent = *object_.parent;
    const KWindow window = KWindowOf(object_);
    if (window.w <= 0 || window.h <= 0) return false;
    const int64_t lastRow = window.y + window.h - 1;
    const int64_t lastCol = window.x + window.w - 1;
    bool blocked = false;
    int64_t looked = 0;
    auto visit = [&](int64_t col, int64_t row) {
        ++looked;
        KCell* cell = parent.GetCell(static_cast<int32_t>(col), static_cast<int32_t>(row));
        const int verdict = cell == nullptr ? kStops : CellVerdict(*cell);
        if (verdict != kPasses) blocked = true;
        return verdict != kStops;
    };
    bool goOn = true;
    for (int64_t row = window.y; row <= lastRow && goOn; ++row) {
        if (row < 0 || row >= parent.height || window.x < 0) {
            blocked = true;
            break;
        }
        const bool ring = row == window.y || row == lastRow;
        const int64_t insideEnd = std::min<int64_t>(lastCol, parent.width - 1);
        for (int64_t col = window.x; col <= insideEnd && goOn; col = ring || col == lastCol ? col + 1 : lastCol) {
            goOn = visit(col, row);
        }
        if (goOn && lastCol >= parent.width) {
            blocked = true;
            break;
        }
    }
    exec_.Engine().vWork.Spend(looked / kCellsPerUnit);
    return blocked;
}

// Back where it was, in the parent it started in.
void Move::Restore()
{
    object_.posx = homeX_;
    object_.posy = homeY_;
    if (object_.parent != home_) {
        Relink(object_, *home_);
    } else {
        object_.Refile();
    }
}

}  // namespace

int KMoveObject(Kexec& exec, Kobject& object, int direction, int mode)
{
    if (direction < 0 || direction > 3) return mode == kMoveNow ? 1 : 0;
    // A tick that cannot afford the move leaves the object where it is.
    if (!exec.Engine().vWork.Spend(1)) return mode == kMoveTestPlayer ? 0 : Blocked(mode);
    Move move(exec, object, mode);
    if (mode == kMoveTestPlayer) return move.TouchesPlayer(direction);
    return move.Run(direction);
}

// --- Handlers ----------------------------------------------------------------

namespace {

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

int HandleMove(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    exec.turnEnded = true;
    const int direction = DirectionOf(exec, object, command);
    if (direction == kDirectionNone) return kAdvance;
    return KMoveObject(exec, object, direction, kMoveNow) != 0 ? kAdvance : kRepeat;
}

int HandleTryMove(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    exec.turnEnded = true;
    const int direction = DirectionOf(exec, object, command);
    if (direction != kDirectionNone) KMoveObject(exec, object, direction, kMoveNow);
    return kAdvance;
}

int HandleWalk(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    object.walkDir = DirectionOf(exec, object, command);
    return kAdvance;
}

// A failed step lets the rest of the line (the alternative) run in this turn.
int HandleTry(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    const int direction = DirectionOf(exec, object, command);
    if (direction != kDirectionNone && KMoveObject(exec, object, direction, kMoveNow) == 0) return kAdvance;
    exec.turnEnded = true;
    return kSkipLine;
}

int HandleCollide(Kexec&, Kobject& object, KCompiledCommand& command)
{
    if (command.code.size() < 2) return kAdvance;
    const int mode = static_cast<unsigned char>(command.code[1]);
    if (mode == kCollideExclude) {
        object.exclude = 1;
    } else {
        object.collideMode = mode;
    }
    return kAdvance;
}

int HandleEnterable(Kexec&, Kobject& object, KCompiledCommand& command)
{
    if (command.code.size() >= 2) object.enterable = static_cast<unsigned char>(command.code[1]);
    return kAdvance;
}

}  // namespace

void KRegisterMovementHandlers(KHandlerTable& table)
{
    table[kOpMove] = HandleMove;
    table[kOpTryMove] = HandleTryMove;
    table[kOpWalk] = HandleWalk;
    table[kOpTry] = HandleTry;
    table[kOpCollide] = HandleCollide;
    table[kOpEnterable] = HandleEnterable;
}

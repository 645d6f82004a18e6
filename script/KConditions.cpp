// #if: a named condition of the object's situation, or a flag variable.

#include "KDirections.h"
#include "KHandlers.h"
#include "KNames.h"
#include "KWindow.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <cmath>

namespace {

struct Point {
    int64_t x = 0;
    int64_t y = 0;
};

// Centre of an object's window on the screen grid.
Point Centre(const Kobject& object)
{
    const KWindow window = KScreenWindowOf(object);
    return Point{window.x + window.w / 2, window.y + window.h / 2};
}

bool Overlap(const Kobject& a, const Kobject& b) { return KOverlaps(KScreenWindowOf(a), KScreenWindowOf(b)); }

std::string_view RestOfCode(const KCompiledCommand& command)
{
    const size_t at = static_cast<size_t>(command.cursor);
    return at < command.code.size() ? std::string_view(command.code).substr(at) : std::string_view();
}

// Cells looked at for one unit of a tick's work.
constexpr size_t kCellsPerUnit = 64;

bool AnyCellMatches(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    const int32_t chr = exec.IntArg(command);
    const int32_t back = exec.IntArg(command);
    const int32_t fore = exec.IntArg(command);
    const int32_t attrib = exec.IntArg(command);
    auto matches = [](int32_t wanted, int16_t value) { return wanted == -1 || wanted == value; };
    if (!exec.Engine().vWork.Spend(static_cast<int64_t>(object.cells.size() / kCellsPerUnit))) return false;
    for (const KCell& cell : object.cells) {
        if (matches(chr, cell.chr) && matches(back, cell.bg) && matches(fore, cell.fg) && matches(attrib, cell.attrib)) {
            return true;
        }
    }
    return false;
}

// The direction list that starts at the cursor and ends at its end byte.
int DirectionArgument(Kexec& exec, const Kobject& object, const KCompiledCommand& command)
{
    const size_t begin = static_cast<size_t>(command.cursor);
    size_t end = begin;
    while (end < command.code.size() && static_cast<unsigned char>(command.code[end]) != kDirListEnd) ++end;
    return KResolveDirection(exec, object, command.code, begin, end);
}

bool AlignedInDirection(Kexec& exec, Kobject& object, KCompiledCommand& command, const Kobject& player)
{
    const int direction = DirectionArgument(exec, object, command);
    const Point self = Centre(object);
    const Point other = Centre(player);
    switch (direction) {
    case 0: return self.x == other.x && other.y < self.y;
    case 1: return self.y == other.y && other.x > self.x;
    case 2: return self.x == other.x && other.y > self.y;
    case 3: return self.y == other.y && other.x < self.x;
    default: return false;
    }
}

bool InScope(Kexec& exec, Kobject& object, const KCompiledCommand& command)
{
    Kinterface& engine = exec.Engine();
    const std::string address(RestOfCode(command));
    const int self = engine.AllocHandle(&object);
    if (self < 0) return false;
    const int list = engine.Resolve(self, address);
    const bool found = engine.ListCount(list) > 0;
    engine.FreeList(list);
    engine.ReleaseHandle(self);
    return found;
}

// Depth below the active board of the first node of that name, found
// depth first; every node looked at costs the tick a unit of work, and a
// search the tick cannot afford finds nothing.
int DepthInBoard(Kinterface& engine, const std::string& name)
{
    if (engine.vActiveBoard == nullptr) return -1;
    struct Place {
        const Kobject* node;
        size_t next;
    };
    std::vector<Place> path{{engine.vActiveBoard, 0}};
    while (!path.empty()) {
        Place& at = path.back();
        if (at.next == at.node->children.size()) {
            path.pop_back();
            continue;
        }
        const Kobject* child = at.node->children[at.next++].get();
        if (!engine.vWork.Spend(1)) return -1;
        if (child->name == name) return static_cast<int>(path.size()) - 1;
        path.push_back(Place{child, 0});
    }
    return -1;
}

bool Condition(Kexec& exec, Kobject& object, KCompiledCommand& command, int code)
{
    Kinterface& engine = exec.Engine();
    const Kobject* player = engine.vPlayer;
    switch (code) {
    case kCondFlag: return engine.GetVar(exec.NameArg(command)) != 0;
    case kCondAligned: {
        if (player == nullptr) return false;
        const Point self = Centre(object);
        const Point other = Centre(*player);
        return self.x == other.x || self.y == other.y;
    }
    case kCondAlignDir: return player != nullptr && AlignedInDirection(exec, object, command, *player);
    case kCondContact:
        for (int direction = 0; direction < 4; ++direction) {
            if (KMoveObject(exec, object, direction, kMoveTestPlayer) != 0) return true;
        }
        return false;
    case kCondBlocked: {
        const int direction = DirectionArgument(exec, object, command);
        return direction >= 0 && KMoveObject(exec, object, direction, kMoveTestBlocked) != 0;
    }
    case kCondAny: return AnyCellMatches(exec, object, command);
    case kCondInside: return player != nullptr && Overlap(object, *player);
    case kCondAbove:
    case kCondBelow: {
        if (player == nullptr) return false;
        const int mine = DepthInBoard(engine, object.name);
        const int theirs = DepthInBoard(engine, player->name);
        if (code == kCondAbove) return mine > theirs || (mine == theirs && object.posz < player->posz);
        return mine < theirs || (mine == theirs && object.posz > player->posz);
    }
    case kCondRange: {
        if (player == nullptr) return false;
        const int32_t range = exec.IntArg(command);
        const Point self = Centre(object);
        const Point other = Centre(*player);
        const double dx = static_cast<double>(self.x - other.x);
        const double dy = static_cast<double>(self.y - other.y);
        return std::sqrt(dx * dx + dy * dy) <= static_cast<double>(range);
    }
    case kCondState: return RestOfCode(command) == object.lastMarker;
    case kCondScope: return InScope(exec, object, command);
    default: return true;
    }
}

}  // namespace

int KHandleIf(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    if (command.code.size() < 3) return kAdvance;
    const int negate = command.code[1] == 1 ? 1 : 0;
    const int code = static_cast<unsigned char>(command.code[2]);
    command.cursor = 3;
    const int holds = Condition(exec, object, command, code) ? 1 : 0;
    return (holds ^ negate) != 0 ? kAdvance : kSkipLine;
}

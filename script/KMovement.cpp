// One-cell moves of objects inside their parent.

#include "KHandlers.h"
#include "KWindow.h"
#include "Kinterface.h"
#include "Kobject.h"

namespace {

constexpr int kStepX[4] = {0, 1, 0, -1};
constexpr int kStepY[4] = {-1, 0, 1, 0};

// Would the object, stepped one cell, overlap a sibling named "player" at its depth?
int TouchesPlayer(const Kobject& object, int direction)
{
    if (object.parent == nullptr) return 0;
    const KWindow stepped = KWindowOf(object, kStepX[direction], kStepY[direction]);
    for (const auto& sibling : object.parent->children) {
        if (sibling.get() == &object || sibling->name != "player" || sibling->posz != object.posz) continue;
        if (KOverlaps(stepped, KWindowOf(*sibling))) return 1;
    }
    return 0;
}

}  // namespace

int KMoveObject(Kexec& exec, Kobject& object, int direction, int mode)
{
    if (direction < 0 || direction > 3) return mode == 0 ? 1 : 0;
    switch (mode) {
    case 1:
        // Crowded parents cost the tick their size.
        if (object.parent == nullptr ||
            !exec.Engine().vWork.Spend(static_cast<int64_t>(object.parent->children.size() / 16 + 1))) {
            return 0;
        }
        return TouchesPlayer(object, direction);
    // Walls, objects and containers do not stop anything yet: every move
    // counts as made and nothing is blocked.
    case 0: return 1;
    default: return 0;
    }
}

#include "KDirections.h"

#include "Kexec.h"
#include "Kinterface.h"
#include "Kobject.h"

namespace {

enum DirectionCode : int {
    kNorth = 57,
    kSouth = 58,
    kWest = 59,
    kEast = 60,
    kSeek = 61,
    kSeekVertical = 62,
    kSeekHorizontal = 63,
    kIdle = 64,
    kFlow = 65,
    kRandomNorthSouth = 66,
    kRandomNorthEast = 67,
    kRandomPerpendicular = 68,
    kRandom = 69,
    kClockwise = 70,
    kCounterClockwise = 71,
    kOpposite = 72,
};

int Wrap(int direction) { return ((direction % 4) + 4) % 4; }

struct SeekPoint {
    int64_t x;
    int64_t y;
};

// Each object's point for seeking: its position less half its view size,
// in its own parent's grid.
SeekPoint PointOf(const Kobject& object)
{
    return SeekPoint{int64_t{object.posx} - object.vieww / 2, int64_t{object.posy} - object.viewh / 2};
}

int Vertical(const SeekPoint& self, const SeekPoint& player)
{
    if (player.y > self.y) return 2;
    if (player.y < self.y) return 0;
    return kDirectionNone;
}

int Horizontal(const SeekPoint& self, const SeekPoint& player)
{
    if (player.x > self.x) return 1;
    if (player.x < self.x) return 3;
    return kDirectionNone;
}

int Seek(Kexec& exec, const Kobject& object, int code, int sofar)
{
    const Kobject* player = exec.Engine().vPlayer;
    if (player == nullptr) return sofar;
    const SeekPoint self = PointOf(object);
    const SeekPoint target = PointOf(*player);
    if (code == kSeekVertical) {
        const int direction = Vertical(self, target);
        return direction == kDirectionNone ? sofar : direction;
    }
    if (code == kSeekHorizontal) {
        const int direction = Horizontal(self, target);
        return direction == kDirectionNone ? sofar : direction;
    }
    const bool verticalFirst = exec.Engine().vRandom.Next(101) >= 50;
    const int first = verticalFirst ? Vertical(self, target) : Horizontal(self, target);
    if (first != kDirectionNone) return first;
    return verticalFirst ? Horizontal(self, target) : Vertical(self, target);
}

int Apply(Kexec& exec, const Kobject& object, int code, int sofar)
{
    KRandom& random = exec.Engine().vRandom;
    switch (code) {
    case kNorth: return 0;
    case kSouth: return 2;
    case kWest: return 3;
    case kEast: return 1;
    case kSeek:
    case kSeekVertical:
    case kSeekHorizontal: return Seek(exec, object, code, sofar);
    case kIdle: return kDirectionNone;
    case kFlow: return object.walkDir;
    case kRandomNorthSouth: return random.Next(2) == 0 ? 0 : 2;
    case kRandomNorthEast: return random.Next(2) == 0 ? 0 : 1;
    case kRandomPerpendicular: return random.Next(101) >= 50 ? Wrap(sofar + 1) : Wrap(sofar - 1);
    case kRandom: return random.Next(4);
    case kClockwise: return sofar + 1 == 4 ? 0 : sofar + 1;
    case kCounterClockwise: return sofar - 1 == -1 ? 3 : sofar - 1;
    case kOpposite: return sofar + 2 > 3 ? sofar + 2 - 4 : sofar + 2;
    default: return sofar;
    }
}

}  // namespace

int KResolveDirection(Kexec& exec, const Kobject& object, const std::string& code, size_t begin, size_t end)
{
    int direction = kDirectionNone;
    end = std::min(end, code.size());
    for (size_t at = end; at > begin; --at) {
        const int byte = static_cast<unsigned char>(code[at - 1]);
        if (byte < kNorth || byte > kOpposite) break;
        direction = Apply(exec, object, byte, direction);
    }
    return direction;
}

#include "KDirections.h"

#include "KNames.h"

#include "Kexec.h"
#include "Kinterface.h"
#include "Kobject.h"

namespace {


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
    if (code == kDirSeekV) {
        const int direction = Vertical(self, target);
        return direction == kDirectionNone ? sofar : direction;
    }
    if (code == kDirSeekH) {
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
    case kDirN: return 0;
    case kDirS: return 2;
    case kDirW: return 3;
    case kDirE: return 1;
    case kDirSeek:
    case kDirSeekV:
    case kDirSeekH: return Seek(exec, object, code, sofar);
    case kDirI: return kDirectionNone;
    case kDirFlow: return object.walkDir;
    case kDirRndNS: return random.Next(2) == 0 ? 0 : 2;
    case kDirRndNE: return random.Next(2) == 0 ? 0 : 1;
    case kDirRndP: return random.Next(101) >= 50 ? Wrap(sofar + 1) : Wrap(sofar - 1);
    case kDirRnd: return random.Next(4);
    case kDirCW: return sofar + 1 == 4 ? 0 : sofar + 1;
    case kDirCCW: return sofar - 1 == -1 ? 3 : sofar - 1;
    case kDirOpp: return sofar + 2 > 3 ? sofar + 2 - 4 : sofar + 2;
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
        if (byte < kDirN || byte > kDirOpp) break;
        direction = Apply(exec, object, byte, direction);
    }
    return direction;
}

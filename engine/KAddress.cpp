#include "KAddress.h"

#include "KAscii.h"
#include "KTrace.h"
#include "KWindow.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

enum class KSegmentWord : uint8_t {
    Top, All, Parent, Inside, Contained, Mask, North, South, West, East,
    ContainedNorth, ContainedSouth, ContainedWest, ContainedEast, Nowhere, Name,
};

struct KSegment {
    KSegmentWord word = KSegmentWord::Name;
    std::string name;  // for Name: lowered (runner) or as written (editor)
};

struct KWordEntry {
    std::string_view text;
    KSegmentWord word;
};

constexpr KWordEntry kRunnerWords[] = {
    {"top", KSegmentWord::Top},           {"all", KSegmentWord::All},
    {"parent", KSegmentWord::Parent},     {"inside", KSegmentWord::Inside},
    {"contained", KSegmentWord::Contained}, {"mask", KSegmentWord::Mask},
    {"n", KSegmentWord::North},           {"s", KSegmentWord::South},
    {"w", KSegmentWord::West},            {"e", KSegmentWord::East},
    {"cn", KSegmentWord::ContainedNorth}, {"cs", KSegmentWord::ContainedSouth},
    {"cw", KSegmentWord::ContainedWest},  {"ce", KSegmentWord::ContainedEast},
};

constexpr KWordEntry kEditorWords[] = {
    {"top", KSegmentWord::Top},         {"all", KSegmentWord::All},
    {"parent", KSegmentWord::Parent},   {"inside", KSegmentWord::Nowhere},
    {"contained", KSegmentWord::Nowhere}, {"mask", KSegmentWord::Nowhere},
};

// Words that make the runner's walk start at the node itself.
constexpr std::string_view kRunnerStartWords[] = {"parent", "inside", "contained", "mask", "n", "e",
                                                  "w",      "s",      "cn",        "ce",   "cw", "cs"};
// The editor knows these by their letters alone.
constexpr std::string_view kEditorStartWords[] = {"parent", "inside", "contained", "mask"};

// A word at the head of the path, followed by "." or the end.
bool HeadWordIs(std::string_view path, std::string_view word)
{
    return path.starts_with(word) && (path.size() == word.size() || path[word.size()] == '.');
}

KSegment ParseSegment(std::string_view text, KFlavour walk)
{
    KSegment segment;
    for (const char c : text) {
        if (c == ' ') continue;  // spaces inside a segment are skipped
        segment.name += walk == KFlavour::Runner ? KLowerAscii(c) : c;
    }
    if (walk == KFlavour::Runner) {
        for (const KWordEntry& entry : kRunnerWords) {
            if (entry.text == segment.name) segment.word = entry.word;
        }
    } else {
        for (const KWordEntry& entry : kEditorWords) {
            if (entry.text == segment.name) segment.word = entry.word;
        }
    }
    return segment;
}

std::vector<KSegment> ParsePath(std::string_view path, KFlavour walk)
{
    std::vector<KSegment> segments;
    while (!path.empty()) {
        const size_t dot = path.find('.');
        segments.push_back(ParseSegment(path.substr(0, dot), walk));
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return segments;
}

bool IsEmpty(const KCell& cell) { return cell.chr == 0 && cell.fg == 0 && cell.bg == 0 && cell.attrib == 0; }

class KAddressWalk {
public:
    KAddressWalk(Kinterface& engine, KFlavour walk, int list) : engine_(engine), walk_(walk), list_(list) {}

    void Run(Kobject* start, std::string_view path)
    {
        segments_ = ParsePath(path, walk_);
        struct Step {
            Kobject* node;
            size_t segment;
        };
        std::vector<Step> pending{{start, 0}};
        std::vector<Kobject*> reached;
        while (!pending.empty() && Spend(1)) {
            const Step step = pending.back();
            pending.pop_back();
            if (step.segment == segments_.size()) {
                if (step.node != nullptr && !engine_.AddToList(list_, step.node)) return;  // no handle left
                continue;
            }
            reached.clear();
            Reach(step.node, segments_[step.segment], reached);
            // Reversed onto the stack, so the first node reached is walked first.
            for (auto node = reached.rbegin(); node != reached.rend(); ++node) {
                pending.push_back(Step{*node, step.segment + 1});
            }
        }
    }

private:
    // Each walk has a budget of its own, and in the runner every step also
    // counts against the tick's work.
    bool Spend(size_t units)
    {
        if (budget_ < units || (walk_ == KFlavour::Runner && !engine_.vWork.Spend(static_cast<int64_t>(units)))) {
            budget_ = 0;
            return false;
        }
        budget_ -= units;
        return true;
    }

    void Reach(Kobject* node, const KSegment& segment, std::vector<Kobject*>& out)
    {
        if (segment.word == KSegmentWord::Top) {
            out.push_back(engine_.vMain.get());
            return;
        }
        if (node == nullptr) return;
        switch (segment.word) {
        case KSegmentWord::All:
            for (const auto& child : node->children) {
                if (!Spend(1)) return;
                out.push_back(child.get());
            }
            return;
        case KSegmentWord::Parent:
            if (node->parent != nullptr) out.push_back(node->parent);
            return;
        case KSegmentWord::Inside: Siblings(*node, 0, 0, false, out); return;
        case KSegmentWord::Contained: Siblings(*node, 0, 0, true, out); return;
        case KSegmentWord::North: Siblings(*node, 0, -1, false, out); return;
        case KSegmentWord::South: Siblings(*node, 0, 1, false, out); return;
        case KSegmentWord::West: Siblings(*node, -1, 0, false, out); return;
        case KSegmentWord::East: Siblings(*node, 1, 0, false, out); return;
        case KSegmentWord::ContainedNorth: Siblings(*node, 0, -1, true, out); return;
        case KSegmentWord::ContainedSouth: Siblings(*node, 0, 1, true, out); return;
        case KSegmentWord::ContainedWest: Siblings(*node, -1, 0, true, out); return;
        case KSegmentWord::ContainedEast: Siblings(*node, 1, 0, true, out); return;
        case KSegmentWord::Mask: MaskedSiblings(*node, out); return;
        case KSegmentWord::Name: NamedChildren(*node, segment.name, out); return;
        case KSegmentWord::Top: case KSegmentWord::Nowhere: return;
        }
    }

    // Siblings whose windows overlap (or lie within) the node's window,
    // moved by (dx, dy) for the test only.
    void Siblings(const Kobject& node, int64_t dx, int64_t dy, bool contained, std::vector<Kobject*>& out)
    {
        if (node.parent == nullptr) return;
        const KWindow mine = KWindowOf(node, dx, dy);
        for (const auto& sibling : node.parent->children) {
            if (!Spend(1)) return;
            if (sibling->id == node.id) continue;
            const KWindow theirs = KWindowOf(*sibling);
            if (contained ? KLiesWithin(theirs, mine) : KOverlaps(mine, theirs)) out.push_back(sibling.get());
        }
    }

    void MaskedSiblings(const Kobject& node, std::vector<Kobject*>& out)
    {
        if (node.parent == nullptr) return;
        const KWindow mine = KWindowOf(node);
        for (const auto& sibling : node.parent->children) {
            if (!Spend(1)) return;
            if (sibling->id == node.id || !KOverlaps(mine, KWindowOf(*sibling))) continue;
            if (CellsMeet(node, *sibling)) out.push_back(sibling.get());
            if (budget_ == 0) return;
        }
    }

    // Whether a non-empty cell of a lies on a non-empty cell of b, both
    // grids read from their own origins. Only cells that exist in both are
    // looked at, so the work is bounded by the smaller grid.
    bool CellsMeet(const Kobject& a, const Kobject& b)
    {
        const int64_t dx = int64_t{a.posx} - b.posx;
        const int64_t dy = int64_t{a.posy} - b.posy;
        const int64_t x0 = std::max<int64_t>(0, -dx);
        const int64_t y0 = std::max<int64_t>(0, -dy);
        const int64_t x1 = std::min<int64_t>({a.vieww, a.width, int64_t{b.width} - dx});
        const int64_t y1 = std::min<int64_t>({a.viewh, a.height, int64_t{b.height} - dy});
        for (int64_t y = y0; y < y1; ++y) {
            for (int64_t x = x0; x < x1; ++x) {
                if (!Spend(1)) return false;
                const KCell* mine = a.GetCell(static_cast<int32_t>(x), static_cast<int32_t>(y));
                const KCell* theirs = b.GetCell(static_cast<int32_t>(x + dx), static_cast<int32_t>(y + dy));
                if (mine != nullptr && theirs != nullptr && !IsEmpty(*mine) && !IsEmpty(*theirs)) return true;
            }
        }
        return false;
    }

    void NamedChildren(const Kobject& node, const std::string& name, std::vector<Kobject*>& out)
    {
        for (const auto& child : node.children) {
            if (!Spend(1)) return;
            if (NameMatches(child->name, name)) out.push_back(child.get());
        }
    }

    bool NameMatches(const std::string& nodeName, const std::string& segmentName) const
    {
        if (walk_ == KFlavour::Editor) return nodeName == segmentName;
        if (nodeName.size() != segmentName.size()) return false;
        for (size_t i = 0; i < nodeName.size(); ++i) {
            const char c = nodeName[i];
            if (KLowerAscii(c) != segmentName[i]) return false;
        }
        return true;
    }

    Kinterface& engine_;
    KFlavour walk_;
    int list_;
    size_t budget_ = kAddressWorkBudget;
    std::vector<KSegment> segments_;
};

// Where the walk starts and the path it walks from there.
Kobject* StartOfWalk(Kobject& node, KFlavour walk, std::string_view& path)
{
    if (HeadWordIs(path, "self")) {
        path = path.size() > 5 ? path.substr(5) : std::string_view();
        return &node;
    }
    if (walk == KFlavour::Runner) {
        for (const std::string_view word : kRunnerStartWords) {
            if (HeadWordIs(path, word)) return &node;
        }
    } else {
        for (const std::string_view word : kEditorStartWords) {
            if (path.starts_with(word)) return &node;
        }
    }
    return node.parent;  // a bare name finds siblings
}

}  // namespace

int KResolveAddress(Kinterface& engine, KFlavour walk, int h, std::string_view address)
{
    if (h < 0 || h >= kHandleCount || address.empty()) return -1;
    Kobject* node = engine.NodeOf(h);
    if (node == nullptr) return -1;
    const int list = engine.AllocList();
    if (list < 0) return -1;
    if (walk == KFlavour::Editor) KTRACE("%s->Starting handle list .. %i\n", node->name.c_str(), list);
    // The leading "." is optional: "door" reads as ".door".
    std::string_view path = address[0] == '.' ? address.substr(1) : address;
    Kobject* start = StartOfWalk(*node, walk, path);
    KAddressWalk(engine, walk, list).Run(start, path);
    engine.vLists[static_cast<size_t>(list)].cursor = 0;
    return list;
}

int Kinterface::Resolve(int h, std::string_view address)
{
    return KResolveAddress(*this, IsEditor() ? KFlavour::Editor : KFlavour::Runner, h, address);
}

#include "KTools.h"

#include "KCanvas.h"
#include "KEditorDoc.h"
#include "KTrace.h"
#include "KTreeEdits.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <climits>
#include <utility>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Allegro's line and ellipse stepping hand each point to a plain function.
thread_local KToolRegion* gMarked = nullptr;

void MarkPoint(BITMAP*, int x, int y, int)
{
    KToolRegion& region = *gMarked;
    // Only points inside the box count.
    if (x < region.left || y < region.top || x >= region.left + region.width || y >= region.top + region.height) return;
    region.At(x, y) = 1;
}

KToolRegion BlankRegion(const Kobject& node)
{
    KToolRegion region;
    region.stride = std::max(node.width, 0);
    region.rows = std::max(node.height, 0);
    region.mask.assign(static_cast<size_t>(region.stride) * static_cast<size_t>(region.rows), 0);
    return region;
}

// The cursor-to-anchor rectangle, ordered and clamped to the node, as box
// and centre.
void ClampedBox(KToolRegion& region, int x1, int y1, int x2, int y2)
{
    if (region.stride <= 0 || region.rows <= 0) return;
    const int left = std::clamp(std::min(x1, x2), 0, region.stride - 1);
    const int right = std::clamp(std::max(x1, x2), 0, region.stride - 1);
    const int top = std::clamp(std::min(y1, y2), 0, region.rows - 1);
    const int bottom = std::clamp(std::max(y1, y2), 0, region.rows - 1);
    region.left = left;
    region.top = top;
    region.width = right - left + 1;
    region.height = bottom - top + 1;
    region.centreX = left + region.width / 2;
    region.centreY = top + region.height / 2;
}

// The region with the bounds of its marked cells and the fill's start as
// its centre.
KToolRegion Bounded(KToolRegion region, int left, int top, int right, int bottom, int startX, int startY)
{
    region.left = left;
    region.top = top;
    region.width = right - left + 1;
    region.height = bottom - top + 1;
    region.centreX = startX;
    region.centreY = startY;
    return region;
}

bool SameLook(const KCell& a, const KCell& b) { return a.chr == b.chr && a.fg == b.fg && a.bg == b.bg && a.attrib == b.attrib; }

KToolRegion Flood(const Kobject& node, int startX, int startY)
{
    KToolRegion region = BlankRegion(node);
    const KCell* start = node.GetCell(startX, startY);
    if (start == nullptr) return region;  // outside the node: nothing
    const KCell reference = *start;
    int left = startX;
    int top = startY;
    int right = startX;
    int bottom = startY;
    // First in, first out: a vector read from the front, cells packed as
    // their place in the mask.
    const uint32_t stride = static_cast<uint32_t>(region.stride);
    if (!gKTraceEnabled) {
        // Without a trace to write, each cell is marked as it is queued, so
        // it is queued once: the same cells, without the repeats.
        std::vector<uint32_t> queue{static_cast<uint32_t>(startY) * stride + static_cast<uint32_t>(startX)};
        queue.reserve(region.mask.size());
        region.mask[queue.front()] = 1;
        auto visit = [&](uint32_t at) {
            if (region.mask[at] == 0 && SameLook(node.cells[at], reference)) {
                region.mask[at] = 1;
                queue.push_back(at);
            }
        };
        for (size_t head = 0; head < queue.size(); ++head) {
            const uint32_t at = queue[head];
            const int x = static_cast<int>(at % stride);
            const int y = static_cast<int>(at / stride);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            if (x + 1 < region.stride) visit(at + 1);
            if (x > 0) visit(at - 1);
            if (y + 1 < region.rows) visit(at + stride);
            if (y > 0) visit(at - stride);
        }
        return Bounded(std::move(region), left, top, right, bottom, startX, startY);
    }
    std::vector<uint32_t> queue{static_cast<uint32_t>(startY) * stride + static_cast<uint32_t>(startX)};
    queue.reserve(region.mask.size());
    for (size_t head = 0; head < queue.size(); ++head) {
        const uint32_t at = queue[head];
        const int x = static_cast<int>(at % stride);
        const int y = static_cast<int>(at / stride);
        KTRACE(" %i,%i\n", x, y);
        if (region.mask[at] != 0 || !SameLook(node.cells[at], reference)) continue;
        region.mask[at] = 1;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        // Right, left, below, above.
        if (x + 1 < region.stride && region.mask[at + 1] == 0) queue.push_back(at + 1);
        if (x > 0 && region.mask[at - 1] == 0) queue.push_back(at - 1);
        if (y + 1 < region.rows && region.mask[at + stride] == 0) queue.push_back(at + stride);
        if (y > 0 && region.mask[at - stride] == 0) queue.push_back(at - stride);
    }
    return Bounded(std::move(region), left, top, right, bottom, startX, startY);
}

KToolRegion SameAs(const Kobject& node, int startX, int startY)
{
    KToolRegion region = BlankRegion(node);
    const KCell* start = node.GetCell(startX, startY);
    if (start == nullptr) return region;
    const KCell reference = *start;
    for (size_t i = 0; i < region.mask.size(); ++i) region.mask[i] = SameLook(node.cells[i], reference) ? 1 : 0;
    region.width = region.stride;
    region.height = region.rows;
    region.centreX = startX;
    region.centreY = startY;
    return region;
}

KToolRegion Stepped(KRegionKind kind, const Kobject& node, int x1, int y1, int x2, int y2)
{
    KToolRegion region = BlankRegion(node);
    ClampedBox(region, x1, y1, x2, y2);
    if (region.Empty()) return region;
    gMarked = &region;
    switch (kind) {
    case KRegionKind::Line: do_line(nullptr, x1, y1, x2, y2, 0, MarkPoint); break;
    case KRegionKind::RectOutline:
        do_line(nullptr, x1, y1, x2, y1, 0, MarkPoint);
        do_line(nullptr, x2, y1, x2, y2, 0, MarkPoint);
        do_line(nullptr, x2, y2, x1, y2, 0, MarkPoint);
        do_line(nullptr, x1, y2, x1, y1, 0, MarkPoint);
        break;
    default: {
        const int cx = (x1 + x2) / 2;
        const int cy = (y1 + y2) / 2;
        do_ellipse(nullptr, cx, cy, region.width / 2, region.height / 2, 0, MarkPoint);
        break;
    }
    }
    gMarked = nullptr;
    return region;
}

int NextRandom() { return std::rand(); }

// A list file of the Library; one that cannot be read is reported.
bool OpenList(Kinterface& engine, const std::string& path, std::ifstream& file)
{
    file.open(path);
    if (!file) engine.Report("Unable to load " + path, "Vantor", __LINE__);
    return static_cast<bool>(file);
}

bool ParseInt(const std::string& word, int& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int>(parsed);
    return true;
}

std::string Trimmed(const std::string& text)
{
    const size_t end = text.find_last_not_of(" \t\r");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

void KBackUpNode(KEditorDoc& doc, Kobject& node)
{
    Kinterface& engine = doc.Engine();
    const int handle = engine.AllocHandle(&node);
    engine.SaveBackup(handle);
    if (handle > 0) engine.ReleaseHandle(handle);
}

int64_t KToolRegion::Count() const { return std::count(mask.begin(), mask.end(), uint8_t{1}); }

KToolRegion KBuildRegion(KRegionKind kind, const Kobject& node, int x1, int y1, int x2, int y2)
{
    switch (kind) {
    case KRegionKind::Rectangle: {
        KToolRegion region = BlankRegion(node);
        ClampedBox(region, x1, y1, x2, y2);
        for (int y = region.top; y < region.top + region.height; ++y) {
            for (int x = region.left; x < region.left + region.width; ++x) region.At(x, y) = 1;
        }
        return region;
    }
    case KRegionKind::Flood: return Flood(node, x1, y1);
    case KRegionKind::SameAs: return SameAs(node, x1, y1);
    default: return Stepped(kind, node, x1, y1, x2, y2);
    }
}

KBrushCell KBrushOf(const KPaintSettings& paint) { return {paint.chr, paint.fg, paint.bg, paint.attrib}; }

bool KFill(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush)
{
    return KPaintRegion(doc, node, region, [&](int, int, KBrushCell& cell) {
        cell = brush;
        return true;
    });
}

bool KBlendFade(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, int cursorX, int cursorY,
                int anchorX, int anchorY, int originX, int originY)
{
    const double dx = std::abs(cursorX - anchorX);
    const double dy = std::abs(cursorY - anchorY);
    const int n = static_cast<int>(std::sqrt(dx * dx + dy * dy));
    const int lo = std::min(brush.fg, brush.bg);
    const int hi = std::max(brush.fg, brush.bg);
    // A gesture shorter than two cells has no ramp: the lower colour.
    std::vector<int> ramp(static_cast<size_t>(std::max(n, 1)), lo & 0xff);
    for (int i = 0; n >= 2 && i < n; ++i) ramp[static_cast<size_t>(i)] = (lo + i * (hi - lo) / (n - 1)) & 0xff;
    const double direction = std::atan2(cursorY - anchorY, cursorX - anchorX);
    const double cosF = std::cos(direction);
    const double sinF = std::sin(direction);
    const int last = static_cast<int>(ramp.size()) - 1;
    return KPaintRegion(doc, node, region, [&](int x, int y, KBrushCell& cell) {
        const double along = cosF * (x - originX) + sinF * (y - originY);
        const int index = std::clamp(-static_cast<int>(along), 0, last);
        cell = {219, ramp[static_cast<size_t>(index)], 255, brush.attrib};
        return true;
    });
}

bool KSpritePaste(KEditorDoc& doc, Kobject& node, KToolRegion& region, KPaintSettings& paint, const Kfont& glyphs)
{
    const int first = paint.chr;
    int flag = paint.bg;
    bool any = false;
    const bool changed = KPaintRegion(doc, node, region, [&](int x, int y, KBrushCell& cell) {
        const int64_t chr = int64_t{first} + (x - region.left) + 16 * int64_t{y - region.top};
        if (chr < 0 || chr >= glyphs.glyphCount) return false;
        flag = KSpriteBackground(glyphs, static_cast<int>(chr));
        any = true;
        cell = {static_cast<int>(chr), -2, flag, paint.attrib};
        return true;
    });
    if (any) {
        paint.fg = -2;
        paint.bg = flag;
    }
    return changed;
}

int32_t KMakeObject(KEditorDoc& doc, Kobject& node, KToolRegion& region)
{
    if (region.Empty() || region.stride != node.width || region.rows != node.height) return -1;
    Kinterface& engine = doc.Engine();
    int32_t made = -1;
    doc.Edit(ChildrenOf(node.IsRoot() ? 0 : node.id), [&] {
        if (!engine.MayAddNodes(node, 1, int64_t{region.width} * region.height, region.width, region.height)) return false;
        const int32_t id = engine.TakeNextId();
        if (id < 0) return false;
        Kobject* object = node.Spawn(id, 0);
        object->Create("NewObject", region.width, region.height);
        for (int y = region.top; y < region.top + region.height; ++y) {
            for (int x = region.left; x < region.left + region.width; ++x) {
                if (region.At(x, y) != 1) continue;
                const KCell& cell = *node.GetCell(x, y);
                object->SetCell(x - region.left, y - region.top, cell.chr, cell.fg, cell.bg, cell.attrib);
                region.At(x, y) = 2;
            }
        }
        made = id;
        return true;
    });
    if (made > 0) doc.Select(made);
    return made;
}

// --- Generators ------------------------------------------------------------------

std::vector<KFadeSet> KReadFadeSets(Kinterface& engine, const std::string& path)
{
    std::vector<KFadeSet> sets;
    std::ifstream file;
    if (!OpenList(engine, path, file)) return sets;
    std::vector<std::string> words;
    for (std::string word; file >> word;) words.push_back(word);
    // A record is a name and five numbers; where a number is missing, the
    // word found instead starts the next record.
    size_t at = 0;
    while (at + 6 <= words.size()) {
        KFadeSet set;
        set.name = words[at];
        size_t read = 0;
        while (read < 5 && ParseInt(words[at + 1 + read], set.codes[read])) ++read;
        if (read == 5) sets.push_back(set);
        at += 1 + read;
    }
    return sets;
}

std::vector<KBlendPattern> KReadFadeBlends(Kinterface& engine, const std::string& path)
{
    std::vector<KBlendPattern> patterns;
    std::ifstream file;
    if (!OpenList(engine, path, file)) return patterns;
    std::string line;
    while (std::getline(file, line)) {
        KBlendPattern pattern;
        pattern.name = Trimmed(line).substr(0, 99);
        // Rows of numbers left by a broken record are no names.
        if (pattern.name.find_first_not_of("0123456789 \t-+") == std::string::npos) continue;
        bool whole = true;
        for (auto& row : pattern.table) {
            for (int& value : row) whole = whole && static_cast<bool>(file >> value);
        }
        if (!whole) {
            // A broken record: go on from the next line.
            file.clear();
            std::getline(file, line);
            continue;
        }
        std::getline(file, line);  // the rest of the hundredth number's line
        for (auto& row : pattern.table) {
            for (int& value : row) value = std::clamp(value, 0, 4);
        }
        patterns.push_back(pattern);
    }
    return patterns;
}

bool KFade(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, const KBlendPattern& pattern,
           const KFadeSet& set, int random)
{
    if (region.Empty()) return false;
    const int w = region.width;
    const int h = region.height;
    std::vector<uint8_t> stretched(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const int code = set.codes[static_cast<size_t>(pattern.table[static_cast<size_t>(int64_t{j} * 10 / h)][static_cast<size_t>(int64_t{i} * 10 / w)])];
            stretched[static_cast<size_t>(j) * static_cast<size_t>(w) + static_cast<size_t>(i)] = static_cast<uint8_t>(code);
        }
    }
    std::vector<uint8_t> scattered = stretched;
    if (random > 0) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool rightward = NextRandom() % 101 < 50;
                const int ax = NextRandom() % random;
                const bool downward = NextRandom() % 101 < 50;
                const int ay = NextRandom() % random;
                const int tx = x + (rightward ? ax : -ax);
                const int ty = y + (downward ? ay : -ay);
                if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
                scattered[static_cast<size_t>(ty) * static_cast<size_t>(w) + static_cast<size_t>(tx)] =
                    stretched[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
            }
        }
    }
    return KPaintRegion(doc, node, region, [&](int x, int y, KBrushCell& cell) {
        const size_t at = static_cast<size_t>(y - region.top) * static_cast<size_t>(w) + static_cast<size_t>(x - region.left);
        cell = {scattered[at], brush.fg, brush.bg, brush.attrib};
        return true;
    });
}

bool KDistance(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, const KFadeSet& set,
               int xPosition, int yPosition, int random)
{
    static constexpr int kUpAndDown[8] = {0, 1, 2, 3, 4, 3, 2, 1};
    const double scaleX = xPosition / 100.0;
    const double scaleY = yPosition / 100.0;
    const int spread = random + 1;
    // The scaled distances depend on the column or the row alone.
    std::vector<int64_t> squaresX(static_cast<size_t>(std::max(region.width, 0)));
    for (int i = 0; i < region.width; ++i) {
        const auto dx = static_cast<int64_t>(std::abs(region.centreX - (region.left + i)) * scaleX);
        squaresX[static_cast<size_t>(i)] = dx * dx;
    }
    int rowY = -1;
    int64_t squareY = 0;
    return KPaintRegion(doc, node, region, [&](int x, int y, KBrushCell& cell) {
        if (y != rowY) {
            rowY = y;
            const auto dy = static_cast<int64_t>(std::abs(region.centreY - y) * scaleY);
            squareY = dy * dy;
        }
        const int r = NextRandom() % spread;
        const auto d = static_cast<int64_t>(std::sqrt(static_cast<double>(squaresX[static_cast<size_t>(x - region.left)] + squareY)));
        const int k = static_cast<int>((r + d) % 8);
        cell = {set.codes[static_cast<size_t>(kUpAndDown[k])], brush.fg, brush.bg, brush.attrib};
        return true;
    });
}

bool KSlime(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, const KFadeSet& set, int random)
{
    static constexpr int kRings[15] = {1, 3, 3, 4, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1};
    if (region.Empty() || region.stride != node.width || region.rows != node.height) return false;
    const int spread = random + 1;
    auto inBox = [&](int x, int y) {
        return x >= region.left && y >= region.top && x < region.left + region.width && y < region.top + region.height;
    };
    KBackUpNode(doc, node);
    doc.BeginStroke();
    doc.ReserveStroke(static_cast<size_t>(region.Count()));
    // First in, first out: a vector read from the front. The centre may
    // lie outside the node (a region of no cells paints nothing).
    std::vector<std::array<int, 2>> queue{{region.centreX, region.centreY}};
    queue.reserve(static_cast<size_t>(region.Count()) * 2 + 1);
    size_t head = 0;
    int ring = 3;
    int64_t counter = 0;
    int64_t limit = 3;
    int character = 219;
    while (head < queue.size()) {
        const auto [x, y] = queue[head];
        const int r = NextRandom() % spread;
        const int64_t i = static_cast<int64_t>(static_cast<double>(r) * static_cast<double>(counter) /
                                                   static_cast<double>(limit + 1) + ring);
        if (i >= 0 && i <= 14) character = set.codes[static_cast<size_t>(kRings[i])];
        if (inBox(x, y) && region.At(x, y) == 1) {
            doc.PaintCell(node, x, y, character, brush.fg, brush.bg, brush.attrib, true);
            region.At(x, y) = 2;
            static constexpr int kDx[4] = {0, 0, -1, 1};
            static constexpr int kDy[4] = {-1, 1, 0, 0};
            for (size_t n = 0; n < 4; ++n) {
                const int nx = x + kDx[n];
                const int ny = y + kDy[n];
                if (inBox(nx, ny) && region.At(nx, ny) == 1) queue.push_back({nx, ny});
            }
        }
        ++head;
        if (++counter == limit) {
            limit = 3 * static_cast<int64_t>(queue.size() - head);
            ring = (ring + 1) % 8;
            counter = 0;
        }
    }
    return doc.EndStroke();
}

bool KSpeckle(KEditorDoc& doc, Kobject& node, KToolRegion& region, const KBrushCell& brush, int percentage)
{
    return KPaintRegion(doc, node, region, [&](int, int, KBrushCell& cell) {
        if (NextRandom() % 101 > percentage) return false;
        cell = brush;
        return true;
    });
}

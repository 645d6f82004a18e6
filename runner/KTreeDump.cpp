#include "KTreeDump.h"

#include "KJson.h"
#include "Kobject.h"

#include <cstdint>
#include <string_view>

namespace {

void AppendField(std::string& out, std::string_view key, int64_t value)
{
    out += ", \"";
    out += key;
    out += "\": ";
    out += std::to_string(value);
}

void AppendCells(std::string& out, const Kobject& node)
{
    out += ", \"cells\": [";
    for (int32_t y = 0; y < node.height; ++y) {
        out += y == 0 ? "\n    [" : ",\n    [";
        for (int32_t x = 0; x < node.width; ++x) {
            const KCell* cell = node.GetCell(x, y);
            if (cell == nullptr) break;
            if (x > 0) out += ", ";
            out += "[" + std::to_string(cell->chr) + ", " + std::to_string(cell->fg) + ", " +
                   std::to_string(cell->bg) + ", " + std::to_string(cell->attrib) + "]";
        }
        out += "]";
    }
    out += node.height > 0 ? "\n  ]" : "]";
}

void AppendNode(std::string& out, const Kobject& node, int depth, bool withCells, bool& first)
{
    out += first ? "\n  {" : ",\n  {";
    first = false;
    out += "\"name\": ";
    KAppendJsonString(out, node.name);
    AppendField(out, "depth", depth);
    AppendField(out, "id", node.id);
    AppendField(out, "parent", node.parent != nullptr ? node.parent->id : -1);
    AppendField(out, "ownerid", node.ownerid);
    AppendField(out, "posx", node.posx);
    AppendField(out, "posy", node.posy);
    AppendField(out, "posz", node.posz);
    AppendField(out, "width", node.width);
    AppendField(out, "height", node.height);
    AppendField(out, "viewx", node.viewx);
    AppendField(out, "viewy", node.viewy);
    AppendField(out, "vieww", node.vieww);
    AppendField(out, "viewh", node.viewh);
    AppendField(out, "running", node.running);
    AppendField(out, "locked", node.locked);
    AppendField(out, "wait", node.wait);
    AppendField(out, "cycle", node.cycle);
    AppendField(out, "current_line", node.currentLine);
    AppendField(out, "collide_mode", node.collideMode);
    AppendField(out, "walk_dir", node.walkDir);
    AppendField(out, "dead", node.dead);
    if (withCells) AppendCells(out, node);
    out += "}";
    for (const auto& child : node.children) AppendNode(out, *child, depth + 1, withCells, first);
}

}  // namespace

std::string KTreeJson(const Kobject& root, bool withCells)
{
    std::string out = "[";
    bool first = true;
    for (const auto& board : root.children) AppendNode(out, *board, 0, withCells, first);
    out += first ? "]\n" : "\n]\n";
    return out;
}

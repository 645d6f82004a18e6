#include "KRecords.h"

#include "KTrace.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>

namespace {

bool SameCell(const KCell& a, const KCell& b)
{
    return a.chr == b.chr && a.fg == b.fg && a.bg == b.bg && a.attrib == b.attrib;
}

void AppendCellValues(std::string& out, const KCell& cell)
{
    for (const int16_t value : {cell.chr, cell.fg, cell.bg, cell.attrib}) {
        KAppendInt(out, value);
        out += ' ';
    }
}

// Names are single words in a record; whitespace would split them.
void AppendName(std::string& out, const std::string& name)
{
    if (name.empty()) {
        out += '_';
        return;
    }
    for (const char c : name) out += (c == ' ' || (c >= '\t' && c <= '\r')) ? '_' : c;
}

void AppendLine(std::string& out, std::initializer_list<int32_t> values)
{
    bool first = true;
    for (const int32_t value : values) {
        if (!first) out += ' ';
        KAppendInt(out, value);
        first = false;
    }
    out += '\n';
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view TrimEnd(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

void KWriteRecord(std::string& out, Kobject& node)
{
    if (node.savedvieww != 0) {
        node.vieww = node.savedvieww;
        node.viewh = node.savedviewh;
        node.savedvieww = node.savedviewh = 0;
        node.Refile();
    }
    out += "~ob ";
    AppendName(out, node.name);
    out += ' ';
    KAppendInt(out, node.posz);
    out += '\n';
    AppendLine(out, {node.posx, node.posy, node.width, node.height});
    AppendLine(out, {node.viewx, node.viewy, node.vieww, node.viewh});
    const size_t count = node.cells.size();
    for (size_t at = 0; at < count;) {
        size_t run = 1;
        while (at + run < count && SameCell(node.cells[at], node.cells[at + run])) ++run;
        // A lone cell with a negative glyph would read back as a run count,
        // so it is written as a run of one.
        if (run >= 2 || node.cells[at].chr < 0) {
            KAppendInt(out, -static_cast<int64_t>(run));
            out += ' ';
        }
        AppendCellValues(out, node.cells[at]);
        at += run;
    }
    if (count > 0) out += '\n';
    out += "~pb\n";
    if (!node.source.empty()) {
        out += node.source;
        if (node.source.back() != '\n') out += '\n';
    }
    out += "~pe\n";
    for (const auto& child : node.children) KWriteRecord(out, *child);
    out += "~oe\n";
}

KRecordReader::KRecordReader(Kinterface& engine, std::string_view text, std::string entryName,
                             const KWorldLimits& limits)
    : engine_(engine), text_(text), entryName_(std::move(entryName)), limits_(limits)
{
}

bool KRecordReader::Fail(const std::string& message)
{
    if (error_.empty()) error_ = message + " (" + entryName_ + ", line " + std::to_string(text_.LineNumber()) + ")";
    return false;
}

bool KRecordReader::ReadInt(int64_t& value, const char* what)
{
    std::string_view token;
    if (!text_.Token(token)) return Fail(std::string("Unexpected end while reading ") + what);
    if (!KParseInt(token, value)) return Fail("Bad number '" + std::string(token.substr(0, 40)) + "' for " + what);
    return true;
}

bool KRecordReader::ReadInt32(int32_t& value, const char* what)
{
    int64_t wide = 0;
    if (!ReadInt(wide, what)) return false;
    if (wide < INT32_MIN || wide > INT32_MAX) return Fail(std::string("Number out of range for ") + what);
    value = static_cast<int32_t>(wide);
    return true;
}

bool KRecordReader::ReadChild(Kobject& parent, int depth)
{
    if (depth > limits_.maxDepth) return Fail("Records nested too deeply");
    if (++nodesRead_ > limits_.maxNodes) return Fail("Too many nodes");
    std::string_view name;
    if (!text_.Token(name)) return Fail("Unexpected end while reading a node name");
    int32_t z = 0;
    if (!ReadInt32(z, "posz")) return false;
    const int32_t id = engine_.TakeNextId();
    if (id < 0) {
        engine_.Report("Unable to create vNew", __FILE_NAME__, __LINE__);
        return Fail("Unable to create vNew");
    }
    const bool underRoot = parent.name == "world_tree";
    Kobject* node = underRoot ? parent.Spawn_Back(id, z) : parent.Spawn(id, z);
    if (engine_.IsRunner()) KTRACE(underRoot ? "Spawned Board\n" : "Spawned Object\n");
    node->name.assign(name);
    return ReadInto(*node, depth);
}

bool KRecordReader::ReadGeometry(Kobject& node, int32_t& width, int32_t& height)
{
    int32_t posx = 0, posy = 0, viewx = 0, viewy = 0, vieww = 0, viewh = 0;
    if (!ReadInt32(posx, "posx") || !ReadInt32(posy, "posy") || !ReadInt32(width, "width") ||
        !ReadInt32(height, "height")) {
        return false;
    }
    if (!ReadInt32(viewx, "viewx") || !ReadInt32(viewy, "viewy") || !ReadInt32(vieww, "vieww") ||
        !ReadInt32(viewh, "viewh")) {
        return false;
    }
    if (width < 0 || height < 0 || width > limits_.maxSide || height > limits_.maxSide ||
        int64_t{width} * height > limits_.maxNodeCells) {
        return Fail("Node '" + node.name.substr(0, 40) + "' has a bad size " + std::to_string(width) + " x " +
                    std::to_string(height));
    }
    cellsRead_ += int64_t{width} * height;
    if (cellsRead_ > limits_.maxWorldCells) return Fail("Too many cells");
    node.posx = posx;
    node.posy = posy;
    node.viewx = viewx;
    node.viewy = viewy;
    node.Create(node.name, width, height);
    // A view is never wider or taller than a node may be: scripts cannot
    // make one so (#mod refuses), and a file cannot either.
    node.vieww = std::min(vieww, limits_.maxSide);
    node.viewh = std::min(viewh, limits_.maxSide);
    node.Refile();
    return true;
}

bool KRecordReader::ReadCells(Kobject& node)
{
    const size_t count = node.cells.size();
    size_t at = 0;
    while (at < count) {
        int64_t first = 0;
        if (!ReadInt(first, "a cell")) return false;
        size_t run = 1;
        int64_t values[4] = {first, 0, 0, 0};
        int start = 1;
        if (first < 0) {
            run = static_cast<size_t>(std::min<int64_t>(-first, static_cast<int64_t>(count - at)));
            start = 0;
        }
        for (int i = start; i < 4; ++i) {
            if (!ReadInt(values[i], "a cell")) return false;
        }
        const KCell cell{static_cast<int16_t>(values[0]), static_cast<int16_t>(values[1]),
                         static_cast<int16_t>(values[2]), static_cast<int16_t>(values[3]), 0, 0};
        std::fill_n(node.cells.begin() + static_cast<std::ptrdiff_t>(at), run, cell);
        at += run;
    }
    return true;
}

void KRecordReader::ExpectScriptStart()
{
    std::string_view line;
    text_.Line(line);
    if (TrimEnd(line) == "~pb") return;
    text_.Line(line);
    if (TrimEnd(line) == "~pb") return;
    engine_.Report("~pb Expected", std::string(line.substr(0, 200)), static_cast<int>(text_.LineNumber() - 1));
}

bool KRecordReader::ReadScript(Kobject& node)
{
    std::string script;
    bool first = true;
    std::string_view line;
    while (text_.Line(line)) {
        if (StartsWith(line, "~pe")) {
            node.source = std::move(script);
            return true;
        }
        if (!first) script += '\n';
        if (!StartsWith(line, "~pb")) script.append(line);
        first = false;
    }
    return Fail("Unexpected end of a script (no ~pe)");
}

bool KRecordReader::ReadChildren(Kobject& node, int depth)
{
    std::string_view token;
    while (text_.Token(token) && token == "~ob") {
        if (!ReadChild(node, depth + 1)) return false;
    }
    return true;
}

bool KRecordReader::ReadInto(Kobject& node, int depth)
{
    int32_t width = 0;
    int32_t height = 0;
    if (!ReadGeometry(node, width, height)) return false;
    if (!ReadCells(node)) return false;
    ExpectScriptStart();
    if (!ReadScript(node)) return false;
    return ReadChildren(node, depth);
}

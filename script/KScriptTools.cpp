#include "KScriptTools.h"

#include "KJson.h"
#include "KWorldFile.h"

#include <utility>

namespace {

// Collects the bodies of the engine's reports while alive instead of
// showing them, and puts the program's own sink back afterwards.
class KReportCapture {
public:
    explicit KReportCapture(Kinterface& engine) : engine_(engine), saved_(engine.NoticeSink())
    {
        engine_.SetNoticeSink([this](KNoticeKind kind, const std::string&, const std::string& body) {
            if (kind == KNoticeKind::Report) reports_.push_back(body);
        });
    }
    ~KReportCapture() { engine_.SetNoticeSink(std::move(saved_)); }
    KReportCapture(const KReportCapture&) = delete;
    KReportCapture& operator=(const KReportCapture&) = delete;

    std::string Lines() const
    {
        std::string lines;
        for (const std::string& report : reports_) lines += report + "\n";
        return lines;
    }

private:
    Kinterface& engine_;
    KNoticeSink saved_;
    std::vector<std::string> reports_;
};

bool LoadQuietly(Kinterface& engine, const std::string& worldPath, KToolResult& result)
{
    KReportCapture capture(engine);
    if (LoadWorld(engine, worldPath)) return true;
    result.status = kToolCannotLoad;
    result.err = capture.Lines();
    if (result.err.empty()) result.err = "Unable to load world: " + worldPath + "\n";
    return false;
}

void AppendInt(std::string& out, const char* key, int64_t value)
{
    out += '"';
    out += key;
    out += "\": ";
    out += std::to_string(value);
}

void AppendLines(std::string& out, const Kobject& node)
{
    out += "\"lines\": [";
    for (size_t l = 0; l < node.lines.size(); ++l) {
        out += l == 0 ? "[" : ", [";
        const auto& commands = node.lines[l].commands;
        for (size_t c = 0; c < commands.size(); ++c) {
            out += c == 0 ? "{\"code\": " : ", {\"code\": ";
            KAppendJsonString(out, commands[c].code);
            out += ", \"target\": ";
            KAppendJsonString(out, commands[c].target);
            out += '}';
        }
        out += ']';
    }
    out += ']';
}

void AppendMarkers(std::string& out, const Kobject& node)
{
    out += "\"markers\": [";
    for (size_t m = 0; m < node.markers.size(); ++m) {
        const KMarker& marker = node.markers[m];
        out += m == 0 ? "{\"name\": " : ", {\"name\": ";
        KAppendJsonString(out, marker.name);
        out += ", ";
        AppendInt(out, "line", marker.line);
        out += ", ";
        AppendInt(out, "command", marker.command);
        out += ", ";
        AppendInt(out, "active", marker.active);
        out += '}';
    }
    out += ']';
}

void AppendKeyMarkers(std::string& out, const Kobject& node)
{
    out += "\"keymarkers\": [";
    for (size_t k = 0; k < node.keyMarkers.size(); ++k) {
        out += k == 0 ? "{" : ", {";
        AppendInt(out, "input", node.keyMarkers[k].input);
        out += ", ";
        AppendInt(out, "marker", node.keyMarkers[k].marker);
        out += '}';
    }
    out += ']';
}

void AppendProgram(std::string& out, const Kobject& node)
{
    out += "{\"node\": ";
    KAppendJsonString(out, node.name);
    out += ", ";
    AppendInt(out, "id", node.id);
    out += ", ";
    AppendInt(out, "current_line", node.currentLine);
    out += ", ";
    AppendLines(out, node);
    out += ", ";
    AppendMarkers(out, node);
    out += ", ";
    AppendKeyMarkers(out, node);
    out += '}';
}

// Depth first in child order, without recursion.
template <typename Visit>
void ForEachBelow(const Kobject& root, Visit visit)
{
    std::vector<const Kobject*> pending;
    for (auto child = root.children.rbegin(); child != root.children.rend(); ++child) pending.push_back(child->get());
    while (!pending.empty()) {
        const Kobject* node = pending.back();
        pending.pop_back();
        visit(*node);
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            pending.push_back(child->get());
        }
    }
}

}  // namespace

std::vector<KCompileError> KCompileWorld(Kinterface& engine)
{
    std::vector<KCompileError> errors;
    KReportCapture capture(engine);
    Kcompiler compiler;
    compiler.CollectErrors(&errors);
    for (const auto& board : engine.vMain->children) compiler.Compile(*board);
    return errors;
}

std::string KFormatCompileErrors(const std::vector<KCompileError>& errors)
{
    std::string lines;
    for (const KCompileError& error : errors) {
        lines += error.node + ":" + std::to_string(error.line) + ": " + error.message + "\n";
    }
    return lines;
}

std::string KProgramsJson(const Kobject& root, const std::string* onlyName)
{
    std::string out = "[";
    bool first = true;
    ForEachBelow(root, [&](const Kobject& node) {
        if (onlyName != nullptr && node.name != *onlyName) return;
        out += first ? "\n  " : ",\n  ";
        AppendProgram(out, node);
        first = false;
    });
    out += first ? "]\n" : "\n]\n";
    return out;
}

KToolResult KCheckWorld(Kinterface& engine, const std::string& worldPath)
{
    KToolResult result;
    if (!LoadQuietly(engine, worldPath, result)) return result;
    const std::vector<KCompileError> errors = KCompileWorld(engine);
    result.err = KFormatCompileErrors(errors);
    result.status = errors.empty() ? kToolOk : kToolFound;
    return result;
}

KToolResult KDumpPrograms(Kinterface& engine, const std::string& worldPath, const std::string* nodeName)
{
    KToolResult result;
    if (!LoadQuietly(engine, worldPath, result)) return result;
    result.err = KFormatCompileErrors(KCompileWorld(engine));
    result.out = KProgramsJson(*engine.vMain, nodeName);
    if (nodeName != nullptr && engine.vMain->FindByName(*nodeName) == nullptr) {
        result.err += "No node named " + *nodeName + "\n";
        result.status = kToolFound;
    }
    return result;
}

#include "KScriptTools.h"

#include "KAscii.h"
#include "KJson.h"
#include "KWorldFile.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
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

// Writes one JSON object field by field: {"key": value, ...}.
class KJsonObject {
public:
    explicit KJsonObject(std::string& out) : out_(out) { out_ += '{'; }
    ~KJsonObject() { out_ += '}'; }
    KJsonObject(const KJsonObject&) = delete;
    KJsonObject& operator=(const KJsonObject&) = delete;

    void Int(const char* key, int64_t value)
    {
        Key(key);
        out_ += std::to_string(value);
    }
    void Text(const char* key, std::string_view value)
    {
        Key(key);
        KAppendJsonString(out_, value);
    }
    // The key; the caller writes the value.
    std::string& Key(const char* key)
    {
        out_ += first_ ? "\"" : ", \"";
        out_ += key;
        out_ += "\": ";
        first_ = false;
        return out_;
    }

private:
    std::string& out_;
    bool first_ = true;
};

// [item, item, ...], each written by write(out, item).
template <typename Items, typename Write>
void AppendArray(std::string& out, const Items& items, Write write)
{
    out += '[';
    bool first = true;
    for (const auto& item : items) {
        if (!first) out += ", ";
        write(out, item);
        first = false;
    }
    out += ']';
}

void AppendCommand(std::string& out, const KCompiledCommand& command)
{
    KJsonObject object(out);
    object.Text("code", command.code);
    object.Text("target", command.target);
}

void AppendLine(std::string& out, const KProgramLine& line) { AppendArray(out, line.commands, AppendCommand); }

void AppendMarker(std::string& out, const KMarker& marker)
{
    KJsonObject object(out);
    object.Text("name", marker.name);
    object.Int("line", marker.line);
    object.Int("command", marker.command);
    object.Int("active", marker.active);
}

void AppendKeyMarker(std::string& out, const KKeyMarker& keyMarker)
{
    KJsonObject object(out);
    object.Int("input", keyMarker.input);
    object.Int("marker", keyMarker.marker);
}

void AppendProgram(std::string& out, const Kobject& node)
{
    KJsonObject object(out);
    object.Text("node", node.name);
    object.Int("id", node.id);
    object.Int("current_line", node.currentLine);
    AppendArray(object.Key("lines"), node.lines, AppendLine);
    AppendArray(object.Key("markers"), node.markers, AppendMarker);
    AppendArray(object.Key("keymarkers"), node.keyMarkers, AppendKeyMarker);
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
    compiler.Compile(*engine.vMain);
    return errors;
}

std::string KFormatCompileErrors(const std::vector<KCompileError>& errors)
{
    std::string lines;
    for (const KCompileError& error : errors) {
        // Names and texts from a world must not steer the terminal.
        lines += KPrintable(error.node) + ":" + std::to_string(error.line) + ": " + (error.warning ? "warning: " : "") +
                 KPrintable(error.message) + "\n";
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
    const bool failed = std::any_of(errors.begin(), errors.end(), [](const KCompileError& error) { return !error.warning; });
    result.status = failed ? kToolFound : kToolOk;
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

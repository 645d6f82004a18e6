#include "KVarArchive.h"

#include "KText.h"
#include "KZip.h"
#include "Kinterface.h"

namespace {

constexpr const char* kEntry = "vars.dat";
constexpr const char* kEnd = "~varsend";
constexpr size_t kMaxPathLength = 999;
constexpr size_t kMaxArchiveBytes = size_t{16} << 20;

std::string_view Folder(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// The relative name with "." and ".." worked out; empty when it climbs out
// of the folder it is relative to or names no file.
std::string Normalised(std::string_view name)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        const std::string_view part = name.substr(start, slash - start);
        if (part == "..") {
            if (parts.empty()) return {};
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string joined;
    for (const std::string_view part : parts) {
        if (!joined.empty()) joined += '/';
        joined += part;
    }
    return joined;
}

}  // namespace

std::string KScriptFilePath(std::string_view worldPath, std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) return {};
    const std::string inside = Normalised(name);
    if (inside.empty()) return {};
    std::string path(Folder(worldPath));
    path += inside;
    if (path.size() > kMaxPathLength) return {};
    return path;
}

bool KSaveVariables(Kinterface& engine, std::string_view file, const std::vector<std::string>& names)
{
    const std::string path = KScriptFilePath(engine.vWorldPath, file);
    if (path.empty()) return false;
    std::string content;
    for (const std::string& name : names) {
        if (!engine.vVariables.Exists(name)) continue;
        content += name;
        content += '\n';
        content += engine.GetVarString(name);
        content += '\n';
    }
    content += kEnd;
    content += '\n';
    KZipWriter zip;
    return zip.Open(path) && zip.Add(kEntry, content) && zip.Commit();
}

bool KLoadVariables(Kinterface& engine, std::string_view file)
{
    const std::string path = KScriptFilePath(engine.vWorldPath, file);
    if (path.empty()) return false;
    KZipReader zip;
    std::string error;
    std::string content;
    if (!zip.OpenFile(path, kMaxArchiveBytes, error)) return false;
    if (zip.Read(kEntry, content, kMaxArchiveBytes) != KZipReader::Entry::Ok) return false;
    KTextReader text(content);
    std::string_view name;
    std::string_view value;
    while (text.Line(name) && name != kEnd && text.Line(value)) engine.SetVarString(name, value);
    return true;
}

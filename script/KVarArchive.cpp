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

// True when the relative name stays inside the folder it is relative to.
bool StaysInside(std::string_view name)
{
    int depth = 0;
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        const std::string_view part = name.substr(start, slash - start);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = slash + 1;
    }
    return depth > 0;
}

}  // namespace

std::string KScriptFilePath(std::string_view worldPath, std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) return {};
    if (!StaysInside(name)) return {};
    std::string path(Folder(worldPath));
    path += name;
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

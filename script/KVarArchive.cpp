#include "KVarArchive.h"

#include "KPaths.h"
#include "KText.h"
#include "KZip.h"
#include "Kinterface.h"

#include <sys/stat.h>

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

namespace {

// The real folder of the world file, where scripts may keep files.
std::string WorldFolder(const std::string& worldPath)
{
    const std::string_view folder = Folder(worldPath);
    return KRealPath(folder.empty() ? std::string(".") : std::string(folder));
}

std::string_view LastPart(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A file written by #save: a zip whose only entry is "vars.dat". Only such
// files may be replaced, so a script cannot overwrite its own world, a
// sibling world or anything else a player keeps beside it.
bool IsVariableArchive(const std::string& path)
{
    KZipReader zip;
    std::string error;
    if (!zip.OpenFile(path, kMaxArchiveBytes, error)) return false;
    const std::vector<std::string> names = zip.Names();
    return names.size() == 1 && KSameEntryName(names[0], kEntry);
}

// Where #save may write the file a script names: a new file inside the
// world's real folder, or an existing variables archive there (its real
// path, links followed). Empty when it may not.
std::string SaveTarget(const std::string& worldPath, std::string_view name)
{
    const std::string path = KScriptFilePath(worldPath, name);
    const std::string folder = WorldFolder(worldPath);
    if (path.empty() || folder.empty()) return {};
    const std::string real = KRealPath(path);
    if (!real.empty()) {
        const bool replaceable = KIsInsideFolder(real, folder) && KKindOfFile(real) == KFileKind::Regular &&
                                 IsVariableArchive(real);
        return replaceable ? real : std::string();
    }
    // A new file: its folder must be real and inside, and the name must not
    // be a dangling link, which would make the file wherever it points.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) return {};
    const std::string_view parent = Folder(path);
    const std::string realParent = KRealPath(parent.empty() ? std::string(".") : std::string(parent));
    if (realParent.empty() || (realParent != folder && !KIsInsideFolder(realParent, folder))) return {};
    return realParent + (realParent.back() == '/' ? "" : "/") + std::string(LastPart(path));
}

// Where #load may read: a regular file inside the world's real folder.
std::string LoadSource(const std::string& worldPath, std::string_view name)
{
    const std::string path = KScriptFilePath(worldPath, name);
    const std::string folder = WorldFolder(worldPath);
    if (path.empty() || folder.empty()) return {};
    const std::string real = KRealPath(path);
    if (real.empty() || !KIsInsideFolder(real, folder)) return {};
    return real;
}

}  // namespace

bool KSaveVariables(Kinterface& engine, std::string_view file, const std::vector<std::string>& names)
{
    const std::string path = SaveTarget(engine.vWorldPath, file);
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
    const std::string path = LoadSource(engine.vWorldPath, file);
    if (path.empty()) return false;
    KZipReader zip;
    std::string error;
    std::string content;
    // The reader takes regular files only: a pipe would wait forever.
    if (!zip.OpenFile(path, kMaxArchiveBytes, error)) return false;
    if (zip.Read(kEntry, content, kMaxArchiveBytes) != KZipReader::Entry::Ok) return false;
    KTextReader text(content);
    std::string_view name;
    std::string_view value;
    while (text.Line(name) && name != kEnd && text.Line(value)) engine.SetVarString(name, value);
    return true;
}

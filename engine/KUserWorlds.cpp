#include "KUserWorlds.h"

#include "KPaths.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Bounds of one world's copy: a shared folder is not trusted to be small.
constexpr size_t kMaxCopiedFileBytes = size_t{64} << 20;
constexpr size_t kMaxCopiedBytes = size_t{256} << 20;
constexpr int kMaxCompanions = 256;
// Like every XDG data folder, private to its user.
constexpr mode_t kFolderMode = 0700;

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') return entry->pw_dir;
    return {};
}

// Makes folder and its missing parents.
bool MakeFolders(const std::string& folder)
{
    if (folder.empty()) return false;
    for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return KKindOfFile(folder) == KFileKind::Folder;
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsRegularEntry(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0) close(fd);
    }
};

// Writes bytes as the new file target: into a file made afresh beside it,
// which is then linked to the target's name, so an existing target (or a
// link planted there) is never written through or replaced.
bool WriteNewFile(const std::string& target, const std::string& bytes)
{
    std::random_device seed;
    const std::string temporary = KFolderOf(target) + "/.quav-copy-" + std::to_string(seed()) + std::to_string(getpid());
    {
        const Descriptor file{open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)};
        if (file.fd < 0) return false;
        size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count = write(file.fd, bytes.data() + written, bytes.size() - written);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) {
                unlink(temporary.c_str());
                return false;
            }
            written += static_cast<size_t>(count);
        }
        if (fsync(file.fd) != 0) {
            unlink(temporary.c_str());
            return false;
        }
    }
    const bool linked = link(temporary.c_str(), target.c_str()) == 0 || errno == EEXIST;
    unlink(temporary.c_str());
    return linked;
}

// Copies source to folder/name unless that name is taken already.
bool CopyIfMissing(const std::string& source, const std::string& folder, const std::string& name, size_t& copiedBytes,
                   std::string& error)
{
    const std::string target = folder + "/" + name;
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0) return true;
    std::string bytes;
    if (!KReadRegularFile(source, kMaxCopiedFileBytes, bytes, error)) return false;
    copiedBytes += bytes.size();
    if (copiedBytes > kMaxCopiedBytes) {
        error = "the files of '" + source + "' are too large to copy";
        return false;
    }
    if (!WriteNewFile(target, bytes)) {
        error = "Unable to copy '" + source + "' to '" + target + "'";
        return false;
    }
    return true;
}

bool IsCompanion(const std::string& name, const std::string& stem, const std::string& worldName)
{
    if (name == worldName || name.size() <= stem.size() + 1 || name.compare(0, stem.size(), stem) != 0) return false;
    const char next = name[stem.size()];
    return (next == '.' || next == '_' || next == '-') && !EndsWith(name, ".qsg");
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) names.emplace_back(entry->d_name);
    return names;
}

}  // namespace

std::string KUserWorldsFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/quav/Worlds";
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share/quav/Worlds";
}

bool KCanWriteFolder(const std::string& folder) { return access(folder.c_str(), W_OK | X_OK) == 0; }

std::string KFolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool KCopyWorldInto(const std::string& worldPath, const std::string& folder, std::string& error)
{
    if (!MakeFolders(folder)) {
        error = "Unable to make the folder '" + folder + "'";
        return false;
    }
    const std::string worldName = FileNameOf(worldPath);
    const size_t dot = worldName.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? worldName : worldName.substr(0, dot);
    const std::string source = KFolderOf(worldPath);
    size_t copiedBytes = 0;
    if (!CopyIfMissing(worldPath, folder, worldName, copiedBytes, error)) return false;
    int companions = 0;
    for (const std::string& name : NamesIn(source)) {
        if (!IsCompanion(name, stem, worldName) || !IsRegularEntry(source + "/" + name)) continue;
        if (++companions > kMaxCompanions) break;
        if (!CopyIfMissing(source + "/" + name, folder, name, copiedBytes, error)) return false;
    }
    return true;
}

std::string KPlayableWorld(const std::string& worldPath, std::string& error)
{
    const std::string folder = KFolderOf(worldPath);
    if (KCanWriteFolder(folder) || KKindOfFile(worldPath) != KFileKind::Regular) return worldPath;
    const std::string home = KUserWorldsFolder();
    if (home.empty()) {
        error = "no per-user folder for the games of '" + worldPath + "' (HOME is not set)";
        return worldPath;
    }
    if (!KCopyWorldInto(worldPath, home, error)) return worldPath;
    return home + "/" + FileNameOf(worldPath);
}

std::string KWorldsHome(const std::string& shippedFolder)
{
    if (KCanWriteFolder(shippedFolder)) return shippedFolder;
    const std::string home = KUserWorldsFolder();
    if (home.empty() || !MakeFolders(home)) return {};
    for (const std::string& name : NamesIn(shippedFolder)) {
        const std::string path = shippedFolder + "/" + name;
        std::string error;
        if (EndsWith(name, ".zqav") && IsRegularEntry(path)) KCopyWorldInto(path, home, error);
    }
    return home;
}

std::string KScreensFolderFor(const std::string& shippedFolder)
{
    if (KCanWriteFolder(shippedFolder)) return shippedFolder + "/Screens";
    const std::string home = KUserWorldsFolder();
    if (home.empty()) return {};
    const std::string screens = home + "/Screens";
    MakeFolders(screens);
    return screens;
}

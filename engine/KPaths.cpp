#include "KPaths.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

KFileKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode)) return KFileKind::Regular;
    if (S_ISDIR(mode)) return KFileKind::Folder;
    return KFileKind::Other;
}

std::string NotAFileMessage(const std::string& path, KFileKind kind)
{
    if (kind == KFileKind::Folder) return "'" + path + "' is a folder, not a file";
    return "'" + path + "' is not a regular file (a pipe, a device or a socket)";
}

}  // namespace

std::string KExecutableDir()
{
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return ".";
    std::string path(buffer.data(), static_cast<size_t>(length));
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string KAbsolutePath(std::string_view path)
{
    if (path.empty() || path.front() == '/') return std::string(path);
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return std::string(path);
    std::string absolute(buffer.data());
    if (absolute.empty() || absolute.back() != '/') absolute += '/';
    absolute += path;
    return absolute;
}

std::string KDataDir()
{
    const std::string programs = KExecutableDir();
    const std::string beside = programs == "/" ? std::string() : programs;
    for (const std::string& candidate : {beside, beside + "/../share/quav"}) {
        if (KKindOfFile(candidate + "/Library") == KFileKind::Folder) return candidate.empty() ? "/" : candidate;
    }
    return programs;
}

bool KEnterDataDir() { return chdir(KDataDir().c_str()) == 0; }

std::string KUnquoted(std::string_view argument)
{
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"') {
        argument = argument.substr(1, argument.size() - 2);
    }
    return std::string(argument);
}

std::string KRealPath(const std::string& path)
{
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    if (path.empty() || realpath(path.c_str(), buffer.data()) == nullptr) return {};
    return std::string(buffer.data());
}

bool KIsInsideFolder(std::string_view realPath, std::string_view realFolder)
{
    if (realFolder.empty() || realPath.size() <= realFolder.size()) return false;
    if (realPath.substr(0, realFolder.size()) != realFolder) return false;
    // "/games" holds "/games/a" but not "/games2/a"; "/" holds everything.
    return realFolder.back() == '/' || realPath[realFolder.size()] == '/';
}

KFileKind KKindOfFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return KFileKind::Missing;
    return KindOfMode(info.st_mode);
}

bool KReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error)
{
    bytes.clear();
    // Opening a pipe for reading would wait for a writer; not blocking lets
    // the descriptor be looked at first.
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) {
        error = errno == ENOENT ? "'" + path + "' does not exist" : "Unable to open '" + path + "'";
        return false;
    }
    struct stat info {};
    if (fstat(file.Get(), &info) != 0) {
        error = "Unable to read '" + path + "'";
        return false;
    }
    if (KindOfMode(info.st_mode) != KFileKind::Regular) {
        error = NotAFileMessage(path, KindOfMode(info.st_mode));
        return false;
    }
    if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxBytes) {
        error = "'" + path + "' is too large (more than " + std::to_string(maxBytes) + " bytes)";
        return false;
    }
    // The size is only a hint: the file may grow while it is read.
    bytes.reserve(static_cast<size_t>(info.st_size));
    std::vector<char> chunk(65536);
    for (;;) {
        const ssize_t count = read(file.Get(), chunk.data(), chunk.size());
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            error = "Unable to read '" + path + "'";
            bytes.clear();
            return false;
        }
        if (count == 0) return true;
        if (bytes.size() + static_cast<size_t>(count) > maxBytes) {
            error = "'" + path + "' is too large (more than " + std::to_string(maxBytes) + " bytes)";
            bytes.clear();
            return false;
        }
        bytes.append(chunk.data(), static_cast<size_t>(count));
    }
}

std::string KFileBesideWorld(std::string_view worldPath, std::string_view name)
{
    constexpr size_t kMaxPathLength = 999;
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) return {};
    const size_t slash = worldPath.find_last_of('/');
    const std::string folder(slash == std::string_view::npos ? std::string_view() : worldPath.substr(0, slash + 1));
    const std::string path = folder + std::string(name);
    if (path.size() > kMaxPathLength) return {};
    const std::string realFolder = KRealPath(folder.empty() ? std::string(".") : folder);
    const std::string real = KRealPath(path);
    if (real.empty() || realFolder.empty() || !KIsInsideFolder(real, realFolder)) return {};
    return KKindOfFile(real) == KFileKind::Regular ? real : std::string();
}

bool KWriteFile(const std::string& path, std::string_view bytes)
{
    if (path == "-") {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // What the stream still buffers reaches the device only on closing.
    file.close();
    return !file.fail();
}

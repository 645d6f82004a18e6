#include "KPaths.h"

#include <climits>
#include <unistd.h>
#include <vector>

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

bool KEnterExecutableDir() { return chdir(KExecutableDir().c_str()) == 0; }

std::string KUnquoted(std::string_view argument)
{
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"') {
        argument = argument.substr(1, argument.size() - 2);
    }
    return std::string(argument);
}

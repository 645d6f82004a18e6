#include "KRunnerSettings.h"

#include "KParseNumber.h"
#include "KPaths.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr size_t kMaxSettingsBytes = 4096;
constexpr std::string_view kScaleName = "scale";

std::string ConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/quav";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/quav";
    return {};
}

// Makes the folder and the ones above it that are missing.
bool MakeFolders(const std::string& folder)
{
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && KKindOfFile(part) != KFileKind::Folder) return false;
    }
    return true;
}

}  // namespace

std::string KRunnerSettingsPath()
{
    const std::string folder = ConfigFolder();
    return folder.empty() ? std::string() : folder + "/runner.cfg";
}

int KScaleFromSettings(const std::string& text)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (line.substr(0, kScaleName.size()) != kScaleName || line.size() <= kScaleName.size() ||
            line[kScaleName.size()] != ' ') {
            continue;
        }
        int scale = kMinScale;
        if (KParseNumber(line.substr(kScaleName.size() + 1), kMinScale, kMaxScale, scale)) return scale;
    }
    return kMinScale;
}

int KLoadScale()
{
    const std::string path = KRunnerSettingsPath();
    std::string text;
    std::string error;
    if (path.empty() || !KReadRegularFile(path, kMaxSettingsBytes, text, error)) return kMinScale;
    return KScaleFromSettings(text);
}

bool KSaveScale(int scale)
{
    const std::string path = KRunnerSettingsPath();
    if (path.empty() || !MakeFolders(path.substr(0, path.rfind('/')))) return false;
    // Written beside and moved over, so a failed write leaves the old file.
    const std::string fresh = path + ".new";
    if (!KWriteFile(fresh, std::string(kScaleName) + " " + std::to_string(scale) + "\n")) {
        std::remove(fresh.c_str());
        return false;
    }
    return std::rename(fresh.c_str(), path.c_str()) == 0;
}

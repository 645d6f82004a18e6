#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

KParts TestEngine::WithFlavour(KFlavour flavour, KParts parts)
{
    parts.flavour = flavour;
    return parts;
}

TestEngine::TestEngine(KFlavour flavour, const KParts& parts) : engine_(WithFlavour(flavour, parts))
{
    engine_.SetNoticeSink([this](KNoticeKind kind, const std::string& caption, const std::string& body) {
        notices.push_back(CapturedNotice{kind, caption, body});
    });
}

TestEngine::TestEngine(const KParts& parts) : TestEngine(parts.flavour, parts) {}

Kobject* TestEngine::AddBoard(const std::string& name, int w, int h, int z)
{
    Kobject* board = engine_.vMain->Spawn_Back(engine_.TakeNextId(), z);
    board->Create(name, w, h);
    return board;
}

Kobject* TestEngine::AddObject(Kobject& parent, const std::string& name, int w, int h, int z, int x, int y)
{
    Kobject* object = parent.Spawn(engine_.TakeNextId(), z);
    object->Create(name, w, h);
    object->posx = x;
    object->posy = y;
    object->Refile();
    return object;
}

std::vector<std::string> TestEngine::Reports() const
{
    std::vector<std::string> bodies;
    for (const CapturedNotice& notice : notices) {
        if (notice.kind == KNoticeKind::Report) bodies.push_back(notice.body);
    }
    return bodies;
}

TraceCapture::TraceCapture() : wasEnabled_(gKTraceEnabled)
{
    KTraceEnable(true);
    KTraceSetSink([this](const std::string& line) { text += line; });
}

TraceCapture::~TraceCapture()
{
    KTraceSetSink(nullptr);
    KTraceEnable(wasEnabled_);
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/quav-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir()
{
    if (path_.rfind("/tmp/quav-test-", 0) == 0) {
        const std::string command = "rm -rf '" + path_ + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* folder = opendir(dir.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(folder);
    }
    return names;
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (output != nullptr) output->append(buffer, got);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TestToolsDir() { return QUAV_TEST_TOOLS_DIR; }

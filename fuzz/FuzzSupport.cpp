#include "FuzzSupport.h"

#include "KZip.h"
#include "Kobject.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

Kinterface& FuzzEngine(KFlavour flavour)
{
    KParts parts;
    parts.flavour = flavour;
    return FuzzEngine(parts);
}

Kinterface& FuzzEngine(const KParts& parts)
{
    // Made once and never destroyed: the game library tears its bitmaps
    // down at exit before static objects would go.
    static Kinterface* engine = nullptr;
    if (engine == nullptr) {
        if (!KStartLibraryHeadless() || chdir(QUAV_OUTPUT_DIR) != 0) {
            std::fprintf(stderr, "fuzz: cannot start\n");
            std::abort();
        }
        engine = std::make_unique<Kinterface>(parts).release();
        engine->SetNoticeSink([](KNoticeKind, const std::string&, const std::string&) {});
    }
    return *engine;
}

Kobject* FuzzAddNode(Kinterface& engine, Kobject& parent, const std::string& name, int w, int h, int x, int y, int z,
                     std::string_view script)
{
    Kobject* node = parent.IsRoot() ? parent.Spawn_Back(engine.TakeNextId(), z) : parent.Spawn(engine.TakeNextId(), z);
    node->Create(name, w, h);
    node->posx = x;
    node->posy = y;
    node->source.assign(script);
    node->Refile();
    return node;
}

void FuzzRequire(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

KWorldLimits FuzzWorldLimits()
{
    KWorldLimits limits;
    limits.maxEntryBytes = size_t{4} << 20;
    limits.maxWorldCells = int64_t{1} << 18;
    limits.maxNodes = 5000;
    return limits;
}

int64_t FuzzCountNodes(const Kobject& node)
{
    int64_t count = 1;
    for (const auto& child : node.children) count += FuzzCountNodes(*child);
    return count;
}

size_t FuzzRewriteZipEntry(const std::string& archive, const FuzzEntryChooser& choose, FuzzMutator mutate,
                           uint8_t* data, size_t maxSize)
{
    KZipReader reader;
    std::string error;
    if (!reader.OpenMemory(archive, error)) return 0;
    const std::vector<std::string> names = reader.Names();
    const std::string chosen = choose(names);
    if (chosen.empty()) return 0;
    // The writer only writes files: a scratch file of this process.
    const std::string path = "/tmp/quav-fuzz-" + std::to_string(getpid()) + ".zip";
    KZipWriter writer;
    if (!writer.Open(path)) return 0;
    for (const std::string& name : names) {
        std::string content;
        if (reader.Read(name, content, maxSize) != KZipReader::Entry::Ok) return 0;
        if (name == chosen) {
            const size_t room = content.size() + 64;
            content.resize(room);
            content.resize(mutate(reinterpret_cast<uint8_t*>(content.data()), room - 64, room));
        }
        if (!writer.Add(name, content)) return 0;
    }
    if (!writer.Commit()) return 0;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream read;
    read << in.rdbuf();
    const std::string bytes = read.str();
    unlink(path.c_str());
    if (bytes.empty() || bytes.size() > maxSize) return 0;
    std::memcpy(data, bytes.data(), bytes.size());
    return bytes.size();
}

#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
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

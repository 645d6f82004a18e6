#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

void BenchStart()
{
    static bool started = false;
    if (started) return;
    if (!KStartLibraryHeadless() || chdir(QUAV_OUTPUT_DIR) != 0) {
        std::fprintf(stderr, "bench: cannot start\n");
        std::exit(1);
    }
    started = true;
}

std::unique_ptr<Kinterface> BenchEngine(const KParts& parts)
{
    BenchStart();
    auto engine = std::make_unique<Kinterface>(parts);
    engine->SetNoticeSink([](KNoticeKind, const std::string&, const std::string&) {});
    return engine;
}

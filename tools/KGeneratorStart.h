#pragma once
// Start of the build-time generators: the output folder is the only
// argument and becomes the current directory (the engine finds Library/
// there), and the game library starts without a system driver.

#include "Kinterface.h"

#include <cstdio>
#include <unistd.h>

// 0 when the generator can go on, else the exit status to end with.
inline int KStartGenerator(int argc, char** argv, const char* name)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", name);
        return 2;
    }
    if (chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return KStartLibraryHeadless() ? 0 : 1;
}

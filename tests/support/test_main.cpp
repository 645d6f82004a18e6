// The test programs run with the output folder as current directory, as the
// real programs do, so the engine finds Library/ there.

#include "Kinterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!KStartLibraryHeadless()) {
        std::fprintf(stderr, "cannot start the game library\n");
        return 1;
    }
    if (chdir(QUAV_OUTPUT_DIR) != 0) {
        std::perror(QUAV_OUTPUT_DIR);
        return 1;
    }
    return RUN_ALL_TESTS();
}

// QUAV! Runner: plays a world file.

#include "KRunnerApp.h"

#include <allegro.h>

#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return KRunnerMain(args);
}
END_OF_MAIN()

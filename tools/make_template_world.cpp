// make_template_world OUTPUT_DIR — writes OUTPUT_DIR/Library/default.zqav, the
// world every new world starts from, through the engine and the world writer:
// video mode 1, windowed, the default font sheet, a first board of the mode's
// size with walls along its edges, and an empty "Spawn" board.

#include "KGeneratorStart.h"
#include "KNodeCopy.h"
#include "KWorldFile.h"
#include "Kinterface.h"

#include <allegro.h>


namespace {

constexpr int kVideoMode = 1;

}  // namespace

int main(int argc, char** argv)
{
    if (const int status = KStartGenerator(argc, argv, "make_template_world")) return status;
    Kinterface engine(KParts{KFlavour::Editor});
    if (engine.vFont->glyphCount == 0) return 1;
    engine.vVideoMode = kVideoMode;
    engine.vWindowed = 1;

    // The first board is the one the editor's "new board" makes.
    Kobject* board = KMakeNewBoard(engine);
    if (board == nullptr) return 1;
    Kobject* spawn = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    spawn->Create("Spawn", board->width, board->height);

    return SaveWorld(engine, "Library/default.zqav") ? 0 : 1;
}
END_OF_MAIN()

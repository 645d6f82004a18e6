// make_template_world OUTPUT_DIR — writes OUTPUT_DIR/Library/default.zqav, the
// world every new world starts from, through the engine and the world writer:
// video mode 1, windowed, the default font sheet, a first board of the mode's
// size with walls along its edges, and an empty "Spawn" board.

#include "KGeneratorStart.h"
#include "KWorldFile.h"
#include "Kinterface.h"

#include <allegro.h>


namespace {

constexpr int kVideoMode = 1;
constexpr int kBoardWidth = 80;  // cells of video mode 1 (640 x 480)
constexpr int kBoardHeight = 60;

void FillNewBoard(Kobject& board)
{
    for (int y = 0; y < board.height; ++y) {
        for (int x = 0; x < board.width; ++x) {
            const bool edge = x == 0 || y == 0 || x == board.width - 1 || y == board.height - 1;
            if (edge) {
                board.SetCell(x, y, 176, 16, 32, 1);
            } else {
                board.SetCell(x, y, 0, 255, 255, 0);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int status = KStartGenerator(argc, argv, "make_template_world")) return status;
    Kinterface engine(KParts{KFlavour::Editor});
    if (engine.vFont->glyphCount == 0) return 1;
    engine.vVideoMode = kVideoMode;
    engine.vWindowed = 1;

    Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    board->Create("NewBoard", kBoardWidth, kBoardHeight);
    FillNewBoard(*board);
    Kobject* spawn = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    spawn->Create("Spawn", kBoardWidth, kBoardHeight);

    return SaveWorld(engine, "Library/default.zqav") ? 0 : 1;
}
END_OF_MAIN()

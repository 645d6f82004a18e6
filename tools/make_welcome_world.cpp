// make_welcome_world OUTPUT_DIR — writes OUTPUT_DIR/Worlds/welcome.zqav, the
// world shipped with the runner, through the engine and the world writer.
// One board in video mode 1 shows what the compositor does: text, walls,
// opaque, masked and transparent cells, nested objects cut by their parents,
// and sprite glyphs drawn in the sheet's own colours.

#include "KGeneratorStart.h"
#include "KWorldFile.h"
#include "Kinterface.h"

#include <allegro.h>

#include <string_view>

namespace {

constexpr int kBoardWidth = 80;  // cells of video mode 1 (640 x 480)
constexpr int kBoardHeight = 60;
constexpr int kFloor = 1;        // dark blue
constexpr int kText = 15;
constexpr int kPanelWidth = 16;
constexpr int kPanelHeight = 8;
constexpr int kFirstSpriteGlyph = 256;  // the row of glyphs added to the sheet

void Fill(Kobject& node, int x0, int y0, int w, int h, int chr, int fg, int bg, int attrib = 0)
{
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) node.SetCell(x, y, chr, fg, bg, attrib);
    }
}

void Text(Kobject& node, int x, int y, std::string_view text, int fg, int bg)
{
    for (size_t i = 0; i < text.size(); ++i) {
        node.SetCell(x + static_cast<int>(i), y, static_cast<unsigned char>(text[i]), fg, bg, 0);
    }
}

void CentredText(Kobject& node, int y, std::string_view text, int fg, int bg)
{
    Text(node, (node.width - static_cast<int>(text.size())) / 2, y, text, fg, bg);
}

Kobject* AddObject(Kinterface& engine, Kobject& parent, std::string_view name, int x, int y, int w, int h, int z = 0)
{
    Kobject* object = parent.Spawn(engine.TakeNextId(), z);
    object->Create(name, w, h);
    object->posx = x;
    object->posy = y;
    return object;
}

// A 16 x 16 gem in four glyphs, drawn in the sheet's own colours: a cell
// with foreground -2 copies these pixels as they are.
void DrawSpriteGlyphs(Kfont& font)
{
    font.AddGlyphRow();
    constexpr int kSize = 16;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const int dx = x < 8 ? 7 - x : x - 8;
            const int dy = y < 8 ? 7 - y : y - 8;
            const int distance = dx + dy;
            int colour = 0;
            if (distance <= 3) {
                colour = 15;
            } else if (distance <= 6) {
                colour = (x < 8) == (y < 8) ? 11 : 9;
            } else if (distance <= 9) {
                colour = y < 8 ? 3 : 1;
            } else if (distance == 10) {
                colour = 8;
            }
            const int glyph = kFirstSpriteGlyph + (y / 8) * 2 + x / 8;
            font.SetGlyphPixel(glyph, x % 8, y % 8, colour);
        }
    }
}

void PlaceSprite(Kobject& node, int x, int y, int bg)
{
    for (int part = 0; part < 4; ++part) node.SetCell(x + part % 2, y + part / 2, kFirstSpriteGlyph + part, -2, bg, 0);
}

void DrawBoard(Kobject& board)
{
    Fill(board, 0, 0, kBoardWidth, kBoardHeight, 0, kFloor, kFloor);
    for (int x = 0; x < kBoardWidth; ++x) {
        board.SetCell(x, 0, 178, 7, 8, 1);
        board.SetCell(x, kBoardHeight - 1, 178, 7, 8, 1);
    }
    for (int y = 0; y < kBoardHeight; ++y) {
        board.SetCell(0, y, 178, 7, 8, 1);
        board.SetCell(kBoardWidth - 1, y, 178, 7, 8, 1);
    }
    CentredText(board, 3, "Welcome to QUAV! Runner", 14, kFloor);
    CentredText(board, 5, "Every board and object is a grid of cells composited front to back.", kText, kFloor);
    // A patterned floor under the panels, so what shows through can be seen.
    for (int row = 0; row < 2; ++row) {
        for (int panel = 0; panel < 4; ++panel) {
            const int x = 3 + panel * (kPanelWidth + 3);
            const int y = 10 + row * (kPanelHeight + 8);
            Fill(board, x, y, kPanelWidth, kPanelHeight, 176, 3, kFloor);
        }
    }
    Text(board, 3, 8, "Opaque", kText, kFloor);
    Text(board, 22, 8, "Masked", kText, kFloor);
    Text(board, 41, 8, "Transparent", kText, kFloor);
    Text(board, 60, 8, "Nested, clipped", kText, kFloor);
    Text(board, 3, 24, "Sprite, masked", kText, kFloor);
    Text(board, 22, 24, "Sprite, opaque", kText, kFloor);
    Text(board, 41, 24, "Masked over masked", kText, kFloor);
    Text(board, 60, 24, "Scrolled view", kText, kFloor);
    CentredText(board, 44, "Print Screen saves a screenshot in Worlds/Screens.", kText, kFloor);
    CentredText(board, 46, "Hold ~ to see the frame rate. Close the window to quit.", kText, kFloor);
    CentredText(board, 50, "Play a world of your own: quav-runner WORLD.zqav", 7, kFloor);
}

void AddPanels(Kinterface& engine, Kobject& board)
{
    Kobject* opaque = AddObject(engine, board, "opaque", 5, 11, 12, 6);
    Fill(*opaque, 0, 0, 12, 6, 177, 12, 4);
    Text(*opaque, 3, 2, "OPAQUE", kText, 4);

    Kobject* masked = AddObject(engine, board, "masked", 24, 11, 12, 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 12; ++x) masked->SetCell(x, y, (x + y) % 2 == 0 ? 3 : 4, (x + y) % 2 == 0 ? 12 : 14, 0, 0);
    }

    Kobject* glass = AddObject(engine, board, "transparent", 43, 11, 12, 6);
    Fill(*glass, 0, 0, 12, 6, 219, 2, 2);
    Fill(*glass, 2, 1, 8, 4, 0, 0, 0);

    // A window of 12 x 6 cells; its children reach past its left and right
    // edges and are cut there.
    Kobject* frame = AddObject(engine, board, "window", 62, 11, 12, 6);
    Fill(*frame, 0, 0, 12, 6, 177, 5, 13);
    Kobject* left = AddObject(engine, *frame, "left", -4, 1, 9, 2, 1);
    Fill(*left, 0, 0, 9, 2, 219, 14, 14);
    Text(*left, 0, 0, "CUT LEFT ", 0, 14);
    Kobject* right = AddObject(engine, *frame, "right", 7, 3, 9, 2);
    Fill(*right, 0, 0, 9, 2, 219, 10, 10);
    Text(*right, 0, 1, " CUT RIGHT", 0, 10);

    Kobject* spriteMasked = AddObject(engine, board, "gems", 5, 27, 12, 6);
    Fill(*spriteMasked, 0, 0, 12, 6, 0, 0, 0);
    for (int i = 0; i < 3; ++i) PlaceSprite(*spriteMasked, 1 + 4 * i, 1 + (i % 2) * 2, 2);
    Kobject* spriteOpaque = AddObject(engine, board, "tiles", 24, 27, 12, 6);
    Fill(*spriteOpaque, 0, 0, 12, 6, 0, 0, 0);
    for (int i = 0; i < 3; ++i) PlaceSprite(*spriteOpaque, 1 + 4 * i, 1 + (i % 2) * 2, 1);

    // Two masked layers: the front one's clear pixels show the back one,
    // whose clear pixels show the floor.
    Kobject* back = AddObject(engine, board, "back", 43, 27, 10, 5, 0);
    Fill(*back, 0, 0, 10, 5, 'O', 11, 0);
    Kobject* front = AddObject(engine, board, "front", 45, 28, 10, 5, 1);
    Fill(*front, 0, 0, 10, 5, '+', 12, 0);

    // A view scrolled into a larger grid: columns 4.. of 20 are shown.
    Kobject* scrolled = AddObject(engine, board, "scrolled", 62, 27, 20, 6);
    for (int x = 0; x < 20; ++x) Fill(*scrolled, x, 0, 1, 6, '0' + x % 10, 15, 16 + 6 * x);
    scrolled->viewx = 4;
    scrolled->vieww = 12;

    Kobject* player = AddObject(engine, board, "player", 40, 40, 1, 1, 5);
    player->SetCell(0, 0, 2, 15, 0, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int status = KStartGenerator(argc, argv, "make_welcome_world")) return status;
    Kinterface engine(KParts{KFlavour::Editor});
    if (engine.vFont->glyphCount == 0) return 1;
    engine.vVideoMode = 1;
    engine.vWindowed = 1;
    DrawSpriteGlyphs(*engine.vFont);

    Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    board->Create("Welcome", kBoardWidth, kBoardHeight);
    DrawBoard(*board);
    AddPanels(engine, *board);
    return SaveWorld(engine, "Worlds/welcome.zqav") ? 0 : 1;
}
END_OF_MAIN()

// make_vault_world OUTPUT_DIR — writes OUTPUT_DIR/Worlds/vault.zqav, a small
// game made through the engine and the world writer, and its sound files
// beside it. A title board with a menu; the vault, guarded by a hunter and
// a wanderer, with a sign that asks the hero's name, a key behind breakable
// walls, a shed to walk into and a locked door; beyond it a stair down into
// a dark cave where bats breed and only the hero's lantern and a few
// crystals give light; up into the crypt, whose gate opens when a boulder
// is pushed onto a plate, past a marching guard and a ghost; the armory
// with its red and blue keys and doors and a turret; and the last hall,
// twice as wide as the screen, where the way out must be reached before the
// portcullis falls. An overlay board shows ammunition, health and the keys
// found; "save" and "load" on the spawn board answer the menu's slots; the
// endings are banner boards of their own.
//
// The boards are ordered by depth: the title comes first and is the board
// the game starts on; the playing boards follow, then "Dark" and "Overlay"
// (shown in front of them; the overlay in front of the darkness) and
// "Spawn", which is never shown; the endings come last, in front of all.

#include "KGeneratorStart.h"
#include "KWorldFile.h"
#include "Kinterface.h"
#include "VaultMedia.h"

#include <allegro.h>

#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr int kWidth = 80;  // cells of video mode 1 (640 x 480)
constexpr int kHeight = 60;

// Cell attributes as movement reads them.
constexpr int kFree = 0;
constexpr int kWall = 1;
constexpr int kBreakable = 2;

struct CellLook {
    int chr;
    int fg;
    int bg;
    int attrib;
};

constexpr CellLook kFloor{250, 8, 16, kFree};
constexpr CellLook kStone{219, 7, 8, kWall};
constexpr CellLook kRubble{177, 6, 16, kBreakable};
constexpr CellLook kRock{178, 6, 8, kWall};
constexpr CellLook kCaveFloor{250, 7, 16, kFree};
constexpr CellLook kClear{0, 0, 0, kFree};  // shows what lies behind

void Fill(Kobject& node, int x0, int y0, int w, int h, const CellLook& look)
{
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) node.SetCell(x, y, look.chr, look.fg, look.bg, look.attrib);
    }
}

// A wall down the whole board at column x, with a doorway of floor at row y.
void WallWithDoorway(Kobject& node, int x, int y, const CellLook& wall, const CellLook& floor)
{
    Fill(node, x, 1, 1, kHeight - 1, wall);
    Fill(node, x, y, 1, 1, floor);
}

void Text(Kobject& node, int x, int y, std::string_view text, int fg, int bg)
{
    for (size_t i = 0; i < text.size(); ++i) {
        node.SetCell(x + static_cast<int>(i), y, static_cast<unsigned char>(text[i]), fg, bg, kFree);
    }
}

void CentredText(Kobject& node, int y, std::string_view text, int fg, int bg)
{
    Text(node, (node.width - static_cast<int>(text.size())) / 2, y, text, fg, bg);
}

Kobject* AddBoard(Kinterface& engine, std::string_view name, int z)
{
    Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), z);
    board->Create(name, kWidth, kHeight);
    return board;
}

Kobject* AddObject(Kinterface& engine, Kobject& parent, std::string_view name, int x, int y, const CellLook& look,
                   std::string_view script)
{
    Kobject* object = parent.Spawn(engine.TakeNextId(), 1);
    object->Create(name, 1, 1);
    object->posx = x;
    object->posy = y;
    object->SetCell(0, 0, look.chr, look.fg, look.bg, look.attrib);
    object->source = std::string(script);
    return object;
}

// ---------------------------------------------------------------- scripts

constexpr std::string_view kMenuScript =
    "' The title menu. Its links jump to the labels below; Enter shows it\n"
    "' again after it was closed with Escape. Nothing can be saved before\n"
    "' the game starts, so the game menu offers no Save here.\n"
    "#set nosave 1\n"
    "#play \"ie-b+c.sx e g q+c\"\n"
    ":menu\n"
    "$c$14,1 THE VAULT OF QUAV\n"
    "$c$7,1 a small game of keys, doors and sentries\n"
    "$c\n"
    "$lplay Enter the vault\n"
    "$lhow How to play\n"
    "$lquit Quit\n"
    "#end\n"
    ":play\n"
    "' Show the strip of ammunition and health, then wake the vault and\n"
    "' everyone in it.\n"
    "#set overlay 1\n"
    "#switch Vault\n"
    "#end\n"
    ":how\n"
    "$c$14,1 How to play\n"
    "Walk with the arrow keys; each press of Space fires one shot.\n"
    "Bullets crumble the brown rubble walls; crates refill bullets.\n"
    "Find the key, open the door and take the stair down. Cross the\n"
    "dark cave, open the crypt's gate, find the armory's keys and\n"
    "race the clock of the last hall to the way out.\n"
    "A sentry flashes yellow and hisses before it fires: step aside!\n"
    "Four hits and you are done.\n"
    "Escape opens the menu: save, load, restart or quit.\n"
    "To go on with a saved game: enter the vault, Esc, L, the slot.\n"
    "$lmenu Back\n"
    "#end\n"
    ":quit\n"
    "' The game menu quits; a world cannot end the program itself.\n"
    "$c$14,1 Leaving?\n"
    "Press Esc for the game menu, then Q to quit.\n"
    "$lmenu Back\n"
    "#end\n"
    ":key_enter\n"
    "@menu\n";

constexpr std::string_view kVaultScript =
    "' The vault wakes: the theme plays, the sound effects are loaded\n"
    "' and the hero gets the first bullets. From here on the game menu\n"
    "' may save.\n"
    "#clear nosave\n"
    "#song vault_theme.mid 1\n"
    "#loadsound vault_shot.wav\n"
    "#loadsound vault_hit.wav\n"
    "#loadsound vault_door.wav\n"
    "#loadsound vault_pop.wav\n"
    "#loadsound vault_warn.wav\n"
    "#set name Stranger\n"
    "#set ammo 12\n"
    "Read the sign, then find the key. Mind the sentries.\n"
    "#end\n";

// The same hero walks the vault and the cave.
constexpr std::string_view kPlayerScript =
    "' The hero. A press of an arrow is one step; held, the arrow waits\n"
    "' nine ticks and then steps every fourth tick, so a tap of a few\n"
    "' frames never takes two steps. The trigger inside the hero turns each\n"
    "' press of Space into one @fire the way the hero last stepped (facing:\n"
    "' 0 north, 1 east, 2 south, 3 west). The lantern is its own object.\n"
    "#cyclef 8\n"
    "#set facing 1\n"
    "#end\n"
    ":key_up\n"
    "' Wait reloads at the start of a turn: the cycle set here times the\n"
    "' repeat of a held key; the one set after the step, the first delay.\n"
    "#set facing 0\n"
    "#cyclef 3\n"
    "? n\n"
    "#cyclef 8\n"
    "#end\n"
    ":key_right\n"
    "#set facing 1\n"
    "#cyclef 3\n"
    "? e\n"
    "#cyclef 8\n"
    "#end\n"
    ":key_down\n"
    "#set facing 2\n"
    "#cyclef 3\n"
    "? s\n"
    "#cyclef 8\n"
    "#end\n"
    ":key_left\n"
    "#set facing 3\n"
    "#cyclef 3\n"
    "? w\n"
    "#cyclef 8\n"
    "#end\n"
    ":fire\n"
    "#ifex ammo < 1 @empty\n"
    "#sound vault_shot.wav 0 once\n"
    "#ifex facing == 0 #shoot n\n"
    "#ifex facing == 1 #shoot e\n"
    "#ifex facing == 2 #shoot s\n"
    "#ifex facing == 3 #shoot w\n"
    "#end\n"
    ":empty\n"
    "' Never a silent dead end: say where more bullets are.\n"
    "Out of bullets! Touch a crate (yellow square) to refill.\n"
    "#end\n"
    ":shot\n"
    "' Once the game is decided, stray bullets change nothing.\n"
    "#if won #end\n"
    "#if lost #end\n"
    "#sound vault_hit.wav 1 once\n"
    "#take health 25 #set health 0\n"
    "#ifex health > 0 #end\n"
    "#set lost 1\n"
    "#switch Lost\n"
    "#end\n";

// Rides inside the hero (as its child) and runs every tick, so it sees each
// tick that Space is down: only the first tick of a press fires, and a short
// reload after each shot keeps a hammered key from emptying the gun.
constexpr std::string_view kTriggerScript =
    "' The hero's trigger: one press of Space, one shot.\n"
    "#cyclef 0\n"
    ":up\n"
    "' No key marker brought us here this tick: Space is up.\n"
    "#set armed 1\n"
    "#take reload 1\n"
    "/i\n"
    "@up\n"
    ":key_space\n"
    "' Space is down this tick; shoot only if it was up before.\n"
    "#take reload 1\n"
    "#if armed #ifex reload < 1 @pull\n"
    "#clear armed\n"
    "/i\n"
    "@up\n"
    ":pull\n"
    "#set reload 8\n"
    "#clear armed\n"
    ".parent @fire\n"
    "/i\n"
    "@up\n";

// The lantern follows the hero and lights the way every tick once the
// torches are out, whatever keys the hero presses.
constexpr std::string_view kLanternScript =
    "' The hero's lantern, lit every tick in the dark.\n"
    "#collide none\n"
    "#cyclef 0\n"
    ":glow\n"
    "/i\n"
    "#if not dark @glow\n"
    "#mod posx player_x\n"
    "#mod posy player_y\n"
    "' In the vault's shed the hero's place counts from the shed's corner.\n"
    "#if not scope .shed.player #light 9 96 0 256\n"
    "#if not scope .shed.player @glow\n"
    ".shed #get posx shed_x\n"
    ".shed #get posy shed_y\n"
    "#mod posx (player_x+shed_x)\n"
    "#mod posy (player_y+shed_y)\n"
    "#light 9 96 0 256\n"
    "@glow\n";

constexpr std::string_view kSignScript =
    "' A sign by the entrance. Its window opens on an empty name field, so\n"
    "' the hero types a name at once and Enter closes it; touched again it\n"
    "' greets the hero and offers to write another name.\n"
    "#end\n"
    ":touch\n"
    "#if named @greet\n"
    ":ask\n"
    "#set name \"\"\n"
    "$c$14,1 A weathered sign\n"
    "Travellers, type your name and press Enter.\n"
    "$iname 16 Name: \n"
    "/i\n"
    "' An empty name stays Stranger: the sign writes the name over its own\n"
    "' cell, reads back the first letter and paints itself again.\n"
    "#charex 0 0 32 -1 -1 -1\n"
    "#write 0 0 name\n"
    "#get char 0 0 first\n"
    "#char 244 14 6 0\n"
    "#ifex first == 32 #set name Stranger\n"
    "#set named 1\n"
    "Well met, $vname ! The key lies beyond the rubble, north-east.\n"
    "#end\n"
    ":greet\n"
    "$c$14,1 A weathered sign\n"
    "Well met, $vname ! The key lies beyond the rubble, north-east.\n"
    "$lask Write another name\n"
    "$lbye Leave\n"
    "#end\n"
    ":bye\n"
    "#end\n";

// A sentry that closes in on the hero; fires whenever they share a row or
// a column. Two bullets put it down.
constexpr std::string_view kHunterScript =
    "' A hunter: closes in, and when it lines up with the hero it warns\n"
    "' (a yellow double bang and a hiss) for about half a second before it\n"
    "' fires once, then rests a second and a half. Blocked, it steps aside\n"
    "' instead of pushing into a pillar.\n"
    "#cyclef 10\n"
    "#set wounds 0\n"
    ":prowl\n"
    "#if aligned @aim\n"
    "#try seek ? rnd\n"
    "@prowl\n"
    ":aim\n"
    "#char 19 14 16 -1\n"
    "#sound vault_warn.wav 3 once\n"
    "/i &3\n"
    "#shoot seek\n"
    "#char 1 12 16 -1\n"
    "/i &8\n"
    "' Three steps before the next aim, so a pillar between us is walked\n"
    "' around rather than shot at for ever.\n"
    "#try seek ? rnd\n"
    "#try seek ? rnd\n"
    "#try seek ? rnd\n"
    "@prowl\n"
    ":shot\n"
    "#char 1 12 16 -1\n"
    "#give wounds 1\n"
    "#ifex wounds < 2 @prowl\n"
    "#sound vault_pop.wav 2 once\n"
    "#give downed 1\n"
    "#die\n";

// A sentry that wanders at random and fires when the hero lines up.
constexpr std::string_view kWandererScript =
    "' A wanderer: drifts about; lined up with the hero it warns, fires\n"
    "' once and rests.\n"
    "#cyclef 10\n"
    ":drift\n"
    "#if aligned @aim\n"
    "? rnd\n"
    "@drift\n"
    ":aim\n"
    "#char 19 14 16 -1\n"
    "#sound vault_warn.wav 3 once\n"
    "/i &3\n"
    "#shoot seek\n"
    "#char 1 13 16 -1\n"
    "/i &10\n"
    "@drift\n"
    ":shot\n"
    "#sound vault_pop.wav 2 once\n"
    "#give downed 1\n"
    "#die\n";

constexpr std::string_view kKeyScript =
    "' The key to the door.\n"
    "#end\n"
    ":touch\n"
    "#give keys 1\n"
    "#play \"sc e g +c\"\n"
    "You take the key.\n"
    "#die\n";

constexpr std::string_view kDoorScript =
    "' The door opens for a key, and keeps it.\n"
    "#end\n"
    ":touch\n"
    "#if keys @open\n"
    "The door is locked. The key lies behind the rubble.\n"
    "#end\n"
    ":open\n"
    "#take keys 1\n"
    "#sound vault_door.wav 2 once\n"
    "' A draught from beyond puts out every torch of the vault.\n"
    "#set dark 1\n"
    "The door swings open, the torches die. Your lantern glows.\n"
    "#die\n";

constexpr std::string_view kAmmoScript =
    "' A crate of bullets that never runs dry: it fills the hero up to\n"
    "' twenty, so no fight can leave the game unwinnable.\n"
    "#end\n"
    ":touch\n"
    "#ifex ammo >= 20 @full\n"
    "#set ammo 20\n"
    "#play \"sc g\"\n"
    "You fill your pouch: twenty bullets.\n"
    "#end\n"
    ":full\n"
    "Your pouch is full.\n"
    "#end\n";

constexpr std::string_view kShedScript =
    "' A shed the hero can walk into, with a box of bullets inside.\n"
    "#enterable yes\n"
    "#end\n";

constexpr std::string_view kStairScript =
    "' The stair down into the cave.\n"
    "#end\n"
    ":touch\n"
    "#switch Cave\n"
    "#end\n";

constexpr std::string_view kCaveScript =
    "' Down in the cave no torch burns at all; the nest starts empty.\n"
    "#set dark 1\n"
    "#song vault_cave.mid 1\n"
    "#set bats 0\n"
    "The stair ends in a cave. Wings flutter in the dark.\n"
    "#end\n";

// A glowing crystal: a small light of its own, cast every tick.
constexpr std::string_view kCrystalScript =
    "' A crystal glows in the dark.\n"
    "#cyclef 0\n"
    ":shine\n"
    "#light 4 32 0 256\n"
    "/i\n"
    "@shine\n";

constexpr std::string_view kNestScript =
    "' The nest: a new bat every two seconds while fewer than six fly.\n"
    "#cyclef 120\n"
    ":breed\n"
    "#ifex bats < 6 @hatch\n"
    "/i\n"
    "@breed\n"
    ":hatch\n"
    "#put s bat\n"
    "#give bats 1\n"
    "/i\n"
    "@breed\n";

// The bat template on the spawn board; the nest puts copies out.
constexpr std::string_view kBatScript =
    "' A bat: flutters about, spits along rows and columns now and then,\n"
    "' and falls to one bullet.\n"
    "#cyclef 9\n"
    ":flap\n"
    "#if aligned @spit\n"
    "? rnd\n"
    "@flap\n"
    ":spit\n"
    "#shoot seek\n"
    "/i &6\n"
    "@flap\n"
    ":shot\n"
    "#sound vault_pop.wav 2 once\n"
    "#take bats 1\n"
    "#give downed 1\n"
    "#die\n";

constexpr std::string_view kExitScript =
    "' The far tunnel: up a stair into the crypt (once the game is lost,\n"
    "' nothing leads on).\n"
    "#end\n"
    ":touch\n"
    "#if lost #end\n"
    "#switch Crypt\n"
    "#end\n";

// ------------------------------------------------ the crypt: a push puzzle

constexpr std::string_view kCryptScript =
    "' The crypt is lit by torches again; its gate opens when the boulder\n"
    "' rests on the plate.\n"
    "#clear dark\n"
    "#song vault_crypt.mid 1\n"
    "Push the boulder onto the yellow plate. The lever puts it back.\n"
    "#end\n";

constexpr std::string_view kBoulderScript =
    "' A boulder: pushed, it rolls one cell away from the hero. Resting on\n"
    "' the plate (30, 25) it opens the gate and wakes the runes.\n"
    "#cyclef 1\n"
    "#end\n"
    ":touch\n"
    "? opp seek\n"
    "#get posx bx\n"
    "#get posy by\n"
    "#ifex bx == 30 #ifex by == 25 @home\n"
    "#end\n"
    ":home\n"
    "#zap touch\n"
    "#change 15 -1 -1 -1 15 10 16 0\n"
    ".gate @open\n"
    "#end\n"
    ":reset\n"
    "' Pushed astray: the lever rolls it back, so no push is fatal.\n"
    "#mod posx 30\n"
    "#mod posy 35\n"
    "#end\n";

constexpr std::string_view kLeverScript =
    "' The lever rolls the boulder back to where it started.\n"
    "#end\n"
    ":touch\n"
    ".boulder @reset\n"
    "#play \"sc<c\"\n"
    "The boulder rumbles back to its place.\n"
    "#end\n";

constexpr std::string_view kGateScript =
    "' The crypt's gate: opened by the boulder on the plate, it crumbles\n"
    "' into the floor.\n"
    "#end\n"
    ":touch\n"
    "The gate does not move. Something must weigh on the plate.\n"
    "#end\n"
    ":open\n"
    "#sound vault_door.wav 2 once\n"
    "The runes glow green and the gate sinks into the floor.\n"
    "#become 250 8 16 0\n";

constexpr std::string_view kGhostScript =
    "' A ghost drifts through walls toward the hero, slowly; bullets pass\n"
    "' through it. Its touch chills, and it flees back to its corner.\n"
    "#collide none\n"
    "#cycle 3\n"
    ":drift\n"
    "#if inside @haunt\n"
    "? seek\n"
    "@drift\n"
    ":haunt\n"
    ".player @shot\n"
    "Cold hands pass through you!\n"
    "#mod posx 75\n"
    "#mod posy 55\n"
    "@drift\n";

constexpr std::string_view kGuardScript =
    "' A guard marches up and down its column and turns at walls. Its\n"
    "' touch hurts; one bullet breaks its nerve and it takes the coward's\n"
    "' program from the spawn board.\n"
    "#cyclef 8\n"
    "#walk n\n"
    "#end\n"
    ":thud\n"
    "#walk opp flow\n"
    "#end\n"
    ":touch\n"
    ".player @shot\n"
    "#walk opp flow\n"
    "#end\n"
    ":shot\n"
    "#walk i\n"
    "#bind coward\n";

constexpr std::string_view kCowardScript =
    "' A guard that lost its nerve: grey, it runs from the hero; a second\n"
    "' bullet leaves only its bones on the floor.\n"
    "#char 1 8 16 -1\n"
    "#cyclef 6\n"
    ":run\n"
    "? opp seek\n"
    "@run\n"
    ":shot\n"
    "#sound vault_pop.wav 2 once\n"
    "#give downed 1\n"
    "#become 37 7 16 0\n";

constexpr std::string_view kCryptStairScript =
    "' The stair up into the armory.\n"
    "#end\n"
    ":touch\n"
    "#switch Armory\n"
    "#end\n";

// ------------------------------------- the armory: coloured keys and doors

constexpr std::string_view kArmoryScript =
    "' The armory: a red door, a blue door, and their keys.\n"
    "#clear dark\n"
    "#song vault_armory.mid 1\n"
    "The armory. The red key is kept in the storeroom.\n"
    "#end\n";

constexpr std::string_view kStoreroomScript =
    "' A storeroom the hero walks into; the red key lies inside.\n"
    "#enterable yes\n"
    "#end\n";

// A coloured key; its colour word names the variable and the overlay's icon.
std::string KeyScript(std::string_view colour)
{
    const std::string c(colour);
    return "' The " + c + " key: taken, it shows on the key ring of the overlay.\n"
           "#end\n"
           ":touch\n"
           "#give " + c + "key 1\n"
           ".top.overlay.keyring @" + c + "\n"
           "#play \"sc e g +c\"\n"
           "You take the " + c + " key.\n"
           "#die\n";
}

// A coloured door opens for the key of its colour and keeps it.
std::string DoorScript(std::string_view colour)
{
    const std::string c(colour);
    return "' The " + c + " door: opens for the " + c + " key, and keeps it.\n"
           "#end\n"
           ":touch\n"
           "#if " + c + "key @open\n"
           "A " + c + " door. It wants the " + c + " key.\n"
           "#end\n"
           ":open\n"
           "#take " + c + "key 1\n"
           "#sound vault_door.wav 2 once\n"
           "The " + c + " door swings open.\n"
           "#die\n";
}

constexpr std::string_view kTurretScript =
    "' A turret: it cannot move, but lined up with the hero it glows,\n"
    "' then throws a fireball and cools down. Three bullets silence it.\n"
    "#cyclef 10\n"
    "#set heat 0\n"
    ":watch\n"
    "#if aligned @aim\n"
    "/i\n"
    "@watch\n"
    ":aim\n"
    "#char 15 14 16 -1\n"
    "#sound vault_warn.wav 3 once\n"
    "/i &3\n"
    "#throw seek fireball\n"
    "#char 15 4 16 -1\n"
    "/i &10\n"
    "@watch\n"
    ":shot\n"
    "#give heat 1\n"
    "#ifex heat < 3 @watch\n"
    "#sound vault_pop.wav 2 once\n"
    "#give downed 1\n"
    "The turret falls silent.\n"
    "#become 177 8 16 1\n";

constexpr std::string_view kLiftScript =
    "' The lift up to the last hall.\n"
    "#end\n"
    ":touch\n"
    "#switch Gate\n"
    "#end\n";

// ------------------------------------------ the gate: a race against time

constexpr std::string_view kGateHallScript =
    "' The last hall, twice as wide as the screen: the view follows the\n"
    "' hero. The portcullis at the far end falls in forty seconds.\n"
    "#clear dark\n"
    "#fadeout\n"
    "#fadein\n"
    "#song vault_race.mid 1\n"
    "#set timer 40\n"
    "#notify timer\n"
    "Run! The portcullis at the far east end is falling.\n"
    "#cyclef 0\n"
    ":follow\n"
    "#focus player\n"
    "/i\n"
    "@follow\n";

constexpr std::string_view kClockScript =
    "' Counts the seconds down; at zero the portcullis crashes and the\n"
    "' hero is carried back to the start with a fresh forty seconds.\n"
    "#cyclef 59\n"
    ":tick\n"
    "/i\n"
    "#take timer 1 @late\n"
    "@tick\n"
    ":late\n"
    "#sound vault_hit.wav 1 once\n"
    "#give late 1\n"
    "Too slow! The portcullis crashes down, and slowly rises again.\n"
    ".player #mod posx 3\n"
    ".player #mod posy 30\n"
    "#set timer 40\n"
    "@tick\n";

constexpr std::string_view kWayOutScript =
    "' The way out: reaching it wins the game.\n"
    "#end\n"
    ":touch\n"
    "#if lost #end\n"
    "#denotify timer\n"
    "#set won 1\n"
    "#switch Won\n"
    "#end\n";

// The key ring on the overlay: each key taken hangs its icon here.
constexpr std::string_view kKeyringScript =
    "' The key ring: icons of the keys found, attached from the spawn board.\n"
    "#end\n"
    ":red\n"
    "#attach redicon 0 0\n"
    "#end\n"
    ":blue\n"
    "#attach blueicon 1 0\n"
    "#end\n";

constexpr std::string_view kFireballScript =
    "' A fireball: thrown, it flies and burns whatever it meets.\n"
    "#collide fly\n"
    "#collide exclude\n"
    "#cyclef 2\n"
    "#end\n"
    ":thud\n"
    "#die\n"
    ":shot\n"
    "#die\n";

// A counter on the overlay: a few cells repainted a few times a second,
// so it follows every shot, hit and box picked up.
std::string CounterScript(std::string_view variable, int fg)
{
    return "' Repaints the " + std::string(variable) + " count.\n"
           "#cyclef 6\n"
           ":paint\n"
           "#char 32 " + std::to_string(fg) + " 1 0\n"
           "#write 0 0 " + std::string(variable) + "\n"
           "/i\n"
           "@paint\n";
}

constexpr std::string_view kBulletScript =
    "' A bullet flies over rubble to break it, and is spent on whatever\n"
    "' it meets; bullets pass one another, so no shot cancels another.\n"
    "#collide fly\n"
    "#collide exclude\n"
    "#cyclef 1\n"
    "#end\n"
    ":thud\n"
    "#die\n"
    ":shot\n"
    "#die\n";

// The endings: a board of their own, so the banner lasts and fits the
// screen; the board's script plays the jingle and says what to do next.
constexpr std::string_view kWonScript =
    "' The game is won.\n"
    "#stopsong\n"
    "#play \"ic e g c e g q+c\"\n"
    "Well done, $vname !\n"
    "#end\n";

constexpr std::string_view kLostScript =
    "' The game is lost.\n"
    "#stopsong\n"
    "#play \"qg e!h.c\"\n"
    "You fall. The vault keeps its secrets, $vname .\n"
    "#end\n";

constexpr std::string_view kSaveScript =
    "' Runs right after the game was saved to a slot.\n"
    "#play \"sg+c\"\n"
    "Game saved.\n"
    "#end\n";

constexpr std::string_view kLoadScript =
    "' Runs right after a saved game was loaded.\n"
    "#set loaded 1\n"
    "#play \"s+cg\"\n"
    "Welcome back, $vname .\n"
    "#end\n";

// ---------------------------------------------------------------- boards

// Walls all round a board, a floor inside.
void Room(Kobject& board, const CellLook& floor, const CellLook& wall)
{
    Fill(board, 0, 0, board.width, board.height, floor);
    Fill(board, 0, 1, board.width, 1, wall);
    Fill(board, 0, board.height - 1, board.width, 1, wall);
    Fill(board, 0, 1, 1, board.height - 1, wall);
    Fill(board, board.width - 1, 1, 1, board.height - 1, wall);
}

constexpr CellLook kHero{2, 15, 16, kFree};
constexpr CellLook kCrate{254, 14, 6, kFree};  // not the crystals' diamond

// The hero with the trigger inside it, and the lantern that follows it.
void AddHero(Kinterface& engine, Kobject& board, int x, int y)
{
    Kobject* hero = AddObject(engine, board, "player", x, y, kHero, kPlayerScript);
    AddObject(engine, *hero, "trigger", 0, 0, kClear, kTriggerScript);
    AddObject(engine, board, "lantern", x, y, kClear, kLanternScript);
}

void MakeTitle(Kinterface& engine)
{
    Kobject* title = AddBoard(engine, "Title", 0);
    Fill(*title, 0, 0, kWidth, kHeight, CellLook{0, 1, 1, kFree});
    Fill(*title, 0, 0, kWidth, 1, kStone);
    Fill(*title, 0, kHeight - 1, kWidth, 1, kStone);
    CentredText(*title, 6, "THE VAULT OF QUAV", 14, 1);
    CentredText(*title, kHeight - 5, "Up and Down choose, Enter follows. Enter shows the menu again.", 7, 1);
    CentredText(*title, kHeight - 3, "Esc: menu, then Q quits.", 7, 1);
    AddObject(engine, *title, "Welcome", 1, 1, CellLook{0, 1, 1, kFree}, kMenuScript);
}

// The vault: the hero starts in the west hall beside the sign; rubble
// walls the key into the north-east corner of that hall; a stone wall
// with one door splits off the east room, where the stair goes down.
void MakeVault(Kinterface& engine)
{
    Kobject* vault = AddBoard(engine, "Vault", 1);
    vault->source = std::string(kVaultScript);
    Fill(*vault, 0, 0, kWidth, kHeight, kFloor);
    Fill(*vault, 0, 1, kWidth, 1, kStone);
    Fill(*vault, 0, kHeight - 1, kWidth, 1, kStone);
    Fill(*vault, 0, 1, 1, kHeight - 1, kStone);
    Fill(*vault, kWidth - 1, 1, 1, kHeight - 1, kStone);
    WallWithDoorway(*vault, 56, 30, kStone, kFloor);  // the doorway, closed by the door object
    Fill(*vault, 44, 2, 12, 1, kRubble);  // a little cell around the key
    Fill(*vault, 44, 2, 1, 8, kRubble);
    Fill(*vault, 44, 10, 12, 1, kRubble);
    Fill(*vault, 20, 20, 2, 8, kStone);  // pillars to hide behind, with the
    Fill(*vault, 20, 33, 2, 7, kStone);  // door's row open between them
    Fill(*vault, 34, 34, 10, 2, kStone);
    Text(*vault, 59, 4, "STAIR", 10, 16);

    AddHero(engine, *vault, 6, 30);
    AddObject(engine, *vault, "sign", 6, 27, CellLook{244, 14, 6, kFree}, kSignScript);
    AddObject(engine, *vault, "key", 50, 6, CellLook{12, 14, 16, kFree}, kKeyScript);
    AddObject(engine, *vault, "door", 56, 30, CellLook{8, 14, 6, kFree}, kDoorScript);
    Kobject* shed = AddObject(engine, *vault, "shed", 2, 51, kFloor, kShedScript);
    shed->Create("shed", 12, 6);
    Fill(*shed, 0, 0, 12, 6, CellLook{250, 6, 4, kFree});
    Text(*shed, 4, 0, "SHED", 14, 4);
    AddObject(engine, *shed, "crate", 8, 3, kCrate, kAmmoScript);
    AddObject(engine, *vault, "stair", 62, 6, CellLook{240, 10, 2, kFree}, kStairScript);
    AddObject(engine, *vault, "hunter", 30, 48, CellLook{1, 12, 16, kFree}, kHunterScript);
    AddObject(engine, *vault, "wanderer", 68, 40, CellLook{1, 13, 16, kFree}, kWandererScript);
}

struct Area {
    int x;
    int y;
    int w;
    int h;
};

// The cave: rock everywhere but a tunnel in from the west, one wide
// cavern with pillars of rock, and a tunnel out to the east.
constexpr Area kCaveHollows[] = {
    {1, 28, 12, 5}, {12, 8, 55, 45}, {66, 26, 13, 5},
};
constexpr Area kCavePillars[] = {
    {24, 14, 4, 7}, {40, 36, 5, 9}, {52, 12, 4, 7}, {30, 44, 4, 7}, {58, 38, 4, 7}, {12, 8, 6, 6}, {60, 8, 7, 5},
};

void MakeCave(Kinterface& engine)
{
    Kobject* cave = AddBoard(engine, "Cave", 2);
    cave->source = std::string(kCaveScript);
    Fill(*cave, 0, 0, kWidth, kHeight, kRock);
    for (const Area& hollow : kCaveHollows) Fill(*cave, hollow.x, hollow.y, hollow.w, hollow.h, kCaveFloor);
    for (const Area& pillar : kCavePillars) Fill(*cave, pillar.x, pillar.y, pillar.w, pillar.h, kRock);
    Text(*cave, 73, 27, "EXIT", 10, 16);

    AddHero(engine, *cave, 3, 30);
    AddObject(engine, *cave, "nest", 38, 12, CellLook{15, 6, 16, kFree}, kNestScript);
    for (const auto& [x, y] : {std::pair{19, 10}, std::pair{47, 30}, std::pair{63, 50}, std::pair{28, 51}}) {
        AddObject(engine, *cave, "crystal", x, y, CellLook{4, 11, 16, kFree}, kCrystalScript);
    }
    AddObject(engine, *cave, "crate", 8, 32, kCrate, kAmmoScript);
    AddObject(engine, *cave, "crate", 56, 48, kCrate, kAmmoScript);
    AddObject(engine, *cave, "exit", 77, 28, CellLook{240, 10, 2, kFree}, kExitScript);
}

constexpr CellLook kCryptFloor{250, 5, 16, kFree};
constexpr CellLook kCryptWall{219, 5, 8, kWall};

// The crypt: a boulder to push north onto the plate, a lever that puts it
// back, a guard marching in column 45, a ghost in the far corner, and the
// gate in the wall at x = 60 with the stair beyond.
void MakeCrypt(Kinterface& engine)
{
    Kobject* crypt = AddBoard(engine, "Crypt", 3);
    crypt->source = std::string(kCryptScript);
    Room(*crypt, kCryptFloor, kCryptWall);
    WallWithDoorway(*crypt, 60, 30, kCryptWall, kCryptFloor);  // closed by the gate object
    for (const auto& [x, y] : {std::pair{10, 10}, std::pair{50, 10}, std::pair{10, 50}, std::pair{50, 50}}) {
        crypt->SetCell(x, y, 15, 4, 16, kFree);  // runes, green once the gate opens
    }
    crypt->SetCell(30, 25, 9, 14, 16, kFree);  // the plate
    Text(*crypt, 25, 23, "PLATE", 14, 16);
    Text(*crypt, 66, 28, "STAIR", 10, 16);

    AddHero(engine, *crypt, 3, 30);
    AddObject(engine, *crypt, "boulder", 30, 35, CellLook{79, 7, 16, kFree}, kBoulderScript);
    AddObject(engine, *crypt, "lever", 24, 45, CellLook{47, 14, 16, kFree}, kLeverScript);
    AddObject(engine, *crypt, "gate", 60, 30, CellLook{178, 6, 8, kFree}, kGateScript);
    AddObject(engine, *crypt, "guard", 45, 10, CellLook{1, 11, 16, kFree}, kGuardScript);
    AddObject(engine, *crypt, "ghost", 75, 55, CellLook{234, 15, 0, kFree}, kGhostScript);
    AddObject(engine, *crypt, "stair", 70, 30, CellLook{240, 10, 2, kFree}, kCryptStairScript);
}

constexpr CellLook kArmoryFloor{250, 6, 16, kFree};

// The armory: the red key in a storeroom to walk into, the red door in
// the wall at x = 40, a turret watching the blue key, and the blue door
// at x = 65 before the lift.
void MakeArmory(Kinterface& engine)
{
    Kobject* armory = AddBoard(engine, "Armory", 4);
    armory->source = std::string(kArmoryScript);
    Room(*armory, kArmoryFloor, kStone);
    WallWithDoorway(*armory, 40, 30, kStone, kArmoryFloor);
    WallWithDoorway(*armory, 65, 30, kStone, kArmoryFloor);
    Text(*armory, 70, 28, "LIFT", 10, 16);

    AddHero(engine, *armory, 3, 30);
    Kobject* store = AddObject(engine, *armory, "storeroom", 10, 42, kArmoryFloor, kStoreroomScript);
    store->Create("storeroom", 14, 8);
    Fill(*store, 0, 0, 14, 8, CellLook{250, 6, 5, kFree});
    Text(*store, 2, 0, "STOREROOM", 14, 5);
    AddObject(engine, *store, "red key", 10, 4, CellLook{12, 12, 5, kFree}, KeyScript("red"));
    AddObject(engine, *armory, "red door", 40, 30, CellLook{8, 12, 4, kFree}, DoorScript("red"));
    AddObject(engine, *armory, "turret", 55, 15, CellLook{15, 4, 16, kFree}, kTurretScript);
    AddObject(engine, *armory, "blue key", 52, 45, CellLook{12, 9, 16, kFree}, KeyScript("blue"));
    AddObject(engine, *armory, "blue door", 65, 30, CellLook{8, 9, 1, kFree}, DoorScript("blue"));
    AddObject(engine, *armory, "crate", 30, 10, kCrate, kAmmoScript);
    AddObject(engine, *armory, "lift", 72, 30, CellLook{240, 10, 2, kFree}, kLiftScript);
}

// The last hall, 160 cells wide and scrolled by its own script, with a
// clock and the way out at the far east end.
void MakeGateHall(Kinterface& engine)
{
    Kobject* hall = AddBoard(engine, "Gate", 5);
    hall->Create("Gate", 2 * kWidth, kHeight);
    hall->vieww = kWidth;
    hall->source = std::string(kGateHallScript);
    Room(*hall, kFloor, kStone);
    for (int x = 20; x < 150; x += 16) {
        Fill(*hall, x, 10, 3, 14, kStone);  // pillars above and below the run
        Fill(*hall, x + 8, 36, 3, 14, kStone);
    }
    Text(*hall, 148, 28, "OUT", 10, 16);
    AddHero(engine, *hall, 3, 30);
    AddObject(engine, *hall, "clock", 1, 1, kClear, kClockScript);
    AddObject(engine, *hall, "way out", 152, 30, CellLook{240, 10, 2, kFree}, kWayOutScript);
}

// Darkness over the vault once its torches are out (the variable dark);
// lights open holes into it.
void MakeDark(Kinterface& engine) { AddBoard(engine, "Dark", 6); }

// A four-cell counter of variable at x on the overlay's top row.
void AddCounter(Kinterface& engine, Kobject& overlay, std::string_view variable, int x, int fg)
{
    const std::string name = std::string(variable) + " counter";
    const CellLook look{32, fg, 1, kFree};
    Kobject* counter = AddObject(engine, overlay, name, x, 0, look, CounterScript(variable, fg));
    counter->Create(name, 4, 1);
    Fill(*counter, 0, 0, 4, 1, look);
}

// Clear everywhere but the top row, which shows ammunition and health.
void MakeOverlay(Kinterface& engine)
{
    Kobject* overlay = AddBoard(engine, "Overlay", 7);
    Fill(*overlay, 0, 0, kWidth, kHeight, kClear);
    Fill(*overlay, 0, 0, kWidth, 1, CellLook{32, 14, 1, kFree});
    Text(*overlay, 1, 0, "Ammo:", 15, 1);
    Text(*overlay, 13, 0, "Health:", 15, 1);
    Text(*overlay, 42, 0, "Arrows walk, Space shoots, Esc: menu", 7, 1);
    // A dark band under the bottom messages, so they read on any board.
    Fill(*overlay, 0, kHeight - 3, kWidth, 3, CellLook{32, 15, 1, kFree});
    AddCounter(engine, *overlay, "ammo", 7, 14);
    AddCounter(engine, *overlay, "health", 21, 12);
    Text(*overlay, 27, 0, "Keys:", 15, 1);
    Kobject* ring = AddObject(engine, *overlay, "keyring", 33, 0, CellLook{32, 15, 1, kFree}, kKeyringScript);
    ring->Create("keyring", 4, 1);
    Fill(*ring, 0, 0, 4, 1, CellLook{32, 15, 1, kFree});
}

// An ending: a banner board with the outcome and what to do next.
void MakeEnding(Kinterface& engine, std::string_view name, int z, std::string_view headline, std::string_view story,
                int colour, std::string_view script)
{
    Kobject* board = AddBoard(engine, name, z);
    board->source = std::string(script);
    Fill(*board, 0, 0, kWidth, kHeight, CellLook{0, 1, 1, kFree});
    Fill(*board, 10, 20, 60, 16, CellLook{32, 15, colour, kFree});
    Fill(*board, 10, 20, 60, 1, kStone);
    Fill(*board, 10, 35, 60, 1, kStone);
    CentredText(*board, 24, headline, 15, colour);
    CentredText(*board, 27, story, 14, colour);
    CentredText(*board, 31, "Press Esc for the menu: R plays again, Q quits.", 15, colour);
}

// Templates: the bullet every shot copies, the bat the nest puts out, and
// the objects that answer the menu's save and load.
void MakeSpawn(Kinterface& engine)
{
    Kobject* spawn = AddBoard(engine, "Spawn", 8);
    Fill(*spawn, 0, 0, kWidth, kHeight, kClear);
    AddObject(engine, *spawn, "bullet", 1, 1, CellLook{7, 15, 16, kFree}, kBulletScript);
    AddObject(engine, *spawn, "bat", 3, 1, CellLook{94, 13, 16, kFree}, kBatScript);
    AddObject(engine, *spawn, "save", 5, 1, kClear, kSaveScript);
    AddObject(engine, *spawn, "fireball", 9, 1, CellLook{15, 12, 16, kFree}, kFireballScript);
    AddObject(engine, *spawn, "coward", 11, 1, CellLook{1, 8, 16, kFree}, kCowardScript);
    AddObject(engine, *spawn, "redicon", 13, 1, CellLook{12, 12, 1, kFree}, "' The red key on the key ring.\n");
    AddObject(engine, *spawn, "blueicon", 15, 1, CellLook{12, 9, 1, kFree}, "' The blue key on the key ring.\n");
    AddObject(engine, *spawn, "load", 7, 1, kClear, kLoadScript);
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int status = KStartGenerator(argc, argv, "make_vault_world")) return status;
    Kinterface engine(KParts{KFlavour::Editor});
    if (engine.vFont->glyphCount == 0) return 1;
    engine.vVideoMode = 1;
    engine.vWindowed = 1;
    MakeTitle(engine);
    MakeVault(engine);
    MakeCave(engine);
    MakeDark(engine);
    MakeOverlay(engine);
    MakeSpawn(engine);
    MakeCrypt(engine);
    MakeArmory(engine);
    MakeGateHall(engine);
    MakeEnding(engine, "Won", 9, "YOU ESCAPED THE VAULT", "You climb out into the daylight with its secrets.", 2,
               kWonScript);
    MakeEnding(engine, "Lost", 10, "YOU FELL IN THE VAULT", "The vault keeps its secrets, for now.", 4, kLostScript);
    if (!WriteVaultMedia("Worlds")) return 1;
    return SaveWorld(engine, "Worlds/vault.zqav") ? 0 : 1;
}
END_OF_MAIN()

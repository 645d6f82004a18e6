// The shipped game played end to end: its scripts compile cleanly, and its
// shipped replays, played headless, win at machine and at human speed,
// lose, save a game that a second run loads again, and check the faults a
// newcomer met: the trigger, the hunter, running out of bullets, the
// lantern, the endings, the sign, the title and the bottom messages.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <utility>

namespace {

// The game's own folder in a sandbox: the world, its sound files and its
// replays.
class VaultSandbox {
public:
    VaultSandbox()
    {
        const std::string worlds = std::string(QUAV_OUTPUT_DIR) + "/Worlds/";
        EXPECT_EQ(RunCommand("cp '" + worlds + "'vault[._]* '" + box_.File("Worlds") + "'"), 0);
    }
    const RunnerSandbox& Box() const { return box_; }

    // Plays a shipped replay for ticks with seed 0; its last frame lands in
    // end.bmp.
    void Play(const std::string& replay, int ticks, const std::string& more = "")
    {
        played_ = box_.Play("Worlds/vault.zqav", ticks,
                            "--seed 0 --input Worlds/vault." + replay + ".replay --screenshot end.bmp " + more);
    }
    const std::string& Vars() const { return played_.vars; }
    const std::string& Tree() const { return played_.tree; }
    int Number(const std::string& name) const { return VarInt(played_.vars, name); }
    std::string Text(const std::string& name) const { return VarText(played_.vars, name); }
    ShotScreen Shot() const { return ShotScreen(box_.File("end.bmp")); }

private:
    RunnerSandbox box_;
    Played played_;
};

constexpr int kColumns = 80;

// The shortest and the longest time a key stays down in a replay file.
std::pair<int, int> TapLengths(const std::string& replay)
{
    std::istringstream lines(replay);
    std::map<std::string, int> downAt;
    std::pair<int, int> lengths{1 << 30, 0};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        int tick = 0;
        std::string key;
        std::string state;
        if (!(fields >> tick >> key >> state)) continue;
        if (state == "down") downAt[key] = tick;
        if (state == "up" && downAt.count(key) != 0) {
            lengths.first = std::min(lengths.first, tick - downAt[key]);
            lengths.second = std::max(lengths.second, tick - downAt[key]);
        }
    }
    return lengths;
}

// Where a centred line of text starts.
int Centred(const std::string& text) { return (kColumns - static_cast<int>(text.size())) / 2; }

TEST(Vault, ItsScriptsCompileWithoutErrorsOrWarnings)
{
    VaultSandbox sandbox;
    std::string output;
    EXPECT_EQ(sandbox.Box().Run("--check Worlds/vault.zqav", &output), 0) << output;
    EXPECT_EQ(output.find("warning"), std::string::npos) << output;
}

struct EndingCase {
    const char* replay;
    int ticks;
    const char* ending;    // the variable the game ends with set to 1
    const char* name;      // given at the sign, or the default
    const char* headline;  // of the ending's banner
    int banner;            // the banner's background colour
};

constexpr EndingCase kEndings[] = {
    {"win", 4300, "won", "Ann", "YOU ESCAPED THE VAULT", 2},
    {"human", 8700, "won", "Ann", "YOU ESCAPED THE VAULT", 2},
    {"lose", 1500, "lost", "Stranger", "YOU FELL IN THE VAULT", 4},
};

// Won at machine speed and by a human (every key a tap of 6 ticks, five
// steps and three shots a second), and lost by standing in the hunter's
// row: each ends on a banner that lasts, fits the screen and says what to
// do next, and a win never says "Game Over".
TEST(Vault, ShippedReplaysWinAtMachineAndHumanSpeedAndLose)
{
    VaultSandbox sandbox;
    const auto [shortest, longest] = TapLengths(ReadFileBytes(sandbox.Box().File("Worlds/vault.human.replay")));
    EXPECT_GE(shortest, 5) << "the human replay has no frame-perfect tap";
    EXPECT_LE(longest, 8);
    for (const EndingCase& replay : kEndings) {
        SCOPED_TRACE(replay.replay);
        sandbox.Play(replay.replay, replay.ticks);
        for (const std::string ending : {"won", "lost"}) {
            EXPECT_EQ(sandbox.Number(ending) == 1, ending == replay.ending) << sandbox.Vars();
        }
        EXPECT_EQ(sandbox.Text("name"), std::string("\"") + replay.name + "\"");
        const std::string tree = sandbox.Tree();
        const bool won = std::string(replay.ending) == "won";
        if (won) {
            // Every lock of the way was opened, and the boulder rests on the plate.
            for (const char* gone : {"door", "hunter", "gate", "red door", "blue door", "red key", "blue key"}) {
                EXPECT_EQ(CountNodes(tree, gone), 0) << gone;
            }
            EXPECT_EQ(IntField(tree, "boulder", "posx"), 30);
            EXPECT_EQ(IntField(tree, "boulder", "posy"), 25);
            EXPECT_EQ(CountNodes(tree, "redicon") + CountNodes(tree, "blueicon"), 4) << "templates and the key ring";
            EXPECT_GT(sandbox.Number("health"), 0);
        }
        EXPECT_EQ(CountNodes(tree, "player"), 5) << "the hero of each playing board is never removed";

        ShotScreen shot = sandbox.Shot();
        ASSERT_TRUE(shot.Loaded());
        const std::string headline = replay.headline;
        EXPECT_EQ(shot.Row(Centred(headline), 24, static_cast<int>(headline.size()), 15, replay.banner), headline);
        const std::string next = "Press Esc for the menu: R plays again, Q quits.";
        EXPECT_EQ(shot.Row(Centred(next), 31, static_cast<int>(next.size()), 15, replay.banner), next);
        const std::string over = "!!! Game Over !!!";
        EXPECT_NE(shot.Strokes(Centred(over), shot.Rows() - 1, static_cast<int>(over.size()), 15), over);
    }
}

// Space held for a second, five taps of 6 ticks and five of one tick: one
// shot each, eleven of the twelve bullets.
TEST(Vault, OnePressOfSpaceIsOneShot)
{
    VaultSandbox sandbox;
    sandbox.Play("shots", 400);
    EXPECT_EQ(sandbox.Number("ammo"), 1) << sandbox.Vars();
}

// Standing in the hunter's row, ignoring its warnings: half a second
// before it fires it shows a yellow double bang, it fires once and rests,
// so after ten seconds the hero still stands (the lose replay then falls
// after four hits).
TEST(Vault, TheHunterGivesAHumanTime)
{
    VaultSandbox sandbox;
    sandbox.Play("lose", 390);
    const auto hunter = CellsOf(sandbox.Tree(), "hunter");
    ASSERT_FALSE(hunter.empty());
    EXPECT_EQ(hunter[0][0], 19) << "the warning";
    EXPECT_EQ(hunter[0][1], 14);
    EXPECT_EQ(sandbox.Number("health"), 100) << "a warning comes before the shot";

    sandbox.Play("lose", 600);
    EXPECT_GE(sandbox.Number("health"), 50) << sandbox.Vars();
    EXPECT_NE(sandbox.Number("lost"), 1);
}

// Every bullet spent into a wall: the crate in the shed fills the pouch,
// and again after two more shots, and it is still there; the bottom
// message sits on a dark band.
TEST(Vault, BulletsCanAlwaysBeFoundAgain)
{
    VaultSandbox sandbox;
    sandbox.Play("shed", 500);
    EXPECT_EQ(sandbox.Number("ammo"), 20) << sandbox.Vars();
    EXPECT_NE(sandbox.Tree().find("\"name\": \"player\", \"depth\": 2"), std::string::npos) << "in the shed";
    EXPECT_EQ(CountNodes(sandbox.Tree(), "crate"), 4) << "the shed's, the cave's two and the armory's";

    ShotScreen shot = sandbox.Shot();
    ASSERT_TRUE(shot.Loaded());
    const int bottom = shot.Rows() - 1;
    EXPECT_EQ(shot.Pixels(0, bottom - 2, -1, 3, 7), 0) << "no light grey under the messages";
    EXPECT_GT(shot.Pixels(0, bottom, -1, 1, 15), 0) << "a message is shown";
}

// In the dark cave, the right arrow held for 85 ticks: a step at once,
// the next nine ticks later, then one every fourth tick (20 in all), and
// the lantern lights the hero's surroundings while walking.
TEST(Vault, TheLanternLightsTheWalkAtWalkingSpeed)
{
    VaultSandbox sandbox;
    sandbox.Play("dark", 1640);
    EXPECT_EQ(sandbox.Number("dark"), 1);
    const int x = sandbox.Number("player_x");
    EXPECT_GE(x, 3 + 19);
    EXPECT_LE(x, 3 + 21);
    ShotScreen shot = sandbox.Shot();
    ASSERT_TRUE(shot.Loaded());
    EXPECT_GT(shot.Pixels(x - 4, 26, 9, 9, 7), 20) << "the cave floor around the hero is lit";

    // Inside the shed the hero's place counts from the shed's corner: the
    // floor just north of the shed is lit, the far corner of the hall not.
    sandbox.Play("darkshed", 1500);
    EXPECT_EQ(sandbox.Number("dark"), 1);
    EXPECT_NE(sandbox.Tree().find("\"name\": \"player\", \"depth\": 2"), std::string::npos) << "in the shed";
    ShotScreen shed = sandbox.Shot();
    ASSERT_TRUE(shed.Loaded());
    EXPECT_GT(shed.Pixels(2, 47, 10, 3, 8), 20);
    EXPECT_EQ(shed.Pixels(1, 2, 10, 6, 8), 0);
}

// A name typed as soon as the sign opens; touched again, the sign offers
// another name; a name left empty stays Stranger.
TEST(Vault, TheSignTakesANameAtOnceAndAnotherLater)
{
    VaultSandbox sandbox;
    sandbox.Play("sign", 90);
    EXPECT_EQ(sandbox.Text("name"), "\"Ann\"");
    sandbox.Play("sign", 150);
    EXPECT_EQ(sandbox.Text("name"), "\"Bo\"");
    sandbox.Play("sign", 400);
    EXPECT_EQ(sandbox.Text("name"), "\"Stranger\"");
}

// The title's Quit says how to quit and leaves the title working; the game
// menu opened on the title offers no Save or Load.
TEST(Vault, TheTitleOffersWhatWorks)
{
    VaultSandbox sandbox;
    sandbox.Play("quit", 65);
    EXPECT_EQ(sandbox.Number("nosave"), 1);
    ShotScreen menu = sandbox.Shot();
    ASSERT_TRUE(menu.Loaded());
    EXPECT_EQ(menu.Strokes(23, 25, 6, 255), "(Q)uit");
    EXPECT_NE(menu.Strokes(23, 27, 6, 255), "(S)ave");
    EXPECT_EQ(menu.Strokes(23, 31, 9, 255), "(R)estart");

    sandbox.Play("quit", 200);
    EXPECT_EQ(sandbox.Number("player_x"), 6) << "the vault was entered after Quit";
    EXPECT_EQ(sandbox.Number("nosave"), 0);

    // How to play, at its top and scrolled to its end: every line fits
    // the window, whose last column (71) a longer line would fill before
    // being cut off.
    const std::string down{"key_down"};
    for (const int scrolls : {0, 12}) {
        std::string replay = Presses(2, {down, down, down, down, down, "key_enter"});
        if (scrolls > 0) replay += Presses(40, std::vector<std::string>(static_cast<size_t>(scrolls), down));
        WriteFileBytes(sandbox.Box().File("Worlds/vault.how.replay"), replay);
        sandbox.Play("how", 90);
        ShotScreen how = sandbox.Shot();
        ASSERT_TRUE(how.Loaded());
        EXPECT_GT(how.Pixels(8, 17, 63, 25, 14), 2000) << scrolls << ": the window's text";
        EXPECT_EQ(how.Pixels(71, 17, 1, 25, 14), 0) << scrolls;
    }
}

// No puzzle leaves the game unwinnable: a boulder pushed astray in the
// crypt is rolled back by the lever, and a hero too slow in the last hall
// is carried back to its start with the clock wound again, and wins.
TEST(Vault, NoPuzzleIsADeadEnd)
{
    VaultSandbox sandbox;
    sandbox.Play("crypt", 1798);
    EXPECT_EQ(IntField(sandbox.Tree(), "boulder", "posx"), 32) << "pushed east, the wrong way";
    sandbox.Play("crypt", 2100);
    EXPECT_EQ(IntField(sandbox.Tree(), "boulder", "posx"), 30);
    EXPECT_EQ(IntField(sandbox.Tree(), "boulder", "posy"), 35);

    sandbox.Play("late", 7000);
    EXPECT_EQ(sandbox.Number("late"), 1);
    EXPECT_EQ(sandbox.Number("won"), 1);
}

// The crates of bullets do not look like the crystals.
TEST(Vault, CratesAndCrystalsLookApart)
{
    VaultSandbox sandbox;
    sandbox.Play("quit", 1);
    const auto crate = CellsOf(sandbox.Tree(), "crate");
    const auto crystal = CellsOf(sandbox.Tree(), "crystal");
    ASSERT_FALSE(crate.empty());
    ASSERT_FALSE(crystal.empty());
    EXPECT_NE(crate[0][0], crystal[0][0]);
}

// The won game with its sound: the theme streams from the sound file beside
// the world, and the jingles of the title, the three keys and the ending
// play on the sequencer's melody channel.
TEST(Vault, TheWonGameIsHeard)
{
    VaultSandbox sandbox;
    sandbox.Play("win", 4300, "--audio sound.wav --midi-log midi.txt");
    std::istringstream midi(ReadFileBytes(sandbox.Box().File("midi.txt")));
    std::string keys;
    for (std::string line; std::getline(midi, line);) {
        std::istringstream fields(line);
        int tick = 0;
        int status = 0;
        int key = 0;
        if (fields >> tick >> status >> key && status == 0x9e) keys += std::to_string(key) + ' ';
    }
    // The title's jingle, the arpeggios of the vault's key, the red key and
    // the blue key, then the fanfare of the ending.
    EXPECT_EQ(keys, "52 47 48 52 55 60 48 52 55 60 48 52 55 60 48 52 55 60 48 52 55 48 52 55 60 ");
    const std::string sound = ReadFileBytes(sandbox.Box().File("sound.wav"));
    ASSERT_GT(sound.size(), 44u);
    size_t loud = 0;
    for (size_t i = 44; i + 1 < sound.size(); i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(sound[i]) | (static_cast<uint8_t>(sound[i + 1]) << 8));
        loud += sample > 2000 || sample < -2000 ? 1 : 0;
    }
    EXPECT_GT(loud, sound.size() / 100) << "the theme and the effects are audible";
}

// Saved in slot 1 and quit; a new run enters the vault, loads slot 1 and
// plays on from where the game was saved.
TEST(Vault, AGameSavedAndQuitIsLoadedByTheNextRun)
{
    VaultSandbox sandbox;
    sandbox.Play("save", 900);
    EXPECT_EQ(sandbox.Number("keys"), 1);
    ASSERT_TRUE(FileExists(sandbox.Box().File("Worlds/vault.1.qsg")));
    EXPECT_EQ(sandbox.Text("loaded"), "missing");

    sandbox.Play("load", 200);
    EXPECT_EQ(sandbox.Number("loaded"), 1) << "the load object ran";
    EXPECT_EQ(sandbox.Number("keys"), 1);
    EXPECT_EQ(sandbox.Text("name"), "\"Ann\"");
    EXPECT_EQ(sandbox.Number("ammo"), 11);
    EXPECT_EQ(sandbox.Number("player_x"), 43) << "stepped west of the key's cell";
    EXPECT_EQ(sandbox.Tree().find("\"name\": \"key\""), std::string::npos) << "the key stays taken";
}

}  // namespace

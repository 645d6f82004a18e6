// The shipped game played end to end: its scripts compile cleanly, and its
// shipped replays, played headless, win, lose, enter the shed, and save a
// game that a second run loads again.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

#include <sstream>

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

private:
    RunnerSandbox box_;
    Played played_;
};

TEST(Vault, ItsScriptsCompileWithoutErrorsOrWarnings)
{
    VaultSandbox sandbox;
    std::string output;
    EXPECT_EQ(sandbox.Box().Run("--check Worlds/vault.zqav", &output), 0) << output;
    EXPECT_EQ(output.find("warning"), std::string::npos) << output;
}

struct ReplayCase {
    const char* replay;
    int ticks;
    const char* ending;  // the variable the game ends with set to 1, or ""
    const char* name;    // given at the sign, or the default
    bool inCave;         // ends in the dark cave, so the vault's rubble is not shown
    int playerDepth;     // of the vault's hero: 1 on the board, 2 inside the shed
};

constexpr ReplayCase kReplays[] = {
    {"win", 1800, "won", "Ann", true, 1},
    {"lose", 900, "lost", "Stranger", false, 1},
    {"shed", 900, "", "Stranger", false, 2},
};

TEST(Vault, ShippedReplaysWinLoseAndEnterTheShed)
{
    VaultSandbox sandbox;
    for (const ReplayCase& replay : kReplays) {
        SCOPED_TRACE(replay.replay);
        sandbox.Play(replay.replay, replay.ticks);
        for (const std::string ending : {"won", "lost"}) {
            EXPECT_EQ(sandbox.Number(ending) == 1, ending == replay.ending) << sandbox.Vars();
        }
        EXPECT_EQ(sandbox.Text("name"), std::string("\"") + replay.name + "\"");
        const std::string tree = sandbox.Tree();
        EXPECT_EQ(tree.find("\"name\": \"door\"") == std::string::npos, replay.inCave);
        EXPECT_NE(tree.find("\"name\": \"player\", \"depth\": " + std::to_string(replay.playerDepth)), std::string::npos)
            << "the hero is never removed";

        // The rubble cell west of the key (44, 6) on the vault; in the cave
        // the same cell is rock far from any light, so it is dark.
        const ShotScreen shot(sandbox.Box().File("end.bmp"));
        ASSERT_TRUE(shot.Loaded());
        EXPECT_EQ(shot.Pixels(44, 6, 1, 1, 255), replay.inCave ? 64 : 0);
        EXPECT_EQ(shot.Pixels(44, 6, 1, 1, 6) > 0, !replay.inCave);
    }
}

// The won game with its sound: the theme streams from the sound file beside
// the world, and the jingles of the key and the exit play on the sequencer's
// melody channel.
TEST(Vault, TheWonGameIsHeard)
{
    VaultSandbox sandbox;
    sandbox.Play("win", 1800, "--audio sound.wav --midi-log midi.txt");
    // Keys of the melody channel's notes, in order: the title's jingle, the
    // key's arpeggio, and the exit's fanfare, which plays on while the last
    // words are shown in the scroll window.
    std::istringstream midi(ReadFileBytes(sandbox.Box().File("midi.txt")));
    std::string keys;
    for (std::string line; std::getline(midi, line);) {
        std::istringstream fields(line);
        int tick = 0;
        int status = 0;
        int key = 0;
        if (fields >> tick >> status >> key && status == 0x9e) keys += std::to_string(key) + ' ';
    }
    EXPECT_EQ(keys, "52 47 48 52 55 60 48 52 55 60 48 52 55 48 52 55 60 ");
    const std::string sound = ReadFileBytes(sandbox.Box().File("sound.wav"));
    ASSERT_GT(sound.size(), 44u);
    size_t loud = 0;
    for (size_t i = 44; i + 1 < sound.size(); i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(sound[i]) | (static_cast<uint8_t>(sound[i + 1]) << 8));
        loud += sample > 2000 || sample < -2000 ? 1 : 0;
    }
    EXPECT_GT(loud, sound.size() / 100) << "the theme and the effects are audible";
}

// Saved in slot 1 and quit; a new run loads slot 1 from the title and
// plays on from where the game was saved.
TEST(Vault, AGameSavedAndQuitIsLoadedByTheNextRun)
{
    VaultSandbox sandbox;
    sandbox.Play("save", 900);
    EXPECT_EQ(sandbox.Number("keys"), 1);
    ASSERT_TRUE(FileExists(sandbox.Box().File("Worlds/vault.1.qsg")));
    EXPECT_EQ(sandbox.Text("loaded"), "missing");

    sandbox.Play("load", 150);
    EXPECT_EQ(sandbox.Number("loaded"), 1) << "the load object ran";
    EXPECT_EQ(sandbox.Number("keys"), 1);
    EXPECT_EQ(sandbox.Text("name"), "\"Ann\"");
    EXPECT_EQ(sandbox.Number("ammo"), 11);
    EXPECT_EQ(sandbox.Number("player_x"), 43) << "stepped west of the key's cell";
    EXPECT_EQ(sandbox.Tree().find("\"name\": \"key\""), std::string::npos) << "the key stays taken";
}

}  // namespace

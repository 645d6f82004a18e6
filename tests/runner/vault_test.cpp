// The shipped game played end to end: its scripts compile cleanly, and its
// shipped replays, played headless, win and lose it as they say.

#include "KBitmap.h"
#include "RunnerSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

// The game's own folder in a sandbox: the world and its replays.
class VaultSandbox {
public:
    VaultSandbox()
    {
        const std::string worlds = std::string(QUAV_OUTPUT_DIR) + "/Worlds/";
        for (const char* name : {"vault.zqav", "vault.win.replay", "vault.lose.replay", "vault.shed.replay"}) {
            EXPECT_EQ(RunCommand("cp '" + worlds + name + "' '" + box_.File("Worlds") + "'"), 0) << name;
        }
    }
    const RunnerSandbox& Box() const { return box_; }

private:
    RunnerSandbox box_;
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
    bool won;
    bool lost;
    bool doorOpened;
    const char* name;  // typed into the title menu's name field, or its default
    int playerDepth;   // 1 on the board, 2 inside the shed
};

constexpr ReplayCase kReplays[] = {
    {"vault.win.replay", true, false, true, "Stranger", 1},
    {"vault.lose.replay", false, true, false, "Ann", 1},
    {"vault.shed.replay", false, false, false, "Stranger", 2},
};

TEST(Vault, ShippedReplaysWinLoseAndEnterTheShed)
{
    VaultSandbox sandbox;
    const RunnerSandbox& box = sandbox.Box();
    for (const ReplayCase& replay : kReplays) {
        SCOPED_TRACE(replay.replay);
        std::string output;
        ASSERT_EQ(box.Run(std::string("--headless --ticks 900 --seed 0 --input Worlds/") + replay.replay +
                              " --dump-vars vars.json --dump-tree tree.json --screenshot end.bmp Worlds/vault.zqav",
                          &output),
                  0)
            << output;
        const std::string vars = ReadFileBytes(box.File("vars.json"));
        EXPECT_EQ(vars.find("\"won\": \"1\"") != std::string::npos, replay.won) << vars;
        EXPECT_EQ(vars.find("\"lost\": \"1\"") != std::string::npos, replay.lost) << vars;
        EXPECT_NE(vars.find(std::string("\"name\": \"") + replay.name + "\""), std::string::npos) << vars;
        const std::string tree = ReadFileBytes(box.File("tree.json"));
        EXPECT_EQ(tree.find("\"name\": \"door\"") == std::string::npos, replay.doorOpened);
        EXPECT_NE(tree.find("\"name\": \"player\", \"depth\": " + std::to_string(replay.playerDepth)), std::string::npos)
            << "the hero is never removed";

        // The rubble cell west of the key (44, 6): rubble while the torches
        // burn; once the door is open the vault is dark but for the
        // lantern, which is far from here.
        PALETTE palette;
        KBitmap shot(load_bmp(box.File("end.bmp").c_str(), palette));
        ASSERT_TRUE(shot);
        int rubble = 0;
        int dark = 0;
        for (int y = 6 * 8; y < 7 * 8; ++y) {
            for (int x = 44 * 8; x < 45 * 8; ++x) {
                rubble += shot->line[y][x] == 6 ? 1 : 0;
                dark += shot->line[y][x] == 255 ? 1 : 0;
            }
        }
        EXPECT_EQ(dark, replay.doorOpened ? 64 : 0);
        EXPECT_EQ(rubble > 0, !replay.doorOpened);
    }
}

}  // namespace

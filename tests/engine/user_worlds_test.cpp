// The per-user home for games: where it is, and what a world's copy takes
// from a shared folder that strangers may have filled.

#include "KUserWorlds.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

// Sets an environment variable for the scope, restoring it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        const char* old = std::getenv(name);
        if (old != nullptr) old_ = old;
        hadOld_ = old != nullptr;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (hadOld_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(UserWorlds, LiveUnderAnAbsoluteXdgDataHomeElseUnderHome)
{
    const ScopedEnv home("HOME", "/home/ann");
    {
        const ScopedEnv data("XDG_DATA_HOME", "/data/ann");
        EXPECT_EQ(KUserWorldsFolder(), "/data/ann/quav/Worlds");
    }
    {
        const ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(KUserWorldsFolder(), "/home/ann/.local/share/quav/Worlds") << "a relative XDG_DATA_HOME is ignored";
    }
    const ScopedEnv data("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(KUserWorldsFolder(), "/home/ann/.local/share/quav/Worlds");
}

// The copy takes the world and the files named after it, never saved games,
// folders or links (which could reach anywhere), never writes through a link
// planted where a copy goes, and leaves the files already there as they are.
TEST(UserWorlds, ACopyTakesTheWorldAndItsOwnFilesOnly)
{
    TempDir shared;
    TempDir outside;
    TempDir games;
    for (const char* name : {"castle.zqav", "castle_theme.mid", "castle.win.replay", "castle-hit.wav", "castle.2.qsg",
                             "castles.wav", "other.wav"}) {
        WriteFileBytes(shared.File(name), name);
    }
    WriteFileBytes(outside.File("secret"), "secret");
    ASSERT_EQ(symlink(outside.File("secret").c_str(), shared.File("castle_secret.wav").c_str()), 0);
    ASSERT_EQ(RunCommand("mkdir '" + shared.File("castle.d") + "'"), 0);
    WriteFileBytes(games.File("castle_theme.mid"), "mine");
    ASSERT_EQ(symlink(outside.File("planted").c_str(), games.File("castle.win.replay").c_str()), 0);

    std::string error;
    EXPECT_TRUE(KCopyWorldInto(shared.File("castle.zqav"), games.Path(), error)) << error;
    std::vector<std::string> names = FilesIn(games.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"castle-hit.wav", "castle.win.replay", "castle.zqav", "castle_theme.mid"}));
    EXPECT_EQ(ReadFileBytes(games.File("castle.zqav")), "castle.zqav");
    EXPECT_EQ(ReadFileBytes(games.File("castle-hit.wav")), "castle-hit.wav");
    EXPECT_EQ(ReadFileBytes(games.File("castle_theme.mid")), "mine") << "a file already there is kept";
    EXPECT_FALSE(FileExists(outside.File("planted"))) << "nothing is written through a planted link";

    EXPECT_FALSE(KCopyWorldInto(shared.File("missing.zqav"), games.Path(), error));
    EXPECT_NE(error.find("missing.zqav"), std::string::npos) << error;
}

}  // namespace

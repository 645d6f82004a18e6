// Worlds with scripts, played by the real quav-runner headless: key labels
// fired by replayed keys, messages on screen, variables at exit.

#include "KZip.h"
#include "RunnerSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Pixels of colour 15 (message text) in the bottom text line of a shot.
int TextPixelsOnBottomLine(const std::string& bmp)
{
    const ShotScreen shot(bmp);
    return shot.Pixels(0, shot.Rows() - 1, -1, 1, 15);
}

TEST(ScriptedPlay, KeyLabelsFireFromReplayedKeysModifiersIncludedHeldKeysWhileIdle)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("keys.zqav"),
                   {{"hero",
                     ":key_lshift\n#give lshift 1\n#end\n:key_sleft\n#give sleft 1\n#end\n"
                     ":key_ctrl\n#give ctrl 1\n#end\n:key_left\n#give left 1\n#end\n:KEY_SPACE\n#give space 1\n#end"},
                    {"holder", ":key_a\n#give a 1\n#end", 2}});
    WriteFileBytes(sandbox.File("keys.txt"), "1 key_a down\n11 key_a up\n2 key_lshift down\n4 key_lshift up\n"
                                             "10 key_lshift down\n11 key_left down\n13 key_left up\n"
                                             "14 key_lshift up\n20 key_rctrl down\n22 key_rctrl up\n"
                                             "30 key_space down\n31 key_space up\n");
    const std::string vars = sandbox.Play("keys.zqav", 40, "--input keys.txt").vars;
    EXPECT_NE(VarText(vars, "lshift"), "missing") << vars;
    EXPECT_NE(VarText(vars, "sleft"), "missing") << "shift + left arrow fires the shifted label";
    EXPECT_EQ(VarText(vars, "left"), "missing") << "the plain arrow stays up while shift is held";
    EXPECT_NE(VarText(vars, "ctrl"), "missing") << "right control counts as either control";
    EXPECT_EQ(VarText(vars, "space"), "1") << "label names are matched in any case";
    // The holder gives once as it starts. Key a is down from tick 1 to 10:
    // the press fires at once, and while held it fires again whenever the
    // program has ended, so the gift comes every tick from 2 to 11.
    EXPECT_EQ(VarText(vars, "a"), "11");
}

TEST(ScriptedPlay, MessagesShowExpireAndGameOverStays)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("talk.zqav"), {{"talker", "Hello there"}});
    WriteTestWorld(sandbox.File("over.zqav"), {{"loser", "#endgame\n#end\n:key_a\n#give a 1"}});
    std::string output;
    sandbox.Play("talk.zqav", 5, "--screenshot early.bmp");
    sandbox.Play("talk.zqav", 200, "--screenshot late.bmp");
    EXPECT_GT(TextPixelsOnBottomLine(sandbox.File("early.bmp")), 20);
    EXPECT_EQ(TextPixelsOnBottomLine(sandbox.File("late.bmp")), 0) << "gone after 170 ticks";

    WriteFileBytes(sandbox.File("a.txt"), "10 key_a down\n12 key_a up\n");
    ASSERT_EQ(sandbox.Run("--headless --ticks 400 --input a.txt --screenshot over.bmp --dump-vars vars.json over.zqav",
                          &output),
              0)
        << output;
    EXPECT_GT(TextPixelsOnBottomLine(sandbox.File("over.bmp")), 20) << "the game-over line never expires";
    EXPECT_EQ(VarText(ReadFileBytes(sandbox.File("vars.json")), "a"), "missing") << "input is off after #endgame";
}

TEST(ScriptedPlay, VariablesSurviveInAnArchiveBesideTheWorld)
{
    RunnerSandbox sandbox;
    ASSERT_EQ(RunCommand("mkdir -p '" + sandbox.File("games") + "'"), 0);
    WriteTestWorld(sandbox.File("games/first.zqav"),
                   {{"saver", "#set score 41\n#give score 1\n#set who Ann\n#save progress.qvs score who missing\n"
                              "#save ../escape.qvs score\n#save /tmp/quav-escape.qvs score\n#end"}});
    WriteTestWorld(sandbox.File("games/second.zqav"), {{"loader", "#load progress.qvs\n#give score 1\n#end"}});
    std::string vars;
    ASSERT_EQ(sandbox.Run("--headless --ticks 3 games/first.zqav 2>&1", &vars), 0) << vars;
    EXPECT_EQ(ZipEntry(sandbox.File("games/progress.qvs"), "vars.dat"), "score\n42\nwho\nAnn\n~varsend\n")
        << "variables that do not exist are not saved";
    std::vector<std::string> files = FilesIn(sandbox.File("games"));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"first.zqav", "progress.qvs", "second.zqav"})) << "nothing else is left";
    EXPECT_FALSE(FileExists(sandbox.File("escape.qvs"))) << "no file outside the world's folder";
    EXPECT_FALSE(FileExists("/tmp/quav-escape.qvs"));
    ASSERT_EQ(sandbox.Run("--headless --ticks 3 --dump-vars - games/second.zqav 2>/dev/null", &vars), 0) << vars;
    EXPECT_EQ(VarText(vars, "score"), "43");
    EXPECT_EQ(VarText(vars, "who"), "\"Ann\"");
}

TEST(ScriptedPlay, SaveReplacesOnlyVariableArchivesInsideTheWorldsRealFolder)
{
    RunnerSandbox sandbox;
    const std::string games = sandbox.File("games");
    ASSERT_EQ(RunCommand("mkdir -p '" + games + "' '" + sandbox.File("outside") + "' && ln -s ../outside '" + games +
                         "/link' && mkfifo '" + games + "/pipe.qvs'"),
              0);
    WriteTestWorld(games + "/w.zqav", {{"saver", "#set v 7\n#save w.zqav v\n#save sibling.zqav v\n#save notes.txt v\n"
                                                 "#save \"link/x.qvs\" v\n#save old.qvs v\n#save fresh.qvs v\n"
                                                 "#load pipe.qvs\n#end"}});
    WriteTestWorld(games + "/sibling.zqav", std::vector<TestPiece>{});
    WriteFileBytes(games + "/notes.txt", "my notes");
    {
        KZipWriter zip;
        ASSERT_TRUE(zip.Open(games + "/old.qvs") && zip.Add("vars.dat", "v\n1\n~varsend\n") && zip.Commit());
    }
    const std::vector<std::string> kept = {"w.zqav", "sibling.zqav", "notes.txt"};
    std::vector<std::string> before;
    for (const std::string& name : kept) before.push_back(ReadFileBytes(games + "/" + name));

    std::string output;
    // A pipe read as a file would wait for a writer for ever. A name with a
    // "/" is quoted, or the "/" would start a move.
    const std::string play = "cd '" + sandbox.Dir() + "' && timeout 20 ./quav-runner --headless --ticks 2 games/w.zqav 2>&1";
    ASSERT_EQ(RunCommand(play, &output), 0) << output;
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(ReadFileBytes(games + "/" + kept[i]), before[i]) << kept[i];
    EXPECT_FALSE(FileExists(sandbox.File("outside/x.qvs"))) << "no writing through a link out of the folder";
    EXPECT_TRUE(FileExists(games + "/fresh.qvs"));
    EXPECT_EQ(ZipEntry(games + "/old.qvs", "vars.dat"), "v\n7\n~varsend\n") << "an earlier archive of variables is replaced";
    EXPECT_EQ(RunCommand(play, &output), 0) << "the world still loads: " << output;
}

TEST(ScriptedPlay, SeededRandomNumbersRepeat)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("dice.zqav"), {{"dice", "#rand a 1000\n#rand b 1000\n#rand one 1\n#end"}});
    std::string first;
    std::string second;
    std::string other;
    ASSERT_EQ(sandbox.Run("--headless --ticks 2 --seed 7 --dump-vars - dice.zqav 2>/dev/null", &first), 0);
    ASSERT_EQ(sandbox.Run("--headless --ticks 2 --seed 7 --dump-vars - dice.zqav 2>/dev/null", &second), 0);
    ASSERT_EQ(sandbox.Run("--headless --ticks 2 --seed 8 --dump-vars - dice.zqav 2>/dev/null", &other), 0);
    EXPECT_EQ(first, second);
    EXPECT_NE(VarText(first, "a") + VarText(first, "b"), VarText(other, "a") + VarText(other, "b"));
    EXPECT_EQ(VarText(first, "one"), "0");
}

TEST(ScriptedPlay, DumpTreeShowsWhereObjectsAreAndWhatTheyDo)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("tree.zqav"), {{"locker", "#lock\n#end", 1, 1}, {"q\"t", "#end\n#die", 5, 7}});
    std::string json;
    ASSERT_EQ(sandbox.Run("--headless --ticks 60 --dump-tree - --dump-tree-cells tree.zqav 2>/dev/null", &json), 0)
        << json;
    std::string seen;
    ASSERT_EQ(RunCommand("printf '%s' '" + json + "' | python3 -c \"import json,sys; d=json.load(sys.stdin); "
                         "print([(n['name'], n['depth'], n['parent'] == d[0]['id'], n['posx'], n['posy'], n['locked'], "
                         "n['running']) for n in d]); print(d[1]['cells'], len(d[0]['cells']))\"",
                         &seen),
              0)
        << json;
    EXPECT_EQ(seen, "[('Main', 0, False, 0, 0, 0, 0), ('locker', 1, True, 1, 1, 1, 0), "
                    "('q\"t', 1, True, 5, 7, 0, 0)]\n[[[2, 14, 1, 0]]] 60\n")
        << json;
    std::string output;
    EXPECT_EQ(sandbox.Run("--headless --ticks 1 --dump-tree /dev/full tree.zqav", &output), 1);
    EXPECT_NE(output.find("cannot write the world tree to '/dev/full'"), std::string::npos) << output;
    EXPECT_EQ(sandbox.Run("--headless --dump-tree-cells tree.zqav", &output), 2);
}

}  // namespace

namespace {

// --check lists errors with node and line; --dump-program writes the
// compiled bytes of every node, or of the one --node names.
TEST(ScriptTools, CheckAndDumpProgram)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("good.zqav"), {{"door", ":touch\n.parent @hit\n#end", 1, 1, 1, 1, 14, {{"knob", ":key_space\n/n"}}},
                                               {"other", "#end"},
                                               {"lamp", ""}});
    WriteTestWorld(sandbox.File("bad.zqav"), {{"door", ":touch\n#end\n#foo\n#collide sideways"}, {"lamp", "#cycle"}});
    WriteFileBytes(sandbox.File("junk.zqav"), "not a zip archive");
    std::string output;
    EXPECT_EQ(sandbox.Run("--check good.zqav", &output), 0) << output;
    EXPECT_EQ(output, "");
    EXPECT_EQ(sandbox.Run("--check bad.zqav", &output), 1);
    EXPECT_EQ(output, "door:3: Bad command: #foo\n"
                      "door:4: Bad #collide command param: sideways\n"
                      "lamp:1: Bad #cycle command param type: EOP\n")
        << output;
    for (const char* refused : {"--check missing.zqav", "--check junk.zqav", "--dump-program junk.zqav"}) {
        EXPECT_EQ(sandbox.Run(std::string(refused) + " 2>/dev/null", &output), 1) << refused;
    }
    EXPECT_EQ(sandbox.Run("--check", &output), 2);
    EXPECT_EQ(sandbox.Run("--node door good.zqav 2>/dev/null", &output), 2);
    EXPECT_EQ(sandbox.Run("--dump-program good.zqav --node nobody", &output), 1);
    EXPECT_NE(output.find("[]\n"), std::string::npos) << output;
    EXPECT_NE(output.find("No node named nobody\n"), std::string::npos) << output;

    std::string json;
    ASSERT_EQ(sandbox.Run("--dump-program good.zqav --node door 2>/dev/null", &json), 0) << json;
    std::string checked;
    ASSERT_EQ(RunCommand("printf '%s' '" + json + "' | python3 -c \"import json,sys; d=json.load(sys.stdin); "
                         "n=d[0]; print(len(d), n['node'], n['current_line'], [[c['code'] for c in l] for l in n['lines']], "
                         "n['lines'][1][0]['target'], n['markers'][0]['name'])\"",
                         &checked),
              0)
        << json;
    EXPECT_EQ(checked, "1 door 0 [['\\x19:touch'], ['0hit '], ['5']] .parent touch\n");

    // Every program, depth first; compile errors go to standard error.
    ASSERT_EQ(sandbox.Run("--dump-program good.zqav 2>/dev/null", &json), 0) << json;
    checked.clear();
    ASSERT_EQ(RunCommand("printf '%s' '" + json + "' | python3 -c \"import json,sys; d=json.load(sys.stdin); "
                         "print([(n['node'], n['current_line'], len(n['lines']), [(m['name'], m['line'], m['command'], "
                         "m['active']) for m in n['markers']], [(k['input'], k['marker']) for k in n['keymarkers']]) "
                         "for n in d], len(set(n['id'] for n in d)))\"",
                         &checked),
              0)
        << json;
    EXPECT_EQ(checked, "[('Main', -1, 0, [], []), ('door', 0, 3, [('touch', 0, 0, 1)], []), "
                       "('knob', 0, 2, [('key_space', 0, 0, 1)], [(75, 0)]), ('other', 0, 1, [], []), "
                       "('lamp', -1, 0, [], [])] 5\n");
    output.clear();
    EXPECT_EQ(RunCommand("cd '" + sandbox.Dir() + "' && ./quav-runner --dump-program bad.zqav 2>&1 >/dev/null", &output), 0);
    EXPECT_EQ(output, "door:3: Bad command: #foo\n"
                      "door:4: Bad #collide command param: sideways\n"
                      "lamp:1: Bad #cycle command param type: EOP\n");
}

}  // namespace

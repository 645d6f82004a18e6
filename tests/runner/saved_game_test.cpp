// Saved games and the in-game menu: the reader and writer in process (every
// field of the run state, hostile files refused with the game untouched),
// and the menu played by the real quav-runner headless from input replays.

#include "KRunnerParts.h"
#include "KRunnerShell.h"
#include "KSavedGame.h"
#include "KTreeDump.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "RunnerSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kAnyArchive = size_t{64} << 20;

// Copies archive from to, with the entry named entry holding content.
void RewriteEntry(const std::string& from, const std::string& to, const std::string& entry, const std::string& content)
{
    KZipReader zip;
    std::string error;
    ASSERT_TRUE(zip.OpenFile(from, kAnyArchive, error)) << error;
    KZipWriter out;
    ASSERT_TRUE(out.Open(to));
    for (const std::string& name : zip.Names()) {
        std::string text;
        ASSERT_EQ(zip.Read(name, text, kAnyArchive), KZipReader::Entry::Ok);
        ASSERT_TRUE(out.Add(name, KSameEntryName(name, entry) ? content : text));
    }
    ASSERT_TRUE(out.Commit());
}

void PreOrder(Kobject& node, std::vector<Kobject*>& out)
{
    out.push_back(&node);
    for (const auto& child : node.children) PreOrder(*child, out);
}

std::vector<Kobject*> Nodes(Kinterface& engine)
{
    std::vector<Kobject*> nodes;
    for (const auto& board : engine.vMain->children) PreOrder(*board, nodes);
    return nodes;
}

// What the tree dump leaves out: current commands, enterable flags, markers.
std::string RunExtras(Kinterface& engine)
{
    std::string out;
    for (Kobject* node : Nodes(engine)) {
        out += node->name + " " + std::to_string(node->enterable);
        if (node->currentLine >= 0) out += " c" + std::to_string(node->currentCommand);
        for (const KMarker& marker : node->markers) out += " m" + std::to_string(marker.active);
        out += "\n";
    }
    return out;
}

Kobject* Named(Kinterface& engine, const std::string& name)
{
    for (Kobject* node : Nodes(engine)) {
        if (node->name == name) return node;
    }
    return nullptr;
}

class SavedGame : public testing::Test {
protected:
    void SetUp() override
    {
        engine->vWorldPath = dir.File("castle.zqav");
        Kobject* main = engine.AddBoard("Main", 20, 10, 0);
        engine.AddObject(*main, "idle", 1, 1);
        Kobject* spawn = engine.AddBoard("Spawn", 4, 4, 1);
        engine.AddObject(*spawn, "save", 1, 1)->source = "#give saves 1\n#end";
        engine.AddObject(*spawn, "load", 1, 1)->source = "#give loads 1\n#end";
        Kobject* cellar = engine.AddBoard("Cellar", 20, 10, 2);
        Kobject* player = engine.AddObject(*cellar, "player", 1, 1, 0, 3, 4);
        player->source = ":touch\n#give hits 1\n/n/e/s\n#end\n:shot\n#end";
        engine.AddObject(*player, "walker", 1, 1)->source = "#end\n:go\n#end";
        engine->CompileAll();
        engine->FindSpecialBoards();
        engine->SwitchBoard(std::string_view("Cellar"));
    }

    // Every field of the run state away from its start value.
    void SetRunState()
    {
        Kobject* player = Named(*engine, "player");
        // The line of three moves, on its second command.
        while (movesLine < player->lines.size() && player->lines[movesLine].commands.size() < 2) ++movesLine;
        ASSERT_LT(movesLine, player->lines.size());
        player->currentLine = static_cast<int32_t>(movesLine);
        player->currentCommand = 1;
        player->locked = 1;
        player->wait = 5;
        player->cycle = 3;
        player->collideMode = 2;
        player->enterable = 1;
        player->walkDir = 2;
        player->ownerid = 77;
        ASSERT_GE(player->markers.size(), 2U);
        player->markers.Edit()[1].active = 0;
        Kobject* walker = Named(*engine, "walker");
        walker->running = 0;
        walker->dead = 1;
        walker->walkDir = 3;
        walker->id = 900;  // ids need not be dense
        engine->SetVarString("text", "two\nlines \\n and\r~endvars");
        engine->SetVarString("~eek", "~e");
        engine->SetVar("n", 42);
        engine->vPlay.inputEnabled = 0;
    }

    std::string Slot() const { return dir.File("castle.3.qsg"); }

    TempDir dir;
    TestEngine engine{KRunnerParts()};
    size_t movesLine = 0;
};

TEST_F(SavedGame, RoundTripRestoresRunStateVariablesBoardsAndIds)
{
    SetRunState();
    const std::string tree = KTreeJson(*Named(*engine, "Cellar"), false);
    const std::string extras = RunExtras(*engine);
    ASSERT_TRUE(SaveGame(*engine, KSlotBase(engine->vWorldPath), 3));
    EXPECT_EQ(engine->GetVar("saves"), 1) << "the save object runs after the save";
    EXPECT_NE(ZipEntry(Slot(), "castle.3.qav"), "missing");
    const std::string state = ZipEntry(Slot(), "STATE.TREE");
    EXPECT_EQ(state.substr(0, 3), "-1 ") << "a board without a program: " << state;
    const std::string playerLine = "\n" + std::to_string(movesLine) + " 1 1 1 5 3 2 1 2 ";
    EXPECT_NE(state.find(playerLine), std::string::npos) << state;

    // Everything changes after the save; the load takes it all back.
    engine->SetVar("late", 1);
    engine->SetVar("n", 7);
    engine->vMain->ClearChildren();
    engine.AddBoard("Other", 5, 5);
    engine->vPlay.inputEnabled = 1;
    ASSERT_EQ(LoadGame(*engine, KSlotBase(engine->vWorldPath), 3), KLoadGame::Loaded);

    ASSERT_NE(engine->vActiveBoard, nullptr);
    EXPECT_EQ(engine->vActiveBoard->name, "Cellar") << "the saved active board, not the first";
    ASSERT_NE(engine->vPlayer, nullptr);
    EXPECT_EQ(engine->vPlayer->name, "player");
    EXPECT_EQ(KTreeJson(*Named(*engine, "Cellar"), false), tree);
    // The save and load objects ran after the save and after the load.
    EXPECT_EQ(RunExtras(*engine).substr(0, extras.find("save")), extras.substr(0, extras.find("save")));
    EXPECT_EQ(RunExtras(*engine).substr(extras.find("Cellar")), extras.substr(extras.find("Cellar")));
    EXPECT_EQ(engine->GetVarString("text"), "two\nlines \\n and\r~endvars");
    EXPECT_EQ(engine->GetVarString("~eek"), "~e");
    EXPECT_EQ(engine->GetVar("n"), 42);
    EXPECT_FALSE(engine->vVariables.Exists("late")) << "variables made after the save are gone";
    EXPECT_FALSE(engine->vVariables.Exists("saves")) << "the save object ran after the file was written";
    EXPECT_EQ(engine->GetVar("loads"), 1) << "the load object runs after the load";
    EXPECT_EQ(engine->vPlay.inputEnabled, 0);
    EXPECT_EQ(engine->TakeNextId(), 901) << "new nodes are numbered above every restored id";
    EXPECT_TRUE(engine.Reports().empty());

    EXPECT_EQ(LoadGame(*engine, KSlotBase(engine->vWorldPath), 4), KLoadGame::Missing);
    EXPECT_EQ(KSlotPath(KSlotBase("Worlds/castle.zqav"), 12), "Worlds/castle.12.qsg");
    EXPECT_EQ(KSlotPath(KSlotBase("my.dir/castle"), 1), "my.dir/castle.1.qsg");
}

// Breaks one node's lines of a good state.tree: the nodes in order are the
// boards' subtrees (Main, idle, Spawn, save, load, Cellar, player, walker).
using StateEdit = std::function<void(std::vector<std::vector<std::string>>& lines)>;

std::vector<std::vector<std::string>> Split(const std::string& text)
{
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> row;
        std::string word;
        while (words >> word) row.push_back(word);
        lines.push_back(row);
    }
    return lines;
}

std::string Join(const std::vector<std::vector<std::string>>& lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        for (size_t w = 0; w < lines[i].size(); ++w) out += (w > 0 ? " " : "") + lines[i][w];
        if (i + 1 < lines.size()) out += "\n";
    }
    return out;
}

constexpr size_t kIdle = 2;      // first line of node 1
constexpr size_t kPlayer = 12;   // first line of node 6
constexpr size_t kWalker = 14;

std::string& IdOf(std::vector<std::string>& row) { return row[row.size() - 3]; }

TEST_F(SavedGame, HostileOrBrokenFilesAreRefusedAndTheGameGoesOnUntouched)
{
    SetRunState();
    ASSERT_TRUE(SaveGame(*engine, KSlotBase(engine->vWorldPath), 3));
    const std::string good = ZipEntry(Slot(), "state.tree");
    const struct {
        const char* what;
        StateEdit edit;
    } kEdits[] = {
        {"an id used twice", [](auto& l) { IdOf(l[kWalker]) = IdOf(l[kPlayer]); }},
        {"id 0", [](auto& l) { IdOf(l[kWalker]) = "0"; }},
        {"id past the counter", [](auto& l) { IdOf(l[kWalker]) = "4294967295"; }},
        {"no such line", [](auto& l) { l[kPlayer][0] = "99"; }},
        {"line 0 of no program", [](auto& l) { l[kIdle][0] = "0 0"; }},
        {"no such command", [](auto& l) { l[kPlayer][1] = "9"; }},
        {"no such walk", [](auto& l) { l[kPlayer][l[kPlayer].size() - 4] = "7"; }},
        {"a number short", [](auto& l) { l[kPlayer].pop_back(); }},
        {"not a number", [](auto& l) { l[kPlayer][3] = "x"; }},
        {"a huge number", [](auto& l) { l[kPlayer][3] = "99999999999"; }},
        {"a marker flag short", [](auto& l) { l[kPlayer + 1].pop_back(); }},
        {"a node too many", [](auto& l) { l.insert(l.begin() + kWalker + 2, {{"-1 1 0 0 8 1 0 -1 950 0 0"}, {}}); }},
        {"cut short", [](auto& l) { l.resize(kWalker); }},
    };
    const std::string treeBefore = KTreeJson(*engine->vMain, true);
    const std::string varsBefore = KVariablesJson(*engine);
    const int32_t idBefore = engine->vNextId;
    const auto expectUntouched = [&](const std::string& what) {
        EXPECT_EQ(KTreeJson(*engine->vMain, true), treeBefore) << what;
        EXPECT_EQ(KVariablesJson(*engine), varsBefore) << what;
        EXPECT_EQ(engine->vNextId, idBefore) << what;
        EXPECT_EQ(engine->vActiveBoard, Named(*engine, "Cellar")) << what;
    };
    for (const auto& test : kEdits) {
        auto lines = Split(good);
        test.edit(lines);
        RewriteEntry(Slot(), dir.File("castle.5.qsg"), "state.tree", Join(lines));
        engine.notices.clear();
        EXPECT_EQ(LoadGame(*engine, KSlotBase(engine->vWorldPath), 5), KLoadGame::Refused) << test.what;
        EXPECT_EQ(engine.Reports().size(), 1U) << test.what;
        expectUntouched(test.what);
    }

    const std::string bytes = ReadFileBytes(Slot());
    const std::pair<const char*, std::string> kFiles[] = {
        {"not an archive", "not a zip at all"},
        {"half an archive", bytes.substr(0, bytes.size() / 2)},
    };
    for (const auto& [what, content] : kFiles) {
        WriteFileBytes(dir.File("castle.6.qsg"), content);
        EXPECT_EQ(LoadGame(*engine, KSlotBase(engine->vWorldPath), 6), KLoadGame::Refused) << what;
        expectUntouched(what);
    }
    RewriteEntry(Slot(), dir.File("castle.7.qsg"), "castle.3.qav", "n\n1\n~endvars\n~endimports\n~ob broken");
    EXPECT_EQ(LoadGame(*engine, KSlotBase(engine->vWorldPath), 7), KLoadGame::Refused);
    expectUntouched("a broken record");
}

// --- The menu in the real runner -------------------------------------------------------------

// The menu's inside starts at screen cell (21, 21) in mode 1; its text is
// in colour 255.
std::string MenuText(ShotScreen& screen, int x, int y, int count)
{
    return screen.Strokes(21 + x, 21 + y, count, 255);
}

constexpr const char* kLater = "#end\n:key_b\n#set late 1\n#set health 5\n#end";

// Mode 1 (80 x 60 cells): a clock that counts ticks while key_a is held,
// and the objects that run after a save and a load.
const std::vector<TestBoard> kClockWorld = {
    {"Main", 80, 60, 0, {}, {{"clock", "#end\n:key_a\n#give t 1\n#end"}, {"later", kLater, 2}}},
    {"Spawn", 10, 10, 1, {}, {{"save", "#give saves 1\n#end", 3}, {"load", "#give loads 1\n#end", 4}}},
};

// Esc at tick t opens the menu at t + 2; the key pressed then acts, and
// each next key two ticks later.
std::string MenuKeys(int tick, std::vector<std::string> keys)
{
    keys.insert(keys.begin(), "key_esc");
    return Presses(tick, keys);
}

std::string WithoutLine(const std::string& text, const std::string& name)
{
    std::istringstream in(text);
    std::string out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("\"name\": \"" + name + "\"") == std::string::npos) out += line + "\n";
    }
    return out;
}

// Links planted in the world's folder never carry a save outside it, and a
// world whose name is as long as a file name may be is saved all the same.
TEST_F(SavedGame, SavesStayInTheFolderWhateverLinksArePlantedThere)
{
    TempDir outside;
    const std::string target = outside.File("precious.txt");
    WriteFileBytes(target, "keep me");
    // Every temporary name an earlier writer would have tried, and more.
    for (int n = 0; n < 4; ++n) {
        const std::string planted = Slot() + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(n);
        ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
    }
    ASSERT_TRUE(SaveGame(*engine, KSlotBase(engine->vWorldPath), 3));
    ASSERT_TRUE(SaveGame(*engine, KSlotBase(engine->vWorldPath), 3));
    EXPECT_EQ(ReadFileBytes(target), "keep me");
    struct stat info {};
    ASSERT_EQ(lstat(Slot().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << "the slot is a file of its own";
    EXPECT_NE(ZipEntry(Slot(), "castle.3.qav"), "missing");

    // A slot that is itself a link out of the folder is left alone.
    const std::string slot4 = dir.File("castle.4.qsg");
    ASSERT_EQ(symlink(target.c_str(), slot4.c_str()), 0);
    engine.notices.clear();
    EXPECT_FALSE(SaveGame(*engine, KSlotBase(engine->vWorldPath), 4));
    EXPECT_EQ(ReadFileBytes(target), "keep me");
    ASSERT_EQ(lstat(slot4.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_FALSE(engine.notices.empty());
    EXPECT_NE(engine.notices[0].body.find("Unable to replace"), std::string::npos) << engine.notices[0].body;
    for (const std::string& name : FilesIn(dir.Path())) {
        EXPECT_EQ(name.find(".quav-"), std::string::npos) << "no temporary file is left: " << name;
    }

    // 245 characters and ".zqav": the slot's name is 251 bytes, the limit 255.
    const std::string longName(245, 'w');
    engine->vWorldPath = dir.File(longName + ".zqav");
    EXPECT_TRUE(SaveGame(*engine, KSlotBase(engine->vWorldPath), 3));
    EXPECT_TRUE(FileExists(dir.File(longName + ".3.qsg")));
}

TEST(GameMenu, SavesToASlotLoadsItBackAndKeepsItWhenASaveOrALoadFails)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("castle.zqav"), kClockWorld);
    // Save to F3 at tick 14, change the game at 20, load F3 at 34.
    const std::string replay = "1 key_a down\n" + MenuKeys(10, {"key_s", "key_f3"}) + "20 key_b down\n21 key_b up\n" +
                               MenuKeys(30, {"key_l", "key_f3"});
    WriteFileBytes(sandbox.File("in.txt"), replay);
    // The slot page, ending the run before the save.
    sandbox.Play("castle.zqav", 14, "--input in.txt --screenshot before.bmp");
    std::string saved;
    ASSERT_EQ(sandbox.Run("--headless --ticks 16 --input in.txt --dump-vars - --dump-tree tree16.json castle.zqav", &saved), 0)
        << saved;
    EXPECT_EQ(VarText(saved, "saves"), "1");
    EXPECT_NE(ZipEntry(sandbox.File("castle.3.qsg"), "castle.3.qav"), "missing");

    std::string loaded;
    ASSERT_EQ(sandbox.Run("--headless --ticks 36 --input in.txt --dump-vars - --dump-tree tree36.json castle.zqav", &loaded),
              0)
        << loaded;
    EXPECT_EQ(VarText(loaded, "t"), VarText(saved, "t")) << "two ticks after the save and after the load alike";
    EXPECT_EQ(VarText(loaded, "late"), "missing");
    EXPECT_EQ(VarText(loaded, "health"), "\"100\"") << "values come back as texts";
    EXPECT_EQ(VarText(loaded, "loads"), "1");
    EXPECT_EQ(VarText(loaded, "saves"), "missing") << "the save object ran after the file was written";
    // Only the save and load objects differ: each ran after its own step.
    EXPECT_EQ(WithoutLine(WithoutLine(ReadFileBytes(sandbox.File("tree36.json")), "load"), "save"),
              WithoutLine(WithoutLine(ReadFileBytes(sandbox.File("tree16.json")), "load"), "save"));

    // F3's label is "Empty" before the save, its time after.
    sandbox.Play("castle.zqav", 34, "--input in.txt --screenshot after.bmp");
    ShotScreen before(sandbox.File("before.bmp"));
    ShotScreen after(sandbox.File("after.bmp"));
    ASSERT_TRUE(before.Loaded() && after.Loaded());
    EXPECT_EQ(MenuText(before, 2, 2, 10), "Slot Menu:");
    EXPECT_EQ(MenuText(before, 1, 8, 8), "F3)Empty");
    EXPECT_EQ(MenuText(before, 19, 14, 9), "F12)Empty") << "the right column's long labels";
    EXPECT_EQ(MenuText(after, 1, 8, 3), "F3)");
    EXPECT_NE(MenuText(after, 4, 8, 5), "Empty");
    EXPECT_NE(MenuText(after, 4, 8, 3).find('/'), std::string::npos) << MenuText(after, 4, 8, 12);

    // A failed save keeps the slot.
    const std::string old = ReadFileBytes(sandbox.File("castle.3.qsg"));
    ASSERT_FALSE(old.empty());

    // Files past 1 KiB cannot be written: the new archive fails part way.
    std::string output;
    WriteFileBytes(sandbox.File("in.txt"), "1 key_a down\n" + MenuKeys(20, {"key_s", "key_f3"}));
    // The runner ignores the file-size signal itself: the save fails, the game plays on.
    ASSERT_EQ(RunCommand("cd '" + sandbox.Dir() + "' && ulimit -f 1 && ./quav-runner --headless "
                         "--ticks 30 --input in.txt castle.zqav 2>&1",
                         &output),
              0)
        << output;
    EXPECT_NE(output.find("Unable to save the game"), std::string::npos) << output;
    EXPECT_EQ(ReadFileBytes(sandbox.File("castle.3.qsg")), old) << "the old slot is kept";
    for (const std::string& name : FilesIn(sandbox.Dir())) {
        EXPECT_EQ(name.find(".quav-"), std::string::npos) << "no half-written archive is left: " << name;
    }

    // A slot that is not a saved game: refused, and the game plays on as
    // if nothing had been asked.
    WriteFileBytes(sandbox.File("castle.3.qsg"), old.substr(0, old.size() / 3));
    WriteFileBytes(sandbox.File("in.txt"), "1 key_a down\n20 key_b down\n21 key_b up\n" + MenuKeys(30, {"key_l", "key_f3"}));
    const Played refused = sandbox.Play("castle.zqav", 40, "--input in.txt");
    EXPECT_NE(refused.output.find("Unable to load the saved game"), std::string::npos) << refused.output;
    EXPECT_EQ(VarText(refused.vars, "late"), "\"1\"");
    EXPECT_EQ(VarText(refused.vars, "t"), "34") << "ticks 2..29 and 34..39";
}

TEST(GameMenu, RestartResetsNosaveHidesSavingQuitEndsAndAHeldEscapeDoesNotReopen)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("castle.zqav"), {{"later", kLater}, {"guard", "#end\n:key_n\n#set nosave 1\n#end", 2}});
    WriteFileBytes(sandbox.File("in.txt"), "2 key_b down\n3 key_b up\n" + MenuKeys(10, {"key_r"}));
    const std::string vars = sandbox.Play("castle.zqav", 20, "--input in.txt").vars;
    EXPECT_EQ(VarText(vars, "health"), "100");
    EXPECT_EQ(VarText(vars, "late"), "missing");

    // nosave: S and L do nothing and their lines are not shown.
    WriteFileBytes(sandbox.File("in.txt"), "2 key_n down\n3 key_n up\n" + MenuKeys(10, {"key_s", "key_f1"}));
    sandbox.Play("castle.zqav", 16, "--input in.txt --screenshot menu.bmp");
    EXPECT_FALSE(FileExists(sandbox.File("castle.1.qsg")));
    ShotScreen menu(sandbox.File("menu.bmp"));
    EXPECT_EQ(MenuText(menu, 2, 2, 16), "QUAV! v1.1 Menu:") << "still the main page";
    EXPECT_EQ(MenuText(menu, 2, 4, 6), "(Q)uit");
    EXPECT_NE(MenuText(menu, 2, 6, 6), "(S)ave");
    EXPECT_NE(MenuText(menu, 2, 8, 6), "(L)oad");
    EXPECT_EQ(MenuText(menu, 2, 10, 9), "(R)estart");

    // Quit ends the run at once: no tick after it.
    WriteFileBytes(sandbox.File("in.txt"), "1 key_a down\n" + MenuKeys(10, {"key_q"}));
    WriteTestWorld(sandbox.File("clock.zqav"), kClockWorld);
    EXPECT_EQ(VarText(sandbox.Play("clock.zqav", 100, "--input in.txt").vars, "t"), "9");

    // Keys pressed and let go within one tick: a tap counts in play, opens
    // the menu and quits from it.
    WriteFileBytes(sandbox.File("in.txt"), "1 key_a down\n3 key_b down\n3 key_b up\n10 key_esc down\n10 key_esc up\n"
                                           "12 key_q down\n12 key_q up\n");
    const std::string tapped = sandbox.Play("clock.zqav", 100, "--input in.txt").vars;
    EXPECT_EQ(VarInt(tapped, "late"), 1) << tapped;
    EXPECT_EQ(VarText(tapped, "t"), "9") << tapped;

    // Opened at 10, closed by Escape at 14, which is held until 40: the
    // clock stands still from 10 to 40 and then runs on to the end, the
    // menu not opened again.
    WriteFileBytes(sandbox.File("in.txt"), "1 key_a down\n10 key_esc down\n11 key_esc up\n14 key_esc down\n40 key_esc up\n");
    EXPECT_EQ(VarText(sandbox.Play("clock.zqav", 50, "--input in.txt").vars, "t"), "18") << "ticks 2..9 and 40..49";
}

// The frame of the menu: border runs on the top and bottom rows and the
// outer columns, an inside shaded two rows a step, a shadow right and below.
struct Run {
    int chr, from, to;
};

int RunChar(std::initializer_list<Run> runs, int at)
{
    for (const Run& run : runs) {
        if (at >= run.from && at <= run.to) return run.chr;
    }
    return -1;
}

int FrameChar(int x, int y, int& fg, int& bg)
{
    fg = 15;
    bg = 8;
    if (y == 0 && x <= 37) return RunChar({{9, 0, 7}, {7, 8, 15}, {249, 16, 22}, {250, 23, 30}, {32, 31, 37}}, x);
    if (y == 17 && x <= 37) return RunChar({{32, 0, 3}, {250, 4, 11}, {249, 12, 19}, {7, 20, 26}, {9, 27, 37}}, x);
    if (x == 0 && y >= 1 && y <= 16) return RunChar({{9, 1, 3}, {7, 4, 7}, {249, 8, 10}, {250, 11, 14}, {32, 15, 16}}, y);
    if (x == 37 && y >= 1 && y <= 16) return RunChar({{32, 1, 1}, {250, 2, 5}, {249, 6, 9}, {7, 10, 12}, {9, 13, 16}}, y);
    if (x >= 1 && x <= 36 && y >= 1 && y <= 16) {
        fg = 79 - (y - 1) / 2;
        bg = 255;
        return y == 1 || x == 1 ? 177 : 219;
    }
    fg = 255;
    bg = 0;
    if ((x >= 38 && y >= 2) || (y >= 18 && x >= 2)) return 177;
    fg = bg = 0;
    return 0;
}

TEST(GameMenu, FrameIsDrawnCellByCell)
{
    RunnerSandbox sandbox;
    WriteTestWorld(sandbox.File("castle.zqav"), kClockWorld);
    WriteFileBytes(sandbox.File("in.txt"), MenuKeys(10, {}));
    sandbox.Play("castle.zqav", 13, "--input in.txt --screenshot m.bmp");
    ShotScreen screen(sandbox.File("m.bmp"));
    ASSERT_TRUE(screen.Loaded());
    // The text object is see-through but for its letters, on rows 3 to 11;
    // a cell drawn in colour 0 shows Main's colour 1.
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (y >= 3 && y <= 11 && y % 2 == 1 && x >= 3 && x < 19) continue;
            int fg = 0;
            int bg = 0;
            const int chr = FrameChar(x, y, fg, bg);
            EXPECT_TRUE(screen.Shows(20 + x, 20 + y, chr, fg == 0 ? 1 : fg, bg == 0 ? 1 : bg)) << "cell " << x << ", " << y;
        }
    }
    EXPECT_EQ(MenuText(screen, 2, 2, 16), "QUAV! v1.1 Menu:");
    EXPECT_EQ(MenuText(screen, 2, 6, 6), "(S)ave");
}

}  // namespace

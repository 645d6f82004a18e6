#include "KWorldFile.h"
#include "KZip.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <allegro.h>

#include <csignal>
#include <map>
#include <sys/resource.h>

namespace {

using Entries = std::map<std::string, std::string>;

Entries ReadEntries(const std::string& path)
{
    Entries entries;
    KZipReader zip;
    std::string error;
    EXPECT_TRUE(zip.OpenFile(path, size_t{1} << 30, error)) << error;
    for (const std::string& name : zip.Names()) {
        std::string content;
        EXPECT_EQ(zip.Read(name, content, size_t{1} << 30), KZipReader::Entry::Ok);
        entries[name] = content;
    }
    return entries;
}

// Writes the entries with Python's zipfile module, a zip implementation
// other than ours.
void WriteWithPython(const TempDir& dir, const std::string& out, const Entries& entries, bool stored = false)
{
    std::string command = "python3 '" + TestToolsDir() + "/zipwrite.py' '" + out + "'";
    if (stored) command += " --stored";
    int serial = 0;
    for (const auto& [name, content] : entries) {
        const std::string file = dir.File("entry" + std::to_string(serial++));
        WriteFileBytes(file, content);
        command += " '" + name + "=" + file + "'";
    }
    ASSERT_EQ(RunCommand(command), 0) << command;
}

const char* kSmallGame =
    "~endvars\n~endimports\n"
    "~ob Start 0\n0 0 3 2\n0 0 3 2\n-5 0 255 255 0 65 14 1 0 \n~pb\n:touch\nHello\n~pe\n"
    "~ob player 1\n1 1 1 1\n0 0 1 1\n2 15 0 0 \n~pb\n~pe\n~oe\n~oe\n"
    "~ob Spawn 0\n0 0 0 0\n0 0 0 0\n~pb\n~pe\n~oe\n"
    "~ob Dark 2\n0 0 1 1\n0 0 1 1\n0 255 255 0 \n~pb\n~pe\n~oe\n";

std::string SmallSheetPixels(int w, int h, int value)
{
    std::string pixels;
    for (int i = 0; i < w * h; ++i) pixels += std::to_string(value) + " ";
    return pixels;
}

void BuildSampleWorld(TestEngine& engine)
{
    Kobject* board = engine.AddBoard("First", 12, 9);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 12; ++x) board->SetCell(x, y, (x * 7 + y) % 256, x % 3 == 0 ? 1 : 2, -2, y % 2);
    }
    board->source = ":start\n#give gems 1\n";
    Kobject* door = engine.AddObject(*board, "door", 2, 2, 3, 4, 5);
    door->viewx = 1;
    door->vieww = 1;
    door->source = "'comment only";
    engine.AddObject(*door, "knob", 1, 1, -1);
    engine.AddBoard("Spawn", 4, 4, 1);
    engine->vVideoMode = 2;
    engine->vWindowed = 1;
}

TEST(WorldFile, SaveLoadSaveGivesIdenticalEntriesInOrderAndDeflated)
{
    TempDir dir;
    Entries first;
    {
        TestEngine engine(KFlavour::Editor);
        BuildSampleWorld(engine);
        ASSERT_TRUE(SaveWorld(*engine, dir.File("one.zqav")));
        first = ReadEntries(dir.File("one.zqav"));
    }
    TestEngine engine(KFlavour::Editor);
    ASSERT_TRUE(LoadWorld(*engine, dir.File("one.zqav")));
    EXPECT_EQ(engine->vVideoMode, 2);
    EXPECT_EQ(engine->vWindowed, 1);
    ASSERT_TRUE(SaveWorld(*engine, dir.File("two.zqav")));
    const Entries second = ReadEntries(dir.File("two.zqav"));
    EXPECT_EQ(first, second);
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(first.at("res.dat"), "2 1");
    EXPECT_EQ(first.at("font.hdr"), "128 128 2\n");
    EXPECT_TRUE(engine.Reports().empty());
    std::string listing;
    ASSERT_EQ(RunCommand("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                         "print(' '.join(f'{i.filename}:{i.compress_type}' for i in z.infolist())); "
                         "assert z.testzip() is None\" '" +
                             dir.File("two.zqav") + "'",
                         &listing),
              0);
    EXPECT_EQ(listing, "font.hdr:8 font.raw:8 game.qav:8 res.dat:8\n");
}

TEST(WorldFile, WorldsWrittenByAnotherZipToolLoad)
{
    for (const bool stored : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("other.zqav");
        WriteWithPython(dir, path,
                        {{"FONT.HDR", "16 8 2"}, {"Font.Raw", SmallSheetPixels(16, 8, 15)}, {"GAME.qav", kSmallGame},
                         {"RES.DAT", "0 1"}},
                        stored);
        TestEngine engine;
        TraceCapture trace;
        ASSERT_TRUE(LoadWorld(*engine, path)) << (engine.Reports().empty() ? "" : engine.Reports()[0]);
        EXPECT_EQ(engine->vVideoMode, 0);
        EXPECT_EQ(engine->vWindowed, 1);
        EXPECT_EQ(engine->vFont->glyphCount, 2);
        ASSERT_EQ(engine->vMain->children.size(), 3u);
        EXPECT_EQ(engine->vMain->children[0]->name, "Start");
        EXPECT_EQ(engine->vMain->children[2]->name, "Dark");
        EXPECT_EQ(engine->vMain->children[0]->source, ":touch\nHello");
        EXPECT_EQ(engine->vDarkBoard, engine->vMain->children[2].get());
        EXPECT_EQ(engine->vSpawnBoard, engine->vMain->children[1].get());
        EXPECT_EQ(engine->vOverlayBoard, nullptr);
        const std::string loading = "Loading .. ( " + path + " )\n";
        const std::string finished = "Finished Loading .. ( " + path + " )\n";
        EXPECT_EQ(trace.text.rfind(loading, 0), 0u);
        EXPECT_NE(trace.text.find(finished), std::string::npos);
    }
}

// The editor renders every cell as it loads.
TEST(WorldFile, OwnGameEntryIsPreferredOverTheDefaultOne)
{
    TempDir dir;
    const std::string path = dir.File("x.zqav");
    std::string other = kSmallGame;
    other.replace(other.find("Start"), 5, "Other");
    WriteWithPython(dir, path, {{"game.qav", other}, {"X.qav", kSmallGame}});
    TestEngine engine(KFlavour::Editor);
    ASSERT_TRUE(LoadWorld(*engine, path));
    const Kobject& start = *engine->vMain->children[0];
    EXPECT_EQ(start.name, "Start");
    ASSERT_NE(start.vSurf, nullptr);
    EXPECT_EQ(start.vSurf->line[0][0], 255) << "the first cell's background was drawn";
}

TEST(WorldFile, LoadingReplacesTheBoardsButNotVariablesHandlesFontOrResolution)
{
    TempDir dir;
    const std::string path = dir.File("w.zqav");
    WriteWithPython(dir, path, {{"game.qav", kSmallGame}});
    TestEngine engine;
    engine->vVideoMode = 3;
    engine.AddBoard("Old", 2, 2);
    engine->ChooseActiveBoard();
    engine->SetVar("score", 5);
    const int held = engine->AllocHandle(engine->vMain.get());
    ASSERT_TRUE(LoadWorld(*engine, path));
    EXPECT_EQ(engine->vActiveBoard, nullptr) << "the old active board is gone";
    EXPECT_EQ(engine->vMain->children.size(), 3u);
    EXPECT_EQ(engine->GetVar("score"), 5);
    EXPECT_EQ(engine->NodeOf(held), engine->vMain.get());
    EXPECT_EQ(engine->vVideoMode, 3);
    EXPECT_EQ(engine->vFont->glyphCount, 256);
}

TEST(WorldFile, HostileArchivesAreRefusedAndTheWorldIsKept)
{
    TempDir dir;
    const std::string sheet16 = SmallSheetPixels(16, 8, 1);
    struct Case {
        const char* what;
        Entries entries;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"no game entry", {{"res.dat", "1 1"}}, "no game entry"},
        {"no ~endimports", {{"game.qav", "~endvars\n~ob b 0\n"}}, "no ~endimports"},
        {"non-numeric", {{"game.qav", "~endvars\n~endimports\n~ob b zz\n"}}, "Bad number 'zz'"},
        {"truncated record", {{"game.qav", "~endvars\n~endimports\n~ob b 0\n0 0 4 4\n0 0"}}, "Unexpected end"},
        {"sheet too large", {{"font.hdr", "4096 4096 2"}, {"font.raw", "0"}, {"game.qav", kSmallGame}},
         "holds 262144 glyphs, more than the 32767"},
        {"sheet side too long", {{"font.hdr", "4097 8 2"}, {"font.raw", "0"}, {"game.qav", kSmallGame}},
         "each side 1 to 4096 pixels"},
        {"negative sheet", {{"font.hdr", "-8 8 2"}, {"font.raw", "0"}, {"game.qav", kSmallGame}}, "Bad font sheet"},
        {"short sheet", {{"font.hdr", "16 8 2"}, {"font.raw", "1 2 3"}, {"game.qav", kSmallGame}}, "font pixel"},
        {"bad header", {{"font.hdr", "x"}, {"font.raw", sheet16}, {"game.qav", kSmallGame}}, "Bad font header"},
    };
    for (const Case& test : cases) {
        const std::string path = dir.File("bad.zqav");
        WriteWithPython(dir, path, test.entries);
        TestEngine engine;
        Kobject* keep = engine.AddBoard("Keep", 2, 2);
        ASSERT_FALSE(LoadWorld(*engine, path)) << test.what;
        ASSERT_EQ(engine.Reports().size(), 1u) << test.what;
        EXPECT_NE(engine.Reports()[0].find(test.reason), std::string::npos) << test.what << ": " << engine.Reports()[0];
        ASSERT_EQ(engine->vMain->children.size(), 1u) << test.what;
        EXPECT_EQ(engine->vMain->children[0].get(), keep);
        EXPECT_EQ(engine->vFont->glyphCount, 256) << test.what;
    }
}

TEST(WorldFile, DamagedBytesPipesAndFoldersAreRefused)
{
    TempDir dir;
    TestEngine maker(KFlavour::Editor);
    BuildSampleWorld(maker);
    ASSERT_TRUE(SaveWorld(*maker, dir.File("good.zqav")));
    const std::string good = ReadFileBytes(dir.File("good.zqav"));

    std::vector<std::string> damaged = {"", "PK", "not a zip at all", good.substr(0, good.size() / 2),
                                        good.substr(0, good.size() - 10)};
    std::string flipped = good;
    for (size_t i = 40; i < flipped.size() / 2; i += 97) flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
    damaged.push_back(flipped);
    for (const std::string& bytes : damaged) {
        TestEngine engine;
        EXPECT_FALSE(LoadWorldFromMemory(*engine, bytes, "damaged.zqav"));
        EXPECT_FALSE(engine.Reports().empty());
    }

    // Only regular files are read: a pipe is refused at once, not waited on.
    ASSERT_EQ(RunCommand("mkfifo '" + dir.File("pipe.zqav") + "' && mkdir '" + dir.File("folder.zqav") + "'"), 0);
    TestEngine engine;
    EXPECT_FALSE(LoadWorld(*engine, dir.File("pipe.zqav")));
    EXPECT_FALSE(LoadWorld(*engine, dir.File("folder.zqav")));
    ASSERT_EQ(engine.Reports().size(), 2u);
    EXPECT_NE(engine.Reports()[0].find("is not a regular file"), std::string::npos) << engine.Reports()[0];
    EXPECT_NE(engine.Reports()[1].find("is a folder"), std::string::npos) << engine.Reports()[1];
}

TEST(WorldFile, ZipBombsStopAtTheEntryLimitAndTooManyCellsAreRefused)
{
    TempDir dir;
    const std::string path = dir.File("bomb.zqav");
    WriteWithPython(dir, path, {{"game.qav", "~endvars\n~endimports\n" + std::string(size_t{8} << 20, ' ')}});
    TestEngine engine;
    KWorldLimits limits;
    limits.maxEntryBytes = size_t{1} << 20;
    EXPECT_FALSE(LoadWorld(*engine, path, limits));
    EXPECT_NE(engine.Reports()[0].find("too large"), std::string::npos);

    WriteWithPython(dir, path, {{"font.hdr", "8 8 2"}, {"font.raw", std::string(size_t{2} << 20, ' ')},
                                {"game.qav", kSmallGame}});
    EXPECT_FALSE(LoadWorld(*engine, path, limits));
    EXPECT_NE(engine.Reports()[1].find("font.raw is too large"), std::string::npos) << engine.Reports()[1];

    // Too many cells altogether are refused too.
    std::string game = "~endvars\n~endimports\n";
    for (int i = 0; i < 5; ++i) game += "~ob b 0\n0 0 1024 1024\n0 0 1 1\n-1048576 0 0 0 0 \n~pb\n~pe\n~oe\n";
    Kobject root;
    root.name = "world_tree";
    std::string error;
    EXPECT_FALSE(KReadGameEntry(*engine, game, "game.qav", root, error));
    EXPECT_NE(error.find("Too many cells"), std::string::npos) << error;
}

TEST(WorldFile, EachLoadNumbersNodesAfreshAndARefusedOneTakesNoIds)
{
    TempDir dir;
    const std::string good = dir.File("good.zqav");
    const std::string tooBig = dir.File("big.zqav");
    WriteWithPython(dir, good, {{"game.qav", kSmallGame}});
    WriteWithPython(dir, tooBig, {{"game.qav", kSmallGame}});
    TestEngine engine;
    KWorldLimits small;
    small.maxNodes = 3;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(LoadWorld(*engine, good));
        EXPECT_EQ(engine->vMain->children[2]->id, 4) << "the four nodes are 1 to 4 every time";
        EXPECT_EQ(engine->vNextId, 5);
        EXPECT_FALSE(LoadWorld(*engine, tooBig, small));
        EXPECT_EQ(engine->vNextId, 5);
    }
}

TEST(WorldFile, FailedSavesKeepThePreviousFileAndSayWhy)
{
    TempDir dir;
    const std::string path = dir.File("keep.zqav");
    TestEngine engine(KFlavour::Editor);
    engine.AddBoard("Small", 2, 2);
    ASSERT_TRUE(SaveWorld(*engine, path));
    const std::string before = ReadFileBytes(path);

    Kobject* big = engine.AddBoard("Big", 200, 200);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) big->cells[static_cast<size_t>(y * 200 + x)].chr = static_cast<int16_t>(x * y);
    }
    // Let the file system refuse to grow any file past a few kilobytes.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &tight);
    const bool saved = SaveWorld(*engine, path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(engine.Reports().empty());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"keep.zqav"})) << "no half-written file is left";
    const size_t reports = engine.Reports().size();
    EXPECT_FALSE(SaveWorld(*engine, "/nonexistent-folder/w.zqav"));
    EXPECT_GT(engine.Reports().size(), reports);
}

TEST(NodeFiles, ExportThenImportKeepsIdAndPlaceAndABadFileChangesNothing)
{
    TempDir dir;
    TestEngine engine(KFlavour::Editor);
    Kobject* board = engine.AddBoard("b", 10, 10);
    Kobject* chest = engine.AddObject(*board, "chest", 2, 1, 4, 3, 3);
    chest->SetCell(1, 0, 9, 8, 7, 6);
    chest->source = "#end";
    engine.AddObject(*chest, "lid", 1, 1);
    Kobject* other = engine.AddObject(*board, "other", 1, 1, 1);
    const std::string path = dir.File("chest.zobj");
    ASSERT_TRUE(ExportNode(*engine, engine->AllocHandle(chest), path));
    const Entries entries = ReadEntries(path);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.begin()->first, "chest.obj");

    const int32_t keptId = other->id;
    TraceCapture trace;
    ASSERT_TRUE(ImportNode(*engine, engine->AllocHandle(other), path));
    EXPECT_EQ(other->id, keptId);
    EXPECT_EQ(other->name, "chest");
    EXPECT_EQ(other->posz, 4);
    EXPECT_EQ(board->children[1].get(), other) << "the node keeps its place";
    EXPECT_EQ(other->GetCell(1, 0)->attrib, 6);
    EXPECT_EQ(other->source, "#end");
    ASSERT_EQ(other->children.size(), 1u);
    EXPECT_EQ(other->children[0]->name, "lid");
    EXPECT_EQ(other->children[0]->parent, other);
    EXPECT_NE(trace.text.find("Importing .. ( " + path + " )\n"), std::string::npos);
    EXPECT_NE(trace.text.find("Finished Importing .. ( " + path + " )\n"), std::string::npos);

    // A bad node file leaves the node alone.
    WriteWithPython(dir, dir.File("bad.zobj"), {{"bad.obj", "~ob x 0\n1 2 oops\n"}});
    EXPECT_FALSE(ImportNode(*engine, engine->AllocHandle(other), dir.File("bad.zobj")));
    EXPECT_EQ(other->name, "chest");
    EXPECT_EQ(other->width, 2);
}

}  // namespace

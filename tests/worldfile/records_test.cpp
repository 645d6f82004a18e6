#include "KRecords.h"
#include "KWorldFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string RecordOf(Kobject& node)
{
    std::string out;
    KWriteRecord(out, node);
    return out;
}

// Reads one record (starting with "~ob") under parent.
bool ReadOne(TestEngine& engine, Kobject& parent, const std::string& text, std::string* error = nullptr)
{
    KRecordReader reader(*engine, text, "test.qav", KWorldLimits{});
    std::string_view token;
    reader.Text().Token(token);
    const bool ok = token == "~ob" && reader.ReadChild(parent, 1);
    if (error != nullptr) *error = reader.Error();
    return ok;
}

TEST(RecordWriter, RunsSignedValuesOneWordNamesSavedViewsAndChildren)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 3, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) board->SetCell(x, y, 5, 6, 7, 0);
    }
    EXPECT_EQ(RecordOf(*board), "~ob b 0\n0 0 3 2\n0 0 3 2\n-6 5 6 7 0 \n~pb\n~pe\n~oe\n") << "one run across rows";
    Kobject* one = engine.AddBoard("one", 1, 1, -3);
    one->SetCell(0, 0, 1, -2, 2, -5);
    for (const char* source : {"a\nb", "a\nb\n"}) {
        one->source = source;
        EXPECT_EQ(RecordOf(*one), "~ob one -3\n0 0 1 1\n0 0 1 1\n1 -2 2 -5 \n~pb\na\nb\n~pe\n~oe\n");
    }
    Kobject* empty = engine.AddBoard("two words", 0, 0);
    EXPECT_EQ(RecordOf(*empty), "~ob two_words 0\n0 0 0 0\n0 0 0 0\n~pb\n~pe\n~oe\n") << "no cells, no cell line";
    empty->name.clear();
    EXPECT_EQ(RecordOf(*empty).substr(0, 6), "~ob _ ");

    // A saved view is put back first; children follow their parent.
    Kobject* viewed = engine.AddBoard("b", 2, 1);
    engine.AddObject(*viewed, "c", 1, 1, 2, 1, 0)->source = "#end";
    viewed->vieww = 2;
    viewed->savedvieww = 1;
    viewed->savedviewh = 1;
    EXPECT_EQ(RecordOf(*viewed), "~ob b 0\n0 0 2 1\n0 0 1 1\n-2 0 0 0 0 \n~pb\n~pe\n"
                                 "~ob c 2\n1 0 1 1\n0 0 1 1\n0 0 0 0 \n~pb\n#end\n~pe\n~oe\n~oe\n");
    EXPECT_EQ(viewed->savedvieww, 0);
}

TEST(RecordWriter, EveryGlyphNumberSurvivesARoundTrip)
{
    TestEngine engine;
    Kobject* lone = engine.AddBoard("lone", 1, 1);
    lone->SetCell(0, 0, -3, 15, 1, 0);
    EXPECT_EQ(RecordOf(*lone), "~ob lone 0\n0 0 1 1\n0 0 1 1\n-1 -3 15 1 0 \n~pb\n~pe\n~oe\n")
        << "a negative glyph alone is a run of one, never taken for a run count";

    Kobject* all = engine.AddBoard("all", 256, 256);
    for (int i = 0; i < 65536; ++i) {
        all->cells[static_cast<size_t>(i)] = KCell{static_cast<int16_t>(i - 32768), static_cast<int16_t>(i % 7),
                                                   static_cast<int16_t>(-(i % 3)), 0, 0, 0};
    }
    Kobject* parent = engine.AddBoard("parent", 0, 0);
    ASSERT_TRUE(ReadOne(engine, *parent, RecordOf(*all)));
    const Kobject& copy = *parent->children[0];
    for (int i = 0; i < 65536; ++i) {
        const KCell& cell = *copy.GetCell(i % 256, i / 256);
        ASSERT_EQ(cell.chr, i - 32768);
        ASSERT_EQ(cell.fg, i % 7);
        ASSERT_EQ(cell.bg, -(i % 3));
    }
}

TEST(RecordReader, RunsCrossRowEndsAndExtraCellsAreDropped)
{
    TestEngine engine;
    ASSERT_TRUE(ReadOne(engine, *engine->vMain, "~ob b 4\n1 2 2 2\n0 0 2 2\n7 1 1 0 -9 8 2 2 0 \n~pb\n~pe\n~oe\n"));
    Kobject* board = engine->vMain->children[0].get();
    EXPECT_EQ(board->name, "b");
    EXPECT_EQ(board->posz, 4);
    EXPECT_EQ(board->posx, 1);
    EXPECT_EQ(board->GetCell(0, 0)->chr, 7);
    EXPECT_EQ(board->GetCell(1, 0)->chr, 8);
    EXPECT_EQ(board->GetCell(0, 1)->chr, 8) << "the run went on in the next row";
    EXPECT_EQ(board->GetCell(1, 1)->fg, 2);
    EXPECT_EQ(board->GetCell(1, 1)->drawn, 0) << "runner cells are rendered later";
    ASSERT_TRUE(ReadOne(engine, *engine->vMain, "~ob h 0\n0 0 2 2\n0 0 2 2\n-4611686018427387904 1 1 1 1 \n~pb\n~pe\n~oe\n"));
    EXPECT_EQ(engine->vMain->FindByName("h")->GetCell(1, 1)->chr, 1) << "a huge run count costs nothing";
}

TEST(RecordReader, ScriptLinesEarlyEndAndMissingStart)
{
    TestEngine engine;
    ASSERT_TRUE(ReadOne(engine, *engine->vMain,
                        "~ob b 0\n0 0 1 1\n0 0 1 1\n0 0 0 0 \n~pb\n:touch\n~pbignored\n\n#end\n~pe rest\n~oe\n"));
    EXPECT_EQ(engine->vMain->children[0]->source, ":touch\n\n\n#end");
    ASSERT_TRUE(ReadOne(engine, *engine->vMain, "~ob c 0\n0 0 0 0\n0 0 0 0\n~pb\nline\n~pe early\nmore\n~pe\n~oe\n"));
    EXPECT_EQ(engine->vMain->children[1]->source, "line") << "a line starting ~pe ends the script";
    ASSERT_TRUE(ReadOne(engine, *engine->vMain, "~ob d 0\n0 0 0 0\n0 0 0 0\nnot it\n#end\n~pe\n~oe\n"));
    ASSERT_EQ(engine.notices.size(), 1u) << "a missing script start is reported and reading goes on";
    EXPECT_EQ(engine.notices[0].body, "~pb Expected");
    EXPECT_EQ(engine.notices[0].caption, "Error in not it at 4");
    EXPECT_EQ(engine->vMain->children[2]->source, "#end");
}

TEST(RecordReader, NamingTheLinesOfManyBrokenRecordsIsOnePass)
{
    TestEngine engine;
    const std::string broken = "~ob b 0\n0 0 1 1\n0 0 1 1\n1 2 3 4 \nnot it\nnor this\n~pe\n~oe\n";
    constexpr int kRecords = 2000;
    std::string text;
    for (int i = 0; i < kRecords; ++i) text += broken;
    KRecordReader reader(*engine, text, "test.qav", KWorldLimits{});
    std::string_view token;
    while (reader.Text().Token(token) && token == "~ob") ASSERT_TRUE(reader.ReadChild(*engine->vMain, 1));
    ASSERT_EQ(engine.notices.size(), size_t{kRecords});
    EXPECT_EQ(engine.notices.back().caption, "Error in not it at " + std::to_string(8 * kRecords - 3));
    EXPECT_LE(reader.Text().LineCountingWork(), text.size()) << "lines are counted once, not again per message";
}

TEST(RecordReader, ChildrenNestAndObjectsAreSpawnedInDepthOrder)
{
    TestEngine engine;
    TraceCapture trace;
    ASSERT_TRUE(ReadOne(engine, *engine->vMain,
                        "~ob b 0\n0 0 0 0\n0 0 0 0\n~pb\n~pe\n"
                        "~ob low 1\n0 0 0 0\n0 0 0 0\n~pb\n~pe\n~oe\n"
                        "~ob high 5\n0 0 0 0\n0 0 0 0\n~pb\n~pe\n~oe\n~oe\n"));
    const Kobject& board = *engine->vMain->children[0];
    ASSERT_EQ(board.children.size(), 2u);
    EXPECT_EQ(board.children[0]->name, "high");
    EXPECT_EQ(board.children[1]->name, "low");
    EXPECT_EQ(board.children[1]->id, board.id + 1) << "ids follow reading order";
    EXPECT_EQ(trace.text, "Spawned Board\nSpawned Object\nSpawned Object\n");
}

TEST(RecordReader, HostileRecordsAreRefusedWithAReason)
{
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "~ob n 0\n0 0 0 0\n0 0 0 0\n~pb\n~pe\n";
    const std::pair<std::string, const char*> cases[] = {
        {"~ob b x\n", "Bad number 'x' for posz"},
        {"~ob b 0\n0 0 -1 1\n0 0 0 0\n", "bad size -1 x 1"},
        {"~ob b 0\n0 0 100000 1\n0 0 0 0\n", "bad size"},
        {"~ob b 0\n0 0 2000 2000\n0 0 0 0\n", "bad size"},
        {"~ob b 0\n0 0 2 1\n0 0 2 1\n1 2 3\n", "Unexpected end"},
        {"~ob b 0\n0 0 1 1\n0 0 1 1\n1 2 3 4 \n~pb\nscript without end\n", "no ~pe"},
        {"~ob b 0\n0 0 1 1\n0 0 1 1\n99999999999999999999 0 0 0\n", "Bad number"},
        {"~ob b 0\n0 0 1 1\n0 0 4294967296 1\n", "out of range"},
        {"~ob", "Unexpected end while reading a node name"},
        {deep, "nested too deeply"},
    };
    for (const auto& [text, reason] : cases) {
        TestEngine engine;
        std::string error;
        EXPECT_FALSE(ReadOne(engine, *engine->vMain, text, &error)) << text.substr(0, 80);
        EXPECT_NE(error.find(reason), std::string::npos) << text.substr(0, 80) << " gave: " << error;
    }
}

// A view may claim any 32-bit size; it is read no wider or taller than a
// node may be, as #mod keeps it.
TEST(RecordReader, ViewsAreBoundedBySideLimit)
{
    TestEngine engine;
    ASSERT_TRUE(ReadOne(engine, *engine->vMain, "~ob Dark 0\n0 0 1 1\n0 0 2147483647 5000\n0 0 0 0 \n~pb\n~pe\n~oe\n"));
    const Kobject& dark = *engine->vMain->children.back();
    const int32_t side = KWorldLimits{}.maxSide;
    EXPECT_EQ(std::make_pair(dark.vieww, dark.viewh), std::make_pair(side, side));
    ASSERT_TRUE(ReadOne(engine, *engine->vMain, "~ob b 0\n0 0 1 1\n0 0 3 -2\n0 0 0 0 \n~pb\n~pe\n~oe\n"));
    EXPECT_EQ(std::make_pair(engine->vMain->children.back()->vieww, engine->vMain->children.back()->viewh),
              std::make_pair(3, -2)) << "views within the bound are read as written";
}

TEST(EntryNames, FollowTheWorldFilesName)
{
    for (const auto& [path, entry] : {std::pair{"/games/castle.zqav", "castle.qav"}, {"castle", "castle.qav"}, {"/a.b/c.d.zqav", "c.d.qav"}}) {
        EXPECT_EQ(KGameEntryName(path), entry) << path;
    }
    EXPECT_EQ(KNodeEntryName("/x/door.zobj"), "door.obj");
}

}  // namespace

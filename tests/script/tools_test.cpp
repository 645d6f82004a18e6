#include "KScriptTools.h"
#include "KWorldFile.h"
#include "ScriptTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A world on disk, in place of what the engine held: a board "Start" with
// two objects, one of them nested.
std::string WriteWorld(TestEngine& engine, const TempDir& dir, const std::string& startScript,
                       const std::string& doorScript)
{
    engine->vMain->ClearChildren();
    Kobject* start = engine.AddBoard("Start", 4, 4, 0);
    start->source = startScript;
    Kobject* door = engine.AddObject(*start, "door", 1, 1, 2);
    door->source = doorScript;
    Kobject* knob = engine.AddObject(*door, "knob", 1, 1);
    knob->source = ":key_space\n/n";
    Kobject* lamp = engine.AddObject(*start, "lamp", 1, 1, 1);
    lamp->source = "";
    const std::string path = dir.File("castle.zqav");
    EXPECT_TRUE(SaveWorld(*engine, path));
    engine->vMain->ClearChildren();
    return path;
}

TEST(CheckTool, ListsEveryErrorWithNodeAndLineWarnsOfTabsAndPassesACleanWorldQuietly)
{
    TestEngine engine;
    TempDir dir;
    const KToolResult clean = KCheckWorld(*engine, WriteWorld(engine, dir, ":start\n#end", "@hit"));
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out + clean.err, "");
    const std::string path = WriteWorld(engine, dir, "#end\n#Foo\n", "\n\n#give 5 1\n#cycle :x");
    const KToolResult result = KCheckWorld(*engine, path);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "Start:2: Bad command: #foo\n"
              "door:3: Bad var type: 5\n"
              "door:4: Bad #cycle command param type: :x\n");
    EXPECT_TRUE(engine.notices.empty()) << "the errors are listed, not shown";
    engine->Report("after", "x", 1);
    EXPECT_EQ(engine.notices.size(), 1u) << "the program's own notice sink is back";

    const KToolResult warned = KCheckWorld(*engine, WriteWorld(engine, dir, "#end\n    #set a 1\n\t#set b 2\n\tplain words", "\t\t.parent @x"));
    EXPECT_EQ(warned.status, 0) << "warnings alone do not fail the check";
    EXPECT_EQ(warned.err,
              "Start:3: warning: this line is text, not a command: it starts with a tab (indent with spaces)\n"
              "door:1: warning: this line is text, not a command: it starts with a tab (indent with spaces)\n");
    // Names from the world cannot steer the terminal.
    const std::vector<KCompileError> errors{{"a\x1b[2Jb", 1, "Bad command: #\x07", false}};
    EXPECT_EQ(KFormatCompileErrors(errors), "a\\x1b[2Jb:1: Bad command: #\\x07\n");
}

TEST(DumpTool, CodeBytesAreCharactersOfTheSameNumber)
{
    TestEngine engine;
    const Kobject* node = CompileScript(engine, "#patch 200 #mod posx 1 #sound \"\\\xe9\" 1 loop");
    ASSERT_EQ(node->lines.size(), 1u);
    const std::string json = KProgramsJson(*engine->vMain);
    EXPECT_NE(json.find(R"("\u0003\u00c8")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("\u0013\u00001 ")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("\u0006\"\\\u00e9\" 1 1 ")"), std::string::npos) << json;
}

}  // namespace

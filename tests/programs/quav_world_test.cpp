// Drives the real quav-world program.

#include "KWorldFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string WorldTool() { return std::string(QUAV_OUTPUT_DIR) + "/quav-world"; }

TEST(WorldTool, InfoOfTheTemplateWorldAndOfBadWorldsAndArguments)
{
    std::string out;
    ASSERT_EQ(RunCommand(WorldTool() + " info Library/default.zqav", &out), 0);
    EXPECT_EQ(out,
              "video mode: 1 (640 x 480)\n"
              "windowed: 1\n"
              "font sheet: 128 x 128 pixels, 256 glyphs\n"
              "boards: 2\n"
              "  NewBoard: 80 x 60 cells, 0 objects\n"
              "  Spawn: 80 x 60 cells, 0 objects\n");

    // A bad world and bad arguments.
    TempDir dir;
    WriteFileBytes(dir.File("junk.zqav"), "junk");
    out.clear();
    EXPECT_EQ(RunCommand(WorldTool() + " info " + dir.File("junk.zqav") + " 2>&1", &out), 1);
    EXPECT_NE(out.find("is not a zip archive"), std::string::npos) << out;
    EXPECT_EQ(RunCommand(WorldTool() + " frobnicate x 2>/dev/null"), 2);
    EXPECT_EQ(RunCommand(WorldTool() + " info 2>/dev/null"), 2);
}

TEST(WorldTool, JsonTreeWithRelativePathFromAnotherFolder)
{
    TempDir dir;
    {
        TestEngine engine(KFlavour::Editor);
        Kobject* board = engine.AddBoard("Main \"hall\"", 10, 8);
        Kobject* door = engine.AddObject(*board, "door", 2, 2, 3, 4, 5);
        door->source = "a\nb\nc";
        ASSERT_TRUE(SaveWorld(*engine, dir.File("w.zqav")));
    }
    std::string out;
    ASSERT_EQ(RunCommand("cd '" + dir.Path() + "' && " + WorldTool() + " tree --json w.zqav", &out), 0);
    std::string checked;
    const std::string script = "import json,sys; t=json.load(sys.stdin); "
                               "print(t[0]['name'], t[1]['name'], t[1]['depth'], t[1]['posx'], t[1]['script_lines'])";
    ASSERT_EQ(RunCommand("printf '%s' '" + out + "' | python3 -c \"" + script + "\"", &checked), 0) << out;
    EXPECT_EQ(checked, "Main_\"hall\" door 1 4 3\n");
}

TEST(WorldTool, ControlCharactersInNamesAreEscaped)
{
    TempDir dir;
    {
        TestEngine engine(KFlavour::Editor);
        engine.AddBoard(std::string("a\x1b[2Jb\0c", 9), 1, 1);
        ASSERT_TRUE(SaveWorld(*engine, dir.File("w.zqav")));
    }
    for (const char* command : {" tree ", " info "}) {
        std::string out;
        ASSERT_EQ(RunCommand(WorldTool() + command + dir.File("w.zqav"), &out), 0) << command;
        EXPECT_NE(out.find("a\\x1b[2Jb\\x00c"), std::string::npos) << command << out;
        EXPECT_EQ(out.find('\x1b'), std::string::npos) << command;
    }
}

}  // namespace

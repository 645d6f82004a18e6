// The script editor's knowledge without Qt: command help, the completion
// lists, colours, the styles the compiler's reading gives, the error check,
// and the editor's start-up datafile.

#include "KEditorData.h"
#include "KNames.h"
#include "KScriptHelp.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <unistd.h>

namespace {

struct HelpCase {
    const char* typed;
    const char* help;
};

TEST(ScriptHelp, CommandHelpMatchesTheTypedWordWithItsSpace)
{
    const HelpCase cases[] = {
        {"#sound ", "<filename> <channel: 0-7>\n <playmode: once, loop, bidi>"},
        {"#mul ", "<var name> <var name> <var name>\n ie: "},
        {"#div ", "<var name> <var name> <var name>\n ie: "},
        {"#if ", "<qel if>"},
        {"#IFEX ", "<value> <comparison: < <= > >= == !=> <value>"},
        {"#endgame ", "<no params>"},
        {"#write ", "<x> <y> <words: Either a \"Word\" or VarName>"},
        {"#play ", "<qel play>\n Must be surrounded by quotes ie: \"--CC\""},
        {"#nothing ", ""},
        {"", ""},
    };
    for (const HelpCase& c : cases) EXPECT_EQ(GetCommandHelp(c.typed), c.help) << c.typed;
}

TEST(ScriptHelp, CommandListIsSortedAndEveryWordCompilesAndHasHelp)
{
    const std::string& list = KCommandList();
    std::istringstream words(list);
    std::vector<std::string> seen;
    for (std::string word; words >> word;) seen.push_back(word);
    ASSERT_EQ(seen.size(), 52U);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(list.find("  "), std::string::npos);
    EXPECT_EQ(list.substr(0, 20), "#attach #become #bin");
    for (const std::string& word : seen) {
        EXPECT_NE(KFindCommand(word), nullptr) << word;
        EXPECT_FALSE(GetCommandHelp(word + " ").empty()) << word;
    }
}

TEST(ScriptHelp, AddressNamesComeFromTheEditorWalkAndMergeIntoTheFixedWords)
{
    TestEngine engine{KFlavour::Editor};
    Kobject* board = engine.AddBoard("a", 10, 8);
    Kobject* lamp = engine.AddObject(*board, "lamp", 1, 1);
    engine.AddObject(*board, "door", 1, 1);
    engine.AddObject(*lamp, "wick", 1, 1);
    const int handles = engine->HandlesInUse();
    EXPECT_EQ(KAddressNames(*engine, lamp, "."), (std::vector<std::string>{"lamp", "door"}));
    EXPECT_EQ(KAddressNames(*engine, lamp, ".self."), (std::vector<std::string>{"wick"}));
    EXPECT_TRUE(KAddressNames(*engine, lamp, std::string(5000, '.') + "\x01>").empty());
    EXPECT_TRUE(KAddressNames(*engine, nullptr, ".").empty());
    EXPECT_EQ(engine->HandlesInUse(), handles);
    // The list merges node names into the fixed words.
    EXPECT_EQ(KAddressList({}), ".all .contained .e .inside .mask .n .parent .s .self .top .w");
    EXPECT_EQ(KAddressList({"door", "Zed", "p"}), ".Zed .all .contained .door .e .inside .mask .n .p .parent .s .self .top .w");
}

// The styles of a text as digits, style 10 as "X".
std::string StylesOf(std::string_view text)
{
    std::string out;
    for (const uint8_t style : KScriptStyles(text)) out += style == kStyleUnknown ? 'X' : static_cast<char>('0' + style);
    return out;
}

TEST(ScriptHelp, StylesFollowTheCompilersReadingAndTellWhereListsAreOffered)
{
    const std::pair<const char*, const char*> cases[] = {
        {"#walk n", "1111107"},
        {"#Set a 12", "111107099"},
        {"#foo", "XXXX"},
        {"/n?e", "1717"},
        {":touch", "333333"},
        {"'off #end", "222222222"},
        {"@hit", "4444"},
        {".parent #die", "555555501111"},
        {"hello #end", "6666666666"},
        {"\t#end", "66666"},
        {"12 apples", "666666666"},
        {"a\nb", "606"},
        {"#play \"ab c\"", "111110888888"},
        {"#play \"a\nb\"\n#end", "111110888880" "1111"},
        {"#end   \n", "11110000"},
    };
    for (const auto& [text, styles] : cases) EXPECT_EQ(StylesOf(text), styles) << text;
    // The styles tell where the lists are offered.
    for (const int style : {kStyleComment, kStyleText, kStyleQuoted}) EXPECT_FALSE(KOffersCommands(style)) << style;
    for (const int style : {kStyleDefault, kStyleCommand, kStyleWord}) EXPECT_TRUE(KOffersCommands(style)) << style;
    for (const int style : {kStyleDefault, kStyleAddress, kStyleWord, kStyleNumber}) {
        EXPECT_TRUE(KOffersAddresses(style)) << style;
    }
    for (const int style : {kStyleCommand, kStyleComment, kStyleText, kStyleQuoted}) {
        EXPECT_FALSE(KOffersAddresses(style)) << style;
    }
}

TEST(ScriptHelp, ColourFileEntriesReplaceTheDefaultsOneLineEach)
{
    TempDir dir;
    EXPECT_EQ(KReadSyntaxColors(dir.File("missing.txt")), kDefaultSyntaxColors);
    WriteFileBytes(dir.File("colors.txt"), "Default ff0000\r\n\nCommand 00Ab0c\nComment zzzzzz\nLabel\nMessage 123\n"
                                           "Address 0000FF trailing\nExtra 777777\n");
    const KSyntaxColors colors = KReadSyntaxColors(dir.File("colors.txt"));
    EXPECT_EQ(colors, (KSyntaxColors{0xFF0000, 0x00AB0C, 0x555555, 0x11AA33, 0xFFAA22, 0x0000FF}));
    const std::pair<int, uint32_t> styles[] = {{0, 0xFF0000}, {1, 0x00AB0C}, {2, 0x555555}, {3, 0x11AA33},
                                               {4, 0xFFAA22}, {5, 0x0000FF}, {6, 0xFF0000}, {7, 0xFF0000},
                                               {8, 0xFF0000}, {9, 0x555555}, {10, 0xFF00FF}};
    for (const auto& [style, color] : styles) EXPECT_EQ(KStyleColor(colors, style), color) << style;
    ASSERT_TRUE(FileExists(QUAV_OUTPUT_DIR "/Library/SyntaxColors.txt"));
    EXPECT_EQ(KReadSyntaxColors(QUAV_OUTPUT_DIR "/Library/SyntaxColors.txt"), kDefaultSyntaxColors);
}

TEST(ScriptHelp, CheckListsTheCompileErrorsQuietly)
{
    TestEngine engine{KFlavour::Editor};
    const std::vector<KScriptError> errors = KCheckScript(*engine, "lamp", "#walk n\n#bogus\n\t#end\n");
    ASSERT_EQ(errors.size(), 2U);
    EXPECT_EQ(errors[0].line, 1);
    EXPECT_EQ(errors[0].message, "Bad command: #bogus");
    EXPECT_EQ(errors[1].line, 2);
    EXPECT_EQ(errors[1].message.rfind("warning: ", 0), 0U);
    EXPECT_TRUE(engine.notices.empty());
}

TEST(ScriptHelp, LinesASavedWorldWouldLoseAreFoundAndIndented)
{
    const std::string text = "a\n~pe\n~pbx\nok ~pe\n~pe";
    EXPECT_EQ(KLinesLostOnSave(text), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(KIndentLinesLostOnSave(text), "a\n ~pe\n ~pbx\nok ~pe\n ~pe");
    EXPECT_TRUE(KLinesLostOnSave(KIndentLinesLostOnSave(text)).empty());
}

TEST(EditorStart, MissingDatafileIsReportedAndStartGoesOn)
{
    TestEngine engine{KFlavour::Editor};
    EXPECT_NE(KLoadEditorDatafile(*engine), nullptr);
    EXPECT_TRUE(engine.notices.empty());
    TempDir dir;
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const KDatafilePtr data = KLoadEditorDatafile(*engine);
    ASSERT_EQ(chdir(here), 0);
    EXPECT_EQ(data, nullptr);
    ASSERT_EQ(engine.notices.size(), 1U);
    EXPECT_EQ(engine.notices[0].caption, "Error in Vantor at 70");
    EXPECT_EQ(engine.notices[0].body, "Unable to load default.dat");
}

}  // namespace

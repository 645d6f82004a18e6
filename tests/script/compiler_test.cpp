#include "KNames.h"
#include "ScriptTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct CompileCase {
    std::string source;
    Codes lines;
};

class CommandForms : public testing::TestWithParam<CompileCase> {};

TEST_P(CommandForms, CompileToTheExactBytes)
{
    TestEngine engine;
    const Kobject* node = CompileScript(engine, GetParam().source);
    const Codes got = CodesOf(*node);
    EXPECT_EQ(got, GetParam().lines) << "source: " << GetParam().source << "\n got: " << Describe(got)
                                     << "\nwant: " << Describe(GetParam().lines);
    EXPECT_TRUE(engine.Reports().empty()) << engine.Reports().front();
}

// Direction bytes are printable: n '9', s ':', w ';', e '<', seek '=',
// seekv '>', seekh '?', i '@', flow 'A', rndns 'B', rndne 'C', rndp 'D',
// rnd 'E', cw 'F', ccw 'G', opp 'H'; the list end is 'I'.
INSTANTIATE_TEST_SUITE_P(
    Compiler, CommandForms,
    testing::Values(
        // Commands without arguments.
        CompileCase{"#fadein", {{Op(0)}}},
        CompileCase{"#FadeOut #stopsong #lock #unlock #restart #die #end #endgame",
                    {{Op(1), Op(5), Op(49), Op(50), Op(51), Op(52), Op(53), Op(54)}}},
        // Sound.
        CompileCase{"#play \"cde fg\"", {{Op(2, "\"cde fg\" ")}}},
        CompileCase{"#patch 300 #patch -1 #patch 99999999999999999999 #patch piano",
                    {{Op(3, "\x2c"), Op(3, "\xff"), Op(3, "\xff"), Op(3, "0")}}},
        CompileCase{"#song Tune.mid 1", {{Op(4, "Tune.mid 1 ")}}},
        CompileCase{"#sound boom 2 LOOP #sound boom 2 once #sound boom 2 Bidi #sound boom 2 twice",
                    {{Op(6, "boom 2 1 "), Op(6, "boom 2 0 "), Op(6, "boom 2 2 "), Op(6, "boom 2 0 ")}}},
        CompileCase{"#stopsound 3", {{Op(7, "3 ")}}},
        CompileCase{"#loadsound Boom.wav", {{Op(8, "Boom.wav ")}}},
        // Appearance.
        CompileCase{"#light 5 16 0 256 #become 1 2 3 4 #char -1 15 0 -1",
                    {{Op(9, "5 16 0 256 "), Op(21, "1 2 3 4 "), Op(22, "-1 15 0 -1 ")}}},
        CompileCase{"#charex 0 0 65 15 0 0 #change 1 2 3 4 5 6 7 8",
                    {{Op(23, "0 0 65 15 0 0 "), Op(30, "1 2 3 4 5 6 7 8 ")}}},
        CompileCase{"#write 1 1 a@b", {{Op(24, "1 1 a b ")}}},
        CompileCase{"#write 0 0 Hi#There :x .y", {{Op(24, "0 0 Hi #there :x .y ")}}},
        CompileCase{"#write 0 0 \"x y\" z\n#end", {{Op(24, "0 0 \"x y\" z ")}, {Op(53)}}},
        CompileCase{"#cycle 3 #cyclef Speed", {{Op(27, "3 "), Op(28, "Speed ")}}},
        // Variables.
        CompileCase{"#notify Score #denotify score #focus cam #clear gems",
                    {{Op(10, "Score "), Op(11, "score "), Op(34, "cam "), Op(41, "gems ")}}},
        CompileCase{"#take ammo 5 #end", {{Op(38, "ammo 5 "), Op(53)}}},
        CompileCase{"#give Gems (a+1)", {{Op(39, "Gems (a+1) ")}}},
        CompileCase{"#rand r 6", {{Op(42, "r 6 ")}}},
        CompileCase{"#set flag\n#set x 5\n#set x word", {{Op(40, "flag ")}, {Op(40, "x 5 ")}, {Op(40, "x word ")}}},
        CompileCase{"#set x #end", {{Op(40, "x "), Op(53)}}},
        CompileCase{"#div q a b #mul p a 3", {{Op(43, "q a b "), Op(44, "p a 3 ")}}},
        CompileCase{"#save vars a b", {{Op(56, "vars a b ")}}},
        CompileCase{"#save vars a 5 b", {{Op(56, "vars a "), Op(26, "\"5 b\"")}}},
        CompileCase{"#load save1", {{Op(55, "save1 ")}}},
        // Movement and modes.
        CompileCase{"#collide NONE #collide normal #collide fly #collide water #collide exclude",
                    {{Op(12, std::string(1, '\0')), Op(12, "\x01"), Op(12, "\x02"), Op(12, "\x03"), Op(12, "\x04")}}},
        CompileCase{"#enterable Yes #enterable no", {{Op(13, "\x01"), Op(13, std::string(1, '\0'))}}},
        CompileCase{"/n ?E", {{Op(14, "9"), Op(15, "<")}}},
        CompileCase{"/n s w e seek seekv seekh i flow rndns rndne rndp rnd cw ccw opp",
                    {{Op(14, "9:;<=>?@ABCDEFGH")}}},
        CompileCase{"#walk opp seek #shoot seekv\n#walk", {{Op(16, "H="), Op(32, ">")}, {Op(16)}}},
        CompileCase{"/n/e", {{Op(14, "9"), Op(14, "<")}}},
        CompileCase{"/nn", {{Op(14), Op(26, "\"nn\"")}}},
        CompileCase{"#try n /e", {{Op(45, "9I"), Op(14, "<")}}},
        CompileCase{"#try cw n", {{Op(45, "F9I")}}},
        CompileCase{"#board Level2 #switch Start", {{Op(17, "Level2 "), Op(18, "Start ")}}},
        // Spawning.
        CompileCase{"#put n red lamp #put n lamp #put n black lamp",
                    {{Op(31, "9I12 lamp "), Op(31, "9Ilamp "), Op(31, "9I15 lamp ")}}},
        CompileCase{"#put lamp /s", {{Op(31, "Ilamp "), Op(14, ":")}}},
        CompileCase{"#throw e Blue Bullet #throw s dgray b", {{Op(33, "<I9 Bullet "), Op(33, ":I8 b ")}}},
        CompileCase{"#attach arm 1 0 #bind key_up", {{Op(35, "arm 1 0 "), Op(29, "key_up ")}}},
        // Properties.
        CompileCase{"#mod posx 5", {{Op(19, std::string(1, '\0') + "5 ")}}},
        CompileCase{"#mod POSY 5 #mod posz 5 #mod viewx 5 #mod viewy 5",
                    {{Op(19, "\x01" "5 "), Op(19, "\x02" "5 "), Op(19, "\x03" "5 "), Op(19, "\x04" "5 ")}}},
        CompileCase{"#mod vieww w #mod viewh h #mod evieww 2 #mod eviewh 2 #mod name Bob",
                    {{Op(19, "\x05w "), Op(19, "\x06h "), Op(19, "\x07" "2 "), Op(19, "\x08" "2 "),
                      Op(19, "\x09" "Bob ")}}},
        CompileCase{"#get posx x #get name n", {{Op(20, std::string(1, '\0') + "x "), Op(20, "\x09n ")}}},
        CompileCase{"#get char 1 2 c #get fg 1 2 f #get bg 0 0 b #get attrib x y a",
                    {{Op(20, "\x0a" "1 2 c "), Op(20, "\x0b" "1 2 f "), Op(20, "\x0c" "0 0 b "),
                      Op(20, "\x0dx y a ")}}},
        // Labels, markers and control.
        CompileCase{":touch", {{Op(25, ":touch")}}},
        CompileCase{"'Touch me #end", {{Op(25, "'Touch")}}},
        CompileCase{"#zap Touch #restore TOUCH @Hit", {{Op(36, "touch "), Op(37, "touch "), Op(48, "hit ")}}},
        CompileCase{".parent @hit #end", {{Op(48, "hit "), Op(53)}}},
        // Text lines.
        CompileCase{"Hello world", {{Op(26, "\"Hello world\"")}}},
        CompileCase{"\"Quoted\" text", {{Op(26, "\"Quoted\" text")}}},
        CompileCase{"12 monkeys\n#end", {{Op(26, "\"12 monkeys\"")}, {Op(53)}}},
        CompileCase{"#end Bye now", {{Op(53), Op(26, "\"Bye now\"")}}},
        CompileCase{"  indented", {{Op(26, "\"  indented\"")}}},
        CompileCase{"#end\n    #die", {{Op(53)}, {Op(52)}}},
        // Conditions.
        CompileCase{"#if not blocked n /n", {{Op(46, "\x01\x06" "9I"), Op(14, "9")}}},
        CompileCase{"#if NOT contact", {{Op(46, "\x01\x05")}}},
        CompileCase{"#if key1 #give gems 1", {{Op(46, std::string("\0\x02key1 ", 7)), Op(39, "gems 1 ")}}},
        CompileCase{"#if Contact #end", {{Op(46, std::string("\0\x02" "Contact ", 10)), Op(53)}}},
        CompileCase{"#if contact #if aligned #if aligndir e #end",
                    {{Op(46, std::string("\0\x05", 2)), Op(46, std::string("\0\x03", 2)), Op(46, std::string("\0\x04<I", 4)),
                      Op(53)}}},
        CompileCase{"#if inside #if above #if below",
                    {{Op(46, std::string("\0\x08", 2)), Op(46, std::string("\0\x09", 2)),
                      Op(46, std::string("\0\x0a", 2))}}},
        CompileCase{"#if range 5 #if state touch #if scope .door #end",
                    {{Op(46, std::string("\0\x0b" "5", 3)), Op(46, std::string("\0\x0ctouch", 7)),
                      Op(46, std::string("\0\x0d.door", 7)), Op(53)}}},
        CompileCase{"#if any 0 -1 -1 1 #end", {{Op(46, std::string("\0\x07" "0 -1 -1 1 ", 12)), Op(53)}}},
        CompileCase{"#ifex score >= 100 #end", {{Op(47, "score \x03" "100 "), Op(53)}}},
        CompileCase{"#ifex a < b #ifex a > b #ifex a <= b",
                    {{Op(47, std::string("a \0b ", 5)), Op(47, "a \x01" "b "), Op(47, "a \x02" "b ")}}},
        CompileCase{"#ifex a == b #ifex a != b", {{Op(47, "a \x04" "b "), Op(47, "a \x05" "b ")}}},
        // Repeats.
        CompileCase{"/n &3\n/n &1\n/n &0 &-4", {{Op(14, "9"), Op(14, "9"), Op(14, "9")}, {Op(14, "9")}, {Op(14, "9")}}},
        CompileCase{"&3\n#end", {{Op(53)}}},
        CompileCase{"#give a 1 &2 /s", {{Op(39, "a 1 "), Op(39, "a 1 "), Op(14, ":")}}},
        // Line structure.
        CompileCase{"\n\n#end\n\n\n#die\n", {{Op(53)}, {Op(52)}}},
        CompileCase{"#end\r\n#die\r#lock", {{Op(53)}, {Op(52)}, {Op(49)}}},
        // A missing argument leaves the line end alone.
        CompileCase{"#song\n#give gems\n#put n\n#if\n#end",
                    {{Op(4)}, {Op(39, "gems ")}, {Op(31, "9I")}, {Op(46, std::string("\0\x02", 2))}, {Op(53)}}},
        CompileCase{"#sound boom", {{Op(6, "boom 0 ")}}}));

TEST(Compiler, ColourWordsGiveTheirNumbers)
{
    const std::pair<const char*, const char*> colours[] = {
        {"dblue", "1"},  {"dgreen", "2"}, {"dcyan", "3"},  {"dred", "4"},    {"dpurple", "5"}, {"brown", "6"},
        {"dyellow", "6"}, {"grey", "7"},  {"gray", "7"},   {"dgrey", "8"},   {"dgray", "8"},   {"blue", "9"},
        {"green", "10"}, {"cyan", "11"},  {"red", "12"},   {"purple", "13"}, {"yellow", "14"}, {"white", "15"},
        {"WHITE", "15"}, {"pink", "15"}};
    for (const auto& [word, number] : colours) {
        TestEngine engine;
        const Kobject* node = CompileScript(engine, std::string("#put n ") + word + " x");
        ASSERT_EQ(node->lines.size(), 1u);
        EXPECT_EQ(node->lines[0].commands[0].code, Op(31, std::string("9I") + number + " x ")) << word;
    }
}

TEST(Compiler, CommandWordsCoverEveryOpcodeButTheThreeWithoutWords)
{
    std::vector<int> seen(kOpcodeCount, 0);
    for (const KCommandWord& command : KCommandWords()) {
        if (command.form != KArgForm::Repeat) ++seen[command.opcode];
        EXPECT_EQ(KFindCommand(command.word), &command);
    }
    for (int op = 0; op < kOpcodeCount; ++op) {
        const bool wordless = op == kOpMarker || op == kOpText || op == kOpMessage;
        EXPECT_EQ(seen[static_cast<size_t>(op)], wordless ? 0 : 1) << op;
    }
    EXPECT_EQ(KFindCommand("#Walk"), nullptr);
}

TEST(Compiler, LabelsMakeMarkersAndKeyMarkers)
{
    TestEngine engine;
    const Kobject* node = CompileScript(engine, "#end\n:touch\n#end\n'Touch me\n/n :KEY_SPACE &2\n' a note");
    ASSERT_EQ(node->markers.size(), 5u);
    const auto marker = [&](size_t i) {
        const KMarker& m = node->markers[i];
        return m.name + "," + std::to_string(m.line) + "," + std::to_string(m.command) + "," + std::to_string(m.active);
    };
    EXPECT_EQ(marker(0), "touch,1,0,1");
    EXPECT_EQ(marker(1), "touch,3,0,0");
    EXPECT_EQ(marker(2), "key_space,4,1,1");
    EXPECT_EQ(marker(3), "key_space,4,2,1") << "a repeated label adds a marker at the copy";
    EXPECT_EQ(marker(4), ",5,0,0") << "a comment is a switched-off label with an empty name";
    ASSERT_EQ(node->keyMarkers.size(), 3u);
    EXPECT_EQ(node->keyMarkers[0].input, 75);
    EXPECT_EQ(node->keyMarkers[0].marker, 2);
    EXPECT_EQ(node->keyMarkers[1].input, 75);
    EXPECT_EQ(node->keyMarkers[1].marker, 3);
    EXPECT_EQ(node->keyMarkers[2].input, 0) << "slot 0 is never pressed";
    EXPECT_EQ(node->keyMarkers[2].marker, 4);
    EXPECT_EQ(node->lines[4].commands[1].code, Op(25, ":KEY_SPACE")) << "the code keeps the label as written";
}

TEST(Compiler, AddressesTargetTheNextCommandOnly)
{
    TestEngine engine;
    const Kobject* node = CompileScript(engine, ".parent @hit #end\n.Door\n#die :x /n\n.a .b Hi");
    ASSERT_EQ(node->lines.size(), 3u);
    EXPECT_EQ(node->lines[0].commands[0].target, ".parent");
    EXPECT_EQ(node->lines[0].commands[1].target, ".self");
    EXPECT_EQ(node->lines[1].commands[0].target, ".Door") << "a pending address outlives the line end";
    EXPECT_EQ(node->lines[1].commands[1].target, ".self");
    EXPECT_EQ(node->lines[1].commands[2].target, ".self");
    EXPECT_EQ(node->lines[2].commands[0].target, ".self") << "text lines ignore the pending address";
}

TEST(Compiler, CompilingAgainReplacesTheProgramMarkersAndKeyMarkers)
{
    TestEngine engine;
    Kobject* node = CompileScript(engine, ":key_a\n#end");
    EXPECT_EQ(node->currentLine, 0) << "a program starts at line 0";
    Kcompiler compiler;
    compiler.Compile(*node);
    EXPECT_EQ(node->markers.size(), 1u);
    EXPECT_EQ(node->keyMarkers.size(), 1u);
    node->currentCommand = 3;
    node->source.clear();
    compiler.Compile(*node);
    EXPECT_TRUE(node->lines.empty() && node->markers.empty() && node->keyMarkers.empty());
    EXPECT_EQ(node->currentLine, -1) << "no lines: no program";
}

TEST(Compiler, CompilesChildrenDepthFirst)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 4, 4);
    Kobject* a = engine.AddObject(*board, "a", 1, 1, 5);
    Kobject* a1 = engine.AddObject(*a, "a1", 1, 1);
    Kobject* b = engine.AddObject(*board, "b2", 1, 1, 1);
    for (Kobject* node : {board, a, a1, b}) node->source = "#end";
    TraceCapture trace;
    Kcompiler compiler;
    compiler.Compile(*board);
    for (Kobject* node : {board, a, a1, b}) EXPECT_EQ(node->lines.size(), 1u) << node->name;
    const size_t pa = trace.text.find("Compiling: a -");
    const size_t pa1 = trace.text.find("Compiling: a1 -");
    const size_t pb = trace.text.find("Compiling: b2 -");
    EXPECT_LT(pa, pa1);
    EXPECT_LT(pa1, pb);
}

TEST(Compiler, RepeatsStopAtTheBudget)
{
    TestEngine engine;
    const Kobject* node = CompileScript(engine, "/n &2000000000\n:a &3", "door");
    ASSERT_EQ(node->lines.size(), 2u);
    const size_t cost = Kcompiler::CopyCost(node->lines[0].commands[0]);
    EXPECT_EQ(node->lines[0].commands.size(), 1 + Kcompiler::RepeatBudgetFor(20) / cost);
    EXPECT_EQ(node->lines[1].commands.size(), 1u) << "the budget is spent";
    ASSERT_EQ(engine.Reports().size(), 2u);
    EXPECT_EQ(engine.notices[0].caption, "Error in door at 1");
    EXPECT_EQ(engine.notices[0].body, "Repeat count too large: 2000000000");
    EXPECT_EQ(engine.notices[1].body, "Repeat count too large: 3");
}

TEST(Compiler, EveryScriptHasARepeatBudgetOfItsOwn)
{
    // A crowded board of ordinary objects compiles every one of them whole.
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    for (int i = 0; i < 6000; ++i) engine.AddObject(*board, "o", 1, 1)->source = "/n &10";
    Kcompiler compiler;
    compiler.Compile(*board);
    for (const auto& object : board->children) ASSERT_EQ(object->lines[0].commands.size(), 10u);
    EXPECT_TRUE(engine.Reports().empty());
}

// Nodes whose scripts are the same text share one compiled program (each
// keeps labels of its own); a script that only looks alike (same length,
// same beginning and end) and one that reports an error compile on their own.
TEST(Compiler, ScriptsOfOneTextShareTheirProgramAndNoOthersDo)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    const std::string same = ":start\n#give score 1\n#give apple 2\n#give score 3\n#end";
    const std::string alike = ":start\n#give score 1\n#give pearl 2\n#give score 3\n#end";
    const char* scripts[] = {same.c_str(), same.c_str(), alike.c_str(), "#foo", "#foo"};
    for (const char* script : scripts) engine.AddObject(*board, "o", 1, 1)->source = script;
    Kcompiler compiler;
    compiler.Compile(*board);
    const auto& nodes = board->children;
    EXPECT_TRUE(nodes[1]->lines.SameAs(nodes[0]->lines));
    EXPECT_FALSE(nodes[1]->markers.SameAs(nodes[0]->markers)) << "labels are each node's own";
    ASSERT_FALSE(nodes[2]->lines.SameAs(nodes[0]->lines));
    ASSERT_EQ(nodes[2]->lines.size(), 5u);
    EXPECT_EQ(nodes[2]->lines[2].commands[0].code.substr(1), "pearl 2 ");
    EXPECT_EQ(nodes[0]->lines[2].commands[0].code.substr(1), "apple 2 ");
    EXPECT_EQ(engine.Reports().size(), 2u) << "each script with an error reports it";
}

TEST(Compiler, ProgramsPastTheirBoundsAreRefusedNamingTheScript)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    engine.AddObject(*board, "big", 1, 1)->source = ":a\n/n &1000\n#set after 1";
    for (const char* name : {"one", "two", "three", "four"}) engine.AddObject(*board, name, 1, 1)->source = "/n &30";
    Kcompiler compiler;
    compiler.SetProgramBounds(10000, 7000);
    compiler.Compile(*board);
    const std::vector<std::string> reports = engine.Reports();
    ASSERT_EQ(reports.size(), 3u) << testing::PrintToString(reports);
    EXPECT_EQ(engine.notices[0].caption, "Error in big at 2");
    EXPECT_EQ(reports[0], "Script too large: its program passes 10000 bytes");
    EXPECT_TRUE(board->children[0]->lines.empty() && board->children[0]->markers.empty()) << "none of it runs";
    EXPECT_EQ(board->children[0]->currentLine, -1);
    EXPECT_EQ(board->children[2]->lines.size(), 1u) << "the refused script does not count against the others";
    EXPECT_EQ(reports[1], "Scripts too large: the world's programs pass 7000 bytes");
    EXPECT_TRUE(board->children[3]->lines.empty() && board->children[4]->lines.empty());
}

TEST(Compiler, TracesCompilationAsItGoes)
{
    TestEngine engine;
    TraceCapture trace;
    CompileScript(engine, ":key_a\n#end\n@go\n&2 hi", "obj");
    EXPECT_EQ(trace.text,
              "----------- Compiling: obj -----------\n"
              "GetToken: (:key_a)\n"
              "MRK *** Line 0, Com 0\n"
              "Adding Marker key_a,0,0,1\n"
              "New Key Marker ... Finished\n"
              "Finished Adding Marker key_a,0,0,1\n"
              "GetToken: (EOL)\n"
              "GetToken: (#end)\n"
              "** command #end **\n"
              "GetToken: (EOL)\n"
              "GetToken: (go)\n"
              "-- Message --\n"
              "GetToken: (EOL)\n"
              "GetToken: (&)\n"
              "** repeat operator **\n"
              "GetToken: (2)\n"
              "GetToken: (hi)\n"
              "** command text **\n"
              "GetToken: (EOP)\n"
              "----------------- Finished Compiling ( obj,0 )\n");
    trace.text.clear();
    CompileScript(engine, "/n ?s");
    EXPECT_NE(trace.text.find("** command / **\n"), std::string::npos);
    EXPECT_NE(trace.text.find("** command ? **\n"), std::string::npos);
}

// --- Compile errors ---------------------------------------------------------------

struct ErrorCase {
    std::string source;
    std::vector<std::string> reports;  // "LINE: MESSAGE"
    Codes lines;
};

class CompileErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(CompileErrors, AreReportedWithNodeAndLine)
{
    TestEngine engine;
    std::vector<KCompileError> collected;
    Kobject* node = engine.AddBoard("door", 1, 1);
    node->source = GetParam().source;
    Kcompiler compiler;
    compiler.CollectErrors(&collected);
    compiler.Compile(*node);
    std::vector<std::string> got;
    for (const CapturedNotice& notice : engine.notices) {
        const std::string prefix = "Error in door at ";
        ASSERT_EQ(notice.caption.rfind(prefix, 0), 0u) << notice.caption;
        got.push_back(notice.caption.substr(prefix.size()) + ": " + notice.body);
    }
    EXPECT_EQ(got, GetParam().reports) << GetParam().source;
    ASSERT_EQ(collected.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(collected[i].node, "door");
        EXPECT_EQ(std::to_string(collected[i].line) + ": " + collected[i].message, got[i]);
    }
    EXPECT_EQ(CodesOf(*node), GetParam().lines) << Describe(CodesOf(*node));
}

INSTANTIATE_TEST_SUITE_P(
    Compiler, CompileErrors,
    testing::Values(
        ErrorCase{"#foo", {"1: Bad command: #foo"}, {}},
        ErrorCase{"#end\n\n:x #Foo\n", {"3: Bad command: #foo"}, {{Op(53)}, {Op(25, ":x")}}},
        ErrorCase{"#end\r\n\r\n#foo", {"3: Bad command: #foo"}, {{Op(53)}}},
        ErrorCase{"#end\r\r#foo", {"3: Bad command: #foo"}, {{Op(53)}}},
        ErrorCase{"#cycle :x\n#cyclef @x\n#cycle\n#end",
                  {"1: Bad #cycle command param type: :x", "2: Bad #cyclef command param type: x",
                   "3: Bad #cycle command param type: EOL"},
                  {{Op(27)}, {Op(28)}, {Op(27)}, {Op(53)}}},
        ErrorCase{"#mod size 3\n#mod posx :x\n#get size v\n#get evieww v\n#get posx 5\n#mod evieww",
                  {"1: Bad #mod command param: size", "2: Bad #mod command param type: :x",
                   "3: Bad #get command param: size", "4: Bad #get command param: evieww",
                   "5: Bad #get command param type: 5", "6: Bad #mod command param type: EOP"},
                  {{Op(19, "3 ")}, {Op(19, std::string(1, '\0'))}, {Op(20, "v ")}, {Op(20, "v ")},
                   {Op(20, std::string("\0" "5 ", 3))}, {Op(19, "\x07")}}},
        ErrorCase{"#focus 1\n#take 2 1\n#give :g 1\n#set 3\n#rand 4 6",
                  {"1: Bad var type: 1", "2: Bad var type: 2", "3: Bad var type: :g", "4: Bad var type: 3",
                   "5: Bad var type: 4"},
                  {{Op(34, "1 ")}, {Op(38, "2 1 ")}, {Op(39, ":g 1 ")}, {Op(40, "3 ")}, {Op(42, "4 6 ")}}},
        ErrorCase{"#div 1 a b\n#mul 2 a b\n#clear 3\n#notify 4\n#denotify 5",
                  {"1: Bad var type: 1", "2: Bad var type: 2", "3: Bad var type: 3", "4: Bad var type: 4",
                   "5: Bad var type: 5"},
                  {{Op(43, "1 a b ")}, {Op(44, "2 a b ")}, {Op(41, "3 ")}, {Op(10, "4 ")}, {Op(11, "5 ")}}},
        ErrorCase{"#bind 5", {"1: Bad input type: 5"}, {{Op(29, "5 ")}}},
        ErrorCase{"#collide bounce\n#collide 5\n#enterable maybe\n#enterable 1",
                  {"1: Bad #collide command param: bounce", "2: Bad #collide command param type: 5",
                   "3: Bad #enterable command param: maybe", "4: Bad #enterable command param type: 1"},
                  {{Op(12)}, {Op(12)}, {Op(13, std::string(1, '\0'))}, {Op(13, std::string(1, '\0'))}}},
        ErrorCase{"#zap 5\n#restore :a", {"1: Bad zap type: 5", "2: Bad zap type: :a"},
                  {{Op(36, "5 ")}, {Op(37, ":a ")}}},
        ErrorCase{"#ifex a =< b #end\n#ifex a 5 b\n/n &x\n/n &\n#end",
                  {"1: Bad compare param: =<", "2: Bad token type: 5", "3: Bad repeat type: x", "4: Bad repeat type: EOL"},
                  {{Op(47, "a b "), Op(53)}, {Op(47, "a b ")}, {Op(14, "9")}, {Op(14, "9")}, {Op(53)}}}));

}  // namespace

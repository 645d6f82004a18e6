#include "Kcompiler.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Every token of the source as "kind:text", joined by "|", up to and
// including the first end of program.
std::string Tokens(std::string_view source)
{
    Kcompiler compiler;
    compiler.SetSource(source);
    std::string out;
    for (int guard = 0; guard < 1000; ++guard) {
        const KToken token = compiler.GetToken();
        if (!out.empty()) out += "|";
        out += std::to_string(token.kind) + ":" + token.text;
        if (token.kind == kTokEndOfProgram) break;
    }
    return out;
}

struct LexCase {
    std::string source;
    std::string tokens;
};

class LexerCases : public testing::TestWithParam<LexCase> {};

TEST_P(LexerCases, GivesTheTokens)
{
    EXPECT_EQ(Tokens(GetParam().source), GetParam().tokens) << "source: " << GetParam().source;
}

INSTANTIATE_TEST_SUITE_P(
    Lexer, LexerCases,
    testing::Values(
        LexCase{"", "9:EOP"},
        LexCase{"#Walk N", "2:#walk|6:N|9:EOP"},
        LexCase{"# x", "2:#|6:x|9:EOP"},
        LexCase{"#a_B9", "2:#a_b|1:9|9:EOP"},
        LexCase{"/n/e", "2:/|6:n|2:/|6:e|9:EOP"},
        LexCase{"?n &3", "2:?|6:n|2:&|1:3|9:EOP"},
        LexCase{"12abc", "1:12|6:abc|9:EOP"},
        LexCase{"-", "1:-|9:EOP"},
        LexCase{"-12-3", "1:-12|1:-3|9:EOP"},
        LexCase{"a.b:c", "6:a.b:c|9:EOP"},
        LexCase{"a'b-9\tc", "6:a'b-9\tc|9:EOP"},
        LexCase{"a/b", "6:a|2:/|6:b|9:EOP"},
        LexCase{"ab#cd", "6:ab|2:#cd|9:EOP"},
        LexCase{"x<=y !=", "6:x<=y|6:!=|9:EOP"},
        LexCase{"@Hit.me", "4:Hit.me|9:EOP"},
        LexCase{"@", "4:|9:EOP"},
        LexCase{".Parent @x", "5:.Parent|4:x|9:EOP"},
        LexCase{":Touch", "3::Touch|9:EOP"},
        LexCase{"'note here", "3:'note|6:here|9:EOP"},
        LexCase{"\"a b\" c", "6:\"a b\"|6:c|9:EOP"},
        LexCase{"\"ab\ncd", "6:\"ab\ncd|9:EOP"},
        LexCase{"ab\"c d\"", "6:ab|6:\"c d\"|9:EOP"},
        LexCase{"a\n\nb", "6:a|8:EOL|6:b|9:EOP"},
        LexCase{"a\r\n\r\nb\r", "6:a|8:EOL|6:b|8:EOL|9:EOP"},
        LexCase{" abc", "6: abc|9:EOP"},
        LexCase{"   abc", "6: |6:abc|9:EOP"},
        LexCase{"x\n  #set b 2", "6:x|8:EOL|2:#set|6:b|1:2|9:EOP"},
        LexCase{"x\n\t#end", "6:x|8:EOL|6:\t|2:#end|9:EOP"},
        LexCase{"#end   \n#die", "2:#end|8:EOL|2:#die|9:EOP"},
        LexCase{"\xff\x80 \x01", "6:\xff\x80|6:\x01|9:EOP"},
        LexCase{std::string("a\0b", 3), std::string("6:a\0b|9:EOP", 11)}));

TEST(Lexer, TokensKnowWhereTheyStartTheEndRepeatsAndTheRestOfALineRereads)
{
    Kcompiler compiler;
    compiler.SetSource("#give  a\n:b");
    for (const size_t start : {0u, 7u, 8u, 9u}) EXPECT_EQ(compiler.GetToken().start, start);
    for (int i = 0; i < 3; ++i) {
        const KToken token = compiler.GetToken();
        EXPECT_EQ(token.kind, kTokEndOfProgram);
        EXPECT_EQ(token.text, "EOP");
    }

    // The rest of a line is read again from a token's start, up to the line end.
    compiler.SetSource("Hello  big world\r\nnext");
    const KToken first = compiler.GetToken();
    const KToken rest = compiler.GetRestOfLine(first.start);
    EXPECT_EQ(rest.kind, kTokWord);
    EXPECT_EQ(rest.text, "Hello  big world");
    EXPECT_EQ(compiler.GetToken().kind, kTokEndOfLine);
    EXPECT_EQ(compiler.GetToken().text, "next");
    EXPECT_EQ(compiler.GetRestOfLine(1000).text, "") << "a start past the end reads nothing";
}

}  // namespace

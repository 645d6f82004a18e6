#include "KEvaluator.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

void SetVariables(Kinterface& engine)
{
    engine.SetVar("a", 4);
    engine.SetVar("min", kMin);
    engine.SetVar("big", kMax);
    engine.SetVarString("t", "hello");
    engine.SetVarString("n", "-7");
}

struct EvalCase {
    std::string code;
    int32_t cursor;
    bool resolve;
    int32_t kind;
    int32_t value;       // the integer result, for kind 0
    std::string text;    // the text result, for kind 1
    int32_t nextCursor;
};

class Evaluations : public testing::TestWithParam<EvalCase> {};

TEST_P(Evaluations, GiveTheValueAndMoveTheCursor)
{
    TestEngine engine;
    SetVariables(*engine);
    KEvaluator evaluator(*engine);
    const EvalCase& c = GetParam();
    int32_t cursor = c.cursor;
    evaluator.Evaluate(c.code, cursor, c.resolve);
    EXPECT_EQ(evaluator.ResultKind(), c.kind) << c.code;
    if (c.kind == KEvaluator::kInteger) {
        EXPECT_EQ(evaluator.IntResult(), c.value) << c.code;
    } else {
        EXPECT_EQ(evaluator.TextResult(), c.text) << c.code;
    }
    EXPECT_EQ(cursor, c.nextCursor) << c.code;
}

constexpr int kInt = KEvaluator::kInteger;
constexpr int kTxt = KEvaluator::kText;

INSTANTIATE_TEST_SUITE_P(
    Evaluator, Evaluations,
    testing::Values(
        // Plain numbers and texts.
        EvalCase{"5 ", 0, true, kInt, 5, "", 2},
        EvalCase{"\x1b" "12 7", 1, true, kInt, 12, "", 4},
        EvalCase{"-5", 0, true, kInt, -5, "", 2},
        EvalCase{"-", 0, true, kInt, 0, "", 1},
        EvalCase{"12abc x", 0, true, kInt, 12, "", 6},
        EvalCase{"\"12abc\"", 0, true, kInt, 12, "", 7},
        EvalCase{"\"-5\"", 0, true, kInt, -5, "", 4},
        EvalCase{"99999999999", 0, true, kInt, kMax, "", 11},
        EvalCase{"hello", 0, true, kTxt, 0, "hello", 5},
        EvalCase{"\"hello world\"  x", 0, false, kTxt, 0, "hello world", 15},
        EvalCase{"\"a\\\"b\\\\c\" x", 0, false, kTxt, 0, "a\"b\\c", 10},
        EvalCase{"\"unclosed text", 0, false, kTxt, 0, "unclosed text", 14},
        EvalCase{"\"ab\\", 0, false, kTxt, 0, "ab\\", 4},
        EvalCase{"ab\"c d\"e", 0, false, kTxt, 0, "ab\"c d\"", 7},
        EvalCase{"\"" + std::string(5000, 'x') + "\"", 0, false, kTxt, 0, std::string(5000, 'x'), 5002},
        EvalCase{"", 0, true, kTxt, 0, "", 0},
        EvalCase{"  x", 0, true, kTxt, 0, "", 2},
        // Variables.
        EvalCase{"a", 0, true, kInt, 4, "", 1},
        EvalCase{"a", 0, false, kTxt, 0, "a", 1},
        EvalCase{"t x", 0, true, kTxt, 0, "hello", 2},
        EvalCase{"n", 0, true, kTxt, 0, "-7", 1},
        EvalCase{"\"a\"", 0, true, kInt, 4, "", 3},
        EvalCase{"A", 0, true, kTxt, 0, "A", 1},
        // Expressions.
        EvalCase{"(a+1)", 0, true, kInt, 5, "", 5},
        EvalCase{"(a+1)*2 x", 0, true, kInt, 10, "", 8},
        EvalCase{"\"2 + 3 * 4\" x", 0, true, kInt, 20, "", 12},
        EvalCase{"(2 * ( 3 + 4 )) x", 0, true, kInt, 14, "", 16},
        EvalCase{"\"2 * ( 3 + 4 )\"", 0, true, kInt, 14, "", 15},
        EvalCase{"(7 % 3 * 2)", 0, true, kInt, 2, "", 11},
        EvalCase{"(-7 % 3)", 0, true, kInt, -1, "", 8},
        EvalCase{"(7/-2)", 0, true, kInt, -3, "", 6},
        EvalCase{"\"a+b\"", 0, false, kInt, 4, "", 5},
        EvalCase{"\"5-3\"", 0, true, kInt, 2, "", 5},
        EvalCase{"a-1", 0, true, kInt, -1, "", 3},
        EvalCase{"(t+2)", 0, true, kInt, 2, "", 5},
        EvalCase{"(n*2)", 0, true, kInt, -14, "", 5},
        EvalCase{"(12abc+1)", 0, true, kInt, 13, "", 9},
        // Corners that must give a value.
        EvalCase{"(1/0)", 0, true, kInt, 0, "", 5},
        EvalCase{"(1%0)", 0, true, kInt, 0, "", 5},
        EvalCase{"(min/-1)", 0, true, kInt, kMin, "", 8},
        EvalCase{"(min%-1)", 0, true, kInt, 0, "", 8},
        EvalCase{"(big+1)", 0, true, kInt, kMin, "", 7},
        EvalCase{"(big*big)", 0, true, kInt, 1, "", 9},
        EvalCase{"(-5+3)", 0, true, kInt, -2, "", 6},
        EvalCase{"((2+3)", 0, true, kInt, 5, "", 6},
        EvalCase{"(2+3))", 0, true, kInt, 5, "", 6},
        EvalCase{"(2+)", 0, true, kInt, 2, "", 4},
        EvalCase{"(+)", 0, true, kInt, 0, "", 3},
        EvalCase{"(2 + ( 3 4 ) )", 0, true, kInt, 4, "", 14},
        EvalCase{"(", 0, true, kInt, 0, "", 1},
        // An expression ends at a space once its parentheses are closed.
        EvalCase{"(a+1) \x04" "5 ", 0, true, kInt, 5, "", 6},
        // A cursor outside the code reads an empty argument at the end.
        EvalCase{"abc", -3, true, kTxt, 0, "", 3},
        EvalCase{"abc", 9, true, kTxt, 0, "", 3}));

TEST(Evaluator, MoreThanAHundredTokensAreCut)
{
    TestEngine engine;
    KEvaluator evaluator(*engine);
    std::string code = "(";
    for (int i = 0; i < 80; ++i) code += "1+";
    code += "1) 9";
    int32_t cursor = 0;
    // 100 tokens: fifty ones and fifty plus signs; the last plus waits.
    EXPECT_EQ(evaluator.GetIntArg(code, cursor), 50);
    EXPECT_EQ(evaluator.GetIntArg(code, cursor), 9) << "the rest of the expression is passed over";
}

TEST(Evaluator, IntAndStringArguments)
{
    TestEngine engine;
    SetVariables(*engine);
    KEvaluator evaluator(*engine);
    const std::string code = "\x27" "\"12abc\" -5 nothing t \"hello world\" hello (a+1) t";
    int32_t cursor = 1;
    EXPECT_EQ(evaluator.GetIntArg(code, cursor), 12);
    EXPECT_EQ(evaluator.GetIntArg(code, cursor), -5);
    EXPECT_EQ(evaluator.GetIntArg(code, cursor), 0);
    EXPECT_EQ(evaluator.GetIntArg(code, cursor), 0) << "a text variable converts by its leading digits";
    EXPECT_EQ(evaluator.GetStrArg(code, cursor, false), "hello world");
    EXPECT_EQ(evaluator.GetStrArg(code, cursor, false), "hello");
    EXPECT_EQ(evaluator.GetStrArg(code, cursor, true), "5");
    EXPECT_EQ(evaluator.GetStrArg(code, cursor, true), "hello");
    EXPECT_EQ(static_cast<size_t>(cursor), code.size());
}

TEST(Evaluator, ReadingAVariableInAnExpressionConvertsItsText)
{
    TestEngine engine;
    engine->SetVarString("n", "12");
    KEvaluator evaluator(*engine);
    int32_t cursor = 0;
    EXPECT_EQ(evaluator.GetIntArg("(n+1)", cursor), 13);
    EXPECT_FALSE(engine->vVariables.IsString("n"));
    EXPECT_FALSE(engine->vVariables.Exists("x")) << "evaluating never creates variables";
    cursor = 0;
    evaluator.GetIntArg("(x+1)", cursor);
    EXPECT_FALSE(engine->vVariables.Exists("x"));
}

TEST(Evaluator, TracesTheExpressionMachine)
{
    TestEngine engine;
    KEvaluator evaluator(*engine);
    TraceCapture trace;
    int32_t cursor = 0;
    evaluator.GetIntArg("(2*(3+4))", cursor);
    EXPECT_EQ(trace.text,
              "PUSH: 2\nPUSH: *\nEVAL: ON\nPUSH: (\nEVAL: OFF\nPUSH: 3\nPUSH: +\nEVAL: ON\nPUSH: 4\n"
              "First: 3\nOp: +\nSecond: 4\nRESULT: 7\nPUSH: )\nFirst: 2\nOp: *\nSecond: 7\nRESULT: 14\nPUSH: )\n");
}

}  // namespace

#pragma once
// The argument evaluator: reads one textual argument of a compiled command
// at a time (a number, a quoted text, a word that may name a variable, or an
// integer expression) and leaves its value in the evaluator. One evaluator
// serves a whole program; it reads variables through the engine root.
//
// Expressions apply their operators strictly left to right as each second
// operand arrives; an opening parenthesis delays the pending operator until
// its closing one. The corners are settled so that any bytes give a value:
//   - division or remainder by zero gives 0; INT_MIN / -1 wraps to INT_MIN
//     and INT_MIN % -1 gives 0; +, - and * wrap around in 32 bits;
//   - an operator with no operand before it takes 0 there, so a leading
//     minus negates ("-5" reads as 0 - 5);
//   - a closing parenthesis with nothing to close, or an opening one never
//     closed, changes nothing but the order described above;
//   - only the first 100 expression tokens are read; the rest of the
//     expression is passed over;
//   - the value is that of the topmost operand left on the stack (0 when
//     there is none); the closing quote of a quoted expression is passed over.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Kinterface;

class KEvaluator {
public:
    enum : int32_t { kInteger = 0, kText = 1 };
    static constexpr int kMaxExpressionTokens = 100;

    explicit KEvaluator(Kinterface& engine) : engine_(engine) {}

    // Reads one argument of code from cursor on and moves cursor past it and
    // the spaces after it. With resolve, a bare word that names a variable
    // gives the variable's value. A cursor outside the code reads an empty
    // argument at the end.
    void Evaluate(std::string_view code, int32_t& cursor, bool resolve);
    // The argument as an integer (variables resolved); text converts by its
    // leading digits, 0 when there are none.
    int32_t GetIntArg(std::string_view code, int32_t& cursor);
    // The argument as text; an integer comes out in decimal.
    std::string GetStrArg(std::string_view code, int32_t& cursor, bool resolve);

    // How the last argument was written: a bare number, a bare word (that
    // may name a variable), or anything else (quoted, an expression).
    enum Form : int32_t { kOtherForm = 0, kBareNumber = 1, kBareWord = 2 };
    Form LastForm() const { return lastForm_; }
    // The bare number or word last read, viewed in the code it was read from.
    std::string_view LastBare() const { return lastBare_; }

    int32_t ResultKind() const { return kind_; }
    int32_t IntResult() const { return intResult_; }
    const std::string& TextResult() const { return textResult_; }

private:
    struct Entry {
        bool isOperator = false;
        char op = 0;
        int32_t value = 0;
        std::string text;  // kept only while tracing
    };
    struct Extent {
        size_t end = 0;
        bool expression = false;
        size_t closingQuote = std::string_view::npos;
    };

    static Extent ScanArgument(std::string_view code, size_t start);
    static size_t ExpressionEnd(std::string_view code, size_t start);
    void ReadText(std::string_view code, size_t start, const Extent& extent, bool resolve);
    void ReadExpression(std::string_view code, size_t start, size_t end);
    void PushToken(std::string_view token);
    void PushOperand(std::string_view token);
    void ReduceIfDue();
    int32_t OperandValue(std::string_view token);

    Kinterface& engine_;
    int32_t kind_ = kInteger;
    int32_t intResult_ = 0;
    std::string textResult_;
    std::vector<Entry> stack_;
    bool evaluating_ = false;
    Form lastForm_ = kOtherForm;
    std::string_view lastBare_;
};

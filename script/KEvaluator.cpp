#include "KEvaluator.h"

#include "KTrace.h"
#include "KVariables.h"
#include "Kinterface.h"

#include <limits>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == '%'; }
bool MarksExpression(char c) { return c == '%' || c == '(' || c == ')' || c == '*' || c == '+' || c == '/'; }
bool IsSingleCharToken(char c) { return IsOperator(c) || c == '(' || c == ')' || c == '"'; }

size_t SkipSpaces(std::string_view code, size_t at)
{
    while (at < code.size() && code[at] == ' ') ++at;
    return at;
}

// 32-bit arithmetic that never traps: sums, differences and products wrap,
// division and remainder by zero give 0.
int32_t Apply(int32_t first, char op, int32_t second)
{
    const auto a = static_cast<uint32_t>(first);
    const auto b = static_cast<uint32_t>(second);
    switch (op) {
    case '+': return static_cast<int32_t>(a + b);
    case '-': return static_cast<int32_t>(a - b);
    case '*': return static_cast<int32_t>(a * b);
    case '/':
        if (second == 0) return 0;
        if (second == -1) return static_cast<int32_t>(0u - a);
        return first / second;
    case '%':
        if (second == 0 || second == -1) return 0;
        return first % second;
    default: return second;
    }
}

}  // namespace

// Decides the form of the argument at start: where it ends and whether it is
// an expression. A space outside quotes or the second double quote ends it; a
// backslash passes over the character after it.
KEvaluator::Extent KEvaluator::ScanArgument(std::string_view code, size_t start)
{
    Extent extent;
    bool quoted = false;
    int quotes = 0;
    size_t at = start;
    while (at < code.size()) {
        const char c = code[at];
        if (c == '\\') {
            at += 2;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            if (++quotes == 2) {
                extent.closingQuote = at;
                ++at;
                break;
            }
        } else if (c == ' ' && !quoted) {
            break;
        } else if (MarksExpression(c)) {
            extent.expression = true;
        } else if (c == '-') {
            const size_t offset = at - start;
            if ((!quoted && offset > 0) || (quoted && offset > 1)) extent.expression = true;
        }
        ++at;
    }
    extent.end = at < code.size() ? at : code.size();
    return extent;
}

// An expression runs on over spaces while a parenthesis is open, so both
// "(a+1)*2" and "(2 * ( 3 + 4 ))" are one argument; a space outside quotes
// with every parenthesis closed, or the second double quote, ends it.
size_t KEvaluator::ExpressionEnd(std::string_view code, size_t start)
{
    int depth = 0;
    bool quoted = false;
    int quotes = 0;
    size_t at = start;
    while (at < code.size()) {
        const char c = code[at];
        if (c == '"') {
            quoted = !quoted;
            if (++quotes == 2) return at + 1;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ' ' && !quoted && depth <= 0) {
            return at;
        }
        ++at;
    }
    return code.size();
}

void KEvaluator::Evaluate(std::string_view code, int32_t& cursor, bool resolve)
{
    const size_t start = cursor >= 0 && static_cast<size_t>(cursor) <= code.size() ? static_cast<size_t>(cursor)
                                                                                   : code.size();
    const Extent extent = ScanArgument(code, start);
    lastForm_ = kOtherForm;
    size_t end = extent.end;
    if (extent.expression) {
        end = ExpressionEnd(code, start);
        ReadExpression(code, start, end);
    } else {
        ReadText(code, start, extent, resolve);
    }
    const size_t next = SkipSpaces(code, end);
    cursor = next <= static_cast<size_t>(std::numeric_limits<int32_t>::max())
                 ? static_cast<int32_t>(next)
                 : std::numeric_limits<int32_t>::max();
}

int32_t KEvaluator::GetIntArg(std::string_view code, int32_t& cursor)
{
    Evaluate(code, cursor, true);
    return kind_ == kInteger ? intResult_ : KTextToInt(textResult_);
}

std::string KEvaluator::GetStrArg(std::string_view code, int32_t& cursor, bool resolve)
{
    Evaluate(code, cursor, resolve);
    return kind_ == kInteger ? std::to_string(intResult_) : textResult_;
}

void KEvaluator::ReadText(std::string_view code, size_t start, const Extent& extent, bool resolve)
{
    // A bare word is read where it stands; only a quoted one is copied out
    // of its quotes, and only a text result is kept as text.
    const bool quoted = start < extent.end && code[start] == '"';
    std::string_view text = code.substr(start, extent.end - start);
    if (quoted) {
        textResult_.clear();
        const size_t close = extent.closingQuote != std::string_view::npos ? extent.closingQuote : extent.end;
        for (size_t at = start + 1; at < close; ++at) {
            if (code[at] == '\\' && at + 1 < close) ++at;  // the next character, taken literally
            textResult_ += code[at];
        }
        text = textResult_;
    }
    if (!quoted) {
        lastBare_ = text;
        lastForm_ = kBareWord;
    }
    if (!text.empty() && (IsDigit(text[0]) || text[0] == '-')) {
        if (!quoted) lastForm_ = kBareNumber;
        kind_ = kInteger;
        intResult_ = KTextToInt(text);
        return;
    }
    kind_ = kText;
    const KVariable* variable = resolve ? engine_.vVariables.Find(text) : nullptr;
    if (variable != nullptr && variable->kind != 1) {
        kind_ = kInteger;
        intResult_ = variable->intValue;
    } else if (variable != nullptr) {
        textResult_ = variable->strValue;
    } else if (!quoted) {
        textResult_.assign(text);
    }
}

// Reading starts one character after the argument's start: an expression is
// written with an opening parenthesis (or quote) that is passed over.
void KEvaluator::ReadExpression(std::string_view code, size_t start, size_t end)
{
    stack_.clear();
    evaluating_ = false;
    size_t at = SkipSpaces(code.substr(0, end), start + 1);
    for (int tokens = 0; at < end && tokens < kMaxExpressionTokens; ++tokens) {
        size_t tokenEnd = at + 1;
        if (!IsSingleCharToken(code[at])) {
            while (tokenEnd < end && code[tokenEnd] != ' ' && !IsSingleCharToken(code[tokenEnd])) ++tokenEnd;
        }
        PushToken(code.substr(at, tokenEnd - at));
        at = SkipSpaces(code.substr(0, end), tokenEnd);
    }
    ReduceIfDue();
    kind_ = kInteger;
    intResult_ = 0;
    for (auto entry = stack_.rbegin(); entry != stack_.rend(); ++entry) {
        if (!entry->isOperator) {
            intResult_ = entry->value;
            break;
        }
    }
    textResult_.clear();
}

void KEvaluator::PushToken(std::string_view token)
{
    KTRACE("PUSH: %.*s\n", static_cast<int>(token.size()), token.data());
    const char c = token[0];
    if (token.size() == 1 && IsOperator(c)) {
        Entry entry;
        entry.isOperator = true;
        entry.op = c;
        if (gKTraceEnabled) entry.text.assign(token);
        stack_.push_back(std::move(entry));
        evaluating_ = true;
        KTRACE("EVAL: ON\n");
        return;
    }
    if (token.size() == 1 && c == '(') {
        evaluating_ = false;
        KTRACE("EVAL: OFF\n");
        return;
    }
    if (token.size() == 1 && c == ')') {
        // The parenthesis counts as stacked for this test.
        if (stack_.size() + 1 > 3) evaluating_ = true;
        ReduceIfDue();
        return;
    }
    if (token.size() == 1 && c == '"') return;  // the closing quote of a quoted expression
    PushOperand(token);
    ReduceIfDue();
}

int32_t KEvaluator::OperandValue(std::string_view token)
{
    if (IsLetter(token[0])) {
        if (KVariable* variable = engine_.vVariables.Find(token)) return KVariables::IntOf(*variable);
    }
    return KTextToInt(token);
}

void KEvaluator::PushOperand(std::string_view token)
{
    Entry entry;
    entry.value = OperandValue(token);
    if (gKTraceEnabled) entry.text = IsLetter(token[0]) && engine_.vVariables.Exists(token)
                                         ? std::to_string(entry.value)
                                         : std::string(token);
    stack_.push_back(std::move(entry));
}

// With evaluation on and an operand on top: first operand, operator, second
// operand become their result. An operator with nothing before it takes 0.
void KEvaluator::ReduceIfDue()
{
    const size_t n = stack_.size();
    if (!evaluating_ || n < 2 || stack_[n - 1].isOperator || !stack_[n - 2].isOperator) return;
    const bool hasFirst = n >= 3 && !stack_[n - 3].isOperator;
    const int32_t first = hasFirst ? stack_[n - 3].value : 0;
    const char op = stack_[n - 2].op;
    const int32_t second = stack_[n - 1].value;
    KTRACE("First: %s\n", hasFirst ? stack_[n - 3].text.c_str() : "0");
    KTRACE("Op: %s\n", stack_[n - 2].text.c_str());
    KTRACE("Second: %s\n", stack_[n - 1].text.c_str());
    stack_.resize(n - (hasFirst ? 3 : 2));
    Entry result;
    result.value = Apply(first, op, second);
    if (gKTraceEnabled) result.text = std::to_string(result.value);
    KTRACE("RESULT: %s\n", result.text.c_str());
    stack_.push_back(std::move(result));
    evaluating_ = false;
}

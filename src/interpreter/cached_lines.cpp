// Expressions of cached lines, read from their tokens. Each step mirrors a
// step of the grammar in expressions.cpp and dispatcher.cpp: the same
// values, variables and built-ins in the same order, and the same messages.
// Only the shape of the line is known in advance; an error that cuts an
// argument list short leaves the grammar to read the rest of the line from
// the point it reached, so that even a line that fails reads on as before.
#include "interpreter/cached_lines.h"

#include <cstdlib>

#include "interpreter/dispatcher.h"
#include "platform/numbers.h"

namespace {

constexpr size_t kNone = size_t(-1);
// Deeper lines are left to the grammar, which bounds its own depth.
constexpr int kMaxNesting = 64;

bool IsChar(const CachedToken& t, char c)
{
    return t.type == TOK_CHAR && t.text[0] == c;
}

bool IsEndOfArgument(const CachedToken& t)
{
    return t.type == TOK_CHAR && (t.text[0] == ',' || t.text[0] == ')');
}

bool IsOperator(const CachedToken& t)
{
    if (t.type != TOK_CHAR)
        return false;
    const char c = t.text[0];
    return c == '.' || c == '*' || c == '/' || c == '+' || c == '-';
}

// The built-ins whose calls a cached line reads: they work on texts, forms,
// files and dates, and neither wait for the window nor end the run.
bool ReadsFromCache(const std::string& word)
{
    static const char* const kWords[] = {
        "substr", "replace", "trim", "host", "domain", "tld", "extract", "formcreate", "formset", "formdel",
        "formget", "linkget", "log", "open", "read", "write", "close", "dat2value", "value2dat", "weekday",
        "day", "month", "year", "print", "filter", "format", "lower", "upper", "size", "length", "instr",
    };
    for (const char* w : kWords)
        if (word == w)
            return true;
    return false;
}

size_t ExprEnd(const std::vector<CachedToken>& tk, size_t k, size_t end, int depth);

// The index after the operand at k, or kNone when it is not one the cached
// reads know.
size_t OperandEnd(const std::vector<CachedToken>& tk, size_t k, size_t end, int depth)
{
    if (k >= end || depth > kMaxNesting)
        return kNone;
    const CachedToken& t = tk[k];
    switch (t.type) {
    case TOK_LITERAL: return k + 1;
    case TOK_IDENT: return k + 1 < end && IsChar(tk[k + 1], '[') ? kNone : k + 1;
    case TOK_CHAR: {
        if (!IsChar(t, '('))
            return kNone;
        const size_t j = ExprEnd(tk, k + 1, end, depth + 1);
        return j < end && IsChar(tk[j], ')') ? j + 1 : kNone;
    }
    case TOK_BUILTIN: {
        const BuiltinEntry* entry = t.builtin ? t.builtin : FindBuiltin(t.text);
        if (!entry || !ReadsFromCache(t.text) || k + 1 >= end || !IsChar(tk[k + 1], '('))
            return kNone;
        t.builtin = entry;
        const BuiltinArity a = ArityOf(*entry);
        int count = 0;
        size_t j = k + 2;
        for (;;) {
            j = ExprEnd(tk, j, end, depth + 1);
            if (j >= end)
                return kNone;
            ++count;
            if (IsChar(tk[j], ')'))
                break;
            if (!IsChar(tk[j], ','))
                return kNone;
            ++j;
        }
        if (count < a.min || (a.max != kOpenArgs && count > a.max))
            return kNone;
        return j + 1;
    }
    default: return kNone;
    }
}

// The index after the expression at k: operands joined by operators.
size_t ExprEnd(const std::vector<CachedToken>& tk, size_t k, size_t end, int depth)
{
    k = OperandEnd(tk, k, end, depth);
    while (k != kNone && k < end && IsOperator(tk[k]))
        k = OperandEnd(tk, k + 1, end, depth);
    return k;
}

struct Nesting {
    int& depth;
    explicit Nesting(int& d) : depth(d) { ++depth; }
    ~Nesting() { --depth; }
};

bool IsComparison(const CachedToken& t)
{
    return t.code >= kWordEq && t.code <= kWordGe;
}

// An if ends in then, a while in do: a skipped if reads a do as a statement
// of its own.
bool Closes(WordCode statement, const CachedToken& t)
{
    return t.code == (statement == kWordIf ? kWordThen : kWordDo);
}

// The shapes of plain operands, which run without CachedLineRun; tokens
// counts the whole line, so a comment leaves it to the shapes below.
LineShape PlainShape(const std::vector<CachedToken>& tk)
{
    auto isOperand = [&](size_t k) {
        return tk[k].type == TOK_LITERAL || (tk[k].type == TOK_IDENT && !(k + 1 < tk.size() && IsChar(tk[k + 1], '[')));
    };
    bool simple = tk.size() >= 3 && tk.size() % 2 == 1 && tk[0].type == TOK_IDENT && IsChar(tk[1], '=') && isOperand(2);
    for (size_t k = 3; simple && k < tk.size(); k += 2)
        simple = IsOperator(tk[k]) && isOperand(k + 1);
    if (simple)
        return kShapeAssignment;
    const WordCode first = tk[0].code;
    if ((tk.size() == 4 || tk.size() == 5) && (first == kWordIf || first == kWordWhile) && isOperand(1) &&
        IsComparison(tk[2]) && isOperand(3) && (tk.size() == 4 || Closes(first, tk[4])))
        return kShapeCondition;
    if (tk.size() == 1 &&
        (first == kWordFi || first == kWordElse || first == kWordNext || first == kWordDone || first == kWordDo))
        return kShapeWord;
    return kShapeOther;
}

}  // namespace

LineShape CachedLineRun::ShapeOf(const std::vector<CachedToken>& tk, size_t end)
{
    if (end == 0)
        return kShapeOther;
    if (const LineShape plain = PlainShape(tk); plain != kShapeOther)
        return plain;
    const CachedToken& first = tk[0];
    if (first.type == TOK_IDENT && end >= 3 && IsChar(tk[1], '='))
        return ExprEnd(tk, 2, end, 0) == end ? kShapeExprAssignment : kShapeOther;
    if (first.type == TOK_BUILTIN)
        return OperandEnd(tk, 0, end, 0) == end ? kShapeCall : kShapeOther;
    if (first.code != kWordIf && first.code != kWordWhile)
        return kShapeOther;
    size_t k = ExprEnd(tk, 1, end, 0);
    if (k == kNone || k >= end || !IsComparison(tk[k]))
        return kShapeOther;
    k = ExprEnd(tk, k + 1, end, 0);
    if (k == end)
        return kShapeExprCondition;
    return k != kNone && k + 1 == end && Closes(first.code, tk[k]) ? kShapeExprCondition : kShapeOther;
}

CachedLineRun::CachedLineRun(Skript& run, size_t k)
    : run_(run), tk_(run.cachedLine->tokens), line_(run.curLine), k_(k), ident_(kNone)
{
}

const std::string& CachedLineRun::identText() const
{
    static const std::string kEmpty;
    if (handedOver_)
        return run_.lastIdent;
    return ident_ == kNone ? kEmpty : tk_[ident_].text;
}

void CachedLineRun::handOver()
{
    if (handedOver_)
        return;
    Skript& r = run_;
    r.lastIdent = identText();
    handedOver_ = true;
    const size_t end = r.cachedLine->end;
    const size_t lastRead = pushedBack_ ? k_ : k_ - 1;
    r.tokenStack.clear();
    r.lastCached = nullptr;
    if (k_ >= end) {
        r.cachedNext = tk_.size();
        r.cachedPushedBack = kNone;
        r.endPushedBack = pushedBack_;
        r.atEnd = true;
        r.tokenType = end < tk_.size() ? TOK_COMMENT : tk_[end - 1].type;
    } else {
        r.cachedNext = k_;
        r.cachedPushedBack = pushedBack_ ? k_ : kNone;
        r.endPushedBack = false;
        r.atEnd = false;
        r.tokenType = tk_[lastRead].type;
    }
    r.linePos = tk_[lastRead < end ? lastRead : end - 1].endPos;
    for (size_t i = lastRead < end ? lastRead + 1 : end; i-- > 0;)
        if (!tk_[i].text.empty()) {
            r.lastToken = tk_[i].text;
            break;
        }
}

bool CachedLineRun::expression(ExprValue& out, Variable* target)
{
    Nesting guard(run_.exprDepth);
    return inner(out, target);
}

bool CachedLineRun::inner(ExprValue& first, Variable* target)
{
    Skript& r = run_;
    const CachedToken& t = tk_[k_++];
    pushedBack_ = false;
    switch (t.type) {
    case TOK_CHAR: {
        auto v = parenthesised();
        if (!v)
            return false;
        first.base = TextRef(std::move(*v));
        break;
    }
    case TOK_IDENT: {
        // The name was looked past for an index.
        ident_ = k_ - 1;
        pushedBack_ = true;
        Variable& v = r.varOf(&t, t.text);
        first.base = TextRef(*r.vars, v);
        first.appending = &v == target;
        break;
    }
    case TOK_BUILTIN: {
        --k_;
        auto v = call();
        if (!v) {
            if (r.errLine < 0 && !r.exitRequested)
                r.setError("Fehlender Ausdruck anstelle ')'", line_);
            return false;
        }
        first.base = TextRef(std::move(*v));
        break;
    }
    default: first.base = TextRef(std::string(t.text)); break;
    }

    // The sums of this depth are taken only when an operator follows: a
    // lone operand needs none.
    ExprSums* sums = nullptr;
    auto takeSums = [&]() -> ExprSums& {
        if (!sums) {
            sums = &r.sumsAt(r.exprDepth);
            sums->clear();
        }
        return *sums;
    };
    if (handedOver_)
        return r.evalOperators(line_, first, takeSums(), target);
    const size_t end = r.cachedLine->end;
    std::string operand;
    // Each operator is read once, or once more after a name looked past it.
    while (k_ < end && IsOperator(tk_[k_])) {
        const char o = tk_[k_++].text[0];
        pushedBack_ = false;
        const CachedToken& rt = tk_[k_++];
        const std::string* right = &operand;
        operand.clear();
        switch (rt.type) {
        case TOK_CHAR: {
            auto v = parenthesised();
            if (!v)
                return false;
            operand = std::move(*v);
            break;
        }
        case TOK_IDENT:
            ident_ = k_ - 1;
            pushedBack_ = true;
            right = &r.varOf(&rt, rt.text).value();
            break;
        case TOK_BUILTIN: {
            --k_;
            auto v = call();
            if (v)
                operand = std::move(*v);
            break;
        }
        default: right = &rt.text; break;
        }
        if (!r.applyOperator(line_, first, takeSums(), o, *right, target))
            return false;
        if (handedOver_)
            return r.evalOperators(line_, first, *sums, target);
    }
    // The token that ends the expression was read and pushed back; the end
    // of the line is only read.
    pushedBack_ = k_ < end;
    if (sums)
        r.foldSums(first, *sums);
    return true;
}

std::optional<std::string> CachedLineRun::parenthesised()
{
    ExprValue v;
    if (!expression(v, nullptr)) {
        if (run_.errLine < 0)
            run_.setError("Fehlender Ausdruck anstelle ')'", line_);
        return std::nullopt;
    }
    std::string text = v.take();
    if (handedOver_) {
        const std::string close = run_.nextToken(line_);
        if (run_.tokenType != TOK_CHAR || close != ")") {
            run_.setError("Fehlende ')' nach Klammerausdruck", line_);
            return std::nullopt;
        }
        return text;
    }
    ++k_;  // the ")"
    pushedBack_ = false;
    return text;
}

std::optional<std::string> CachedLineRun::call()
{
    const CachedToken& name = tk_[k_++];
    pushedBack_ = false;
    ident_ = k_ - 1;
    return run_.callBuiltin(
        *name.builtin, name.text, line_, [](void* self, funcContext& args) {
            return static_cast<CachedLineRun*>(self)->arguments(args);
        },
        this);
}

int CachedLineRun::arguments(funcContext& args)
{
    const BuiltinArity a = ArityOf(*tk_[k_ - 1].builtin);
    ReserveArguments(args, a.max);
    int i = 0;
    for (;;) {
        ++k_;  // "(" or ","
        pushedBack_ = false;
        ident_ = kNone;
        const CachedToken& t = tk_[k_];
        if ((t.type == TOK_IDENT || t.type == TOK_LITERAL) && IsEndOfArgument(tk_[k_ + 1])) {
            // A lone name or literal: its value as the expression gives it,
            // with the token after it looked at.
            if (t.type == TOK_IDENT) {
                ident_ = k_;
                args.values.emplace_back(*run_.vars, run_.varOf(&t, t.text));
            } else {
                args.values.emplace_back(std::string(t.text));
            }
            ++k_;
            pushedBack_ = true;
        } else {
            ExprValue v;
            if (!expression(v, nullptr)) {
                handOver();
                return i < a.min ? -1 : run_.lastToken == ")" ? 0 : -1;
            }
            args.values.push_back(std::move(v.base));
        }
        args.argTexts.push_back(identText());
        ++i;
        if (handedOver_)
            return run_.parseArgsFrom(args, a.min, line_, a.max, i);
        if (IsChar(tk_[k_], ')')) {
            ++k_;
            pushedBack_ = false;
            return i;
        }
    }
}

int CachedLineRun::condition()
{
    Skript& r = run_;
    // The values stay in their ExprValue: without a target nothing is kept
    // apart, so the base is the whole value.
    ExprValue leftValue;
    if (!expression(leftValue, nullptr)) {
        if (r.errLine < 0) {
            handOver();
            r.setError("Fehlender Ausdruck nach '" + r.lastToken + "'", line_);
        }
        return -1;
    }
    TextRef& left = leftValue.base;
    if (handedOver_)
        return r.lexprAfterLeft(line_, left);
    const CachedToken& op = tk_[k_++];  // the comparison
    pushedBack_ = false;
    const CachedToken& t = tk_[k_];
    const size_t end = r.cachedLine->end;
    if ((t.type == TOK_IDENT || t.type == TOK_LITERAL) && (k_ + 1 >= end || tk_[k_ + 1].type == TOK_KEYWORD)) {
        // A lone name or literal to the end of the condition is compared as
        // it stands.
        long erg = 0;
        const std::string& right = t.type == TOK_IDENT ? r.varOf(&t, t.text).value() : t.text;
        if (!r.compareTexts(line_, op.code, left, right, erg))
            return -1;
        ++k_;
        return int(erg);
    }
    ExprValue rightValue;
    if (!expression(rightValue, nullptr)) {
        r.errLine = -1;
        r.setError("Fehlender Wert nach '" + op.text + "'", line_);
        return -1;
    }
    const TextRef& right = rightValue.base;
    if (handedOver_) {
        LogicState s;
        if (!r.lexprCompare(line_, op.code, left, right, s))
            return -1;
        return r.lexprLoop(line_, left, s);
    }
    long erg = 0;
    if (!r.compareTexts(line_, op.code, left, right, erg))
        return -1;
    return int(erg);
}

// The expression, condition, variable-reference, list and argument parsers.
// They evaluate while they read; there is no syntax tree.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"
#include "platform/numbers.h"
#include "platform/texts.h"

namespace {

// Parentheses, brackets and argument lists nest through expr; this bound
// keeps a hostile line from overflowing the interpreter thread's stack.
constexpr int kMaxExprDepth = 1000;

bool IsChar(int type, const std::string& tok, char c)
{
    return type == TOK_CHAR && tok.size() == 1 && tok[0] == c;
}

bool IsKeyword(int type, const std::string& tok, const char* word)
{
    return type == TOK_KEYWORD && tok == word;
}

bool IsOperator(char c)
{
    return c == '.' || c == '*' || c == '/' || c == '+' || c == '-';
}

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

}  // namespace

// expr -> operand { op operand }, op one of . * / + -
std::optional<std::string> Skript::expr(int line)
{
    ExprValue v;
    if (!evalExpr(line, v, nullptr))
        return std::nullopt;
    return v.take();
}

bool Skript::exprRef(int line, TextRef& out)
{
    ExprValue v;
    if (!evalExpr(line, v, nullptr))
        return false;
    // A value read in place stays so; only a kept-apart tail makes a copy.
    if (v.appending && (v.tailIsBase || !v.tail.empty()))
        v.text();
    out = std::move(v.base);
    return true;
}

bool Skript::exprAssign(int line, Variable& target, ExprValue& out)
{
    return evalExpr(line, out, &target);
}

bool Skript::evalExpr(int line, ExprValue& out, Variable* target)
{
    DepthGuard guard(exprDepth);
    if (exprDepth > kMaxExprDepth) {
        setError("Ausdruck zu tief verschachtelt", line);
        return false;
    }
    return evalInner(line, out, target);
}

// The inside of "(" ... ")", with the closing parenthesis read.
std::optional<std::string> Skript::parenthesised(int line)
{
    auto v = expr(line);
    if (!v) {
        // An empty pair of parentheses as an operand has no value.
        if (errLine < 0)
            setError("Fehlender Ausdruck anstelle ')'", line);
        return std::nullopt;
    }
    std::string close = nextToken(line);
    if (!IsChar(tokenType, close, ')')) {
        setError("Fehlende ')' nach Klammerausdruck", line);
        return std::nullopt;
    }
    return v;
}

bool Skript::evalInner(int line, ExprValue& first, Variable* target)
{
    const bool afterParen = lastToken.size() == 1 && lastToken[0] == '(';
    std::string tok = nextToken(line);
    int type = tokenType;

    if (afterParen && IsChar(type, tok, ')')) {
        pushBackLast(tok);
        return false;  // the empty argument list "()"
    }
    if (type == TOK_KEYWORD && !atEnd) {
        // A keyword has a text, so reading it moved the token before it.
        setError("Variable oder Ausdruck erwartet nach '" + prevToken + "'", line);
        return false;
    }
    if (atEnd) {
        setError("Fehlender Ausdruck nach '" + lastToken + "'", line);
        return false;
    }
    if (type == TOK_ERROR)
        return false;  // the scanner recorded the open string
    if (type == TOK_CHAR && tok[0] != '(') {
        setError("Fehlender Ausdruck anstelle '" + tok + "'", line);
        return false;
    }

    // The first value, then the deferred + and - with their right operands;
    // . * / apply at once to the value last pushed.
    if (type == TOK_CHAR) {
        auto v = parenthesised(line);
        if (!v)
            return false;
        first.base = TextRef(std::move(*v));
    } else if (type == TOK_IDENT) {
        std::string name = std::move(tok);
        if (!parseVarRef(line, name))
            return false;
        lastIdent = name;
        Variable& v = vars->Get(name);
        first.base = TextRef(*vars, v);
        first.appending = &v == target;
    } else if (type == TOK_BUILTIN) {
        auto v = sub(tok, line);
        if (!v) {
            // A required argument left empty, as in "x = htget()".
            if (errLine < 0 && !exitRequested)
                setError("Fehlender Ausdruck anstelle ')'", line);
            return false;
        }
        first.base = TextRef(std::move(*v));
    } else {
        first.base = TextRef(std::move(tok));
    }

    ExprSums& sums = sumsAt(exprDepth);
    sums.clear();
    return evalOperators(line, first, sums, target);
}

ExprSums& Skript::sumsAt(int depth)
{
    // The vector of each nesting depth keeps its room from one use to the next.
    if (sumsByDepth.size() <= size_t(depth))
        sumsByDepth.resize(size_t(depth) + 1);
    return sumsByDepth[size_t(depth)];
}

// { op operand } up to the end of the expression, after its first value.
bool Skript::evalOperators(int line, ExprValue& first, ExprSums& sums, Variable* target)
{
    std::string operand;
    for (;;) {
        std::string op = nextToken(line);
        int opType = tokenType;
        if (atEnd)
            break;
        if (opType == TOK_KEYWORD ||
            (opType == TOK_CHAR && (op[0] == ')' || op[0] == ']' || op[0] == ',' || op[0] == ';'))) {
            pushBackLast(op);
            break;
        }
        if (opType == TOK_ERROR) {
            // Replaces the scanner's message about the open string.
            errLine = -1;
            setError("Syntaxfehler nach '" + lastToken + "'", line);
            return false;
        }

        // The right operand: a variable's value is read in place, since it
        // is used before anything else can change the store.
        std::string t = nextToken(line);
        int tType = tokenType;
        const std::string* right = &operand;
        operand.clear();
        if (atEnd) {
            if (opType == TOK_IDENT) {
                setError("Fehlender zweiter Operand nach '" + lastToken + "'", line);
                return false;
            }
        } else if (IsChar(tType, t, '(')) {
            auto v = parenthesised(line);
            if (!v)
                return false;
            operand = std::move(*v);
        } else if (tType == TOK_IDENT) {
            std::string name = std::move(t);
            if (!parseVarRef(line, name))
                return false;
            right = &vars->Get(name).value();
        } else if (tType == TOK_BUILTIN) {
            auto v = sub(t, line);
            if (v)
                operand = std::move(*v);
        } else {
            operand = std::move(t);
        }

        if (opType != TOK_CHAR || !IsOperator(op[0])) {
            setError(W("Ungültiger Operator '") + op + "'", line);
            return false;
        }
        if (!applyOperator(line, first, sums, op[0], *right, target))
            return false;
    }

    foldSums(first, sums);
    return true;
}

bool Skript::applyOperator(int line, ExprValue& first, ExprSums& sums, char o, const std::string& right,
                           Variable* target)
{
    if (o == '.') {
        size_t topSize = sums.empty() ? first.size() : sums.back().second.size();
        if (!withinTextLimit(topSize + right.size(), line))
            return false;
        if (!sums.empty())
            sums.back().second += right;
        else if (first.appending && first.base.lentFrom() == target)
            first.appendTail(right);
        else
            first.text() += right;
    } else if (o == '*' || o == '/') {
        // A division by zero gives the texts INF, -INF or NAN.
        if (!sums.empty()) {
            sums.back().second = Arithmetic(o, sums.back().second, right);
        } else {
            std::string product = Arithmetic(o, first.view(), right);
            first.base = TextRef(std::move(product));
            first.appending = false;
        }
    } else {
        sums.emplace_back(o, right);
    }
    return true;
}

void Skript::foldSums(ExprValue& first, ExprSums& sums)
{
    if (sums.empty())
        return;
    // + and - fold from the right.
    std::string taken = std::move(sums.back().second);
    for (size_t i = sums.size(); i-- > 0;) {
        const std::string& below = i == 0 ? first.view() : sums[i - 1].second;
        taken = Arithmetic(sums[i].first, below, taken);
    }
    first.base = TextRef(std::move(taken));
    first.appending = false;
    first.tailIsBase = false;
    first.tail.clear();
}

// lexpr -> expr { (eq|ne|lt|gt|le|ge) expr | (and|or) expr } [then|do]
int Skript::lexpr(int line)
{
    TextRef left;
    if (!exprRef(line, left)) {
        if (errLine < 0)
            setError("Fehlender Ausdruck nach '" + lastToken + "'", line);
        return -1;
    }
    return lexprAfterLeft(line, left);
}

int Skript::lexprAfterLeft(int line, TextRef& left)
{
    // A condition that ran to the end of the line: its last token decides
    // whether the value is looked up once more as a name.
    if (atEnd && tokenType == TOK_IDENT) {
        std::string name = left.str();
        if (!parseVarRef(line, name))
            return -1;
        left = TextRef(*vars, vars->Get(name));
    } else if (atEnd && tokenType == TOK_BUILTIN) {
        std::string word = left.str();
        auto v = sub(word, line);
        left = TextRef(v ? std::move(*v) : std::string());
    }
    LogicState state;
    state.erg = std::labs(TextToLong(left));
    return lexprLoop(line, left, state);
}

namespace {

long Truth(const std::string& s)
{
    return std::labs(TextToLong(s));
}

}  // namespace

int Skript::lexprLoop(int line, TextRef& left, LogicState& s)
{
    for (;;) {
        std::string op = nextToken(line);
        int opType = tokenType;
        if (atEnd || IsKeyword(opType, op, "then") || IsKeyword(opType, op, "do"))
            break;
        if (IsKeyword(opType, op, "and") || IsKeyword(opType, op, "or")) {
            s.stack.push_back(op);
            if (!exprRef(line, left)) {
                errLine = -1;
                setError("Fehlender Wert nach '" + op + "'", line);
                return -1;
            }
            s.haveLeft = true;
            continue;
        }
        TextRef right;
        if (!exprRef(line, right)) {
            errLine = -1;
            setError("Fehlender Wert nach '" + op + "'", line);
            return -1;
        }
        if (!lexprCompare(line, opType == TOK_KEYWORD ? KeywordCode(op) : kNoWord, left, right, s))
            return -1;
    }
    return lexprFold(line, s);
}

bool Skript::compareTexts(int line, WordCode op, const std::string& left, const std::string& right, long& erg)
{
    switch (op) {
    case kWordEq: erg = left == right; return true;
    case kWordNe: erg = left != right; return true;
    case kWordLt: erg = TextToDouble(left) < TextToDouble(right); return true;
    case kWordGt: erg = TextToDouble(left) > TextToDouble(right); return true;
    case kWordLe: erg = TextToDouble(left) <= TextToDouble(right); return true;
    case kWordGe: erg = TextToDouble(left) >= TextToDouble(right); return true;
    default:
        setError(W("Ungültiger Operator nach ") + lastToken, line);
        return false;
    }
}

bool Skript::lexprCompare(int line, WordCode op, const TextRef& left, const TextRef& right, LogicState& s)
{
    if (!s.haveLeft) {
        // A comparison right after a comparison has no left operand.
        setError("Syntaxfehler im logischen Ausdruck", line);
        return false;
    }
    long erg = 0;
    if (!compareTexts(line, op, left, right, erg))
        return false;
    s.erg = erg;
    s.haveLeft = false;
    auto& stack = s.stack;
    if (!stack.empty() && stack.back() == "and") {
        stack.pop_back();
        if (stack.empty()) {
            // A lone value before "and" leaves nothing to combine with.
            setError("Syntaxfehler im logischen Ausdruck", line);
            return false;
        }
        s.erg = (s.erg != 0 && Truth(stack.back()) != 0) ? 1 : 0;
        stack.pop_back();
    }
    stack.push_back(std::to_string(s.erg));
    return true;
}

int Skript::lexprFold(int line, LogicState& s)
{
    // Fold the pending "or" from the right.
    auto& stack = s.stack;
    long erg = s.erg;
    while (!stack.empty()) {
        erg = Truth(stack.back());
        stack.pop_back();
        if (stack.empty())
            break;
        if (stack.back() != "or") {
            setError("Syntaxfehler im logischen Ausdruck", line);
            return -1;
        }
        stack.pop_back();
        if (stack.empty())
            break;
        erg = (erg != 0 || Truth(stack.back()) != 0) ? 1 : 0;
        stack.pop_back();
        stack.push_back(std::to_string(erg));
    }
    return int(erg);
}

// varref -> name { "[" expr "]" }
bool Skript::parseVarRef(int line, std::string& name)
{
    for (;;) {
        std::string t = nextToken(line);
        if (!IsChar(tokenType, t, '[')) {
            pushBackLast(t);
            return true;
        }
        auto v = expr(line);
        if (!v) {
            errLine = -1;
            setError("Fehlender Ausdruck nach '['", line);
            return false;
        }
        std::string close = nextToken(line);
        if (!IsChar(tokenType, close, ']')) {
            setError("Fehlende ']' nach '" + lastToken + "'", line);
            return false;
        }
        name.reserve(name.size() + v->size() + 2);
        name += '[';
        name += *v;
        name += ']';
    }
}

// list -> "(" [ expr { "," expr } ] ")"
bool Skript::exprList(std::vector<std::string>& list, int line)
{
    const std::string prev = lastToken;
    std::string t = nextToken(line);
    if (!IsChar(tokenType, t, '(')) {
        setError("Liste mit '(' beginnend erwartet nach '" + prev + "'", line);
        return true;
    }
    for (;;) {
        auto v = expr(line);
        if ((lastToken == "," || lastToken == ")") && !tokenStack.empty())
            tokenStack.pop_back();
        if (!v) {
            if (lastToken != ")") {
                errLine = -1;
                setError("Fehlende ')' nach " + lastToken, line);
            }
            break;
        }
        list.push_back(std::move(*v));
        if (lastToken == ")")
            break;
        if (atEnd) {
            // The line ended inside the list.
            setError("Fehlende ')' nach " + lastToken, line);
            break;
        }
    }
    return true;
}

// One argument of a call's list, with the name of the variable it began with.
bool Skript::readArgument(funcContext& args, int line)
{
    lastIdent.clear();
    TextRef v;
    if (!exprRef(line, v))
        return false;
    args.values.push_back(std::move(v));
    args.argTexts.push_back(lastIdent);
    return true;
}

// args -> [ "(" [ expr { "," expr } ] ")" ]
int Skript::parseArgs(funcContext& args, int min, int line, int max)
{
    ReserveArguments(args, max);
    if (max == 0) {
        std::string t = nextToken(line);
        if (!IsChar(tokenType, t, '(')) {
            pushBackLast(t);
            return 0;
        }
        t = nextToken(line);
        if (!IsChar(tokenType, t, ')')) {
            setError("Fehlende ')' nach '" + lastToken + "'", line);
            return -1;
        }
        return 0;
    }
    return parseArgsFrom(args, min, line, max, 0);
}

void ReserveArguments(funcContext& args, int max)
{
    // Room for the usual counts at once: a moved TextRef updates its lend.
    const size_t room = size_t(std::min(max, 6));
    args.values.reserve(room);
    args.argTexts.reserve(room);
}

int Skript::parseArgsFrom(funcContext& args, int min, int line, int max, int i)
{
    for (; i < min; ++i) {
        std::string t = nextToken(line);
        char want = i == 0 ? '(' : ',';
        if (!IsChar(tokenType, t, want)) {
            std::string what = i == 0 ? "Fehlende '('" : "Fehlendes ','";
            if (atEnd)
                setError(what + " nach '" + lastToken + "'", line);
            else
                setError(what + " anstelle '" + t + "'", line);
            return -1;
        }
        if (!readArgument(args, line))
            return -1;
    }
    const bool open = max == kOpenArgs;
    for (; open || i < max; ++i) {
        std::string t = nextToken(line);
        if (i == 0 && !IsChar(tokenType, t, '(')) {
            pushBackLast(t);
            return 0;
        }
        if (IsChar(tokenType, t, ')'))
            return i;
        if (i > 0 && !IsChar(tokenType, t, ',')) {
            setError("Fehlendes ',' anstelle '" + lastToken + "'", line);
            return -1;
        }
        if (!readArgument(args, line))
            return lastToken == ")" ? 0 : -1;
    }
    std::string t = nextToken(line);
    if (!IsChar(tokenType, t, ')')) {
        if (atEnd)
            setError("Fehlende ')' nach '" + lastToken + "'", line);
        else
            setError("Fehlende ')' anstelle '" + t + "'", line);
        return -1;
    }
    return i;
}

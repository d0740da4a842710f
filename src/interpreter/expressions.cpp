// The expression, condition, variable-reference, list and argument parsers.
// They evaluate while they read; there is no syntax tree.
#include <cmath>
#include <cstdlib>

#include "interpreter/dispatcher.h"
#include "interpreter/numbers.h"
#include "interpreter/skript.h"
#include "interpreter/texts.h"

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

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

}  // namespace

// expr -> operand { op operand }, op one of . * / + -
std::optional<std::string> Skript::expr(int line)
{
    DepthGuard guard(exprDepth);
    if (exprDepth > kMaxExprDepth) {
        setError("Ausdruck zu tief verschachtelt", line);
        return std::nullopt;
    }
    return exprInner(line);
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

std::optional<std::string> Skript::exprInner(int line)
{
    const std::string prev = lastToken;
    std::string tok = nextToken(line);
    int type = tokenType;

    if (prev == "(" && IsChar(type, tok, ')')) {
        pushBackLast(tok);
        return std::nullopt;  // the empty argument list "()"
    }
    if (type == TOK_KEYWORD && !atEnd) {
        setError("Variable oder Ausdruck erwartet nach '" + prev + "'", line);
        return std::nullopt;
    }
    if (atEnd) {
        setError("Fehlender Ausdruck nach '" + lastToken + "'", line);
        return std::nullopt;
    }
    if (type == TOK_ERROR)
        return std::nullopt;  // the scanner recorded the open string
    if (type == TOK_CHAR && tok != "(") {
        setError("Fehlender Ausdruck anstelle '" + tok + "'", line);
        return std::nullopt;
    }

    // The working stack: values, with deferred + and - between them.
    std::vector<std::string> stack;
    stack.reserve(4);
    if (type == TOK_CHAR) {
        auto v = parenthesised(line);
        if (!v)
            return std::nullopt;
        stack.push_back(std::move(*v));
    } else if (type == TOK_IDENT) {
        std::string name = tok;
        if (!parseVarRef(line, name))
            return std::nullopt;
        lastIdent = name;
        stack.push_back(vars->Value(name));
    } else if (type == TOK_BUILTIN) {
        auto v = sub(tok, line);
        if (!v)
            return std::nullopt;
        stack.push_back(std::move(*v));
    } else {
        stack.push_back(std::move(tok));
    }

    bool folded = false;  // a deferred sum is pending
    for (;;) {
        std::string op = nextToken(line);
        int opType = tokenType;
        if (atEnd)
            break;
        if (opType == TOK_KEYWORD ||
            (opType == TOK_CHAR && (op == ")" || op == "]" || op == "," || op == ";"))) {
            pushBackLast(op);
            break;
        }
        if (opType == TOK_ERROR) {
            setError("Syntaxfehler nach '" + lastToken + "'", line);
            return std::nullopt;
        }

        std::string t = nextToken(line);
        int tType = tokenType;
        if (atEnd) {
            if (opType == TOK_IDENT) {
                setError("Fehlender zweiter Operand nach '" + lastToken + "'", line);
                return std::nullopt;
            }
            t.clear();
        } else if (IsChar(tType, t, '(')) {
            auto v = parenthesised(line);
            if (!v)
                return std::nullopt;
            t = std::move(*v);
        } else if (tType == TOK_IDENT) {
            std::string name = t;
            if (!parseVarRef(line, name))
                return std::nullopt;
            t = vars->Value(name);
        } else if (tType == TOK_BUILTIN) {
            auto v = sub(t, line);
            t = v ? std::move(*v) : std::string();
        }

        if (opType != TOK_CHAR || op.size() != 1) {
            setError(W("Ungültiger Operator '") + op + "'", line);
            return std::nullopt;
        }
        std::string& top = stack.back();
        switch (op[0]) {
        case '.':
            if (top.size() + t.size() > settings().maxTextSize) {
                setError("Text zu lang: mehr als " + std::to_string(settings().maxTextSize) + " Zeichen", line);
                return std::nullopt;
            }
            top += t;
            break;
        case '*':
            top = FormatNumber(TextToDouble(top) * TextToDouble(t));
            break;
        case '/':
            // A division by zero gives the texts INF, -INF or NAN.
            top = FormatNumber(TextToDouble(top) / TextToDouble(t));
            break;
        case '+':
        case '-':
            stack.push_back(std::move(op));
            stack.push_back(std::move(t));
            folded = true;
            break;
        default:
            setError(W("Ungültiger Operator '") + op + "'", line);
            return std::nullopt;
        }
    }

    if (!folded)
        return std::move(stack.front());
    // + and - fold from the right.
    std::string taken = std::move(stack.back());
    stack.pop_back();
    while (stack.size() >= 2) {
        std::string op = std::move(stack.back());
        stack.pop_back();
        double below = TextToDouble(stack.back());
        stack.pop_back();
        double right = TextToDouble(taken);
        taken = FormatNumber(op == "+" ? below + right : below - right);
    }
    return taken;
}

// lexpr -> expr { (eq|ne|lt|gt|le|ge) expr | (and|or) expr } [then|do]
int Skript::lexpr(int line)
{
    auto left = expr(line);
    if (!left) {
        if (errLine < 0)
            setError("Fehlender Ausdruck nach '" + lastToken + "'", line);
        return -1;
    }
    // A condition that ran to the end of the line: its last token decides
    // whether the value is looked up once more as a name.
    if (atEnd && tokenType == TOK_IDENT) {
        std::string name = *left;
        if (!parseVarRef(line, name))
            return -1;
        left = vars->GetValue(name);
    } else if (atEnd && tokenType == TOK_BUILTIN) {
        auto v = sub(*left, line);
        left = v ? std::move(*v) : std::string();
    }

    long erg = std::labs(TextToLong(*left));
    bool haveLeft = true;  // a comparison consumes its left operand
    std::vector<std::string> stack;
    auto truth = [](const std::string& s) { return std::labs(TextToLong(s)); };

    for (;;) {
        std::string op = nextToken(line);
        int opType = tokenType;
        if (atEnd || IsKeyword(opType, op, "then") || IsKeyword(opType, op, "do"))
            break;
        if (IsKeyword(opType, op, "and") || IsKeyword(opType, op, "or")) {
            stack.push_back(op);
            left = expr(line);
            if (!left) {
                errLine = -1;
                setError("Fehlender Wert nach '" + op + "'", line);
                return -1;
            }
            haveLeft = true;
            continue;
        }
        auto right = expr(line);
        if (!right) {
            errLine = -1;
            setError("Fehlender Wert nach '" + op + "'", line);
            return -1;
        }
        if (!haveLeft) {
            // A comparison right after a comparison has no left operand.
            setError("Syntaxfehler im logischen Ausdruck", line);
            return -1;
        }
        if (opType != TOK_KEYWORD) {
            setError(W("Ungültiger Operator nach ") + lastToken, line);
            return -1;
        }
        if (op == "eq")
            erg = *left == *right;
        else if (op == "ne")
            erg = *left != *right;
        else if (op == "lt")
            erg = TextToDouble(*left) < TextToDouble(*right);
        else if (op == "gt")
            erg = TextToDouble(*left) > TextToDouble(*right);
        else if (op == "le")
            erg = TextToDouble(*left) <= TextToDouble(*right);
        else if (op == "ge")
            erg = TextToDouble(*left) >= TextToDouble(*right);
        else {
            setError(W("Ungültiger Operator nach ") + lastToken, line);
            return -1;
        }
        haveLeft = false;
        if (!stack.empty() && stack.back() == "and") {
            stack.pop_back();
            if (stack.empty()) {
                // A lone value before "and" leaves nothing to combine with.
                setError("Syntaxfehler im logischen Ausdruck", line);
                return -1;
            }
            erg = (erg != 0 && truth(stack.back()) != 0) ? 1 : 0;
            stack.pop_back();
        }
        stack.push_back(std::to_string(erg));
    }

    // Fold the pending "or" from the right.
    while (!stack.empty()) {
        erg = truth(stack.back());
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
        erg = (erg != 0 || truth(stack.back()) != 0) ? 1 : 0;
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
            discardPushedBack();
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

// args -> [ "(" [ expr { "," expr } ] ")" ]
int Skript::parseArgs(funcContext& args, int min, int line, int max)
{
    auto readValue = [&]() -> bool {
        lastIdent.clear();
        auto v = expr(line);
        if (!v)
            return false;
        args.values.push_back(std::move(*v));
        args.argTexts.push_back(lastIdent);
        return true;
    };

    int i = 0;
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
        if (!readValue()) {
            // A required argument left empty, as in "htget()".
            if (errLine < 0)
                setError("Fehlender Ausdruck anstelle ')'", line);
            return -1;
        }
    }
    for (; i < max; ++i) {
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
        if (!readValue())
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

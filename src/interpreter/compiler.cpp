// The line compiler and the evaluator of its operands. The compiler reads a
// line's tokens the way the grammar reads them when nothing fails, and
// leaves a line to the grammar at anything else: a syntax error, a word the
// grammar treats by its token type at run time, a call of a built-in that
// writes variables or reads tokens itself.
#include "interpreter/compiler.h"

#include <cstdlib>
#include <string_view>

#include "interpreter/dispatcher.h"
#include "platform/numbers.h"

namespace {

// Deeper lines are left to the grammar, which has its own bound.
constexpr int kMaxDepth = 200;

// Built-ins whose calls may be compiled: they read their arguments only and
// write no variable, so a line read again after a failed call sees the
// values it saw the first time.
bool Compilable(std::string_view word)
{
    static constexpr std::string_view kWords[] = {
        "substr", "replace", "trim", "host", "domain", "tld", "dump", "filter", "lower", "upper",
        "size", "length", "instr", "extract", "format", "print", "today", "dat2value", "value2dat",
        "weekday", "day", "month", "year", "random", "time", "date",
    };
    for (std::string_view w : kWords)
        if (w == word)
            return true;
    return false;
}

bool IsOperatorChar(char c)
{
    return c == '.' || c == '*' || c == '/' || c == '+' || c == '-';
}

class LineCompiler {
public:
    LineCompiler(const LineTokens& line, CompiledLine& out) : tk_(line.tokens), end_(line.end), out_(out) {}

    bool statement();

private:
    const CachedToken* peek() const { return k_ < end_ ? &tk_[k_] : nullptr; }
    static bool IsChar(const CachedToken* t, char c)
    {
        return t && t->type == TOK_CHAR && t->text.size() == 1 && t->text[0] == c;
    }
    // Reads the next token; a name, a built-in's word or a keyword becomes
    // the name the next argument began with.
    const CachedToken& take()
    {
        const CachedToken& t = tk_[k_++];
        if (t.type == TOK_IDENT || t.type == TOK_BUILTIN || t.type == TOK_KEYWORD)
            lastIdent_ = {t.text, -1};
        return t;
    }
    bool expect(char c)
    {
        if (!IsChar(peek(), c))
            return false;
        ++k_;
        return true;
    }
    // The type of the last token read once the line's end was read.
    int typeAtEnd() const { return end_ < tk_.size() ? TOK_COMMENT : end_ ? tk_[end_ - 1].type : TOK_IDENT; }

    bool expression(CExpr& e);
    bool operand(COperand& o, bool first);
    bool varRef(COperand& o, const std::string& name);
    bool call(COperand& o, const std::string& word);
    bool argument(COperand& o);
    bool condition(CCondition& c);

    const std::vector<CachedToken>& tk_;
    const size_t end_;
    CompiledLine& out_;
    size_t k_ = 0;
    int depth_ = 0;
    CArgText lastIdent_;
};

bool LineCompiler::varRef(COperand& o, const std::string& name)
{
    o.text = name;
    while (IsChar(peek(), '[')) {
        ++k_;
        o.parts.emplace_back();
        if (!expression(o.parts.back()) || !expect(']'))
            return false;
    }
    if (o.parts.empty()) {
        o.kind = COperand::kVariable;
    } else {
        o.kind = COperand::kElement;
        o.element = out_.elements++;
    }
    return true;
}

bool LineCompiler::argument(COperand& o)
{
    lastIdent_ = CArgText();
    o.parts.emplace_back();
    if (!expression(o.parts.back()))
        return false;
    o.argTexts.push_back(lastIdent_);
    return true;
}

bool LineCompiler::call(COperand& o, const std::string& word)
{
    o.kind = COperand::kCall;
    o.text = word;
    o.entry = FindBuiltin(word);
    if (!o.entry || !Compilable(word))
        return false;
    const BuiltinArity arity = ArityOf(*o.entry);
    if (arity.max == 0) {
        if (IsChar(peek(), '(')) {
            ++k_;
            return expect(')');
        }
        return true;
    }
    int i = 0;
    for (; i < arity.min; ++i)
        if (!expect(i == 0 ? '(' : ',') || !argument(o))
            return false;
    for (; arity.max == kOpenArgs || i < arity.max; ++i) {
        const CachedToken* t = peek();
        if (i == 0 && !IsChar(t, '('))
            return true;
        if (IsChar(t, ')')) {
            ++k_;
            return true;
        }
        if (i > 0 && !IsChar(t, ','))
            return false;
        ++k_;
        // "()" after an optional argument leaves its ")" unread.
        if (i == 0 && IsChar(peek(), ')'))
            return false;
        if (!argument(o))
            return false;
    }
    return expect(')');
}

// An operand; the first one of an expression names the argument it begins.
bool LineCompiler::operand(COperand& o, bool first)
{
    const CachedToken* t = peek();
    if (!t)
        return false;
    if (t->type == TOK_CHAR) {
        if (!IsChar(t, '('))
            return false;
        ++k_;
        o.kind = COperand::kParen;
        o.parts.emplace_back();
        return expression(o.parts.back()) && expect(')');
    }
    if (t->type == TOK_LITERAL) {
        o.kind = COperand::kLiteral;
        o.text = take().text;
        return true;
    }
    if (t->type == TOK_IDENT) {
        if (!varRef(o, take().text))
            return false;
        if (first)
            lastIdent_ = o.kind == COperand::kElement ? CArgText{std::string(), o.element} : CArgText{o.text, -1};
        return true;
    }
    if (t->type == TOK_BUILTIN)
        return call(o, take().text);
    return false;
}

bool LineCompiler::expression(CExpr& e)
{
    if (++depth_ > kMaxDepth)
        return false;
    if (!operand(e.first, true))
        return false;
    for (;;) {
        const CachedToken* t = peek();
        if (!t || t->type == TOK_KEYWORD)
            break;
        if (t->type == TOK_CHAR && t->text.size() == 1) {
            const char c = t->text[0];
            if (c == ')' || c == ']' || c == ',' || c == ';')
                break;
        }
        if (t->type != TOK_CHAR || t->text.size() != 1 || !IsOperatorChar(t->text[0]))
            return false;
        ++k_;
        e.rest.emplace_back(t->text[0], COperand());
        COperand& o = e.rest.back().second;
        // An operator at the line's end takes the empty text.
        if (peek() && !operand(o, false))
            return false;
    }
    --depth_;
    return true;
}

bool LineCompiler::condition(CCondition& c)
{
    if (!expression(c.first))
        return false;
    if (!peek()) {
        const int type = typeAtEnd();
        if (type == TOK_BUILTIN)
            return false;  // the value would be called as a built-in
        c.lookUpValue = type == TOK_IDENT;
    }
    for (;;) {
        const CachedToken* t = peek();
        if (!t)
            return true;
        if (t->type != TOK_KEYWORD)
            return false;
        const WordCode w = t->code;
        if (w == kWordThen || w == kWordDo)
            return true;
        if (w != kWordAnd && w != kWordOr && (w < kWordEq || w > kWordGe))
            return false;
        take();
        c.rest.emplace_back(w, CExpr());
        if (!expression(c.rest.back().second))
            return false;
    }
}

bool LineCompiler::statement()
{
    const CachedToken* t = peek();
    if (!t) {
        out_.kind = CompiledLine::kNothing;
        return true;
    }
    if (t->type == TOK_IDENT) {
        const std::string& name = take().text;
        if (!varRef(out_.target, name) || !expect('=') || !expression(out_.value))
            return false;
        out_.kind = CompiledLine::kAssign;
        out_.isDebug = out_.target.kind == COperand::kVariable && name == "debug";
        return !peek();
    }
    if (t->type == TOK_BUILTIN) {
        out_.kind = CompiledLine::kCall;
        return call(out_.target, take().text) && !peek();
    }
    if (t->type != TOK_KEYWORD)
        return false;
    const WordCode word = take().code;
    switch (word) {
    case kWordIf:
    case kWordWhile: {
        out_.kind = word == kWordIf ? CompiledLine::kIf : CompiledLine::kWhile;
        if (!condition(out_.condition))
            return false;
        std::string last;  // the last token read with a text
        if (const CachedToken* close = peek()) {
            // A skipped if reads its do as a statement: left to the grammar.
            if (word == kWordIf && close->code != kWordThen)
                return false;
            last = take().text;
        } else {
            for (size_t i = end_; i-- > 0;)
                if (!tk_[i].text.empty()) {
                    last = tk_[i].text;
                    break;
                }
        }
        out_.endsWithDo = last == "do";
        return !peek();
    }
    case kWordElse: out_.kind = CompiledLine::kElse; return !peek();
    case kWordFi: out_.kind = CompiledLine::kFi; return !peek();
    case kWordDone: out_.kind = CompiledLine::kDone; return !peek();
    case kWordDo: out_.kind = CompiledLine::kDo; return !peek();
    case kWordNext: out_.kind = CompiledLine::kNext; return !peek();
    case kWordFor: {
        out_.kind = CompiledLine::kFor;
        const CachedToken* v = peek();
        if (!v || v->type != TOK_IDENT || !varRef(out_.target, take().text) || !expect('='))
            return false;
        if (!expression(out_.value))
            return false;
        const CachedToken* to = peek();
        if (!to || to->type != TOK_KEYWORD || to->code != kWordTo)
            return false;
        take();
        if (!expression(out_.limit) || peek())
            return false;
        // The start is stored before the end is read: a line read again
        // after a failed call in the end would read the start anew, so the
        // end may hold nothing that fails.
        auto plain = [](const COperand& o) { return o.kind == COperand::kLiteral || o.kind == COperand::kVariable; };
        for (const auto& [op, o] : out_.limit.rest)
            if (op == '.' || !plain(o))
                return false;
        return plain(out_.limit.first);
    }
    default: return false;
    }
}

}  // namespace

std::unique_ptr<CompiledLine> CompileLine(const LineTokens& line)
{
    if (line.live)
        return nullptr;
    auto code = std::make_unique<CompiledLine>();
    LineCompiler compiler(line, *code);
    if (!compiler.statement())
        return nullptr;
    return code;
}

// --- evaluation -----------------------------------------------------------

CompiledEval::CompiledEval(Skript& run, const CompiledLine& code)
    : run_(run), line_(run.curLine), names_(size_t(code.elements))
{
}

bool CompiledEval::name(const COperand& o, std::string& out)
{
    out = o.text;
    if (o.kind != COperand::kElement)
        return true;
    std::string index;
    for (const CExpr& part : o.parts) {
        index.clear();
        if (!expression(part, index))
            return false;
        out += '[';
        out += index;
        out += ']';
    }
    names_[size_t(o.element)] = out;
    return true;
}

bool CompiledEval::variable(const COperand& o, Variable*& out)
{
    Variablen& vars = *run_.vars;
    if (o.kind == COperand::kVariable) {
        if (!o.var || o.varGeneration != vars.Generation()) {
            o.var = &vars.Get(o.text);
            o.varGeneration = vars.Generation();
        }
        out = o.var;
        return true;
    }
    std::string n;
    if (!name(o, n))
        return false;
    out = &vars.Get(n);
    return true;
}

bool CompiledEval::operand(const COperand& o, std::string& out)
{
    switch (o.kind) {
    case COperand::kLiteral: out = o.text; return true;
    case COperand::kParen: return expression(o.parts[0], out);
    case COperand::kCall: return call(o, out);
    default: {
        Variable* v = nullptr;
        if (!variable(o, v))
            return false;
        out = TextRef(*run_.vars, *v).str();
        return true;
    }
    }
}

bool CompiledEval::expression(const CExpr& e, std::string& out)
{
    std::string first;
    if (!operand(e.first, first))
        return false;
    if (!e.rest.empty()) {
        // . * / apply to the value last pushed, + and - wait and fold from
        // the right, as the grammar does.
        ExprSums sums;
        std::string right;
        const size_t limit = run_.settings().maxTextSize;
        for (const auto& [op, o] : e.rest) {
            right.clear();
            if (!operand(o, right))
                return false;
            std::string& top = sums.empty() ? first : sums.back().second;
            if (op == '.') {
                if (top.size() + right.size() > limit)
                    return false;
                top += right;
            } else if (op == '*' || op == '/') {
                top = Arithmetic(op, top, right);
            } else {
                sums.emplace_back(op, right);
            }
        }
        if (!sums.empty()) {
            std::string taken = std::move(sums.back().second);
            for (size_t i = sums.size(); i-- > 0;)
                taken = Arithmetic(sums[i].first, i == 0 ? first : sums[i - 1].second, taken);
            first = std::move(taken);
        }
    }
    out = std::move(first);
    return true;
}

bool CompiledEval::call(const COperand& o, std::string& out)
{
    struct Fill {
        std::vector<std::string> values;
        const COperand& o;
        const std::vector<std::string>& names;
    } fill{std::vector<std::string>(o.parts.size()), o, names_};
    for (size_t i = 0; i < o.parts.size(); ++i)
        if (!expression(o.parts[i], fill.values[i]))
            return false;
    auto result = run_.callBuiltin(*o.entry, o.text, line_, [](void* p, funcContext& args) {
        auto& f = *static_cast<Fill*>(p);
        ReserveArguments(args, int(f.values.size()));
        for (size_t i = 0; i < f.values.size(); ++i) {
            args.values.emplace_back(std::move(f.values[i]));
            const CArgText& t = f.o.argTexts[i];
            args.argTexts.push_back(t.element >= 0 ? f.names[size_t(t.element)] : t.text);
        }
        return int(f.values.size());
    }, &fill);
    if (!result || run_.errLine >= 0 || run_.exitRequested)
        return false;
    out = std::move(*result);
    return true;
}

bool CompiledEval::condition(const CCondition& c, int& out)
{
    std::string value;
    if (!expression(c.first, value))
        return false;
    TextRef left;
    if (c.lookUpValue)
        left = TextRef(*run_.vars, run_.vars->Get(value));
    else
        left = TextRef(std::move(value));
    LogicState s;
    s.erg = std::labs(TextToLong(left));
    for (const auto& [op, e] : c.rest) {
        value.clear();
        if (op == kWordAnd || op == kWordOr) {
            s.stack.push_back(op == kWordAnd ? "and" : "or");
            if (!expression(e, value))
                return false;
            left = TextRef(std::move(value));
            s.haveLeft = true;
            continue;
        }
        if (!expression(e, value))
            return false;
        TextRef right(std::move(value));
        // A comparison out of place ends the condition with the grammar's
        // own error.
        if (!run_.lexprCompare(line_, op, left, right, s)) {
            out = -1;
            return true;
        }
    }
    out = run_.lexprFold(line_, s);
    return true;
}

const CompiledLine* Skript::compiledLine(int index)
{
    const std::string& text = (*lines)[size_t(index)];
    if (size_t(index) >= compiledLines.size())
        compiledLines.resize(size_t(index) + 1);
    if (lines->size() != linesCount) {
        linesCount = lines->size();
        ++linesStamp;
    }
    auto compile = [this, &text] {
        LineTokens tokens;
        tokens.text = text;
        scanLineTokens(tokens);
        return CompileLine(tokens);
    };
    std::unique_ptr<CompiledSlot>& slot = compiledLines[size_t(index)];
    // Most lines of a long script run once: a line keeps its code from its
    // second run on.
    if (!slot) {
        slot = std::make_unique<CompiledSlot>();
        onceCompiled = compile();
        return onceCompiled.get();
    }
    // The code is keyed on the line's text, compared again only once the
    // lines may have changed.
    if (slot->stamp != linesStamp) {
        if (!slot->valid || slot->text != text) {
            slot->text = text;
            slot->code = compile();
            slot->valid = true;
        }
        slot->stamp = linesStamp;
    }
    return slot->code.get();
}

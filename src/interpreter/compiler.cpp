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
        "weekday", "day", "month", "year", "random", "time", "date", "write", "close",
    };
    for (std::string_view w : kWords)
        if (w == word)
            return true;
    return false;
}

// The argument whose name a built-in writes a value into, or -1. A line with
// such a call is compiled only while it reads that variable nowhere else, so
// that a line read again still reads what it read the first time.
int WrittenArgument(std::string_view word)
{
    return word == "read" ? 1 : word == "open" ? 0 : -1;
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
    const ScannedToken* peek() const { return k_ < end_ ? &tk_[k_] : nullptr; }
    static bool IsChar(const ScannedToken* t, char c)
    {
        return t && t->type == TOK_CHAR && t->text.size() == 1 && t->text[0] == c;
    }
    // Reads the next token; a name, a built-in's word or a keyword becomes
    // the name the next argument began with.
    const ScannedToken& take()
    {
        const ScannedToken& t = tk_[k_++];
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
    bool arguments(COperand& o, BuiltinArity arity);
    bool argument(COperand& o);
    bool condition(CCondition& c);

    const std::vector<ScannedToken>& tk_;
    const size_t end_;
    CompiledLine& out_;
    size_t k_ = 0;
    int depth_ = 0;
    CArgText lastIdent_;

public:
    // The names of the variables the line's operands read, and those its
    // calls write.
    std::vector<std::string> reads, written;
    // The elements whose names are arguments' names.
    std::vector<int> namedArguments;
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
    if (lastIdent_.element >= 0)
        namedArguments.push_back(lastIdent_.element);
    return true;
}

bool LineCompiler::call(COperand& o, const std::string& word)
{
    o.kind = COperand::kCall;
    o.text = word;
    o.entry = FindBuiltin(word);
    const int writes = WrittenArgument(word);
    if (!o.entry || (!Compilable(word) && writes < 0))
        return false;
    if (writes >= 0) {
        const size_t readsBefore = reads.size();
        if (!arguments(o, ArityOf(*o.entry)) || int(o.argTexts.size()) <= writes)
            return false;
        const CArgText& name = o.argTexts[size_t(writes)];
        const CExpr& arg = o.parts[size_t(writes)];
        if (name.element >= 0)
            return false;
        // The written argument itself is read before the call only.
        if (arg.rest.empty() && arg.first.kind == COperand::kVariable && arg.first.text == name.text)
            for (size_t i = readsBefore; i < reads.size(); ++i)
                if (reads[i] == name.text) {
                    reads.erase(reads.begin() + long(i));
                    break;
                }
        written.push_back(name.text);
        return true;
    }
    return arguments(o, ArityOf(*o.entry));
}

bool LineCompiler::arguments(COperand& o, BuiltinArity arity)
{
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
        const ScannedToken* t = peek();
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
    const ScannedToken* t = peek();
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
        o.isInteger = ExactInteger(o.text, o.integer);
        o.number = TextToDouble(o.text);
        return true;
    }
    if (t->type == TOK_IDENT) {
        if (!varRef(o, take().text))
            return false;
        if (o.kind == COperand::kVariable)
            reads.push_back(o.text);
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
        const ScannedToken* t = peek();
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
        const ScannedToken* t = peek();
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
    const ScannedToken* t = peek();
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
        if (const ScannedToken* close = peek()) {
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
        const ScannedToken* v = peek();
        if (!v || v->type != TOK_IDENT || !varRef(out_.target, take().text) || !expect('='))
            return false;
        if (!expression(out_.value))
            return false;
        const ScannedToken* to = peek();
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

namespace {

bool IsNumberOperand(const COperand& o)
{
    return o.kind == COperand::kLiteral || o.kind == COperand::kVariable || o.kind == COperand::kElement;
}

// How an assignment's value can be made without the grammar's steps.
CompiledLine::Value HowToAssign(const CompiledLine& code)
{
    const CExpr& v = code.value;
    if (code.target.kind == COperand::kVariable && v.first.kind == COperand::kVariable &&
        v.first.text == code.target.text && !v.rest.empty()) {
        bool appends = true;
        for (const auto& [op, o] : v.rest)
            appends = appends && op == '.';
        if (appends)
            return CompiledLine::kAppend;
    }
    if (v.rest.size() == 1 && v.rest[0].first != '.' && IsNumberOperand(v.first) && IsNumberOperand(v.rest[0].second))
        return CompiledLine::kArithmetic;
    return CompiledLine::kGeneral;
}

void MarkNamed(COperand& o, const std::vector<int>& named);

void MarkNamed(CExpr& e, const std::vector<int>& named)
{
    MarkNamed(e.first, named);
    for (auto& [op, o] : e.rest)
        MarkNamed(o, named);
}

void MarkNamed(COperand& o, const std::vector<int>& named)
{
    for (int n : named)
        o.nameRead = o.nameRead || (o.kind == COperand::kElement && o.element == n);
    for (CExpr& part : o.parts)
        MarkNamed(part, named);
}

// Elements whose names calls see as their arguments' names keep them.
void MarkNamedElements(CompiledLine& code, const std::vector<int>& named)
{
    MarkNamed(code.target, named);
    MarkNamed(code.value, named);
    MarkNamed(code.limit, named);
    MarkNamed(code.condition.first, named);
    for (auto& [op, e] : code.condition.rest)
        MarkNamed(e, named);
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
    if (!compiler.written.empty()) {
        if (code->condition.lookUpValue)
            return nullptr;
        for (const std::string& w : compiler.written)
            for (const std::string& r : compiler.reads)
                if (r == w)
                    return nullptr;
    }
    if (code->kind == CompiledLine::kAssign)
        code->how = HowToAssign(*code);
    if (!compiler.namedArguments.empty())
        MarkNamedElements(*code, compiler.namedArguments);
    CCondition& c = code->condition;
    c.numeric = !c.lookUpValue && c.first.rest.empty() && IsNumberOperand(c.first.first) && c.rest.size() == 1 &&
                c.rest[0].first >= kWordLt && c.rest[0].first <= kWordGe && c.rest[0].second.rest.empty() &&
                IsNumberOperand(c.rest[0].second.first);
    return code;
}

// --- evaluation -----------------------------------------------------------

CompiledEval::CompiledEval(Skript& run, const CompiledLine& code)
    : run_(run), line_(run.curLine), names_(run.elementNames)
{
    if (names_.size() < size_t(code.elements))
        names_.resize(size_t(code.elements));
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
    if (o.nameRead)
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
    if (o.nameRead) {
        std::string n;
        if (!name(o, n))
            return false;
        out = &vars.Get(n);
        return true;
    }
    // Found by base and last index, without the element's name where the
    // index is an integer key.
    std::string base;
    const std::string* baseText = &o.text;
    TextRef index;
    for (size_t i = 0; i + 1 < o.parts.size(); ++i) {
        if (!expression(o.parts[i], index))
            return false;
        if (i == 0)
            base = o.text;
        base += '[';
        base += index.str();
        base += ']';
        baseText = &base;
    }
    const CExpr& last = o.parts.back();
    if (last.rest.empty() && last.first.kind == COperand::kVariable) {
        Variable* key = nullptr;
        variable(last.first, key);
        out = &vars.GetElement(*baseText, *key);
        return true;
    }
    if (!expression(last, index))
        return false;
    out = &vars.GetElement(*baseText, index.str());
    return true;
}

bool CompiledEval::operand(const COperand& o, TextRef& out)
{
    switch (o.kind) {
    case COperand::kLiteral: out = TextRef(std::string(o.text)); return true;
    case COperand::kParen: return expression(o.parts[0], out);
    case COperand::kCall: {
        std::string result;
        if (!call(o, result))
            return false;
        out = TextRef(std::move(result));
        return true;
    }
    default: {
        Variable* v = nullptr;
        if (!variable(o, v))
            return false;
        out = TextRef(*run_.vars, *v);
        return true;
    }
    }
}

bool CompiledEval::number(const COperand& o, Number& out)
{
    if (o.kind == COperand::kLiteral) {
        out = {o.isInteger, o.integer, o.number};
        return true;
    }
    Variable* v = nullptr;
    if (!variable(o, v))
        return false;
    out.isInteger = IntegerOf(*v, out.integer);
    if (!out.isInteger)
        out.number = NumberOf(*v);
    return true;
}

bool CompiledEval::expression(const CExpr& e, std::string& out)
{
    TextRef v;
    if (!expression(e, v))
        return false;
    out = v.take();
    return true;
}

bool CompiledEval::expression(const CExpr& e, TextRef& out)
{
    if (!operand(e.first, out))
        return false;
    if (e.rest.empty())
        return true;
    // . * / apply to the value last pushed, + and - wait and fold from the
    // right, as the grammar does.
    struct Depth {
        int& d;
        explicit Depth(int& depth) : d(++depth) {}
        ~Depth() { --d; }
    } depth(depth_);
    ExprSums& sums = run_.sumsAt(depth_);
    sums.clear();
    TextRef right;
    const size_t limit = run_.settings().maxTextSize;
    for (const auto& [op, o] : e.rest) {
        if (!operand(o, right))
            return false;
        const std::string& r = right.str();
        if (op == '.') {
            const size_t top = sums.empty() ? out.size() : sums.back().second.size();
            if (top + r.size() > limit)
                return false;
            (sums.empty() ? out.own() : sums.back().second) += r;
        } else if (op == '*' || op == '/') {
            if (sums.empty())
                out = TextRef(Arithmetic(op, out.str(), r));
            else
                ArithmeticInto(sums.back().second, op, sums.back().second, r);
        } else {
            sums.emplace_back(op, r);
        }
    }
    if (!sums.empty()) {
        std::string taken = std::move(sums.back().second);
        for (size_t i = sums.size(); i-- > 0;)
            ArithmeticInto(taken, sums[i].first, i == 0 ? out.str() : sums[i - 1].second, taken);
        out = TextRef(std::move(taken));
    }
    return true;
}

bool CompiledEval::call(const COperand& o, std::string& out)
{
    // The arguments are read inside the call, as the grammar reads them.
    struct Fill {
        CompiledEval& eval;
        const COperand& o;
        bool failed = false;
    } fill{*this, o};
    auto result = run_.callBuiltin(*o.entry, o.text, line_, [](void* p, funcContext& args) {
        auto& f = *static_cast<Fill*>(p);
        const size_t n = f.o.parts.size();
        ReserveArguments(args, int(n));
        for (size_t i = 0; i < n; ++i) {
            TextRef v;
            if (!f.eval.expression(f.o.parts[i], v)) {
                f.failed = true;
                return -1;
            }
            args.values.push_back(std::move(v));
            const CArgText& t = f.o.argTexts[i];
            args.argTexts.push_back(t.element >= 0 ? f.eval.names_[size_t(t.element)] : t.text);
        }
        return int(n);
    }, &fill);
    if (fill.failed || !result || run_.errLine >= 0 || run_.exitRequested)
        return false;
    out = std::move(*result);
    return true;
}

bool CompiledEval::condition(const CCondition& c, int& out)
{
    if (c.numeric) {
        Number a, b;
        if (!number(c.first.first, a) || !number(c.rest[0].second.first, b))
            return false;
        const double l = a.value(), r = b.value();
        switch (c.rest[0].first) {
        case kWordLt: out = l < r; break;
        case kWordGt: out = l > r; break;
        case kWordLe: out = l <= r; break;
        default: out = l >= r; break;
        }
        return true;
    }
    TextRef left;
    if (!expression(c.first, left))
        return false;
    if (c.lookUpValue) {
        const std::string name = left.str();
        left = TextRef(*run_.vars, run_.vars->Get(name));
    }
    LogicState s;
    s.erg = std::labs(TextToLong(left));
    for (const auto& [op, e] : c.rest) {
        if (op == kWordAnd || op == kWordOr) {
            s.stack.push_back(op == kWordAnd ? "and" : "or");
            if (!expression(e, left))
                return false;
            s.haveLeft = true;
            continue;
        }
        TextRef right;
        if (!expression(e, right))
            return false;
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

bool CompiledEval::assign(const CompiledLine& code)
{
    Variable* target = nullptr;
    if (!variable(code.target, target))
        return false;
    Variablen& vars = *run_.vars;
    switch (code.how) {
    case CompiledLine::kAppend: {
        // x = x . y . z: the tail goes onto the value in place; every
        // operand still reads the old value.
        Variable* first = nullptr;
        if (!variable(code.value.first, first))
            return false;
        const size_t limit = run_.settings().maxTextSize;
        const size_t size = TextRef(vars, *target).size();
        std::string tail;
        TextRef right;
        // x = x . x appends the value to itself, without a copy of it.
        bool itself = false;
        for (const auto& [op, o] : code.value.rest) {
            if (!operand(o, right))
                return false;
            if (size + tail.size() + right.size() > limit)
                return false;
            itself = code.value.rest.size() == 1 && right.lentFrom() == target;
            if (!itself)
                tail += right.str();
        }
        right = TextRef();
        vars.Append(*target, itself ? target->value() : tail, limit);
        break;
    }
    case CompiledLine::kArithmetic: {
        Number a, b;
        if (!number(code.value.first, a) || !number(code.value.rest[0].second, b))
            return false;
        const char op = code.value.rest[0].first;
        long long r;
        if (a.isInteger && b.isInteger && IntegerArithmetic(op, a.integer, b.integer, r)) {
            vars.AssignInteger(*target, r);
        } else {
            const double l = a.value(), rr = b.value();
            vars.AssignNumber(*target, op == '+' ? l + rr : op == '-' ? l - rr : op == '*' ? l * rr : l / rr);
        }
        break;
    }
    default: {
        TextRef value;
        if (!expression(code.value, value))
            return false;
        vars.Assign(*target, value.take());
        break;
    }
    }
    if (code.isDebug)
        run_.settings().debugLevel = int(TextToLong(TextRef(vars, *target)));
    return true;
}

const CompiledLine* Skript::compiledLine(int index)
{
    if (size_t(index) < compiledLines.size() && lines->size() == linesCount) {
        // A line whose code was checked since the lines last changed.
        const CompiledSlot* kept = compiledLines[size_t(index)].get();
        if (kept && kept->stamp == linesStamp)
            return kept->code.get();
    }
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

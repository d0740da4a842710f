// The statement executor: runs the lines of a script, tracks if, while, do
// and for, obeys the run mode and the stop flag, and reports the end.
#include <chrono>
#include <climits>
#include <new>
#include <thread>

#include "interpreter/compiler.h"
#include "interpreter/skript.h"
#include "platform/numbers.h"
#include "platform/texts.h"

namespace {

enum ConstructType { kIf = 1, kWhile = 2, kForTo = 3, kDo = 4, kForIn = 5 };

// One open control structure. Opening one allocates nothing unless it is a
// for loop over a list.
struct ifs {
    int cond = 0;
    int skip = 1;
    int outerSkip = 0;
    int type = 0;
    std::string var;
    long limit = 0;
    std::vector<std::string> values;  // of a for..in loop, from nextValue on
    size_t nextValue = 0;
    Variable* loopVar = nullptr;  // the variable of a for..to loop that runs
};

}  // namespace

struct ExecState {
    std::vector<ifs> ifSt;
    int skip() const { return ifSt.empty() ? 0 : ifSt.back().skip; }
};

namespace {

bool Fail(Skript& run, const std::string& msg, int line)
{
    run.setError(msg, line);
    return false;
}

// next of the for..to loop on top of the stacks, whose variable is v: the
// variable goes one up and the body runs again, or the loop is over.
void StepForTo(Skript& run, ExecState& st, Variable& v)
{
    long long now;
    if (IntegerOf(v, now))
        now = now > INT_MAX ? INT_MAX : now < INT_MIN ? INT_MIN : now;  // as TextToLong reads it
    else
        now = TextToLong(v.value());
    const long long n = now + 1;
    if (n <= st.ifSt.back().limit) {
        // Only this thread writes the line while it runs, so no fence is needed.
        run.curLine.store(run.loopSt.back(), std::memory_order_release);
        run.vars->AssignInteger(v, n);
    } else {
        run.loopSt.pop_back();
        st.ifSt.pop_back();
    }
}

// Opens an if whose condition gave r (0 or 1; not read while skipping).
void OpenIf(ExecState& st, int r)
{
    const int outerSkip = st.skip();
    ifs& rec = st.ifSt.emplace_back();
    rec.outerSkip = outerSkip;
    rec.type = kIf;
    if (outerSkip == 0) {
        rec.cond = r;
        rec.skip = r == 1 ? 0 : 1;
    }
}

// The if of a condition that was read and gave r.
bool IfWith(Skript& run, ExecState& st, int r)
{
    if (r != 0 && r != 1) {
        run.errLine = -1;
        return Fail(run, "Interner Fehler: logischer Ausdruck ergibt " + std::to_string(r), run.curLine);
    }
    OpenIf(st, r);
    return true;
}

// if condition [then]
bool RunIf(Skript& run, ExecState& st)
{
    // A skipped condition's tokens are read and ignored by the token loop.
    if (st.skip() != 0) {
        OpenIf(st, 0);
        return true;
    }
    return IfWith(run, st, run.lexpr(run.curLine));
}

// else
bool RunElse(Skript& run, ExecState& st)
{
    if (st.ifSt.empty())
        return Fail(run, "'else' ohne 'if'", run.curLine);
    ifs& top = st.ifSt.back();
    if (top.outerSkip)
        top.skip = 1;
    else if (top.cond == 1)
        top.skip = 1;
    else if (top.cond == 0)
        top.skip = 0;
    return true;
}

// fi
bool RunFi(Skript& run, ExecState& st)
{
    if (st.ifSt.empty())
        return Fail(run, "'fi' ohne 'if'", run.curLine);
    if (st.ifSt.back().type == kIf)
        st.ifSt.pop_back();
    return true;
}

// The while of the line that began as line, whose condition gave r: without
// a do at its end it may close a do loop.
bool WhileWith(Skript& run, ExecState& st, int r, int line, bool endsWithDo)
{
    auto& ifSt = st.ifSt;
    auto& loopSt = run.loopSt;
    if (!ifSt.empty() && ifSt.back().type == kDo && !endsWithDo) {
        if (loopSt.empty())
            return Fail(run, "'while' ohne 'do'", line);
        if (r == 1 && ifSt.back().skip == 0) {
            run.curLine = loopSt.back();
        } else if (r == 0 || ifSt.back().skip == 1) {
            loopSt.pop_back();
            ifSt.pop_back();
        }
        return true;
    }
    const int outerSkip = st.skip();
    ifs& rec = ifSt.emplace_back();
    rec.outerSkip = outerSkip;
    rec.type = kWhile;
    rec.cond = r;
    if (outerSkip == 0 && r == 1) {
        rec.skip = 0;
        loopSt.push_back(line);
    }
    return true;
}

// while condition [do]
bool RunWhile(Skript& run, ExecState& st)
{
    const int line = run.curLine;
    int r = run.lexpr(line);
    if (r < 0 && run.errLine >= 0)
        return false;
    return WhileWith(run, st, r, line, run.lastToken == "do");
}

// done
bool RunDone(Skript& run, ExecState& st)
{
    auto& ifSt = st.ifSt;
    if (ifSt.empty() || ifSt.back().type != kWhile)
        return Fail(run, "'done' ohne 'while'", run.curLine);
    if (ifSt.back().skip == 0) {
        if (run.loopSt.empty())
            return Fail(run, "'done' ohne 'while'", run.curLine);
        run.curLine = run.loopSt.back() - 1;
        run.loopSt.pop_back();
    }
    ifSt.pop_back();
    return true;
}

// for var = start to end | for var in (list)
bool RunFor(Skript& run, ExecState& st)
{
    const int line = run.curLine;
    const int curSkip = st.skip();
    ifs rec;
    rec.outerSkip = curSkip;
    std::string name = run.nextToken(line);
    if (run.tokenType != TOK_IDENT || run.atEnd)
        return Fail(run, "Variable nach 'for' erwartet", line);
    if (!run.parseVarRef(line, name))
        return false;
    rec.var = name;
    if (curSkip == 0)
        run.vars->Value(name);
    std::string t = run.nextToken(line);
    if (run.tokenType == TOK_CHAR && t == "=") {
        rec.type = kForTo;
        auto start = run.expr(line);
        if (!start)
            return Fail(run, "Fehlender Ausdruck nach '='", line);
        if (curSkip == 0)
            run.vars->SetValue(name, *start);
        t = run.nextToken(line);
        if (!(run.tokenType == TOK_KEYWORD && t == "to"))
            return Fail(run, "Fehlendes 'to' nach for", line);
        auto end = run.expr(line);
        if (!end)
            return Fail(run, "Fehlender Ausdruck nach 'to'", line);
        rec.limit = TextToLong(*end);
        if (curSkip == 0)
            rec.loopVar = &run.vars->Get(name);
        if (curSkip == 0 && TextToLong(*start) <= rec.limit) {
            rec.skip = 0;
            run.loopSt.push_back(line);
        }
    } else if (run.tokenType == TOK_KEYWORD && t == "in") {
        rec.type = kForIn;
        run.exprList(rec.values, line);
        if (run.errLine >= 0)
            return false;
        if (curSkip == 0 && !rec.values.empty()) {
            run.loopSt.push_back(line);
            run.vars->SetValue(name, std::move(rec.values[0]));
            rec.nextValue = 1;
            rec.skip = 0;
        }
    } else {
        return Fail(run, "Fehlendes '=' oder 'IN' nach for", line);
    }
    st.ifSt.push_back(std::move(rec));
    return true;
}

// next; compiled: the line holds nothing after it, which is not read
bool RunNext(Skript& run, ExecState& st, bool compiled = false)
{
    const int line = run.curLine;
    auto& ifSt = st.ifSt;
    if (ifSt.empty())
        return Fail(run, "'next' ohne 'for'", line);
    ifs& top = ifSt.back();
    if (top.skip == 1) {
        ifSt.pop_back();
        return true;
    }
    if (run.loopSt.empty())
        return Fail(run, "'next' ohne 'for'", line);
    if (top.type == kForTo) {
        std::string name = top.var;
        if (!compiled && !run.parseVarRef(line, name))
            return false;
        StepForTo(run, st, top.loopVar && name.size() == top.var.size() ? *top.loopVar : run.vars->Get(name));
        return true;
    }
    if (top.type == kForIn) {
        if (top.nextValue >= top.values.size()) {
            run.loopSt.pop_back();
            ifSt.pop_back();
        } else {
            run.vars->SetValue(top.var, std::move(top.values[top.nextValue++]));
            run.curLine = run.loopSt.back();
        }
        return true;
    }
    return Fail(run, "Falsche 'if/while/for'-Verschachtelung", line);
}

// do: the loop's end is a while line without a closing do
bool RunDo(Skript& run, ExecState& st)
{
    ifs rec;
    rec.type = kDo;
    rec.skip = st.skip();
    rec.outerSkip = rec.skip;
    run.loopSt.push_back(run.curLine);
    st.ifSt.push_back(std::move(rec));
    return true;
}

// Runs one statement keyword's statement; false ends the line (an error was
// recorded).
bool RunControl(Skript& run, ExecState& st, WordCode word)
{
    switch (word) {
    case kWordIf: return RunIf(run, st);
    case kWordElse: return RunElse(run, st);
    case kWordFi: return RunFi(run, st);
    case kWordWhile: return RunWhile(run, st);
    case kWordDone: return RunDone(run, st);
    case kWordFor: return RunFor(run, st);
    case kWordNext: return RunNext(run, st);
    default: return RunDo(run, st);
    }
}

// Stores an assignment's value.
void FinishAssignment(Skript& run, Variable& target, const std::string& name, ExprValue& value)
{
    if (value.appending && value.base.lentFrom() == &target) {
        // x = x . y: the tail goes onto the value in place.
        value.base = TextRef();
        run.vars->Append(target, value.tailIsBase ? target.value() : value.tail, run.settings().maxTextSize);
    } else {
        run.vars->Assign(target, value.take());
    }
    if (name == "debug")
        run.settings().debugLevel = int(TextToLong(target.value()));
}

// Runs the statements of the current line, token by token; again: a
// compiled line read again after a failed call, whose first statement is
// read whatever happened meanwhile.
void RunStatements(Skript& run, ExecState& st, bool again = false)
{
    bool control = false;  // after a control keyword or a built-in call
    for (bool first = again; first || (!run.exitRequested && !run.stop && run.errLine < 0); first = false) {
        std::string tok = run.nextToken(run.curLine);
        if (run.atEnd)
            break;
        const int type = run.tokenType;
        const int skip = st.skip();
        if (type == TOK_BUILTIN && skip == 0) {
            run.sub(tok, run.curLine);
            control = true;
            continue;
        }
        if (type == TOK_KEYWORD) {
            const WordCode word = KeywordCode(tok);
            if (IsStatementWord(word)) {
                control = true;
                if (!RunControl(run, st, word))
                    break;
                continue;
            }
        }
        if (skip == 1)
            continue;
        if (type == TOK_IDENT) {
            std::string name = tok;
            if (!run.parseVarRef(run.curLine, name)) {
                run.setError(run.errMsg, run.curLine);
                break;
            }
            // The variable is read once, and so created, before the "=".
            Variable& target = run.vars->Get(name);
            if (control)
                continue;
            std::string eq = run.nextToken(run.curLine);
            if (run.tokenType != TOK_CHAR || eq.size() != 1 || eq[0] != '=') {
                run.setError("Fehlendes '=' nach " + name, run.curLine);
                break;
            }
            ExprValue value;
            if (!run.exprAssign(run.curLine, target, value)) {
                // exit inside the expression ends the run without an error.
                if (!run.exitRequested)
                    run.setError(run.errMsg, run.curLine);
                break;
            }
            FinishAssignment(run, target, name, value);
            continue;
        }
        if (type == TOK_ERROR)
            break;  // the scanner recorded the open string
        run.setError("Die linke Seite eines Ausdrucks muss eine Variable sein", run.curLine);
        break;
    }
}

// for var = start to end, compiled.
bool RunCompiledFor(Skript& run, ExecState& st, const CompiledLine& code, CompiledEval& eval)
{
    const int line = run.curLine;
    const int curSkip = st.skip();
    std::string name, start, end;
    if (!eval.name(code.target, name))
        return false;
    if (curSkip == 0)
        run.vars->Value(name);
    if (!eval.expression(code.value, start))
        return false;
    if (curSkip == 0)
        run.vars->SetValue(name, start);
    if (!eval.expression(code.limit, end))
        return false;
    ifs rec;
    rec.outerSkip = curSkip;
    rec.type = kForTo;
    rec.var = std::move(name);
    rec.limit = TextToLong(end);
    if (curSkip == 0)
        rec.loopVar = &run.vars->Get(rec.var);
    if (curSkip == 0 && TextToLong(start) <= rec.limit) {
        rec.skip = 0;
        run.loopSt.push_back(line);
    }
    st.ifSt.push_back(std::move(rec));
    return true;
}

// Runs a compiled line; false when a call failed or a text passed the
// limit, and the line is to be read again by the grammar.
bool RunCompiled(Skript& run, ExecState& st, const CompiledLine& code)
{
    CompiledEval eval(run, code);
    switch (code.kind) {
    case CompiledLine::kNothing: return true;
    case CompiledLine::kAssign: {
        // A skipped assignment reads nothing.
        return st.skip() != 0 || eval.assign(code);
    }
    case CompiledLine::kCall: {
        std::string result;
        return st.skip() != 0 || eval.call(code.target, result);
    }
    case CompiledLine::kIf: {
        if (st.skip() != 0) {
            OpenIf(st, 0);
            return true;
        }
        int r = 0;
        if (!eval.condition(code.condition, r))
            return false;
        IfWith(run, st, r);
        return true;
    }
    case CompiledLine::kWhile: {
        const int line = run.curLine;
        int r = 0;
        if (!eval.condition(code.condition, r))
            return false;
        if (r >= 0 || run.errLine < 0)
            WhileWith(run, st, r, line, code.endsWithDo);
        return true;
    }
    case CompiledLine::kElse: RunElse(run, st); return true;
    case CompiledLine::kFi: RunFi(run, st); return true;
    case CompiledLine::kDone: RunDone(run, st); return true;
    case CompiledLine::kDo: RunDo(run, st); return true;
    case CompiledLine::kNext: RunNext(run, st, true); return true;
    case CompiledLine::kFor: return RunCompiledFor(run, st, code, eval);
    }
    return true;
}

}  // namespace

int Skript::runLines(std::vector<std::string>* lineList)
{
    lines = lineList;
    rng.seed(unsigned(std::chrono::steady_clock::now().time_since_epoch().count()) ^
             unsigned(std::chrono::system_clock::now().time_since_epoch().count()));
    vars->Clear();
    extractPlace = ExtractPlace();
    vars->SetValue("cookies", "1");
    vars->SetValue("trace", "0");
    exitRequested = false;
    errLine = -1;
    errMsg.clear();
    forms = std::make_unique<Formulare>();
    buildWordTypes();
    // The word sets may differ from the last run's: every line is scanned anew.
    compiledLines.clear();
    tokenStack.clear();
    loopSt.clear();
    ExecState st;

    try {
        for (const auto& [name, value] : settings().initVars)
            vars->SetValue(name, value);
        curLine = 0;
        while (!exitRequested && !stop && errLine < 0 && curLine < int(lines->size())) {
            if (runMode == 1) {
                host.enableControls(kMenuStep | kMenuPause, true);
                // Paused: the mode is polled in short slices, so that a stop
                // ends the pause at once.
                while (runMode == 1 && !stop)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ++linesStamp;
                if (takeHandedLines())
                    continue;  // the new script may end before this line
            }
            if (runMode == 2) {
                host.selectText(lineOffset(curLine), 1, true);
                runMode = 1;
            }
            if (stop)
                break;
            const int index = curLine;
            host.lineStatus(index + 1, int(lines->size()), (*lines)[index]);
            // A stop that came meanwhile leaves the line unread.
            const CompiledLine* code = stop || linePath == LinePath::kGrammar ? nullptr : compiledLine(index);
            callLog.clear();
            recordCalls = code != nullptr;
            if (code && !RunCompiled(*this, st, *code)) {
                // The grammar reads the line again from its start; the calls
                // made so far give what they gave.
                recordCalls = false;
                errLine = -1;
                errMsg.clear();
                exitRequested = false;
                replayingCalls = true;
                replayNext = 0;
                setLine((*lines)[index]);
                RunStatements(*this, st, true);
                replayingCalls = false;
            } else if (!code && !stop) {
                setLine((*lines)[index]);
                RunStatements(*this, st);
            }
            recordCalls = false;
            callLog.clear();
            if (runMode == 1)
                host.appendStatus("  ...Ok.");
            curLine.store(curLine.load(std::memory_order_relaxed) + 1, std::memory_order_release);
            takeHandedLines();
        }
    } catch (const std::bad_alloc&) {
        exitRequested = true;
        errMsg = W("Interner Parser Fehler: Speicher erschöpft");
        errLine = curLine;
    } catch (const std::exception& e) {
        exitRequested = true;
        errMsg = std::string("Interner Parser Fehler: ") + e.what();
        errLine = curLine;
    }

    // End of the run.
    if (logStream) {
        std::fclose(logStream);
        logStream = nullptr;
    }
    closeAllStreams();
    if (exitRequested || errLine >= 0 || stop) {
        loopSt.clear();
        st.ifSt.clear();
    }
    if (!loopSt.empty() || !st.ifSt.empty()) {
        errLine = curLine;
        errMsg = "nicht abgeschlossene Schleife";
    }
    errLine = errLine + 1;
    host.enableControls(kToolRun | kToolNew | kToolOpen | kMenuNew | kMenuOpen | kMenuSettings | kMenuRun | kMenuStep,
                        true);
    host.enableControls(kToolStop | kMenuStop | kMenuPause, false);
    if (stop) {
        host.showNote("Abbruch durch Benutzer.");
    } else if (errLine != 0) {
        int idx = errLine - 1;
        if (idx >= 0 && idx < int(lines->size())) {
            host.selectText(lineOffset(idx), int((*lines)[idx].size()), false);
            host.scrollCaretIntoView();
        }
        std::string note = "Zeile " + std::to_string(errLine) + ": " + errMsg;
        if (note.size() > 1023)
            note.resize(1023);
        host.showNote(note);
        host.focusEditor();
    }
    return errLine;
}

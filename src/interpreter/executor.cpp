// The statement executor: runs the lines of a script, tracks if, while, do
// and for, obeys the run mode and the stop flag, and reports the end.
#include <chrono>
#include <deque>
#include <new>
#include <thread>

#include "interpreter/skript.h"
#include "platform/numbers.h"
#include "platform/texts.h"

namespace {

enum ConstructType { kIf = 1, kWhile = 2, kForTo = 3, kDo = 4, kForIn = 5 };

// One open control structure.
struct ifs {
    int cond = 0;
    int skip = 1;
    int outerSkip = 0;
    int type = 0;
    std::string var;
    long limit = 0;
    std::deque<std::string> values;
    Variable* loopVar = nullptr;  // the variable of a for..to loop that runs
};

enum ControlWord { kNone, kWordIf, kWordElse, kWordFi, kWordWhile, kWordDone, kWordFor, kWordNext, kWordDo };

// The control keyword a word is, or kNone; runs once per statement, so it
// compares characters rather than texts.
ControlWord ControlCode(const std::string& w)
{
    switch (w.size()) {
    case 2:
        if (w[0] == 'i' && w[1] == 'f')
            return kWordIf;
        if (w[0] == 'f' && w[1] == 'i')
            return kWordFi;
        if (w[0] == 'd' && w[1] == 'o')
            return kWordDo;
        return kNone;
    case 3:
        return w == "for" ? kWordFor : kNone;
    case 4:
        if (w == "else")
            return kWordElse;
        if (w == "done")
            return kWordDone;
        if (w == "next")
            return kWordNext;
        return kNone;
    case 5:
        return w == "while" ? kWordWhile : kNone;
    default:
        return kNone;
    }
}

}  // namespace

struct ExecState {
    std::vector<ifs> ifSt;
    int skip() const { return ifSt.empty() ? 0 : ifSt.back().skip; }
};

namespace {

// next of the for..to loop on top of the stacks, whose variable is v: the
// variable goes one up and the body runs again, or the loop is over.
void StepForTo(Skript& run, ExecState& st, Variable& v)
{
    long long n = (long long)TextToLong(v.value) + 1;
    if (n <= st.ifSt.back().limit) {
        // Only this thread writes the line while it runs, so no fence is needed.
        run.curLine.store(run.loopSt.back(), std::memory_order_release);
        IntToTextInto(run.vars->Modify(v), n);
    } else {
        run.loopSt.pop_back();
        st.ifSt.pop_back();
    }
}

// Runs one control statement; false ends the line (an error was recorded).
bool RunControl(Skript& run, ExecState& st, ControlWord word)
{
    const int line = run.curLine;
    const int curSkip = st.skip();
    auto& ifSt = st.ifSt;
    auto& loopSt = run.loopSt;
    auto fail = [&](const std::string& msg) {
        run.setError(msg, line);
        return false;
    };

    if (word == kWordIf) {
        // if condition [then]
        ifs rec;
        rec.outerSkip = curSkip;
        rec.type = kIf;
        if (curSkip == 0) {
            int r = run.lexpr(line);
            rec.cond = r;
            if (r == 1) {
                rec.skip = 0;
            } else if (r != 0) {
                run.errLine = -1;
                return fail("Interner Fehler: logischer Ausdruck ergibt " + std::to_string(r));
            }
        }
        // A skipped condition's tokens are read and ignored by the token loop.
        ifSt.push_back(std::move(rec));
        return true;
    }
    if (word == kWordElse) {
        if (ifSt.empty())
            return fail("'else' ohne 'if'");
        ifs& top = ifSt.back();
        if (top.outerSkip)
            top.skip = 1;
        else if (top.cond == 1)
            top.skip = 1;
        else if (top.cond == 0)
            top.skip = 0;
        return true;
    }
    if (word == kWordFi) {
        if (ifSt.empty())
            return fail("'fi' ohne 'if'");
        if (ifSt.back().type == kIf)
            ifSt.pop_back();
        return true;
    }
    if (word == kWordWhile) {
        // while condition [do]; without do it may close a do loop
        int r = run.lexpr(line);
        if (r < 0 && run.errLine >= 0)
            return false;
        if (!ifSt.empty() && ifSt.back().type == kDo && run.lastToken != "do") {
            if (loopSt.empty())
                return fail("'while' ohne 'do'");
            if (r == 1 && ifSt.back().skip == 0) {
                run.curLine = loopSt.back();
            } else if (r == 0 || ifSt.back().skip == 1) {
                loopSt.pop_back();
                ifSt.pop_back();
            }
            return true;
        }
        ifs rec;
        rec.outerSkip = curSkip;
        rec.type = kWhile;
        rec.cond = r;
        if (curSkip == 0 && r == 1) {
            rec.skip = 0;
            loopSt.push_back(line);
        }
        ifSt.push_back(std::move(rec));
        return true;
    }
    if (word == kWordDone) {
        if (ifSt.empty() || ifSt.back().type != kWhile)
            return fail("'done' ohne 'while'");
        if (ifSt.back().skip == 0) {
            if (loopSt.empty())
                return fail("'done' ohne 'while'");
            run.curLine = loopSt.back() - 1;
            loopSt.pop_back();
        }
        ifSt.pop_back();
        return true;
    }
    if (word == kWordFor) {
        // for var = start to end | for var in (list)
        ifs rec;
        rec.outerSkip = curSkip;
        std::string name = run.nextToken(line);
        if (run.tokenType != TOK_IDENT || run.atEnd)
            return fail("Variable nach 'for' erwartet");
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
                return fail("Fehlender Ausdruck nach '='");
            if (curSkip == 0)
                run.vars->SetValue(name, *start);
            t = run.nextToken(line);
            if (!(run.tokenType == TOK_KEYWORD && t == "to"))
                return fail("Fehlendes 'to' nach for");
            auto end = run.expr(line);
            if (!end)
                return fail("Fehlender Ausdruck nach 'to'");
            rec.limit = TextToLong(*end);
            if (curSkip == 0)
                rec.loopVar = &run.vars->Get(name);
            if (curSkip == 0 && TextToLong(*start) <= rec.limit) {
                rec.skip = 0;
                loopSt.push_back(line);
            }
        } else if (run.tokenType == TOK_KEYWORD && t == "in") {
            rec.type = kForIn;
            std::vector<std::string> list;
            run.exprList(list, line);
            if (run.errLine >= 0)
                return false;
            rec.values.assign(std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
            if (curSkip == 0 && !rec.values.empty()) {
                loopSt.push_back(line);
                run.vars->SetValue(name, rec.values.front());
                rec.values.pop_front();
                rec.skip = 0;
            }
        } else {
            return fail("Fehlendes '=' oder 'IN' nach for");
        }
        ifSt.push_back(std::move(rec));
        return true;
    }
    if (word == kWordNext) {
        if (ifSt.empty())
            return fail("'next' ohne 'for'");
        ifs& top = ifSt.back();
        if (top.skip == 1) {
            ifSt.pop_back();
            return true;
        }
        if (loopSt.empty())
            return fail("'next' ohne 'for'");
        if (top.type == kForTo) {
            std::string name = top.var;
            if (!run.parseVarRef(line, name))
                return false;
            StepForTo(run, st, top.loopVar && name.size() == top.var.size() ? *top.loopVar : run.vars->Get(name));
            return true;
        }
        if (top.type == kForIn) {
            if (top.values.empty()) {
                loopSt.pop_back();
                ifSt.pop_back();
            } else {
                run.vars->SetValue(top.var, top.values.front());
                top.values.pop_front();
                run.curLine = loopSt.back();
            }
            return true;
        }
        return fail("Falsche 'if/while/for'-Verschachtelung");
    }
    // do: the loop's end is a while line without a closing do
    ifs rec;
    rec.type = kDo;
    rec.skip = curSkip;
    rec.outerSkip = curSkip;
    loopSt.push_back(line);
    ifSt.push_back(std::move(rec));
    return true;
}

// Stores an assignment's value.
void FinishAssignment(Skript& run, Variable& target, const std::string& name, ExprValue& value)
{
    if (value.appending && value.base.lentFrom() == &target) {
        // x = x . y: the tail goes onto the value in place.
        value.base = TextRef();
        run.vars->Append(target, value.tailIsBase ? target.value : value.tail, run.settings().maxTextSize);
    } else {
        run.vars->Assign(target, value.take());
    }
    if (name == "debug")
        run.settings().debugLevel = int(TextToLong(target.value));
}

// A line that holds only "next" and steps a running for..to loop: the
// statement without reading its tokens one by one; false for any other line.
bool RunLoneNext(Skript& run, ExecState& st)
{
    const LineTokens* cached = run.cachedLine;
    if (!cached || cached->tokens.size() != 1 || st.ifSt.empty())
        return false;
    const CachedToken& word = cached->tokens[0];
    ifs& top = st.ifSt.back();
    if (word.type != TOK_KEYWORD || word.text != "next" || top.type != kForTo || top.skip != 0 ||
        !top.loopVar || run.loopSt.empty())
        return false;
    StepForTo(run, st, *top.loopVar);
    // The scanner ends as after reading "next" and the end of the line.
    run.lastToken = word.text;
    run.lastIdent = word.text;
    run.tokenType = TOK_KEYWORD;
    run.atEnd = true;
    run.lastCached = nullptr;
    run.cachedNext = 1;
    run.linePos = cached->text.size() + 1;
    return true;
}

// Runs the statements of the current line.
void RunStatements(Skript& run, ExecState& st)
{
    bool control = false;  // after a control keyword or a built-in call
    while (!run.exitRequested && !run.stop && run.errLine < 0) {
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
        const ControlWord word = type == TOK_KEYWORD ? ControlCode(tok) : kNone;
        if (word != kNone) {
            control = true;
            if (!RunControl(run, st, word))
                break;
            continue;
        }
        if (skip == 1)
            continue;
        if (type == TOK_IDENT) {
            const CachedToken* cached = run.lastCached;
            std::string name = tok;
            if (!run.parseVarRef(run.curLine, name)) {
                run.setError(run.errMsg, run.curLine);
                break;
            }
            // The variable is read once, and so created, before the "=".
            Variable& target = name.size() == tok.size() ? run.varOf(cached, name) : run.vars->Get(name);
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

}  // namespace

const std::string& Skript::cachedOperand(const CachedToken& t)
{
    return t.type == TOK_IDENT ? varOf(&t, t.text).value : t.text;
}

bool Skript::runSimpleAssignment()
{
    if (!cachedLine || !cachedLine->simpleAssignment)
        return false;
    const auto& tk = cachedLine->tokens;
    // The same reads, in the same order, as the token loop and expr make.
    Variable& target = varOf(&tk[0], tk[0].text);
    const char op = tk.size() == 5 ? tk[3].text[0] : 0;
    if (op == '+' || op == '-' || op == '*' || op == '/') {
        // One arithmetic operator: no text to keep apart, nothing deferred.
        const std::string& a = cachedOperand(tk[2]);
        const std::string& b = cachedOperand(tk[4]);
        ArithmeticInto(vars->Modify(target), op, a, b);
        if (tk[0].text == "debug")
            settings().debugLevel = int(TextToLong(target.value));
    } else if (!runOperators(target)) {
        return true;
    }
    endLine();
    return true;
}

// Evaluates the simple assignment's expression of the cached line and
// stores it; false after an error.
bool Skript::runOperators(Variable& target)
{
    const auto& tk = cachedLine->tokens;
    const int line = curLine;
    ExprValue value;
    const CachedToken& first = tk[2];
    if (first.type == TOK_IDENT) {
        Variable& v = varOf(&first, first.text);
        value.base = TextRef(*vars, v);
        value.appending = &v == &target;
    } else {
        value.base = TextRef(std::string(first.text));
    }
    if (sumsByDepth.empty())
        sumsByDepth.resize(1);
    ExprSums& sums = sumsByDepth[0];
    sums.clear();
    bool ok = true;
    for (size_t k = 3; ok && k < tk.size(); k += 2)
        ok = applyOperator(line, value, sums, tk[k].text[0], cachedOperand(tk[k + 1]), &target);
    if (!ok)
        return false;
    foldSums(value, sums);
    FinishAssignment(*this, target, tk[0].text, value);
    return true;
}

// The scanner's state after a cached line was run without reading its
// tokens: as after reading them one by one to the end of the line.
void Skript::endLine()
{
    const auto& tk = cachedLine->tokens;
    // A simple assignment holds an identifier first, so both exist.
    lastToken = tk[cachedLine->lastText].text;
    lastIdent = tk[cachedLine->lastIdent].text;
    tokenType = tk.back().type;
    atEnd = true;
    lastCached = nullptr;
    cachedNext = tk.size();
    linePos = cachedLine->text.size() + 1;
}

int Skript::runLines(std::vector<std::string>* lineList)
{
    lines = lineList;
    rng.seed(unsigned(std::chrono::steady_clock::now().time_since_epoch().count()) ^
             unsigned(std::chrono::system_clock::now().time_since_epoch().count()));
    vars->Clear();
    vars->SetValue("cookies", "1");
    vars->SetValue("trace", "0");
    exitRequested = false;
    errLine = -1;
    errMsg.clear();
    forms = std::make_unique<Formulare>();
    buildWordTypes();
    // The word sets may differ from the last run's: every line is scanned anew.
    tokenCache.clear();
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
            }
            if (runMode == 2) {
                host.selectText(lineOffset(curLine), 1, true);
                runMode = 1;
            }
            if (stop)
                break;
            const int index = curLine;
            host.lineStatus(index + 1, int(lines->size()), (*lines)[index]);
            useLine(index);
            tokenStack.clear();
            if (st.skip() != 0 || (!runSimpleAssignment() && !RunLoneNext(*this, st)))
                RunStatements(*this, st);
            if (runMode == 1)
                host.appendStatus("  ...Ok.");
            curLine.store(curLine.load(std::memory_order_relaxed) + 1, std::memory_order_release);
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

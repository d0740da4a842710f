// The statement executor: runs the lines of a script, tracks if, while, do
// and for, obeys the run mode and the stop flag, and reports the end.
#include <chrono>
#include <deque>
#include <new>
#include <thread>

#include "interpreter/numbers.h"
#include "interpreter/skript.h"
#include "interpreter/texts.h"

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
};

bool IsControlWord(const std::string& w)
{
    return w == "if" || w == "else" || w == "fi" || w == "while" || w == "done" || w == "for" ||
           w == "next" || w == "do";
}

}  // namespace

struct ExecState {
    std::vector<ifs> ifSt;
    int skip() const { return ifSt.empty() ? 0 : ifSt.back().skip; }
};

namespace {

// Runs one control statement; false ends the line (an error was recorded).
bool RunControl(Skript& run, ExecState& st, const std::string& word)
{
    const int line = run.curLine;
    const int curSkip = st.skip();
    auto& ifSt = st.ifSt;
    auto& loopSt = run.loopSt;
    auto fail = [&](const std::string& msg) {
        run.setError(msg, line);
        return false;
    };

    if (word == "if") {
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
    if (word == "else") {
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
    if (word == "fi") {
        if (ifSt.empty())
            return fail("'fi' ohne 'if'");
        if (ifSt.back().type == kIf)
            ifSt.pop_back();
        return true;
    }
    if (word == "while") {
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
    if (word == "done") {
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
    if (word == "for") {
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
    if (word == "next") {
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
            long long n = (long long)TextToLong(run.vars->Value(name)) + 1;
            if (n <= top.limit) {
                run.curLine = loopSt.back();
                run.vars->SetValue(name, n);
            } else {
                loopSt.pop_back();
                ifSt.pop_back();
            }
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
        if (type == TOK_KEYWORD && IsControlWord(tok)) {
            control = true;
            if (!RunControl(run, st, tok))
                break;
            continue;
        }
        if (skip == 1)
            continue;
        if (type == TOK_IDENT) {
            std::string name = tok;
            if (!run.parseVarRef(run.curLine, name)) {
                run.setError(run.errMsg, run.curLine);
                break;
            }
            if (control) {
                run.vars->Value(name);
                continue;
            }
            std::string eq = run.nextToken(run.curLine);
            if (run.tokenType != TOK_CHAR || eq != "=") {
                run.setError("Fehlendes '=' nach " + name, run.curLine);
                break;
            }
            auto value = run.expr(run.curLine);
            if (!value) {
                // exit inside the expression ends the run without an error.
                if (!run.exitRequested)
                    run.setError(run.errMsg, run.curLine);
                break;
            }
            if (name == "debug")
                run.settings().debugLevel = int(TextToLong(*value));
            run.vars->SetValue(name, *value);
            continue;
        }
        if (type == TOK_ERROR)
            break;  // the scanner recorded the open string
        run.setError("Die linke Seite eines Ausdrucks muss eine Variable sein", run.curLine);
        break;
    }
}

}  // namespace

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
            const std::string& text = (*lines)[curLine];
            host.lineStatus(curLine + 1, int(lines->size()), text);
            setLine(text);
            tokenStack.clear();
            RunStatements(*this, st);
            if (runMode == 1)
                host.appendStatus("  ...Ok.");
            curLine = curLine + 1;
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

// The run object: one script run on a thread of its own. It holds everything
// that lives for one run and talks to the world only through its host.
#pragma once

#include <atomic>
#include <deque>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stack>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interpreter/builtins_extract.h"
#include "interpreter/host.h"
#include "interpreter/variables.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "web/web_access.h"

struct funcContext;
struct BuiltinEntry;
struct CompiledLine;
class FtpClient;

// A scanner token.
struct token {
    int type;
    std::string text;
    bool end = false;  // the end of the line, pushed back
};

// Token types.
enum : int {
    TOK_ERROR = 0,    // unterminated string literal
    TOK_IDENT = 1,
    TOK_CHAR = 2,     // any other single character
    TOK_LITERAL = 3,  // number or string literal
    TOK_BUILTIN = 4,
    TOK_KEYWORD = 5,
    TOK_COMMENT = 6,
};

// The keywords as codes: the statements first, through kWordDo.
enum WordCode : unsigned char {
    kNoWord,
    kWordIf, kWordElse, kWordFi, kWordWhile, kWordDone, kWordFor, kWordNext, kWordDo,
    kWordThen, kWordTo, kWordIn, kWordAnd, kWordOr,
    kWordEq, kWordNe, kWordLt, kWordGt, kWordLe, kWordGe,
};
// The code of a keyword's text; kNoWord for any other text.
WordCode KeywordCode(std::string_view word);
inline bool IsStatementWord(WordCode c)
{
    return c != kNoWord && c <= kWordDo;
}

// A token of a scanned line, with the scanner position after it.
struct ScannedToken {
    int type = TOK_IDENT;
    WordCode code = kNoWord;  // a keyword's code
    std::string text;
    size_t endPos = 1;
};

// The tokens of one script line, which the compiler reads. A live line (a
// string literal that goes on with the next line) has none: it is read by
// the grammar as it runs.
struct LineTokens {
    std::string text;
    std::vector<ScannedToken> tokens;
    bool live = false;
    // The tokens before a comment that ends the line.
    size_t end = 0;
};

// The state of a condition while it is read: the last value, whether a
// comparison may follow, the pending and/or with the values before them.
struct LogicState {
    long erg = 0;
    bool haveLeft = true;  // a comparison consumes its left operand
    std::vector<std::string> stack;
};

// Fills a call's argument list; gives the count as the argument parser does.
using ArgsFiller = int (*)(void* context, funcContext& args);

// The value of an expression while it is evaluated: a text, which may be a
// variable's value read in place, and for an assignment whose expression
// begins with its own target (x = x . y), the appended tail kept apart, so
// that the assignment appends it in place and every reading of the target
// inside the expression still sees the old value.
struct ExprValue {
    TextRef base;
    std::string tail;
    bool appending = false;  // base is the assignment's target, tail follows it
    // The tail is one more copy of base (x = x . x), not yet made.
    bool tailIsBase = false;
    size_t size() const { return base.size() + (tailIsBase ? base.size() : tail.size()); }
    // Adds to the tail; right may be base itself.
    void appendTail(const std::string& right)
    {
        if (tail.empty() && !tailIsBase && &right == &base.str()) {
            tailIsBase = true;
            return;
        }
        if (tailIsBase) {
            tail = base.str();
            tailIsBase = false;
        }
        tail += right;
    }
    // The whole text, owned and changeable; ends the appending.
    std::string& text()
    {
        std::string& s = base.own();
        if (appending) {
            if (tailIsBase)
                s.append(s);
            else
                s += tail;
            tail.clear();
            tailIsBase = false;
            appending = false;
        }
        return s;
    }
    // The whole text, for reading.
    const std::string& view() { return appending && (tailIsBase || !tail.empty()) ? text() : base.str(); }
    std::string take()
    {
        text();
        return base.take();
    }
};

// The deferred + and - of an expression, each with its right operand.
using ExprSums = std::vector<std::pair<char, std::string>>;

class Skript : public platform::Thread, public WebAccess {
public:
    // The lines are borrowed: the host's own list, which only the run's
    // thread touches while it runs; changes come through handOverLines.
    Skript(bool createSuspended, RunHost& host, std::vector<std::string>* lines);
    ~Skript() override;

    // --- run control, shared with the GUI thread -------------------------
    std::atomic<bool> running{false};
    std::atomic<bool> stop{false};
    std::atomic<int> runMode{0};  // 0 run, 1 paused, 2 one step
    std::atomic<int> curLine{0};  // 0-based index of the line being run
    bool exitRequested = false;

    // Blocks until wake(); a wake that comes after the post is not lost.
    void waitForGui(unsigned message, const std::string* url);
    void wake() { wakeUp.Set(); }

    // The GUI thread hands the run new lines (the editor's, after the
    // recorder inserted some or a script was opened); lines handed over
    // before and not yet taken are dropped.
    void handOverLines(std::vector<std::string> newLines);
    // On the run's thread, before a line and after a wait: the lines handed
    // over become the run's; true when there were any. The check is a
    // relaxed load, as it comes before every line.
    bool takeHandedLines() { return linesHanded.load(std::memory_order_relaxed) && takeHandedLinesNow(); }

    // How lines are read: kCompiled runs each line's compiled code (see
    // compiler.h); kGrammar reads every line's text token by token through
    // the grammar alone, the reference the compiled way is compared with in
    // tests.
    enum class LinePath : unsigned char { kCompiled, kGrammar };
    LinePath linePath = LinePath::kCompiled;

    // --- state of the run -------------------------------------------------
    RunHost& host;
    std::vector<std::string>* lines;
    std::unique_ptr<Variablen> vars;
    std::string errMsg;
    int errLine = 0;  // -1 no error, else the 0-based line
    std::string inputResult, inputPrompt, inputDefault;
    // The base element browse put into the page copy and where: the window
    // shows the copy under the page's own address without it, so that links
    // mean there what they mean on the page. Empty when none was put in.
    std::string copyBase;
    size_t copyBaseAt = 0;
    std::FILE* logStream = nullptr;
    bool logFailureTold = false;  // a failed log write is told once per log file
    std::mt19937 rng;  // the random built-in's generator, seeded at every run start
    ExtractPlace extractPlace;  // where the last extract by count stopped

    // Streams of the open/read/write/close built-ins, by nonzero handle.
    long openStream(std::FILE* f);
    std::FILE* stream(long handle) const;  // null for an unknown handle
    // The errno of a failed fclose (the buffered data did not reach the
    // file), 0 when it succeeded, -1 for an unknown handle.
    int closeStream(long handle);
    void closeAllStreams();

    // --- scanner ------------------------------------------------------------
    std::string lineText;
    size_t linePos = 1;  // 1-based
    int tokenType = TOK_IDENT;
    std::vector<token> tokenStack;
    std::string lastToken, lastIdent;
    // The last token before lastToken, kept by swapping rather than copying.
    std::string prevToken;
    void setLastToken(const std::string& text)
    {
        // A short text is copied (a swap moves three inline buffers), a
        // long one swapped.
        if (lastToken.size() < 16)
            prevToken.assign(lastToken);
        else
            prevToken.swap(lastToken);
        lastToken = text;
    }
    // True when the last token read was the end of the line (a comment too);
    // "" alone can't tell it from an empty string literal.
    bool atEnd = false;
    void setLine(const std::string& text);
    std::string nextToken(int line);
    void pushBack(int type, const std::string& text) { tokenStack.push_back({type, text, text.empty() && type != TOK_LITERAL}); }
    // Pushes back the token just read, with its type and end-of-line state.
    void pushBackLast(const std::string& text);
    // Changes whenever the lines may have changed: after each wait for the
    // window and a pause, and when their count changed.
    unsigned linesStamp = 1;
    size_t linesCount = 0;

    // --- expressions --------------------------------------------------------
    std::optional<std::string> expr(int line);
    // expr, with the value kept as read (a variable's value is not copied).
    bool exprRef(int line, TextRef& out);
    // expr for the right side of an assignment to target: the value is the
    // new text, or the old one with a tail to append.
    bool exprAssign(int line, Variable& target, ExprValue& out);
    // Applies . * / to the value last pushed, or defers + and - (o is the
    // operator; right may be a variable's value, target the assignment's).
    bool applyOperator(int line, ExprValue& first, ExprSums& sums, char o, const std::string& right, Variable* target);
    // Folds the deferred sums into first.
    void foldSums(ExprValue& first, ExprSums& sums);
    int lexpr(int line);
    // The rest of lexpr after the first operand.
    int lexprAfterLeft(int line, TextRef& left);
    // lexpr's loop from the next token on, and its steps: one comparison of
    // left with right, and the folding of the pending and/or.
    int lexprLoop(int line, TextRef& left, LogicState& s);
    bool lexprCompare(int line, WordCode op, const TextRef& left, const TextRef& right, LogicState& s);
    // One comparison: false, with the run error, for a word that compares nothing.
    bool compareTexts(int line, WordCode op, const std::string& left, const std::string& right, long& erg);
    int lexprFold(int line, LogicState& s);
    bool parseVarRef(int line, std::string& name);
    bool exprList(std::vector<std::string>& list, int line);
    int parseArgs(funcContext& args, int min, int line, int max);
    // parseArgs from argument i on (i > 0: after the arguments before it).
    int parseArgsFrom(funcContext& args, int min, int line, int max, int i);
    bool readArgument(funcContext& args, int line);
    // { op operand } after an expression's first value, then the sums folded.
    bool evalOperators(int line, ExprValue& first, ExprSums& sums, Variable* target);
    // The deferred sums of the expression at that nesting depth.
    ExprSums& sumsAt(int depth);

    // --- dispatcher and executor ------------------------------------------
    std::optional<std::string> sub(const std::string& name, int line);
    // Runs a built-in whose argument list fill reads.
    std::optional<std::string> callBuiltin(const BuiltinEntry& entry, const std::string& name, int line,
                                           ArgsFiller fill, void* context);
    int runLines(std::vector<std::string>* lines);
    std::vector<int> loopSt;

    // --- compiled lines ---------------------------------------------------
    // The code of the line at that index, compiled on its first run and
    // kept from its second while its text stays; null: the grammar reads it.
    const CompiledLine* compiledLine(int index);
    // What each built-in's body gave while a compiled line ran. When the
    // line is read again by the grammar, the calls it makes up to the last
    // one recorded take these results instead of running again.
    struct CallRecord {
        std::optional<std::string> result;
        int errLine = -1;
        std::string errMsg;
        bool exitRequested = false;
    };
    std::vector<CallRecord> callLog;
    // The names elements of a compiled line were read by, by their number.
    std::vector<std::string> elementNames;
    bool recordCalls = false;
    bool replayingCalls = false;
    size_t replayNext = 0;

    // False, with the run error recorded, when a text of that size would
    // pass the text limit.
    bool withinTextLimit(size_t size, int line);
    RunSettings& settings() { return host.settings(); }

    // What the web access asks of its run (PageRun). Output goes through the
    // host: a line with the pane's limit, a note box.
    void setError(const std::string& message, int line) override;
    void appendOutput(const std::string& line) override { host.appendOutput(line, true); }
    void showNote(const std::string& text) override { host.showNote(text); }
    WebSettings& webSettings() override { return host.settings(); }
    std::string variable(const std::string& name) override { return vars->GetValue(name); }
    const std::string* findVariable(const std::string& name) override;
    void setVariable(const std::string& name, std::string value) override { vars->SetValue(name, std::move(value)); }
    const std::atomic<bool>& stopFlag() override { return stop; }
    // Selection start of a line: the lengths of all earlier lines plus 2 each.
    int lineOffset(int line) const;

    // --- system built-ins ---------------------------------------------------
    std::unique_ptr<FtpClient> ftp;

protected:
    void Execute() override;

private:
    // Depth of nested expressions; a bound keeps deep nesting off the stack.
    int exprDepth = 0;
    platform::AutoResetEvent wakeUp;
    std::mutex handMutex;
    std::vector<std::string> handedLines;  // guarded by handMutex
    std::atomic<bool> linesHanded{false};
    bool takeHandedLinesNow();
    std::map<long, std::FILE*> streams;
    long nextStream = 1;

    // Word classes of the two word sets, built at run start.
    std::unordered_map<std::string, int> wordTypes;
    void buildWordTypes();
    bool scanString(int line, std::string& text);
    int scanWord(const std::string& text, size_t& i, std::string& out) const;
    void scanLineTokens(LineTokens& entry) const;

    struct CompiledSlot;
    std::vector<std::unique_ptr<CompiledSlot>> compiledLines;
    std::unique_ptr<CompiledLine> onceCompiled;  // the code of a line on its first run

    bool evalExpr(int line, ExprValue& out, Variable* target);
    // The deferred sums of the expressions being evaluated, by depth.
    std::deque<ExprSums> sumsByDepth;  // a deque: growing keeps references good
    bool evalInner(int line, ExprValue& out, Variable* target);
    std::optional<std::string> parenthesised(int line);
};

// What an in-place append, values read in place and the code kept per line
// could get wrong: every script must see the same values as if each operand
// were copied and each line scanned anew.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "interpreter/skript.h"
#include "platform/numbers.h"
#include "platform/texts.h"
#include "support/test_host.h"

namespace {

std::vector<std::string> Lines(std::initializer_list<const char*> l)
{
    return std::vector<std::string>(l.begin(), l.end());
}

struct AppendCase {
    const char* name;
    const char* script;
    const char* output;
};

class AppendTest : public ::testing::TestWithParam<AppendCase> {};

TEST_P(AppendTest, SeesTheOldValueWhereItReadsTheTarget)
{
    const AppendCase& c = GetParam();
    RunResult r = RunScript(c.script);
    EXPECT_EQ(r.result, 0) << c.script << ": " << r.errMsg;
    EXPECT_EQ(Joined(r.output), c.output) << c.script;
}

const AppendCase kAppends[] = {
    {"self", "x = \"ab\"\nx = x . x\nx = x . x\nprint(x)", "abababab"},
    {"self_twice", "x = \"ab\"\nx = x . x . x\nprint(x)", "ababab"},
    {"self_then_literal", "x = \"ab\"\nx = x . x . \"-\"\nprint(x)", "abab-"},
    {"builtin_argument_reads_target", "x = \"ab\"\nx = x . substr(x, 1, 1)\nprint(x)", "aba"},
    {"argument_after_append", "x = \"ab\"\nx = x . \"cd\" . length(x) . x\nprint(x)", "abcd2ab"},
    {"index_reads_target", "a[2] = \"zwei\"\nx = \"ab\"\nx = x . a[length(x)]\nprint(x)", "abzwei"},
    {"index_target", "a[1] = \"x\"\ni = 1\na[i] = a[i] . a[1] . i\nprint(a[1])", "xx1"},
    {"nested_expression_reads_target", "x = \"7\"\nx = x . (x + 1) . x\nprint(x)", "787"},
    {"sum_after_append", "x = \"1\"\nx = x . \"2\" + 1\nprint(x)", "13"},
    {"product_before_append", "x = \"3\"\nx = x * 2 . x\nprint(x)", "63"},
    {"other_variable", "y = \"ab\"\nx = y . y\nprint(x, \" \", y)", "abab ab"},
    {"in_a_loop", "for i = 1 to 5\ns = s . i\nnext\nprint(s)", "12345"},
    {"assignment_to_itself", "x = \"ab\"\nx = x\nprint(x)", "ab"},
};
INSTANTIATE_TEST_SUITE_P(Appending, AppendTest, ::testing::ValuesIn(kAppends),
                         [](const auto& info) { return std::string(info.param.name); });

// A file with known lines, removed again when the test ends.
class LineFile {
public:
    explicit LineFile(const std::string& text)
        : path_(std::filesystem::temp_directory_path() /
                ("skimlark-append-" + std::to_string(std::random_device{}()) + ".txt"))
    {
        std::ofstream(path_) << text;
    }
    ~LineFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

TEST(Appending, ABuiltinThatWritesAReadVariableLeavesTheOldValueToTheReader)
{
    // read writes x while the expression and print still hold its old value.
    LineFile file("neu\nzwei\n");
    RunResult r = RunScript("open(h, \"" + file.path() + "\")\nx = \"alt\"\nx = x . read(h, x) . x\nprint(x)\n"
                            "y = \"vorher\"\nprint(y, read(h, y), y)\nclose(h)");
    EXPECT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "alt4neu\nvorher5zwei");
}

TEST(Appending, AnErrorInTheExpressionLeavesTheVariableAsItWas)
{
    const struct {
        const char* statement;
        const char* error;
    } cases[] = {
        {"x = x . \"d\" . a[]", "Fehlender Ausdruck nach '['"},
        {"x = x . y . y", "Text zu lang: mehr als 10 Zeichen"},
        {"x = x . substr(y, 1, 3) . y", "Text zu lang: mehr als 10 Zeichen"},
        {"x = x . x", "Text zu lang: mehr als 10 Zeichen"},
        {"x = x . \"d\" . 1 % 2", "Ungültiger Operator '%'"},
    };
    for (const auto& c : cases) {
        TestHost host;
        host.s.maxTextSize = 10;
        std::vector<std::string> lines = {"x = \"abcdef\"", "y = \"123\"", c.statement};
        Skript run(true, host, &lines);
        EXPECT_EQ(run.runLines(&lines), 3) << c.statement;
        EXPECT_EQ(run.errMsg, W(c.error)) << c.statement;
        EXPECT_EQ(run.vars->Value("x"), "abcdef") << c.statement;
    }
}

TEST(Appending, DoublingEndsAtTheLimitWithTheRunError)
{
    TestHost host;
    host.s.maxTextSize = 1000;
    RunResult r = RunScript("x = \"x\"\nwhile 1 eq 1 do\nx = x . x\ndone", &host);
    EXPECT_EQ(r.result, 3);
    EXPECT_EQ(r.errMsg, "Text zu lang: mehr als 1000 Zeichen");
}

// The tests that change lines between or during runs go both ways: through
// the grammar alone and the compiled way.
class LineCache : public ::testing::TestWithParam<Skript::LinePath> {};
INSTANTIATE_TEST_SUITE_P(Ways, LineCache,
                         ::testing::Values(Skript::LinePath::kGrammar, Skript::LinePath::kCompiled),
                         [](const auto& info) {
                             return std::string(info.param == Skript::LinePath::kGrammar ? "Grammar" : "Compiled");
                         });

TEST_P(LineCache, ALineChangedBetweenTwoRunsIsRunAsItIsNow)
{
    TestHost host;
    std::vector<std::string> lines = Lines({"for i = 1 to 2", "x = i + 1", "print(x)", "next"});
    Skript run(true, host, &lines);
    run.linePath = GetParam();
    EXPECT_EQ(run.runLines(&lines), 0);
    lines[1] = "x = i * 7";  // same length
    lines[2] = "print(x, \"!\")";
    EXPECT_EQ(run.runLines(&lines), 0);
    EXPECT_EQ(Joined(host.output()), "2\n3\n7!\n14!");
}

// Runs the lines on the run's own thread, as the window does, so that the
// host's answers to posted messages may change the lines while the run waits.
struct WaitingRun {
    TestHost& host;
    std::vector<std::string>& lines;
    Skript run{true, host, &lines};
    WaitingRun(TestHost& h, std::vector<std::string>& l, Skript::LinePath path) : host(h), lines(l)
    {
        run.linePath = path;
        run.Resume();
        run.WaitFor();
    }
};

TEST_P(LineCache, LinesInsertedWhileTheRunWaitsAreRunWhereTheyNowStand)
{
    // The first pass compiles every line; the lines inserted during the input
    // move the compiled ones down, so each index now holds another text.
    TestHost host;
    std::vector<std::string> lines =
        Lines({"for i = 1 to 2", "print(i)", "if i eq 1 then", "a = input(\"?\")", "fi", "next", "print(\"Ende\")"});
    host.onPost = [&](unsigned message, Skript* run, const std::string*) {
        if (message != WM_SCRIPT_INPUT)
            return;
        lines.insert(lines.begin() + run->curLine + 1, {"print(\"neu \", i)", "b = a . i"});
        run->inputResult = "antwort";
        run->wake();
    };
    WaitingRun waiting(host, lines, GetParam());
    Skript& run = waiting.run;
    EXPECT_EQ(run.errLine, 0) << run.errMsg;
    EXPECT_EQ(Joined(host.output()), "1\nneu 1\n2\nEnde");
    EXPECT_EQ(run.vars->Value("b"), "antwort1");
}

TEST(LoopLines, StringsOverSeveralLinesAndCommentsInALoop)
{
    RunResult r = RunScript("for i = 1 to 2\ns = \"a\nb\" # Kommentar\nprint(s, i) # nur Kommentar\n# leer\nnext");
    EXPECT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "a\r\nb1\na\r\nb2");
}

TEST(Statements, TheTargetIsReadBeforeTheEqualsSign)
{
    const struct {
        const char* script;
        int errLine;
        const char* dump;
    } cases[] = {
        {"x = y", 0, "x=|y="},
        {"x = )", 1, "x="},
        {"x 5", 1, "x="},
        {"a[i] = b", 0, "i=|a[]=|b="},
    };
    for (const auto& c : cases) {
        TestHost host;
        host.s.debugLevel = 1;
        RunResult r = RunScript(c.script, &host);
        EXPECT_EQ(r.result, c.errLine) << c.script;
        std::string dump;
        const std::string prefix = "Variable: ";
        for (const std::string& line : r.output) {
            if (line.rfind(prefix, 0) != 0 || line == "Variable: cookies=1" || line == "Variable: trace=0")
                continue;
            dump += (dump.empty() ? "" : "|") + line.substr(prefix.size());
        }
        EXPECT_EQ(dump, c.dump) << c.script;
    }
}

TEST(Numbers, IntegerTextsAreTheDecimalForm)
{
    std::vector<long long> values = {0, 1, -1, 9, 10, 99, 100, 99999999, 100000000, -100000000, LLONG_MAX, LLONG_MIN};
    std::mt19937_64 gen(7);
    for (int i = 0; i < 1000; ++i)
        values.push_back(static_cast<long long>(gen()) >> (gen() % 64));
    for (long long v : values)
        EXPECT_EQ(IntToText(v), std::to_string(v));
}

TEST(Numbers, DecimalTextsAtTheLimitsOfTheirForms)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1e15, "1E15"},
        {9.9999998e15, "9.9999998E15"},
        {999999999999999.0, "999999999999999"},
        {999999999999999.9, "1E15"},  // 15 digits round up into the next power
        {99999999999999.99, "100000000000000"},
        {123456789012345.6, "123456789012346"},
        {0.00001, "0.00001"},
        {0.000012345, "0.000012345"},
        {0.000001, "1E-6"},
        {-0.0, "0"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {-1e20, "-1E20"},
        {1e100, "1E100"},
        {1.7976931348623157e308, "1.79769313486232E308"},
        {5e-324, "4.94065645841247E-324"},
        {2.5e-7, "2.5E-7"},
        {0.5, "0.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatNumber(c.value), c.text) << c.text;
}

TEST(Numbers, DecimalTextsHoldTheFifteenDigitsOfTheCLibrary)
{
    // Whatever the form, a text reads back as the value rounded to 15
    // significant digits by printf.
    std::mt19937_64 gen(11);
    for (int i = 0; i < 20000; ++i) {
        double v;
        const uint64_t bits = gen();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v) || v == std::trunc(v))
            continue;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.14e", v);
        const std::string text = FormatNumber(v);
        EXPECT_EQ(TextToDouble(text), std::strtod(buf, nullptr)) << text << " for " << buf;
        // and a decimal read from a text is what the C library reads
        EXPECT_EQ(TextToDouble(buf), std::strtod(buf, nullptr)) << buf;
    }
}

TEST(Numbers, IntegerArithmeticGivesTheTextsOfDoubleArithmetic)
{
    std::vector<std::string> texts = {"0", "-0", "1", "-1", "7", "007", "+5", " 5", "12abc", "2.5", "1e3", "0x10",
                                      "abc", "", "-", "999999999999999", "-999999999999999", "100000000000000",
                                      "1000000000000000", "31622776", "99999999", "4294967296", "3"};
    std::mt19937_64 gen(42);
    for (int i = 0; i < 200; ++i) {
        long long v = static_cast<long long>(gen() % 2000000000000000ULL) - 1000000000000000LL;
        texts.push_back(std::to_string(v >> (gen() % 50)));
    }
    for (const std::string& a : texts)
        for (const std::string& b : texts) {
            double x = TextToDouble(a), y = TextToDouble(b);
            EXPECT_EQ(Arithmetic('+', a, b), FormatNumber(x + y)) << a << " + " << b;
            EXPECT_EQ(Arithmetic('-', a, b), FormatNumber(x - y)) << a << " - " << b;
            EXPECT_EQ(Arithmetic('*', a, b), FormatNumber(x * y)) << a << " * " << b;
            EXPECT_EQ(Arithmetic('/', a, b), FormatNumber(x / y)) << a << " / " << b;
        }
}

TEST_P(LineCache, ConditionLinesEditedBetweenRuns)
{
    // Each edit keeps the script and changes only the condition line; a
    // line of the same length must not run as it stood.
    const struct {
        const char* condition;
        const char* output;
    } edits[] = {
        {"if i gt 2 then", "3:ja"},
        {"if i lt 2 then", "1:ja"},  // same length
        {"if i eq 2 then", "2:ja"},  // same length
        {"if i ne 2", "1:ja\n3:ja"},
        {"while i eq 5 do", ""},
        {"if \"2\" eq i then", "2:ja"},
    };
    TestHost host;
    std::vector<std::string> lines = Lines({"for i = 1 to 3", "", "print(i, \":ja\")", "fi", "next"});
    Skript run(true, host, &lines);
    run.linePath = GetParam();
    size_t seen = 0;
    for (const auto& e : edits) {
        lines[1] = e.condition;
        // The while variant closes with done instead of fi.
        lines[3] = std::string(e.condition).rfind("while", 0) == 0 ? "done" : "fi";
        EXPECT_EQ(run.runLines(&lines), 0) << e.condition << ": " << run.errMsg;
        std::vector<std::string> out = host.output();
        std::vector<std::string> mine(out.begin() + long(seen), out.end());
        seen = out.size();
        EXPECT_EQ(Joined(mine), e.output) << e.condition;
    }
}

TEST_P(LineCache, LinesInsertedBeforeARunningWhileWhileTheRunWaitsInBrowse)
{
    TestHost host;
    std::vector<std::string> lines = Lines({"i = 0", "while i lt 3 do", "i = i + 1", "if i eq 2 then", "browse",
                                            "fi", "print(i)", "done"});
    bool inserted = false;
    host.onPost = [&](unsigned message, Skript* run, const std::string*) {
        if (message == WM_SCRIPT_BROWSE && !inserted) {
            // The line before the loop: every compiled line moves one down, and
            // the loop's start now holds the new line.
            lines.insert(lines.begin() + 1, "print(\"neu\")");
            inserted = true;
        }
        run->wake();
    };
    WaitingRun waiting(host, lines, GetParam());
    Skript& run = waiting.run;
    EXPECT_EQ(run.errLine, 0) << run.errMsg;
    // After the insertion the browse line runs once more from its new place.
    EXPECT_EQ(Joined(host.output()), "1\n2\nneu\n3");
}

TEST_P(LineCache, ALineEditedToTheSameLengthWhileTheRunWaits)
{
    TestHost host;
    std::vector<std::string> lines = Lines({"for i = 1 to 3", "if i eq 2 then", "x = input(\"?\")", "fi",
                                            "if i gt 1 then", "print(i)", "fi", "next", "print(\"Ende\")"});
    host.onPost = [&](unsigned message, Skript* run, const std::string*) {
        if (message == WM_SCRIPT_INPUT)
            lines[4] = "if i eq 1 then";  // the count of lines stays
        run->wake();
    };
    WaitingRun waiting(host, lines, GetParam());
    Skript& run = waiting.run;
    EXPECT_EQ(run.errLine, 0) << run.errMsg;
    EXPECT_EQ(Joined(host.output()), "Ende");
}

// Texts that read as numbers in one way or another but are kept as they are.
const char* const kNumberTexts[] = {"5", "007", "1e3", " 12", "12abc", "-0", "+5", "12.0", "-3",
                                    "999999999999999", "9999999999999999", "0x10", "", "abc"};

// What the lines after the write must give for a text t in x: the text
// itself, then the text arithmetic's sum and product and the comparison.
std::string Expected(const std::string& t)
{
    return t + "|" + Arithmetic('+', t, "1") + "|" + Arithmetic('*', t, "2") + "|" +
           (TextToDouble(t) > 11 ? "ja" : "nein") + "|" + Arithmetic('-', "1", t);
}

const char* kAfterTheWrite =
    "y = x + 1\n"
    "z = x * 2\n"
    "g = \"nein\"\n"
    "if x gt 11 then\n"
    "g = \"ja\"\n"
    "fi\n"
    "m = 1 - x\n"
    "print(x, \"|\", y, \"|\", z, \"|\", g, \"|\", m)\n";

TEST(Numbers, NumberAndTextAgreeAfterEveryKindOfWrite)
{
    for (const char* text : kNumberTexts) {
        const std::string t = text;
        LineFile file(t + "\n");
        // x held 5 and was read as a number before each write.
        const std::string before = "x = 5\nw = x + 1\nif x gt 1 then\nfi\n";
        const struct {
            const char* kind;
            std::string write;
        } writes[] = {
            {"assignment", "x = \"" + t + "\""},
            {"assignment of an expression", "x = \"" + t + "\" . \"\""},
            {"append", "x = \"\"\nx = x . \"" + t + "\""},
            {"read", "open(h, \"" + file.path() + "\")\nread(h, x)\nclose(h)"},
            {"formget", "formcreate(1, \"get\", \"/a\")\nformset(1, \"f\", \"" + t + "\")\nx = formget(1, \"f\")"},
            {"for", "for x = \"" + t + "\" to 0 - 999999\nnext"},
        };
        for (const auto& w : writes) {
            RunResult r = RunScript(before + w.write + "\n" + kAfterTheWrite);
            EXPECT_EQ(r.result, 0) << w.kind << " of '" << t << "': " << r.errMsg;
            EXPECT_EQ(Joined(r.output), Expected(t)) << w.kind << " of '" << t << "'";
        }
        // A preset of the command line.
        TestHost host;
        host.s.initVars["x"] = t;
        RunResult r = RunScript(kAfterTheWrite, &host);
        EXPECT_EQ(Joined(r.output), Expected(t)) << "preset '" << t << "'";
    }
}

TEST(Numbers, CountersAndArrayElementsWrittenWhileALoopReadsThem)
{
    const struct {
        const char* script;
        const char* output;
    } cases[] = {
        // Each step overwrites the element the next step reads.
        {"for i = 1 to 3\na[i] = i\nnext\nfor i = 1 to 3\ns = s . a[i] . \",\"\na[i + 1] = a[i] * 10\nnext\n"
         "print(s, a[4])",
         "1,10,100,1000"},
        // The loop's variable written as a text inside the body.
        {"for i = 1 to 5\nprint(i)\ni = i . \"0\"\nnext", "1"},
        {"for i = 1 to 12\nprint(i)\nif i eq 2 then\ni = \"07\"\nfi\nnext", "1\n2\n8\n9\n10\n11\n12"},
        // A while over an element that the body changes.
        {"a[1] = 3\nwhile a[1] gt 0 do\nprint(a[1])\nk = a[1]\nk = k - 1\na[1] = k\ndone", "3\n2\n1"},
    };
    for (const auto& c : cases) {
        RunResult r = RunScript(c.script);
        EXPECT_EQ(r.result, 0) << c.script << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), c.output) << c.script;
    }
}

}  // namespace

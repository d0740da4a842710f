// Lines whose calls, parentheses and operators run from their compiled code
// must give what the grammar gives when it reads them token by token:
// the same values, the same calls in the same order, and after an error the
// same rest of the line read, run or left.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "interpreter/skript.h"
#include "platform/texts.h"
#include "support/test_host.h"

namespace {

// A file of three lines for the read cases; "%IN%" in a script names it.
class InputFile {
public:
    InputFile()
        : path_(std::filesystem::temp_directory_path() /
                ("skimlark-cached-" + std::to_string(std::random_device{}()) + ".txt"))
    {
        std::ofstream(path_) << "eins\nzwei\ndrei\n";
    }
    ~InputFile() { std::filesystem::remove(path_); }
    std::string with(std::string script) const
    {
        for (size_t at; (at = script.find("%IN%")) != std::string::npos;)
            script.replace(at, 4, path_.string());
        return script;
    }

private:
    std::filesystem::path path_;
};

struct LineCase {
    const char* name;
    const char* script;
    const char* output;
    int errorLine;      // 0: no error
    const char* error;  // UTF-8
};

class CompiledLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CompiledLineTest, GivesWhatTheGrammarGives)
{
    const LineCase& c = GetParam();
    // Each script runs twice on one run object, through the grammar alone
    // and the compiled way: once as lines seen the first time, once from the
    // code kept for each line.
    for (Skript::LinePath path : {Skript::LinePath::kGrammar, Skript::LinePath::kCompiled}) {
        InputFile in;
        TestHost host;
        std::vector<std::string> lines = ScriptLines(in.with(c.script));
        Skript run(true, host, &lines);
        run.linePath = path;
        const std::string way = path == Skript::LinePath::kGrammar ? " (grammar)" : " (compiled)";
        size_t seen = 0;
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(run.runLines(&lines), c.errorLine) << c.script << " round " << round << way;
            if (c.errorLine)
                EXPECT_EQ(run.errMsg, W(c.error)) << c.script << way;
            const std::vector<std::string> all = host.output();
            const std::vector<std::string> now(all.begin() + long(seen), all.end());
            seen = all.size();
            EXPECT_EQ(Joined(now), c.output) << c.script << " round " << round << way;
        }
    }
}

const LineCase kLines[] = {
    // Values.
    {"call_then_sums_from_the_right", "x = substr(\"Hallo\", 2, 3) . length(\"ab\" . \"cd\") + 1\nprint(x)", "1", 0, ""},
    {"nested_calls_and_parentheses",
     "e = \"a<b>1</b>\"\nv = substr(e, instr(e, \"<b>\") + 3, instr(e, \"</b>\") - (instr(e, \"<b>\") + 3))\nprint(v)", "1",
     0, ""},
    {"arguments_group_from_the_right", "print(10 - 2 + 3, \" \", length(10 - 2 + 3), \" \", (10 - 2) + 3)", "5 1 11", 0, ""},
    {"call_reads_the_target", "s = \"abc\"\ns = s . substr(s, 2, 1) . s\nprint(s)", "abcbabc", 0, ""},
    {"condition_of_two_expressions", "x = 5\nif x . \"\" eq substr(\"5\", 1, 1) then\nprint(\"gleich\")\nfi", "gleich", 0, ""},
    {"number_text_kept", "x = \"1e3\"\ny = x + 0\nprint(y, \" \", x, \" \", length(x))", "1000 1e3 3", 0, ""},
    {"comment_after_the_expression", "x = length(\"abc\") + 1 # Kommentar\nprint(x)", "4", 0, ""},
    {"text_functions", "print(format(\"<%5s>\", \"ab\"), \"|\", trim(\"  x  \"), \"|\", upper(\"ab\") . lower(\"CD\"))",
     "<   ab>|x|ABcd", 0, ""},
    // Arguments that name variables.
    {"read_in_a_while", "open(h, \"%IN%\")\nwhile read(h, l) gt 0 do\nprint(l)\ndone", "eins\nzwei\ndrei", 0, ""},
    {"read_inside_a_sum", "open(h, \"%IN%\")\nn = read(h, z) + 0\nprint(n, z)", "5eins", 0, ""},
    {"size_names_the_first_variable", "a[1] = 1\na[2] = 2\nprint(size(a), \" \", size(a . \"\"))", "2 2", 0, ""},
    // Skipped lines: an if reads nothing, a while still reads its condition.
    {"skipped_if_calls_nothing", "open(h, \"%IN%\")\nif 1 eq 2 then\nprint(read(h, l))\nfi\nprint(read(h, l), l)", "5eins", 0,
     ""},
    {"skipped_while_reads_its_condition",
     "open(h, \"%IN%\")\nif 1 eq 2 then\nwhile read(h, l) gt 0 do\ndone\nfi\nread(h, l)\nprint(l)", "zwei", 0, ""},
    // Errors: a call that fails with a value leaves the rest of the line to run.
    {"calls_after_a_failing_call_run", "x = \"a\" . print(\"eins\") . read(9, l) . print(\"zwei\")\nprint(x)", "eins\nzwei", 1,
     "Stream in read ist nicht definiert."},
    {"call_after_a_failing_argument_runs", "x = instr(read(9, l), \"a\") . print(\"zwei\")", "zwei", 1,
     "Stream in read ist nicht definiert."},
    // Errors that cut an argument list short: the rest of the line is read
    // from where the list stopped.
    {"argument_list_cut_short", "x = \"a\" . replace(format(\"%d\"), \"a\", \"b\") . print(\"danach\")\nprint(x)", "", 1,
     "Argumentfehler in format()-Funktion"},
    {"inner_call_fails_in_a_statement", "print(\"a\", length(format(\"%d\")), print(\"b\"))", "", 1,
     "Argumentfehler in format()-Funktion"},
    {"failing_condition_of_an_if", "if length(format(\"%d\") . \"x\") eq 1 then\nprint(\"ja\")\nfi", "", 1,
     "Interner Fehler: logischer Ausdruck ergibt -1"},
    {"failing_condition_of_a_while", "n = 0\nwhile length(format(\"%d\")) gt n do\nn = n + 1\ndone", "", 2,
     "Argumentfehler in format()-Funktion"},
    {"failing_last_argument", "x = length(substr(\"abc\", 1, format(\"%d\"))) . print(\"nach\")", "", 1,
     "Argumentfehler in format()-Funktion"},
    // A line read again after a failed call: the calls before it are not
    // made twice, those after it are made once.
    {"calls_around_a_failing_call_run_once", "x = print(\"eins\") . format(\"%d\") . print(\"zwei\")\nprint(x)",
     "eins\nzwei", 1, "Argumentfehler in format()-Funktion"},
    {"failing_call_right_of_a_comparison",
     "if length(print(\"a\") . \"x\") eq length(substr(format(\"%d\"), 1, 2) . print(\"b\")) then\nprint(\"ja\")\nfi",
     "a", 1, "Interner Fehler: logischer Ausdruck ergibt -1"},
    {"failing_call_left_of_a_comparison_in_a_while",
     "n = 0\nwhile print(\"a\") . length(instr(format(\"%d\"), print(\"b\"))) lt length(print(\"c\")) do\nn = n + 1\ndone",
     "a\nb", 2, "Argumentfehler in format()-Funktion"},
    {"failing_call_in_the_index_of_a_target", "a[length(format(\"%d\"))] = print(\"nie\")", "", 1,
     "Fehlender Ausdruck nach '['"},
    {"failing_start_of_a_for", "for i = print(\"s\") . format(\"%d\") to 3\nprint(i)\nnext", "s", 1,
     "Argumentfehler in format()-Funktion"},
    {"read_before_a_failing_call_is_not_read_twice",
     "open(h, \"%IN%\")\nx = read(h, l) . format(\"%d\")\nprint(l)", "", 2, "Argumentfehler in format()-Funktion"},
    {"read_into_a_variable_the_line_reads_before", "open(h, \"%IN%\")\nl = \"x\"\nk = l . read(h, l) . l\nprint(k)",
     "x5eins", 0, ""},
    {"size_of_an_element_by_its_name", "b[1][1] = 2\nb[1][2] = 3\ni = 1\nprint(size(b[i]), size(b[i] . \"\"))", "22", 0, ""},
    {"a_condition_looked_up_again_by_its_value", "b = 1\na = \"b\"\nif a\nprint(\"ja\")\nfi", "ja", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Lines, CompiledLineTest, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CompiledLines, TheTextLimitInsideAnArgumentEndsTheListWhereItStruck)
{
    // The failed list gives replace its empty text; the assignment still
    // stores "a", and the call after it is never reached.
    TestHost host;
    host.s.maxTextSize = 10;
    std::vector<std::string> lines = {"y = \"123\"", "x = \"a\" . replace(y . y . y . y, \"1\", \"2\") . print(\"p\")"};
    Skript run(true, host, &lines);
    EXPECT_EQ(run.runLines(&lines), 2);
    EXPECT_EQ(run.errMsg, "Text zu lang: mehr als 10 Zeichen");
    EXPECT_EQ(run.vars->Value("x"), "a");
    EXPECT_TRUE(host.output().empty());
}

TEST(CompiledLines, AnEditedExpressionLineRunsAsItIsNow)
{
    TestHost host;
    std::vector<std::string> lines = {"for i = 1 to 2", "x = substr(\"abcdef\", i, 2)", "if length(x) eq 2 then",
                                      "print(x)", "fi", "next"};
    Skript run(true, host, &lines);
    EXPECT_EQ(run.runLines(&lines), 0);
    lines[1] = "x = substr(\"ABCDEF\", i, 3)";  // same length
    lines[2] = "if length(x) eq 3 then";
    EXPECT_EQ(run.runLines(&lines), 0);
    EXPECT_EQ(Joined(host.output()), "ab\nbc\nABC\nBCD");
}

}  // namespace

// Scripts and what they print, or the line and text of the error that ends them.
#include <gtest/gtest.h>

#include <set>

#include "interpreter/dispatcher.h"
#include "platform/texts.h"
#include "support/test_host.h"

namespace {

struct ScriptCase {
    const char* name;
    const char* script;
    const char* output;  // print lines joined with "\n"
    int errLine;         // 1-based, 0 for none
    const char* errMsg;  // UTF-8
};

class ScriptTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptTest, RunsAsExpected)
{
    const ScriptCase& c = GetParam();
    RunResult r = RunScript(c.script);
    EXPECT_EQ(Joined(r.output), W(c.output)) << c.script;
    EXPECT_EQ(r.result, c.errLine) << c.script;
    if (c.errLine) {
        EXPECT_EQ(r.errMsg, W(c.errMsg)) << c.script;
    }
}

const ScriptCase kArithmetic[] = {
    {"mul_binds_first", "print(2 * 3 + 4)", "10", 0, ""},
    {"sums_fold_right", "print(10 - 3 + 2)\nprint(10 - 3 - 2)", "5\n9", 0, ""},
    {"mul_div_left_to_right", "print(6 / 2 * 3)", "9", 0, ""},
    {"fraction", "print(7 / 2)\nprint(1 / 3)\nprint(0.1 + 0.2)", "3.5\n0.333333333333333\n0.3", 0, ""},
    {"exponent_form", "print(1E20 * 1)\nprint(0.000001 * 1)\nprint(0.00001 * 1)", "1E20\n1E-6\n0.00001", 0, ""},
    {"concat_then_add", "x = \"a\" . 1 + 1\nprint(x)", "1", 0, ""},
    {"add_concat", "a = 1\nb = 2\nc = 3\nprint(a + b . c)", "24", 0, ""},
    {"missing_second_operand", "x = 5 +\nprint(x)\ny = 5 *\nprint(y)", "5\n0", 0, ""},
    {"literal_keeps_form", "x = 007\nprint(x, \" \", x + 0)", "007 7", 0, ""},
    {"non_number_is_zero", "print(\"12abc\" + 1, \" \", \"abc\" * 2)", "13 0", 0, ""},
    {"decimal_numbers_only", "print(\"0x10\" + 1, \" \", \"inf\" + 1, \" \", \"nan\" * 1, \" \", \"0x1p4\" * 1, \" \", \"INF\" - 1)",
     "1 1 0 0 -1", 0, ""},
    {"number_grammar", "print(\" \\t-1.5e2x\" * 1, \" \", \".5\" + 0, \" \", \"2.\" * 3, \" \", \"3e\" * 1, \" \", \"+4E+1\" * 1, \" \", \"-.e1\" + 1)",
     "-150 0.5 6 3 40 1", 0, ""},
    {"overflow", "print(\"1e999\" * 1, \" \", \"-1e400\" + 0, \" \", 1E308 * 10, \" \", \"1e-999\" * 1)", "INF -INF INF 0", 0, ""},
    {"hex_text_compares_as_zero", "if \"0x1A\" gt 25 then\nprint(\"gt\")\nelse\nprint(\"le\")\nfi\nif \"1e400\" gt \"1e300\" then\nprint(\"inf\")\nfi",
     "le\ninf", 0, ""},
    {"division_by_zero", "print(1 / 0)\nprint((0 - 1) / 0)\nprint(0 / 0)", "INF\n-INF\nNAN", 0, ""},
    {"parentheses", "print((1 + 2) * 3)", "9", 0, ""},
    {"unary_minus_rejected", "x = -1", "", 1, "Fehlender Ausdruck anstelle '-'"},
    {"empty_parentheses_operand", "x = ()", "", 1, "Fehlender Ausdruck anstelle ')'"},
    {"empty_parentheses_second_operand", "x = 1 + ()", "", 1, "Fehlender Ausdruck anstelle ')'"},
    {"unclosed_parenthesis", "x = (1 + 2", "", 1, "Fehlende ')' nach Klammerausdruck"},
    {"bad_operator", "x = 1 % 2", "", 1, "Ungültiger Operator '%'"},
    {"word_as_operator_at_end", "x = 1 abc", "", 1, "Fehlender zweiter Operand nach 'abc'"},
    {"keyword_operand", "x = then", "", 1, "Variable oder Ausdruck erwartet nach '='"},
    {"nothing_after_equals", "x =", "", 1, "Fehlender Ausdruck nach '='"},
    {"builtin_after_assignment", "x = 1 print(\"a\")", "", 1, "Ungültiger Operator 'print'"},
    {"open_string_as_operator", "x = 1 \"abc", "", 1, "Syntaxfehler nach 'abc\r\n'"},
    {"open_string_as_operator_over_lines", "print(\"a\")\nx = 1 \"abc\ndef", "a", 2,
     "Syntaxfehler nach 'abc\r\ndef\r\n'"},
};
INSTANTIATE_TEST_SUITE_P(Arithmetic, ScriptTest, ::testing::ValuesIn(kArithmetic),
                         [](const auto& info) { return std::string(info.param.name); });

const ScriptCase kConditions[] = {
    {"eq_is_exact", "if \"abc\" eq \"ABC\" then\nprint(\"gleich\")\nelse\nprint(\"ungleich\")\nfi", "ungleich", 0, ""},
    {"lt_is_numeric", "if \"2\" lt \"10\" then\nprint(\"kleiner\")\nfi", "kleiner", 0, ""},
    {"texts_compare_as_zero", "if \"b\" gt \"a\" then\nprint(\"x\")\nelse\nprint(\"y\")\nfi", "y", 0, ""},
    {"eq_vs_ge", "if \"10\" eq \"10.0\" then\nprint(1)\nfi\nif \"10\" ge \"10.0\" then\nprint(2)\nfi", "2", 0, ""},
    {"and_binds_tighter", "a = 1\nb = 0\nc = 0\nif a eq 1 or b eq 2 and c eq 3 then\nprint(\"ja\")\nfi", "ja", 0, ""},
    {"and_false", "a = 1\nb = 2\nif a eq 1 and b eq 3 then\nprint(\"ja\")\nelse\nprint(\"nein\")\nfi", "nein", 0, ""},
    {"lone_value_before_or_ignored", "x = 0\na = 1\nif x or a eq 1 then\nprint(\"ja\")\nfi", "ja", 0, ""},
    {"lone_value_after_or", "a = 1\nwhile a eq 1 or x do\ndone", "", 2, "Syntaxfehler im logischen Ausdruck"},
    {"lone_value_before_and", "x = 1\nwhile x and x eq 1 do\ndone", "", 2, "Syntaxfehler im logischen Ausdruck"},
    {"comparison_after_comparison", "while 1 eq 1 eq 1 do\ndone", "", 1, "Syntaxfehler im logischen Ausdruck"},
    {"non_boolean_if", "if 5 then\nfi", "", 1, "Interner Fehler: logischer Ausdruck ergibt 5"},
    {"missing_value", "while 1 eq do\ndone", "", 1, "Fehlender Wert nach 'eq'"},
    {"if_reports_condition_error_as_result", "if 1 eq then\nfi", "", 1, "Interner Fehler: logischer Ausdruck ergibt -1"},
    {"bad_comparison", "while 1 to 2\ndone", "", 1, "Ungültiger Operator nach 2"},
    {"false_if_not_evaluated", "if 0 then\nif print(\"nie\") then\nfi\nfi\nprint(\"ok\")", "ok", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Conditions, ScriptTest, ::testing::ValuesIn(kConditions),
                         [](const auto& info) { return std::string(info.param.name); });

const ScriptCase kControl[] = {
    {"for_to", "for i = 1 to 3\nprint(i)\nnext\nprint(\"i=\", i)", "1\n2\n3\ni=3", 0, ""},
    {"for_skipped", "for i = 5 to 3\nprint(i)\nnext\nprint(\"i=\", i)", "i=5", 0, ""},
    {"for_body_changes_var", "for i = 1 to 10\nprint(i)\ni = i + 4\nnext", "1\n6", 0, ""},
    {"for_in", "for x in (\"a\", 1 + 1, \"c\")\nprint(x)\nnext", "a\n2\nc", 0, ""},
    {"for_in_empty", "for i = 1 to 2\nfor x in ()\nprint(\"nie\")\nnext\nprint(i)\nnext", "1\n2", 0, ""},
    {"nested_for", "for i = 1 to 2\nfor j = 1 to 2\nprint(i, j)\nnext\nnext", "11\n12\n21\n22", 0, ""},
    {"while_do_done", "n = 0\nwhile n lt 3 do\nn = n + 1\nprint(n)\ndone", "1\n2\n3", 0, ""},
    {"do_while", "n = 3\ndo\nprint(n)\nn = n - 1\nwhile n gt 0", "3\n2\n1", 0, ""},
    {"fi_inside_while_ignored", "n = 0\nwhile n lt 2 do\nn = n + 1\nfi\ndone\nprint(n)", "2", 0, ""},
    {"else_chain", "x = 2\nif x eq 1 then\nprint(1)\nelse\nprint(2)\nfi", "2", 0, ""},
    {"if_on_one_line", "if 1 eq 1 then print(\"ja\") fi\nif 1 eq 2 then print(\"nein\") fi", "ja", 0, ""},
    {"two_calls_one_line", "print(\"a\") print(\"b\")", "a\nb", 0, ""},
    {"control_then_ident", "print(\"a\") y\nfor i = 1 to 1\nnext i", "a", 0, ""},
    {"while_builtin_in_false_if", "if 0 then\nwhile print(\"lauf\") eq 1 do\ndone\nfi", "lauf", 0, ""},
    {"if_without_fi", "if 1 eq 1 then\nprint(\"a\")", "a", 3, "nicht abgeschlossene Schleife"},
    {"else_without_if", "else", "", 1, "'else' ohne 'if'"},
    {"fi_without_if", "fi", "", 1, "'fi' ohne 'if'"},
    {"done_without_while", "done", "", 1, "'done' ohne 'while'"},
    {"done_closing_if", "if 1 eq 1 then\ndone", "", 2, "'done' ohne 'while'"},
    {"next_without_for", "next", "", 1, "'next' ohne 'for'"},
    {"next_closing_while", "while 1 eq 1 do\nnext", "", 2, "Falsche 'if/while/for'-Verschachtelung"},
    {"for_without_var", "for 1 = 1 to 2", "", 1, "Variable nach 'for' erwartet"},
    {"for_without_eq", "for i 1 to 2", "", 1, "Fehlendes '=' oder 'IN' nach for"},
    {"for_without_to", "for i = 1 bis 2", "", 1, "Ungültiger Operator 'bis'"},
    {"for_missing_to", "for i = 1", "", 1, "Fehlendes 'to' nach for"},
    {"missing_equals", "x 5", "", 1, "Fehlendes '=' nach x"},
    {"left_side_not_variable", "5 = x", "", 1, "Die linke Seite eines Ausdrucks muss eine Variable sein"},
    {"exit_ends_quietly", "print(\"a\")\nexit\nprint(\"b\")", "a", 0, ""},
    {"exit_with_parentheses", "exit()\nprint(\"b\")", "", 0, ""},
    {"exit_in_expression", "x = exit\nprint(\"b\")", "", 0, ""},
    {"comment", "print(\"a\") # print(\"b\")\n# nur Kommentar", "a", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Control, ScriptTest, ::testing::ValuesIn(kControl),
                         [](const auto& info) { return std::string(info.param.name); });

const ScriptCase kScanner[] = {
    {"escapes", "print(\"a\\tb|a\\\"b|c:\\\\tmp\")", "a\tb|a\"b|c:\\tmp", 0, ""},
    {"octal_escape", "print(\"\\011|\\0101|\\101\")", "\t|\b1|101", 0, ""},
    {"hex_escape", "print(\"\\x41\\x09z\")", "A\tz", 0, ""},
    {"multi_line_string", "print(\"a\")\nx = 1\ns = \"eins\nzwei\ndrei\"\nprint(s)\nprint(\"weiter\")",
     "a\neins\r\nzwei\r\ndrei\nweiter", 0, ""},
    {"open_string_at_end", "print(\"a\")\ns = \"offen", "a", 2, "Nicht abgeschlossene Zeichenkette"},
    {"hash_in_string", "print(\"a#b\")", "a#b", 0, ""},
    {"case_sensitive_words", "Print = 1\nIF = 2\nprint(Print, IF)", "12", 0, ""},
    {"number_tokens", "x1 = 5\nprint(x1, \" \", 1x)", "5 1x", 0, ""},
    {"umlaut_is_a_character", "ä = 1", "", 1, "Die linke Seite eines Ausdrucks muss eine Variable sein"},
    {"empty_literal_is_value", "x = \"\"\nprint(\"[\", x, \"]\")", "[]", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Scanner, ScriptTest, ::testing::ValuesIn(kScanner),
                         [](const auto& info) { return std::string(info.param.name); });

const ScriptCase kVariables[] = {
    {"array_index_expression", "a[2] = \"zwei\"\nprint(a[1+1])", "zwei", 0, ""},
    {"array_literal_keeps_form", "a[1] = \"x\"\nprint(a[\"1\"], a[2-1], \"-\", a[01])", "xx-", 0, ""},
    {"multi_dimension", "k[3][name] = \"Max\"\nprint(k[3][name])", "Max", 0, ""},
    {"empty_index", "x = a[]", "", 1, "Fehlender Ausdruck nach '['"},
    {"unclosed_index", "x = a[1", "", 1, "Fehlende ']' nach '1'"},
    {"names_case_sensitive", "A = 1\na = 2\nprint(A, a)", "12", 0, ""},
    {"undefined_is_empty", "print(\"[\", y, \"]\")", "[]", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Variables, ScriptTest, ::testing::ValuesIn(kVariables),
                         [](const auto& info) { return std::string(info.param.name); });

const ScriptCase kArguments[] = {
    {"trailing_comma", "print(\"a\", \"b\",)", "", 1, "Fehlender Ausdruck anstelle ')'"},
    {"missing_open_paren", "print", "", 1, "Fehlende '(' nach 'print'"},
    {"missing_open_paren_token", "print \"a\"", "", 1, "Fehlende '(' anstelle 'a'"},
    {"missing_close_paren", "print(\"a\"", "", 1, "Fehlendes ',' anstelle 'a'"},
    {"missing_close_paren_after_max", "x = trim(\"a\"", "", 1, "Fehlende ')' nach 'a'"},
    {"builtin_not_built", "x = htget", "", 1, "Fehlende '(' nach 'htget'"},
    {"empty_argument_list_leaves_parenthesis", "print()", "", 1, "Die linke Seite eines Ausdrucks muss eine Variable sein"},
    {"required_argument_empty_in_expression", "x = trim()", "", 1, "Fehlender Ausdruck anstelle ')'"},
    // An open list takes any count, far beyond the usual few.
    {"open_list_of_120", "print(\"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\")",
     "012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Arguments, ScriptTest, ::testing::ValuesIn(kArguments),
                         [](const auto& info) { return std::string(info.param.name); });

// Lines are evaluated while they are read: a failing call cuts its list short
// or gives its value, and what was read before an error has run.
const ScriptCase kReadWhileRunning[] = {
    {"failing_call_nested_left_of_a_comparison",
     "if print(\"a\") . length(substr(\"xy\", 1, format(\"%d\"))) eq length(print(\"b\") . read(9, l)) . print(\"c\") then\n"
     "print(\"ja\")\nfi",
     "a", 1, "Interner Fehler: logischer Ausdruck ergibt -1"},
    {"failing_call_nested_right_of_a_comparison",
     "if print(\"a\") eq length(print(\"b\") . read(9, l)) . print(\"c\") then\nprint(\"ja\")\nfi", "a\nb\nc", 1,
     "Stream in read ist nicht definiert."},
    {"failing_calls_on_both_sides_of_a_while",
     "while print(\"a\") . instr(read(9, l), \"x\") lt print(\"b\") . length(format(\"%s\", print(\"c\"), format(\"%d\"))) do\n"
     "done",
     "a\nb\nc", 1, "Fehlender Wert nach ')'"},
    {"failing_call_inside_two_lists", "x = length(upper(format(\"%d\")) . print(\"b\")) . print(\"c\")\nprint(x)", "", 1,
     "Argumentfehler in format()-Funktion"},
    {"syntax_error_after_a_call_that_prints", "x = print(\"vor\") . 1 ) . print(\"nach\")\nprint(x)", "vor", 1,
     "Die linke Seite eines Ausdrucks muss eine Variable sein"},
    {"text_over_two_lines_in_a_loop", "n = 0\nwhile n lt 2 do\ns = s . \"a\nb\" . n\nn = n + 1\ndone\nprint(s)",
     "a\r\nb0a\r\nb1", 0, ""},
    {"element_overwritten_while_a_loop_reads_it",
     "t[1] = 1\nfor i = 1 to 3\nt[1] = t[1] . t[1]\nt[i + 1] = t[i] + t[1]\nprint(t[1], \" \", t[i + 1])\nnext\n"
     "a[1] = 1\nwhile a[1] lt 100 do\na[1] = a[1] * 3\ndone\nprint(a[1])",
     "11 22\n1111 1133\n11111111 11112244\n243", 0, ""},
    {"decimal_texts_at_the_limits",
     "print(1E15 * 1)\nprint(9.9999998E15 * 1)\nprint(0.00001 * 1)\nprint(0.000001 * 1)\n"
     "print(\"-0\" * 1, \" \", \"-0\" . \"\", \" \", \"-0\" + 0.5)\n"
     "print(999999999999999 + 1, \" \", 999999999999999.9 * 1, \" \", 99999999999999.99 * 1)",
     "1E15\n9.9999998E15\n0.00001\n1E-6\n0 -0 0.5\n1E15 1E15 100000000000000", 0, ""},
    {"decimal_sum_of_tenths", "x = 0\nfor i = 1 to 10\nx = x + 0.1\nnext\nprint(x)", "1", 0, ""},
};
INSTANTIATE_TEST_SUITE_P(ReadWhileRunning, ScriptTest, ::testing::ValuesIn(kReadWhileRunning),
                         [](const auto& info) { return std::string(info.param.name); });

// print, alert and format take open lists: well past any fixed maximum.
TEST(OpenArgumentLists, TakeAnyNumberOfValues)
{
    for (int count : {99, 100, 250}) {
        std::string values, joined, specs;
        for (int i = 0; i < count; ++i) {
            values += ", \"" + std::to_string(i % 10) + "\"";
            joined += std::to_string(i % 10);
            specs += "%s";
        }
        TestHost host;
        RunResult r = RunScript("print(\"p\"" + values + ")\n"
                                "x = format(\"" + specs + "\"" + values + ")\n"
                                "print(x)\n"
                                "alert(\"a\"" + values + ")",
                                &host);
        ASSERT_EQ(r.result, 0) << count << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), "p" + joined + "\n" + joined) << count;
        ASSERT_EQ(host.boxes().size(), 1u) << count;
        EXPECT_NE(host.boxes()[0].find("a" + joined), std::string::npos) << count;
    }
}

TEST(Builtins, EachWordHasOneRowWithABody)
{
    // A word in two family tables would lose one of its rows unnoticed.
    const std::vector<std::string>& words = BuiltinWords();
    EXPECT_EQ(words.size(), 51u);
    EXPECT_EQ(std::set<std::string>(words.begin(), words.end()).size(), words.size());
    for (const std::string& word : words) {
        const BuiltinEntry* entry = FindBuiltin(word);
        ASSERT_NE(entry, nullptr) << word;
        EXPECT_EQ(entry->word, word);
        EXPECT_NE(entry->body, nullptr) << word;
        EXPECT_LE(ArityOf(*entry).min, ArityOf(*entry).max) << word;
    }
    EXPECT_EQ(FindBuiltin("printf"), nullptr);
}

}  // namespace

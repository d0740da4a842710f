// Text built-ins, run as small scripts.
#include <gtest/gtest.h>

#include "interpreter/builtins_text.h"
#include "platform/texts.h"
#include "support/test_host.h"
#include "web/url_parts.h"

namespace {

// The line that print(expr) writes; the run must end without an error.
std::string Eval(const std::string& expr)
{
    RunResult r = RunScript("print(" + expr + ")");
    EXPECT_EQ(r.result, 0) << expr << ": " << r.errMsg;
    return r.output.empty() ? "<no output>" : r.output.back();
}

struct Case {
    std::string expr;
    std::string expected;
};

void RunCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
}

TEST(TextBuiltins, Substr)
{
    RunCases({
        {R"(substr("abcdef", 0, 2))", "ab"},
        {R"(substr("abcdef", 0 - 5, 2))", "ab"},
        {R"(substr("abcdef", 3, 2))", "cd"},
        {R"(substr("abc", 4, 1))", ""},
        {R"(substr("abcdef", 5, 10))", "ef"},
        {R"(substr("abc", 2, 0))", ""},
        {R"(substr("abc", 2, 0 - 1))", ""},
        {R"(substr("abc", "x", "2y"))", "ab"},
    });
}

TEST(TextBuiltins, Replace)
{
    RunCases({
        {R"(replace("aaa", "aa", "b"))", "ba"},
        // Inserted text is never searched again.
        {R"(replace("abab", "b", "bb"))", "abbabb"},
        {R"(replace("xax", "a", "aa"))", "xaax"},
        {R"(replace("abc", "", "x"))", "abc"},
        {R"(replace("aAa", "a", "-"))", "-A-"},
        {R"(replace("abc", "abc", ""))", ""},
        {R"(replace("a.b.c", ".", ", "))", "a, b, c"},
    });
}

TEST(TextBuiltins, ReplaceKeepsToTheTextLimit)
{
    const struct {
        const char* call;
        const char* error;  // "" when the result fits
        const char* x;
    } cases[] = {
        {R"(replace("aaaaa", "a", "xy"))", "", "xyxyxyxyxy"},
        {R"(replace("aaaa", "a", "xyz"))", "Text zu lang: mehr als 10 Zeichen", ""},
        {R"(replace("abcdefghij", "a", "AB"))", "Text zu lang: mehr als 10 Zeichen", ""},
        {R"(replace("abcdefghij", "ab", "-"))", "", "-cdefghij"},
    };
    for (const auto& c : cases) {
        TestHost host;
        host.s.maxTextSize = 10;
        RunResult r = RunScript(std::string("x = \"alt\"\nx = ") + c.call + "\nprint(x)", &host);
        if (*c.error) {
            EXPECT_EQ(r.result, 2) << c.call;
            EXPECT_EQ(r.errMsg, c.error) << c.call;
            EXPECT_TRUE(r.output.empty()) << c.call;
        } else {
            EXPECT_EQ(r.result, 0) << c.call << ": " << r.errMsg;
            EXPECT_EQ(Joined(r.output), c.x) << c.call;
        }
    }
}

TEST(TextBuiltins, TrimDropsControlCharactersAndBlanksOnly)
{
    RunCases({
        {"trim(\" \\t a b \\r\\n\")", "a b"},
        {R"(trim(""))", ""},
        {"trim(\"\\x01\\x20\")", ""},
    });
    // A non-breaking space (A0) is no blank: a signed comparison would cut it.
    EXPECT_EQ(Eval("trim(\"\xA0" "a\xA0\")"), "\xA0" "a\xA0");
}

TEST(TextBuiltins, LowerAndUpperChangeUmlautsButNotSharpS)
{
    EXPECT_EQ(Eval("lower(\"" + W("ÄÖÜ Straße ABC") + "\")"), W("äöü straße abc"));
    EXPECT_EQ(Eval("upper(\"" + W("äöü straße abc") + "\")"), W("ÄÖÜ STRAßE ABC"));
    EXPECT_EQ(Eval(R"(upper("1+2=3"))"), "1+2=3");
}

TEST(TextBuiltins, LengthCountsBytes)
{
    RunCases({
        {R"(length(""))", "0"},
        {R"(length("abc"))", "3"},
        {"length(\"" + W("äöü") + "\")", "3"},
        {R"(length(12.50))", "5"},
    });
}

TEST(TextBuiltins, Instr)
{
    RunCases({
        {R"(instr("Dieser Text wird durchsucht", "e"))", "3"},
        {R"(instr(7, "Dieser Text wird durchsucht", "e"))", "9"},
        {R"(instr(3, "abcabc", "c"))", "3"},
        {R"(instr(4, "abcabc", "c"))", "6"},
        {R"(instr(7, "abcabc", "c"))", "0"},
        {R"(instr("abc", "x"))", "0"},
        {R"(instr("abc", "C"))", "0"},
        {R"(instr("abc", ""))", "1"},
        {R"(instr(5, "abc", ""))", "5"},
        {R"(instr("", "a"))", ""},
        // A start below 1 searches from the first character and reports the
        // real position, never 0 for a text that is there.
        {R"(instr(0, "abc", "a"))", "1"},
        {R"(instr(0 - 3, "abc", "c"))", "3"},
    });
}

TEST(TextBuiltins, SizeCountsTheArrayLevelTheArgumentNames)
{
    RunResult r = RunScript(
        "a[1] = \"x\"\n"
        "a[2] = \"y\"\n"
        "a[3] = \"z\"\n"
        "b[2][1] = 1\n"
        "b[2][2] = 2\n"
        "i = 2\n"
        "x = 5\n"
        "print(size(a), \" \", size(b[i]), \" \", size(x), \" \", size(\"lit\"), \" \", size(undefined), \" \", size(a[1]))");
    EXPECT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "3 2 1 1 1 0");
}

TEST(TextBuiltins, UrlParts)
{
    struct UrlCase {
        std::string url, host, domain, tld;
    };
    const UrlCase cases[] = {
        {"http://www.example.com/path/x.html", "www.example.com", "example.com", "com"},
        {"https://a.b.c.example.org", "a.b.c.example.org", "example.org", "org"},
        {"http://localhost/", "localhost", "localhost", "localhost"},
        {"http://example.com", "example.com", "example.com", "com"},
        {"http://www.example.com:8080/x", "www.example.com", "example.com", "com"},
        // Without "//" the first character is lost.
        {"www.example.com/", "ww.example.com", "example.com", "com"},
        // Without a "/" a colon does not end the host.
        {"http://example.com:81", "example.com:81", "example.com:81", "com:81"},
        {"", "", "", ""},
    };
    for (const UrlCase& c : cases) {
        EXPECT_EQ(UrlHostName(c.url), c.host) << c.url;
        EXPECT_EQ(HostDomain(UrlHostName(c.url)), c.domain) << c.url;
        EXPECT_EQ(HostTld(UrlHostName(c.url)), c.tld) << c.url;
    }
    RunResult r = RunScript(
        "u = \"http://www.example.com:8080/x\"\n"
        "print(host(u), \"|\", domain(u), \"|\", tld(u))");
    EXPECT_EQ(Joined(r.output), "www.example.com|example.com|com");
}

TEST(TextBuiltins, Filter)
{
    RunCases({
        {R"(filter("ab,,cd", "2", " "))", "ab cd"},
        {R"(filter("ab,,cd,", "2", " "))", "ab cd "},
        {R"(filter(",,ab", "2", "-"))", "ab"},
        {R"(filter("a1-b2", "3"))", "12"},
        {R"(filter("a1-b2", "1"))", "a1b2"},
        {R"(filter("a1-b2", "2", "+"))", "a+b+"},
        {R"(filter("a1-b2", "4", "+"))", ""},
        {R"(filter("a1-b2", "01", "+"))", ""},
        {"filter(\"" + W("Grüße, 42 €!") + "\", \"1\", \"_\")", W("Grüße_42_")},
        // Accented letters other than the umlauts are not letters here.
        {"filter(\"" + W("café") + "\", \"2\")", "caf"},
    });
}

TEST(TextBuiltins, DumpWritesSixteenCharactersPerLine)
{
    EXPECT_EQ(HexDumpLines("").size(), 0u);
    std::vector<std::string> lines = HexDumpLines("0123456789abcdef%");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 | 0123456789abcdef");
    std::string second = "25 ";
    for (int i = 0; i < 15; ++i)
        second += "__ ";
    second += "| %" + std::string(15, ' ');
    EXPECT_EQ(lines[1], second);

    // Control characters and bytes from 128 show as "." in the text column.
    lines = HexDumpLines("a\tb\x80\xFF");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 15), "61 09 62 80 FF ");
    EXPECT_EQ(lines[0].substr(48), "| a.b..           ");

    // Through the run: the lines reach the pane unchanged, '%' included.
    RunResult r = RunScript("x = dump(\"100%d\")\nprint(\"[\", x, \"]\")");
    EXPECT_EQ(r.result, 0) << r.errMsg;
    ASSERT_EQ(r.output.size(), 2u);
    EXPECT_EQ(r.output[0].substr(0, 15), "31 30 30 25 64 ");
    EXPECT_EQ(r.output[0].substr(48, 7), "| 100%d");
    EXPECT_EQ(r.output[1], "[]");
}

}  // namespace

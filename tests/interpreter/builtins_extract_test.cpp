// extract and format, with and without the formatting library.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include "interpreter/builtins_extract.h"
#include "platform/print_library.h"
#include "platform/texts.h"
#include "support/test_host.h"

namespace {

const std::string kRow = "<tr><td>A</td><td>B &amp; C</td><td>D</td></tr>";

TEST(Extract, Stretches)
{
    struct Case {
        std::string source, beginn, pre, post;
        long num;
        std::string expected;
    };
    const Case cases[] = {
        // Without delimiters the whole source, entities decoded.
        {"a &amp; b &uuml;", "", "", "", 1, W("a & b ü")},
        {kRow, "", "<td>", "</td>", 1, "A"},
        {kRow, "", "<td>", "</td>", 2, "B & C"},
        {kRow, "", "<td>", "</td>", 3, "D"},
        {kRow, "", "<td>", "</td>", 4, ""},
        {kRow, "</td>", "<td>", "</td>", 1, "B & C"},
        {kRow, "<table>", "<td>", "</td>", 1, ""},
        // pre found, post missing.
        {"<b>bold", "", "<b>", "</b>", 1, ""},
        {"2005.Q1", "", "", ".", 1, "2005"},
        {"2005.Q1", "", ".Q", "", 1, "1"},
        // The last character of a post may begin the next pre.
        {"|a|b|c|", "", "|", "|", 1, "a"},
        {"|a|b|c|", "", "|", "|", 2, "b"},
        {"|a|b|c|", "", "|", "|", 3, "c"},
        {"|a|b|c|", "", "|", "|", 4, ""},
        // With an empty post the stretch runs to the end.
        {"key=value; more", "", "=", "", 1, "value; more"},
        {"", "", "", "", 1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExtractText(c.source, c.beginn, c.pre, c.post, c.num), c.expected)
            << c.source << " | " << c.beginn << " | " << c.pre << " | " << c.post << " | " << c.num;
}

// Searches that would never end or run for billions of rounds end at once
// with the text the n-th round would give.
TEST(Extract, EndsForEveryNum)
{
    struct Case {
        std::string source, beginn, pre, post;
        long num;
        std::string expected;
    };
    const long kHuge = 2000000000;
    const Case cases[] = {
        {"abc", "", "", "x", 0, ""},
        {"abc", "", "", "", -1, ""},
        {kRow, "", "", "</td>", 0, ""},
        {"xa", "", "a", "b", 0, ""},
        {kRow, "", "<td>", "</td>", kHuge, ""},
        {"a.b.c", "", "", ".", kHuge, ""},
        {"abc", "", "", "x", kHuge, ""},
        {"abc", "", "", "", kHuge, ""},
        {"ax", "", "x", "", kHuge, ""},
        {"xa", "", "a", "b", kHuge, ""},
        {"xaaaa", "x", "", "a", kHuge, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExtractText(c.source, c.beginn, c.pre, c.post, c.num), c.expected)
            << c.source << " | " << c.beginn << " | " << c.pre << " | " << c.post << " | " << c.num;
}

TEST(Extract, GoingOnFromTheLastPlaceGivesWhatAFreshSearchGives)
{
    struct Case {
        std::string source, beginn, pre, post;
    };
    const Case cases[] = {
        {kRow, "", "<td>", "</td>"},
        {kRow, "</td>", "<td>", "</td>"},
        {kRow, "<table>", "<td>", "</td>"},
        {"a.b.c", "", "", "."},
        {"abc", "", "", ""},
        {"ax", "", "x", ""},
        {"xa", "", "a", "b"},
        {"xaaaa", "x", "", "a"},
        {"<b>1</b><b>2</b><b>3", "", "<b>", "</b>"},
    };
    // In order, repeated, backwards, past the end and back again.
    const long counts[] = {1, 2, 3, 3, 5, 2, 1, 4, 7, 0, 6, -1, 2, 9, 8};
    for (const Case& c : cases) {
        ExtractPlace place;
        for (long num : counts)
            EXPECT_EQ(ExtractText(c.source, c.beginn, c.pre, c.post, num, place),
                      ExtractText(c.source, c.beginn, c.pre, c.post, num))
                << c.source << " | " << c.beginn << " | " << c.pre << " | " << c.post << " | " << num;
    }
}

TEST(Extract, ByCountInAScriptWhoseTextChanges)
{
    const char* td = "\"\", \"<td>\", \"</td>\"";
    auto call = [&](const char* text, const char* k) { return std::string("extract(") + text + ", " + td + ", " + k + ")"; };
    RunResult r = RunScript(
        "p = \"<td>a</td><td>b</td><td>c</td>\"\n"
        "print(" + call("p", "1") + ", " + call("p", "2") + ")\n"
        // The same length, another text.
        "p = \"<td>x</td><td>y</td><td>z</td>\"\n"
        "print(" + call("p", "3") + ", " + call("p", "2") + ", " + call("p", "1") + ")\n"
        // Another variable with the text the search stood in.
        "q = \"<td>1</td><td>2</td><td>3</td>\"\n"
        "print(" + call("q", "3") + ", " + call("p", "3") + ")\n"
        // Appended in place between two counts.
        "for k = 1 to 3\n"
        "print(" + call("p", "4") + ", " + call("p", "k") + ")\n"
        "p = p . \"<td>\" . k . \"</td>\"\n"
        "next\n"
        "p = replace(p, \"y\", \"Y\")\n"
        "print(" + call("p", "2") + ")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "ab\nzyx\n3z\nx\n1y\n1z\nY");
}

TEST(Extract, ThroughAScript)
{
    RunResult r = RunScript(
        "row = \"" + kRow + "\"\n"
        "print(extract(row, \"\", \"<td>\", \"</td>\", 2))\n"
        "print(\"[\", extract(row, \"\", \"<td>\", \"</td>\", \"x\"), \"]\")\n"
        "print(extract(row, \"<td>\"))\n"
        "print(extract(\"2005.Q1\", \"\", \".Q\"))");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "B & C\n[]\nA</td><td>B & C</td><td>D</td></tr>\n1");
}

struct FormatCase {
    std::string format;
    std::vector<std::string> values;
    std::string expected;
};

// The conversions that scripts use, the same on both formatting paths.
const std::vector<FormatCase> kTextCases = {
    {"[%-16s%016s%-32s]", {"Name", "1,25", "Buchungstext"},
     "[Name" + std::string(12, ' ') + std::string(12, '0') + "1,25Buchungstext" + std::string(20, ' ') + "]"},
    {"no conversion", {}, "no conversion"},
    {"no conversion", {"unused"}, "no conversion"},
    {"100%%", {}, "100%"},
    {"%010s", {"1,25"}, "0000001,25"},
    {"%5s|%-5s|", {"ab", "cd"}, "   ab|cd   |"},
    {"%-05s|", {"ab"}, "ab   |"},
    {"%2s", {"abcdef"}, "abcdef"},
    {"%s", {""}, ""},
    // Values never act as formats.
    {"%s-%s", {"100%d", "%s%n"}, "100%d-%s%n"},
    {W("%s für %s"), {W("Grüße"), W("Jürgen")}, W("Grüße für Jürgen")},
};

TEST(FormatTexts, DocumentedConversions)
{
    for (const FormatCase& c : kTextCases) {
        std::optional<std::string> out = FormatTexts(c.format, c.values, 1 << 20);
        ASSERT_TRUE(out.has_value()) << c.format;
        EXPECT_EQ(*out, c.expected) << c.format;
    }
}

TEST(FormatTexts, FurtherConversions)
{
    const FormatCase cases[] = {
        {"%.2s|", {"abcdef"}, "ab|"},
        {"%*s|%-*s|", {"4", "x", "3", "y"}, "   x|y  |"},
        {"%*s|", {"-3", "x"}, "x  |"},
        {"%05d", {"42"}, "00042"},
        {"%05d", {"-7"}, "-0007"},
        {"%+d %i", {"3", "12abc"}, "+3 12"},
        {"%d", {"abc"}, "0"},
        {"%-4d|", {"5"}, "5   |"},
        {"%.3d", {"5"}, "005"},
    };
    for (const FormatCase& c : cases) {
        std::optional<std::string> out = FormatTexts(c.format, c.values, 1 << 20);
        ASSERT_TRUE(out.has_value()) << c.format;
        EXPECT_EQ(*out, c.expected) << c.format;
    }
}

TEST(FormatTexts, Refusals)
{
    const FormatCase cases[] = {
        {"%s %s", {"one"}, ""},
        {"%s", {}, ""},
        {"%*s", {"3"}, ""},
        {"%q", {"x"}, ""},
        {"%ls", {"x"}, ""},
        {"50%", {}, ""},
        {"%1000s", {"x"}, ""},
        {"%.2000d", {"1"}, ""},
        {"%99999999999999999999s", {"x"}, ""},
    };
    for (const FormatCase& c : cases)
        EXPECT_FALSE(FormatTexts(c.format, c.values, 100).has_value()) << c.format;
}

TEST(FormatBuiltin, ResultsAndArgumentErrors)
{
    RunResult r = RunScript(
        "x = format(\"[%-6s|%06s]\", \"ab\", \"1,5\")\n"
        "print(x)\n"
        "print(format(\"plain\"))");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "[ab    |0001,5]\nplain");

    for (const char* call : {"format(\"%s %s\", \"one\")", "format(\"%2000000000s\", \"x\")", "format(\"%y\", 1)"}) {
        r = RunScript(std::string("print(\"start\")\nx = ") + call + "\nprint(\"not reached\")");
        EXPECT_EQ(r.result, 2) << call;
        EXPECT_EQ(r.errMsg, "Argumentfehler in format()-Funktion") << call;
        EXPECT_EQ(Joined(r.output), "start") << call;
    }
}

TEST(PrintLibrary, LoadsOnlyFromTheGivenFolder)
{
    EXPECT_EQ(platform::LoadPrintLibrary("", platform::kPrintLibraryName), nullptr);
    EXPECT_EQ(platform::LoadPrintLibrary("/nonexistent/", platform::kPrintLibraryName), nullptr);
    EXPECT_NE(platform::LoadPrintLibrary(SKIMLARK_TEST_PRINT_DIR, platform::kPrintLibraryName), nullptr);
    // Without the trailing "/" as well.
    EXPECT_NE(platform::LoadPrintLibrary(SKIMLARK_TEST_PRINT_DIR "/", platform::kPrintLibraryName), nullptr);
}

class FormatWithLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        print = platform::LoadPrintLibrary(SKIMLARK_TEST_PRINT_DIR, platform::kPrintLibraryName);
        ASSERT_NE(print, nullptr);
        void* library = dlopen((std::string(SKIMLARK_TEST_PRINT_DIR) + "/" + platform::kPrintLibraryName).c_str(),
                               RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr);
        calls = reinterpret_cast<int (*)()>(dlsym(library, "PrintCalls"));
        dlclose(library);
        ASSERT_NE(calls, nullptr);
    }

    RunResult Run(const std::string& script)
    {
        // Once: the tests count the library's calls.
        TestHost host;
        host.bothWays = false;
        host.s.vsPrintf = print;
        return RunScript(script, &host);
    }

    VsPrintfFn print = nullptr;
    int (*calls)() = nullptr;
};

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

TEST_F(FormatWithLibrary, GivesTheSameTextsAsOurOwnFormatting)
{
    for (const FormatCase& c : kTextCases) {
        std::string call = "format(" + Quoted(c.format);
        for (const std::string& v : c.values)
            call += ", " + Quoted(v);
        call += ")";
        int before = calls();
        RunResult r = Run("print(\"[\", " + call + ", \"]\")");
        EXPECT_EQ(r.result, 0) << call << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), "[" + c.expected + "]") << call;
        EXPECT_EQ(calls(), before + 1) << call;
    }
}

TEST_F(FormatWithLibrary, ErrorsOfTheLibraryAndOfTheArguments)
{
    // This library knows no %d: its refusal is the run's argument error.
    int before = calls();
    RunResult r = Run("x = format(\"%d\", 5)");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.errMsg, "Argumentfehler in format()-Funktion");
    EXPECT_EQ(calls(), before + 1);

    // Too few values never reach the library.
    before = calls();
    r = Run("x = format(\"%s%s\", 5)");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.errMsg, "Argumentfehler in format()-Funktion");
    EXPECT_EQ(calls(), before);
}

}  // namespace

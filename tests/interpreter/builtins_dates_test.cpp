// Date, clock and random built-ins.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <regex>
#include <set>

#include "interpreter/builtins_dates.h"
#include "support/test_host.h"

namespace {

std::string Dotted(int d, unsigned m, int y)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02u.%04d", d, m, y);
    return buf;
}

// Every day of the range in which the calendar agrees with the Gregorian one:
// the day number counts days, its remainder by 7 is the weekday, and the way
// back gives the date with two-digit day and month, from written forms with
// and without leading zeros.
TEST(DayNumbers, InverseAndConsecutiveOverTheWholeRange)
{
    using namespace std::chrono;
    const sys_days first = year{1900} / March / 1;
    const sys_days last = year{2100} / February / 28;
    const int origin = DateToValue("1.1.1970");
    int failures = 0;
    for (sys_days d = first; d <= last && failures < 10; d += days{1}) {
        year_month_day ymd{d};
        int dd = int(unsigned(ymd.day())), yy = int(ymd.year());
        unsigned mm = unsigned(ymd.month());
        std::string padded = Dotted(dd, mm, yy);
        std::string plain = std::to_string(dd) + "." + std::to_string(mm) + "." + std::to_string(yy);
        int v = DateToValue(plain);
        bool ok = v == DateToValue(padded) && v - origin == d.time_since_epoch().count() &&
                  v % 7 == int(weekday{d}.c_encoding()) && ValueToDate(v) == padded;
        if (!ok) {
            ++failures;
            ADD_FAILURE() << plain << " -> " << v << " -> " << ValueToDate(v);
        }
    }
}

TEST(DayNumbers, Parsing)
{
    EXPECT_EQ(DateToValue("1.3"), -1);
    EXPECT_EQ(DateToValue(""), -1);
    EXPECT_EQ(DateToValue("31.02.2005"), DateToValue("03.03.2005"));
    EXPECT_EQ(DateToValue("01.02.2005"), DateToValue("1.2.2005"));
    // The year is read like atol: what follows its digits is ignored.
    EXPECT_EQ(DateToValue("1.2.2005.7"), DateToValue("1.2.2005"));
    EXPECT_EQ(DateToValue(" 24. 12. 1958"), DateToValue("24.12.1958"));
    // Absurd parts are computed without overflow.
    EXPECT_EQ(DateToValue("1.1.99999999999"), 2147483647);
    EXPECT_EQ(DateToValue("1.99999999999.1"), 2147483647);
}

struct ScriptCase {
    std::string script;
    std::string output;
};

TEST(DateBuiltins, Calendar)
{
    const ScriptCase cases[] = {
        {R"(print(weekday("24.12.1958")))", "3"},
        {R"(print(weekday("1.1.1970")))", "4"},
        {R"(print(weekday(dat2value("1.1.1970") + 2)))", "6"},
        {R"(print(weekday("")))", "0"},
        {R"(print(weekday("x.y")))", "-1"},
        {R"(print(value2dat(dat2value("28.02.2004") + 1)))", "29.02.2004"},
        {R"(print(value2dat(dat2value("28.02.2004") + 2)))", "01.03.2004"},
        {R"(print(value2dat(dat2value("1.1.2005") - 1)))", "31.12.2004"},
        {R"(print(value2dat(dat2value("31.02.2005"))))", "03.03.2005"},
        {R"(print(day(dat2value("24.12.1958"))))", "24"},
        {R"(print(month(dat2value("24.12.1958"))))", "12"},
        {R"(print(month("7.3.2005")))", "03"},
        {R"(print(year("1.1.5")))", "0005"},
        {R"(print(day("5.x.2005")))", "05"},
    };
    for (const ScriptCase& c : cases) {
        RunResult r = RunScript(c.script);
        EXPECT_EQ(r.result, 0) << c.script << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), c.output) << c.script;
    }
}

TEST(DateBuiltins, UnreadableDatesAreRunErrors)
{
    const char* dayError = "Falsches Datumformat (erforderlich ist tt.mm.jjjj oder Tageszahl)";
    const ScriptCase cases[] = {
        {R"(x = dat2value("1.3"))", "Falsches Datumformat (erforderlich ist tt.mm.jjjj)"},
        {R"(x = dat2value("1.3.-100"))", "Falsches Datumformat (erforderlich ist tt.mm.jjjj)"},
        {R"(x = day("1.3"))", dayError},
        {R"(x = year("2005."))", dayError},
    };
    for (const ScriptCase& c : cases) {
        RunResult r = RunScript("print(\"start\")\n" + c.script + "\nprint(\"not reached\")");
        EXPECT_EQ(r.result, 2) << c.script;
        EXPECT_EQ(r.errMsg, c.output) << c.script;
        EXPECT_EQ(Joined(r.output), "start") << c.script;
    }
}

TEST(DateBuiltins, Clock)
{
    std::time_t before = std::time(nullptr);
    RunResult r = RunScriptOnce("print(today)\nprint(today())\nprint(date)\nprint(time())");
    std::time_t after = std::time(nullptr);
    ASSERT_EQ(r.result, 0) << r.errMsg;
    ASSERT_EQ(r.output.size(), 4u);
    EXPECT_TRUE(std::regex_match(r.output[0], std::regex(R"(\d\d\.\d\d\.\d{4})"))) << r.output[0];
    EXPECT_TRUE(std::regex_match(r.output[2], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << r.output[2];
    long long t = std::stoll(r.output[3]);
    EXPECT_GE(t, before);
    EXPECT_LE(t, after);

    std::tm local{};
    localtime_r(&before, &local);
    // Runs across midnight aside, today and date name the local day.
    if (before / 86400 == after / 86400) {
        EXPECT_EQ(r.output[0], Dotted(local.tm_mday, unsigned(local.tm_mon + 1), local.tm_year + 1900));
        EXPECT_EQ(r.output[1], r.output[0]);
        EXPECT_EQ(r.output[2].substr(0, 10), r.output[0].substr(6, 4) + "-" + r.output[0].substr(3, 2) + "-" +
                                                 r.output[0].substr(0, 2));
    }
}

TEST(DateBuiltins, RandomDrawsEightDigitNumbers)
{
    RunResult r = RunScriptOnce(
        "for i = 1 to 200\n"
        "print(random)\n"
        "next");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    ASSERT_EQ(r.output.size(), 200u);
    std::set<std::string> distinct;
    for (const std::string& line : r.output) {
        ASSERT_TRUE(std::regex_match(line, std::regex(R"([1-9]\d{7})"))) << line;
        long n = std::stol(line);
        EXPECT_GE(n, 10000000);
        EXPECT_LT(n, 99999999);
        distinct.insert(line);
    }
    EXPECT_GT(distinct.size(), 190u);
}

}  // namespace

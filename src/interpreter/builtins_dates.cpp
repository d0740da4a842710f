// The calendar, clock and random built-ins: today, date, time, dat2value,
// value2dat, weekday, day, month, year and random.
#include "interpreter/builtins_dates.h"

#include <climits>
#include <cstdio>
#include <ctime>
#include <random>

#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"
#include "platform/numbers.h"

std::optional<DateParts> SplitDate(const std::string& text)
{
    size_t first = text.find('.');
    if (first == std::string::npos)
        return std::nullopt;
    size_t second = text.find('.', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    return DateParts{
        TextToLong(text.substr(0, first)),
        TextToLong(text.substr(first + 1, second - first - 1)),
        TextToLong(text.substr(second + 1)),
    };
}

int DateToValue(const std::string& text)
{
    std::optional<DateParts> parts = SplitDate(text);
    if (!parts)
        return -1;
    long long day = parts->day, month = parts->month, year = parts->year;
    // January and February count as months 13 and 14 of the year before.
    if (month == 1 || month == 2) {
        year -= 1;
        month += 12;
    }
    // trunc(year * 365.25) + trunc((month + 1) * 30.6), in integers: both
    // factors are exact fractions and C++ division cuts towards zero.
    long long value = (1461 * year) / 4 + (306 * (month + 1)) / 10 + day + 5;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

std::string ValueToDate(int value)
{
    // The inverse of DateToValue with its correction terms of 0.00001, worked
    // out in exact fractions instead of binary floating point, whose rounding
    // moves some days of the range onto the day before:
    //   x = v - 127.25, y = x / 365.25, Y = trunc(y)
    //   D = trunc((y + 0.00001 - Y) * 365.25)
    //   M = trunc((D + 0.4) / 30.6)
    //   day = trunc(((D + 0.4) / 30.6 + 0.00001 - M) * 30.6 + 1)
    long long x4 = 4LL * value - 509;  // 4x
    long long Y = x4 / 1461;
    long long r = x4 - 1461 * Y;  // 1461 (y - Y)
    long long D = (100000 * r + 1461) / 400000;
    long long M = (5 * D + 2) / 153;
    long long q = (5 * D + 2) - 153 * M;  // 153 ((D + 0.4) / 30.6 - M)
    long long day = (100000 * q + 500153) / 500000;
    long long month = (M + 2) % 12 + 1;
    long long year = Y + ((month == 1 || month == 2) ? 1 : 0);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld.%02lld.%04lld", day, month, year);
    return buf;
}

namespace {

std::tm LocalNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// today: a call with arguments still gives the date after the parser's error.
BuiltinResult Today(Skript&, funcContext&, const BuiltinCall&)
{
    std::tm t = LocalNow();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900);
    return std::string(buf);
}

// dat2value(date)
BuiltinResult Dat2Value(Skript& run, funcContext& args, const BuiltinCall& call)
{
    int value = DateToValue(args.values[0]);
    if (value < 1) {
        run.setError("Falsches Datumformat (erforderlich ist tt.mm.jjjj)", call.line);
        return std::nullopt;
    }
    return IntToText(value);
}

// value2dat(number)
BuiltinResult Value2Dat(Skript&, funcContext& args, const BuiltinCall&)
{
    return ValueToDate(static_cast<int>(TextToLong(args.values[0])));
}

// weekday(date or day number): 0 Sunday to 6 Saturday; -1 for an unreadable date.
BuiltinResult Weekday(Skript&, funcContext& args, const BuiltinCall&)
{
    const std::string& arg = args.values[0];
    int value = arg.find('.') == std::string::npos ? static_cast<int>(TextToLong(arg)) : DateToValue(arg);
    return IntToText(value % 7);
}

// day(x), month(x), year(x): x is a date text or a day number.
BuiltinResult DatePart(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::string date = args.values[0];
    if (date.find('.') == std::string::npos)
        date = ValueToDate(static_cast<int>(TextToLong(date)));
    std::optional<DateParts> parts = SplitDate(date);
    if (!parts) {
        run.setError("Falsches Datumformat (erforderlich ist tt.mm.jjjj oder Tageszahl)", call.line);
        return std::nullopt;
    }
    char buf[32];
    if (call.name == "day")
        std::snprintf(buf, sizeof buf, "%02ld", parts->day);
    else if (call.name == "month")
        std::snprintf(buf, sizeof buf, "%02ld", parts->month);
    else
        std::snprintf(buf, sizeof buf, "%04ld", parts->year);
    return std::string(buf);
}

// random: the upper bound itself is never drawn.
BuiltinResult Random(Skript& run, funcContext&, const BuiltinCall&)
{
    std::uniform_int_distribution<long> draw(10000000, 99999998);
    return IntToText(draw(run.rng));
}

// time: seconds since 1970-01-01 00:00 UTC.
BuiltinResult Time(Skript&, funcContext&, const BuiltinCall&)
{
    return IntToText(static_cast<long long>(std::time(nullptr)));
}

// date: local date and time.
BuiltinResult Date(Skript&, funcContext&, const BuiltinCall&)
{
    std::tm t = LocalNow();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return std::string(buf);
}

// ORDER: the built-in list.
constexpr BuiltinEntry kDateBuiltins[] = {
    {"today", 0, 0, Today, kAnyCount},
    {"dat2value", 1, 1, Dat2Value},
    {"value2dat", 1, 1, Value2Dat},
    {"weekday", 1, 1, Weekday},
    {"day", 1, 1, DatePart},
    {"month", 1, 1, DatePart},
    {"year", 1, 1, DatePart},
    {"random", 0, 0, Random, kAnyCount},
    {"time", 0, 0, Time},
    {"date", 0, 0, Date},
};

}  // namespace

std::span<const BuiltinEntry> DateBuiltins()
{
    return kDateBuiltins;
}

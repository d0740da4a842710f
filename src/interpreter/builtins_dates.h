// Day numbers of the date built-ins. A date text is day "." month "." year,
// each part read like atol; a day number counts days in a calendar in which
// every fourth year is a leap year (it agrees with the Gregorian calendar from
// 1.3.1900 to 28.2.2100), and its remainder by 7 is the weekday, 0 Sunday.
#pragma once

#include <optional>
#include <string>

struct DateParts {
    long day, month, year;
};

// The three parts of a date text; none when either "." is missing.
std::optional<DateParts> SplitDate(const std::string& text);
// The day number of a date text, or -1 when it holds fewer than two ".".
int DateToValue(const std::string& text);
// "dd.mm.yyyy" of a day number; any number is accepted.
std::string ValueToDate(int value);

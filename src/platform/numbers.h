// Numbers live as texts: these read and write them the same whatever the
// process locale.
#pragma once

#include <string>
#include <string_view>

// The decimal number at the start of a text, read as the C library's strtod
// reads it: leading blanks, sign, digits with '.' as the decimal point,
// exponent; a text without one is 0. Hexadecimal, "inf" and "nan" are not
// numbers; an overflow gives an infinity.
double TextToDouble(const std::string& text);
// As a 32-bit atol reads a text: leading blanks, sign, decimal digits; values
// beyond the 32-bit range are clamped to it.
long TextToLong(const std::string& text);
// The general format with 15 significant digits and '.' as decimal point:
// 5, -3, 2.5, 0.333333333333333, 1E20, 1E-6.
std::string FormatNumber(double value);
// FormatNumber written into out.
void FormatNumberInto(std::string& out, double value);
// Decimal text of an integer.
std::string IntToText(long long value);
// Reads a text that strtod reads as an integer of at most 15 digits (so that
// a double holds it exactly): sign, digits, then the end or a character that
// strtod does not read on with. Such a text reads as the same number through
// TextToDouble, and through TextToLong within the 32-bit range.
bool ExactInteger(const std::string& text, long long& out);
// x op y for op one of + - * /, when the result is an integer below 1E15,
// which FormatNumber writes as IntToText does.
bool IntegerArithmetic(char op, long long x, long long y, long long& out);
// The formatted result of a + b, a - b, a * b or a / b (op is the operator
// character), the same text as FormatNumber of the double arithmetic; texts
// that hold integers are computed as integers while the result is exact.
std::string Arithmetic(char op, const std::string& a, const std::string& b);
// The same, written into out, which may be a or b.
void ArithmeticInto(std::string& out, char op, const std::string& a, const std::string& b);
// IntToText written into out.
void IntToTextInto(std::string& out, long long value);

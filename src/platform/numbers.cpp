#include "platform/numbers.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {

// The "C" locale, so that '.' stays the decimal point whatever the process
// locale is (the GUI sets it from the environment).
locale_t CLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool ExactInteger(const std::string& text, long long& out)
{
    const char* p = text.c_str();
    bool neg = false;
    if (*p == '-' || *p == '+')
        neg = *p++ == '-';
    if (!(*p >= '0' && *p <= '9'))
        return false;
    long long v = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
        if (++digits > 15)
            return false;
        v = v * 10 + (*p++ - '0');
    }
    if (*p == '.' || *p == 'e' || *p == 'E')
        return false;
    out = neg ? -v : v;
    return true;
}

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

double TextToDouble(const std::string& text)
{
    const char* s = text.c_str();
    // Plain integers are the common case in loops; read them without strtod.
    const char* p = s;
    bool neg = false;
    if (*p == '-' || *p == '+')
        neg = *p++ == '-';
    if (IsDigit(*p)) {
        long long v = 0;
        int digits = 0;
        while (IsDigit(*p) && digits < 15) {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        bool more = IsDigit(*p) || *p == '.' || *p == 'e' || *p == 'E';
        if (!more)
            return neg ? -double(v) : double(v);
    }
    // Only the decimal form counts: strtod would also read hexadecimal,
    // "inf" and "nan", which a script's text must not turn into numbers.
    p = s;
    while (IsBlank(*p))
        ++p;
    const char* start = p;
    if (*p == '-' || *p == '+')
        ++p;
    const char* mantissa = p;
    while (IsDigit(*p))
        ++p;
    bool anyDigit = p > mantissa;
    if (*p == '.') {
        const char* fraction = ++p;
        while (IsDigit(*p))
            ++p;
        anyDigit = anyDigit || p > fraction;
    }
    if (!anyDigit)
        return 0;
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        if (*e == '-' || *e == '+')
            ++e;
        if (IsDigit(*e)) {
            while (IsDigit(*e))
                ++e;
            p = e;
        }
    }
    // Overflow gives an infinity, which FormatNumber writes as INF.
    return strtod_l(std::string(start, p).c_str(), nullptr, CLocale());
}

long TextToLong(const std::string& text)
{
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    bool neg = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        neg = text[i++] == '-';
    long long v = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        v = v * 10 + (text[i++] - '0');
        if (v > 1LL + INT_MAX)
            v = 1LL + INT_MAX;  // keeps the clamp below exact
    }
    if (neg)
        v = -v;
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return long(v);
}

namespace {

// Writes value's decimal digits so that they end at end; returns their start.
// Loop counters and sums are written on every step, so this goes two digits
// at a time and in 32-bit arithmetic where it can.
char* DecimalDigits(unsigned long long value, char* end)
{
    static const char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char* p = end;
    while (value >= 100000000) {
        uint32_t low = uint32_t(value % 100000000);
        value /= 100000000;
        for (int k = 0; k < 4; ++k) {
            p -= 2;
            std::memcpy(p, kPairs + 2 * (low % 100), 2);
            low /= 100;
        }
    }
    uint32_t v = uint32_t(value);
    while (v >= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (v % 100), 2);
        v /= 100;
    }
    if (v >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * v, 2);
    } else {
        *--p = char('0' + v);
    }
    return p;
}

}  // namespace

void IntToTextInto(std::string& out, long long value)
{
    char buf[24];
    char* end = buf + sizeof buf;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    char* p = DecimalDigits(magnitude, end);
    if (value < 0)
        *--p = '-';
    out.assign(p, size_t(end - p));
}

std::string IntToText(long long value)
{
    std::string out;
    IntToTextInto(out, value);
    return out;
}

std::string FormatNumber(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return IntToText((long long)value);

    // 15 significant digits, then the general format's choice between fixed
    // and exponent form: fixed while the exponent is below 15 and the value
    // is at least 0.00001.
    char buf[64];
    snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    int exp = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = value < 0 ? "-" : "";
    if (exp < 15 && exp >= -5) {
        if (exp >= 0) {
            std::string intPart = digits.substr(0, std::min<size_t>(digits.size(), size_t(exp) + 1));
            while (intPart.size() < size_t(exp) + 1)
                intPart += '0';
            out += intPart;
            if (digits.size() > size_t(exp) + 1)
                out += "." + digits.substr(exp + 1);
        } else {
            out += "0." + std::string(size_t(-exp - 1), '0') + digits;
        }
        return out;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1)
        out += "." + digits.substr(1);
    out += "E" + std::to_string(exp);
    return out;
}

std::string Arithmetic(char op, const std::string& a, const std::string& b)
{
    std::string out;
    ArithmeticInto(out, op, a, b);
    return out;
}

bool IntegerArithmetic(char op, long long x, long long y, long long& out)
{
    // Below 1E15 a double shows an integer exactly and FormatNumber writes it
    // in plain digits, so the integer result gives the same text.
    constexpr long long kExact = 1000000000000000LL;
    long long r;
    bool exact = true;
    switch (op) {
    case '+': r = x + y; break;
    case '-': r = x - y; break;
    case '*': exact = !__builtin_mul_overflow(x, y, &r); break;
    default:
        exact = y != 0 && x % y == 0;
        if (exact)
            r = x / y;
        break;
    }
    if (!exact || r >= kExact || r <= -kExact)
        return false;
    out = r;
    return true;
}

void ArithmeticInto(std::string& out, char op, const std::string& a, const std::string& b)
{
    long long x, y, r;
    if (ExactInteger(a, x) && ExactInteger(b, y) && IntegerArithmetic(op, x, y, r)) {
        IntToTextInto(out, r);
        return;
    }
    double l = TextToDouble(a), rr = TextToDouble(b);
    switch (op) {
    case '+': out = FormatNumber(l + rr); break;
    case '-': out = FormatNumber(l - rr); break;
    case '*': out = FormatNumber(l * rr); break;
    default: out = FormatNumber(l / rr); break;
    }
}

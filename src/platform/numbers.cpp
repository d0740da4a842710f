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
    // from_chars rounds as strtod does and needs no copy; it takes no '+'.
    // A value out of its range (an overflow gives an infinity, which
    // FormatNumber writes as INF) is left to strtod.
    double value = 0;
    const char* digitsStart = *start == '+' ? start + 1 : start;
    const auto [end, ec] = std::from_chars(digitsStart, p, value);
    if (ec == std::errc() && end == p)
        return value;
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

void FormatNumberInto(std::string& out, double value)
{
    if (std::isnan(value)) {
        out.assign("NAN");
        return;
    }
    if (std::isinf(value)) {
        out.assign(value < 0 ? "-INF" : "INF");
        return;
    }
    if (value == 0) {
        out.assign("0");
        return;
    }
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        IntToTextInto(out, (long long)value);
        return;
    }

    // 15 significant digits, then the general format's choice between fixed
    // and exponent form: fixed while the exponent is below 15 and the value
    // is at least 0.00001. to_chars rounds as printf's "%.14e" does.
    char sci[40];
    const char* sciEnd = std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific, 14).ptr;
    // sci holds d.dddddddddddddde[+-]x...
    char digits[16];
    size_t n = 0;
    const char* p = sci;
    for (; p < sciEnd && *p != 'e'; ++p)
        if (*p != '.')
            digits[n++] = *p;
    int exp = 0;
    std::from_chars(p + 1 + (p[1] == '+'), sciEnd, exp);
    while (n > 1 && digits[n - 1] == '0')
        --n;

    char buf[48];
    char* o = buf;
    if (value < 0)
        *o++ = '-';
    if (exp < 15 && exp >= -5) {
        if (exp >= 0) {
            const size_t whole = size_t(exp) + 1;
            for (size_t i = 0; i < whole; ++i)
                *o++ = i < n ? digits[i] : '0';
            if (n > whole) {
                *o++ = '.';
                for (size_t i = whole; i < n; ++i)
                    *o++ = digits[i];
            }
        } else {
            *o++ = '0';
            *o++ = '.';
            for (int i = -1; i > exp; --i)
                *o++ = '0';
            for (size_t i = 0; i < n; ++i)
                *o++ = digits[i];
        }
    } else {
        *o++ = digits[0];
        if (n > 1) {
            *o++ = '.';
            for (size_t i = 1; i < n; ++i)
                *o++ = digits[i];
        }
        *o++ = 'E';
        o = std::to_chars(o, buf + sizeof buf, exp).ptr;
    }
    out.assign(buf, size_t(o - buf));
}

std::string FormatNumber(double value)
{
    std::string out;
    FormatNumberInto(out, value);
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
    const double l = TextToDouble(a), rr = TextToDouble(b);
    switch (op) {
    case '+': FormatNumberInto(out, l + rr); break;
    case '-': FormatNumberInto(out, l - rr); break;
    case '*': FormatNumberInto(out, l * rr); break;
    default: FormatNumberInto(out, l / rr); break;
    }
}

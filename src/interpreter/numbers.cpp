#include "interpreter/numbers.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

double TextToDouble(const std::string& text)
{
    const char* s = text.c_str();
    // Plain integers are the common case in loops; read them without strtod.
    const char* p = s;
    bool neg = false;
    if (*p == '-' || *p == '+')
        neg = *p++ == '-';
    if (*p >= '0' && *p <= '9') {
        long long v = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 15) {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        bool more = (*p >= '0' && *p <= '9') || *p == '.' || *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X';
        if (!more)
            return neg ? -double(v) : double(v);
    }
    return strtod_l(s, nullptr, CLocale());
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

std::string IntToText(long long value)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
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

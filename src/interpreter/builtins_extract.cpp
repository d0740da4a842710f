// The built-ins that take pages apart and build fixed-width records:
// extract and format.
#include "interpreter/builtins_extract.h"

#include <cstring>
#include <exception>
#include <type_traits>

#include "interpreter/builtins_text_rules.h"
#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"
#include "platform/numbers.h"
#include "platform/print_library.h"
#include "web/entities.h"

static_assert(std::is_same_v<VsPrintfFn, platform::PrintFormatFn>, "the print library's entry has one type");

std::string ExtractText(const std::string& source, const std::string& beginn, const std::string& pre,
                        const std::string& post, long num)
{
    ExtractPlace place;
    return ExtractText(source, beginn, pre, post, num, place);
}

std::string ExtractText(const std::string& source, const std::string& beginn, const std::string& pre,
                        const std::string& post, long num, ExtractPlace& place)
{
    // A num below 1 never equals the count of a stretch, so the search could
    // only end with the empty text; with an empty pre it would never end.
    if (num < 1)
        return std::string();
    const long long len = static_cast<long long>(source.size());
    const long long preLen = static_cast<long long>(pre.size());
    const long long postLen = static_cast<long long>(post.size());

    const bool resume = place.valid && place.n <= num && place.beginn == beginn && place.pre == pre &&
                        place.post == post;
    long long S = 1;
    long n = 1;
    if (resume) {
        S = place.S;
        n = place.final ? num : place.n;
    } else {
        place.valid = false;
        if (!beginn.empty()) {
            long long at = TextPos(source, beginn);
            if (at == 0)
                return std::string();
            S = at + static_cast<long long>(beginn.size());
        }
        place.beginn = beginn;
        place.pre = pre;
        place.post = post;
        place.final = false;
    }
    // The stretch of count n starts its search at S; so does every later one
    // when final is set.
    auto stop = [&](bool final) {
        place.valid = true;
        place.n = n;
        place.S = S;
        place.final = final;
    };
    for (;; ++n) {
        // With an empty pre a stretch starts where the search stands; past
        // the end, this one and every later one is empty.
        if (pre.empty() && S > len) {
            stop(true);
            return std::string();
        }
        long long F = pre.empty() ? 1 : TextPos(TextFrom(source, S), pre);
        if (F == 0) {
            stop(true);
            return std::string();
        }
        long long V = S + F - 1 + preLen;
        long long L;
        if (!post.empty())
            L = TextPos(TextFrom(source, V), post) - 1;
        else
            L = pre.empty() ? len : len - S - F + 1;
        if (n == num) {
            stop(false);
            return DecodeEntities(std::string(TextPart(source, V, L)));
        }
        // A post that does not occur from here on does not occur after any
        // later stretch either: all of them are empty.
        if (L < 0) {
            ++n;
            stop(true);
            return std::string();
        }
        // The next search starts at the last character of the post found.
        long long next = V + L + postLen - 1;
        // A search that stands still finds this same stretch every time.
        if (next == S) {
            stop(true);
            return DecodeEntities(std::string(TextPart(source, V, L)));
        }
        S = next;
    }
}

namespace {

struct Conversion {
    bool left = false, zero = false, plus = false, space = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
};

// Reads a decimal count; values beyond any text size are kept just beyond it.
size_t ReadCount(const std::string& format, size_t& i, size_t maxSize)
{
    size_t n = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        n = n * 10 + static_cast<size_t>(format[i] - '0');
        if (n > maxSize)
            n = maxSize + 1;
        ++i;
    }
    return n;
}

std::string IntegerText(const std::string& value, const Conversion& c)
{
    long long n = TextToLong(value);
    std::string digits = IntToText(n < 0 ? -n : n);
    if (c.hasPrecision && c.precision == 0 && n == 0)
        digits.clear();
    if (c.hasPrecision && digits.size() < c.precision)
        digits.insert(0, c.precision - digits.size(), '0');
    std::string sign = n < 0 ? "-" : c.plus ? "+" : c.space ? " " : "";
    // The 0 flag fills between sign and digits, and only without a precision.
    if (c.zero && !c.left && !c.hasPrecision && sign.size() + digits.size() < c.width)
        digits.insert(0, c.width - sign.size() - digits.size(), '0');
    return sign + digits;
}

}  // namespace

std::optional<std::string> FormatTexts(const std::string& format, std::span<const std::string> values,
                                       size_t maxSize)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (++i == format.size())
            return std::nullopt;  // a lone '%' at the end
        if (format[i] == '%') {
            out += '%';
            continue;
        }
        Conversion c;
        for (; i < format.size(); ++i) {
            char f = format[i];
            if (f == '-')
                c.left = true;
            else if (f == '0')
                c.zero = true;
            else if (f == '+')
                c.plus = true;
            else if (f == ' ')
                c.space = true;
            else if (f != '#')
                break;
        }
        if (i < format.size() && format[i] == '*') {
            if (next >= values.size())
                return std::nullopt;
            long w = TextToLong(values[next++]);
            if (w < 0) {
                c.left = true;
                w = -w;
            }
            c.width = static_cast<size_t>(w);
            ++i;
        } else {
            c.width = ReadCount(format, i, maxSize);
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            c.hasPrecision = true;
            if (i < format.size() && format[i] == '*') {
                if (next >= values.size())
                    return std::nullopt;
                long p = TextToLong(values[next++]);
                c.hasPrecision = p >= 0;  // a negative precision counts as none
                c.precision = p >= 0 ? static_cast<size_t>(p) : 0;
                ++i;
            } else {
                c.precision = ReadCount(format, i, maxSize);
            }
        }
        if (i == format.size() || next >= values.size())
            return std::nullopt;
        char conv = format[i];
        const std::string& value = values[next++];
        std::string text;
        if (conv == 's')
            text = c.hasPrecision ? value.substr(0, c.precision) : value;
        else if (conv == 'd' || conv == 'i') {
            if (c.hasPrecision && c.precision > maxSize)
                return std::nullopt;
            text = IntegerText(value, c);
        } else
            return std::nullopt;
        size_t fill = c.width > text.size() ? c.width - text.size() : 0;
        if (out.size() + fill + text.size() > maxSize)
            return std::nullopt;
        if (c.left) {
            out += text;
            out.append(fill, ' ');
        } else {
            out.append(fill, c.zero && conv == 's' ? '0' : ' ');
            out += text;
        }
    }
    if (out.size() > maxSize)
        return std::nullopt;
    return out;
}

namespace {

// extract(source [, beginn [, pre [, post [, num]]]])
BuiltinResult Extract(Skript& run, funcContext& args, const BuiltinCall&)
{
    static const std::string kNone;
    auto arg = [&](size_t i) -> const std::string& { return i < args.values.size() ? args.values[i] : kNone; };
    long num = args.values.size() > 4 ? TextToLong(args.values[4]) : 1;
    // Only a variable's value read in place can be known unchanged: its
    // stamp moves with every write.
    const Variable* source = args.values.empty() ? nullptr : args.values[0].lentFrom();
    ExtractPlace& place = run.extractPlace;
    if (!source || place.source != source || place.stamp != source->stamp)
        place.valid = false;
    if (!source)
        return ExtractText(arg(0), arg(1), arg(2), arg(3), num);
    place.source = source;
    place.stamp = source->stamp;
    return ExtractText(arg(0), arg(1), arg(2), arg(3), num, place);
}

// The print library's output for a format our own formatting accepted; none
// when the library reports a failure.
std::optional<std::string> LibraryFormat(VsPrintfFn print, const std::string& format,
                                         std::span<const std::string> values, size_t measured)
{
    std::vector<const char*> argv;
    argv.reserve(values.size());
    for (const std::string& v : values)
        argv.push_back(v.c_str());
    int argc = static_cast<int>(argv.size());
    std::vector<char> buffer(measured + 1, '\0');
    int written = print(buffer.data(), buffer.size(), format.c_str(), argc, argv.data());
    if (written < 0)
        return std::nullopt;
    // A library that needs more room than our measure says gets it once.
    if (static_cast<size_t>(written) >= buffer.size()) {
        buffer.assign(static_cast<size_t>(written) + 1, '\0');
        if (print(buffer.data(), buffer.size(), format.c_str(), argc, argv.data()) < 0)
            return std::nullopt;
    }
    buffer.back() = '\0';
    return std::string(buffer.data(), std::strlen(buffer.data()));
}

// format(format, value, ...)
BuiltinResult Format(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::optional<std::string> result;
    try {
        std::vector<std::string> copies;
        for (size_t i = 1; i < args.values.size(); ++i)
            copies.push_back(args.values[i].str());
        std::span<const std::string> values(copies);
        result = FormatTexts(args.values[0], values, run.settings().maxTextSize);
        if (result && run.settings().vsPrintf)
            result = LibraryFormat(run.settings().vsPrintf, args.values[0], values, result->size());
    } catch (const std::exception&) {
        result.reset();
    }
    if (!result) {
        run.setError("Argumentfehler in format()-Funktion", call.line);
        return std::nullopt;
    }
    return result;
}

// ORDER: the built-in list.
constexpr BuiltinEntry kExtractBuiltins[] = {
    {"extract", 1, 5, Extract},
    {"format", 1, kOpenArgs, Format},
};

}  // namespace

std::span<const BuiltinEntry> ExtractBuiltins()
{
    return kExtractBuiltins;
}

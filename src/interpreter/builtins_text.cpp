// The text built-ins: substr, replace, trim, the URL splitters, dump, filter,
// lower, upper, size, length and instr. They compute on texts only.
#include "interpreter/builtins_text.h"

#include "interpreter/builtins_text_rules.h"
#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"
#include "interpreter/variables.h"
#include "platform/cp1252.h"
#include "platform/numbers.h"
#include "web/url_parts.h"

namespace {

bool IsLetter(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    switch (c) {
    case 0xE4: case 0xF6: case 0xFC:  // ä ö ü
    case 0xC4: case 0xD6: case 0xDC:  // Ä Ö Ü
    case 0xDF:                        // ß
        return true;
    default:
        return false;
    }
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

std::string FilterText(const std::string& source, const std::string& mode, const std::string& separator)
{
    bool letters = mode == "1" || mode == "2";
    bool digits = mode == "1" || mode == "3";
    std::string result;
    bool inRun = false;
    for (char ch : source) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((letters && IsLetter(c)) || (digits && IsDigit(c))) {
            result += ch;
            inRun = true;
        } else {
            if (inRun)
                result += separator;
            inRun = false;
        }
    }
    return result;
}

std::vector<std::string> HexDumpLines(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::vector<std::string> lines;
    for (size_t block = 0; block < text.size(); block += 16) {
        std::string line;
        line.reserve(16 * 3 + 2 + 16);
        for (size_t i = block; i < block + 16; ++i) {
            if (i < text.size()) {
                unsigned char c = static_cast<unsigned char>(text[i]);
                line += kHex[c >> 4];
                line += kHex[c & 15];
                line += ' ';
            } else {
                line += "__ ";
            }
        }
        line += "| ";
        for (size_t i = block; i < block + 16; ++i) {
            if (i >= text.size()) {
                line += ' ';
                continue;
            }
            unsigned char c = static_cast<unsigned char>(text[i]);
            line += (c < 32 || c >= 128) ? '.' : text[i];
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void HexDump(Skript& run, const std::string& text)
{
    // Each line goes out as finished text, so a '%' in the data stays as it is.
    for (const std::string& line : HexDumpLines(text))
        run.appendOutput(line);
}

namespace {

// substr(text, start, length)
BuiltinResult Substr(Skript&, funcContext& args, const BuiltinCall&)
{
    return std::string(TextPart(args.values[0].str(), TextToLong(args.values[1]), TextToLong(args.values[2])));
}

// replace(text, pattern, replacement)
BuiltinResult Replace(Skript& run, funcContext& args, const BuiltinCall& call)
{
    if (run.errLine != -1)
        return std::nullopt;
    const std::string& text = args.values[0];
    const std::string& pattern = args.values[1];
    const std::string& replacement = args.values[2];
    if (pattern.empty())
        return text;
    // Building the result in one pass never searches inserted text again.
    std::string result;
    // The result keeps to the text limit that "." keeps to.
    auto tooLong = [&](size_t more) { return !run.withinTextLimit(result.size() + more, call.line); };
    size_t pos = 0;
    for (size_t at; (at = text.find(pattern, pos)) != std::string::npos; pos = at + pattern.size()) {
        if (tooLong(at - pos + replacement.size()))
            return std::nullopt;
        result.append(text, pos, at - pos);
        result += replacement;
    }
    if (tooLong(text.size() - pos))
        return std::nullopt;
    result.append(text, pos, std::string::npos);
    return result;
}

// trim(text)
BuiltinResult Trim(Skript&, funcContext& args, const BuiltinCall&)
{
    const std::string& text = args.values[0];
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// host(url), domain(url), tld(url)
BuiltinResult HostParts(Skript&, funcContext& args, const BuiltinCall& call)
{
    std::string hostname = UrlHostName(args.values[0]);
    if (call.name == "tld")
        return HostTld(hostname);
    if (call.name == "domain")
        return HostDomain(hostname);
    return hostname;
}

// dump(text)
BuiltinResult Dump(Skript& run, funcContext& args, const BuiltinCall&)
{
    HexDump(run, args.values[0]);
    return std::string();
}

// filter(source, mode [, separator])
BuiltinResult Filter(Skript&, funcContext& args, const BuiltinCall&)
{
    static const std::string kNone;
    return FilterText(args.values[0], args.values[1], args.values.size() > 2 ? args.values[2] : kNone);
}

// lower(text), upper(text)
BuiltinResult Lower(Skript&, funcContext& args, const BuiltinCall&)
{
    std::string text = args.values[0];
    for (char& c : text)
        c = platform::Cp1252Lower(c);
    return text;
}

BuiltinResult Upper(Skript&, funcContext& args, const BuiltinCall&)
{
    std::string text = args.values[0];
    for (char& c : text)
        c = platform::Cp1252Upper(c);
    return text;
}

// size(variable): counts the elements of the array level the argument names.
BuiltinResult Size(Skript& run, funcContext& args, const BuiltinCall&)
{
    // An argument that names no variable is one value; counted under the
    // empty name it would count the first-level keys of every array.
    if (args.argTexts[0].empty())
        return std::string("1");
    return ArrayElementCount(run, args.argTexts[0]);
}

// length(text)
BuiltinResult Length(Skript&, funcContext& args, const BuiltinCall&)
{
    return IntToText(static_cast<long long>(args.values[0].size()));
}

// instr([start,] text, searched)
BuiltinResult Instr(Skript&, funcContext& args, const BuiltinCall&)
{
    bool withStart = args.values.size() >= 3;
    long long start = withStart ? TextToLong(args.values[0]) : 1;
    const std::string& text = args.values[withStart ? 1 : 0];
    const std::string& searched = args.values[withStart ? 2 : 1];
    // The search never begins before the first character; counting the
    // result from a start below 1 would report a found text at position 1
    // as 0, "not found".
    if (start < 1)
        start = 1;
    if (text.empty())
        return std::string();
    if (searched.empty())
        return IntToText(start);
    long long p = TextPos(TextFrom(text, start), searched);
    return p == 0 ? std::string("0") : IntToText(start + p - 1);
}

// ORDER: the built-in list.
constexpr BuiltinEntry kTextBuiltins[] = {
    {"substr", 3, 3, Substr},
    {"replace", 3, 3, Replace, kEmptyOnBadCount},
    {"trim", 1, 1, Trim},
    {"host", 1, 1, HostParts},
    {"domain", 1, 1, HostParts},
    {"tld", 1, 1, HostParts},
    {"dump", 1, 1, Dump},
    {"filter", 2, 3, Filter},
    {"lower", 1, 1, Lower},
    {"upper", 1, 1, Upper},
    {"size", 1, 1, Size},
    {"length", 1, 1, Length},
    {"instr", 2, 3, Instr},
};

}  // namespace

std::span<const BuiltinEntry> TextBuiltins()
{
    return kTextBuiltins;
}

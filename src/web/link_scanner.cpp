// The link scanner of linkget: finds links in any text, without libxml2.

#include <string_view>

#include "web/web_access.h"
#include "platform/cp1252.h"
#include "web/html_analysis.h"

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string Trimmed(std::string_view s)
{
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return std::string(s.substr(begin, end - begin));
}

}  // namespace

std::string LowerCp1252(std::string text)
{
    for (char& c : text)
        c = platform::Cp1252Lower(c);
    return text;
}

std::string getAttr(const std::string& tag, const std::string& name)
{
    const std::string lower = LowerCp1252(tag);
    const std::string key = " " + name;
    // Only positions before the last character are read.
    const size_t limit = tag.empty() ? 0 : tag.size() - 1;
    // Only the first match counts, also when it is the start of a longer
    // name: for href, a hreflang before it gives "" (scripts rely on that).
    size_t p = lower.find(key);
    if (p == std::string::npos)
        return {};
    p += key.size();
    while (p < limit && IsBlank(tag[p]))
        ++p;
    bool equals = false;
    while (p < limit && tag[p] == '=') {
        equals = true;
        ++p;
    }
    if (!equals)
        return {};
    while (p < limit && IsBlank(tag[p]))
        ++p;

    // A double quote directly followed by a single quote reads to the
    // single quote.
    auto stop = [](char c) { return IsBlank(c) || c == '>'; };
    char quote = 0;
    if (p < limit && tag[p] == '"') {
        quote = '"';
        ++p;
    }
    if (p < limit && tag[p] == '\'') {
        quote = '\'';
        ++p;
    }
    const size_t begin = p;
    while (p < limit && (quote ? tag[p] != quote : !stop(tag[p])))
        ++p;
    return tag.substr(begin, p - begin);
}

// The text is lower-cased once, and the next "<a " and "</a>" are searched
// again only once the scan has passed them, so that the scan stays linear in
// the length of the text however many links it holds.
std::string WebAccess::linkget(const std::string& text, const std::string& linkText, long n)
{
    const std::string lower = LowerCp1252(text);
    const std::string wanted = LowerCp1252(linkText);
    const bool debug = debugOn();
    std::string result;
    size_t start = 0;
    size_t open = 0, close = 0;
    bool searched = false;
    for (;;) {
        if (!searched || (open != std::string::npos && open < start))
            open = lower.find("<a ", start);
        if (!searched || (close != std::string::npos && close < start))
            close = lower.find("</a>", start);
        searched = true;
        if (open == std::string::npos || close == std::string::npos)
            break;
        if (open < close) {
            const std::string segment = text.substr(open, close - open);
            const size_t gt = segment.rfind('>');
            const std::string_view after =
                gt == std::string::npos ? std::string_view(segment) : std::string_view(segment).substr(gt + 1);
            const std::string linkName = LowerCp1252(Trimmed(after));
            const std::string href = getAttr(segment, "href");
            if (debug) {
                AppendOutput("Link: href=%.256s", href.c_str());
                AppendOutput("      text=%.256s", linkName.c_str());
            }
            if (linkName.compare(0, wanted.size(), wanted) == 0 && linkName.size() >= wanted.size()) {
                if (n == 1) {
                    const std::string* base = findVariable("base");
                    result = resolveUrl(base ? *base : std::string(), href);
                }
                if (n > 0)
                    --n;
            }
        }
        start = close + 1;
    }
    return result;
}

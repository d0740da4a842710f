#include "web/page_charset.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>

#include <memory>

#include "platform/ascii_text.h"
#include "platform/cp1252.h"

std::string PageEncoding(std::string_view label)
{
    std::string name(label.substr(0, label.find(';')));
    const auto junk = [](char c) { return c == '"' || c == '\'' || static_cast<unsigned char>(c) <= 32; };
    while (!name.empty() && junk(name.back()))
        name.pop_back();
    size_t begin = 0;
    while (begin < name.size() && junk(name[begin]))
        ++begin;
    name = platform::AsciiLower(name.substr(begin));
    if (name == "utf-8" || name == "utf8" || name == "unicode-1-1-utf-8")
        return "utf-8";
    if (name.empty() || name == "iso-8859-1" || name == "iso8859-1" || name == "latin1" || name == "l1" ||
        name == "us-ascii" || name == "ascii" || name == "cp1252" || name == "x-cp1252" || name == "cp819" ||
        name == "iso_8859-1" || name == "windows-1252")
        return "windows-1252";
    return name;
}

std::string EncodeForPage(const std::string& utf8, const std::string& encoding)
{
    if (encoding == "utf-8")
        return utf8;
    xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str());
    if (!handler)
        return platform::Utf8ToCp1252(utf8);
    std::unique_ptr<xmlBuffer, void (*)(xmlBuffer*)> in(xmlBufferCreate(), xmlBufferFree);
    std::unique_ptr<xmlBuffer, void (*)(xmlBuffer*)> out(xmlBufferCreate(), xmlBufferFree);
    std::string result;
    // libxml2 writes a reference such as &#8364; for what the encoding
    // lacks, which is what a browser sends for it.
    if (in && out && xmlBufferAdd(in.get(), reinterpret_cast<const xmlChar*>(utf8.data()), int(utf8.size())) == 0 &&
        xmlCharEncOutFunc(handler, out.get(), in.get()) >= 0)
        result.assign(reinterpret_cast<const char*>(xmlBufferContent(out.get())), size_t(xmlBufferLength(out.get())));
    else
        result = platform::Utf8ToCp1252(utf8);
    xmlCharEncCloseFunc(handler);
    return result;
}

namespace {

// Calls part(text) for the runs between C1 controls and c1(byte) for each
// control, as the Windows-1252 byte of its value.
template <typename Part, typename C1>
bool SplitAtC1(std::string_view utf8, Part part, C1 c1)
{
    size_t from = 0;
    for (size_t i = 0; i + 1 < utf8.size(); ++i) {
        const auto next = static_cast<unsigned char>(utf8[i + 1]);
        if (utf8[i] == '\xC2' && next >= 0x80 && next <= 0x9F) {
            part(utf8.substr(from, i - from));
            c1(char(next));
            from = i + 2;
            ++i;
        }
    }
    if (from == 0)
        return false;
    part(utf8.substr(from));
    return true;
}

}  // namespace

std::string PageTextWithoutC1(std::string_view utf8)
{
    std::string out;
    if (!SplitAtC1(
            utf8, [&](std::string_view t) { out += t; },
            [&](char c) { out += platform::Cp1252ToUtf8(std::string_view(&c, 1)); }))
        return std::string(utf8);
    return out;
}

std::string PageTextToScript(std::string_view utf8)
{
    std::string out;
    if (!SplitAtC1(
            utf8, [&](std::string_view t) { out += platform::Utf8ToCp1252(t); }, [&](char c) { out += c; }))
        return platform::Utf8ToCp1252(utf8);
    return out;
}

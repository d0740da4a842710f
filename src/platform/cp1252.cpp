#include "platform/cp1252.h"

#include <array>
#include <unordered_map>

namespace platform {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ToUnicode(unsigned char b)
{
    return (b >= 0x80 && b <= 0x9F) ? kHigh[b - 0x80] : char16_t(b);
}

// Returns -1 when the code point has no Windows-1252 byte.
int FromUnicode(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return int(cp);
    static const std::unordered_map<char32_t, unsigned char> back = [] {
        std::unordered_map<char32_t, unsigned char> m;
        for (int i = 0; i < 32; ++i)
            m[kHigh[i]] = static_cast<unsigned char>(0x80 + i);
        return m;
    }();
    auto it = back.find(cp);
    return it == back.end() ? -1 : it->second;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when malformed.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp)
{
    unsigned char b = text[i];
    size_t len;
    char32_t min;
    if (b < 0x80) { cp = b; return 1; }
    if ((b & 0xE0) == 0xC0) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; cp = b & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > text.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char c = text[i + k];
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// The code point at text[i], a surrogate pair as one; moves i past it. An
// unpaired surrogate comes back as itself.
char32_t DecodeUtf16(std::u16string_view text, size_t& i)
{
    char32_t cp = text[i++];
    if (cp >= 0xD800 && cp <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i++] - 0xDC00);
    return cp;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (unsigned char b : text) {
        if (b < 0x80)
            out += char(b);
        else
            AppendUtf8(out, ToUnicode(b));
    }
    return out;
}

std::u16string Cp1252ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char b : text)
        out += ToUnicode(b);
    return out;
}

std::string Utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char b = text[i];
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        char32_t cp;
        size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            out += char(b);
            ++i;
            continue;
        }
        int c = FromUnicode(cp);
        out += c < 0 ? '?' : char(c);
        i += len;
    }
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        int c = FromUnicode(DecodeUtf16(text, i));
        out += c < 0 ? '?' : char(c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            out += ToUnicode(static_cast<unsigned char>(text[i++]));
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 | (cp >> 10));
            out += char16_t(0xDC00 | (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = DecodeUtf16(text, i);
        AppendUtf8(out, cp >= 0xD800 && cp <= 0xDFFF ? char32_t(0xFFFD) : cp);
    }
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = DecodeUtf8(text, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

char Cp1252Lower(char c)
{
    unsigned char b = c;
    if (b >= 'A' && b <= 'Z')
        return char(b + 32);
    if ((b >= 0xC0 && b <= 0xDE && b != 0xD7))
        return char(b + 32);
    switch (b) {
    case 0x8A: return char(0x9A);  // Š
    case 0x8C: return char(0x9C);  // Œ
    case 0x8E: return char(0x9E);  // Ž
    case 0x9F: return char(0xFF);  // Ÿ
    default: return c;
    }
}

char Cp1252Upper(char c)
{
    unsigned char b = c;
    if (b >= 'a' && b <= 'z')
        return char(b - 32);
    if ((b >= 0xE0 && b <= 0xFE && b != 0xF7))
        return char(b - 32);
    switch (b) {
    case 0x9A: return char(0x8A);
    case 0x9C: return char(0x8C);
    case 0x9E: return char(0x8E);
    case 0xFF: return char(0x9F);
    default: return c;  // ß keeps its case
    }
}

}  // namespace platform

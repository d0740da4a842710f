// Small text helpers for protocol texts (header names, hosts, charsets):
// ASCII rules only, whatever the locale.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace platform {

inline char AsciiLower(char c)
{
    return char(std::tolower(static_cast<unsigned char>(c)));
}

inline std::string AsciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i]))
            return false;
    return true;
}

// Without blanks and control characters (line ends included) at either end.
inline std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

}  // namespace platform

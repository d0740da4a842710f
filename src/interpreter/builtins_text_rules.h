// The substring and position rules that the text, extraction and date
// built-ins share. Positions are 1-based and count 8-bit characters; they are
// wide integers so that arithmetic on script numbers cannot overflow.
#pragma once

#include <climits>
#include <string_view>

// The part of text from position from with at most count characters. Empty
// when from lies past the end or count is 0 or less; a from of 0 or less
// counts as 1 without shortening count; count is cut back to the end.
inline std::string_view TextPart(std::string_view text, long long from, long long count)
{
    if (count <= 0 || from > static_cast<long long>(text.size()))
        return {};
    if (from < 1)
        from = 1;
    return text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(count));
}

// The part of text from position from to its end.
inline std::string_view TextFrom(std::string_view text, long long from)
{
    return TextPart(text, from, LLONG_MAX);
}

// The 1-based position of the first occurrence of searched in text; 0 when it
// does not occur and for an empty searched text.
inline long long TextPos(std::string_view text, std::string_view searched)
{
    if (searched.empty())
        return 0;
    size_t at = text.find(searched);
    return at == std::string_view::npos ? 0 : static_cast<long long>(at) + 1;
}

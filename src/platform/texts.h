// The program's own texts are written in UTF-8 in the sources; script values
// and messages are Windows-1252. W converts a literal with umlauts.
#pragma once

#include <string>
#include <string_view>

#include "platform/cp1252.h"

inline std::string W(std::string_view utf8)
{
    return platform::Utf8ToCp1252(utf8);
}

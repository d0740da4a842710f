// Text conversion of fetched pages.
#pragma once

#include <string>

// UTF-8 text of a page as a script value (Windows-1252), whatever the page's
// charset.
std::string FromUtf8(const std::string& text);

// Small text tools of the page analysis that work without libxml2.
#pragma once

#include <string>

// The value of attribute `name` (lower case) in a piece of HTML text such as
// `<a href="x.html">text`, or "" when it has none or the name has no "=".
// Quotes are dropped, the value keeps its case; the text's last character is
// never part of the value.
std::string getAttr(const std::string& tag, const std::string& name);

// Text in lower case by the Windows-1252 rules.
std::string LowerCp1252(std::string text);

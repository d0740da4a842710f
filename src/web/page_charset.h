// The charset of a page as a browser reads it, and texts encoded into it for
// a submission.
#pragma once

#include <string>
#include <string_view>

// The encoding a browser reads a page of this charset label in: "utf-8" for
// the UTF-8 labels, "windows-1252" for Latin-1, ASCII and no label (browsers
// take the one for the other), else the label lower-cased, without quotes,
// blanks and anything after a ";".
std::string PageEncoding(std::string_view label);

// UTF-8 text in a page's encoding (PageEncoding's names). A character the
// encoding lacks becomes a numeric character reference, as browsers submit
// it; an encoding libxml2 does not know gives the Windows-1252 bytes.
std::string EncodeForPage(const std::string& utf8, const std::string& encoding);

// Page text from libxml2's UTF-8 into a script value, Windows-1252. A C1
// control comes from a page read as Latin-1 or from a reference such as
// &#128;; browsers take both as the Windows-1252 byte of that value, the
// euro sign at 0x80 among them.
std::string PageTextToScript(std::string_view utf8);
// The same page text in UTF-8, C1 controls replaced as above.
std::string PageTextWithoutC1(std::string_view utf8);

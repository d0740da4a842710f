// Conversion between Windows-1252, the code page of every script value, and
// Unicode (UTF-8 or UTF-16) at the edges of the program.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Every byte maps to one code point; the five bytes that Windows-1252 leaves
// undefined map to the C1 controls of the same value, so the way back is exact.
std::string Cp1252ToUtf8(std::string_view text);
std::u16string Cp1252ToUtf16(std::string_view text);

// Characters without a Windows-1252 form become '?'; malformed UTF-8 bytes are
// taken as Windows-1252 bytes themselves, so nothing is dropped.
std::string Utf8ToCp1252(std::string_view text);
std::string Utf16ToCp1252(std::u16string_view text);

// UTF-8 and UTF-16 of any code point. Malformed UTF-8 bytes are taken as
// Windows-1252 bytes, as above; an unpaired surrogate becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t cp);
// True for UTF-8 without a malformed byte.
bool IsValidUtf8(std::string_view text);

// Lower and upper case by the Windows-1252 rules: umlauts and accented letters
// change case; ß and the signs keep theirs.
char Cp1252Lower(char c);
char Cp1252Upper(char c);

}  // namespace platform

#include "platform/script_text.h"

#include <algorithm>

#include "platform/cp1252.h"

namespace platform {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool HasHighByte(std::string_view bytes)
{
    for (unsigned char c : bytes)
        if (c >= 0x80)
            return true;
    return false;
}

// UTF-16 without a mark: text of mostly Latin letters has a NUL in nearly
// every pair of bytes, which no script in an 8-bit code page has.
bool LooksLikeUtf16(std::string_view bytes)
{
    if (bytes.size() >= 2) {
        std::string_view mark = bytes.substr(0, 2);
        if (mark == "\xFF\xFE" || mark == "\xFE\xFF")
            return true;
    }
    size_t pairs = std::min<size_t>(bytes.size() / 2, 64);
    size_t halfNul = 0;
    for (size_t i = 0; i < pairs; ++i)
        halfNul += (bytes[2 * i] == '\0') != (bytes[2 * i + 1] == '\0');
    return pairs > 0 && halfNul * 2 > pairs;
}

}  // namespace

ScriptEncoding DetectScriptEncoding(std::string_view bytes)
{
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark)
        return ScriptEncoding::Utf8Bom;
    if (LooksLikeUtf16(bytes))
        return ScriptEncoding::Utf16;
    if (HasHighByte(bytes) && IsValidUtf8(bytes))
        return ScriptEncoding::Utf8;
    return ScriptEncoding::Cp1252;
}

std::string_view ScriptBody(std::string_view bytes, ScriptEncoding encoding)
{
    if (encoding == ScriptEncoding::Utf8Bom && bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark)
        bytes.remove_prefix(kUtf8Mark.size());
    return bytes;
}

std::string ScriptToCp1252(std::string_view bytes, ScriptEncoding encoding)
{
    if (encoding == ScriptEncoding::Utf8 || encoding == ScriptEncoding::Utf8Bom)
        return Utf8ToCp1252(ScriptBody(bytes, encoding));
    return std::string(bytes);
}

std::u16string ScriptToUtf16(std::string_view bytes, ScriptEncoding encoding)
{
    if (encoding == ScriptEncoding::Utf8 || encoding == ScriptEncoding::Utf8Bom)
        return Utf8ToUtf16(ScriptBody(bytes, encoding));
    return Cp1252ToUtf16(bytes);
}

std::string Utf16ToScript(std::u16string_view text, ScriptEncoding encoding)
{
    switch (encoding) {
    case ScriptEncoding::Utf8Bom:
        return std::string(kUtf8Mark) + Utf16ToUtf8(text);
    case ScriptEncoding::Utf8:
        return Utf16ToUtf8(text);
    default:
        return Utf16ToCp1252(text);
    }
}

std::string Utf16ScriptMessage(const std::string& path)
{
    return "Die Datei " + path +
           " ist in UTF-16 gespeichert. Skripte werden in UTF-8 oder Windows-1252 gelesen: "
           "bitte die Datei in einer dieser Codierungen speichern.";
}

}  // namespace platform

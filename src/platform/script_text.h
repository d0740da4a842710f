// The encodings a script file may come in. Scripts run in Windows-1252, but
// every Linux editor writes UTF-8: a file that is valid UTF-8 and holds a byte
// above 127 is taken as UTF-8, every other file as Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class ScriptEncoding {
    Cp1252,
    Utf8,
    Utf8Bom,  // UTF-8 that starts with a byte order mark
    Utf16,    // not read: said so to the user
};

ScriptEncoding DetectScriptEncoding(std::string_view bytes);

// The file's text without its byte order mark, as the encoding has it.
std::string_view ScriptBody(std::string_view bytes, ScriptEncoding encoding);

// The file's text in Windows-1252, as the run takes it (not for UTF-16).
std::string ScriptToCp1252(std::string_view bytes, ScriptEncoding encoding);

// The editor's side: the file's text in Unicode, and Unicode text as a file of
// the encoding holds it, the mark included. A UTF-8 file keeps characters
// that Windows-1252 lacks; a Windows-1252 file gets '?' for them.
std::u16string ScriptToUtf16(std::string_view bytes, ScriptEncoding encoding);
std::string Utf16ToScript(std::u16string_view text, ScriptEncoding encoding);

// The message (UTF-8) for a script file in UTF-16.
std::string Utf16ScriptMessage(const std::string& path);

}  // namespace platform

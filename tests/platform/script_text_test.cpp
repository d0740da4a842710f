// The encodings of script files: how each is told and read.
#include <gtest/gtest.h>

#include "platform/script_text.h"

namespace {

using platform::ScriptEncoding;

TEST(ScriptText, EachEncodingIsToldAndReadAsTheRunTakesIt)
{
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string bytes;
        ScriptEncoding encoding;
        std::string cp1252;
    } cases[] = {
        {"plain ASCII", "print(1)\r\n", ScriptEncoding::Cp1252, "print(1)\r\n"},
        {"Windows-1252", "x = \"J\xF6rg \xBB\"", ScriptEncoding::Cp1252, "x = \"J\xF6rg \xBB\""},
        {"Windows-1252 that is also valid UTF-8 is taken as UTF-8", "\xC3\xA4", ScriptEncoding::Utf8, "\xE4"},
        {"UTF-8", "x = \"J\xC3\xB6rg \xC2\xBB \xE2\x82\xAC\"", ScriptEncoding::Utf8, "x = \"J\xF6rg \xBB \x80\""},
        {"UTF-8 with a character Windows-1252 lacks", "\xE2\x86\x92", ScriptEncoding::Utf8, "?"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFprint(\"\xC3\xBC\")", ScriptEncoding::Utf8Bom, "print(\"\xFC\")"},
        {"only the mark", "\xEF\xBB\xBF", ScriptEncoding::Utf8Bom, ""},
        {"a mark in the middle is a character without a Windows-1252 form", "a\xEF\xBB\xBF", ScriptEncoding::Utf8, "a?"},
        {"UTF-16LE with its mark", "\xFF\xFEp\0r\0"s, ScriptEncoding::Utf16, ""},
        {"UTF-16BE with its mark", "\xFE\xFF\0p\0r"s, ScriptEncoding::Utf16, ""},
        {"UTF-16LE without a mark", "p\0r\0i\0n\0t\0(\0001\0)\0"s, ScriptEncoding::Utf16, ""},
        {"one NUL in Windows-1252", "print(1)\0x = 2\r\n"s, ScriptEncoding::Cp1252, "print(1)\0x = 2\r\n"s},
        {"empty", "", ScriptEncoding::Cp1252, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::DetectScriptEncoding(c.bytes), c.encoding) << c.what;
        if (c.encoding != ScriptEncoding::Utf16)
            EXPECT_EQ(platform::ScriptToCp1252(c.bytes, c.encoding), c.cp1252) << c.what;
    }
}

TEST(ScriptText, TheEditorWritesAFileBackAsItWasRead)
{
    const std::string files[] = {
        "x = \"J\xF6rg\xA0\x80\"\r\nprint(x)",                 // Windows-1252, with a no-break space
        "x = \"J\xC3\xB6rg \xE2\x86\x92\"\r\n",               // UTF-8 keeps what Windows-1252 lacks
        "\xEF\xBB\xBFx = \"\xC3\xBC\"",                       // and its mark
    };
    for (const std::string& bytes : files) {
        ScriptEncoding e = platform::DetectScriptEncoding(bytes);
        EXPECT_EQ(platform::Utf16ToScript(platform::ScriptToUtf16(bytes, e), e), bytes);
    }
    // A character typed into a Windows-1252 script is saved as the run gets it.
    EXPECT_EQ(platform::Utf16ToScript(u"\u00FC\u2192", ScriptEncoding::Cp1252), "\xFC?");
}

}  // namespace

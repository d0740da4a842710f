#include <gtest/gtest.h>

#include "platform/cp1252.h"

namespace {

TEST(Cp1252, EveryByteSurvivesTheWayThroughUnicode)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(platform::Utf8ToCp1252(platform::Cp1252ToUtf8(all)), all);
    EXPECT_EQ(platform::Utf16ToCp1252(platform::Cp1252ToUtf16(all)), all);
}

TEST(Cp1252, Conversions)
{
    struct {
        const char* cp;
        const char* utf8;
    } cases[] = {
        {"Gr\xFC\xDF" "e", "Grüße"},
        {"\x80 5", "€ 5"},
        {"\x84zitat\x93", "„zitat“"},
        {"\x8A\x9A\x9F", "ŠšŸ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Cp1252ToUtf8(c.cp), c.utf8);
        EXPECT_EQ(platform::Utf8ToCp1252(c.utf8), c.cp);
    }
    // Characters outside the code page become '?'; broken UTF-8 is kept as bytes.
    EXPECT_EQ(platform::Utf8ToCp1252("a\xE2\x82"), "a\xE2\x82");
    EXPECT_EQ(platform::Utf8ToCp1252("日本"), "??");
    EXPECT_EQ(platform::Utf16ToCp1252(u"\U0001F600x"), "?x");
}

TEST(Cp1252, CaseRules)
{
    std::string upper, lower;
    using platform::Utf8ToCp1252;
    for (char c : Utf8ToCp1252("aäöüzéß") + "\xFF\x9A")
        upper += platform::Cp1252Upper(c);
    EXPECT_EQ(upper, Utf8ToCp1252("AÄÖÜZÉß") + "\x9F\x8A");
    for (char c : Utf8ToCp1252("AÄÖÜZÉ×") + "\x8A")
        lower += platform::Cp1252Lower(c);
    EXPECT_EQ(lower, Utf8ToCp1252("aäöüzé×") + "\x9A");
}

}  // namespace

#include <gtest/gtest.h>

#include "web/entities.h"

namespace {

struct EntityCase {
    const char* text;
    const char* expected;  // Windows-1252
};

class Entities : public ::testing::TestWithParam<EntityCase> {};

TEST_P(Entities, Decode)
{
    EXPECT_EQ(DecodeEntities(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, Entities, ::testing::Values(
    EntityCase{"", ""},
    EntityCase{"&auml;&ouml;&uuml;&Auml;&Ouml;&Uuml;&szlig;", "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"},
    EntityCase{"Gr&ouml;&szlig;e &amp; M&uuml;ller", "Gr\xF6\xDF" "e & M\xFCller"},
    EntityCase{"a&amp;b&amp;c", "a&b&c"},
    // A replacement that forms the entity again is replaced again.
    EntityCase{"&amp;amp;", "&"},
    EntityCase{"x&amp;amp;amp;y", "x&y"},
    // An umlaut entity formed only by the later "&amp;" stays.
    EntityCase{"&amp;auml;", "&auml;"},
    // Case-sensitive, complete entities only, and no others.
    EntityCase{"&AUML;&Amp;", "&AUML;&Amp;"},
    EntityCase{"&auml &amp", "&auml &amp"},
    EntityCase{"&lt;&nbsp;&euro;", "&lt;&nbsp;&euro;"},
    EntityCase{"&&auml;uml;", "&\xE4uml;"}));

TEST(EntitiesLong, ManyEntitiesInOneText)
{
    std::string text, expected;
    for (int i = 0; i < 20000; ++i) {
        text += "&amp;amp;&uuml;";
        expected += "&\xFC";
    }
    EXPECT_EQ(DecodeEntities(text), expected);
}

}  // namespace

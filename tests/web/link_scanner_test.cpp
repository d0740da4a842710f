#include <gtest/gtest.h>

#include "web/html_analysis.h"
#include "web_fixture.h"

namespace {

struct AttrCase {
    const char* tag;
    const char* name;
    const char* expected;
};

class GetAttr : public ::testing::TestWithParam<AttrCase> {};

TEST_P(GetAttr, ReadsTheValue)
{
    const AttrCase& c = GetParam();
    EXPECT_EQ(getAttr(c.tag, c.name), c.expected) << c.tag;
}

INSTANTIATE_TEST_SUITE_P(Cases, GetAttr, ::testing::Values(
    AttrCase{"<a href=\"x.html\">text", "href", "x.html"},
    AttrCase{"<A HREF='Y/Z.html'>text", "href", "Y/Z.html"},
    AttrCase{"<a href = x.html >text", "href", "x.html"},
    AttrCase{"<a href\n==\t\"a b\">", "href", "a b"},
    AttrCase{"<a href=x.html>text", "href", "x.html"},
    AttrCase{"<a title=Gr\xFC\xDF" "e href=y>", "title", "Gr\xFC\xDF" "e"},
    AttrCase{"<a name=top>text", "href", ""},
    // Without "=" nothing is read.
    AttrCase{"<a href>text", "href", ""},
    AttrCase{"<a href x=1>text", "href", ""},
    // A double quote directly followed by a single quote reads to the single one.
    AttrCase{"<a href=\"'q'\">", "href", "q"},
    AttrCase{"<a href=\"'q\" x='r'>", "href", "q\" x="},
    // The text's last character is never part of the value.
    AttrCase{"<a href=abc", "href", "ab"},
    AttrCase{"<a href=\"abc", "href", "ab"},
    AttrCase{"", "href", ""},
    AttrCase{" href=", "href", ""},
    // Only the first " href" counts, even as the start of hreflang, where no
    // "=" follows.
    AttrCase{"<a hreflang=\"de\" href=\"x.html\">", "href", ""},
    AttrCase{"<a hreflang=\"de\">t", "href", ""},
    AttrCase{"<a href=\"x.html\" hreflang=\"de\">", "href", "x.html"}));

class LinkScanner : public ::testing::Test {
protected:
    WebRun w;
    std::string scan(const std::string& text, const std::string& linkText, long n)
    {
        return w.run.linkget(text, linkText, n);
    }
};

const char* const kPage =
    "<p><a href=\"eins.html\">Zwei Wege</a> <A HREF='/Zwei.html' class=x>ZWEITENS</A>\n"
    "</a> <a name=x>zwischen</a><a href=http://o.test/drei.html> \t zweifach </a>"
    "<a href=\"m.html\">M&uuml;ller</a>";

TEST_F(LinkScanner, CountsTheLinksWhoseTextBeginsWithTheSearch)
{
    w.run.setVariable("base", "http://h.test/dir/page.html");
    struct Case {
        const char* linkText;
        long n;
        const char* expected;
    };
    const Case cases[] = {
        {"zwei", 1, "http://h.test/dir/eins.html"},
        {"ZWEI", 2, "http://h.test/Zwei.html"},
        // The anchor without href counts with an empty href.
        {"zw", 3, "http://h.test/dir/page.html"},
        {"zwei", 3, "http://o.test/drei.html"},
        {"zwei", 4, ""},
        {"zwei", 0, ""},
        {"zwei", -1, ""},
        {"", 5, "http://h.test/dir/m.html"},
        {"", 6, ""},
        {"zweifach und mehr", 1, ""},
        // No entities are decoded.
        {"m\xFCller", 1, ""},
        {"m&uuml;", 1, "http://h.test/dir/m.html"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scan(kPage, c.linkText, c.n), c.expected) << c.linkText << " " << c.n;
}

TEST_F(LinkScanner, TextWithoutCompleteLinks)
{
    EXPECT_EQ(scan("", "", 1), "");
    EXPECT_EQ(scan("<a href=x>offen", "", 1), "");
    EXPECT_EQ(scan("</a><a href=x>", "", 1), "");
    EXPECT_EQ(scan("<ab href=x>t</a>", "", 1), "");
}

TEST_F(LinkScanner, DebugListsEveryLink)
{
    w.host.s.debugLevel = 1;
    const std::string longHref(300, 'h');
    scan("<a href=a.html> Erster </a><a href=" + longHref + ">x</a>", "erster", 1);
    EXPECT_EQ(w.host.output(), (std::vector<std::string>{
        "Link: href=a.html", "      text=erster",
        "Link: href=" + std::string(256, 'h'), "      text=x"}));
}

}  // namespace

#include <gtest/gtest.h>

#include "web_fixture.h"

namespace {

struct FieldRow {
    const char* type;
    const char* name;
    const char* value;  // Windows-1252, as the script reads it
    bool checked;
};

void ExpectFields(const Formular& form, const std::vector<FieldRow>& rows)
{
    ASSERT_EQ(form.fields->Count(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const FormVar& f = *form.fields->items[i];
        SCOPED_TRACE("field " + std::to_string(i) + " " + rows[i].name);
        EXPECT_EQ(f.type, rows[i].type);
        EXPECT_EQ(f.name, rows[i].name);
        EXPECT_EQ(f.value, rows[i].value);
        EXPECT_EQ(f.checked, rows[i].checked);
    }
}

std::string Describe(const LinkList& links)
{
    std::string out;
    for (size_t i = 0; i < links.size(); ++i) {
        const Link& l = *links.at(i);
        out += std::to_string(l.number) + " " + std::to_string(l.kind) + " [" + l.href + "] '" + l.text + "'\n";
    }
    return out;
}

TEST(HtmlAnalysis, FormsFieldsAndOptions)
{
    WebRun w;
    ASSERT_TRUE(w.analyseFixture("forms.html"));
    Formulare& forms = *w.run.forms;
    ASSERT_EQ(forms.Count(), 2);
    EXPECT_EQ(w.run.formNo, 1);

    const Formular& order = *forms.Find(0);
    EXPECT_EQ(order.url, "http://example.test/shop/index.html");
    EXPECT_EQ(order.name, "order");
    EXPECT_EQ(order.action, "/cgi/order.php?a=1&b=2");
    EXPECT_EQ(order.method, "post");
    // The input before the first form is not recorded; the one after the
    // form's end joins it.
    ExpectFields(order, {
        {"text", "kunde", "M\xFCller", false},
        {"password", "pw", "", false},
        {"hidden", "sid", "42", false},
        {"", "plain", "no type", false},
        {"CHECKBOX", "caps", "c", false},
        {"checkbox", "c1", "bare", true},
        {"checkbox", "c2", "written", true},
        {"checkbox", "c3", "off", false},
        {"radio", "r", "a", false},
        {"radio", "r", "b", true},
        {"submit", "go", "Senden", false},
        {"image", "pic", "", false},
        {"", "note", "first line\nsecond line", false},
        // Without a selection: the first option's value, or its text.
        {"", "novalue", "erste", false},
        {"", "values", "1", false},
        // With selections: the last selected option, whichever way the
        // attribute is written.
        {"", "chosen", "3", false},
        {"", "mixed", "2", false},
        {"", "textchosen", "b", false},
        {"text", "after", "after the end", false},
    });

    const Optionen& chosen = *order.fields->items[15]->options;
    ASSERT_EQ(chosen.Count(), 3u);
    EXPECT_FALSE(chosen.items.at(0)->selected);
    EXPECT_TRUE(chosen.items.at(1)->selected);
    EXPECT_TRUE(chosen.items.at(2)->selected);
    EXPECT_TRUE(chosen.items.at(2)->hasValue);
    EXPECT_EQ(chosen.items.at(2)->text, "drei");
    const Optionen& novalue = *order.fields->items[13]->options;
    ASSERT_EQ(novalue.Count(), 2u);
    EXPECT_FALSE(novalue.items.at(1)->hasValue);
    EXPECT_EQ(novalue.items.at(1)->text, "zweite");
    EXPECT_EQ(order.fields->items[0]->options->Count(), 0u);

    // A form without action and method is sent to its page by GET.
    const Formular& search = *forms.Find(1);
    EXPECT_EQ(search.action, "http://example.test/shop/index.html");
    EXPECT_EQ(search.method, "GET");
    ExpectFields(search, {{"text", "q", "", false}});
}

TEST(HtmlAnalysis, DumpOfTheAnalysedForm)
{
    WebRun w;
    ASSERT_TRUE(w.analyseFixture("forms.html"));
    w.run.forms->Find(1)->fields->dump(w.run);
    w.run.forms->Find(0)->fields->items.resize(16);
    w.run.forms->Find(0)->fields->dump(w.run);
    const auto out = w.host.output();
    ASSERT_EQ(out.size(), 17u);
    EXPECT_EQ(out[0], "Variable Form 2: q=");
    EXPECT_EQ(out[1], "Variable Form 1: kunde=M\xFCller");
    EXPECT_EQ(out[6], "Variable Form 1: c1=bare");
    EXPECT_EQ(out[8], "Variable Form 1: c3=");
    EXPECT_EQ(out[14], "Variable Form 1: novalue=erste");
    // The listing shows the first selected option.
    EXPECT_EQ(out[16], "Variable Form 1: chosen=2");
}

TEST(HtmlAnalysis, LinksFramesBaseAndRefresh)
{
    WebRun w;
    ASSERT_TRUE(w.analyseFixture("links.html"));
    EXPECT_EQ(Describe(w.run.links),
              "0 3 [Pages/Start.HTML] ''\n"
              "1 1 [one.html] 'Erster fetter Link'\n"
              "2 1 [two.html] 'Zweiter'\n"
              "3 1 [caf\xE9.html] 'Caf\xE9'\n"
              "4 2 [frame.html] ''\n"
              "5 1 [http://other.test/x?a=1&b=2] 'Drei'\n");
    EXPECT_EQ(w.run.variable("base"), "http://example.test/docs/");
    EXPECT_EQ(w.run.forms->Count(), 0);
}

// A page's base element is taken against the page's own address, so a
// relative one still names a place on that site.
TEST(HtmlAnalysis, BaseElementAgainstThePageAddress)
{
    const struct {
        const char* href;
        const char* base;
    } cases[] = {
        {"/", "http://h.test/"},
        {"../oben/", "http://h.test/s_dir/../oben/"},
        {"//cdn.test/x/", "http://cdn.test/x/"},
        {"http://other.test/d/", "http://other.test/d/"},
    };
    for (const auto& c : cases) {
        WebRun w;
        ASSERT_TRUE(w.analyse(std::string("<html><head><base href=\"") + c.href + "\"></head><body></body></html>",
                              "http://h.test/s_dir/s_links.html?next=/a/b"));
        EXPECT_EQ(w.run.variable("base"), c.base) << c.href;
    }
}

TEST(HtmlAnalysis, FramesetAfterARefresh)
{
    WebRun w;
    ASSERT_TRUE(w.analyseFixture("frameset.html"));
    EXPECT_EQ(Describe(w.run.links),
              "0 3 [http://example.test/Next.html] ''\n"
              "1 2 [nav.html] ''\n"
              "2 2 [Top.html] ''\n"
              "3 2 [sub/main.html] ''\n");
}

TEST(HtmlAnalysis, AnotherPageReplacesTheLinks)
{
    WebRun w;
    ASSERT_TRUE(w.analyseFixture("links.html"));
    ASSERT_TRUE(w.analyse("<p><a href=\"only.html\">Nur</a>"));
    EXPECT_EQ(Describe(w.run.links), "0 1 [only.html] 'Nur'\n");

    // No document: nothing changes.
    EXPECT_FALSE(w.analyse(""));
    EXPECT_EQ(w.run.links.size(), 1u);
}

TEST(HtmlAnalysis, LinkTexts)
{
    struct Case {
        const char* html;
        const char* links;
    };
    const Case cases[] = {
        // Nested elements and a no-break space.
        {"<a href=x>Wort&nbsp;<b>fett</b> weiter</a>", "0 1 [x] 'Wort fett weiter'\n"},
        {"<a href=x>&nbsp; <i> a&nbsp;</i>\n</a>", "0 1 [x] 'a'\n"},
        // An anchor without href adds nothing to the link before it.
        {"<a href=x>Eins</a><a name=n>Anker</a>zwei", "0 1 [x] 'Eins'\n"},
        // Attribute values inside the link add nothing; comments do.
        {"<a href=x><img src=i.png alt=Bild>T<!--c--></a>", "0 1 [x] 'Tc'\n"},
        {"<a href=x title=t>T</a><a href=\"\">leer</a>", "0 1 [x] 'T'\n1 1 [] 'leer'\n"},
        // Link addresses and texts become Windows-1252.
        {"<a href=\"\xC3\xBC.html\">Gr\xC3\xBC\xC3\x9F" "e &euro;</a>", "0 1 [\xFC.html] 'Gr\xFC\xDF" "e \x80'\n"},
        {"<iframe src=\"f.html\"></iframe><frame href=g.html>", "0 2 [f.html] ''\n1 2 [g.html] ''\n"},
    };
    for (const Case& c : cases) {
        WebRun w;
        ASSERT_TRUE(w.analyse(c.html));
        EXPECT_EQ(Describe(w.run.links), c.links) << c.html;
    }
}

TEST(HtmlAnalysis, MetaRules)
{
    struct Case {
        bool headerCharset;
        const char* html;
        const char* charset;
        const char* links;
    };
    const Case cases[] = {
        {false, "<meta http-equiv=Content-Type content=\"text/html; Charset=UTF-8\">", "utf-8", ""},
        {true, "<meta http-equiv=Content-Type content=\"text/html; charset=UTF-8\">", "ISO-8859-1", ""},
        {false, "<meta content=\"charset\">", "", ""},
        // The short form of today's pages counts the same way.
        {false, "<meta charset=\"UTF-8\">", "utf-8", ""},
        {true, "<meta charset=\"UTF-8\">", "ISO-8859-1", ""},
        {false, "<meta http-equiv=refresh content=\"0; URL='Next/Page.html'\">", "ISO-8859-1",
         "0 3 [Next/Page.html] ''\n"},
        // Any META element whose content holds url= makes a link.
        {false, "<meta name=x content=\"see url=a.html\"><meta content=\"url=\">", "ISO-8859-1",
         "0 3 [a.html] ''\n1 3 [] ''\n"},
    };
    for (const Case& c : cases) {
        WebRun w;
        w.run.pageCharset = "ISO-8859-1";
        w.run.headerCharset = c.headerCharset;
        ASSERT_TRUE(w.analyse(c.html));
        EXPECT_EQ(w.run.pageCharset, c.charset) << c.html;
        EXPECT_EQ(Describe(w.run.links), c.links) << c.html;
    }

    WebRun w;
    ASSERT_TRUE(w.analyseFixture("charset.html"));
    EXPECT_EQ(w.run.pageCharset, "utf-8");
}

TEST(HtmlAnalysis, FieldsWithoutAFormAreDropped)
{
    WebRun w;
    ASSERT_TRUE(w.analyse("<input name=a value=1><select name=s><option value=1>x</select><textarea name=t>v</textarea>"));
    EXPECT_EQ(w.run.forms->Count(), 0);
    EXPECT_EQ(w.run.formNo, -1);
}

TEST(HtmlAnalysis, AttributesBelongToTheElementRecognisedLast)
{
    WebRun w;
    // The form element's name goes to the form, an input's to its field;
    // the attributes of a later element that is no field change nothing.
    ASSERT_TRUE(w.analyse("<form name=f action=\"a?x=1&amp;amp;y=&amp;uuml;\"><input name=i>"
                          "<div name=d type=t value=v checked></div></form>"));
    const Formular& form = *w.run.forms->Find(0);
    EXPECT_EQ(form.name, "f");
    // libxml2 decodes the attribute once; the action decoder once more.
    EXPECT_EQ(form.action, "a?x=1&y=\xFC");
    ExpectFields(form, {{"", "i", "", false}});
}

TEST(HtmlAnalysis, DeepNestingStaysOffTheStack)
{
    // The second start has a DOCTYPE after content, which the analysis takes
    // over the whole tree.
    for (const char* start : {"<html><body>", "<p>x</p><!DOCTYPE html><body>"}) {
        std::string page = std::string(start) + "<form action=deep.php>";
        const int depth = 100000;
        for (int i = 0; i < depth; ++i)
            page += "<div>";
        page += "<input name=deep value=1><a href=deep.html>tief <b>unten</b></a>";
        for (int i = 0; i < depth; ++i)
            page += "</div>";
        page += "<a href=after.html>danach</a></form></body></html>";

        WebRun w;
        ASSERT_TRUE(w.analyse(page)) << start;
        ASSERT_EQ(w.run.forms->Count(), 1) << start;
        ExpectFields(*w.run.forms->Find(0), {{"", "deep", "1", false}});
        EXPECT_EQ(Describe(w.run.links), "0 1 [deep.html] 'tief unten'\n1 1 [after.html] 'danach'\n") << start;
    }
}

}  // namespace

// The fetch walks a page while libxml2 parses it and frees the tree behind
// itself. Whatever the page, it must find exactly what the walk over the
// whole parsed tree finds.
#include <gtest/gtest.h>

#include <libxml/HTMLparser.h>

#include <random>

#include "web_fixture.h"

namespace {

// Everything the analysis leaves in a run, as one text.
std::string Found(WebAccess& run)
{
    std::string out = "formNo " + std::to_string(run.formNo) + "\n";
    for (const auto& [key, form] : run.forms->items) {
        out += "form " + std::to_string(key) + " #" + std::to_string(form->number) + " [" + form->url + "|" +
               form->name + "|" + form->action + "|" + form->method + "]\n";
        for (const auto& f : form->fields->items) {
            out += "  field [" + f->type + "|" + f->name + "|" + f->value + "] " + (f->checked ? "x" : "-") + "\n";
            for (const auto& [k, o] : f->options->items)
                out += "    option " + std::to_string(k) + (o->selected ? " sel" : "") +
                       (o->hasValue ? " [" + o->value + "]" : " no value") + " '" + o->text + "'\n";
        }
    }
    for (const auto& [key, l] : run.links.items)
        out += "link " + std::to_string(key) + " #" + std::to_string(l->number) + " " + std::to_string(l->kind) +
               " [" + l->href + "] '" + l->text + "'\n";
    out += "base [" + run.variable("base") + "] charset [" + run.pageCharset + "]\n";
    return out;
}

// The walk over the finished tree, as the fetch ran it before.
std::string ByTree(const std::string& page)
{
    WebRun w;
    w.run.setVariable("_url", "http://h.test/a/b.html");
    const int options = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | XML_PARSE_HUGE;
    htmlDocPtr doc = htmlReadMemory(page.data(), int(page.size()), "http://h.test/a/b.html", nullptr, options);
    if (!doc)
        return "no document";
    w.run.links.clear();
    w.run.formNo = -1;
    w.run.resetAnalysis();
    if (doc->children)
        w.run.WalkNode(doc->children, 0, "", "", "");
    xmlFreeDoc(doc);
    return Found(w.run);
}

std::string ByStream(const std::string& page)
{
    WebRun w;
    if (!w.analyse(page, "http://h.test/a/b.html"))
        return "no document";
    return Found(w.run);
}

// Pages where the tree is still changing around the walk: text that grows,
// blanks that libxml2 keeps or drops by the node before them, content after
// the root element, a DOCTYPE behind a comment, tags that never close.
const char* const kPages[] = {
    "",
    " ",
    "<!-- nur ein Kommentar -->",
    "<a href=x>eins</a>",
    "<html><body><a href=\"a.html\">A <b>fett</b>&nbsp;weiter</a> <a href=b>B</a></body></html>",
    "<p><a href=x>Text &amp; mehr &#252;ber <!-- k --> <i>schr&auml;g</i></a> danach</p>",
    "<html><body><p>a</p></body></html>t<p>after</p><a href=spaet>sp\xC3\xA4t</a><!--c-->",
    "<html></html><a href=x>y</a>",
    "<html></html><!--c--><form><input name=a>",
    "<!--c0--><html><body><p>a</p></body></html>\n<p>after</p><!--c--><a href=x>y</a><form><input name=n>",
    "<!-- vorn --><!DOCTYPE form><input name=a><a href=x>y</a>",
    "<!DOCTYPE input><form><input name=a value=1>",
    // A DOCTYPE after content: the tree puts it first.
    "<p>x</p><!DOCTYPE form><form><input name=a><base href=b>",
    "<a href=x>y</a><!DOCTYPE html><a href=z>w</a>",
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><html><body> <a href=x> t </a> </body></html>",
    "<table><tr><td><a href=x>1</a></td> <td> <a href=y>2</a> </td></tr> </table> <b>x</b> <i>y</i>",
    "<div><b> </b> <!-- k --> <span>x</span> <!--a--><!--b--> <a href=z>z</a></div>",
    // Whether a blank is text depends on the node before the comments.
    "<a href=x><dl><b>x</b><!--c--> <dt>y</dt>z<!--d--><!--e--> <dt>w</dl></a>",
    "<a href=x><tr><b>x</b><!--c-->\n<td>y</tr></a>",
    "<select name=s><option>eins<option value=2 selected>zwei<option value=3>drei</select>",
    "<form action=\"/x?a=1&amp;b=2&auml;\" method=post name=f><input type=checkbox name=c checked>"
    "<textarea name=t>lang\ner Text</textarea><select name=s><option selected value=v>w</option></select></form>",
    "<form><input name=a></form><input name=b><form name=zwei><input type=radio name=r value=1 checked=checked>",
    "<meta http-equiv=refresh content=\"0; URL='Ziel.html'\"><frameset><frame src=a><frame src=b></frameset>",
    "<meta content=\"text/html; charset=UTF-8\" http-equiv=Content-Type><base href=\"http://b.test/\"><a href=x>x</a>",
    "<script>var a = '<a href=no>';</script><a href=yes>ja</a><style>p{}</style><iframe src=i></iframe>",
    "<a href=x>offen<a href=y>zweites<p>absatz",
    "<a href=\"x\" <b>kaputt</b></a><a href=y",
    "<body type=t value=v><form action=a><input name=x><body action=b name=c></form>",
    "<?php echo 1; ?><a href=x><?pi daten?>t</a>",
    "<a name=anker>kein Link</a><a href=\"\">leer</a><A HREF=GROSS>Gross</A>",
    "text ohne tags\n\nund zeilen",
    "<p>\xC2\xA0<a href=x>\xC2\xA0 nbsp \xC2\xA0</a></p>",
};

TEST(PageStream, FindsWhatTheWholeTreeHolds)
{
    for (const char* page : kPages)
        EXPECT_EQ(ByStream(page), ByTree(page)) << page;
    for (const char* fixture : {"forms.html", "links.html", "frameset.html", "charset.html"}) {
        const std::string page = WebRun::Fixture(fixture);
        EXPECT_EQ(ByStream(page), ByTree(page)) << fixture;
    }
}

// Tag soup from a fixed seed: pieces that open, close and nest in any
// order, with blanks, comments and text between them.
TEST(PageStream, FindsWhatTheWholeTreeHoldsInTagSoup)
{
    const char* const pieces[] = {
        "<a href=x>", "<a href='y z'>", "</a>", "<b>", "</b>", "<p>", "</p>", " ", "  \n", "\n", "text",
        "&nbsp;", "&amp;", "<!--k-->", "<br>", "<form action=f>", "</form>", "<input name=i value=v>",
        "<input type=checkbox name=c checked>", "<select name=s>", "<option>", "<option value=o selected>",
        "</select>", "<textarea name=t>", "</textarea>", "<frame src=fr>", "<iframe src=if>", "</iframe>",
        "<meta content=\"url=m.html\">", "<base href=bb>", "<table>", "<tr>", "<td>", "</td>", "</table>",
        "<div>", "</div>", "<html>", "</html>", "<body>", "</body>", "<head>", "</head>", "<title>t</title>",
        "<script>x<a href=s>", "</script>", "<ul><li>", "</li>", "<span>", "</span>", "<?pi x?>", "<!DOCTYPE x>", "<!DOCTYPE form>",
        "\xC3\xBC", "<a name=n>", "<img alt=bild src=i.png>", "<i>", "</i>", "<option>o",
    };
    std::mt19937 random(20261211);
    std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int i = 0; i < 3000; ++i) {
        std::string page;
        for (int n = length(random); n > 0; --n)
            page += pieces[piece(random)];
        ASSERT_EQ(ByStream(page), ByTree(page)) << page;
    }
}

}  // namespace

// What the page analysis costs next to libxml2's own parse of the page, and
// how the link scanner grows with its text.

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>

#include <string>
#include <vector>

#include "interpreter/null_host.h"
#include "interpreter/skript.h"

namespace {

struct Run {
    NullHost host;
    std::vector<std::string> lines;
    Skript run{true, host, &lines};
};

// About 2 MB: 10,000 links in paragraphs of text and 100 forms with 20
// fields each (text fields, checkboxes, selections with options).
std::string MakePage(size_t targetBytes, int linkCount, int fieldCount)
{
    std::string page = "<!DOCTYPE html><html><head><title>Seite</title>"
                       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>\n";
    const int forms = fieldCount / 20;
    const size_t perLink = targetBytes / size_t(linkCount);
    const std::string filler = "Ein wenig Text mit <b>fetten</b> und <i>schr\xC3\xA4gen</i> W\xC3\xB6rtern. ";
    int field = 0;
    for (int i = 0; i < linkCount; ++i) {
        const size_t before = page.size();
        page += "<p>";
        page += "<a href=\"/pfad/seite" + std::to_string(i) + ".html?x=1&amp;y=2\">Link&nbsp;<b>" +
                std::to_string(i) + "</b> weiter</a> ";
        while (page.size() - before < perLink - 40)
            page += filler;
        page += "</p>\n";
        if (forms > 0 && i % (linkCount / forms) == 0 && field < fieldCount) {
            page += "<form name=\"f" + std::to_string(i) + "\" action=\"/send.php\" method=\"post\">";
            for (int k = 0; k < 20 && field < fieldCount; ++k, ++field) {
                const std::string name = "feld" + std::to_string(field);
                switch (k % 4) {
                case 0:
                    page += "<input type=\"text\" name=\"" + name + "\" value=\"Wert\">";
                    break;
                case 1:
                    page += "<input type=\"checkbox\" name=\"" + name + "\" value=\"1\" checked>";
                    break;
                case 2:
                    page += "<select name=\"" + name + "\"><option value=\"1\">eins</option>"
                            "<option value=\"2\" selected>zwei</option><option>drei</option></select>";
                    break;
                default:
                    page += "<textarea name=\"" + name + "\">Text</textarea>";
                    break;
                }
            }
            page += "</form>\n";
        }
    }
    page += "</body></html>\n";
    return page;
}

const std::string& Page()
{
    static const std::string page = MakePage(2 << 20, 10000, 2000);
    return page;
}

constexpr int kOptions = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | XML_PARSE_HUGE;

void BM_LibxmlParse(benchmark::State& state)
{
    const std::string& page = Page();
    for (auto _ : state) {
        htmlDocPtr doc = htmlReadMemory(page.data(), int(page.size()), "http://h.test/", nullptr, kOptions);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    state.counters["MB"] = double(page.size()) / double(1 << 20);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_LibxmlParse)->Unit(benchmark::kMillisecond);

// Parse, walk and free, as the fetch runs it.
void BM_AnalysePage(benchmark::State& state)
{
    const std::string& page = Page();
    Run r;
    for (auto _ : state) {
        r.run.forms = std::make_unique<Formulare>();
        bool ok = r.run.analysePage(page, "http://h.test/");
        benchmark::DoNotOptimize(ok);
    }
    state.counters["links"] = double(r.run.links.size());
    state.counters["forms"] = double(r.run.forms->Count());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_AnalysePage)->Unit(benchmark::kMillisecond);

// The walk alone over a parsed page: what the analysis adds to the parse.
void BM_WalkOnly(benchmark::State& state)
{
    const std::string& page = Page();
    htmlDocPtr doc = htmlReadMemory(page.data(), int(page.size()), "http://h.test/", nullptr, kOptions);
    Run r;
    for (auto _ : state) {
        r.run.forms = std::make_unique<Formulare>();
        r.run.links.clear();
        r.run.formNo = -1;
        r.run.resetAnalysis();
        r.run.WalkNode(doc->children, 0, "", "", "");
    }
    size_t fields = 0;
    for (const auto& [key, form] : r.run.forms->items)
        fields += form->fields->Count();
    state.counters["links"] = double(r.run.links.size());
    state.counters["fields"] = double(fields);
    xmlFreeDoc(doc);
}
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond);

// A text of n links of about 210 bytes each (10,000 make 2 MB); the search matches only the
// last one, so the scan runs over the whole text.
void BM_Linkget(benchmark::State& state)
{
    const int links = int(state.range(0));
    std::string text;
    for (int i = 0; i < links; ++i) {
        text += "<p>Vorher etwas Text, der ganz sicher kein Link ist, oder?</p><A HREF=\"/seite" + std::to_string(i) +
                ".html\" class=\"verweis\" title=\"Ein Titel\"><b>Link</b> Nummer " + std::to_string(i) +
                "</a> und danach noch ein paar Worte Text, damit es reicht. </a>\n";
    }
    text += "<a href=\"/ziel.html\">Ziel</a>";
    Run r;
    r.run.vars->SetValue("base", "http://h.test/dir/");
    for (auto _ : state) {
        std::string url = r.run.linkget(text, "ziel", 1);
        benchmark::DoNotOptimize(url);
    }
    state.SetComplexityN(int64_t(text.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["MB"] = double(text.size()) / double(1 << 20);
}
BENCHMARK(BM_Linkget)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();

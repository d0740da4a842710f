// The page analysis on hostile pages: the walk that rides along with the
// parse must find what a walk over the finished tree finds, and neither may
// crash.
#include <cstdint>
#include <cstdlib>
#include <libxml/HTMLparser.h>
#include <string>

#include "web/web_fixture.h"

namespace {

std::string Summary(WebRun& w)
{
    FakeRun& run = w.run;
    std::string out;
    for (size_t i = 0; i < run.links.size(); ++i) {
        const Link& l = *run.links.at(i);
        out += std::to_string(l.number) + " " + std::to_string(l.kind) + " [" + l.href + "] '" + l.text + "'\n";
    }
    for (const auto& [key, form] : run.forms->items) {
        out += "form " + std::to_string(key) + " " + std::to_string(form->number) + " " + form->name + " " +
               form->action + " " + form->method + "\n";
        for (const auto& f : form->fields->items)
            out += "  " + f->type + " " + f->name + "=" + f->value + (f->checked ? " checked" : "") + "\n";
    }
    return out + "base " + run.variable("base") + "\ncharset " + run.pageCharset + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string page(reinterpret_cast<const char*>(data), size);
    const std::string url = "http://fuzz.test/dir/page.html";

    WebRun during;
    const bool parsed = during.analyse(page, url);

    WebRun after;
    after.run.setVariable("_url", url);
    htmlDocPtr doc = htmlReadMemory(page.data(), int(page.size()), url.c_str(), nullptr,
                                    HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (doc && doc->children)
        after.run.WalkNode(doc->children, 0, "", "", "");
    if (doc)
        xmlFreeDoc(doc);
    if (parsed != (doc != nullptr) || (parsed && Summary(during) != Summary(after)))
        std::abort();
    return 0;
}

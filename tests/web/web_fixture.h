// A run object for the web tests: never started, with its output going to a
// test host, and pages read from tests/fixtures/html.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "support/test_host.h"

struct WebRun {
    TestHost host;
    std::vector<std::string> lines;
    Skript run{true, host, &lines};

    WebRun()
    {
        SetOutputHost(&host);
        run.forms = std::make_unique<Formulare>();
    }
    ~WebRun() { SetOutputHost(nullptr); }

    // Analyses a page as the fetch does after the reply, with _url set.
    bool analyse(const std::string& body, const std::string& url = "http://example.test/shop/index.html")
    {
        run.vars->SetValue("_url", url);
        run.forms = std::make_unique<Formulare>();
        return run.analysePage(body, url);
    }
    bool analyseFixture(const std::string& name) { return analyse(Fixture(name)); }

    static std::string Fixture(const std::string& name)
    {
        std::ifstream in(std::string(SKIMLARK_FIXTURES) + "/html/" + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// A run for the web tests: the web access over a fake of what it asks of its
// run (variables in a map, the settings and output lists of a fake host), and
// pages read from tests/fixtures/html.
#pragma once

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "web/web_access.h"

// The settings and the output pane and "Notiz" box of the fake run.
struct FakeHost {
    WebSettings s;
    std::vector<std::string> lines, noteTexts;
    std::vector<std::string> output() const { return lines; }
    std::vector<std::string> notes() const { return noteTexts; }
};

class FakeRun : public WebAccess {
public:
    explicit FakeRun(FakeHost& h) : host(h) {}

    FakeHost& host;
    std::map<std::string, std::string> vars;
    std::atomic<bool> stop{false};
    std::string errMsg;
    int errLine = -1;

    WebSettings& webSettings() override { return host.s; }
    std::string variable(const std::string& name) override { return vars[name]; }
    const std::string* findVariable(const std::string& name) override
    {
        auto it = vars.find(name);
        return it == vars.end() ? nullptr : &it->second;
    }
    void setVariable(const std::string& name, std::string value) override { vars[name] = std::move(value); }
    const std::atomic<bool>& stopFlag() override { return stop; }
    void setError(const std::string& message, int line) override
    {
        if (errLine >= 0)
            return;
        errMsg = message;
        errLine = line;
    }
    void appendOutput(const std::string& line) override { host.lines.push_back(line); }
    void showNote(const std::string& text) override { host.noteTexts.push_back(text); }
};

struct WebRun {
    FakeHost host;
    FakeRun run{host};

    WebRun() { run.forms = std::make_unique<Formulare>(); }

    // Analyses a page as the fetch does after the reply, with _url set.
    bool analyse(const std::string& body, const std::string& url = "http://example.test/shop/index.html")
    {
        run.setVariable("_url", url);
        run.forms = std::make_unique<Formulare>();
        return run.analysePage(body, url);
    }
    bool analyseFixture(const std::string& name) { return analyse(Fixture(name)); }

    static std::string Fixture(const std::string& name)
    {
        return ReadFile(std::string(SKIMLARK_FIXTURES) + "/html/" + name);
    }
};

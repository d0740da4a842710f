// A host that shows nothing and answers every box with OK and every wait at
// once: for runs whose output nobody reads (benchmarks, the fuzzer).
#pragma once

#include "interpreter/host.h"
#include "interpreter/skript.h"

class NullHost : public RunHost {
public:
    RunSettings s;
    RunSettings& settings() override { return s; }
    void appendOutput(const std::string&, bool) override {}
    void showNote(const std::string&) override {}
    int messageBox(const std::string&, const std::string&, int) override { return IDOK; }
    void setEditorReadOnly(bool) override {}
    void selectText(int, int, bool) override {}
    void scrollCaretIntoView() override {}
    void focusEditor() override {}
    void lineStatus(int, int, const std::string&) override {}
    void appendStatus(const std::string&) override {}
    void enableControls(unsigned, bool) override {}
    void postMessage(unsigned, Skript* run, const std::string*) override
    {
        if (run)
            run->wake();
    }
};

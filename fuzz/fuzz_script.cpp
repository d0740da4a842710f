// Runs random scripts through the interpreter twice, through the grammar
// alone and the compiled way, and stops at the first script on which the two
// differ in output, notes, error, error line or final variables. Built-ins
// that reach the outside world (programs, network, files, waits) or give
// other values on each run (clock, random numbers) are left out, and a run
// is stopped after a bounded number of lines so that endless loops end. Each
// input runs on the fuzzer's own thread, without a thread of its own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "interpreter/null_host.h"
#include "interpreter/skript.h"
#include "platform/script_text.h"

namespace {

class FuzzHost : public NullHost {
public:
    Skript* run = nullptr;
    long linesRun = 0;

    FuzzHost()
    {
        s.maxTextSize = 1 << 20;
        s.dataDir = "/tmp";
        s.tempDir = "/tmp/";
    }
    std::vector<std::string> seen;  // output lines and notes, marked
    void lineStatus(int, int, const std::string&) override
    {
        if (++linesRun > 20000 && run)
            run->stop = true;
    }
    void appendOutput(const std::string& line, bool) override { seen.push_back("o " + line); }
    void showNote(const std::string& text) override { seen.push_back("n " + text); }
};

// A run that executes on the calling thread.
class FuzzRun : public Skript {
public:
    using Skript::Skript;
    void RunHere() { Execute(); }
};

// Everything a run left behind, as lines.
std::vector<std::string> RunOneWay(const std::vector<std::string>& script, Skript::LinePath path)
{
    std::vector<std::string> lines = script;
    FuzzHost host;
    std::vector<std::string> trace;
    {
        FuzzRun run(true, host, &lines);
        run.linePath = path;
        host.run = &run;
        run.RunHere();
        trace = std::move(host.seen);
        trace.push_back("e " + std::to_string(run.errLine) + " " + run.errMsg);
        for (size_t i = 0; i < run.vars->Count(); ++i) {
            NamedVariable v = run.vars->At(i);
            trace.push_back("v " + v.name + "=" + v.value);
        }
    }
    return trace;
}

const char* const kOutside[] = {
    "shellexec", "sleep", "htget", "htpost", "ftp", "dial", "disconnect", "connected", "submit",
    "follow", "log", "open", "write", "read", "close", "browse", "input", "checkversion", "alert",
    "random", "time", "date", "today",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    // Read as skimlark-run reads a script file: UTF-8 is converted first.
    const platform::ScriptEncoding encoding = platform::DetectScriptEncoding(text);
    if (encoding == platform::ScriptEncoding::Utf16)
        return 0;
    text = platform::ScriptToCp1252(text, encoding);
    for (const char* word : kOutside)
        if (text.find(word) != std::string::npos)
            return 0;
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    const std::vector<std::string> grammar = RunOneWay(lines, Skript::LinePath::kGrammar);
    const std::vector<std::string> compiled = RunOneWay(lines, Skript::LinePath::kCompiled);
    if (grammar != compiled) {
        for (size_t i = 0; i < grammar.size() || i < compiled.size(); ++i) {
            const char* g = i < grammar.size() ? grammar[i].c_str() : "(none)";
            const char* u = i < compiled.size() ? compiled[i].c_str() : "(none)";
            if (std::strcmp(g, u) != 0) {
                std::fprintf(stderr, "the two ways differ at trace line %zu:\n grammar: %s\n compiled: %s\n", i, g, u);
                break;
            }
        }
        std::abort();
    }
    return 0;
}

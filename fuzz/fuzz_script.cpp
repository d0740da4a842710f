// Runs random scripts through the interpreter. Built-ins that reach the
// outside world (programs, network, files, waits) are left out, and a run is
// stopped after a bounded number of lines so that endless loops end. Each
// input runs on the fuzzer's own thread, without a thread of its own.
#include <cstdint>
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
    void lineStatus(int, int, const std::string&) override
    {
        if (++linesRun > 20000 && run)
            run->stop = true;
    }
};

// A run that executes on the calling thread.
class FuzzRun : public Skript {
public:
    using Skript::Skript;
    void RunHere() { Execute(); }
};

const char* const kOutside[] = {
    "shellexec", "sleep", "htget", "htpost", "ftp", "dial", "disconnect", "connected", "submit",
    "follow", "log", "open", "write", "read", "close", "browse", "input", "checkversion", "alert",
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
    FuzzHost host;
    {
        FuzzRun run(true, host, &lines);
        host.run = &run;
        run.RunHere();
    }
    return 0;
}

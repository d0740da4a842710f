// The trace on hostile traffic: each segment of the input is a chunk sent or
// received (its first byte decides, a connection opened or closed too), as
// the client hands them over. The file trace writes each chunk as one line
// and the header printer prints only its own lines: neither may split or
// lose a line, whatever bytes the chunk holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "socket_feed.h"
#include "web/trace.h"
#include "web/web_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> chunks = Segments(std::string_view(reinterpret_cast<const char*>(data), size));

    const std::string path = FuzzFolder() + "/skimlark.trc";
    std::remove(path.c_str());
    TraceLog file;
    file.fileName = path;
    std::string why;
    if (!file.Open(why))
        return 0;

    WebRun w;
    FakeRun& run = w.run;
    TraceLog print;
    (void)print.Open(why);
    print.onReceive = [&run](std::string_view c) { run.traceReceive(c); };
    print.onSend = [&run](std::string_view c) { run.traceSend(c); };

    size_t lines = 0;
    for (const std::string& c : chunks) {
        const unsigned kind = c.empty() ? 0 : static_cast<unsigned char>(c[0]) % 4;
        const std::string_view body = c.empty() ? std::string_view() : std::string_view(c).substr(1);
        for (HttpIntercept* t : {static_cast<HttpIntercept*>(&file), static_cast<HttpIntercept*>(&print)}) {
            switch (kind) {
            case 0: t->Sent(body); break;
            case 1: t->Received(body); break;
            case 2: t->Connected(); break;
            default: t->Disconnected(); break;
            }
        }
        ++lines;
    }
    file.Close();

    // One line per chunk and connection event, each ended by CR LF alone.
    std::string written;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            written.append(buf, n);
        std::fclose(f);
    }
    size_t ends = 0;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\n' && (i == 0 || written[i - 1] != '\r'))
            std::abort();
        if (written[i] == '\r' && (i + 1 >= written.size() || written[i + 1] != '\n'))
            std::abort();
        ends += written[i] == '\n';
    }
    if (ends != lines)
        std::abort();
    // The printer's lines hold no line break of their own.
    for (const std::string& line : run.host.lines)
        if (line.find_first_of("\r\n") != std::string::npos)
            std::abort();
    return 0;
}

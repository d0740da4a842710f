// Form submission on hostile pages and values: the first segment of the
// input is a page, each later one a "name=value" that formset gives the
// page's first form (a value without "=" names a field to delete). The form
// then goes out with a button chosen by the first byte, and the request the
// server receives must be well formed: one request line with nothing in its
// target that a server would split or cut.
#include <cstdint>
#include <cstdlib>
#include <libxml/parser.h>
#include <string>

#include "socket_feed.h"
#include "platform/http_client.h"
#include "web/system_store.h"
#include "web/web_fixture.h"

namespace {

bool WellFormed(const std::string& request)
{
    size_t end = request.find("\r\n");
    if (end == std::string::npos)
        return request.empty();  // nothing went out (an invalid URL)
    const std::string line = request.substr(0, end);
    size_t first = line.find(' '), last = line.rfind(' ');
    if (first == std::string::npos || first == last)
        return false;
    for (size_t i = first + 1; i < last; ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c <= ' ' || c >= 0x7f || c == '#')
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int button = data[0] % 4;
    const std::vector<std::string> parts =
        Segments(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    WebRun w;
    FakeRun& run = w.run;
    if (!w.analyse(parts[0], "http://fuzz.test/amt/formular.html?schritt=2"))
        return 0;
    Formular* form = run.forms->Find(0);
    if (!form)
        return 0;
    for (size_t i = 1; i < parts.size(); ++i) {
        size_t eq = parts[i].find('=');
        if (eq == std::string::npos)
            form->fields->del(parts[i]);
        else
            form->fields->set(parts[i].substr(0, eq), parts[i].substr(eq + 1), &run);
    }

    SocketFeed& feed = SocketFeed::Instance();
    feed.Begin("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    run.host.s.httpTimeout = 2;
    run.http->loopbackPort = feed.Port();
    (void)run.submit(*form, "", button, 1);
    run.http.reset();
    const std::string sent = feed.End();
    SystemStore::Instance().Clear();
    if (!WellFormed(sent))
        std::abort();
    return 0;
}

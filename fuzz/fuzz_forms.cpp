// Form submission on hostile pages and values: the first segment of the
// input is a page, each later one a "name=value" that formset gives the
// page's first form (a value without "=" names a field to delete). The form
// then goes out with a button chosen by the first byte, and the request the
// server receives must be well formed: nothing in its target that a server
// would split or cut, and the form's data escaped as a browser sends it.
#include <cstdint>
#include <cstdlib>
#include <libxml/parser.h>
#include <string>

#include "socket_feed.h"
#include "platform/http_client.h"
#include "web/system_store.h"
#include "web/web_fixture.h"

namespace {

// A target holds no blank or control character; form data no byte above
// 127 and no "#" (names are otherwise sent as the page has them).
bool Clean(const std::string& text, bool formData)
{
    for (unsigned char c : text)
        if (formData ? (c >= 0x80 || c == '#') : (c <= ' ' || c == 0x7f))
            return false;
    return true;
}

// One request line whose target a server takes whole, and a POST body with
// every byte above 127 and every "#" escaped. (A GET query follows whatever
// query the page's action held, so only the target's form is checked.)
bool WellFormed(const std::string& request, bool post)
{
    size_t end = request.find("\r\n");
    if (end == std::string::npos)
        return request.empty();  // nothing went out (an invalid URL)
    const std::string line = request.substr(0, end);
    size_t first = line.find(' '), last = line.rfind(' ');
    if (first == std::string::npos || first == last)
        return false;
    if (!Clean(line.substr(first + 1, last - first - 1), false))
        return false;
    size_t body = request.find("\r\n\r\n");
    return !post || body == std::string::npos || Clean(request.substr(body + 4), true);
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
    if (!WellFormed(sent, sent.compare(0, 5, "POST ") == 0))
        std::abort();
    return 0;
}

// The page request on hostile replies: fuzzed bytes stand for what servers
// answer (status lines, headers, redirects, cookies, chunked bodies, charsets)
// and go through the HTTP client, the redirect loop, the cookie jar, both
// kinds of trace and the page analysis. The first byte picks the request:
//   bit 0 POST, bits 1-2 trace "1"/"2", bit 3 cookies on, bit 4 debug output,
//   bit 5 body into a file, bit 6 https.
// A second request follows while segments are left, so cookies go back.
#include <cstdint>
#include <cstdio>
#include <libxml/parser.h>
#include <string>

#include "socket_feed.h"
#include "platform/http_client.h"
#include "web/system_store.h"
#include "web/web_fixture.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const unsigned flags = data[0];
    SocketFeed& feed = SocketFeed::Instance();
    feed.Begin(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    WebRun w;
    FakeRun& run = w.run;
    run.host.s.dataDir = FuzzFolder();
    run.host.s.httpTimeout = 2;
    run.host.s.maxRedirects = 5;
    run.host.s.debugLevel = (flags & 16) ? 1 : 0;
    const char* trace[] = {"0", "1", "2", "0"};
    run.setVariable("trace", trace[(flags >> 1) & 3]);
    run.setVariable("cookies", (flags & 8) ? "1" : "0");
    run.http->loopbackPort = feed.Port();

    const std::string scheme = (flags & 64) ? "https" : "http";
    const std::string file = (flags & 32) ? FuzzFolder() + "/body" : "";
    (void)run.get(scheme + "://fuzz.test/dir/page.html?q=1", flags & 1, "name=Gr%FC%DFe&x=1", file, 1);
    if (feed.Left())
        (void)run.get(scheme + "://sub.fuzz.test/other/", false, "", "", 2);
    run.http.reset();  // closes its connection before the feed's side goes
    (void)feed.End();
    SystemStore::Instance().Clear();
    std::remove((FuzzFolder() + "/skimlark.trc").c_str());
    return 0;
}

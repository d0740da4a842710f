// Set-Cookie headers from a hostile server into a run's store and the shared
// store: no crash, and both keep to their bounds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "web/cookies.h"
#include "web/system_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CookieStore store;
    SystemStore& shared = SystemStore::Instance();
    shared.Clear();
    // Each line is one header; a line starting with "@" names the URL of the
    // ones after it.
    std::string url = "http://www.fuzz.test/dir/page.html";
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line[0] == '@') {
            url = line.substr(1);
            continue;
        }
        store.SetCookie(url, line);
        (void)store.CookieHeader(url);
        shared.SetCookie(url, "", line);
    }
    store.FixPaths();
    for (const Cookie& c : store.Items())
        (void)store.CookieHeader("https://" + c.domain + c.path);
    if (store.Count() > CookieStore::kMaxTotal)
        std::abort();
    for (const Cookie& c : store.Items())
        if (c.name.size() + c.value.size() > CookieStore::kMaxCookieSize)
            std::abort();
    store.CopyChanges(shared);
    if (shared.Cookies().size() > SystemStore::kMaxCookies)
        std::abort();
    for (const Cookie& c : shared.Cookies()) {
        SystemStore::Entry e;
        if (!shared.Find("Cookie:" + c.domain + c.path, e) || e.cookies.size() > SystemStore::kMaxPerDomain)
            std::abort();
    }
    return 0;
}

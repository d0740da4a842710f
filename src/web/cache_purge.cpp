// The purge of the system cache's entries of a site, once per run and domain.
#include <string_view>

#include "web/web_access.h"
#include "platform/ascii_text.h"
#include "web/system_store.h"
#include "web/url_parts.h"

namespace {

// The host of a cache entry's source URL, lower case and without a port:
// "Cookie:" + host + path, or "Visited:" + the page's URL.
std::string EntryHost(std::string_view source)
{
    size_t colon = source.find(':');
    return SplitUrl(colon == std::string_view::npos ? source : source.substr(colon + 1)).host;
}

}  // namespace

void WebAccess::ClrCache(const std::string& url)
{
    std::string domain = HostDomain(UrlHostName(url));
    if (cache.count(domain))
        return;
    ClrCookie("cookie:", domain);
    ClrCookie("visited:", domain);
    cache.insert(domain);
}

// Deletes the entries of the pattern that belong to the domain: hosts equal
// to it or below it. (A plain substring test of domain + "/" would also hit
// other sites whose names end in the same letters.) A pattern without
// entries is no error and needs no note.
void WebAccess::ClrCookie(const std::string& pattern, const std::string& domain)
{
    std::string want = platform::AsciiLower(domain.substr(0, domain.find(':')));
    if (want.empty())
        return;
    SystemStore& store = SystemStore::Instance();
    for (const std::string& source : store.Enumerate(pattern)) {
        std::string host = EntryHost(source);
        bool below = host.size() > want.size() && host.compare(host.size() - want.size(), want.size(), want) == 0 &&
                     host[host.size() - want.size() - 1] == '.';
        if (host == want || below)
            store.Delete(source);
    }
}

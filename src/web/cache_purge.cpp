// The purge of the system cache's entries of a site, once per run and domain.
#include "web/web_access.h"
#include "platform/ascii_text.h"
#include "web/cookies.h"
#include "web/system_store.h"
#include "web/url_parts.h"

namespace {

// The domain as the cache's hosts are written: lower case, without a port.
std::string PurgedHost(const std::string& domain)
{
    return platform::AsciiLower(domain.substr(0, domain.find(':')));
}

}  // namespace

void WebAccess::ClrCache(const std::string& url)
{
    std::string domain = HostDomain(UrlHostName(url));
    if (cache.count(domain))
        return;
    // Cookies of the run that the purge took from the shared store go there
    // again with the next copy, as they would had nothing been taken.
    if (ClrCookie("cookie:", domain) != 0)
        cookieManager->Recopy(PurgedHost(domain));
    ClrCookie("visited:", domain);
    cache.insert(domain);
}

// Deletes the entries of the pattern that belong to the domain: hosts equal
// to it or below it. (A plain substring test of domain + "/" would also hit
// other sites whose names end in the same letters.) A pattern without
// entries is no error and needs no note. The count deleted.
size_t WebAccess::ClrCookie(const std::string& pattern, const std::string& domain)
{
    const std::string host = PurgedHost(domain);
    return host.empty() ? 0 : SystemStore::Instance().DeleteDomain(pattern, host);
}

// URL resolution and the URL parts on hostile addresses: no crash, and what
// comes back keeps to the forms the callers rely on.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ascii_text.h"
#include "web/url_parts.h"
#include "web/web_access.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The input is a base and an href, split at the first line break.
    const size_t cut = text.find('\n');
    const std::string base = text.substr(0, cut);
    const std::string href = cut == std::string::npos ? std::string() : text.substr(cut + 1);

    const std::string resolved = WebAccess::resolveUrl(base, href);
    (void)WebAccess::resolveUrl(href, base);
    for (const std::string& url : {base, href, resolved}) {
        UrlParts p = SplitUrl(url);
        // Hosts are compared as they come back: lower case, without a port.
        if (p.host != platform::AsciiLower(p.host))
            std::abort();
        std::string host = UrlHostName(url);
        (void)HostDomain(host);
        (void)HostTld(host);
    }
    return 0;
}

#include "web/web_access.h"

namespace {

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

// Positions below are 0-based; the rule for an absolute href counts the
// colon from 1, as people read it: "mailto:" has its colon at 7.
std::string WebAccess::resolveUrl(const std::string& base, const std::string& href)
{
    // Split the base into scheme (with its colon), host (with its port) and
    // directory (after the host's "/", up to and including the last "/").
    const size_t colon = base.find(':');
    const size_t schemeLen = colon == std::string::npos ? 0 : colon + 1;
    const std::string scheme = base.substr(0, schemeLen);
    const std::string rest = schemeLen + 2 < base.size() ? base.substr(schemeLen + 2) : std::string();
    // The directory runs to the last "/" after the host, wherever it stands:
    // a "/" in the query counts too (scripts rely on that), so
    // p.php?next=/a/b gives the directory "p.php?next=/a/".
    std::string host, directory;
    const size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        host = rest.substr(0, slash);
        const size_t last = rest.rfind('/');
        if (last > slash)
            directory = rest.substr(slash + 1, last - slash);
    } else {
        host = rest;
    }

    const size_t a = href.find(':');
    const size_t d = href.find("//");
    const bool absolute = a != std::string::npos && a + 1 <= 9 && (d == std::string::npos || a < d);
    if (absolute)
        return href;
    if (StartsWith(href, "//"))
        return scheme + href;
    if (StartsWith(href, "/"))
        return scheme + "//" + host + href;
    if (href.empty())
        return base;
    if (!host.empty())
        return scheme + "//" + host + "/" + directory + href;
    return scheme + "//" + directory + href;
}

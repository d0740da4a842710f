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
    // directory (after the host's "/", up to and including the last "/" of
    // the path: a "/" in the query or fragment is no directory).
    const size_t colon = base.find(':');
    const size_t schemeLen = colon == std::string::npos ? 0 : colon + 1;
    const std::string scheme = base.substr(0, schemeLen);
    const size_t restAt = schemeLen + 2;
    const std::string rest = restAt < base.size() ? base.substr(restAt) : std::string();
    const std::string path = rest.substr(0, rest.find_first_of("?#"));
    std::string host, directory;
    const size_t slash = path.find('/');
    if (slash != std::string::npos) {
        host = path.substr(0, slash);
        const size_t last = path.rfind('/');
        if (last > slash)
            directory = path.substr(slash + 1, last - slash);
    } else {
        host = path;
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
    // A query alone keeps the base's path; a fragment alone is the base
    // itself.
    if (href[0] == '?' || href[0] == '#') {
        const size_t from = restAt < base.size() ? restAt : base.size();
        return base.substr(0, base.find_first_of(href[0] == '?' ? "?#" : "#", from)) + href;
    }
    if (!host.empty())
        return scheme + "//" + host + "/" + directory + href;
    return scheme + "//" + directory + href;
}

#include "interpreter/skript.h"

namespace {

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

// Positions below are 0-based; the rule for an absolute href counts the
// colon from 1, as people read it: "mailto:" has its colon at 7.
std::string Skript::resolveUrl(const std::string& base, const std::string& href)
{
    // Split the base into scheme (with its colon), host (with its port) and
    // directory (after the host's "/", up to and including the last "/").
    const size_t colon = base.find(':');
    const size_t schemeLen = colon == std::string::npos ? 0 : colon + 1;
    const std::string scheme = base.substr(0, schemeLen);
    const std::string rest = schemeLen + 2 < base.size() ? base.substr(schemeLen + 2) : std::string();
    // A "/" in the query or the fragment separates no directories: a base
    // such as p.php?next=/a/b keeps the directory of p.php.
    const std::string_view path = std::string_view(rest).substr(0, rest.find_first_of("?#"));
    std::string host, directory;
    const size_t slash = path.find('/');
    if (slash != std::string_view::npos) {
        host = std::string(path.substr(0, slash));
        const size_t last = path.rfind('/');
        if (last > slash)
            directory = std::string(path.substr(slash + 1, last - slash));
    } else {
        host = std::string(path);
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

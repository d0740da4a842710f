#include "web/url_parts.h"

#include <algorithm>

#include "platform/ascii_text.h"

bool HostAtOrBelow(std::string_view host, std::string_view domain)
{
    if (host == domain)
        return true;
    return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == '.';
}

UrlParts SplitUrl(std::string_view rest)
{
    UrlParts p;
    size_t scheme = rest.find("://");
    if (scheme != std::string_view::npos) {
        p.scheme = platform::AsciiLower(rest.substr(0, scheme));
        rest.remove_prefix(scheme + 3);
    }
    size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        authority = authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1);
    } else {
        authority = authority.substr(0, authority.find(':'));
    }
    p.host = platform::AsciiLower(authority);
    if (!rest.empty() && rest.front() == '/')
        p.path = std::string(rest.substr(0, rest.find_first_of("?#")));
    return p;
}

std::string UrlHostName(const std::string& url)
{
    // Without "//" the first character is dropped, as the fetch does it.
    size_t slashes = url.find("//");
    std::string_view rest = std::string_view(url).substr(slashes == std::string::npos ? std::min<size_t>(1, url.size()) : slashes + 2);
    // A port ends the name only where a "/" follows it.
    size_t cut = rest.find('/');
    size_t colon = rest.find(':');
    if (cut != std::string_view::npos && colon < cut)
        cut = colon;
    return std::string(rest.substr(0, cut));
}

std::string HostTld(const std::string& hostname)
{
    size_t dot = hostname.rfind('.');
    return dot == std::string::npos ? hostname : hostname.substr(dot + 1);
}

std::string HostDomain(const std::string& hostname)
{
    size_t last = hostname.rfind('.');
    if (last == std::string::npos || last == 0)
        return hostname;
    size_t second = hostname.rfind('.', last - 1);
    return second == std::string::npos ? hostname : hostname.substr(second + 1);
}

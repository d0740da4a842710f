#include "web/url_parts.h"

#include "platform/ascii_text.h"

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

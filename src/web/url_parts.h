// The pieces of a URL that cookies and the system store go by.
#pragma once

#include <string>
#include <string_view>

struct UrlParts {
    std::string scheme;  // lower case, "" when the URL names none
    std::string host;    // lower case, without user and port ("[...]" kept for IPv6)
    std::string path;    // from the first "/" after the host, without query and fragment; "" for none
};

// Also takes a URL without a scheme ("host/path").
UrlParts SplitUrl(std::string_view url);

// Whether a host is the domain itself or a name below it ("www.example.de"
// under "example.de", not "badexample.de").
bool HostAtOrBelow(std::string_view host, std::string_view domain);

// The host name of a URL: what follows "//" (or, without "//", the URL from
// its second character on) up to the first "/", or up to a ":" before it.
std::string UrlHostName(const std::string& url);
// The last label of a host name, and the last two labels; with fewer dots
// the whole name.
std::string HostTld(const std::string& hostname);
std::string HostDomain(const std::string& hostname);

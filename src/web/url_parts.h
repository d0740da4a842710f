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

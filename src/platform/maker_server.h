// The maker's web servers (download, forum, contact and probe pages): one
// base URL for all of them, from SKIMLARK_SERVER, else a compiled default.
#pragma once

#include <string>

#include "platform/http_client.h"

namespace platform {

// The base URL without a trailing "/".
std::string MakerServer();
// The base URL followed by path (which begins with "/").
std::string MakerUrl(const std::string& path);
// The host part of the base URL, for showing the address ("www.skimlark.example").
std::string MakerHost();

// The absolute URL that a Location header names, relative to base.
std::string ResolveLocation(const std::string& base, const std::string& location);

// A GET that follows redirects itself, at most maxRedirects of them; the
// reply is the last one's. The body goes where request says.
[[nodiscard]] HttpReply FetchFollowingRedirects(HttpClient& client, HttpRequest request, int maxRedirects = 10);

}  // namespace platform

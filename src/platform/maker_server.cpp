#include "platform/maker_server.h"

#include <cstdlib>

namespace platform {

namespace {

constexpr const char* kDefaultServer = "http://www.skimlark.example";

// "scheme://host[:port]" of a URL, "" when it has none.
std::string Origin(const std::string& url)
{
    size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return "";
    size_t end = url.find_first_of("/?#", scheme + 3);
    return end == std::string::npos ? url : url.substr(0, end);
}

}  // namespace

std::string MakerServer()
{
    const char* env = std::getenv("SKIMLARK_SERVER");
    std::string base = env && *env ? env : kDefaultServer;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

std::string MakerUrl(const std::string& path)
{
    return MakerServer() + path;
}

std::string MakerHost()
{
    std::string origin = Origin(MakerServer());
    size_t scheme = origin.find("://");
    return scheme == std::string::npos ? MakerServer() : origin.substr(scheme + 3);
}

std::string ResolveLocation(const std::string& base, const std::string& location)
{
    if (location.find("://") != std::string::npos)
        return location;
    if (location.rfind("//", 0) == 0) {
        size_t scheme = base.find("://");
        return (scheme == std::string::npos ? std::string("http") : base.substr(0, scheme)) + ":" + location;
    }
    if (!location.empty() && location[0] == '/')
        return Origin(base) + location;
    std::string dir = base.substr(0, base.find_first_of("?#"));
    size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > dir.find("://") + 2)
        dir.resize(slash + 1);
    else
        dir += '/';
    return dir + location;
}

HttpReply FetchFollowingRedirects(HttpClient& client, HttpRequest request, int maxRedirects)
{
    std::FILE* file = request.bodyFile;
    std::string* buffer = request.bodyBuffer;
    for (int hop = 0;; ++hop) {
        HttpReply reply = client.Perform(request);
        if (reply.ok || reply.location.empty() || reply.code < 300 || reply.code >= 400 || hop >= maxRedirects)
            return reply;
        request.url = ResolveLocation(request.url, reply.location);
        // Whatever a redirect reply carried is no part of the body.
        if (file) {
            std::fflush(file);
            std::rewind(file);
        }
        if (buffer)
            buffer->clear();
    }
}

}  // namespace platform

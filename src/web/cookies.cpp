#include "web/cookies.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <curl/curl.h>

#include "platform/ascii_text.h"
#include "web/url_parts.h"

namespace {

using platform::AsciiLower;
using platform::TrimBlanks;

// Host and path of a request as the cookie rules read them.
UrlParts CookieUrl(const std::string& url)
{
    UrlParts p = SplitUrl(url);
    if (p.path.empty())
        p.path = "/";
    return p;
}

bool IsAddress(const std::string& host)
{
    if (!host.empty() && host.front() == '[')
        return true;
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}

bool DomainMatches(const Cookie& c, const std::string& host)
{
    if (host == c.domain)
        return true;
    if (c.hostOnly || host.size() <= c.domain.size())
        return false;
    return host.compare(host.size() - c.domain.size(), c.domain.size(), c.domain) == 0 &&
           host[host.size() - c.domain.size() - 1] == '.';
}

bool PathMatches(const std::string& cookiePath, const std::string& path)
{
    if (cookiePath.empty() || cookiePath == "/")
        return true;
    if (path.compare(0, cookiePath.size(), cookiePath) != 0)
        return false;
    return path.size() == cookiePath.size() || cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

// A path that the server did not name and the root path are one path.
bool SamePath(const std::string& a, const std::string& b)
{
    auto norm = [](const std::string& p) -> const std::string& {
        static const std::string root = "/";
        return p.empty() ? root : p;
    };
    return norm(a) == norm(b);
}

bool HasControl(std::string_view s)
{
    return std::any_of(s.begin(), s.end(), [](char ch) {
        unsigned char u = static_cast<unsigned char>(ch);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

}  // namespace

void CookieStore::FixPaths()
{
    for (Cookie& c : items_)
        if (c.path.empty())
            c.path = "/";
}

void CookieStore::DropExpired(std::time_t now)
{
    std::erase_if(items_, [now](const Cookie& c) { return c.expires != 0 && c.expires <= now; });
}

std::string CookieStore::CookieHeader(const std::string& url)
{
    std::time_t now = std::time(nullptr);
    DropExpired(now);
    UrlParts u = CookieUrl(url);
    std::vector<const Cookie*> send;
    for (const Cookie& c : items_)
        if (DomainMatches(c, u.host) && PathMatches(c.path, u.path) && (!c.secure || u.scheme == "https"))
            send.push_back(&c);
    // The longer path first; otherwise in the order they were set.
    std::stable_sort(send.begin(), send.end(),
                     [](const Cookie* a, const Cookie* b) { return a->path.size() > b->path.size(); });
    std::string header;
    for (const Cookie* c : send) {
        if (!header.empty())
            header += "; ";
        header += c->name + "=" + c->value;
    }
    return header;
}

void CookieStore::SetCookie(const std::string& url, const std::string& header)
{
    if (header.size() > kMaxCookieSize || HasControl(header))
        return;
    std::string_view rest(header);
    size_t semi = rest.find(';');
    std::string_view pair = rest.substr(0, semi);
    rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos)
        return;
    Cookie c;
    c.name = std::string(TrimBlanks(pair.substr(0, eq)));
    c.value = std::string(TrimBlanks(pair.substr(eq + 1)));
    if (c.name.empty())
        return;

    UrlParts u = CookieUrl(url);
    if (u.host.empty())
        return;
    c.domain = u.host;
    std::time_t now = std::time(nullptr);
    bool haveMaxAge = false;
    bool expired = false;
    while (!rest.empty()) {
        semi = rest.find(';');
        std::string_view attr = TrimBlanks(rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        eq = attr.find('=');
        std::string key = AsciiLower(TrimBlanks(attr.substr(0, eq)));
        std::string val = eq == std::string_view::npos ? std::string() : std::string(TrimBlanks(attr.substr(eq + 1)));
        if (key == "domain") {
            std::string d = AsciiLower(val);
            if (!d.empty() && d.front() == '.')
                d.erase(0, 1);
            if (d.empty())
                continue;
            // A site sets cookies only for itself and the domains above it,
            // never for a bare top-level name or another site.
            bool ok = d == u.host ||
                      (!IsAddress(u.host) && d.find('.') != std::string::npos && u.host.size() > d.size() &&
                       u.host.compare(u.host.size() - d.size(), d.size(), d) == 0 &&
                       u.host[u.host.size() - d.size() - 1] == '.');
            if (!ok)
                return;
            c.domain = d;
            c.hostOnly = false;
        } else if (key == "path") {
            c.path = !val.empty() && val.front() == '/' ? val : std::string();
        } else if (key == "secure") {
            c.secure = true;
        } else if (key == "max-age") {
            char* end = nullptr;
            long long secs = std::strtoll(val.c_str(), &end, 10);
            if (val.empty() || *end != '\0')
                continue;
            haveMaxAge = true;
            expired = secs <= 0;
            c.expires = expired ? 0 : now + std::time_t(std::min<long long>(secs, 400LL * 86400));
        } else if (key == "expires" && !haveMaxAge) {
            std::time_t t = curl_getdate(val.c_str(), nullptr);
            if (t == -1)
                continue;
            expired = t <= now;
            c.expires = expired ? 0 : t;
        }
    }

    if (expired) {
        std::erase_if(items_, [&](const Cookie& o) {
            return o.name == c.name && o.domain == c.domain && SamePath(o.path, c.path);
        });
        return;
    }
    Store(std::move(c));
}

void CookieStore::Store(Cookie c)
{
    for (Cookie& o : items_) {
        if (o.name == c.name && o.domain == c.domain && SamePath(o.path, c.path)) {
            o.value = std::move(c.value);
            o.hostOnly = c.hostOnly;
            o.secure = c.secure;
            o.expires = c.expires;
            if (!c.path.empty())
                o.path = std::move(c.path);
            return;
        }
    }
    size_t inDomain = std::count_if(items_.begin(), items_.end(), [&](const Cookie& o) { return o.domain == c.domain; });
    if (inDomain >= kMaxPerDomain) {
        auto oldest = std::find_if(items_.begin(), items_.end(), [&](const Cookie& o) { return o.domain == c.domain; });
        items_.erase(oldest);
    } else if (items_.size() >= kMaxTotal) {
        items_.erase(items_.begin());
    }
    items_.push_back(std::move(c));
}

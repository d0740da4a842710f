#include "web/cookies.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <curl/curl.h>

#include "platform/ascii_text.h"
#include "web/system_store.h"
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

bool PathMatches(const std::string& cookiePath, const std::string& path)
{
    if (cookiePath.empty() || cookiePath == "/")
        return true;
    if (path.compare(0, cookiePath.size(), cookiePath) != 0)
        return false;
    return path.size() == cookiePath.size() || cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

bool HasControl(std::string_view s)
{
    return std::any_of(s.begin(), s.end(), [](char ch) {
        unsigned char u = static_cast<unsigned char>(ch);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

}  // namespace

std::vector<Cookie> CookieStore::Items() const
{
    std::vector<Cookie> out;
    out.reserve(list_.Size());
    for (const auto& [seq, item] : list_.Items())
        out.push_back(item.cookie);
    return out;
}

void CookieStore::Clear()
{
    while (list_.Size() != 0)
        Remove(list_.Items().begin()->first);
}

void CookieStore::FixPaths()
{
    for (Seq seq : pathless_)
        if (list_.Items().count(seq) && list_.At(seq).path.empty())
            list_.At(seq).path = "/";
    pathless_.clear();
}

void CookieStore::Remove(Seq seq)
{
    std::optional<CookieList::Item> gone = list_.Take(seq);
    if (!gone)
        return;
    Unschedule(seq, gone->cookie.expires);
    if (copied_.count(gone->key))
        dirty_.insert(gone->key);
    else
        dirty_.erase(gone->key);
}

void CookieStore::Unschedule(Seq seq, std::time_t expires)
{
    if (expires == 0)
        return;
    auto [from, to] = expiry_.equal_range(expires);
    for (auto e = from; e != to; ++e)
        if (e->second == seq) {
            expiry_.erase(e);
            return;
        }
}

void CookieStore::DropExpired(std::time_t now)
{
    while (!expiry_.empty() && expiry_.begin()->first <= now)
        Remove(expiry_.begin()->second);
}

// The cookies of one domain that go with a request for the path; a host-only
// cookie only to its own host.
void CookieStore::Matching(const std::string& domain, bool hostItself, const std::string& path, bool https,
                           std::vector<std::pair<Seq, const Cookie*>>& out) const
{
    const std::set<Seq>* own = list_.OfDomain(domain);
    if (!own)
        return;
    for (Seq seq : *own) {
        const Cookie& c = list_.Items().at(seq).cookie;
        if ((hostItself || !c.hostOnly) && PathMatches(c.path, path) && (!c.secure || https))
            out.emplace_back(seq, &c);
    }
}

std::string CookieStore::CookieHeader(const std::string& url)
{
    DropExpired(std::time(nullptr));
    UrlParts u = CookieUrl(url);
    const bool https = u.scheme == "https";
    // The host itself and each domain above it: the cost goes with the
    // request's own cookies, not with the hosts the store knows.
    std::vector<std::pair<Seq, const Cookie*>> send;
    Matching(u.host, true, u.path, https, send);
    if (!IsAddress(u.host))
        for (size_t dot = u.host.find('.'); dot != std::string::npos; dot = u.host.find('.', dot + 1))
            Matching(u.host.substr(dot + 1), false, u.path, https, send);
    std::sort(send.begin(), send.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    // The longer path first; otherwise in the order they were set.
    std::stable_sort(send.begin(), send.end(),
                     [](const auto& a, const auto& b) { return a.second->path.size() > b.second->path.size(); });
    std::string header;
    for (const auto& [seq, c] : send) {
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
            bool ok = d == u.host || (!IsAddress(u.host) && d.find('.') != std::string::npos && HostAtOrBelow(u.host, d));
            if (!ok)
                return;
            c.domain = d;
            c.hostOnly = false;
        } else if (key == "path") {
            c.path = !val.empty() && val.front() == '/' ? val : std::string();
        } else if (key == "secure") {
            c.secure = true;
        } else if (key == "httponly") {
            c.httpOnly = true;
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
        if (std::optional<Seq> old = list_.Find(CookieKey(c)))
            Remove(*old);
        return;
    }
    Store(std::move(c));
}

void CookieStore::Store(Cookie c)
{
    std::string key = CookieKey(c);
    dirty_.insert(key);
    if (std::optional<Seq> known = list_.Find(key)) {
        // Replaced in place: it keeps its place in the order.
        Cookie& o = list_.At(*known);
        if (o.expires != c.expires) {
            Unschedule(*known, o.expires);
            if (c.expires != 0)
                expiry_.emplace(c.expires, *known);
        }
        if (c.path.empty())
            c.path = std::move(o.path);
        o = std::move(c);
        return;
    }
    if (std::optional<Seq> room = list_.MakesRoom(c.domain))
        Remove(*room);
    const bool pathless = c.path.empty();
    const std::time_t expires = c.expires;
    const Seq seq = list_.Add(std::move(c), std::move(key));
    if (pathless)
        pathless_.push_back(seq);
    if (expires != 0)
        expiry_.emplace(expires, seq);
}

void CookieStore::CopyChanges(SystemStore& shared)
{
    if (dirty_.empty())
        return;
    std::vector<Seq> order;
    std::vector<std::string> gone;
    for (const std::string& key : dirty_) {
        if (std::optional<Seq> seq = list_.Find(key)) {
            order.push_back(*seq);
            copied_.insert(key);
        } else {
            gone.push_back(key);
            copied_.erase(key);
        }
    }
    dirty_.clear();
    // In the order they were set, so that the shared store's bounds push
    // out the same cookies as this store's.
    std::sort(order.begin(), order.end());
    std::vector<Cookie> set;
    set.reserve(order.size());
    for (Seq seq : order)
        set.push_back(list_.At(seq));
    shared.Apply(set, gone);
}

void CookieStore::Recopy(const std::string& domain)
{
    for (const auto& [seq, item] : list_.Items()) {
        if (HostAtOrBelow(item.cookie.domain, domain))
            dirty_.insert(item.key);
    }
}

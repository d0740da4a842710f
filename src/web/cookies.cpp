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

std::string CookieKey(const Cookie& c)
{
    std::string key = c.domain;
    key += '\0';
    key += c.path.empty() ? std::string("/") : c.path;
    key += '\0';
    key += c.name;
    return key;
}

std::vector<Cookie> CookieStore::Items() const
{
    std::vector<Cookie> out;
    out.reserve(items_.size());
    for (const auto& [seq, item] : items_)
        out.push_back(item.cookie);
    return out;
}

void CookieStore::Clear()
{
    while (!items_.empty())
        Remove(items_.begin()->first);
}

void CookieStore::FixPaths()
{
    for (Seq seq : pathless_) {
        auto it = items_.find(seq);
        if (it != items_.end() && it->second.cookie.path.empty())
            it->second.cookie.path = "/";
    }
    pathless_.clear();
}

void CookieStore::Remove(Seq seq)
{
    auto it = items_.find(seq);
    if (it == items_.end())
        return;
    const Cookie& c = it->second.cookie;
    byKey_.erase(it->second.key);
    auto d = byDomain_.find(c.domain);
    if (d != byDomain_.end()) {
        d->second.erase(seq);
        if (d->second.empty())
            byDomain_.erase(d);
    }
    Unschedule(seq, c.expires);
    if (copied_.count(it->second.key))
        dirty_.insert(it->second.key);
    else
        dirty_.erase(it->second.key);
    items_.erase(it);
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
    auto d = byDomain_.find(domain);
    if (d == byDomain_.end())
        return;
    for (Seq seq : d->second) {
        const Cookie& c = items_.at(seq).cookie;
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
        auto old = byKey_.find(CookieKey(c));
        if (old != byKey_.end())
            Remove(old->second);
        return;
    }
    Store(std::move(c));
}

void CookieStore::Store(Cookie c)
{
    std::string key = CookieKey(c);
    dirty_.insert(key);
    auto known = byKey_.find(key);
    if (known != byKey_.end()) {
        // Replaced in place: it keeps its place in the order.
        const Seq seq = known->second;
        Cookie& o = items_.at(seq).cookie;
        if (o.expires != c.expires) {
            Unschedule(seq, o.expires);
            if (c.expires != 0)
                expiry_.emplace(c.expires, seq);
        }
        o.value = std::move(c.value);
        o.hostOnly = c.hostOnly;
        o.secure = c.secure;
        o.httpOnly = c.httpOnly;
        o.expires = c.expires;
        if (!c.path.empty())
            o.path = std::move(c.path);
        return;
    }
    auto domain = byDomain_.find(c.domain);
    if (domain != byDomain_.end() && domain->second.size() >= kMaxPerDomain)
        Remove(*domain->second.begin());
    else if (items_.size() >= kMaxTotal)
        Remove(items_.begin()->first);
    const Seq seq = next_++;
    if (c.path.empty())
        pathless_.push_back(seq);
    if (c.expires != 0)
        expiry_.emplace(c.expires, seq);
    byDomain_[c.domain].insert(seq);
    byKey_.emplace(key, seq);
    items_.emplace(seq, Item{std::move(c), std::move(key)});
}

void CookieStore::CopyChanges(SystemStore& shared)
{
    if (dirty_.empty())
        return;
    std::vector<Seq> order;
    std::vector<std::string> gone;
    for (const std::string& key : dirty_) {
        auto it = byKey_.find(key);
        if (it == byKey_.end()) {
            gone.push_back(key);
            copied_.erase(key);
        } else {
            order.push_back(it->second);
            copied_.insert(key);
        }
    }
    dirty_.clear();
    // In the order they were set, so that the shared store's bounds push
    // out the same cookies as this store's.
    std::sort(order.begin(), order.end());
    std::vector<Cookie> set;
    set.reserve(order.size());
    for (Seq seq : order)
        set.push_back(items_.at(seq).cookie);
    shared.Apply(set, gone);
}

void CookieStore::Recopy(const std::string& domain)
{
    for (const auto& [seq, item] : items_) {
        if (HostAtOrBelow(item.cookie.domain, domain))
            dirty_.insert(item.key);
    }
}

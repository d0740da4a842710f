#include "web/system_store.h"

#include <ctime>
#include <string_view>

#include "platform/ascii_text.h"
#include "web/url_parts.h"

namespace {

using platform::AsciiLower;
using platform::TrimBlanks;

std::string Backwards(std::string_view host)
{
    return std::string(host.rbegin(), host.rend());
}

std::string CookiePath(const Cookie& c)
{
    return c.path.empty() ? std::string("/") : c.path;
}

std::string CookieSource(const Cookie& c)
{
    return "Cookie:" + c.domain + CookiePath(c);
}

bool Expired(const Cookie& c, std::time_t now)
{
    return c.expires != 0 && c.expires <= now;
}

}  // namespace

SystemStore& SystemStore::Instance()
{
    static SystemStore store;
    return store;
}

std::vector<std::string> SystemStore::Enumerate(const std::string& pattern) const
{
    std::string want = AsciiLower(pattern);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> found;
    for (const auto& [source, slot] : entries_)
        if (AsciiLower(std::string_view(source).substr(0, want.size())) == want)
            found.push_back(source);
    return found;
}

SystemStore::Slot& SystemStore::SlotFor(const std::string& source, const std::string& url, const std::string& host)
{
    auto [it, added] = entries_.try_emplace(source);
    if (added) {
        it->second.url = url;
        it->second.host = host;
        byHost_.emplace(Backwards(host), source);
    }
    return it->second;
}

void SystemStore::EraseSlot(std::map<std::string, Slot>::iterator it)
{
    byHost_.erase({Backwards(it->second.host), it->first});
    if (it->second.visited)
        visited_.erase(it->second.visitedSeq);
    entries_.erase(it);
}

void SystemStore::RemoveCookie(Seq seq)
{
    std::optional<CookieList::Item> gone = cookies_.Take(seq);
    if (!gone)
        return;
    auto slot = entries_.find(CookieSource(gone->cookie));
    if (slot != entries_.end()) {
        slot->second.cookies.erase(seq);
        if (slot->second.cookies.empty() && !slot->second.visited)
            EraseSlot(slot);
    }
}

bool SystemStore::Delete(const std::string& sourceUrl)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(sourceUrl);
    if (it == entries_.end())
        return false;
    const std::set<Seq> seqs = it->second.cookies;
    if (seqs.empty()) {
        EraseSlot(it);
        return true;
    }
    // The last cookie takes its entry with it.
    for (Seq seq : seqs)
        RemoveCookie(seq);
    return true;
}

size_t SystemStore::DeleteDomain(const std::string& pattern, const std::string& domain)
{
    const std::string want = AsciiLower(pattern);
    const std::string host = Backwards(AsciiLower(domain));
    if (host.empty())
        return 0;
    std::vector<std::string> found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto take = [&](const std::string& from, bool below) {
            for (auto it = byHost_.lower_bound({from, std::string()}); it != byHost_.end(); ++it) {
                if (below ? it->first.compare(0, from.size(), from) != 0 : it->first != from)
                    break;
                if (AsciiLower(std::string_view(it->second).substr(0, want.size())) == want)
                    found.push_back(it->second);
            }
        };
        take(host, false);
        take(host + ".", true);
    }
    size_t deleted = 0;
    for (const std::string& source : found)
        deleted += Delete(source) ? 1 : 0;
    return deleted;
}

void SystemStore::Put(Cookie c)
{
    c.path = CookiePath(c);
    std::string key = CookieKey(c);
    if (std::optional<Seq> known = cookies_.Find(key)) {
        // Replaced in place: it keeps its place in the order.
        cookies_.At(*known) = std::move(c);
        return;
    }
    if (std::optional<Seq> room = cookies_.MakesRoom(c.domain))
        RemoveCookie(*room);
    const std::string source = CookieSource(c);
    const std::string url = "http://" + c.domain + c.path;
    const std::string domain = c.domain;
    const Seq seq = cookies_.Add(std::move(c), std::move(key));
    SlotFor(source, url, domain).cookies.insert(seq);
}

bool SystemStore::SetCookie(const std::string& url, const std::string& name, const std::string& data)
{
    Cookie c;
    if (name.empty()) {
        std::string_view d(data);
        size_t eq = d.find('=');
        c.name = std::string(TrimBlanks(d.substr(0, eq)));
        c.value = eq == std::string_view::npos ? std::string() : std::string(TrimBlanks(d.substr(eq + 1)));
    } else {
        c.name = name;
        c.value = data;
    }
    UrlParts p = SplitUrl(url);
    if (p.host.empty() || c.name.empty())
        return false;
    size_t slash = p.path.rfind('/');
    c.path = slash == std::string::npos ? std::string("/") : p.path.substr(0, slash + 1);
    c.domain = std::move(p.host);
    std::lock_guard<std::mutex> lock(mutex_);
    Put(std::move(c));
    return true;
}

void SystemStore::Apply(const std::vector<Cookie>& set, const std::vector<std::string>& removed)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& key : removed) {
        if (std::optional<Seq> seq = cookies_.Find(key))
            RemoveCookie(*seq);
    }
    for (const Cookie& c : set)
        Put(c);
}

void SystemStore::AddVisited(const std::string& url)
{
    // A URL that ends at its host counts with its root path, so that the
    // purge of a domain ("domain/") finds it.
    std::string source = "Visited:" + url;
    size_t scheme = url.find("://");
    size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    if (url.find_first_of("/?#", start) == std::string::npos)
        source += "/";
    const std::string host = SplitUrl(url).host;
    std::lock_guard<std::mutex> lock(mutex_);
    auto known = entries_.find(source);
    if (known == entries_.end() && visited_.size() >= kMaxVisited) {
        auto oldest = entries_.find(visited_.begin()->second);
        if (oldest != entries_.end())
            EraseSlot(oldest);
    }
    Slot& slot = SlotFor(source, url, host);
    slot.url = url;
    if (!slot.visited) {
        slot.visited = true;
        slot.visitedSeq = nextVisit_++;
        visited_.emplace(slot.visitedSeq, source);
    }
}

bool SystemStore::Find(const std::string& sourceUrl, Entry& out) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(sourceUrl);
    if (it == entries_.end())
        return false;
    out.sourceUrl = it->first;
    out.url = it->second.url;
    out.cookies.clear();
    for (Seq seq : it->second.cookies)
        out.cookies.push_back(cookies_.Items().at(seq).cookie);
    return true;
}

std::vector<Cookie> SystemStore::Cookies() const
{
    const std::time_t now = std::time(nullptr);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Cookie> out;
    out.reserve(cookies_.Size());
    for (const auto& [seq, item] : cookies_.Items())
        if (!Expired(item.cookie, now))
            out.push_back(item.cookie);
    return out;
}

void SystemStore::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    byHost_.clear();
    cookies_.Clear();
    visited_.clear();
}

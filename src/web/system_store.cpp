#include "web/system_store.h"

#include <string_view>

#include "platform/ascii_text.h"
#include "web/url_parts.h"

namespace {

using platform::AsciiLower;
using platform::TrimBlanks;

// Host (lower case, port dropped) and directory ("/" ... up to the last "/")
// of a URL; the host is "" when the URL has none.
void HostAndDirectory(const std::string& url, std::string& host, std::string& dir)
{
    UrlParts p = SplitUrl(url);
    host = std::move(p.host);
    size_t slash = p.path.rfind('/');
    dir = slash == std::string::npos ? std::string("/") : p.path.substr(0, slash + 1);
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

bool SystemStore::Delete(const std::string& sourceUrl)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(sourceUrl);
    if (it == entries_.end())
        return false;
    if (!it->second.entry.cookies.empty()) {
        std::string host, dir;
        HostAndDirectory(it->second.entry.url, host, dir);
        auto h = hosts_.find(host);
        if (h != hosts_.end()) {
            std::erase_if(h->second, [&sourceUrl](const auto& c) { return c.first == sourceUrl; });
            if (h->second.empty())
                hosts_.erase(h);
        }
    }
    entries_.erase(it);
    return true;
}

// Takes one cookie out of its entry; the caller keeps the host's list.
void SystemStore::DropCookie(const std::string& source, const std::string& name)
{
    auto it = entries_.find(source);
    if (it == entries_.end())
        return;
    Slot& slot = it->second;
    auto n = slot.names.find(name);
    if (n == slot.names.end())
        return;
    slot.entry.cookies.erase(slot.entry.cookies.begin() + std::ptrdiff_t(n->second));
    if (slot.entry.cookies.empty()) {
        entries_.erase(it);
        return;
    }
    slot.names.clear();
    for (size_t i = 0; i < slot.entry.cookies.size(); ++i)
        slot.names[slot.entry.cookies[i].first] = i;
}

bool SystemStore::SetCookie(const std::string& url, const std::string& name, const std::string& data)
{
    std::string cookieName, value;
    if (name.empty()) {
        std::string_view d(data);
        size_t eq = d.find('=');
        cookieName = std::string(TrimBlanks(d.substr(0, eq)));
        value = eq == std::string_view::npos ? std::string() : std::string(TrimBlanks(d.substr(eq + 1)));
    } else {
        cookieName = name;
        value = data;
    }
    std::string host, dir;
    HostAndDirectory(url, host, dir);
    if (host.empty() || cookieName.empty())
        return false;
    std::string source = "Cookie:" + host + dir;
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = entries_[source];
    Entry& e = slot.entry;
    e.sourceUrl = source;
    e.url = url;
    auto [at, added] = slot.names.try_emplace(cookieName, e.cookies.size());
    if (!added) {
        e.cookies[at->second].second = value;
        return true;
    }
    e.cookies.emplace_back(cookieName, value);
    HostCookies& order = hosts_[host];
    order.emplace_back(source, cookieName);
    if (order.size() > kMaxPerHost) {
        auto [oldSource, oldName] = std::move(order.front());
        order.pop_front();
        DropCookie(oldSource, oldName);
    }
    return true;
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
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = entries_[source].entry;
    e.sourceUrl = source;
    e.url = url;
}

bool SystemStore::Find(const std::string& sourceUrl, Entry& out) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(sourceUrl);
    if (it == entries_.end())
        return false;
    out = it->second.entry;
    return true;
}

std::vector<SystemStore::Entry> SystemStore::CookieEntries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Entry> out;
    for (const auto& [source, slot] : entries_)
        if (!slot.entry.cookies.empty())
            out.push_back(slot.entry);
    return out;
}

void SystemStore::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    hosts_.clear();
}

// The program's own cookie store and URL cache, shared by the script runs and
// the browser window: runs copy their cookies in and purge a site's entries,
// the browser window hands the cookies to its web view and records the pages
// it visits. Safe to use from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "web/cookie_list.h"
#include "web/cookies.h"

class SystemStore {
public:
    // The one store of the process.
    static SystemStore& Instance();

    // One entry of the cache. Its source URL names it: "Cookie:" + domain +
    // path for the cookies of that domain and path, "Visited:" + URL for a
    // visited page.
    struct Entry {
        std::string sourceUrl;
        std::string url;  // the URL the entry was made for
        // Cookie entries: the cookies, in the order set.
        std::vector<Cookie> cookies;
    };

    // Bounds as a run's own store has them, for the store as a whole too:
    // past them the cookie set first (of the domain, or of all) makes room.
    // Visited pages are bounded alike.
    static constexpr size_t kMaxPerDomain = CookieStore::kMaxPerDomain;
    static constexpr size_t kMaxCookies = CookieStore::kMaxTotal;
    static constexpr size_t kMaxVisited = 3000;

    // The source URLs of every entry whose source URL begins with the
    // pattern (case-insensitive; "cookie:", "visited:", "" for all). None is
    // not an error.
    std::vector<std::string> Enumerate(const std::string& pattern) const;
    // Deletes the entry of that source URL; false when there was none.
    bool Delete(const std::string& sourceUrl);
    // Deletes the entries of the pattern whose host is the domain or below
    // it; the count deleted. Costs what it deletes, not what the store holds.
    size_t DeleteDomain(const std::string& pattern, const std::string& domain);

    // Sets a cookie for a URL's host alone, under the URL's folder. Without
    // a name, data reads "name=value" (blanks around either are dropped);
    // with one, data is the value. False when the URL has no host or the
    // cookie no name.
    bool SetCookie(const std::string& url, const std::string& name, const std::string& data);
    // Stores the cookies (each under its own domain and path, with its
    // flags and date) and removes those of the keys (CookieKey).
    void Apply(const std::vector<Cookie>& set, const std::vector<std::string>& removed);
    // Records a page the browser window showed.
    void AddVisited(const std::string& url);

    // A copy of the entry, for the browser window; false when there is none.
    bool Find(const std::string& sourceUrl, Entry& out) const;
    // Every cookie that has not expired, in the order set.
    std::vector<Cookie> Cookies() const;
    void Clear();

private:
    using Seq = CookieList::Seq;
    struct Slot {
        std::string url;
        std::string host;
        std::set<Seq> cookies;  // a cookie entry's cookies
        bool visited = false;
        Seq visitedSeq = 0;
    };

    Slot& SlotFor(const std::string& source, const std::string& url, const std::string& host);
    void Put(Cookie c);
    void RemoveCookie(Seq seq);
    void EraseSlot(std::map<std::string, Slot>::iterator it);

    mutable std::mutex mutex_;
    std::map<std::string, Slot> entries_;  // by source URL
    // Host written backwards and source URL: a domain and the hosts below it
    // are one range.
    std::set<std::pair<std::string, std::string>> byHost_;
    CookieList cookies_{kMaxPerDomain, kMaxCookies};
    std::map<Seq, std::string> visited_;  // source URLs of visited pages, oldest first
    Seq nextVisit_ = 0;
};

// The program's own cookie store and URL cache, shared by the script runs and
// the browser window: runs copy their cookies in and purge a site's entries,
// the browser window hands the cookies to its web view and records the pages
// it visits. Safe to use from any thread.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class SystemStore {
public:
    // The one store of the process.
    static SystemStore& Instance();

    // One entry of the cache. Its source URL names it: "Cookie:" + host +
    // path for the cookies set under a URL, "Visited:" + URL for a visited
    // page.
    struct Entry {
        std::string sourceUrl;
        std::string url;  // the URL the entry was made for
        // Cookie entries: name and value of each cookie, in the order set.
        std::vector<std::pair<std::string, std::string>> cookies;
    };

    // The source URLs of every entry whose source URL begins with the
    // pattern (case-insensitive; "cookie:", "visited:", "" for all). None is
    // not an error.
    std::vector<std::string> Enumerate(const std::string& pattern) const;
    // Deletes the entry of that source URL; false when there was none.
    bool Delete(const std::string& sourceUrl);
    // A host cannot flood the store: past this count the cookie it set first
    // makes room, as in a run's own store.
    static constexpr size_t kMaxPerHost = 150;

    // Sets a cookie under a URL. Without a name, data reads "name=value"
    // (blanks around either are dropped); with one, data is the value. False
    // when the URL has no host or the cookie no name.
    bool SetCookie(const std::string& url, const std::string& name, const std::string& data);
    // Records a page the browser window showed.
    void AddVisited(const std::string& url);

    // A copy of the entry, for the browser window; false when there is none.
    bool Find(const std::string& sourceUrl, Entry& out) const;
    // Copies of every cookie entry.
    std::vector<Entry> CookieEntries() const;
    void Clear();

private:
    struct Slot {
        Entry entry;
        std::unordered_map<std::string, size_t> names;  // place in entry.cookies
    };
    // A host's cookies in the order they were first set: source URL, name.
    using HostCookies = std::deque<std::pair<std::string, std::string>>;

    void DropCookie(const std::string& source, const std::string& name);

    mutable std::mutex mutex_;
    std::map<std::string, Slot> entries_;  // by source URL
    std::unordered_map<std::string, HostCookies> hosts_;
};

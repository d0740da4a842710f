// A cookie, and the collection that a run's store and the shared store each
// keep: cookies in the order first set, found by key and by domain, within a
// bound per domain and one in all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

struct Cookie {
    std::string domain;  // lower case, without a leading dot
    std::string name;
    std::string value;
    std::string path;  // "" when the server named none (see CookieStore::FixPaths)
    bool hostOnly = true;  // set without a Domain attribute: that host alone
    bool secure = false;
    bool httpOnly = false;  // kept from page scripts in the browser window
    std::time_t expires = 0;  // 0: lives as long as the store

    bool operator==(const Cookie&) const = default;
};

// What names a cookie: a later cookie of the same domain, path and name
// replaces it. A path the server did not name counts as the root path.
std::string CookieKey(const Cookie& c);

class CookieList {
public:
    using Seq = std::uint64_t;  // a place in the order of first setting
    struct Item {
        Cookie cookie;
        std::string key;  // CookieKey of the cookie
    };

    CookieList(std::size_t perDomain, std::size_t total) : perDomain_(perDomain), total_(total) {}

    std::size_t Size() const { return items_.size(); }
    // By place, oldest first.
    const std::map<Seq, Item>& Items() const { return items_; }
    Cookie& At(Seq seq) { return items_.at(seq).cookie; }
    std::optional<Seq> Find(const std::string& key) const;
    // The places of a domain's cookies, oldest first; nullptr for none.
    const std::set<Seq>* OfDomain(const std::string& domain) const;
    // The cookie that has to go before a new one of the domain comes in:
    // past the bounds the oldest of the domain, or of all, makes room.
    std::optional<Seq> MakesRoom(const std::string& domain) const;
    // Adds a cookie of a key not held, once its store made room.
    Seq Add(Cookie cookie, std::string key);
    // Takes the cookie out; nothing when there is none at that place.
    std::optional<Item> Take(Seq seq);
    void Clear();

private:
    std::size_t perDomain_;
    std::size_t total_;
    std::map<Seq, Item> items_;
    std::unordered_map<std::string, Seq> byKey_;
    std::unordered_map<std::string, std::set<Seq>> byDomain_;
    Seq next_ = 0;
};

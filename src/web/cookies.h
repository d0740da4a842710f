// The cookie store of a run: the cookies the servers set, sent back with
// later requests while the store is attached to the HTTP client.
#pragma once

#include <cstddef>
#include <ctime>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/http_client.h"
#include "web/cookie_list.h"

class SystemStore;

class CookieStore : public HttpCookieJar {
public:
    // A Set-Cookie header longer than this is ignored whole.
    static constexpr size_t kMaxCookieSize = 4096;
    // A site cannot flood the store: past these counts the oldest cookie of
    // the domain (or of the store) makes room.
    static constexpr size_t kMaxPerDomain = 150;
    static constexpr size_t kMaxTotal = 3000;

    size_t Count() const { return list_.Size(); }
    // The cookies in the order they were first set.
    std::vector<Cookie> Items() const;
    void Clear();
    // Every cookie without a path gets the path "/".
    void FixPaths();

    std::string CookieHeader(const std::string& url) override;
    void SetCookie(const std::string& url, const std::string& header) override;

    // Hands the shared store what changed since the last call: the cookies
    // set or replaced, and those gone (deleted by their server, expired,
    // pushed out or emptied), so that no cookie lives on there that this
    // run no longer sends. Costs what changed, not what the store holds.
    void CopyChanges(SystemStore& shared);
    // The shared store lost its entries of the domain: the cookies of the
    // domain and below it go there again with the next copy.
    void Recopy(const std::string& domain);

private:
    using Seq = CookieList::Seq;

    void Store(Cookie cookie);
    void Remove(Seq seq);
    void Unschedule(Seq seq, std::time_t expires);
    void DropExpired(std::time_t now);
    void Matching(const std::string& domain, bool hostItself, const std::string& path, bool https,
                  std::vector<std::pair<Seq, const Cookie*>>& out) const;

    CookieList list_{kMaxPerDomain, kMaxTotal};
    std::multimap<std::time_t, Seq> expiry_;  // cookies with a date, soonest first
    std::vector<Seq> pathless_;  // cookies that may still lack their path
    // Keys that changed since the last copy, and keys the shared store may
    // hold from this run: a cookie removed before it was ever copied needs
    // no word to the shared store, so neither set outgrows the store.
    std::unordered_set<std::string> dirty_;
    std::unordered_set<std::string> copied_;
};

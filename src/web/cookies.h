// The cookie store of a run: the cookies the servers set, sent back with
// later requests while the store is attached to the HTTP client.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "platform/http_client.h"

struct Cookie {
    std::string domain;  // lower case, without a leading dot
    std::string name;
    std::string value;
    std::string path;  // "" when the server named none (see FixPaths)
    bool hostOnly = true;  // set without a Domain attribute: that host alone
    bool secure = false;
    std::time_t expires = 0;  // 0: lives as long as the store
};

class CookieStore : public HttpCookieJar {
public:
    // A Set-Cookie header longer than this is ignored whole.
    static constexpr size_t kMaxCookieSize = 4096;
    // A site cannot flood the store: past these counts the oldest cookie of
    // the domain (or of the store) makes room.
    static constexpr size_t kMaxPerDomain = 150;
    static constexpr size_t kMaxTotal = 3000;

    size_t Count() const { return items_.size(); }
    // The cookies in the order they were first set.
    const std::vector<Cookie>& Items() const { return items_; }
    void Clear() { items_.clear(); }
    // Every cookie without a path gets the path "/".
    void FixPaths();

    std::string CookieHeader(const std::string& url) override;
    void SetCookie(const std::string& url, const std::string& header) override;

private:
    void Store(Cookie cookie);
    void DropExpired(std::time_t now);
    std::vector<Cookie> items_;
};

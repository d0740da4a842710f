// The shared cookie store: each cookie under its own domain and path, bounded
// per domain and as a whole, oldest first out; the purge of a domain.
#include <gtest/gtest.h>

#include <string>

#include "web/system_store.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs NamesAndValues(const std::vector<Cookie>& cookies)
{
    Pairs out;
    for (const Cookie& c : cookies)
        out.emplace_back(c.name, c.value);
    return out;
}

Cookie Make(const std::string& domain, const std::string& name, const std::string& path = "/")
{
    Cookie c;
    c.domain = domain;
    c.name = name;
    c.value = "v";
    c.path = path;
    return c;
}

TEST(SystemStore, ADomainKeepsItsNewestCookiesAcrossItsFolders)
{
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    const size_t max = SystemStore::kMaxPerDomain;
    ASSERT_TRUE(store.SetCookie("http://ander.test/", "bleibt", "1"));
    // Two folders of one host share its bound; setting a known name again
    // neither counts nor makes it younger.
    for (size_t i = 0; i < max + 20; ++i) {
        ASSERT_TRUE(store.SetCookie(i % 2 ? "http://flut.test/a/x" : "http://FLUT.test:81/b/", "", "n" + std::to_string(i) + " = " + std::to_string(i)));
        if (i < max) {
            ASSERT_TRUE(store.SetCookie("http://flut.test/b/", "n0", "neu"));
        }
    }
    SystemStore::Entry a, b;
    ASSERT_TRUE(store.Find("Cookie:flut.test/a/", a));
    ASSERT_TRUE(store.Find("Cookie:flut.test/b/", b));
    EXPECT_EQ(a.cookies.size() + b.cookies.size(), max);
    // n0 was set first: it went with the first of the overflow.
    EXPECT_EQ(NamesAndValues(b.cookies).front(), (std::pair<std::string, std::string>{"n20", "20"}));
    EXPECT_EQ(NamesAndValues(a.cookies).front(), (std::pair<std::string, std::string>{"n21", "21"}));
    EXPECT_EQ(NamesAndValues(a.cookies).back(), (std::pair<std::string, std::string>{"n169", "169"}));

    SystemStore::Entry other;
    ASSERT_TRUE(store.Find("Cookie:ander.test/", other));
    EXPECT_EQ(NamesAndValues(other.cookies), (Pairs{{"bleibt", "1"}}));

    // A deleted folder frees its place in the bound.
    ASSERT_TRUE(store.Delete("Cookie:flut.test/a/"));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(store.SetCookie("http://flut.test/c/", "c" + std::to_string(i), "x"));
    ASSERT_TRUE(store.Find("Cookie:flut.test/b/", b));
    EXPECT_EQ(b.cookies.front().name, "n20");
    // An entry whose cookies all went is gone too.
    for (size_t i = 0; i < max; ++i)
        ASSERT_TRUE(store.SetCookie("http://flut.test/d/", "d" + std::to_string(i), "x"));
    EXPECT_EQ(store.Enumerate("cookie:flut"), (std::vector<std::string>{"Cookie:flut.test/d/"}));
    store.Clear();
}

// Many hosts with one large cookie each: the store as a whole stays within
// its count, the oldest hosts' cookies leave first, and the rest are whole.
TEST(SystemStore, ManyHostsStayWithinTheWholeBound)
{
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    const size_t hosts = SystemStore::kMaxCookies + 500;
    const std::string big(4000, 'x');
    for (size_t i = 0; i < hosts; ++i) {
        Cookie c = Make("h" + std::to_string(i) + ".test", "sid");
        c.value = big;
        store.Apply({c}, {});
    }
    const std::vector<Cookie> all = store.Cookies();
    ASSERT_EQ(all.size(), SystemStore::kMaxCookies);
    EXPECT_EQ(all.front().domain, "h500.test");
    EXPECT_EQ(all.back().domain, "h" + std::to_string(hosts - 1) + ".test");
    EXPECT_EQ(all.back().value, big);
    EXPECT_EQ(store.Enumerate("cookie:").size(), SystemStore::kMaxCookies) << "entries leave with their cookies";
    store.Clear();
}

TEST(SystemStore, KeepsEachCookiesOwnDomainPathFlagsAndDate)
{
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    Cookie sid = Make("shop.test", "sid");
    sid.httpOnly = true;
    Cookie admin = Make("shop.test", "adm", "/admin");
    admin.secure = true;
    admin.expires = std::time(nullptr) + 3600;
    Cookie wide = Make("example.test", "w");
    wide.hostOnly = false;
    Cookie old = Make("shop.test", "alt");
    old.expires = std::time(nullptr) - 10;
    Cookie pathless = Make("shop.test", "ohne", "");
    store.Apply({sid, admin, wide, old, pathless}, {});

    pathless.path = "/";  // a cookie without a path lives under the root
    EXPECT_EQ(store.Cookies(), (std::vector<Cookie>{sid, admin, wide, pathless})) << "the expired one is not handed out";
    SystemStore::Entry e;
    ASSERT_TRUE(store.Find("Cookie:shop.test/admin", e));
    EXPECT_EQ(e.cookies, (std::vector<Cookie>{admin}));

    // A replacement keeps the cookie's place; a removal names domain, path
    // and name, and the same name elsewhere stays.
    sid.value = "neu";
    Cookie otherPath = Make("shop.test", "sid", "/x");
    store.Apply({sid, otherPath}, {CookieKey(pathless), CookieKey(Make("shop.test", "adm", "/"))});
    EXPECT_EQ(store.Cookies(), (std::vector<Cookie>{sid, admin, wide, otherPath}));
    store.Clear();
}

TEST(SystemStore, ThePurgeOfADomainTakesItAndTheHostsBelowIt)
{
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    store.Apply({Make("example.de", "a"), Make("shop.example.de", "b", "/konto"), Make("badexample.de", "c"),
                 Make("example.de.evil", "d"), Make("www.example.com", "e")},
                {});
    store.AddVisited("http://www.example.de:8080/seite.html");
    store.AddVisited("http://badexample.de");
    EXPECT_EQ(store.DeleteDomain("visited:", "example.de"), 1u);
    EXPECT_EQ(store.DeleteDomain("cookie:", "example.de"), 2u);
    EXPECT_EQ(store.DeleteDomain("cookie:", "example.de"), 0u);
    EXPECT_EQ(store.Enumerate(""), (std::vector<std::string>{"Cookie:badexample.de/", "Cookie:example.de.evil/",
                                                             "Cookie:www.example.com/", "Visited:http://badexample.de/"}));
    store.Clear();
}

TEST(SystemStore, VisitedPagesAreBoundedOldestFirst)
{
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    for (size_t i = 0; i < SystemStore::kMaxVisited + 5; ++i) {
        store.AddVisited("http://seite.test/" + std::to_string(i));
        store.AddVisited("http://seite.test/" + std::to_string(i / 2));  // seen again: takes no new place
    }
    const std::vector<std::string> visited = store.Enumerate("visited:");
    EXPECT_EQ(visited.size(), SystemStore::kMaxVisited);
    SystemStore::Entry e;
    EXPECT_FALSE(store.Find("Visited:http://seite.test/4", e));
    EXPECT_TRUE(store.Find("Visited:http://seite.test/5", e));
    store.Clear();
}

}  // namespace

// The shared cookie store: bounded per host, oldest first out.
#include <gtest/gtest.h>

#include <string>

#include "web/system_store.h"

namespace {

using Cookies = std::vector<std::pair<std::string, std::string>>;

TEST(SystemStore, AHostKeepsItsNewestCookiesAcrossItsFolders)
{
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    const size_t max = SystemStore::kMaxPerHost;
    ASSERT_TRUE(store.SetCookie("http://ander.test/", "bleibt", "1"));
    // Two folders of one host share its bound; setting a known name again
    // neither counts nor makes it younger.
    for (size_t i = 0; i < max + 20; ++i) {
        ASSERT_TRUE(store.SetCookie(i % 2 ? "http://flut.test/a/x" : "http://FLUT.test:81/b/", "", "n" + std::to_string(i) + " = " + std::to_string(i)));
        if (i < max)
            ASSERT_TRUE(store.SetCookie("http://flut.test/b/", "n0", "neu"));
    }
    SystemStore::Entry a, b;
    ASSERT_TRUE(store.Find("Cookie:flut.test/a/", a));
    ASSERT_TRUE(store.Find("Cookie:flut.test/b/", b));
    EXPECT_EQ(a.cookies.size() + b.cookies.size(), max);
    // n0 was set first: it went with the first of the overflow.
    EXPECT_EQ(b.cookies.front(), (std::pair<std::string, std::string>{"n20", "20"}));
    EXPECT_EQ(a.cookies.front(), (std::pair<std::string, std::string>{"n21", "21"}));
    EXPECT_EQ(a.cookies.back(), (std::pair<std::string, std::string>{"n169", "169"}));

    SystemStore::Entry other;
    ASSERT_TRUE(store.Find("Cookie:ander.test/", other));
    EXPECT_EQ(other.cookies, (Cookies{{"bleibt", "1"}}));

    // A deleted folder frees its place in the bound.
    ASSERT_TRUE(store.Delete("Cookie:flut.test/a/"));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(store.SetCookie("http://flut.test/c/", "c" + std::to_string(i), "x"));
    ASSERT_TRUE(store.Find("Cookie:flut.test/b/", b));
    EXPECT_EQ(b.cookies.front().first, "n20");
    // An entry whose cookies all went is gone too.
    for (size_t i = 0; i < max; ++i)
        ASSERT_TRUE(store.SetCookie("http://flut.test/d/", "d" + std::to_string(i), "x"));
    EXPECT_EQ(store.Enumerate("cookie:flut"), (std::vector<std::string>{"Cookie:flut.test/d/"}));
    store.Clear();
}

}  // namespace

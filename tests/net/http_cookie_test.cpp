// Cookies: the run's store and its rules, cookies across redirects and
// hosts, the switch `cookies`, the copy into the system store and the purge
// of a site's entries once per run.
#include "http_fixture.h"
#include "web/cookies.h"
#include "web/system_store.h"

namespace {

using httptest::Env;
using httptest::RunWeb;
using httptest::ScriptRun;
using httptest::WebResult;

struct StoreCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> set;  // url, Set-Cookie
    std::string url;
    std::string sent;
};

TEST(CookieStore, SendsWhatTheRulesAllow)
{
    const std::string shop = "http://shop.example.de/a/b.html";
    const StoreCase cases[] = {
        {"same_host", {{shop, "a=1"}}, "http://shop.example.de/", "a=1"},
        {"host_only", {{shop, "a=1"}}, "http://www.example.de/", ""},
        {"parent_domain", {{shop, "a=1; Domain=example.de"}}, "http://www.example.de/", "a=1"},
        {"leading_dot", {{shop, "a=1; domain=.EXAMPLE.de"}}, "http://x.example.de/", "a=1"},
        {"other_site", {{shop, "a=1; Domain=other.de"}}, "http://other.de/", ""},
        {"suffix_without_dot", {{shop, "a=1; Domain=de"}}, "http://other.de/", ""},
        {"same_letters_other_site", {{shop, "a=1; Domain=ample.de"}}, "http://ample.de/", ""},
        {"address_parent", {{"http://127.0.0.1/", "a=1; Domain=0.1"}}, "http://10.0.1/", ""},
        {"port_ignored", {{"http://h.de:8080/", "a=1"}}, "http://h.de:9090/", "a=1"},
        {"path_below", {{shop, "a=1; Path=/konto"}}, "http://shop.example.de/konto/x", "a=1"},
        {"path_itself", {{shop, "a=1; Path=/konto"}}, "http://shop.example.de/konto?x=1", "a=1"},
        {"path_prefix_only", {{shop, "a=1; Path=/konto"}}, "http://shop.example.de/kontoauszug", ""},
        {"path_other", {{shop, "a=1; Path=/konto"}}, "http://shop.example.de/", ""},
        {"secure_over_https", {{shop, "a=1; Secure"}}, "https://shop.example.de/", "a=1"},
        {"secure_not_over_http", {{shop, "a=1; Secure"}}, "http://shop.example.de/", ""},
        {"replaced", {{shop, "a=1"}, {shop, "a=2"}}, "http://shop.example.de/", "a=2"},
        {"longer_path_first", {{shop, "a=1"}, {shop, "b=2; Path=/a"}}, "http://shop.example.de/a/", "b=2; a=1"},
        {"max_age_zero_deletes", {{shop, "a=1"}, {shop, "a=x; Max-Age=0"}}, "http://shop.example.de/", ""},
        {"past_date_deletes",
         {{shop, "a=1"}, {shop, "a=x; Expires=Thu, 01 Jan 1970 00:00:00 GMT"}},
         "http://shop.example.de/",
         ""},
        {"future_date_kept", {{shop, "a=1; Expires=Wed, 01 Jan 2098 00:00:00 GMT"}}, "http://shop.example.de/", "a=1"},
        {"max_age_over_expires",
         {{shop, "a=1; Max-Age=3600; Expires=Thu, 01 Jan 1970 00:00:00 GMT"}},
         "http://shop.example.de/",
         "a=1"},
        {"bad_date_ignored", {{shop, "a=1; Expires=irgendwann"}}, "http://shop.example.de/", "a=1"},
        {"too_large", {{shop, "a=" + std::string(5000, 'x')}}, "http://shop.example.de/", ""},
        {"no_name", {{shop, "=x"}, {shop, "ohneGleich"}}, "http://shop.example.de/", ""},
        {"control_character", {{shop, std::string("a=1\x01")}}, "http://shop.example.de/", ""},
    };
    for (const StoreCase& c : cases) {
        CookieStore store;
        for (const auto& [url, header] : c.set)
            store.SetCookie(url, header);
        EXPECT_EQ(store.CookieHeader(c.url), c.sent) << c.name;
    }
}

TEST(CookieStore, ASiteCannotFloodTheStore)
{
    Env& env = Env::Get();
    ScriptRun run("s = htget(\"" + env.Url("/manycookies?n=1000") + "\")");
    WebResult r = run.Go();
    EXPECT_EQ(r.var("s"), "200");
    CookieStore& store = *run.run().cookieManager;
    ASSERT_EQ(store.Count(), CookieStore::kMaxPerDomain);
    EXPECT_EQ(store.Items().back().name, "k999") << "the newest cookies stay";
}

// Cookies over the 4,096 bytes, or malformed, are dropped on arrival; the
// page itself and the good cookies beside them still count.
TEST(Cookies, OversizedOrMalformedOnesAreDropped)
{
    Env& env = Env::Get();
    const std::string big = "gross%3D" + std::string(5000, 'x');
    const std::string huge = "riesig%3D" + std::string(60000, 'y');
    ScriptRun run("s = htget(\"" + env.Url("/setcookie?c=" + big + "&c=" + huge + "&c=%3Dohne&c=kaputt&c=gut%3D1") +
                  "\")\ns = htget(\"" + env.Url("/echo") + "\")");
    WebResult r = run.Go();
    EXPECT_EQ(r.var("s"), "200");
    const CookieStore& store = *run.run().cookieManager;
    ASSERT_EQ(store.Count(), 1u);
    EXPECT_EQ(store.Items()[0].name, "gut");
    EXPECT_NE(r.var("rawdata").find("\r\nCookie: gut=1\r\n"), std::string::npos) << r.var("rawdata");
}

TEST(Cookies, FollowRedirectsButStayWithTheirHost)
{
    Env& env = Env::Get();
    SystemStore::Instance().Clear();
    std::string other = "http://localhost:" + std::to_string(env.Port());
    WebResult r = RunWeb("s = htget(\"" + env.Url("/setcookie?c=sid%3D42&to=/echo") + "\")\nhier = rawdata\n"
                         "s = htget(\"" + other + "/echo\")\ndort = rawdata");
    EXPECT_NE(r.var("hier").find("\r\nCookie: sid=42\r\n"), std::string::npos) << r.var("hier");
    EXPECT_EQ(r.var("dort").find("Cookie:"), std::string::npos) << r.var("dort");

    // The shared store has it for its own host alone, as the run sends it.
    SystemStore::Entry e;
    ASSERT_TRUE(SystemStore::Instance().Find("Cookie:127.0.0.1/", e));
    ASSERT_EQ(e.cookies.size(), 1u);
    EXPECT_EQ(e.cookies[0].name + "=" + e.cookies[0].value, "sid=42");
    EXPECT_EQ(SystemStore::Instance().Enumerate("cookie:"), (std::vector<std::string>{"Cookie:127.0.0.1/"}));
}

// What the browser window gets is what the run holds: each cookie with its
// own domain, path, flags and date; what the run drops leaves.
TEST(Cookies, TheSharedStoreHoldsWhatTheRunHolds)
{
    Env& env = Env::Get();
    SystemStore& shared = SystemStore::Instance();
    shared.Clear();
    const std::string set = env.Url("/setcookie?c=sid%3Dgeheim1%3B%20Path%3D/%3B%20HttpOnly"
                                    "&c=adm%3D1%3B%20Path%3D/admin&c=sec%3D1%3B%20Secure%3B%20Max-Age%3D3600"
                                    "&c=weg%3D1&c=bleibt%3D1");
    // The deletion comes with a redirect, whose reply copies nothing: it
    // reaches the shared store with the next 2xx reply.
    ScriptRun run("s = htget(\"" + set + "\")\n"
                  "s = htget(\"" + env.Url("/setcookie?c=weg%3Dx%3B%20Max-Age%3D0&to=/echo") + "\")\n");
    WebResult r = run.Go();
    ASSERT_EQ(r.var("s"), "200");
    std::vector<Cookie> held = run.run().cookieManager->Items();
    for (Cookie& c : held)
        c.path = c.path.empty() ? "/" : c.path;
    EXPECT_EQ(shared.Cookies(), held);
    ASSERT_EQ(held.size(), 4u);
    EXPECT_TRUE(held[0].httpOnly && held[0].hostOnly && held[0].domain == "127.0.0.1");
    EXPECT_EQ(held[1].path, "/admin");
    EXPECT_TRUE(held[2].secure && held[2].expires > std::time(nullptr));
    EXPECT_EQ(held[3].name, "bleibt");

    // Switched off, the run keeps none, and the shared store neither.
    ScriptRun off("s = htget(\"" + set + "\")\ncookies = 0\ns = htget(\"" + env.Url("/echo") + "\")");
    r = off.Go();
    ASSERT_EQ(r.var("s"), "200");
    EXPECT_TRUE(shared.Cookies().empty());
    shared.Clear();
}

// Only what changed goes to the shared store: a cookie set and dropped
// between two copies never was there, and takes nothing with it.
TEST(CookieStore, CopiesChangesOnly)
{
    SystemStore& shared = SystemStore::Instance();
    shared.Clear();
    const std::string url = "http://shop.example.de/";
    ASSERT_TRUE(shared.SetCookie(url, "fremd", "1"));
    CookieStore store;
    store.SetCookie(url, "a=1; Domain=example.de");
    store.SetCookie(url, "b=1");
    store.CopyChanges(shared);
    store.SetCookie(url, "fremd=2");
    store.SetCookie(url, "fremd=; Max-Age=0");
    store.SetCookie(url, "a=; Max-Age=0; Domain=example.de");
    store.SetCookie(url, "b=2");
    store.CopyChanges(shared);
    auto names = [&] {
        std::string out;
        for (const Cookie& c : shared.Cookies())
            out += c.domain + ":" + c.name + "=" + c.value + " ";
        return out;
    };
    EXPECT_EQ(names(), "shop.example.de:fremd=1 shop.example.de:b=2 ");

    // A purge of a domain above the run's cookies: they go there again.
    EXPECT_EQ(shared.DeleteDomain("cookie:", "de"), 1u);
    store.Recopy("de");
    store.CopyChanges(shared);
    EXPECT_EQ(names(), "shop.example.de:b=2 ");
    shared.Clear();
}

TEST(Cookies, SwitchedOffTheStoreIsEmptiedAndNothingIsSent)
{
    Env& env = Env::Get();
    ScriptRun run("s = htget(\"" + env.Url("/setcookie?c=a%3D1&c=b%3D2&c=c%3D3&c=d%3D4") + "\")\n"
                  "cookies = 0\ns = htget(\"" + env.Url("/setcookie?c=e%3D5&to=/echo") + "\")\naus = rawdata\n"
                  "cookies = 1\ns = htget(\"" + env.Url("/echo") + "\")\nwieder = rawdata");
    WebResult r = run.Go();
    EXPECT_EQ(r.var("aus").find("Cookie:"), std::string::npos) << r.var("aus");
    EXPECT_EQ(r.var("wieder").find("Cookie:"), std::string::npos) << "switching back starts empty";
    EXPECT_EQ(run.run().cookieManager->Count(), 0u);
}

TEST(Cookies, TheFirstRequestOfADomainPurgesItsEntriesOnce)
{
    Env& env = Env::Get();
    SystemStore& store = SystemStore::Instance();
    store.Clear();
    ASSERT_TRUE(store.SetCookie("http://127.0.0.1/alt", "alt", "1"));
    store.AddVisited("http://127.0.0.1:8080/frueher.html");
    ASSERT_TRUE(store.SetCookie("http://x0.1/", "fremd", "1"));  // another site ending in the same letters
    ASSERT_TRUE(store.SetCookie("http://localhost/", "fremd", "1"));

    // The second reply is an error and copies nothing.
    WebResult r = RunWeb("s = htget(\"" + env.Url("/setcookie?c=sid%3D7") + "\")\ns = htget(\"" +
                         env.Url("/status?code=404") + "\")");
    EXPECT_EQ(r.var("s"), "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(r.notes.empty()) << "a pattern without entries needs no note";
    // The cookie copy of the first reply survives the second request: the
    // domain was purged once, before the first.
    EXPECT_EQ(store.Enumerate("cookie:"),
              (std::vector<std::string>{"Cookie:127.0.0.1/", "Cookie:localhost/", "Cookie:x0.1/"}));
    SystemStore::Entry e;
    ASSERT_TRUE(store.Find("Cookie:127.0.0.1/", e));
    ASSERT_EQ(e.cookies.size(), 1u);
    EXPECT_EQ(e.cookies[0].name + "=" + e.cookies[0].value, "sid=7");
    EXPECT_TRUE(store.Enumerate("visited:").empty());
    store.Clear();
}

}  // namespace

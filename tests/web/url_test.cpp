#include <gtest/gtest.h>

#include "web/web_access.h"

namespace {

struct UrlCase {
    const char* base;
    const char* href;
    const char* expected;
};

class ResolveUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(ResolveUrl, GivesTheFullUrl)
{
    const UrlCase& c = GetParam();
    EXPECT_EQ(WebAccess::resolveUrl(c.base, c.href), c.expected) << "base " << c.base << ", href " << c.href;
}

INSTANTIATE_TEST_SUITE_P(Cases, ResolveUrl, ::testing::Values(
    // Relative to the directory, the host, the scheme; empty href.
    UrlCase{"x://h/a/b.html", "c.html", "x://h/a/c.html"},
    UrlCase{"x://h/a/b.html", "/d", "x://h/d"},
    UrlCase{"x://h/a/b.html", "//g/y", "x://g/y"},
    UrlCase{"x://h/a/b.html", "", "x://h/a/b.html"},
    // No normalisation: dot segments stay.
    UrlCase{"x://h/a/b.html", "../e", "x://h/a/../e"},
    // A query alone replaces the base's query and keeps its file name; a
    // fragment alone is the page itself.
    UrlCase{"x://h/a/b.html", "?q=1", "x://h/a/b.html?q=1"},
    UrlCase{"x://h/a/b.html?r=2#f", "?q=1", "x://h/a/b.html?q=1"},
    UrlCase{"x://h/a/b.html", "#top", "x://h/a/b.html#top"},
    UrlCase{"x://h/a/b.html?r=/y/z#f", "#top", "x://h/a/b.html?r=/y/z#top"},
    UrlCase{"x://h", "?q=1", "x://h?q=1"},
    // Absolute: a colon among the first nine characters, before any "//".
    UrlCase{"x://h/a/b.html", "mailto:u", "mailto:u"},
    UrlCase{"x://h/a/b.html", "https://o.test/p", "https://o.test/p"},
    UrlCase{"x://h/a/b.html", "p?t=1:2", "p?t=1:2"},
    UrlCase{"x://h/a/b.html", "p.php?t=1:2", "x://h/a/p.php?t=1:2"},
    UrlCase{"x://h/a/b.html", "javascript:go()", "x://h/a/javascript:go()"},
    UrlCase{"x://h/a/b.html", "p?u=//h:1", "x://h/a/p?u=//h:1"},
    // Bases without a path, with a port, empty.
    UrlCase{"x://h", "c.html", "x://h/c.html"},
    UrlCase{"x://h/", "c.html", "x://h/c.html"},
    UrlCase{"http://h:8080/a/", "c", "http://h:8080/a/c"},
    UrlCase{"http://h:8080/a/", "/c", "http://h:8080/c"},
    UrlCase{"", "c.html", "//c.html"},
    // The directory ends at the path's last "/": a "/" in the query or the
    // fragment is none, and the host ends before a query.
    UrlCase{"x://h:81/a/b.php?r=/y/z", "c.html", "x://h:81/a/c.html"},
    UrlCase{"x://h:81/a/b.php?r=/y/z", "?q=1", "x://h:81/a/b.php?q=1"},
    UrlCase{"x://h/rq/start?next=/a/b", "c", "x://h/rq/c"},
    UrlCase{"x://h/a/b.html#s/t", "c.html", "x://h/a/c.html"},
    UrlCase{"x://h?next=/b/c", "c.html", "x://h/c.html"},
    UrlCase{"x://h?next=/b/c", "/d", "x://h/d"},
    UrlCase{"x://h/a/p.php?next=/b/c", "/x", "x://h/x"},
    UrlCase{"x://h/a/p.php?next=/b/c", "//g/y", "x://g/y"}));

}  // namespace

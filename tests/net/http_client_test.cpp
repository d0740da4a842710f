// The HTTP client layer against the local servers: the exact bytes it sends,
// keep-alive and the connection events, its error texts, and that no bad
// reply costs it its connection or a file descriptor.
#include <dirent.h>

#include "http_fixture.h"

namespace {

using httptest::Env;

struct Recorder : HttpIntercept {
    std::vector<std::string> events;
    void Connected() override { events.push_back("connected"); }
    void Disconnected() override { events.push_back("disconnected"); }
    void Sent(std::string_view c) override { events.push_back("sent:" + std::string(c)); }
    void Received(std::string_view c) override { events.push_back("recv:" + std::string(c)); }
};

HttpReply Get(HttpClient& c, const std::string& url, std::string* body = nullptr)
{
    HttpRequest r;
    r.url = url;
    r.userAgent = "Testlauf/1.0";
    r.bodyBuffer = body;
    return c.Perform(r);
}

int OpenFds()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

TEST(HttpClient, SendsExactlyTheseRequestBytes)
{
    Env& env = Env::Get();
    HttpClient c;
    std::string body;
    HttpReply r = Get(c, env.Url("/echo?a=1"), &body);
    ASSERT_TRUE(r.ok) << r.error;
    std::string host = "127.0.0.1:" + std::to_string(env.Port());
    EXPECT_EQ(body, "GET /echo?a=1 HTTP/1.1\r\nHost: " + host +
                        "\r\nUser-Agent: Testlauf/1.0\r\nAccept: text/html, */*\r\nConnection: Keep-Alive\r\n\r\n");

    HttpRequest post;
    post.url = env.Url("/echo");
    post.post = true;
    post.body = "a=b&c=%20";
    post.userAgent = "Testlauf/1.0";
    body.clear();
    post.bodyBuffer = &body;
    r = c.Perform(post);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(body, "POST /echo HTTP/1.1\r\nHost: " + host +
                        "\r\nUser-Agent: Testlauf/1.0\r\nAccept: text/html, */*\r\nConnection: Keep-Alive\r\n"
                        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 9\r\n\r\na=b&c=%20");
}

TEST(HttpClient, BlanksAndControlsOfAUrlArePercentEncodedEightBitBytesAreNot)
{
    HttpClient c;
    std::string body;
    HttpReply r = Get(c, Env::Get().Url("/echo?q=a b\xFC\t\x7F%41"), &body);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(body.substr(0, body.find("\r\n")), "GET /echo?q=a%20b\xFC%09%7F%41 HTTP/1.1");
}

TEST(HttpClient, KeepsTheConnectionAndReportsItsEvents)
{
    Env& env = Env::Get();
    HttpClient c;
    Recorder rec;
    c.intercept = &rec;
    std::string first, second;
    ASSERT_TRUE(Get(c, env.Url("/conn"), &first).ok);
    ASSERT_TRUE(Get(c, env.Url("/conn"), &second).ok);
    EXPECT_EQ(first, second) << "the second request went over a new connection";

    ASSERT_EQ(rec.events.size(), 7u);
    EXPECT_EQ(rec.events[0], "connected");
    EXPECT_EQ(rec.events[1].rfind("sent:GET /conn HTTP/1.1\r\n", 0), 0u);
    // The reply's header block arrives as one chunk, the body as the next.
    EXPECT_EQ(rec.events[2], "recv:HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                 std::to_string(first.size()) + "\r\n\r\n");
    EXPECT_EQ(rec.events[3], "recv:" + first);
    EXPECT_EQ(rec.events[4].rfind("sent:GET /conn", 0), 0u);

    // A server that closes is seen closing.
    rec.events.clear();
    (void)Get(c, env.Url("/close"));
    EXPECT_NE(std::find(rec.events.begin(), rec.events.end(), "disconnected"), rec.events.end());
}

TEST(HttpClient, RepliesOutside2xxAreErrorsWithTheirStatusLine)
{
    Env& env = Env::Get();
    HttpClient c;
    std::string body;
    HttpReply r = Get(c, env.Url("/status?code=404"), &body);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 404);
    EXPECT_EQ(r.error, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(body, "") << "an error reply's body is not handed on";

    r = Get(c, env.Url("/redirect?to=/elsewhere&code=301"), &body);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "HTTP/1.1 301 Found");
    EXPECT_EQ(r.location, "/elsewhere");

    // A Location makes even a 2xx reply a redirect.
    r = Get(c, env.Url("/redirect?to=/x&code=200"), &body);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.location, "/x");

    r = Get(c, env.Url("/status?code=204"), &body);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.code, 204);
}

// Each bad input ends with an error text, and the client goes on working
// over a healthy connection afterwards.
TEST(HttpClient, BadRepliesEndInAnErrorAndCostNothing)
{
    Env& env = Env::Get();
    struct Case {
        std::string url;
        std::string errorStart;
    } cases[] = {
        {"http://127.0.0.1:1/", "Socket-Fehler # 111\r\n"},
        {env.Url("/hang"), W("Zeitüberschreitung beim Lesen")},
        {env.Url("/slowbody"), W("Zeitüberschreitung beim Lesen")},
        {env.Url("/closemid"), W("Verbindung während der Antwort geschlossen")},
        {env.Url("/close"), "Verbindung ohne Antwort geschlossen"},
        {env.Url("/badchunk"), W("Fehlerhafte Antwort: ungültige Chunked-Kodierung")},
        {env.Url("/reset"), W("Übertragungsfehler: Verbindung von der Gegenseite zurückgesetzt")},
        {env.Url("/raw?r=XYZZY"), W("Fehlerhafte Antwort: keine gültige HTTP-Statuszeile")},
        // A folded line before any header, after replies on the same client.
        {env.Url("/raw?r=HTTP/1.1%20200%20OK%0D%0A%09X:%20y%0D%0AContent-Length:%202%0D%0A%0D%0Aok"),
         W("Fehlerhafte Antwort: ungültige Kopfzeile")},
        {env.Url("/bigheader"), "Fehlerhafte Antwort: Kopfzeile zu lang"},
        {env.Url("/endless"), W("Antwort zu groß: mehr als 1048576 Bytes")},
        {env.Url("/big?mb=3"), W("Antwort zu groß: mehr als 1048576 Bytes")},
        {"file:///etc/passwd", W("Protokoll nicht unterstützt")},
        {"ftp://127.0.0.1/x", W("Protokoll nicht unterstützt")},
        {"dict://127.0.0.1:" + std::to_string(env.Port()) + "/d:x", W("Protokoll nicht unterstützt")},
        {"gopher://127.0.0.1:" + std::to_string(env.Port()) + "/", W("Protokoll nicht unterstützt")},
    };
    HttpClient c;
    c.readTimeoutMs = 1000;
    c.maxBodySize = 1 << 20;
    std::string warmup;
    ASSERT_TRUE(Get(c, env.Url("/conn"), &warmup).ok);
    int fds = OpenFds();
    for (const Case& k : cases) {
        std::string body;
        HttpReply r = Get(c, k.url, &body);
        EXPECT_FALSE(r.ok) << k.url;
        EXPECT_EQ(r.error.substr(0, k.errorStart.size()), k.errorStart) << k.url << ": " << r.error;
        std::string after;
        HttpReply next = Get(c, env.Url("/page?body=ok"), &after);
        EXPECT_TRUE(next.ok) << "after " << k.url << ": " << next.error;
        EXPECT_EQ(after, "ok");
    }
    EXPECT_LE(OpenFds(), fds + 1) << "connections or files were left open";
}

TEST(HttpClient, TheStopEndsARequestThatHangs)
{
    HttpClient c;
    c.readTimeoutMs = 20000;
    c.abortGraceMs = 200;
    std::atomic<bool> stop{false};
    c.abortFlag = &stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    auto t0 = std::chrono::steady_clock::now();
    HttpReply r = Get(c, Env::Get().Url("/hang"));
    stopper.join();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Abbruch durch den Benutzer");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST(HttpClient, TlsAsksTheHookForEveryCertificate)
{
    Env& env = Env::Get();
    ASSERT_NE(env.TlsPort(), 0) << "no HTTPS server (openssl missing?)";
    int asked = 0;
    HttpClient c;
    c.onVerifyPeer = [&] {
        ++asked;
        return true;
    };
    std::string body;
    HttpReply r = Get(c, env.TlsUrl("/page?body=sicher"), &body);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(body, "sicher");
    EXPECT_GE(asked, 1);

    body.clear();
    r = Get(c, "https://127.0.0.1:" + std::to_string(env.ExpiredTlsPort()) + "/page?body=alt", &body);
    EXPECT_TRUE(r.ok) << "an expired certificate is accepted as well: " << r.error;
    EXPECT_EQ(body, "alt");

    HttpClient strict;
    strict.onVerifyPeer = [] { return false; };
    r = Get(strict, env.TlsUrl("/page"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.rfind("SSL-Fehler: ", 0), 0u) << r.error;
}

}  // namespace

// The fetch as scripts see it: status texts, data and rawdata, base and _url,
// redirects, charsets, target files, and bad replies that must leave the
// previous page alone.
#include "http_fixture.h"

namespace {

using httptest::Env;
using httptest::ScriptRun;
using httptest::RunWeb;
using httptest::WebResult;

// Percent-encodes everything but letters and digits, for query values.
std::string Enc(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string PageUrl(const std::string& body, const std::string& ct = "text/html")
{
    return Env::Get().Url("/page?body=" + Enc(body) + "&ct=" + Enc(ct));
}

TEST(Fetch, BodyLinesBecomeDataAndRawdata)
{
    struct Case {
        std::string body, data, rawdata;
    } cases[] = {
        {"a\nb", "a b ", "a\r\nb\r\n"},
        {"a\r\nb\r\n", "a b ", "a\r\nb\r\n"},
        {"eins", "eins ", "eins\r\n"},
        // LF CR is two line ends; CR LF one.
        {"a\n\rb", "a  b ", "a\r\n\r\nb\r\n"},
        {"a\r\rb\n\n", "a  b  ", "a\r\n\r\nb\r\n\r\n"},
    };
    for (const Case& c : cases) {
        std::string url = PageUrl(c.body);
        WebResult r = RunWeb("s = htget(\"" + url + "\")");
        EXPECT_EQ(r.var("s"), "200") << c.body;
        EXPECT_EQ(r.var("data"), c.data) << c.body;
        EXPECT_EQ(r.var("rawdata"), c.rawdata) << c.body;
        EXPECT_EQ(r.var("base"), url.substr(0, url.find('?')));
        EXPECT_EQ(r.var("_url"), url);
    }

    // A NUL byte ends the text.
    WebResult r = RunWeb("s = htget(\"" + Env::Get().Url("/nul") + "\")");
    EXPECT_EQ(r.var("data"), "vor der ");
    EXPECT_EQ(r.var("rawdata"), "vor\r\nder\r\n");
}

TEST(Fetch, ALargeBodyArrivesWhole)
{
    WebResult r = RunWeb("s = htget(\"" + Env::Get().Url("/big?mb=50") + "\")\nn = length(data)\nm = length(rawdata)");
    ASSERT_EQ(r.var("s"), "200");
    const size_t lines = 50 * 10486;
    EXPECT_EQ(r.var("n"), std::to_string(lines * 100));
    EXPECT_EQ(r.var("m"), std::to_string(lines * 101));
}

// After each bad reply the status tells what happened, while data, rawdata,
// base and the links of the page before stay; only the forms are gone.
TEST(Fetch, FailuresKeepThePreviousPage)
{
    Env& env = Env::Get();
    env.Page("vorher.html", "<html><body><form action=\"x\"><input name=\"f\"></form>"
                            "<a href=\"/echo\">Echo</a></body></html>");
    struct Case {
        std::string url, status;
        bool twoHundred = false;  // a 2xx reply without a body to take: base moves on
    } cases[] = {
        {env.Url("/status?code=404"), "HTTP/1.1 404 Not Found"},
        {env.Url("/status?code=500"), "HTTP/1.1 500 Internal Server Error"},
        {"http://127.0.0.1:1/", "Verbindung abgelehnt"},
        {env.Url("/reset"), W("Übertragungsfehler: Verbindung von der Gegenseite zurückgesetzt")},
        // A TLS handshake that the server never answers.
        {"https://127.0.0.1:" + std::to_string(env.Port()) + "/hang", W("Zeitüberschreitung beim TLS-Verbindungsaufbau")},
        // Replies that are not HTTP: no status line, HTTP/0.9, a code of eleven digits.
        {env.Url("/raw?r=" + Enc("XYZZY 200 OK\r\n\r\nx")), W("Fehlerhafte Antwort: keine gültige HTTP-Statuszeile")},
        {env.Url("/raw?r=" + Enc("<html>alt</html>\n")), W("Fehlerhafte Antwort: keine gültige HTTP-Statuszeile")},
        {env.Url("/raw?r=" + Enc("HTTP/1.1 20000000000 OK\r\nContent-Length: 2\r\n\r\nok")),
         W("Fehlerhafte Antwort: keine gültige HTTP-Statuszeile")},
        {env.Url("/manycookies?n=20000"), "Fehlerhafte Antwort: Kopfzeilen zu lang"},
        {env.Url("/hang"), W("Zeitüberschreitung beim Lesen")},
        {env.Url("/closemid"), W("Verbindung während der Antwort geschlossen")},
        {env.Url("/badchunk"), W("Fehlerhafte Antwort: ungültige Chunked-Kodierung")},
        {env.Url("/bigheader"), "Fehlerhafte Antwort: Kopfzeile zu lang"},
        {env.Url("/endless"), W("Antwort zu groß: mehr als 1048576 Bytes")},
        {env.Url("/status?code=204"), "204", true},
        {"file:///etc/passwd", W("Protokoll nicht unterstützt (nur http und https): file:///etc/passwd")},
        // A server's redirect cannot make the run read a local file either.
        {env.Url("/redirect?to=" + Enc("file:///etc/passwd")),
         W("Protokoll nicht unterstützt (nur http und https): file:///etc/passwd")},
        {env.Url("/redirect?to=" + Enc("dict://127.0.0.1:" + std::to_string(env.Port()) + "/d:x")),
         W("Protokoll nicht unterstützt (nur http und https): dict://127.0.0.1:") + std::to_string(env.Port()) +
             "/d:x"},
        {env.Url("/loop"), "HTTP/1.1 302 Found"},
        {env.Url("/close"), "Verbindung ohne Antwort geschlossen"},
        {env.Url("/big?mb=3"), W("Antwort zu groß: mehr als 1048576 Bytes")},
        // The status line as sent, a trailing blank included.
        {env.Url("/status?line=" + Enc("418 Teekanne ")), "HTTP/1.1 418 Teekanne "},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb("s = htget(\"" + env.Url("/file?name=vorher.html") +
                              "\")\nd = data\nrd = rawdata\nb = base\nf = formget(1, \"f\")\n"
                              "s = htget(\"" +
                              c.url + "\")\nx = formget(1, \"f\")\nformset(1, \"f\", \"y\")",
                          [](ScriptRun& run) {
                              run.host.s.httpTimeout = 1;
                              run.prepare = [](Skript& s) { s.http->maxBodySize = 1 << 20; };
                          });
        EXPECT_EQ(r.var("s"), c.status) << c.url;
        EXPECT_EQ(r.var("data"), r.var("d")) << c.url;
        EXPECT_EQ(r.var("rawdata"), r.var("rd")) << c.url;
        EXPECT_EQ(r.var("base"), c.twoHundred ? env.Url("/status") : r.var("b")) << c.url;
        // formset of a form that is gone ends the run on the last line.
        EXPECT_EQ(r.errLine, 8) << c.url;
        EXPECT_EQ(r.errMsg, "formset: Unbekanntes Formular (Nummer '1')") << c.url;
    }

    // The links survive a failed fetch: follow still finds them.
    WebResult r = RunWeb("s = htget(\"" + env.Url("/file?name=vorher.html") + "\")\ns = htget(\"" +
                      env.Url("/status?code=404") + "\")\ns = follow(\"echo\")\nd = data");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(r.var("d").rfind("GET /echo HTTP/1.1", 0), 0u);
}

TEST(Fetch, RedirectsAreFollowedUpToTheLimit)
{
    Env& env = Env::Get();
    env.TakeRequests();
    WebResult r = RunWeb("s = htget(\"" + env.Url("/loop") + "\")");
    EXPECT_EQ(r.var("s"), "HTTP/1.1 302 Found");
    EXPECT_EQ(r.var("_url"), env.Url("/loop?n=5"));
    EXPECT_EQ(r.notes, std::vector<std::string>{W(
                           "Abbruch nach 5 Redirects. (Vergrößern Sie den Wert bei Bedarf in den Einstellungen)")});
    EXPECT_EQ(env.TakeRequests().size(), 6u);

    // A chain that ends within the limit gives the last page; base and _url
    // name it.
    r = RunWeb("s = htget(\"" + env.Url("/redirect?to=" + Enc("/redirect?to=" + Enc("/page?body=ziel"))) + "\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(r.var("data"), "ziel ");
    EXPECT_EQ(r.var("_url"), env.Url("/page?body=ziel"));
    EXPECT_EQ(r.var("base"), env.Url("/page"));
    EXPECT_TRUE(r.notes.empty());
}

TEST(Fetch, WithoutALimitOnlyTheStopEndsALoop)
{
    Env& env = Env::Get();
    env.TakeRequests();
    ScriptRun run("s = htget(\"" + env.Url("/loop") + "\")\nprint(\"weiter\")");
    run.host.s.maxRedirects = 0;
    run.stopAfter = std::chrono::milliseconds(700);
    WebResult r = run.Go();
    EXPECT_TRUE(run.run().stop);
    EXPECT_EQ(r.notes, std::vector<std::string>{"Abbruch durch Benutzer."});
    EXPECT_GT(env.TakeRequests().size(), 6u);
    EXPECT_EQ(r.var("s"), "HTTP/1.1 302 Found");
}

TEST(Fetch, RedirectTargetsLoseTheFirstPort443And80BeforeASlash)
{
    Env& env = Env::Get();
    std::string here = "127.0.0.1:" + std::to_string(env.Port());
    struct Case {
        std::string location, url;
    } cases[] = {
        {"https://127.0.0.1:443/x", "https://127.0.0.1/x"},
        {"http://127.0.0.1:80/x", "http://127.0.0.1/x"},
        // The rule looks at the text only: not at the scheme, nor at where
        // the port stands.
        {"http://127.0.0.1:443/x", "http://127.0.0.1/x"},
        {"https://127.0.0.1:80/x", "https://127.0.0.1/x"},
        {"/page?p=http://h:80/", "http://" + here + "/page?p=http://h/"},
        {"http://127.0.0.1:443/x?a=:443/&b=:80/", "http://127.0.0.1/x?a=:443/&b=/"},
        {"http://127.0.0.1:8080/x", "http://127.0.0.1:8080/x"},
        {"http://127.0.0.1:80", "http://127.0.0.1:80"},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb("s = htget(\"" + env.Url("/redirect?to=" + Enc(c.location)) + "\")",
                             [](ScriptRun& run) { run.host.s.httpTimeout = 1; });
        EXPECT_EQ(r.var("_url"), c.url) << c.location;
    }
}

// A relative Location is resolved against the URL just requested, whose
// directory ends at its path's last "/": a "/" in the query is none, so the
// login redirect's c.html goes next to the page, not into its query.
TEST(Fetch, ARelativeRedirectTakesTheDirectoryOfThePathAlone)
{
    Env& env = Env::Get();
    env.TakeRequests();
    WebResult r = RunWeb("s = htget(\"" + env.Url("/redirect?r=/y/z&to=c.html") + "\")");
    EXPECT_EQ(r.var("_url"), env.Url("/c.html"));
    std::vector<std::string> requests = env.TakeRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].rfind("GET /c.html HTTP/1.1\r\n", 0), 0u) << requests[1];
}

TEST(Fetch, APostAnsweredByARedirectGoesOnWithAGet)
{
    Env& env = Env::Get();
    WebResult r = RunWeb("debug = 1\ns = htpost(\"" + env.Url("/redirect?to=/echo&code=303") + "\", \"a=b\")");
    EXPECT_EQ(r.var("s"), "200");
    std::string echo = r.var("rawdata");
    EXPECT_EQ(echo.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << echo;
    EXPECT_EQ(echo.find("Content-Type"), std::string::npos);
    EXPECT_EQ(echo.find("a=b"), std::string::npos);
    const auto& out = r.output;
    EXPECT_NE(std::find(out.begin(), out.end(), "post(" + env.Url("/redirect?to=/echo&code=303") + ")..."), out.end());
    EXPECT_NE(std::find(out.begin(), out.end(), "http-get: Response-Code=200"), out.end());

    // Any reply with a Location is a redirect, a 200 too.
    r = RunWeb("s = htget(\"" + env.Url("/redirect?code=200&to=" + Enc("/page?body=dort")) + "\")");
    EXPECT_EQ(r.var("data"), "dort ");
}

TEST(Fetch, CharsetOfHeaderOrMetaDecidesTheConversionOfData)
{
    const std::string gruss = "Gr\xC3\xBC\xC3\x9F" "e";  // UTF-8
    const std::string meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    struct Case {
        std::string body, ct;
        bool converted;
    } cases[] = {
        {gruss, "text/html; charset=UTF-8", true},
        {gruss, "text/html; charset=\"utf-8\"", false},
        {gruss, "text/html", false},
        {meta + gruss, "text/html", true},
        // A charset of the header counts over any of the page.
        {meta + gruss, "text/html; charset=ISO-8859-1", false},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb("s = htget(\"" + PageUrl(c.body, c.ct) + "\")");
        std::string want = c.converted ? (c.body.substr(0, c.body.size() - gruss.size()) + "Gr\xFC\xDF" "e ")
                                       : c.body + " ";
        EXPECT_EQ(r.var("data"), want) << c.ct;
        EXPECT_EQ(r.var("rawdata"), c.body + "\r\n") << "rawdata is never converted";
    }
}

TEST(Fetch, ATargetFileTakesTheBody)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    std::string file = dir.path() + "/seite.html";
    WebResult r = RunWeb("d = htget(\"" + PageUrl("alt") + "\")\ns = htget(\"" +
                      env.Url("/redirect?to=" + Enc("/page?body=" + Enc("neu\nzwei"))) + "\", \"" + file + "\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(ReadFile(file), "neu\nzwei") << "the file holds the last body of the chain";
    EXPECT_EQ(r.var("data"), "");
    EXPECT_EQ(r.var("rawdata"), "");

    // The script's Windows-1252 name is made in the system's UTF-8.
    r = RunWeb("s = htget(\"" + PageUrl("a;b") + "\", \"" + dir.path() + "/Geb\xFChren.csv\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(ReadFile(dir.path() + "/Geb\xC3\xBChren.csv"), "a;b");

    // A file that cannot be made ends the run before anything is sent.
    env.TakeRequests();
    r = RunWeb("print(\"vorher\")\ns = htget(\"" + env.Url("/echo") + "\", \"" + dir.path() +
            "/fehlt/x.html\")\nprint(\"nie\")");
    EXPECT_EQ(r.errLine, 2);
    EXPECT_EQ(r.errMsg, "Datei-Schreibfehler: Datei oder Ordner nicht gefunden");
    EXPECT_TRUE(env.TakeRequests().empty());

    // A full disk is named as such.
    r = RunWeb("s = htget(\"" + env.Url("/big?mb=1") + "\", \"/dev/full\")");
    EXPECT_EQ(r.var("s"), W("Datei-Schreibfehler: Kein freier Platz auf dem Datenträger"));
}

TEST(Fetch, HttpsWithAnyCertificate)
{
    Env& env = Env::Get();
    ASSERT_NE(env.TlsPort(), 0);
    WebResult r = RunWeb("s = htget(\"" + env.TlsUrl("/page?body=sicher") + "\")\nt = htget(\"https://127.0.0.1:" +
                      std::to_string(env.ExpiredTlsPort()) + "/page?body=alt\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(r.var("t"), "200");
    EXPECT_EQ(r.var("data"), "alt ");
}

}  // namespace

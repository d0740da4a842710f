// Form submission and the web built-ins: the escaping table, the exact bytes
// a submitted form sends, follow, and the run errors of bad calls.
#include "http_fixture.h"

namespace {

using httptest::Env;
using httptest::RunWeb;
using httptest::WebResult;

TEST(EncodeValue, EscapesTheTableHashAndBytesAbove127)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"a=b&c", "a%3Db%26c"},
        {" &+,/:;<=>?", "%20%26%2B%2C%2F%3A%3B%3C%3D%3E%3F"},
        {"100% #1 \"x\" 'y'", "100%%20%231%20\"x\"%20'y'"},
        {"M\xFCller\t\x01\x7F\x80\xFF", "M%FCller\t\x01\x7F%80%FF"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Skript::encodeValue(c.in), c.out) << c.in;
}

const char* kFormPage = R"(<html><body>
<form action="/echo" method="POST" name="f1">
<input type="text" name="name" value="Anna Maria">
<input type="hidden" name="q" value="a=b&amp;c">
<input type="checkbox" name="cb" value="ja" checked>
<input type="checkbox" name="cb2" value="nein">
<input type="radio" name="r" value="1">
<input type="radio" name="r" value="2" checked>
<input type="submit" name="ok" value="Senden">
<input type="submit" name="ab" value="Abbrechen">
<input type="image" name="go" value="bild">
<textarea name="t">x%y</textarea>
</form>
<form action="/echo?fest=1">
<input name="w" value="1 2">
<input type="submit" name="s" value="Los">
</form>
</body></html>
)";

std::string Request(const std::string& start, const std::string& body = "")
{
    std::string host = "127.0.0.1:" + std::to_string(Env::Get().Port());
    std::string r = start + " HTTP/1.1\r\nHost: " + host +
                    "\r\nUser-Agent: Skimlark\r\nAccept: text/html, */*\r\nConnection: Keep-Alive\r\n";
    if (start.rfind("POST", 0) == 0)
        r += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\n";
    return r + "\r\n" + body;
}

TEST(Submit, SendsTheChosenButtonAndTheCheckedFields)
{
    Env& env = Env::Get();
    env.Page("form.html", kFormPage);
    httptest::TempDir dir;
    const std::string page = env.Url("/file?name=form.html");
    const std::string fields = "name=Anna%20Maria&q=a%3Db%26c&cb=ja&r=2";
    struct Case {
        std::string call, request;
    } cases[] = {
        {"submit(1, F)", Request("POST /echo", fields + "&ok=Senden&t=x%y")},
        {"submit(1, F, 2)", Request("POST /echo", fields + "&ab=Abbrechen&t=x%y")},
        {"submit(1, F, 3)", Request("POST /echo", fields + "&go=bild&go.x=10&go.y=10&t=x%y")},
        {"submit(1, F, 4)", Request("POST /echo", fields + "&t=x%y")},
        // A field that formset had to create goes last.
        {"formset(1, \"neu\", \"ja nein\")\ns = submit(1, F, 4)", Request("POST /echo", fields + "&t=x%y&neu=ja%20nein")},
        {"formset(1, \"r\", \"1\")\nformset(1, \"cb\", \"\")\ns = submit(1, F, 4)",
         Request("POST /echo", "name=Anna%20Maria&q=a%3Db%26c&r=1&t=x%y")},
        // The action's query gets a second "?".
        {"submit(2, F)", Request("GET /echo?fest=1?w=1%202&s=Los")},
        // Umlauts go out escaped, as the page's single bytes, in a query as in a body.
        {"formset(2, \"w\", \"M\xFCller \xE4\")\ns = submit(2, F)", Request("GET /echo?fest=1?w=M%FCller%20%E4&s=Los")},
        {"formset(1, \"t\", \"\xDF\")\ns = submit(1, F, 4)", Request("POST /echo", fields + "&t=%DF")},
    };
    for (const Case& c : cases) {
        std::string file = dir.path() + "/antwort.txt";
        WebResult r = RunWeb("F = \"" + file + "\"\ns = htget(\"" + page + "\")\ns = " + c.call);
        EXPECT_EQ(r.var("s"), "200") << c.call;
        EXPECT_EQ(ReadFile(file), c.request) << c.call;
    }

    WebResult r = RunWeb("s = htget(\"" + page + "\")\ns = submit(1)\npost = _url\ns = htget(\"" + page +
                         "\")\ns = submit(2)\nget = _url");
    EXPECT_EQ(r.var("post"), env.Url("/echo"));
    EXPECT_EQ(r.var("get"), env.Url("/echo?fest=1?w=1%202&s=Los"));
}

TEST(Submit, AFormMadeByTheScript)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    std::string file = dir.path() + "/antwort.txt";
    WebResult r = RunWeb("formcreate(3, \"post\", \"" + env.Url("/echo") +
                         "\")\nformset(3, \"a\", \"b c\")\nformset(3, \"item[2]\", \"x\")\n"
                         "v = formget(3, \"item\")[2]\nformdel(3, \"item\")[2]\nw = formget(3, \"item\")[2]\n"
                         "s = submit(3, \"" + file + "\")");
    EXPECT_EQ(r.var("v"), "x");
    EXPECT_EQ(r.var("w"), "");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(ReadFile(file), Request("POST /echo", "a=b%20c"));
}

TEST(Submit, ButtonElementsAndListsOfSeveralOptions)
{
    Env& env = Env::Get();
    env.Page("arten.html", "<html><body><form action=\"/echo\" method=\"post\">\n"
                           "<select name=\"m\" multiple><option value=\"1\" selected>eins<option>zwei"
                           "<option value=\"3\" selected>drei</select>\n"
                           "<button type=\"button\" name=\"nie\" value=\"1\">Nichts</button>\n"
                           "<input type=\"reset\" name=\"weg\" value=\"x\">\n"
                           "<button name=\"aktion\" value=\"speichern\">Speichern</button>\n"
                           "<button name=\"aktion\" value=\"loeschen\" type=\"submit\">Entfernen</button>\n"
                           "</form></body></html>");
    httptest::TempDir dir;
    const std::string file = dir.path() + "/antwort.txt";
    const std::string page = env.Url("/file?name=arten.html");
    struct Case {
        std::string set, button, m, body;
    } cases[] = {
        // Every chosen option by itself; a plain or reset button never.
        {"", "1", "1,3", "m=1&m=3&aktion=speichern"},
        {"", "2", "1,3", "m=1&m=3&aktion=loeschen"},
        {"", "3", "1,3", "m=1&m=3"},
        // formset chooses the options of a comma list; an option without a
        // value goes by its text.
        {"formset(1, \"m\", \"zwei,3\")", "1", "zwei,3", "m=zwei&m=3&aktion=speichern"},
        {"formset(1, \"m\", \"\")", "1", "", "aktion=speichern"},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb("s = htget(\"" + page + "\")\n" + c.set + "\nm = formget(1, \"m\")\ns = submit(1, \"" +
                             file + "\", " + c.button + ")");
        EXPECT_EQ(r.var("s"), "200") << c.set << c.button;
        EXPECT_EQ(r.var("m"), c.m) << c.set << c.button;
        EXPECT_EQ(ReadFile(file), Request("POST /echo", c.body)) << c.set << c.button;
    }
}

TEST(Follow, ByNumberOrByTheLastEqualText)
{
    Env& env = Env::Get();
    env.Page("links.html", "<html><body><a href=\"/page?body=eins\">Weiter</a>"
                           "<a href=\"page?body=zwei\"> WEITER </a><a href=\"/page?body=drei\">Drei</a>"
                           "<a href=\"\">Leer</a></body></html>");
    const std::string page = env.Url("/file?name=links.html");
    struct Case {
        std::string arg, status, data;
    } cases[] = {
        {"\"weiter\"", "200", "zwei "},
        {"3", "200", "drei "},
        {"\"3 Drei\"", "200", "drei "},
        {"\"0\"", "Fehler: Link '0' nicht gefunden.", ""},
        {"\"nichts\"", "Fehler: Link 'nichts' nicht gefunden.", ""},
        {"9", "Fehler: Link '9' gesucht, aber nur 4 Link(s) auf der Seite.", ""},
        {"\"-1\"", "Fehler: Link '-1' gesucht, aber nur 4 Link(s) auf der Seite.", ""},
        {"4", "", ""},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb("s = htget(\"" + page + "\")\nvorher = data\ns = follow(" + c.arg + ")");
        EXPECT_EQ(r.var("s"), c.status) << c.arg;
        EXPECT_EQ(r.var("data"), c.data.empty() ? r.var("vorher") : c.data) << c.arg;
        if (c.status == "200") {
            EXPECT_EQ(r.var("base"), env.Url("/page"));
        }
    }
}

TEST(WebBuiltins, RelativeUrlsAndLinkget)
{
    Env& env = Env::Get();
    env.Page("leer.html", "<html></html>");
    WebResult r = RunWeb("s = htget(\"" + env.Url("/file?name=leer.html") +
                         "\")\ns = htget(\"page?body=rel\")\nu = linkget(\"<a href=\\\"x.html\\\">Weiter</a>\", "
                         "\"wei\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(r.var("_url"), env.Url("/page?body=rel"));
    EXPECT_EQ(r.var("data"), "rel ");
    EXPECT_EQ(r.var("u"), env.Url("/x.html"));
}

TEST(WebBuiltins, BadCallsAreRunErrors)
{
    Env& env = Env::Get();
    env.Page("form.html", kFormPage);
    const std::string page = "s = htget(\"" + env.Url("/file?name=form.html") + "\")\n";
    struct Case {
        std::string script;
        int errLine;
        std::string errMsg;
    } cases[] = {
        {page + "s = submit(1, \"\", 0)", 2, W("submit: Die Submit-Button-Nr. muß größer 0 sein.")},
        {page + "s = submit(5)", 2, "submit: Unbekannte Formularnummer '5'"},
        {page + "formset(5, \"a\", \"b\")", 2, "formset: Unbekanntes Formular (Nummer '5')"},
        {page + "formcreate(1, \"get\", \"/x\")", 2, "formcreate: Fehler (Nummer schon vergeben)"},
        {"s = htget(\"\")", 1, "Fehler: Keine URL in htget() angegeben"},
        {"s = htpost(\"\", \"a=b\")", 1, "Fehler: Keine URL in htget() angegeben"},
        // Not errors: an unknown form reads as empty and deletes nothing.
        {page + "x = formget(5, \"a\")\nformdel(5, \"a\")", 0, ""},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb(c.script);
        EXPECT_EQ(r.errLine, c.errLine) << c.script;
        EXPECT_EQ(r.errMsg, c.errMsg) << c.script;
    }
}

}  // namespace

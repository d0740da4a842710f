// Pages in UTF-8 and Windows-1252, their charset named by the reply's header,
// by http-equiv or by <meta charset>: what the script reads of them, and the
// bytes their forms send back.
#include "http_fixture.h"

#include "platform/cp1252.h"

namespace {

using httptest::Env;
using httptest::RunWeb;
using httptest::WebResult;

// The page's text in UTF-8 source form; each case writes it in its charset.
// "zeichen" holds a letter that Windows-1252 lacks, written as a reference.
std::string ShopPage(const std::string& meta)
{
    std::string forms;
    for (const char* method : {"GET", "POST"})
        forms += std::string("<form action=\"/echo\" method=\"") + method + "\">\n"
                 "<input type=\"hidden\" name=\"stelle\" value=\"Bürgeramt Süd\">\n"
                 "<input type=\"hidden\" name=\"zeichen\" value=\"&#1046;\">\n"
                 "<input name=\"q1\"><input name=\"q2\"><input name=\"q3\"><input name=\"q4\">\n"
                 "<select name=\"ort\"><option>Köln<option selected value=\"Zürich\">Z</select>\n"
                 "<input type=\"submit\" name=\"los\" value=\"Los\">\n</form>\n";
    return "<html><head>" + meta + "<title>Laden</title></head><body>\n<p>Grüner Tee 5€</p>\n" + forms +
           "</body></html>\n";
}

struct Page {
    const char* what;
    bool utf8;
    const char* contentType;
    const char* meta;
};

const Page kPages[] = {
    {"UTF-8 by header", true, "text/html; charset=utf-8", ""},
    {"UTF-8 by http-equiv", true, "text/html",
     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"},
    {"UTF-8 by meta charset", true, "text/html", "<meta charset=\"utf-8\">"},
    // The header wins over a META that says otherwise.
    {"UTF-8 by header over a META", true, "text/html;charset=UTF-8", "<meta charset=\"windows-1252\">"},
    {"Windows-1252 by header", false, "text/html; charset=windows-1252", ""},
    {"ISO-8859-1 by http-equiv", false, "text/html",
     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"},
    {"Windows-1252 by meta charset", false, "text/html", "<meta charset=\"windows-1252\">"},
    {"no charset at all", false, "text/html", ""},
};

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        out += hex;
    }
    return out;
}

std::string Body(const std::string& request)
{
    const size_t end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

std::string RequestLine(const std::string& request)
{
    return request.substr(0, request.find("\r\n"));
}

TEST(FormCharset, ScriptReadsTheCodePageAndFormsSendThePagesBytes)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    const std::string get = dir.path() + "/get.txt", post = dir.path() + "/post.txt";
    for (const Page& p : kPages) {
        SCOPED_TRACE(p.what);
        const std::string source = ShopPage(p.meta);
        env.Page("laden.html", p.utf8 ? source : platform::Utf8ToCp1252(source));
        std::string url = env.Url("/file?name=laden.html&ct=") + p.contentType;
        for (char& c : url)
            if (c == ' ')
                c = '+';
        // Umlauts, the euro sign, "#", "&", "%" and "+" as the user types them.
        const std::string set = "formset(K, \"q1\", \"\xD6l & Essig\")\nformset(K, \"q2\", \"5\x80\")\n"
                                "formset(K, \"q3\", \"#1003\")\nformset(K, \"q4\", \"100% + mehr\")\n";
        auto forForm = [&](const char* k) {
            std::string s = set;
            for (size_t at; (at = s.find('K')) != std::string::npos;)
                s.replace(at, 1, k);
            return s;
        };
        WebResult r = RunWeb("s = htget(\"" + url + "\")\nd = data\nstelle = formget(1, \"stelle\")\n"
                             "zeichen = formget(1, \"zeichen\")\nort = formget(1, \"ort\")\n" +
                             forForm("1") + "s1 = submit(1, \"" + get + "\")\ns = htget(\"" + url + "\")\n" +
                             forForm("2") + "s2 = submit(2, \"" + post + "\")");
        EXPECT_EQ(r.var("s1"), "200");
        EXPECT_EQ(r.var("s2"), "200");
        EXPECT_NE(r.var("d").find("Gr\xFCner Tee 5\x80"), std::string::npos) << r.var("d");
        EXPECT_EQ(r.var("stelle"), "B\xFCrgeramt S\xFC" "d");
        EXPECT_EQ(r.var("zeichen"), "?");
        EXPECT_EQ(r.var("ort"), "Z\xFCrich");

        // What a browser sends for that page: its own bytes for what the
        // script left alone, the letter Windows-1252 lacks included.
        auto bytes = [&](const std::string& utf8) {
            return Escaped(p.utf8 ? utf8 : platform::Utf8ToCp1252(utf8));
        };
        const std::string zeichen = p.utf8 ? Escaped("Ж") : "%26%231046%3B";
        const std::string fields = "stelle=B" + bytes("ü") + "rgeramt%20S" + bytes("ü") + "d&zeichen=" + zeichen +
                                   "&q1=" + bytes("Ö") + "l%20%26%20Essig&q2=5" + bytes("€") +
                                   "&q3=%231003&q4=100%%20%2B%20mehr&ort=Z" + bytes("ü") + "rich&los=Los";
        EXPECT_EQ(RequestLine(ReadFile(get)), "GET /echo?" + fields + " HTTP/1.1");
        EXPECT_EQ(Body(ReadFile(post)), fields);
    }
}

TEST(FormCharset, FieldNamesAndChangedValuesGoInThePagesCharset)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    const std::string file = dir.path() + "/antwort.txt";
    const std::string page = "<html><head><meta charset=\"utf-8\"></head><body>"
                             "<form action=\"/echo\" method=\"post\"><input name=\"größe\" value=\"Ж\">"
                             "<textarea name=\"t\">Maß</textarea></form></body></html>";
    env.Page("namen.html", page);
    const std::string url = env.Url("/file?name=namen.html");
    struct Case {
        std::string script, body;
    } cases[] = {
        {"", "gr%C3%B6%C3%9Fe=%D0%96&t=Ma%C3%9F"},
        // The script's own text replaces the page's: the letter it lacked is gone.
        {"formset(1, \"gr\xF6\xDF" "e\", \"XL\")\nformset(1, \"t\", \"Ma\xDF und Zahl\")",
         "gr%C3%B6%C3%9Fe=XL&t=Ma%C3%9F%20und%20Zahl"},
        // A new field is named in the page's charset too.
        {"formset(1, \"\xE4\", \"\xE4\")", "gr%C3%B6%C3%9Fe=%D0%96&t=Ma%C3%9F&%C3%A4=%C3%A4"},
    };
    for (const Case& c : cases) {
        WebResult r = RunWeb("s = htget(\"" + url + "\")\n" + c.script + "\ns = submit(1, \"" + file + "\")");
        EXPECT_EQ(r.var("s"), "200") << c.script;
        EXPECT_EQ(Body(ReadFile(file)), c.body) << c.script;
    }
}

TEST(FormCharset, AnotherCharsetOfThePageIsSentInItsOwnBytes)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    const std::string file = dir.path() + "/antwort.txt";
    // ISO-8859-15 holds the euro sign at 0xA4, where Windows-1252 has the
    // currency sign.
    env.Page("latin9.html", "<html><body><form action=\"/echo\" method=\"post\"><input name=\"preis\" value=\"5\xA4\">"
                            "<input name=\"neu\"></form></body></html>");
    WebResult r = RunWeb("s = htget(\"" + env.Url("/file?name=latin9.html&ct=text/html;charset=ISO-8859-15") +
                         "\")\np = formget(1, \"preis\")\nformset(1, \"neu\", \"7\x80\")\ns = submit(1, \"" + file + "\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(r.var("p"), "5\x80");
    EXPECT_EQ(Body(ReadFile(file)), "preis=5%A4&neu=7%A4");
}

TEST(FormCharset, AFormOfTheScriptSendsItsOwnBytes)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    const std::string file = dir.path() + "/antwort.txt";
    // The page before is UTF-8; the script's form has no page and keeps the
    // script's Windows-1252 bytes.
    WebResult r = RunWeb("s = htget(\"" + env.Url("/page?ct=text/html;charset=utf-8&body=x") +
                         "\")\nformcreate(3, \"get\", \"" + env.Url("/echo") +
                         "\")\nformset(3, \"n\xE4me\", \"M\xFCller #1\")\ns = submit(3, \"" + file + "\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(RequestLine(ReadFile(file)), "GET /echo?n%E4me=M%FCller%20%231 HTTP/1.1");
}

TEST(FormCharset, HtpostSendsTheScriptsBodyAsItIs)
{
    Env& env = Env::Get();
    httptest::TempDir dir;
    const std::string file = dir.path() + "/antwort.txt";
    WebResult r = RunWeb("s = htpost(\"" + env.Url("/echo") + "\", \"a=\xFC#1\", \"" + file + "\")");
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_EQ(Body(ReadFile(file)), "a=\xFC#1");
}

}  // namespace

// The traffic trace: "1" into the trace file, one line per chunk; "2" the
// header lines in the output pane, for that fetch and every later one.
#include <regex>

#include "http_fixture.h"

namespace {

using httptest::Env;
using httptest::ScriptRun;
using httptest::WebResult;

std::vector<std::string> Lines(const std::string& text, const std::string& sep)
{
    std::vector<std::string> out;
    size_t at = 0, end;
    while ((end = text.find(sep, at)) != std::string::npos) {
        out.push_back(text.substr(at, end - at));
        at = end + sep.size();
    }
    if (at < text.size())
        out.push_back(text.substr(at));
    return out;
}

std::vector<std::string> HeaderBlock(const std::string& path, const std::string& reply, const std::string& post = "")
{
    std::string host = "127.0.0.1:" + std::to_string(Env::Get().Port());
    std::vector<std::string> lines = {(post.empty() ? "<GET " : "<POST ") + path + " HTTP/1.1", "<Host: " + host,
                                      "<User-Agent: Skimlark", "<Accept: text/html, */*",
                                      "<Connection: Keep-Alive"};
    if (!post.empty()) {
        lines.push_back("<Content-Type: application/x-www-form-urlencoded");
        lines.push_back("<Content-Length: " + std::to_string(post.size()));
    }
    lines.push_back("");
    for (const std::string& l : Lines(reply, "\r\n"))
        lines.push_back(">" + l);
    lines.push_back("");
    return lines;
}

TEST(Trace, TwoPrintsTheHeadersOfThisAndEveryLaterFetch)
{
    Env& env = Env::Get();
    ScriptRun run("trace = 2\ns = htget(\"" + env.Url("/page?body=x") + "\")\nprint(\"--\")\ntrace = 0\n"
                  "s = htpost(\"" + env.Url("/page?body=yz") + "\", \"a=b\")\nprint(\"--\")\ntrace = 1\n"
                  "s = htget(\"" + env.Url("/page?body=x") + "\")\nprint(\"ende\")");
    WebResult r = run.Go();

    std::vector<std::string> want = HeaderBlock("/page?body=x", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                                                "Content-Length: 1");
    want.push_back("--");
    // The post's body went as a chunk of its own and is not shown.
    for (const std::string& l : HeaderBlock("/page?body=yz", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                                             "Content-Length: 2",
                                            "a=b"))
        want.push_back(l);
    want.push_back("--");
    // Trace 1 takes the client over: nothing more is printed.
    want.push_back("ende");
    EXPECT_EQ(r.output, want);
    EXPECT_NE(ReadFile(run.dataDir() + "/skimlark.trc"), "");
}

TEST(Trace, OneWritesEveryChunkOfTheFetchAsALine)
{
    Env& env = Env::Get();
    ScriptRun run("trace = 1\ns = htget(\"" + env.Url("/redirect?to=" + std::string("/page%3Fbody%3Dx")) +
                  "\")\ntrace = 0\ns = htget(\"" + env.Url("/page?body=y") + "\")\ntrace = 1\n"
                  "s = htget(\"" + env.Url("/close") + "\")");
    WebResult r = run.Go();
    std::vector<std::string> lines = Lines(ReadFile(run.dataDir() + "/skimlark.trc"), "\r\n");

    const std::string host = "127.0.0.1:" + std::to_string(env.Port());
    const std::string head = "<EOL>Host: " + host + "<EOL>User-Agent: Skimlark<EOL>Accept: text/html, */*<EOL>"
                             "Connection: Keep-Alive<EOL><EOL>";
    std::vector<std::string> want = {
        "Stat Verbunden.",
        "Ges : GET /redirect?to=/page%3Fbody%3Dx HTTP/1.1" + head,
        "Erh : HTTP/1.1 302 Found<EOL>Location: /page?body=x<EOL>Content-Length: 6<EOL><EOL>",
        "Erh : moved<LF>",
        "Ges : GET /page?body=x HTTP/1.1" + head,
        "Erh : HTTP/1.1 200 OK<EOL>Content-Type: text/html<EOL>Content-Length: 1<EOL><EOL>",
        "Erh : x",
        // Nothing of the fetch with trace 0; then the server that closes (the
        // client tries once more on a new connection).
        "Ges : GET /close HTTP/1.1" + head,
        "Stat Verbindung getrennt.",
        "Stat Verbunden.",
        "Ges : GET /close HTTP/1.1" + head,
        "Stat Verbindung getrennt.",
    };
    // The time between prefix and data is the local date and time.
    const std::regex stamp("^(Ges|Erh) \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d: ");
    for (std::string& l : lines) {
        std::smatch m;
        if (std::regex_search(l, m, stamp))
            l = m[1].str() + " : " + m.suffix().str();
    }
    EXPECT_EQ(lines, want);
    EXPECT_TRUE(r.output.empty());
}

TEST(Trace, OnlyTheExactValuesSwitchIt)
{
    Env& env = Env::Get();
    ScriptRun run("trace = \" 1\"\ns = htget(\"" + env.Url("/page") + "\")\ntrace = \"2 \"\ns = htget(\"" +
                  env.Url("/page") + "\")");
    WebResult r = run.Go();
    EXPECT_EQ(r.var("s"), "200");
    EXPECT_TRUE(r.output.empty());
    EXPECT_FALSE(std::filesystem::exists(run.dataDir() + "/skimlark.trc"));
}

TEST(Trace, AMissingDataFolderEndsTheRunBeforeTheRequest)
{
    Env& env = Env::Get();
    env.TakeRequests();
    ScriptRun run("trace = 1\ns = htget(\"" + env.Url("/echo") + "\")\nprint(\"nie\")");
    run.host.s.dataDir = run.dataDir() + "/fehlt";
    WebResult r = run.Go();
    EXPECT_EQ(r.errLine, 2);
    EXPECT_EQ(r.errMsg, W("Trace-Datei kann nicht geöffnet werden: ") + run.dataDir() +
                            "/fehlt/skimlark.trc (Datei oder Ordner nicht gefunden)");
    EXPECT_TRUE(r.output.empty());
    EXPECT_TRUE(env.TakeRequests().empty());
}

}  // namespace

// The ftp built-in against a real FTP server on the loopback interface.
#include <gtest/gtest.h>

#include "http_fixture.h"
#include "support/process.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_host.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// tests/servers/ftp_server.py.
class FtpServer : public httptest::ScriptServer {
public:
    explicit FtpServer(std::vector<std::string> args) : ScriptServer("ftp_server.py", std::move(args)) {}
};

class Ftp : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("skimlark-ftp");
        fs::create_directory(dir + "remote");
        fs::create_directory(dir + "local");
        server = std::make_unique<FtpServer>(
            std::vector<std::string>{"--root", dir + "remote", "--user", "anna", "--password", "geheim"});
        ASSERT_GT(server->port(), 0) << "FTP server did not start";
        host.s.httpTimeout = 5;
    }
    void TearDown() override
    {
        server.reset();
        fs::remove_all(dir);
    }

    static void Write(const std::string& path, const std::string& data)
    {
        std::ofstream(path, std::ios::binary) << data;
    }

    // Runs one ftp call with the fixture's settings on a host of its own, so
    // that its output holds this call's lines only; the result comes back
    // between brackets, followed by a line that shows that the run went on.
    RunResult Call(const std::string& host_, const std::string& user, const std::string& password,
                   const std::string& mode, const std::string& local, const std::string& remote)
    {
        // Once: a transfer changes the server's files.
        TestHost fresh;
        fresh.s = host.s;
        fresh.bothWays = false;
        return RunScript("r = ftp(\"" + host_ + "\", \"" + user + "\", \"" + password + "\", \"" + mode +
                             "\", \"" + local + "\", \"" + remote + "\")\n"
                             "print(\"[\", r, \"]\")\n"
                             "print(\"weiter\")\n",
                         &fresh);
    }

    std::string Result(const RunResult& r) const
    {
        for (const std::string& line : r.output)
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
                return line.substr(1, line.size() - 2);
        return "<no result>";
    }

    std::string dir;
    std::unique_ptr<FtpServer> server;
    TestHost host;
};

// Bytes that a text-mode transfer would change.
const std::string kBinary = std::string("line 1\r\nline 2\n\0\xff\xfe end", 22);

TEST_F(Ftp, GetOverwritesTheLocalFileWithTheRemoteBytes)
{
    Write(dir + "remote/data.bin", kBinary);
    Write(dir + "local/data.bin", "an older and much longer local copy of the file");
    host.s.debugLevel = 1;

    RunResult r = Call(server->host(), "anna", "geheim", "get", dir + "local/data.bin", "data.bin");

    EXPECT_EQ(r.errMsg, "");
    EXPECT_EQ(Result(r), "");
    EXPECT_EQ(ReadFile(dir + "local/data.bin"), kBinary);
    std::string out = Joined(r.output);
    std::string connect = "FTP(get," + dir + "local/data.bin,data.bin): Connect...";
    ASSERT_NE(out.find(connect), std::string::npos) << out;
    EXPECT_NE(out.find("FTP(): Transfer...", out.find(connect)), std::string::npos) << out;
    // Nothing is left beside the target.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "local"), fs::directory_iterator()), 1);
}

TEST_F(Ftp, PutInCapitalsReplacesTheRemoteFile)
{
    Write(dir + "local/up.txt", kBinary);
    Write(dir + "remote/up.txt", "an older remote file that is longer than the new one");

    RunResult r = Call(server->host(), "anna", "geheim", "PUT", dir + "local/up.txt", "up.txt");

    EXPECT_EQ(Result(r), "");
    EXPECT_EQ(ReadFile(dir + "remote/up.txt"), kBinary);
    // Without debug output only the script's own lines appear.
    EXPECT_EQ(Joined(r.output), "[]\nweiter");
}

TEST_F(Ftp, NamesWithBlanksAndUmlautsReachTheServerAsGiven)
{
    // Script texts are Windows-1252; the server and the disk see names in UTF-8.
    Write(dir + "remote/Gr\xc3\xbc\xc3\x9f" "e und so.txt", "hallo");
    RunResult r = Call(server->host(), "anna", "geheim", "Get", dir + "local/Kopie f\xfcr J\xf6rg.txt",
                       "Gr\xfc\xdf" "e und so.txt");
    EXPECT_EQ(Result(r), "");
    // The local name is the system's UTF-8 too.
    EXPECT_EQ(ReadFile(dir + "local/Kopie f\xc3\xbcr J\xc3\xb6rg.txt"), "hallo");
}

// Every failure is a result text and the run goes on.
TEST_F(Ftp, FailuresComeBackAsMessages)
{
    Write(dir + "remote/there.txt", "remote");
    Write(dir + "local/keep.txt", "local copy");

    // A port on which nothing listens.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    std::string closedHost = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    close(s);

    struct Case {
        const char* what;
        std::string host, password, mode, local, remote;
        std::string expected;  // a part of the message
    } cases[] = {
        {"wrong password", server->host(), "falsch", "get", dir + "local/keep.txt", "there.txt", "530"},
        {"missing remote file", server->host(), "geheim", "get", dir + "local/keep.txt", "fehlt.txt", "550"},
        {"missing local file", server->host(), "geheim", "put", dir + "local/fehlt.txt", "x.txt",
         W("Die Datei \"") + dir + W("local/fehlt.txt\" kann nicht geöffnet werden: Datei oder Ordner nicht gefunden")},
        {"local folder missing", server->host(), "geheim", "get", dir + "nirgends/x.txt", "there.txt",
         W("kann nicht angelegt werden: Datei oder Ordner nicht gefunden")},
        {"connection refused", closedHost, "geheim", "get", dir + "local/keep.txt", "there.txt",
         "Keine Verbindung zum FTP-Server: Verbindung abgelehnt"},
        // A host text can't smuggle in another URL or user.
        {"host with a path", "file:///etc/passwd", "geheim", "get", dir + "local/keep.txt", "x", "FTP-Host"},
        {"host with a user", "evil@" + server->host(), "geheim", "get", dir + "local/keep.txt", "there.txt",
         "FTP-Host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult r = Call(c.host, "anna", c.password, c.mode, c.local, c.remote);
        EXPECT_EQ(r.errMsg, "");
        std::string message = Result(r);
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        EXPECT_EQ(r.output.back(), "weiter");
    }
    // No failed download touched the local file.
    EXPECT_EQ(ReadFile(dir + "local/keep.txt"), "local copy");
    EXPECT_FALSE(fs::exists(dir + "remote/x.txt"));
}

// A local file that cannot take the download (here: past the process's file
// size limit, as a full disk would be) is named as the cause.
TEST_F(Ftp, ALocalWriteThatFailsIsTheMessage)
{
    Write(dir + "remote/big.bin", std::string(200000, 'b'));
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit limit{}, saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit.rlim_cur = 1000;
    limit.rlim_max = saved.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    RunResult r = Call(server->host(), "anna", "geheim", "get", dir + "local/big.bin", "big.bin");
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(Result(r), W("Die Datei \"") + dir + W("local/big.bin\" kann nicht geschrieben werden: Die Datei ist zu groß"));
    EXPECT_FALSE(fs::exists(dir + "local/big.bin"));
}

TEST_F(Ftp, ServerThatNeverGreetsTimesOut)
{
    FtpServer silent({"--silent"});
    ASSERT_GT(silent.port(), 0);
    host.s.httpTimeout = 1;
    auto start = std::chrono::steady_clock::now();

    RunResult r = Call(silent.host(), "anna", "geheim", "get", dir + "local/x.txt", "x.txt");

    auto took = std::chrono::steady_clock::now() - start;
    // The text says what was waited for.
    EXPECT_EQ(Result(r), W("Zeitüberschreitung beim Warten auf die Antwort des FTP-Servers"));
    EXPECT_EQ(r.output.back(), "weiter");
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_FALSE(fs::exists(dir + "local/x.txt"));
}

TEST_F(Ftp, OtherModesAreRunErrors)
{
    for (const char* mode : {"copy", "", "gett"}) {
        SCOPED_TRACE(mode);
        RunResult r = Call(server->host(), "anna", "geheim", mode, dir + "local/x.txt", "x.txt");
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.errMsg, "FTP-Modus weder GET noch PUT");
        EXPECT_TRUE(r.output.empty());
    }
}

}  // namespace

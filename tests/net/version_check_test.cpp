// checkversion: the version comparison, the question and its three answers,
// and the download and start of the installer from a local maker server.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "http_fixture.h"
#include "platform/texts.h"
#include "support/process.h"
#include "support/test_host.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kIdYes = 6, kIdNo = 7, kIdCancel = 2;

// tests/servers/maker_server.py.
class MakerServer : public httptest::ScriptServer {
public:
    explicit MakerServer(std::vector<std::string> extra) : ScriptServer("maker_server.py", std::move(extra)) {}
    std::string Url() const { return "http://" + host(); }
};

class VersionCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("skimlark-version-test");
        host.s.tempDir = dir;
        host.s.programDir = "/opt/skimlark prog/";
        host.onPost = [this](unsigned message, Skript*, const std::string*) { posted.push_back(message); };
    }
    void TearDown() override
    {
        unsetenv("SKIMLARK_SERVER");
        fs::remove_all(dir);
    }
    RunResult Run(const std::string& required)
    {
        return RunScript("x = checkversion(\"" + required + "\")\nprint(\"[\", x, \"]\")\nprint(\"weiter\")\n", &host);
    }

    std::string dir;
    TestHost host;
    std::vector<unsigned> posted;
};

TEST_F(VersionCheck, RequirementsThatTheOwnVersionMeetsAskNothing)
{
    for (const char* v : {"1.08.20", "1.8.20", "1.07.99", "0.99.99", "1..08.20", "1.08.20.99"}) {
        TestHost h;
        RunResult r = RunScript(std::string("x = checkversion(\"") + v + "\")\nprint(\"[\", x, \"]\")\n", &h);
        EXPECT_EQ(r.errMsg, "") << v;
        EXPECT_EQ(Joined(r.output), "[]") << v;
        EXPECT_TRUE(h.boxes().empty()) << v;
    }
}

TEST_F(VersionCheck, NewerRequirementAsksAndNoGoesOnWithANote)
{
    for (const char* v : {"1.08.21", "1.09.0", "2.0.0"}) {
        TestHost h;
        h.boxAnswers = {kIdNo};
        RunResult r = RunScript(std::string("x = checkversion(\"") + v + "\")\nprint(\"weiter\")\n", &h);
        EXPECT_EQ(r.errMsg, "") << v;
        EXPECT_EQ(Joined(r.output), "weiter") << v;
        ASSERT_EQ(h.boxes().size(), 1u) << v;
        EXPECT_EQ(h.boxes()[0], W("Hinweis|Das Programm benötigt mindestens Version ") + v +
                                    W(" von Skimlark. Es ist aber nur Version 1.08.20 installiert.\n\nSoll die "
                                      "aktuellste Version von Skimlark automatisch heruntergeladen und der "
                                      "Installer gestartet werden?"));
        ASSERT_EQ(r.notes.size(), 1u);
        EXPECT_EQ(r.notes[0], W("Da die erforderliche Skimlark-Version nicht zur Verfügung steht, ist die "
                                "ordnungsgemäße Funktion des vorliegenden Skripts nicht gerantiert."));
    }
}

TEST_F(VersionCheck, MalformedRequirementIsARunErrorOnItsLine)
{
    for (const char* v : {"1.08", "1..08", "", "..."}) {
        RunResult r = RunScript(std::string("print(1)\nx = checkversion(\"") + v + "\")\nprint(2)\n");
        EXPECT_EQ(r.errMsg, "checkversion: Die Version muss in der Form xx.yy.zz angegeben werden.") << v;
        EXPECT_EQ(r.result, 2) << v;
        EXPECT_EQ(Joined(r.output), "1") << v;
    }
}

TEST_F(VersionCheck, CancelStopsTheRun)
{
    host.boxAnswers = {kIdCancel};
    RunResult r = Run("9.0.0");
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.output.empty());
    EXPECT_EQ(r.notes, std::vector<std::string>{"Abbruch durch Benutzer."});
}

TEST_F(VersionCheck, YesDownloadsStartsTheInstallerAndEndsTheProgram)
{
    // What another user may have planted under the old fixed name: a link to
    // a file of the user's, and a program of his own.
    std::string victim = dir + "eigene-datei";
    std::ofstream(victim) << "meins";
    fs::create_symlink(victim, dir + "SkimlarkInstaller.exe");
    fs::create_directory(dir + "fremd");
    std::ofstream(dir + "fremd/SkimlarkInstaller.exe") << "#!/bin/sh\ntouch \"" << dir << "fremd-gestartet\"\n";
    fs::permissions(dir + "fremd/SkimlarkInstaller.exe", fs::perms::all);

    std::string installer = dir + "installer-source.sh";
    std::ofstream(installer) << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"" << dir << "args.txt\"\n";
    MakerServer server({"--installer", installer, "--log", dir + "requests.log"});
    ASSERT_GT(server.port(), 0);
    setenv("SKIMLARK_SERVER", server.Url().c_str(), 1);
    host.boxAnswers = {kIdYes};

    RunResult r = Run("1.09.00");
    EXPECT_EQ(r.errMsg, "");
    EXPECT_FALSE(r.stopped);
    // The run ends after the statement: nothing more is printed.
    EXPECT_EQ(Joined(r.output), "Download...\nInstaller starten...");
    EXPECT_TRUE(r.notes.empty()) << Joined(r.notes);
    EXPECT_EQ(posted, std::vector<unsigned>{18u});

    for (int i = 0; i < 100 && !fs::exists(dir + "args.txt"); ++i)
        std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(50ms);
    std::string args = ReadFile(dir + "args.txt");
    std::string downloaded = args.substr(0, args.find('\n'));
    EXPECT_EQ(args, downloaded + "\n-autostart\n-directory\n/opt/skimlark prog/\n");
    // The installer came into a folder of its own that only the user can enter.
    fs::path folder = fs::path(downloaded).parent_path();
    EXPECT_EQ(folder.parent_path().string() + "/", dir);
    EXPECT_EQ(folder.filename().string().rfind("skimlark-update-", 0), 0u) << downloaded;
    EXPECT_EQ(fs::path(downloaded).filename(), "SkimlarkInstaller.exe");
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    EXPECT_EQ(ReadFile(downloaded), ReadFile(installer));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir + "SkimlarkInstaller.exe")));
    EXPECT_EQ(ReadFile(victim), "meins");
    EXPECT_FALSE(fs::exists(dir + "fremd-gestartet"));
    // The endpoint redirects; the client followed it itself.
    EXPECT_EQ(ReadFile(dir + "requests.log"), "/cgi-bin/download/download.cgi?product=skimlark\n/files/installer\n");
}

TEST_F(VersionCheck, FailedDownloadShowsTheErrorAndStartsNothing)
{
    // A server that answers the endpoint's redirect with a missing file.
    MakerServer server({});
    ASSERT_GT(server.port(), 0);
    struct Case {
        std::string base, expectedPrefix;
    } cases[] = {
        {server.Url(), "Beim Download ist ein Fehler aufgetreten: HTTP/1.0 404"},
        {"http://127.0.0.1:1", "Beim Download ist ein Fehler aufgetreten: Socket-Fehler # "},
    };
    for (const auto& c : cases) {
        setenv("SKIMLARK_SERVER", c.base.c_str(), 1);
        TestHost h;
        h.s.tempDir = dir;
        h.boxAnswers = {kIdYes};
        std::vector<unsigned> seen;
        h.onPost = [&](unsigned m, Skript*, const std::string*) { seen.push_back(m); };
        RunResult r = RunScript("x = checkversion(\"3.0.0\")\nprint(\"weiter\")\n", &h);
        EXPECT_EQ(r.errMsg, "") << c.base;
        ASSERT_EQ(r.notes.size(), 1u) << c.base;
        EXPECT_EQ(r.notes[0].rfind(c.expectedPrefix, 0), 0u) << r.notes[0];
        EXPECT_EQ(r.output.back(), "weiter");
        EXPECT_TRUE(seen.empty());
        // Nothing of the failed download is left behind.
        EXPECT_TRUE(fs::is_empty(dir)) << c.base;
    }
}

TEST_F(VersionCheck, TemporaryFolderThatIsGoneIsReportedAndTheRunGoesOn)
{
    // A temporary folder that is gone: the download has nowhere to go.
    host.s.tempDir = dir + "fehlt/";
    MakerServer server({"--installer", SKIMLARK_SERVERS "/maker_server.py"});
    setenv("SKIMLARK_SERVER", server.Url().c_str(), 1);
    host.boxAnswers = {kIdYes};
    RunResult r = Run("3.0.0");
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0].rfind("Beim Download ist ein Fehler aufgetreten: ", 0), 0u) << r.notes[0];
    EXPECT_EQ(r.output.back(), "weiter");
    EXPECT_TRUE(posted.empty());
}

TEST_F(VersionCheck, InstallerThatCannotStartIsReportedAndTheRunGoesOn)
{
    std::string installer = dir + "not-a-program";
    std::ofstream(installer) << "no program format at all";
    MakerServer server({"--installer", installer});
    setenv("SKIMLARK_SERVER", server.Url().c_str(), 1);
    host.boxAnswers = {kIdYes};
    RunResult r = Run("3.0.0");
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0], "Fehler " + std::to_string(ENOEXEC) +
                              " beim Starten des Installers 'SkimlarkInstaller.exe': " + W("Keine ausführbare Datei"));
    EXPECT_EQ(r.output.back(), "weiter");
    EXPECT_TRUE(posted.empty());
}

}  // namespace

// sleep and shellexec: real programs started and waited for.
#include <gtest/gtest.h>

#include "support/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "interpreter/skript.h"
#include "interpreter/variables.h"
#include "platform/error_text.h"
#include "support/files.h"
#include "support/test_host.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class SystemBuiltins : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("skimlark-sys-test");
        const char* path = std::getenv("PATH");
        oldPath = path ? path : "/usr/bin:/bin";
    }
    void TearDown() override
    {
        setenv("PATH", oldPath.c_str(), 1);
        fs::remove_all(dir);
    }

    // A shell script with the execute bit.
    std::string Program(const std::string& name, const std::string& body)
    {
        std::string path = dir + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    // The value of one expression, printed between brackets.
    std::string Eval(const std::string& expression)
    {
        // Once: the programs it starts leave their traces.
        RunResult r = RunScriptOnce("print(\"[\", " + expression + ", \"]\")\n");
        EXPECT_EQ(r.errMsg, "") << expression;
        std::string line = r.output.empty() ? "" : r.output.back();
        return line.size() >= 2 ? line.substr(1, line.size() - 2) : "<no result: " + line + ">";
    }

    std::string dir, oldPath;
};

TEST_F(SystemBuiltins, SleepWaitsAndNegativeCountsDoNotHang)
{
    auto start = Clock::now();
    EXPECT_EQ(Eval("sleep(\"-5\")"), "");
    EXPECT_LT(Clock::now() - start, 2s);

    start = Clock::now();
    EXPECT_EQ(Eval("sleep(120)"), "");
    EXPECT_GE(Clock::now() - start, 120ms);
}

TEST_F(SystemBuiltins, ShellexecGivesTheExitCodeWhenWaiting)
{
    std::string seven = Program("seven", "exit 7");
    std::string marker = dir + "ran";
    std::string touch = Program("touch-later", "sleep 0.2; echo x > '" + marker + "'");
    struct Case {
        std::string call, result;
    } cases[] = {
        {"shellexec(\"/bin/true\", 1)", "0"},
        {"shellexec(\"/bin/false\", 1)", "1"},
        {"shellexec(\"" + seven + "\", \"1\")", "7"},
        // A bare name is looked up on PATH.
        {"shellexec(\"false\", 1)", "1"},
        // Not waiting: "0" whatever the program gives.
        {"shellexec(\"/bin/false\")", "0"},
        {"shellexec(\"/bin/false\", 0)", "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Eval(c.call), c.result) << c.call;

    // Without wait the call returns before the program is done.
    EXPECT_EQ(Eval("shellexec(\"" + touch + "\")"), "0");
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(Eval("shellexec(\"" + touch + "\", 1)"), "0");
    EXPECT_TRUE(fs::exists(marker));
}

TEST_F(SystemBuiltins, ShellexecOfAMissingFileGivesTheSystemText)
{
    const std::string missing = SystemErrorText(ENOENT);
    for (const std::string& file : {dir + "fehlt.exe", std::string("gibt-es-nirgends-auf-dem-pfad"), std::string()})
        EXPECT_EQ(Eval("shellexec(\"" + file + "\", 1)"), missing) << file;
}

// Documents, folders and URLs go to the desktop's opener; a stand-in opener on
// PATH notes what it was given.
TEST_F(SystemBuiltins, ShellexecOpensDocumentsAndUrlsWithTheOpener)
{
    fs::create_directory(dir + "bin");
    std::string seen = dir + "opened";
    std::ofstream(dir + "bin/xdg-open") << "#!/bin/sh\necho \"$1\" >> '" << seen << "'\nexit 3\n";
    fs::permissions(dir + "bin/xdg-open", fs::perms::owner_all);
    std::ofstream(dir + "brief.txt") << "Hallo";
    std::ofstream(dir + "-dash.txt") << "Hallo";
    setenv("PATH", (dir + "bin:" + oldPath).c_str(), 1);

    EXPECT_EQ(Eval("shellexec(\"" + dir + "brief.txt\", 1)"), "3");
    EXPECT_EQ(Eval("shellexec(\"http://127.0.0.1:9/seite?a=1&b=2\", 1)"), "3");
    EXPECT_EQ(Eval("shellexec(\"" + dir + "\", 1)"), "3");
    // A name that begins with '-' never reads as an option of the opener.
    fs::path cwd = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(Eval("shellexec(\"-dash.txt\", 1)"), "3");
    fs::current_path(cwd);
    EXPECT_EQ(ReadFile(seen), dir + "brief.txt\nhttp://127.0.0.1:9/seite?a=1&b=2\n" + dir + "\n./-dash.txt\n");

    // Without an opener the call says so instead of failing silently.
    setenv("PATH", (dir + "nothing").c_str(), 1);
    std::string text = Eval("shellexec(\"" + dir + "brief.txt\", 1)");
    EXPECT_NE(text.find("xdg-open"), std::string::npos) << text;
}

// The started program holds none of the run's files or sockets.
TEST_F(SystemBuiltins, StartedProgramInheritsNoOpenFiles)
{
    int file = open((dir + "offen.txt").c_str(), O_CREAT | O_WRONLY, 0600);  // no O_CLOEXEC on purpose
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(file, 3);
    ASSERT_GE(sock, 3);
    std::string check = Program("check", "for fd in " + std::to_string(file) + " " + std::to_string(sock) +
                                             "; do [ -e /proc/$$/fd/$fd ] && exit 9; done; exit 0");
    std::string result = Eval("shellexec(\"" + check + "\", 1)");
    close(file);
    close(sock);
    EXPECT_EQ(result, "0");
}

// A stop from the GUI thread ends the wait; the program goes on by itself.
TEST_F(SystemBuiltins, StopDuringTheWaitGives259)
{
    std::string pidFile = dir + "pid";
    std::string slow = Program("slow", "echo $$ > '" + pidFile + "'.tmp; mv '" + pidFile + "'.tmp '" + pidFile +
                                           "'; exec sleep 30");
    TestHost host;
    std::vector<std::string> lines = {"r = shellexec(\"" + slow + "\", 1)", "print(\"nicht erreicht\")"};
    Skript run(true, host, &lines);
    run.Resume();
    auto deadline = Clock::now() + 5s;
    while (!fs::exists(pidFile) && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(pidFile));
    pid_t child = std::atoi(ReadFile(pidFile).c_str());
    EXPECT_FALSE(run.Finished());

    auto stopped = Clock::now();
    run.stop = true;
    run.WaitFor();
    auto took = Clock::now() - stopped;

    EXPECT_LT(took, 1s);
    EXPECT_EQ(run.vars->GetValue("r"), "259");
    EXPECT_TRUE(host.output().empty());
    // Still running after the wait ended.
    EXPECT_EQ(kill(child, 0), 0);
    kill(child, SIGKILL);
}

}  // namespace

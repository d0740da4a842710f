// skimlark-run as a user meets it: switches, streams, exit status, Ctrl-C.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/app_settings.h"
#include "platform/registry.h"
#include "support/files.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

// Every run of these tests reads the settings of a registry folder of its own,
// never the user's.
const std::string kRegistryDir = [] {
    std::string dir = fs::path(WriteTempFile("reg.keep", "")).parent_path() / "registry";
    fs::create_directories(dir);
    setenv("SKIMLARK_REGISTRY_DIR", dir.c_str(), 1);
    return dir;
}();

ProcessResult RunFile(const std::string& script, std::vector<std::string> switches = {}, const std::string& input = "",
                  int signalAfterMs = 0)
{
    std::string path = WriteTempFile("s.skl", script);
    std::vector<std::string> argv = {SKIMLARK_RUN_BIN};
    argv.insert(argv.end(), switches.begin(), switches.end());
    argv.push_back(path);
    return RunProcess(argv, input, signalAfterMs);
}

TEST(ConsoleRunner, PrintGoesToStdoutInUtf8)
{
    // "Grüße" in Windows-1252, as the script file holds it.
    ProcessResult r = RunFile("print(\"Gr\xFC\xDF" "e\")\r\nprint(\"zwei\")");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Grüße\nzwei\n");
    EXPECT_EQ(r.err, "");
}

TEST(ConsoleRunner, ErrorsGoToStderrWithStatusOne)
{
    ProcessResult r = RunFile("print(\"a\")\nx = 1 % 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a\n");
    EXPECT_EQ(r.err, "Zeile 2: Ungültiger Operator '%'\n");
}

TEST(ConsoleRunner, BrowseWritesItsPageAndEndsWithoutAWindow)
{
    const fs::path page = fs::path(SKIMLARK_RUN_BIN).parent_path() / "data" / "_skimlark0.html";
    fs::remove(page);
    ProcessResult r = RunFile("print(\"a\")\nbrowse(\"<html><head></head>seite</html>\")\nprint(\"b\")");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a\n");
    EXPECT_EQ(r.err, "Zeile 2: Das Browserfenster ist nicht verfügbar.\n");
    std::string text = ReadFile(page);
    EXPECT_NE(text.find("seite"), std::string::npos);
}

TEST(ConsoleRunner, LineEndsOfEveryKind)
{
    ProcessResult r = RunFile("print(1)\rprint(2)\nprint(3)\r\nprint(4)\r\n");
    EXPECT_EQ(r.out, "1\n2\n3\n4\n");
    EXPECT_EQ(r.status, 0);
}

TEST(ConsoleRunner, Utf8AndWindows1252ScriptsOfOneTextRunAlike)
{
    // What a Linux editor or a here-document writes, and the same in the
    // scripts' own code page: the run sees single Windows-1252 bytes in both.
    const std::string utf8 =
        "x = \"J\xC3\xB6rg \xC2\xBB \xE2\x82\xAC\xC2\xA0!\"\n"
        "print(x, \"|\", length(x), \"|\", instr(x, \"\xC2\xA0\"), \"|\", instr(x, \" \"))\n";
    const std::string cp1252 =
        "x = \"J\xF6rg \xBB \x80\xA0!\"\n"
        "print(x, \"|\", length(x), \"|\", instr(x, \"\xA0\"), \"|\", instr(x, \" \"))\n";
    const std::string want = "J\xC3\xB6rg \xC2\xBB \xE2\x82\xAC\xC2\xA0!|10|9|5\n";
    for (const std::string& script : {cp1252, utf8, "\xEF\xBB\xBF" + utf8}) {
        ProcessResult r = RunFile(script);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, want) << script;
    }
}

TEST(ConsoleRunner, AUtf16ScriptIsNamedAsSuch)
{
    using namespace std::string_literals;
    for (const std::string& script : {"\xFF\xFEp\0r\0i\0n\0t\0(\0\x31\0)\0"s, "p\0r\0i\0n\0t\0(\0\x31\0)\0"s}) {
        ProcessResult r = RunFile(script);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(" ist in UTF-16 gespeichert. Skripte werden in UTF-8 oder Windows-1252 gelesen"),
                  std::string::npos)
            << r.err;
    }
}

TEST(ConsoleRunner, TheTransferLibraryIsLoadedOnlyByARunThatTransfers)
{
    // Its dependencies cost most of a run's start-up, so a run that fetches
    // nothing must not load it; one that fetches must find it.
    const std::string kCurl = "libcurl.so";
    auto loaded = [](const std::string& script) {
        const std::string path = WriteTempFile("s.skl", script);
        return RunProcess({"/usr/bin/env", "LD_DEBUG=files", SKIMLARK_RUN_BIN, path}).err;
    };
    EXPECT_EQ(loaded("").find(kCurl), std::string::npos);
    EXPECT_EQ(loaded("x = 1 + 2\nprint(x)").find(kCurl), std::string::npos);
    EXPECT_NE(loaded("x = htget(\"http://127.0.0.1:1/\")").find(kCurl), std::string::npos);
}

TEST(ConsoleRunner, PresetSwitches)
{
    ProcessResult r = RunFile("print(a, \"|\", b, \"|\", c)",
                          {"-ex", "-hidden", "-va=1", "-vb=x=y", "-vc", "-va=2", "-vc=Grüße"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2|x=y|Grüße\n");
}

TEST(ConsoleRunner, InputReadsStdin)
{
    ProcessResult r = RunFile("x = input(\"Name\")\ny = input(\"Ort\", \"Bonn\")\nprint(x, \"/\", y)", {}, "Jörg\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Jörg/\n");  // the end of input counts as Cancel
}

TEST(ConsoleRunner, AnEmptyAnswerTakesTheDefault)
{
    ProcessResult r = RunFile("a = input(\"Name\", \"Erika\")\nb = input(\"Ort\", \"Bonn\")\nc = input(\"PLZ\")\n"
                              "d = input(\"Land\", \"DE\")\nprint(a, \"/\", b, \"/\", c, \"/\", d)",
                              {}, "\nK\xC3\xB6ln\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    // Without a default an empty answer stays empty; the end of input is
    // Cancel, default or not.
    EXPECT_EQ(r.out, "Erika/Köln//\n");
}

TEST(ConsoleRunner, OutputThatCannotBeWrittenEndsTheRun)
{
    const std::string full = "skimlark-run: cannot write the output: No space left on device\n";
    const std::string closed = "skimlark-run: cannot write the output: Bad file descriptor\n";
    struct Case {
        const char* script;
        const char* out;  // "" for a closed stdout
        int status;
        std::string err;
    } cases[] = {
        {"print(\"a\")\nprint(\"b\")", "/dev/full", 3, full},
        // The run stops at the first line that is lost, also in an endless loop.
        {"while 1 eq 1 do\nprint(\"x\")\ndone", "/dev/full", 3, full},
        {"print(\"a\")", "", 3, closed},
        // A run that writes nothing has nothing to lose.
        {"x = 1", "/dev/full", 0, ""},
        {"x = 1", "", 0, ""},
        // An error of the script still counts once the output is gone.
        {"x = 1 % 2", "", 1, "Zeile 1: Ungültiger Operator '%'\n"},
    };
    for (const Case& c : cases) {
        std::string path = WriteTempFile("s.skl", c.script);
        ProcessResult r = RunProcessWithStdout({SKIMLARK_RUN_BIN, path}, c.out);
        EXPECT_EQ(r.status, c.status) << c.script << " > " << c.out;
        EXPECT_EQ(r.err, c.err) << c.script << " > " << c.out;
    }
    ProcessResult help = RunProcessWithStdout({SKIMLARK_RUN_BIN, "--help"}, "/dev/full");
    EXPECT_EQ(help.status, 3);
    EXPECT_EQ(help.err, full);
}

TEST(ConsoleRunner, HelpVersionAndUnknownSwitches)
{
    std::string path = WriteTempFile("s.skl", "print(\"lief\")");
    for (const char* help : {"--help", "-h"}) {
        ProcessResult r = RunProcess({SKIMLARK_RUN_BIN, help});
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_EQ(r.out.rfind("usage: skimlark-run [-ex] [-hidden] [-vNAME=VALUE ...] [--] script.skl\n", 0), 0u)
            << help << ": " << r.out;
        // What a user of the console runner alone must know: the switches,
        // every exit status, and the settings file with the values it gives.
        for (const char* told : {"--version", "3 its output could not", "130 Ctrl-C, 143 SIGTERM",
                                 "~/.config/skimlark/registry/", "HKEY_CURRENT_USER.reg",
                                 "[HKEY_CURRENT_USER\\Software\\Orvanta\\Skimlar]", "\"i15\"  the User-Agent",
                                 "\"i17\"  the time-out", "\"i20\"  the most redirects", "\"i5\"   the debug level"})
            EXPECT_NE(r.out.find(told), std::string::npos) << help << " does not tell " << told;
        EXPECT_EQ(r.err, "") << help;
        // Help ends the program before any script runs.
        EXPECT_EQ(RunProcess({SKIMLARK_RUN_BIN, path, help}).out.find("lief"), std::string::npos) << help;
    }
    ProcessResult v = RunProcess({SKIMLARK_RUN_BIN, "--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "skimlark-run (Skimlark) 1.08.20\n");
    EXPECT_EQ(v.err, "");

    for (const char* unknown : {"--x", "---", "--Help", "--ex"}) {
        ProcessResult r = RunProcess({SKIMLARK_RUN_BIN, unknown, path});
        EXPECT_EQ(r.status, 2) << unknown;
        EXPECT_EQ(r.out, "") << unknown;
        EXPECT_EQ(r.err.rfind(std::string("skimlark-run: unknown switch ") + unknown + "\nusage: ", 0), 0u)
            << unknown << ": " << r.err;
    }
    // A single dash is no switch but for those of the window program: such an
    // argument is a script path, as there.
    ProcessResult dash = RunProcess({SKIMLARK_RUN_BIN, "-x"});
    EXPECT_EQ(dash.status, 2);
    EXPECT_EQ(dash.err.rfind("skimlark-run: cannot read -x: No such file or directory\n", 0), 0u) << dash.err;

    // "--" ends the switches: what follows is the script, even a name that
    // reads as a switch.
    const std::string dir = MakeTempDir("dash");
    std::ofstream(dir + "--help") << "print(\"hilfe.skl\")";
    std::ofstream(dir + "-va=1") << "print(\"a=\", a)";
    struct Case {
        std::vector<std::string> argv;
        int status;
        std::string out;
    } cases[] = {
        {{"-va=2", "--", "-va=1"}, 0, "a=2\n"},
        {{"--", "--help"}, 0, "hilfe.skl\n"},
        {{"--", "-va=1", "--help"}, 2, ""},
        {{"-va=1", "--"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {SKIMLARK_RUN_BIN};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        const std::string cwd = fs::current_path();
        fs::current_path(dir);
        ProcessResult r = RunProcess(argv);
        fs::current_path(cwd);
        EXPECT_EQ(r.status, c.status) << c.argv.back() << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.argv.back();
    }
}

// A script named by the path of a pipe or a FIFO is read like a file; a path
// that cannot be read is refused with the true reason.
TEST(ConsoleRunner, ScriptsFromPipesAndFifos)
{
    const std::string script = "print(\"aus der Leitung\")";
    ProcessResult piped = RunProcess({SKIMLARK_RUN_BIN, "/dev/stdin"}, script);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, "aus der Leitung\n");

    const std::string fifo = MakeTempDir("fifo") + "skript.skl";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    // The writer waits for the runner to open the FIFO, and gives up when it
    // never does, so a refusing runner cannot hang the test.
    std::thread writer([&] {
        int fd = -1;
        while (fd < 0 && !done) {
            fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (fd >= 0) {
            signal(SIGPIPE, SIG_IGN);
            ssize_t n = write(fd, script.data(), script.size());
            (void)n;
            close(fd);
        }
    });
    ProcessResult fromFifo = RunProcess({SKIMLARK_RUN_BIN, fifo});
    done = true;
    writer.join();
    EXPECT_EQ(fromFifo.status, 0) << fromFifo.err;
    EXPECT_EQ(fromFifo.out, "aus der Leitung\n");

    const std::string dir = MakeTempDir("folder");
    ProcessResult folder = RunProcess({SKIMLARK_RUN_BIN, dir});
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.err.rfind("skimlark-run: cannot read " + dir + ": Is a directory\n", 0), 0u) << folder.err;
}

TEST(ConsoleRunner, CtrlCStopsAnEndlessLoop)
{
    ProcessResult r = RunFile("print(\"los\")\nwhile 1 eq 1 do\nx = x + 1\ndone", {}, "", 200);
    EXPECT_EQ(r.out, "los\n");
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.err, "Abbruch durch Benutzer.\n");
}

// The first Ctrl-C, SIGTERM or SIGHUP stops the run when the statement in
// progress is done; a second one ends the program at once; a signal the
// parent ignores stays ignored.
TEST(ConsoleRunner, StopSignalsDuringSleep)
{
    const std::string wrapIgnored = "trap '' INT TERM HUP; exec \"$0\" \"$1\"";
    struct Case {
        const char* name;
        int signo;
        const char* script;
        bool ignored;
        int signals;
        int status;
        bool killed;
        const char* out;
        const char* err;
    } cases[] = {
        {"INT once", SIGINT, "print(\"los\")\nsleep(800)\nprint(\"nach\")", false, 1, 130, false, "los\n",
         "Abbruch durch Benutzer.\n"},
        {"TERM once", SIGTERM, "print(\"los\")\nsleep(800)\nprint(\"nach\")", false, 1, 143, false, "los\n",
         "Abbruch durch Benutzer.\n"},
        {"HUP once", SIGHUP, "print(\"los\")\nsleep(800)\nprint(\"nach\")", false, 1, 129, false, "los\n",
         "Abbruch durch Benutzer.\n"},
        // The sleep is far longer than the test may take: only an end at
        // once passes, without the note of a stop that never came.
        {"INT twice", SIGINT, "print(\"los\")\nsleep(20000)\nprint(\"nach\")", false, 2, 130, true, "los\n", ""},
        {"TERM twice", SIGTERM, "print(\"los\")\nsleep(20000)\nprint(\"nach\")", false, 2, 143, true, "los\n", ""},
        {"INT ignored", SIGINT, "print(\"los\")\nsleep(800)\nprint(\"nach\")", true, 2, 0, false, "los\nnach\n", ""},
        {"HUP ignored", SIGHUP, "print(\"los\")\nsleep(800)\nprint(\"nach\")", true, 2, 0, false, "los\nnach\n", ""},
    };
    for (const Case& c : cases) {
        const std::string path = WriteTempFile("s.skl", c.script);
        std::vector<std::string> argv = {SKIMLARK_RUN_BIN, path};
        if (c.ignored)
            argv = {"/bin/sh", "-c", wrapIgnored, SKIMLARK_RUN_BIN, path};
        ProcessResult r = RunProcess(argv, "", 200, c.signals, c.signo);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.killed, c.killed) << c.name;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
}

// A stop by signal in the middle of writing leaves the file with every line
// whole and nothing of what the script wrote lost in a buffer.
TEST(ConsoleRunner, StopSignalKeepsEveryWrittenLine)
{
    for (int signo : {SIGTERM, SIGHUP}) {
        const std::string file = WriteTempFile("out.txt", "");
        const std::string path = WriteTempFile("s.skl", "open(f, \"" + file + "\", \"w\")\n"
                                                        "print(\"los\")\n"
                                                        "i = 0\n"
                                                        "while 1 eq 1 do\n"
                                                        "write(f, \"zeile \", i, \"\\n\")\n"
                                                        "i = i + 1\n"
                                                        "done");
        ProcessResult r = RunProcess({SKIMLARK_RUN_BIN, path}, "", 200, 1, signo);
        EXPECT_EQ(r.status, 128 + signo);
        EXPECT_FALSE(r.killed) << signo;
        EXPECT_EQ(r.err, "Abbruch durch Benutzer.\n") << signo;
        std::istringstream written(ReadFile(file));
        std::string line;
        int n = 0;
        for (; std::getline(written, line); ++n)
            ASSERT_EQ(line, "zeile " + std::to_string(n)) << signo;
        EXPECT_GT(n, 100) << signo;
        EXPECT_EQ(ReadFile(file).back(), '\n') << signo;
    }
}

// alert takes its answer from stdin like input; with nobody to answer it
// gives the answer of the box's close button and says so.
TEST(ConsoleRunner, AlertAnswers)
{
    const std::string box = "Nachricht: Weiter?\n";
    const std::string unanswered = "skimlark-run: no answer on standard input: the box counts as closed (Abbrechen)\n";
    struct Case {
        const char* input;
        const char* out;
        std::string err;
    } cases[] = {
        {"", "2|ende\n", box + unanswered},
        {"\n", "1|weiter|ende\n", box},
        {"ok\n", "1|weiter|ende\n", box},
        {"a\n", "2|ende\n", box},
    };
    for (const Case& c : cases) {
        ProcessResult r = RunFile("x = alert(\"Weiter?\")\ny = \"\"\nif x eq 1 then\ny = \"|weiter\"\nfi\n"
                                  "print(x, y, \"|ende\")",
                                  {}, c.input);
        EXPECT_EQ(r.status, 0) << c.input;
        EXPECT_EQ(r.out, c.out) << c.input;
        EXPECT_EQ(r.err, c.err) << c.input;
    }
}

TEST(ConsoleRunner, UsageErrors)
{
    EXPECT_EQ(RunProcess({SKIMLARK_RUN_BIN}).status, 2);
    ProcessResult r = RunProcess({SKIMLARK_RUN_BIN, "/nonexistent/none.skl"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("none.skl"), std::string::npos);
    std::string path = WriteTempFile("a.skl", "x = 1");
    EXPECT_EQ(RunProcess({SKIMLARK_RUN_BIN, path, path}).status, 2);
    EXPECT_EQ(RunProcess({SKIMLARK_RUN_BIN, "/tmp"}).status, 2);
}

TEST(ConsoleRunner, ReadsTheDesktopSettingsAndTheFormattingLibrary)
{
    // Without stored settings and without the library beside the program.
    ProcessResult plain = RunFile("x = format(\"%d\", 5)\nprint(x)");
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "5\n");

    // A copy of the program with the test's formatting library beside it,
    // and a stored debug level: the run dumps its variables at the end, and
    // the library's refusal of %d is the run's error.
    std::string dir = fs::path(WriteTempFile("keep", "")).parent_path();
    fs::copy_file(SKIMLARK_RUN_BIN, dir + "/skimlark-run");
    fs::copy_file(std::string(SKIMLARK_TEST_PRINT_DIR) + "/libprint.so", dir + "/libprint.so");
    {
        platform::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(platform::kSettingsKey, true));
        reg.WriteString("i5", "1");
    }
    auto hiveText = [] { return ReadFile(kRegistryDir + "/HKEY_CURRENT_USER.reg"); };
    const std::string before = hiveText();
    std::string path = WriteTempFile("s.skl", "y = 7\nx = format(\"%d\", 5)");
    ProcessResult r = RunProcess({dir + "/skimlark-run", path});
    EXPECT_EQ(hiveText(), before) << "the console runner writes no settings";
    fs::remove_all(kRegistryDir);
    fs::create_directories(kRegistryDir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Zeile 2: "), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Variable: y=7\n"), std::string::npos) << r.out;
}

}  // namespace

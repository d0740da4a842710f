// skimlark-run as a user meets it: switches, streams, exit status, Ctrl-C.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/app_settings.h"
#include "platform/registry.h"
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
    std::ifstream in(page, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("seite"), std::string::npos);
}

TEST(ConsoleRunner, LineEndsOfEveryKind)
{
    ProcessResult r = RunFile("print(1)\rprint(2)\nprint(3)\r\nprint(4)\r\n");
    EXPECT_EQ(r.out, "1\n2\n3\n4\n");
    EXPECT_EQ(r.status, 0);
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
        EXPECT_EQ(r.out.rfind("usage: skimlark-run [-ex] [-hidden] [-vNAME=VALUE ...] script.skl\n", 0), 0u)
            << help << ": " << r.out;
        EXPECT_NE(r.out.find("--version"), std::string::npos) << help;
        EXPECT_EQ(r.err, "") << help;
        // Help ends the program before any script runs.
        EXPECT_EQ(RunProcess({SKIMLARK_RUN_BIN, path, help}).out.find("lief"), std::string::npos) << help;
    }
    ProcessResult v = RunProcess({SKIMLARK_RUN_BIN, "--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "skimlark-run (Skimlark) 1.08.20\n");
    EXPECT_EQ(v.err, "");

    for (const char* unknown : {"--x", "--", "--Help", "--ex"}) {
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
}

TEST(ConsoleRunner, CtrlCStopsAnEndlessLoop)
{
    ProcessResult r = RunFile("print(\"los\")\nwhile 1 eq 1 do\nx = x + 1\ndone", {}, "", 200);
    EXPECT_EQ(r.out, "los\n");
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.err, "Abbruch durch Benutzer.\n");
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
    auto hiveText = [] {
        std::ifstream f(kRegistryDir + "/HKEY_CURRENT_USER.reg", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
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

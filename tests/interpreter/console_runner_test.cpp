// skimlark-run as a user meets it: switches, streams, exit status, Ctrl-C.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The log file and the script's own files, in a temporary folder.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <sys/stat.h>

#include "platform/error_text.h"
#include "support/files.h"
#include "support/test_host.h"

namespace {

class Streams : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "skimlark-streams-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern + "/";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Path(const std::string& name) const { return dir + name; }

    void WriteFile(const std::string& name, const std::string& data) const
    {
        std::ofstream(Path(name), std::ios::binary) << data;
    }
    std::string ReadFile(const std::string& name) const
    {
        return ::ReadFile(Path(name));
    }

    // A script line that reads the stream f to its end, printing "count:line".
    static std::string ReadAll(const std::string& stream = "f")
    {
        return "n = read(" + stream + ", l)\n"
               "while n gt 0 do\n"
               "print(n, \":\", l)\n"
               "n = read(" + stream + ", l)\n"
               "done\n"
               "print(n, \":\", l)\n";
    }

    std::string dir;
};

TEST_F(Streams, WriteThenReadBack)
{
    RunResult r = RunScript(
        "e = open(f, \"" + Path("out.txt") + "\", \"w\")\n"
        "print(\"[\", e, \"]\")\n"
        "e = write(f, \"a\", \"b\", \"\\n\", \"\\n\", \"line 3\\n\", \"last\")\n"
        "print(\"[\", e, \"]\")\n"
        "close(f)\n"
        "open(f, \"" + Path("out.txt") + "\")\n" + ReadAll() +
        "close(f)");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "[]\n[]\n3:ab\n1:\n7:line 3\n4:last\n0:");
    EXPECT_EQ(ReadFile("out.txt"), "ab\n\nline 3\nlast");
}

TEST_F(Streams, WriteTakesAnyNumberOfValues)
{
    std::string values, expected;
    for (int i = 0; i < 120; ++i) {
        values += ", \"" + std::to_string(i) + ";\"";
        expected += std::to_string(i) + ";";
    }
    RunResult r = RunScript(
        "open(f, \"" + Path("many.txt") + "\", \"w\")\n"
        "e = write(f" + values + ")\n"
        "print(\"[\", e, \"]\")\n"
        "close(f)");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "[]");
    EXPECT_EQ(ReadFile("many.txt"), expected);
}

TEST_F(Streams, AppendKeepsWhatIsThere)
{
    WriteFile("log.txt", "one\n");
    RunResult r = RunScriptOnce(
        "open(f, \"" + Path("log.txt") + "\", \"a\")\n"
        "write(f, \"two\\n\")\n"
        "close(f)");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(ReadFile("log.txt"), "one\ntwo\n");
}

TEST_F(Streams, TextModeDropsCarriageReturnsAndEndsAtCtrlZ)
{
    WriteFile("dos.txt", "a\r\nb\rc\r\n\r\nx\x1Ay\nz\n");
    RunResult r = RunScript("open(f, \"" + Path("dos.txt") + "\")\n" + ReadAll() + "print(read(f, l))");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "2:a\n3:bc\n1:\n1:x\n0:\n0");
}

TEST_F(Streams, BinaryModeKeepsEveryByte)
{
    WriteFile("bin.dat", std::string("a\rb\x1A\x80\r\n", 7) + "z");
    RunResult r = RunScript("open(f, \"" + Path("bin.dat") + "\", \"rb\")\n" + ReadAll());
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), std::string("7:a\rb\x1A\x80\n1:z\n0:", 14));
}

TEST_F(Streams, LongLinesComeInParts)
{
    WriteFile("long.txt", std::string(25000, 'x') + "\nend");
    RunResult r = RunScript("open(f, \"" + Path("long.txt") + "\")\n"
                            "n = read(f, l)\n"
                            "while n gt 0 do\n"
                            "print(n, \":\", length(l))\n"
                            "n = read(f, l)\n"
                            "done");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "9999:9999\n9999:9999\n5003:5002\n3:3");
}

// A file is read a line at once, a pipe a character at a time: both give
// the same lines, parts of long lines and the end at a Ctrl-Z.
TEST_F(Streams, PipesReadAsFilesDo)
{
    const std::string contents[] = {
        "a\r\nb\rc\r\n\r\nx\x1Ay\nz\n",
        std::string(25000, 'x') + "\r\n" + std::string(9998, 'y') + "\r\n" + std::string(9999, 'z') + "\nend",
        std::string("null\0byte\n", 10) + "\x1A",
        "",
    };
    const std::string script = "open(f, \"%s\", \"%m\")\n" + ReadAll() + "print(read(f, l))";
    for (const std::string& mode : {"r", "rb"}) {
        for (const std::string& content : contents) {
            WriteFile("file.txt", content);
            std::string fifo = Path("fifo");
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
            // A pipe is read once only: one run of the script.
            auto run = [&](const std::string& path) {
                std::string s = script;
                s.replace(s.find("%s"), 2, path);
                s.replace(s.find("%m"), 2, mode);
                return RunScriptOnce(s);
            };
            RunResult fromPipe = run(fifo);
            writer.join();
            RunResult fromFile = run(Path("file.txt"));
            std::filesystem::remove(fifo);
            ASSERT_EQ(fromFile.result, 0) << fromFile.errMsg;
            ASSERT_EQ(fromPipe.result, 0) << fromPipe.errMsg;
            EXPECT_EQ(Joined(fromPipe.output), Joined(fromFile.output)) << mode << " " << content.substr(0, 20);
        }
    }
}

TEST_F(Streams, OpeningFailuresAreResults)
{
    std::filesystem::create_directory(Path("folder"));
    struct Case {
        std::string file, mode;
        int code;
    };
    const Case cases[] = {
        {Path("missing.txt"), "r", ENOENT},
        {Path("no/such/dir/x.txt"), "w", ENOENT},
        {Path("folder"), "r", EISDIR},
        {Path("folder"), "w", EISDIR},
        {Path("x.txt"), "", EINVAL},
    };
    for (const Case& c : cases) {
        RunResult r = RunScript(
            "f = \"old\"\n"
            "e = open(f, \"" + c.file + "\", \"" + c.mode + "\")\n"
            "print(e)\n"
            "print(f)");
        EXPECT_EQ(r.result, 0) << c.file << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), SystemErrorText(c.code) + "\nold") << c.file;
    }
}

TEST_F(Streams, WrongDirectionGivesAResult)
{
    WriteFile("in.txt", "data\n");
    RunResult r = RunScript(
        "open(w, \"" + Path("new.txt") + "\", \"w\")\n"
        "l = \"old\"\n"
        "print(read(w, l), \"[\", l, \"]\")\n"
        "open(f, \"" + Path("in.txt") + "\")\n"
        "print(write(f, \"x\"))\n"
        "print(read(f, l), \"[\", l, \"]\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "0[]\n" + SystemErrorText(EBADF) + "\n5[data]");
    EXPECT_EQ(ReadFile("in.txt"), "data\n");
}

TEST_F(Streams, HandlesThatNameNoOpenStreamAreRunErrors)
{
    const std::string open = "open(f, \"" + Path("a.txt") + "\", \"w\")\n";
    struct Case {
        std::string script;
        std::string message;
        int line;
    };
    const Case cases[] = {
        {"x = read(f, l)", "Stream in read ist nicht definiert.", 1},
        {"x = read(\"0\", l)", "Stream in read ist nicht definiert.", 1},
        {"write(\"abc\", \"x\")", "Stream in write ist nicht definiert.", 1},
        {"close(\"\")", "Stream in close ist nicht definiert.", 1},
        {"x = read(12345, l)", "Stream in read ist nicht definiert.", 1},
        {open + "close(f)\nwrite(f, \"late\")", "Stream in write ist nicht definiert.", 3},
        {open + "close(f)\nclose(f)", "Stream in close ist nicht definiert.", 3},
        {open + "x = read(f + 1, l)", "Stream in read ist nicht definiert.", 2},
    };
    for (const Case& c : cases) {
        RunResult r = RunScript(c.script + "\nprint(\"not reached\")");
        EXPECT_EQ(r.errMsg, c.message) << c.script;
        EXPECT_EQ(r.result, c.line) << c.script;
        EXPECT_TRUE(r.output.empty()) << c.script;
    }
}

TEST_F(Streams, CloseKeepsTheNumberAndHandlesAreDistinct)
{
    RunResult r = RunScript(
        "open(a, \"" + Path("a.txt") + "\", \"w\")\n"
        "open(b, \"" + Path("b.txt") + "\", \"w\")\n"
        "write(a, \"A\")\n"
        "write(b, \"B\")\n"
        "h = a\n"
        "close(a)\n"
        "close(b)\n"
        "if a eq h then\nprint(\"kept\")\nfi\n"
        "if a ne b then\nprint(\"distinct\")\nfi");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "kept\ndistinct");
    EXPECT_EQ(ReadFile("a.txt"), "A");
    EXPECT_EQ(ReadFile("b.txt"), "B");
}

TEST_F(Streams, StreamsLeftOpenAreWrittenOutAtTheEnd)
{
    RunResult r = RunScript(
        "open(f, \"" + Path("open.txt") + "\", \"w\")\n"
        "write(f, \"kept\\n\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(ReadFile("open.txt"), "kept\n");
}

TEST_F(Streams, LogCopiesPrintLinesWhileLoggingIsOn)
{
    RunResult r = RunScript(
        "e = log(\"" + Path("run.log") + "\", \"w\")\n"
        "print(\"one\", \"+\", 1)\n"
        // The line is in the file at once.
        "open(f, \"" + Path("run.log") + "\")\n"
        "n = read(f, l)\n"
        "print(\"read \", l)\n"
        "logging = 0\n"
        "print(\"two\")\n"
        "logging = \"\"\n"
        "print(\"three\")\n"
        "logging = 1\n"
        "print(\"four\")\n"
        "logging = \"yes\"\n"
        "print(\"five\")\n"
        "print(\"[\", e, \"]\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "one+1\nread one+1\ntwo\nthree\nfour\nfive\n[]");
    EXPECT_EQ(ReadFile("run.log"), "one+1\nread one+1\nfour\nfive\n[]\n");
}

TEST_F(Streams, LogAgainClosesTheFirstFile)
{
    WriteFile("second.log", "before\n");
    RunResult r = RunScriptOnce(
        "log(\"" + Path("first.log") + "\", \"w\")\n"
        "print(\"a\")\n"
        "log(\"" + Path("second.log") + "\", \"a\")\n"
        "print(\"b\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(ReadFile("first.log"), "a\n");
    EXPECT_EQ(ReadFile("second.log"), "before\nb\n");
}

TEST_F(Streams, LogFailuresAreResultsAndPrintGoesOn)
{
    std::filesystem::create_directory(Path("folder"));
    RunResult r = RunScript(
        "print(log(\"" + Path("no/dir/x.log") + "\", \"w\"))\n"
        "print(log(\"" + Path("folder") + "\", \"r\"))\n"
        "print(log(\"" + Path("x.log") + "\", \"\"))\n"
        "print(logging)\n"
        "print(\"still here\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), SystemErrorText(ENOENT) + "\n" + SystemErrorText(EISDIR) + "\n" +
                                    SystemErrorText(EINVAL) + "\n1\nstill here");
}

TEST_F(Streams, UmlautNamesAreTheSystemsUtf8Names)
{
    // The script's texts are Windows-1252; ls and every other program see UTF-8.
    WriteFile("Preisliste f\xC3\xBCr M\xC3\xBCller.txt", "Butter\n");
    WriteFile("alt_\xE4.txt", "bytes\n");  // a name that is not UTF-8 on disk
    RunResult r = RunScript(
        "print(open(f, \"" + Path("Preisliste f\xFCr M\xFCller.txt") + "\"))\n"
        "read(f, l)\nprint(l)\nclose(f)\n"
        "print(open(f, \"" + Path("alt_\xE4.txt") + "\"))\n"
        "read(f, l)\nprint(l)\nclose(f)\n"
        "open(g, \"" + Path("Ausgabe f\xFCr J\xF6rg.txt") + "\", \"w\")\n"
        "write(g, \"\xE4\")\nclose(g)\n"
        "log(\"" + Path("Protokoll \x80.log") + "\", \"w\")\n"
        "print(\"geloggt\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "\nButter\n\nbytes\ngeloggt");
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Preisliste f\xC3\xBCr M\xC3\xBCller.txt", "alt_\xE4.txt",
                                           "Ausgabe f\xC3\xBCr J\xC3\xB6rg.txt", "Protokoll \xE2\x82\xAC.log"}));
    EXPECT_EQ(ReadFile("Ausgabe f\xC3\xBCr J\xC3\xB6rg.txt"), "\xE4") << "the contents stay as written";
    EXPECT_EQ(ReadFile("Protokoll \xE2\x82\xAC.log"), "geloggt\n");
}

// /dev/full fails every write that reaches it with ENOSPC, as a full disk does.
TEST_F(Streams, AFullDiskIsReportedByWriteOrClose)
{
    const std::string full = SystemErrorText(ENOSPC);
    struct Case {
        const char* what;
        std::string script, expected;
    };
    const Case cases[] = {
        // A short write waits in the buffer: close is where it fails.
        {"short", "print(\"[\", write(f, \"abc\"), \"]\")\nprint(\"[\", close(f), \"]\")", "[]\n[" + full + "]"},
        // One larger than the buffer reaches the disk at once.
        {"long", "print(\"[\", write(f, x, x), \"]\")\nclose(f)", "[" + full + "]"},
        // Nothing written: nothing to lose.
        {"empty", "print(\"[\", close(f), \"]\")", "[]"},
    };
    for (const Case& c : cases) {
        RunResult r = RunScript("x = \"" + std::string(5000, 'x') + "\"\n"
                                "open(f, \"/dev/full\", \"w\")\n" + c.script);
        ASSERT_EQ(r.result, 0) << c.what << ": " << r.errMsg;
        EXPECT_EQ(Joined(r.output), c.expected) << c.what;
    }
}

TEST_F(Streams, AFullDiskUnderTheLogIsToldOnce)
{
    RunResult r = RunScript(
        "print(\"[\", log(\"/dev/full\", \"w\"), \"]\")\n"
        "print(\"one\")\n"
        "print(\"two\")\n"
        // A new log file that works is written, and a later failure is told again.
        "log(\"" + Path("ok.log") + "\", \"w\")\n"
        "print(\"three\")\n"
        "log(\"/dev/full\", \"a\")\n"
        "print(\"four\")");
    ASSERT_EQ(r.result, 0) << r.errMsg;
    EXPECT_EQ(Joined(r.output), "[]\none\ntwo\nthree\nfour");
    EXPECT_EQ(ReadFile("ok.log"), "three\n");
    const std::string note = "Die Protokolldatei kann nicht geschrieben werden: " + SystemErrorText(ENOSPC);
    EXPECT_EQ(r.notes, std::vector<std::string>({note, note}));
}

}  // namespace

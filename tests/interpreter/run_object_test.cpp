// The run object's life: wake-ups, run modes, stop, the end-of-run report,
// the variable dump, and what a run survives.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstring>
#include <thread>

#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "platform/error_text.h"
#include "platform/texts.h"
#include "support/test_host.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Lines(std::initializer_list<const char*> l)
{
    return std::vector<std::string>(l.begin(), l.end());
}

bool Contains(const std::vector<std::string>& v, const std::string& s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(RunObject, WakeBeforeWaitIsNotLost)
{
    // The host wakes the run from inside the post, before the thread blocks.
    TestHost host;
    host.inputAnswers = {"antwort"};
    RunResult r = RunScript("x = input(\"Frage\")\nprint(x)", &host);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(Joined(r.output), "antwort");
}

TEST(RunObject, StrayWakeDoesNotAnswerALaterWait)
{
    TestHost host;
    std::vector<std::string> lines = Lines({"x = input(\"Frage\")", "print(x)"});
    std::atomic<Skript*> waiting{nullptr};
    host.onPost = [&](unsigned message, Skript* run, const std::string*) {
        if (message == WM_SCRIPT_INPUT)
            waiting = run;
    };
    Skript run(true, host, &lines);
    run.wake();  // the stop button during a normal run
    run.Resume();
    while (!waiting)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(run.Finished()) << "the stray wake-up answered the input";
    run.inputResult = "spät";
    run.wake();
    run.WaitFor();
    EXPECT_EQ(Joined(host.output()), "spät");
}

TEST(RunObject, StopEndsAnEndlessLoopWithTheNoteOnly)
{
    TestHost host;
    std::vector<std::string> lines = Lines({"while 1 eq 1 do", "x = x + 1", "done"});
    Skript run(true, host, &lines);
    run.Resume();
    while (!run.running)  // a stop before the start would be cleared by it
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    run.stop = true;
    run.WaitFor();
    EXPECT_EQ(host.notes(), std::vector<std::string>{"Abbruch durch Benutzer."});
}

TEST(RunObject, StopWhilePausedEndsAtOnce)
{
    TestHost host;
    std::vector<std::string> lines = Lines({"x = 1", "x = 2", "x = 3"});
    Skript run(true, host, &lines);
    run.runMode = 2;  // single step: the first line runs, then the run pauses
    run.Resume();
    while (!run.running)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(run.Finished());
    auto t0 = std::chrono::steady_clock::now();
    run.stop = true;
    run.WaitFor();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);
    EXPECT_EQ(run.vars->GetValue("x"), "1");
}

TEST(RunObject, SingleStepSelectsEachLineAndReportsIt)
{
    TestHost host;
    host.recordLineStatus = true;
    std::vector<std::string> lines = Lines({"a = 1", "bb = 2"});
    Skript run(true, host, &lines);
    // Waits for the status of a step, as long as a loaded machine needs.
    auto statusBecomes = [&](const std::string& want) {
        for (int i = 0; i < 500 && host.status() != want; ++i)
            std::this_thread::sleep_for(10ms);
        return host.status();
    };
    run.runMode = 2;
    run.Resume();
    EXPECT_EQ(statusBecomes("Zeile 1 von 2: a = 1  ...Ok."), "Zeile 1 von 2: a = 1  ...Ok.");
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(host.status(), "Zeile 1 von 2: a = 1  ...Ok.") << "a single step runs one line only";
    run.runMode = 2;
    EXPECT_EQ(statusBecomes("Zeile 2 von 2: bb = 2  ...Ok."), "Zeile 2 von 2: bb = 2  ...Ok.");
    run.runMode = 0;
    run.WaitFor();
    auto calls = host.calls();
    EXPECT_TRUE(Contains(calls, "select 0 1"));
    EXPECT_TRUE(Contains(calls, "select 7 1"));  // "a = 1" plus the line break's two characters
    EXPECT_EQ(run.errLine, 0);
}

TEST(RunObject, ErrorSelectsTheLineAndShowsTheNote)
{
    TestHost host;
    RunResult r = RunScript("x = 1\ny = 1 % 2\nz = 3", &host);
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.notes, std::vector<std::string>{W("Zeile 2: Ungültiger Operator '%'")});
    auto calls = host.calls();
    EXPECT_TRUE(Contains(calls, "select 7 9"));
    EXPECT_TRUE(Contains(calls, "focus"));
    EXPECT_EQ(calls.front(), "readonly");
    EXPECT_EQ(calls.back(), "writable");
}

TEST(RunObject, DebugAssignmentDumpsTheVariables)
{
    TestHost host;
    RunResult r = RunScript("debug = 1\nx = \"wert\"", &host);
    EXPECT_EQ(host.s.debugLevel, 1);
    auto out = r.output;
    EXPECT_TRUE(Contains(out, "Variable: cookies=1"));
    EXPECT_TRUE(Contains(out, "Variable: x=wert"));

    TestHost quiet;
    r = RunScript("debug[1] = 1\nx = 1", &quiet);
    EXPECT_EQ(quiet.s.debugLevel, 0);
    EXPECT_TRUE(r.output.empty());
}

TEST(RunObject, PresetsComeInAtEveryRunStart)
{
    TestHost host;
    host.s.initVars = {{"site", "http://x"}, {"n", "3"}};
    RunResult r = RunScript("print(site, \" \", n + 1, \" \", cookies, trace)", &host);
    EXPECT_EQ(Joined(r.output), "http://x 4 10");
}

TEST(RunObject, ExitAfterRunPostsTheMessage)
{
    TestHost host;
    host.s.exitAfterRun = true;
    RunScript("x = 1", &host);
    EXPECT_TRUE(Contains(host.calls(), "post " + std::to_string(WM_EXIT_AFTER_RUN)));
}

TEST(RunObject, DeepNestingEndsWithAnError)
{
    std::string deep(100000, '(');
    RunResult r = RunScript("x = " + deep + "1");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.errMsg, "Ausdruck zu tief verschachtelt");
    r = RunScript("x = a" + std::string(100000, '['));
    EXPECT_EQ(r.result, 1);
}

TEST(RunObject, GrowingTextHitsTheCap)
{
    TestHost host;
    host.s.maxTextSize = 1 << 20;
    RunResult r = RunScript("x = \"ab\"\nwhile 1 eq 1 do\nx = x . x\ndone", &host);
    EXPECT_EQ(r.result, 3);
    EXPECT_NE(r.errMsg.find("Text zu lang"), std::string::npos);
}

TEST(RunObject, BytesAreCarriedUnchanged)
{
    std::string script = "x = \"a";
    script += '\0';
    script += "\xE4\xFF\x80\"\nprint(x)";
    RunResult r = RunScript(script);
    ASSERT_EQ(r.output.size(), 1u);
    std::string want = "a";
    want += '\0';
    want += "\xE4\xFF\x80";
    EXPECT_EQ(r.output[0], want);
}

TEST(RunObject, LongLinesAndLongScriptsRun)
{
    std::string big(1 << 20, 'x');
    RunResult r = RunScript("s = \"" + big + "\"\nprint(s . \"!\")");
    ASSERT_EQ(r.output.size(), 1u);
    EXPECT_EQ(r.output[0], big + "!");

    std::string many;
    many.reserve(12 * 1000000);
    for (int i = 0; i < 1000000; ++i)
        many += "x = x + 1\n";
    many += "print(x)";
    r = RunScript(many);
    EXPECT_EQ(Joined(r.output), "1000000");
}

TEST(RunObject, NumbersIgnoreTheLocale)
{
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
        GTEST_SKIP() << "no German locale on this machine";
    RunResult r = RunScript("print(\"2.5\" * 2, \" \", 1 / 4)");
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(Joined(r.output), "5 0.25");
}

TEST(OutputPane, LineLimitDropsTheOldestLines)
{
    struct Case {
        int limit;
        std::vector<std::string> want;
    } cases[] = {
        {3, {"b", "c", "d"}},
        {0, {"d"}},
        {-5, {"d"}},
        {100, {"a", "b", "c", "d"}},
    };
    for (const auto& c : cases) {
        TestHost host;
        host.s.maxOutputLines = c.limit;
        for (const char* l : {"a", "b", "c", "d"})
            AppendOutput(host, "%s", l);
        EXPECT_EQ(host.output(), c.want) << "limit " << c.limit;
    }
}

TEST(OutputPane, PrintIgnoresTheLimitAndTheFormat)
{
    TestHost host;
    host.s.maxOutputLines = 2;
    std::string big(20000, 'y');
    RunResult r = RunScript("print(\"a\")\nprint(\"b\")\nprint(\"100%s\")\nprint(\"" + big + "\")", &host);
    ASSERT_EQ(r.output.size(), 4u);
    EXPECT_EQ(r.output[2], "100%s");
    EXPECT_EQ(r.output[3].size(), 20000u);
}

TEST(OutputPane, NotesAndErrorTexts)
{
    TestHost host;
    ShowNote(host, "%s", "50% fertig");
    std::string longText(5000, 'n');
    AppendOutput(host, "%s", longText.c_str());
    EXPECT_EQ(host.notes(), std::vector<std::string>{"50% fertig"});
    EXPECT_EQ(host.output().at(0).size(), 5000u);
    EXPECT_EQ(SystemErrorText(123456), "???");
    // German for the common causes, the C library's text for the rest.
    EXPECT_EQ(SystemErrorText(ENOENT), W("Datei oder Ordner nicht gefunden"));
    EXPECT_EQ(SystemErrorText(EACCES), W("Zugriff verweigert"));
    EXPECT_EQ(SystemErrorText(ENOSPC), W("Kein freier Platz auf dem Datenträger"));
    EXPECT_EQ(SystemErrorText(ECONNRESET), W("Verbindung von der Gegenseite zurückgesetzt"));
    EXPECT_EQ(SystemErrorText(EXDEV), std::strerror(EXDEV));
    EXPECT_EQ(SystemErrorTextUtf8(ENOSPC), "Kein freier Platz auf dem Datenträger");
}

}  // namespace

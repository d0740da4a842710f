#include "support/test_host.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "interpreter/skript.h"

TestHost::TestHost()
{
    s.dataDir = "/tmp";
    s.tempDir = "/tmp/";
    s.programDir = "/tmp/";
}

TestHost::~TestHost() = default;

std::vector<std::string> TestHost::output() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

std::vector<std::string> TestHost::notes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
}

std::vector<std::string> TestHost::boxes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

std::vector<std::string> TestHost::calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::string TestHost::status() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

void TestHost::appendOutput(const std::string& line, bool enforceLimit)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (enforceLimit) {
        while (!output_.empty() && int(output_.size()) >= s.maxOutputLines)
            output_.erase(output_.begin());
    }
    output_.push_back(line);
}

void TestHost::showNote(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back(text);
}

int TestHost::messageBox(const std::string& text, const std::string& caption, int buttons)
{
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back(caption + "|" + text);
    if (boxAnswers.empty())
        return IDOK;
    int a = boxAnswers.front();
    boxAnswers.pop_front();
    return a;
}

void TestHost::setEditorReadOnly(bool readOnly)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(readOnly ? "readonly" : "writable");
}

void TestHost::selectText(int start, int length, bool)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("select " + std::to_string(start) + " " + std::to_string(length));
}

void TestHost::scrollCaretIntoView()
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("scroll");
}

void TestHost::focusEditor()
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("focus");
}

void TestHost::lineStatus(int lineNo, int lineCount, const std::string& lineText)
{
    if (!recordLineStatus)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = FormatLineStatus(lineNo, lineCount, lineText);
}

void TestHost::appendStatus(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    status_ += text;
}

void TestHost::enableControls(unsigned mask, bool enabled)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back((enabled ? "enable " : "disable ") + std::to_string(mask));
}

void TestHost::postMessage(unsigned message, Skript* run, const std::string* url)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back("post " + std::to_string(message));
    }
    if (onPost) {
        onPost(message, run, url);
        return;
    }
    if (!run)
        return;
    // Input is answered with the next of inputAnswers (or ""); every wait
    // for the window ends at once.
    if (message == WM_SCRIPT_INPUT) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (inputAnswers.empty()) {
            run->inputResult.clear();
        } else {
            run->inputResult = inputAnswers.front();
            inputAnswers.pop_front();
        }
    }
    run->wake();
}

std::vector<std::string> ScriptLines(const std::string& script)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(script);
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

namespace {

// What one run left behind, for comparing two ways of running a script.
struct RunTrace {
    RunResult result;
    std::vector<std::string> boxes, calls, variables;
};

RunTrace RunOneWay(const std::vector<std::string>& scriptLines, TestHost& h, Skript::LinePath path)
{
    std::vector<std::string> lines = scriptLines;
    RunTrace t;
    {
        Skript run(true, h, &lines);
        run.linePath = path;
        run.Resume();
        run.WaitFor();
        t.result.result = run.errLine;
        t.result.errMsg = run.errMsg;
        t.result.stopped = run.stop;
        for (size_t i = 0; i < run.vars->Count(); ++i) {
            NamedVariable v = run.vars->At(i);
            t.variables.push_back(std::string(v.name) + "=" + v.value);
        }
    }
    t.result.output = h.output();
    t.result.notes = h.notes();
    t.boxes = h.boxes();
    t.calls = h.calls();
    return t;
}

}  // namespace

RunResult RunScript(const std::string& script, TestHost* host)
{
    TestHost local;
    TestHost& h = host ? *host : local;
    const std::vector<std::string> lines = ScriptLines(script);
    std::optional<RunTrace> reference;
    if (h.bothWays && !h.onPost) {
        // The reference run gets a host of its own with the same settings
        // and answers.
        TestHost ref;
        ref.s = h.s;
        ref.boxAnswers = h.boxAnswers;
        ref.inputAnswers = h.inputAnswers;
        reference = RunOneWay(lines, ref, Skript::LinePath::kGrammar);
    }
    RunTrace t = RunOneWay(lines, h, Skript::LinePath::kCompiled);
    if (reference) {
        const RunTrace& g = *reference;
        EXPECT_EQ(t.result.output, g.result.output) << "output differs from the grammar's for:\n" << script;
        EXPECT_EQ(t.result.notes, g.result.notes) << "notes differ from the grammar's for:\n" << script;
        EXPECT_EQ(t.result.result, g.result.result) << "error line differs from the grammar's for:\n" << script;
        EXPECT_EQ(t.result.errMsg, g.result.errMsg) << "error differs from the grammar's for:\n" << script;
        EXPECT_EQ(t.boxes, g.boxes) << "boxes differ from the grammar's for:\n" << script;
        EXPECT_EQ(t.calls, g.calls) << "host calls differ from the grammar's for:\n" << script;
        EXPECT_EQ(t.variables, g.variables) << "variables differ from the grammar's for:\n" << script;
    }
    return t.result;
}

RunResult RunScriptOnce(const std::string& script)
{
    TestHost host;
    host.bothWays = false;
    return RunScript(script, &host);
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            out += "\n";
        out += lines[i];
    }
    return out;
}

// A host for tests: records every call, keeps the output pane as a line list
// with its limit, and answers boxes and window messages from the test.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "interpreter/host.h"

class TestHost : public RunHost {
public:
    TestHost();
    ~TestHost() override;

    RunSettings s;
    // Answers for messageBox, taken in order; IDOK when none is left.
    std::deque<int> boxAnswers;
    // Called for every posted message when set; without it WM_SCRIPT_INPUT
    // is answered with the next of inputAnswers (or "") and every post wakes
    // the run.
    std::function<void(unsigned message, Skript* run, const std::string* url)> onPost;
    std::deque<std::string> inputAnswers;

    // What the run did (guarded: the run writes from its own thread).
    std::vector<std::string> output() const;  // pane lines, Windows-1252
    std::vector<std::string> notes() const;   // "Notiz" texts
    std::vector<std::string> boxes() const;   // "caption|text" of message boxes
    std::vector<std::string> calls() const;   // every other call, as a short text
    std::string status() const;               // panel 0

    RunSettings& settings() override { return s; }
    void appendOutput(const std::string& line, bool enforceLimit) override;
    void showNote(const std::string& text) override;
    int messageBox(const std::string& text, const std::string& caption, int buttons) override;
    void setEditorReadOnly(bool readOnly) override;
    void selectText(int start, int length, bool waitVisible) override;
    void scrollCaretIntoView() override;
    void focusEditor() override;
    void lineStatus(int lineNo, int lineCount, const std::string& lineText) override;
    void appendStatus(const std::string& text) override;
    void enableControls(unsigned mask, bool enabled) override;
    void postMessage(unsigned message, Skript* run, const std::string* url) override;

    // Record the line status of every line (off by default: it is per line).
    bool recordLineStatus = false;
    // RunScript runs the script first through the grammar alone on a host of
    // its own and expects the same output, notes, boxes, host calls, error
    // and final variables from the usual run. Off for a script whose two
    // runs differ by nature (clock, random numbers, a server that counts);
    // a host with its own onPost runs one way only.
    bool bothWays = true;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> output_, notes_, boxes_, calls_;
    std::string status_;
};

struct RunResult {
    int result = 0;            // what runLines returned: 0, or the 1-based error line
    std::string errMsg;        // Windows-1252
    bool stopped = false;
    std::vector<std::string> output;
    std::vector<std::string> notes;
};

// Runs a script (lines split at "\n") on a run object's own thread to its end,
// and checks it against the grammar alone (see TestHost::bothWays). Without
// a host a fresh TestHost is used.
RunResult RunScript(const std::string& script, TestHost* host = nullptr);
// RunScript on a fresh host, the usual way only: for a script whose two runs
// differ by nature.
RunResult RunScriptOnce(const std::string& script);
// A script's lines, split at "\n".
std::vector<std::string> ScriptLines(const std::string& script);

// Output lines joined with "\n", for compact expectations.
std::string Joined(const std::vector<std::string>& lines);

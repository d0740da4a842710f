// The host of the console runner: print and output lines to stdout, notes
// and the final error to stderr, input from stdin.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "interpreter/null_host.h"

class ConsoleHost : public NullHost {
public:
    void appendOutput(const std::string& line, bool enforceLimit) override;
    void showNote(const std::string& text) override;
    int messageBox(const std::string& text, const std::string& caption, int buttons) override;
    void postMessage(unsigned message, Skript* run, const std::string* url) override;

    // The run to stop when its output cannot be written any more.
    void watch(std::atomic<bool>* stop) { stop_ = stop; }
    // Empty while every output line was written; else why one was not.
    std::string outputError() const;

private:
    mutable std::mutex mutex_;
    std::atomic<bool>* stop_ = nullptr;
    std::string outputError_;
};

// Reads one line from stdin, giving up when the run's stop flag is set.
bool ReadConsoleLine(std::string& line, const std::atomic<bool>& stop);

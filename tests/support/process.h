// Runs a program with arguments and standard input, and collects its exit
// status, standard output and standard error.
#pragma once

#include <csignal>
#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;  // exit code, or 128 + signal
    bool killed = false;  // ended by a signal rather than by its own exit
    std::string out, err;
};

// signalAfterMs > 0 sends signo (SIGINT unless told) that many milliseconds
// after the program first writes to its standard output, and again each time
// that much later until signals were sent.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         int signalAfterMs = 0, int signals = 1, int signo = SIGINT);

// The same with the program's standard output sent to a file (such as
// /dev/full) instead of a pipe, or closed when the path is empty; out stays
// empty.
ProcessResult RunProcessWithStdout(const std::vector<std::string>& argv, const std::string& stdoutPath);

// Makes a fresh temporary folder whose name starts with prefix; returns its
// path with a trailing slash. The folder and all in it are removed when the
// test that made it ends (made outside a test: when the program ends).
std::string MakeTempDir(const std::string& prefix);

// Writes text to a new file in a fresh temporary folder; returns its path.
std::string WriteTempFile(const std::string& name, const std::string& text);

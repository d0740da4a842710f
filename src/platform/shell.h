// Starting programs: a program file is run directly, any other file, folder
// or URL is handed to the desktop's opener. Every child starts with only the
// standard streams open, so it never holds on to the run's files or sockets.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace platform {

// A started child. Without a call to Wait/WaitFor that saw its end, the
// destructor leaves it running and lets a background thread collect it.
class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(pid_t pid);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool Valid() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // Waits at most timeout for the end; true once the child has ended.
    bool WaitFor(std::chrono::milliseconds timeout);
    // The exit code once ended: the program's status, or 128 + the signal
    // that ended it.
    int ExitCode() const { return exitCode_; }
    // Sends a signal while the child is still running.
    void Signal(int sig);

private:
    void Release();
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool ended_ = false;
    int exitCode_ = 0;
};

// What the shell's execute operation gave.
struct ShellStart {
    // 0 when started, else an errno value (ENOENT for a missing file).
    int error = 0;
    // True when the file is no program and no opener program is installed.
    bool noOpener = false;
    ChildProcess process;
};

// True for a text that reads as a URL ("scheme:rest", a scheme of two or more
// letters), such as http://host/ or mailto:someone.
bool LooksLikeUrl(const std::string& text);

// Starts a program file (UTF-8 path; a bare name is looked up in the current
// folder, then on PATH) or opens a document, folder or URL with xdg-open.
// The child gets a session of its own, so a Ctrl-C of the console does not
// reach it.
[[nodiscard]] ShellStart ShellExecute(const std::string& file);

// Starts a program file (argv[0], a path) with the given arguments and does
// not wait for it; no opener is involved.
[[nodiscard]] ShellStart StartProgram(const std::vector<std::string>& argv);

// One run of a helper program with a fixed argument vector (no shell, so no
// argument is ever interpreted), stdin from /dev/null and both output
// streams captured.
struct ProgramRun {
    int startError = 0;  // errno of the start; ENOENT when the program is missing
    int exitCode = -1;   // as ChildProcess::ExitCode
    bool timedOut = false;
    bool cancelled = false;
    std::string out, err;
};

// argv[0] is looked up on PATH. env holds NAME=VALUE entries that are set in
// the child's environment on top of the inherited one. A run that lasts
// longer than timeout, or whose cancel flag becomes true, is killed.
[[nodiscard]] ProgramRun RunProgram(const std::vector<std::string>& argv,
                                    std::chrono::milliseconds timeout,
                                    const std::vector<std::string>& env = {},
                                    const std::atomic<bool>* cancel = nullptr);

}  // namespace platform

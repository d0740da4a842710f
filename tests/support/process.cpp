#include "support/process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// stdoutPath: nullptr for a pipe that is read, "" for a closed stdout, else
// a file to write to.
ProcessResult Run(const std::vector<std::string>& argv, const std::string& input, int signalAfterMs, int signals,
                  int signo, const std::string* stdoutPath)
{
    ProcessResult r;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        return r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    if (!stdoutPath)
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    else if (stdoutPath->empty())
        posix_spawn_file_actions_addclose(&fa, 1);
    else
        posix_spawn_file_actions_addopen(&fa, 1, stdoutPath->c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    int rc = posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return r;
    }
    signal(SIGPIPE, SIG_IGN);
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
    }
    close(in[1]);

    // The clock of the signal starts with the first output, so a slow start
    // of the program (a loaded machine, a sanitizer build) cannot make the
    // signal arrive before the program is ready for it.
    auto start = std::chrono::steady_clock::now();
    bool started = false;
    int toSend = signalAfterMs > 0 ? signals : 0;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        int n = poll(fds, 2, 20);
        if (toSend > 0 && started &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(signalAfterMs)) {
            kill(pid, signo);
            --toSend;
            start = std::chrono::steady_clock::now();
        }
        if (n <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            ssize_t k = read(fds[i].fd, buf, sizeof buf);
            if (k <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(buf, size_t(k));
                if (i == 0 && !started) {
                    started = true;
                    start = std::chrono::steady_clock::now();
                }
            }
        }
    }
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.killed = WIFSIGNALED(st);
    return r;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input, int signalAfterMs,
                         int signals, int signo)
{
    return Run(argv, input, signalAfterMs, signals, signo, nullptr);
}

ProcessResult RunProcessWithStdout(const std::vector<std::string>& argv, const std::string& stdoutPath)
{
    return Run(argv, "", 0, 0, SIGINT, &stdoutPath);
}

namespace {

// The folders of MakeTempDir. One made while a test runs goes when that test
// ends, passed or failed; one made outside a test (for a whole program, at
// start-up) goes when the program ends.
class TempDirs : public ::testing::EmptyTestEventListener {
public:
    static TempDirs& Get()
    {
        // Owned by the listener list of the test program, which lives to its end.
        static TempDirs* dirs = [] {
            auto* d = new TempDirs;
            ::testing::UnitTest::GetInstance()->listeners().Append(d);
            return d;
        }();
        return *dirs;
    }

    void Add(const std::string& dir)
    {
        const bool inTest = ::testing::UnitTest::GetInstance()->current_test_info() != nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        (inTest ? test_ : program_).push_back(dir);
    }

    void OnTestEnd(const ::testing::TestInfo&) override { RemoveAll(test_); }

    // At exit, for the folders of the whole program.
    static void RemoveProgramDirs() { Get().RemoveAll(Get().program_); }

private:
    void RemoveAll(std::vector<std::string>& dirs)
    {
        std::vector<std::string> gone;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            gone.swap(dirs);
        }
        for (const std::string& dir : gone) {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }

    std::mutex mutex_;
    std::vector<std::string> test_, program_;
};

}  // namespace

std::string MakeTempDir(const std::string& prefix)
{
    // Registered after the test program's singleton exists, so the handler
    // runs before that ends and takes the listener with it.
    TempDirs::Get();
    static const bool cleanAtExit = [] { return std::atexit(TempDirs::RemoveProgramDirs) == 0; }();
    (void)cleanAtExit;
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder: " + pattern);
    TempDirs::Get().Add(pattern);
    return pattern + "/";
}

std::string WriteTempFile(const std::string& name, const std::string& text)
{
    std::string path = MakeTempDir("skimlark-test") + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

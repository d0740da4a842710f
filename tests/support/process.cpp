#include "support/process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input, int signalAfterMs)
{
    ProcessResult r;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        return r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
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
    bool signalled = signalAfterMs <= 0;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        int n = poll(fds, 2, 20);
        if (!signalled && started &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(signalAfterMs)) {
            kill(pid, SIGINT);
            signalled = true;
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
    return r;
}

std::string MakeTempDir(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder: " + pattern);
    return pattern + "/";
}

std::string WriteTempFile(const std::string& name, const std::string& text)
{
    std::string path = MakeTempDir("skimlark-test") + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

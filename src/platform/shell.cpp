#include "platform/shell.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Captured output beyond this is dropped: the helpers we run print a few lines.
constexpr size_t kMaxCapture = size_t(1) << 20;

int StatusToCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// The descriptors above the standard streams, closed in the child. Without
// closefrom in the spawn actions we list them ourselves.
void CloseAllAbove2(posix_spawn_file_actions_t* fa)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(fa, 3);
#else
    if (DIR* d = opendir("/proc/self/fd")) {
        int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            int fd = std::atoi(e->d_name);
            if (fd > 2 && fd != own)
                posix_spawn_file_actions_addclose(fa, fd);
        }
        closedir(d);
    }
#endif
}

struct SpawnRequest {
    const char* path = nullptr;
    bool searchPath = false;
    std::vector<std::string> argv;
    const std::vector<std::string>* env = nullptr;  // overrides, or null
    int stdoutFd = -1, stderrFd = -1;
    bool stdinNull = false;
};

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides)
{
    std::vector<std::string> merged;
    for (char** e = environ; e && *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& o : overrides)
            if (o.compare(0, name.size() + 1, name + "=") == 0)
                replaced = true;
        if (!replaced)
            merged.push_back(std::move(entry));
    }
    for (const std::string& o : overrides)
        merged.push_back(o);
    return merged;
}

// Returns 0 and the pid, or the errno of the failed start.
int Spawn(const SpawnRequest& launch, pid_t& pid)
{
    posix_spawn_file_actions_t fa;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&fa);
    posix_spawnattr_init(&attr);

    if (launch.stdinNull)
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    if (launch.stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&fa, launch.stdoutFd, 1);
    if (launch.stderrFd >= 0)
        posix_spawn_file_actions_adddup2(&fa, launch.stderrFd, 2);
    CloseAllAbove2(&fa);

    // A clean signal state and a session of its own: the child neither
    // inherits our blocked signals nor receives the console's Ctrl-C.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
    posix_spawnattr_setflags(&attr, flags);

    std::vector<char*> argv;
    for (const std::string& a : launch.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    std::vector<char*> envp;
    char** envArg = environ;
    if (launch.env && !launch.env->empty()) {
        envStore = MergedEnvironment(*launch.env);
        for (const std::string& e : envStore)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        envArg = envp.data();
    }

    int rc = launch.searchPath ? posix_spawnp(&pid, launch.path, &fa, &attr, argv.data(), envArg)
                             : posix_spawn(&pid, launch.path, &fa, &attr, argv.data(), envArg);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    return rc;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program file for a bare name on PATH, or "".
std::string FindOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            if (IsExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return "";
}

ShellStart Start(SpawnRequest launch)
{
    ShellStart result;
    launch.stdinNull = false;
    pid_t pid = -1;
    result.error = Spawn(launch, pid);
    if (result.error == 0)
        result.process = ChildProcess(pid);
    return result;
}

ShellStart OpenWithOpener(const std::string& target)
{
    SpawnRequest launch;
    launch.path = "xdg-open";
    launch.searchPath = true;
    // A relative name that begins with '-' would read as an option.
    std::string arg = (!target.empty() && target[0] == '-') ? "./" + target : target;
    launch.argv = {"xdg-open", arg};
    ShellStart result = Start(launch);
    if (result.error == ENOENT) {
        result.error = 0;
        result.noOpener = true;
    }
    return result;
}

}  // namespace

ChildProcess::ChildProcess(pid_t pid) : pid_(pid)
{
#ifdef SYS_pidfd_open
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd_ >= 0)
        fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
#endif
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
{
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        Release();
        pid_ = std::exchange(other.pid_, -1);
        pidfd_ = std::exchange(other.pidfd_, -1);
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    Release();
}

void ChildProcess::Release()
{
    if (pidfd_ >= 0)
        close(pidfd_);
    pidfd_ = -1;
    if (pid_ > 0 && !ended_) {
        // Nobody waits for this child any more: collect it when it ends so
        // that it does not linger as a zombie.
        pid_t pid = pid_;
        std::thread([pid] {
            int status;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    pid_ = -1;
    ended_ = false;
}

bool ChildProcess::WaitFor(std::chrono::milliseconds timeout)
{
    if (pid_ <= 0 || ended_)
        return true;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            ended_ = true;
            exitCode_ = StatusToCode(status);
            return true;
        }
        if (r < 0 && errno != EINTR) {
            // Collected elsewhere: nothing is left to wait for.
            ended_ = true;
            exitCode_ = -1;
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        if (pidfd_ >= 0) {
            pollfd p{pidfd_, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
        }
    }
}

void ChildProcess::Signal(int sig)
{
    if (pid_ > 0 && !ended_)
        kill(pid_, sig);
}

bool LooksLikeUrl(const std::string& text)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2 || colon + 1 >= text.size())
        return false;
    if (!std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

ShellStart ShellExecute(const std::string& file)
{
    ShellStart result;
    if (file.empty()) {
        result.error = ENOENT;
        return result;
    }
    struct stat st;
    bool exists = stat(file.c_str(), &st) == 0;
    if (!exists && LooksLikeUrl(file))
        return OpenWithOpener(file);

    std::string path = file;
    if (!exists && file.find('/') == std::string::npos) {
        path = FindOnPath(file);
        if (path.empty()) {
            result.error = ENOENT;
            return result;
        }
    }
    if (stat(path.c_str(), &st) != 0) {
        result.error = errno;
        return result;
    }
    if (!IsExecutableFile(path))
        return OpenWithOpener(path);

    SpawnRequest launch;
    launch.path = path.c_str();
    launch.argv = {path};
    return Start(launch);
}

ShellStart StartProgram(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv[0].empty()) {
        ShellStart result;
        result.error = ENOENT;
        return result;
    }
    SpawnRequest launch;
    launch.path = argv[0].c_str();
    launch.argv = argv;
    return Start(launch);
}

ProgramRun RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                      const std::vector<std::string>& env, const std::atomic<bool>* cancel)
{
    ProgramRun run;
    if (argv.empty()) {
        run.startError = EINVAL;
        return run;
    }
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) {
        run.startError = errno;
        return run;
    }
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        run.startError = errno;
        close(outPipe[0]);
        close(outPipe[1]);
        return run;
    }

    SpawnRequest launch;
    launch.path = argv[0].c_str();
    launch.searchPath = true;
    launch.argv = argv;
    launch.env = &env;
    launch.stdoutFd = outPipe[1];
    launch.stderrFd = errPipe[1];
    launch.stdinNull = true;
    pid_t pid = -1;
    run.startError = Spawn(launch, pid);
    close(outPipe[1]);
    close(errPipe[1]);
    if (run.startError != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    ChildProcess child(pid);

    int fds[2] = {outPipe[0], errPipe[0]};
    std::string* sinks[2] = {&run.out, &run.err};
    for (int fd : fds)
        fcntl(fd, F_SETFL, O_NONBLOCK);

    // Reads what is there; false once the stream has ended.
    auto drain = [&](int i) {
        char buf[4096];
        for (;;) {
            ssize_t n = read(fds[i], buf, sizeof buf);
            if (n > 0) {
                if (sinks[i]->size() < kMaxCapture)
                    sinks[i]->append(buf, std::min(size_t(n), kMaxCapture - sinks[i]->size()));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            close(fds[i]);
            fds[i] = -1;
            return false;
        }
    };

    const auto deadline = Clock::now() + timeout;
    bool ended = false;
    for (;;) {
        pollfd p[2];
        int n = 0;
        int index[2];
        for (int i = 0; i < 2; ++i)
            if (fds[i] >= 0) {
                p[n] = {fds[i], POLLIN, 0};
                index[n++] = i;
            }
        if (n == 0 && ended)
            break;
        if (n > 0) {
            poll(p, n, 50);
            for (int k = 0; k < n; ++k)
                if (p[k].revents)
                    drain(index[k]);
        }
        if (!ended && child.WaitFor(std::chrono::milliseconds(n == 0 ? 50 : 0))) {
            ended = true;
            // A grandchild may still hold the pipes: take what is there now.
            for (int i = 0; i < 2; ++i)
                if (fds[i] >= 0 && drain(i)) {
                    close(fds[i]);
                    fds[i] = -1;
                }
            continue;
        }
        if (ended)
            continue;
        bool stopNow = false;
        if (cancel && cancel->load()) {
            run.cancelled = true;
            stopNow = true;
        } else if (Clock::now() >= deadline) {
            run.timedOut = true;
            stopNow = true;
        }
        if (stopNow) {
            kill(-pid, SIGKILL);  // its own process group, grandchildren included
            kill(pid, SIGKILL);
            child.WaitFor(std::chrono::hours(1));
            ended = true;
            for (int i = 0; i < 2; ++i)
                if (fds[i] >= 0) {
                    close(fds[i]);
                    fds[i] = -1;
                }
        }
    }
    run.exitCode = child.ExitCode();
    return run;
}

}  // namespace platform

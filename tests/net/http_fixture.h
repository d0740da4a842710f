// Local HTTP and HTTPS servers for the fetch tests (tests/servers/http_server.py
// on an ephemeral loopback port, a self-signed certificate made with openssl
// at test time), and a runner for scripts that use them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "interpreter/skript.h"
#include "platform/http_client.h"
#include "platform/texts.h"
#include "support/files.h"
#include "support/test_host.h"

extern char** environ;

namespace httptest {

namespace fs = std::filesystem;

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// A fresh folder below the temp folder, removed with the object.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "skimlark-http-XXXXXX").string();
        path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline int RunCommand(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One running server script of tests/servers, started with its arguments on
// an ephemeral loopback port: it prints "PORT <n>" first and ends when this
// object closes its stdin.
class ScriptServer {
public:
    ScriptServer(const std::string& script, std::vector<std::string> extra)
    {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, in[1]);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        // The system interpreter is the one with the FTP server library.
        std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        std::vector<std::string> args = {python, std::string(SKIMLARK_SERVERS) + "/" + script, "--exit-on-eof"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int rc = posix_spawnp(&pid_, python.c_str(), &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        if (rc != 0) {
            pid_ = -1;
            close(out[0]);
            return;
        }
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buf[64];
            ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, size_t(n));
        }
        close(out[0]);
        if (line.rfind("PORT ", 0) == 0)
            port_ = std::atoi(line.c_str() + 5);
    }
    ~ScriptServer()
    {
        if (stdin_ >= 0)
            close(stdin_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

// tests/servers/http_server.py.
class Server : public ScriptServer {
public:
    explicit Server(std::vector<std::string> extra) : ScriptServer("http_server.py", std::move(extra)) {}
};

// The servers shared by all tests of the program, started on first use:
// plain HTTP, HTTPS with a self-signed certificate and HTTPS with an expired
// one. Pages for /file come from Root(); every request goes to LogPath().
class Env {
public:
    static Env& Get()
    {
        static Env env;
        return env;
    }
    std::string Root() const { return dir_.path() + "/root"; }
    std::string LogPath() const { return dir_.path() + "/requests.log"; }
    int Port() const { return plain_ ? plain_->port() : 0; }
    int TlsPort()
    {
        StartTls();
        return tls_ ? tls_->port() : 0;
    }
    int ExpiredTlsPort()
    {
        StartTls();
        return expired_ ? expired_->port() : 0;
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(Port()) + path; }
    std::string TlsUrl(const std::string& path)
    {
        return "https://127.0.0.1:" + std::to_string(TlsPort()) + path;
    }
    // A page for /file?name=NAME.
    void Page(const std::string& name, const std::string& html) const { WriteFile(Root() + "/" + name, html); }
    // The requests logged since the last call.
    std::vector<std::string> TakeRequests()
    {
        std::string all = ReadFile(LogPath());
        std::string fresh = all.substr(std::min(logSeen_, all.size()));
        logSeen_ = all.size();
        std::vector<std::string> out;
        const std::string sep = "\n=== end ===\n";
        size_t at = 0, end;
        while ((end = fresh.find(sep, at)) != std::string::npos) {
            out.push_back(fresh.substr(at, end - at));
            at = end + sep.size();
        }
        return out;
    }

private:
    Env()
    {
        fs::create_directories(Root());
        plain_ = std::make_unique<Server>(std::vector<std::string>{"--log", LogPath(), "--root", Root()});
    }

    // The HTTPS servers only for the tests that need them: making the keys
    // takes a moment.
    void StartTls()
    {
        if (tlsTried_)
            return;
        tlsTried_ = true;
        std::string d = dir_.path();
        std::string key = d + "/key.pem", cert = d + "/cert.pem", csr = d + "/req.csr", old = d + "/expired.pem";
        bool made = RunCommand({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert, "-days", "1",
                                "-subj", "/CN=localhost"}) == 0;
        made = made && RunCommand({"openssl", "req", "-new", "-key", key, "-out", csr, "-subj", "/CN=old"}) == 0;
        // Valid until a day before it becomes valid: expired whatever the clock.
        made = made && RunCommand({"openssl", "x509", "-req", "-in", csr, "-signkey", key, "-out", old, "-days",
                                   "-1"}) == 0;
        if (made) {
            tls_ = std::make_unique<Server>(std::vector<std::string>{"--root", Root(), "--cert", cert, "--key", key});
            expired_ =
                std::make_unique<Server>(std::vector<std::string>{"--root", Root(), "--cert", old, "--key", key});
        }
    }

    TempDir dir_;
    std::unique_ptr<Server> plain_, tls_, expired_;
    size_t logSeen_ = 0;
    bool tlsTried_ = false;
};

// What a script run left behind.
struct WebResult {
    int errLine = 0;  // 1-based line of the run's error, 0 for none
    std::string errMsg;
    std::vector<std::string> output;
    std::vector<std::string> notes;
    // Variables after the run, by name ("" for none).
    std::map<std::string, std::string> vars;
    std::string var(const std::string& name) const
    {
        auto it = vars.find(name);
        return it == vars.end() ? std::string() : it->second;
    }
};

// Runs a script to its end on its own thread. prepare sees the run object
// before it starts (to shrink the body cap, say); with stopAfter set the
// user's stop comes after that time.
class ScriptRun {
public:
    explicit ScriptRun(const std::string& script)
    {
        std::istringstream in(script);
        std::string line;
        while (std::getline(in, line))
            lines_.push_back(line);
        host.s.dataDir = data_.path();
        host.s.httpTimeout = 5;
    }

    TestHost host;
    std::function<void(Skript&)> prepare;
    std::chrono::milliseconds stopAfter{0};

    const std::string& dataDir() const { return data_.path(); }

    WebResult Go()
    {
        run_ = std::make_unique<Skript>(true, host, &lines_);
        if (prepare)
            prepare(*run_);
        run_->Resume();
        if (stopAfter.count() > 0) {
            std::this_thread::sleep_for(stopAfter);
            run_->stop = true;
        }
        run_->WaitFor();
        WebResult r;
        r.errLine = run_->errLine;
        r.errMsg = run_->errMsg;
        r.output = host.output();
        r.notes = host.notes();
        for (size_t i = 0; i < run_->vars->Count(); ++i)
            r.vars[run_->vars->At(i).name] = run_->vars->At(i).value;
        return r;
    }
    Skript& run() { return *run_; }

private:
    TempDir data_;
    std::vector<std::string> lines_;
    std::unique_ptr<Skript> run_;
};

// Runs a script with the test settings; setup may change them first.
inline WebResult RunWeb(const std::string& script, std::function<void(ScriptRun&)> setup = {})
{
    ScriptRun run(script);
    if (setup)
        setup(run);
    return run.Go();
}

}  // namespace httptest

// skimlark-run [switches] script.skl: runs a script without a window.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/console_host.h"
#include "interpreter/output.h"
#include "interpreter/program_settings.h"
#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/folders.h"
#include "platform/print_library.h"

namespace {

std::atomic<bool>* g_stop = nullptr;

void OnInterrupt(int)
{
    if (g_stop)
        g_stop->store(true);
}

int Usage(const char* message)
{
    std::fprintf(stderr, "skimlark-run: %s\n", message);
    std::fprintf(stderr, "usage: skimlark-run [-ex] [-hidden] [-vNAME=VALUE ...] script.skl\n");
    return 2;
}

// A line ends at CR LF, LF or CR; a line end after the last line adds none.
std::vector<std::string> SplitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0, i = 0, n = bytes.size();
    while (i < n) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes, start, i - start);
            i += (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines.emplace_back(bytes, start, n - start);
    return lines;
}

// Reads a regular file whole, as bytes.
bool ReadFile(const std::string& path, std::string& bytes)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    char buf[1 << 16];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int e = errno;
            close(fd);
            errno = e;
            return false;
        }
        if (n == 0)
            break;
        bytes.append(buf, size_t(n));
    }
    close(fd);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    ConsoleHost host;
    RunSettings& s = host.s;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-ex" || arg == "-hidden")
            continue;  // they steer the window, which the console has not
        if (arg.rfind("-v", 0) == 0) {
            auto eq = arg.find('=');
            if (eq != std::string::npos) {
                std::string name = platform::Utf8ToCp1252(arg.substr(2, eq - 2));
                s.initVars[name] = platform::Utf8ToCp1252(arg.substr(eq + 1));
            }
            continue;
        }
        if (!script.empty())
            return Usage("only one script can be run");
        script = arg;
    }
    if (script.empty())
        return Usage("no script given");

    std::string bytes;
    if (!ReadFile(script, bytes))
        return Usage(("cannot read " + script + ": " + std::strerror(errno)).c_str());
    std::vector<std::string> lines = SplitLines(bytes);

    // The desktop program's settings, so a script behaves the same here.
    ReadRegistryRunSettings(s);
    SetProgramFolders(s);
    s.vsPrintf = platform::LoadPrintLibrary(s.programDir);

    SetOutputHost(&host);
    Skript run(true, host, &lines);
    g_stop = &run.stop;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);

    run.Resume();
    run.WaitFor();
    g_stop = nullptr;
    SetOutputHost(nullptr);
    std::fflush(stdout);

    if (run.stop)
        return 130;
    return run.errLine != 0 ? 1 : 0;
}

// skimlark-run [switches] script.skl: runs a script without a window.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/console_host.h"
#include "interpreter/program_settings.h"
#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/folders.h"
#include "platform/print_library.h"
#include "platform/script_text.h"

namespace {

std::atomic<bool>* g_stop = nullptr;
volatile sig_atomic_t g_signal = 0;

// The first Ctrl-C, SIGTERM or SIGHUP asks the run to stop where the script
// can be left, so its files are written out and closed; the handler then
// falls back to the default, so a second one ends at once.
void OnStopSignal(int sig)
{
    g_signal = sig;
    if (g_stop)
        g_stop->store(true);
}

void CatchStopSignals()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        sigaction(sig, nullptr, &old);
        // A signal the parent ignores (nohup, trap '' INT) stays ignored.
        if (old.sa_handler == SIG_IGN)
            continue;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sa.sa_flags = SA_RESETHAND;
        sigemptyset(&sa.sa_mask);
        sigaction(sig, &sa, nullptr);
    }
}

const char* const kUsage =
    "usage: skimlark-run [-ex] [-hidden] [-vNAME=VALUE ...] [--] script.skl\n"
    "       skimlark-run -h | --help | --version\n";

// Exit status when the script's output could not be written.
constexpr int kOutputFailed = 3;

int Usage(const std::string& message)
{
    std::fprintf(stderr, "skimlark-run: %s\n", message.c_str());
    std::fputs(kUsage, stderr);
    std::fputs("Try 'skimlark-run --help' for more information.\n", stderr);
    return 2;
}

int OutputFailed(const std::string& why)
{
    std::fprintf(stderr, "skimlark-run: cannot write the output: %s\n", why.c_str());
    return kOutputFailed;
}

// Text for stdout that must arrive, such as the help on a full disk.
int Print(const std::string& text)
{
    errno = 0;
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    return OutputFailed(std::strerror(errno ? errno : EIO));
}

int Help()
{
    return Print(std::string(kUsage) +
                 "Runs a Skimlark script without a window: print and the output lines go to\n"
                 "standard output, notes and the run's error to standard error, and input\n"
                 "reads its answers from standard input (an empty answer takes the default).\n"
                 "alert reads its answer there too: an empty line is OK, \"a\" Abbrechen, and\n"
                 "the end of the input counts as the box's close button (Abbrechen). The\n"
                 "script may be any readable file, also a pipe or a FIFO.\n"
                 "\n"
                 "  -vNAME=VALUE  preset the script variable NAME with VALUE\n"
                 "  -ex, -hidden  accepted as in the window program; no effect here\n"
                 "  --            ends the switches: the next argument is the script\n"
                 "  -h, --help    show this help and exit\n"
                 "  --version     show the version and exit\n"
                 "\n"
                 "Settings are read, never written, from the window program's settings file\n"
                 "$XDG_CONFIG_HOME/skimlark/registry/HKEY_CURRENT_USER.reg (without\n"
                 "XDG_CONFIG_HOME: ~/.config/skimlark/registry/; SKIMLARK_REGISTRY_DIR names\n"
                 "another folder). In its key [HKEY_CURRENT_USER\\Software\\Orvanta\\Skimlar]:\n"
                 "  \"i15\"  the User-Agent of the requests (default Skimlark)\n"
                 "  \"i17\"  the time-out in seconds (default 15)\n"
                 "  \"i20\"  the most redirects followed, a dword; 0 follows all (default 5)\n"
                 "  \"i5\"   the debug level; not 0 writes debugging output (default 0)\n"
                 "skimlark sets them under Programmparameter; README.md shows the file.\n"
                 "\n"
                 "Exit status: 0 the script ran to its end, 1 it ended with an error,\n"
                 "2 a usage error or a script that cannot be read, 3 its output could not\n"
                 "be written, 128 + the signal when stopped by one (130 Ctrl-C, 143 SIGTERM,\n"
                 "129 SIGHUP). The first of these signals stops the script once the statement\n"
                 "in progress is done and its files are written out; a second one ends the\n"
                 "program at once.\n");
}

// Keeps the three standard descriptors taken, so that no file the run opens
// becomes its stdout by chance; a closed stdout then fails every write.
void HoldStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            int held = open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd) {
                dup2(held, fd);
                close(held);
            }
        }
    }
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

// Reads a file whole, as bytes: a regular file, a pipe or a FIFO alike. On
// failure errno says why.
bool ReadFile(const std::string& path, std::string& bytes)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        close(fd);
        errno = e;
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
    HoldStandardDescriptors();
    ConsoleHost host;
    RunSettings& s = host.s;
    std::string script;
    bool switches = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (switches) {
            if (arg == "--") {
                switches = false;  // what follows is the script, whatever its name
                continue;
            }
            if (arg == "-h" || arg == "--help")
                return Help();
            if (arg == "--version")
                return Print("skimlark-run (Skimlark) 1.08.20\n");
            if (arg.rfind("--", 0) == 0)
                return Usage("unknown switch " + arg);
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
        }
        if (!script.empty())
            return Usage("only one script can be run");
        script = arg;
    }
    if (script.empty())
        return Usage("no script given");

    std::string bytes;
    if (!ReadFile(script, bytes))
        return Usage("cannot read " + script + ": " + std::strerror(errno));
    const platform::ScriptEncoding encoding = platform::DetectScriptEncoding(bytes);
    if (encoding == platform::ScriptEncoding::Utf16) {
        std::fprintf(stderr, "skimlark-run: %s\n", platform::Utf16ScriptMessage(script).c_str());
        return 2;
    }
    std::vector<std::string> lines = SplitLines(platform::ScriptToCp1252(bytes, encoding));

    // The desktop program's settings, so a script behaves the same here.
    ReadRegistryRunSettings(s);
    SetProgramFolders(s);
    s.vsPrintf = platform::LoadPrintLibrary(s.programDir);

    Skript run(true, host, &lines);
    g_stop = &run.stop;
    host.watch(&run.stop);
    CatchStopSignals();

    run.Resume();
    run.WaitFor();
    g_stop = nullptr;

    const std::string lost = host.outputError();
    if (!lost.empty())
        return OutputFailed(lost);
    if (run.stop)
        return 128 + (g_signal != 0 ? int(g_signal) : SIGINT);
    return run.errLine != 0 ? 1 : 0;
}

#include "app/console_host.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include "interpreter/skript.h"
#include "platform/cp1252.h"

namespace {

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        done += size_t(n);
    }
}

}  // namespace

void ConsoleHost::appendOutput(const std::string& line, bool)
{
    // The terminal has no line limit to keep: every line is shown.
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out = platform::Cp1252ToUtf8(line);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

void ConsoleHost::showNote(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::fflush(stdout);
    WriteAll(STDERR_FILENO, platform::Cp1252ToUtf8(text) + "\n");
}

int ConsoleHost::messageBox(const std::string& text, const std::string& caption, int buttons)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::fflush(stdout);
        WriteAll(STDERR_FILENO, platform::Cp1252ToUtf8(caption + ": " + text) + "\n");
    }
    if (buttons != MB_OKCANCEL || !isatty(STDIN_FILENO))
        return IDOK;
    WriteAll(STDERR_FILENO, "[Enter] OK, [a] Abbrechen: ");
    std::atomic<bool> never{false};
    std::string answer;
    if (!ReadConsoleLine(answer, never))
        return IDCANCEL;
    return (answer.empty() || answer == "o" || answer == "ok" || answer == "OK") ? IDOK : IDCANCEL;
}

void ConsoleHost::postMessage(unsigned message, Skript* run, const std::string* url)
{
    if (message == WM_SCRIPT_INPUT && run) {
        if (isatty(STDIN_FILENO)) {
            std::lock_guard<std::mutex> lock(mutex_);
            std::fflush(stdout);
            std::string prompt = run->inputPrompt;
            if (!run->inputDefault.empty())
                prompt += " [" + run->inputDefault + "]";
            WriteAll(STDERR_FILENO, platform::Cp1252ToUtf8(prompt) + ": ");
        }
        std::string answer;
        if (ReadConsoleLine(answer, run->stop))
            run->inputResult = platform::Utf8ToCp1252(answer);
        else
            run->inputResult.clear();  // end of input counts as Cancel
        run->wake();
        return;
    }
    // No window here: a request that waits for one goes on at once.
    if (run)
        run->wake();
}

bool ReadConsoleLine(std::string& line, const std::atomic<bool>& stop)
{
    line.clear();
    for (;;) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (stop)
            return false;
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            continue;
        char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !line.empty();
        if (c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

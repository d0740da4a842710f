#include "app/console_host.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/texts.h"

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

// The note of the interpreter when a run ends by its stop flag.
const char* const kStopNote = "Abbruch durch Benutzer.";

}  // namespace

void ConsoleHost::appendOutput(const std::string& line, bool)
{
    // The terminal has no line limit to keep: every line is shown.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!outputError_.empty())
        return;
    std::string out = platform::Cp1252ToUtf8(line);
    out += '\n';
    errno = 0;
    if (std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0)
        return;
    // A full disk or a closed stdout: what follows would be lost as well, so
    // the run stops here and the runner reports why.
    outputError_ = std::strerror(errno ? errno : EIO);
    if (stop_)
        stop_->store(true);
}

std::string ConsoleHost::outputError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return outputError_;
}

void ConsoleHost::showNote(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // The stop was ours, not the user's: the runner says what happened.
    if (!outputError_.empty() && text == kStopNote)
        return;
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
    if (buttons != MB_OKCANCEL)
        return IDOK;
    // The answer is a line of stdin, as for input; the prompt only where
    // someone sees it.
    if (isatty(STDIN_FILENO))
        WriteAll(STDERR_FILENO, "[Enter] OK, [a] Abbrechen: ");
    std::atomic<bool> never{false};
    std::string answer;
    if (!ReadConsoleLine(answer, stop_ ? *stop_ : never)) {
        // Nobody answers (cron, the end of the input): the answer of the
        // box's close button, so that a guard on OK does not let the run on.
        if (!(stop_ && *stop_))
            WriteAll(STDERR_FILENO,
                     "skimlark-run: no answer on standard input: the box counts as closed (Abbrechen)\n");
        return IDCANCEL;
    }
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
        // An empty answer takes the default, as OK in the window's dialog
        // with the preselected text does; the end of input counts as Cancel.
        std::string answer;
        if (!ReadConsoleLine(answer, run->stop))
            run->inputResult.clear();
        else if (answer.empty())
            run->inputResult = run->inputDefault;
        else
            run->inputResult = platform::Utf8ToCp1252(answer);
        run->wake();
        return;
    }
    // No window here: browse has written its page and ends the run; any
    // other request that waits for a window goes on at once.
    if (run && message == WM_SCRIPT_BROWSE)
        run->setError(W("Das Browserfenster ist nicht verfügbar."), run->curLine);
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

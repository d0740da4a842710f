#include "interpreter/skript.h"
#include "interpreter/compiler.h"

#include <cerrno>

#include "platform/ftp_client.h"
#include "platform/http_client.h"
#include "web/cookies.h"
#include "web/dialup.h"
#include "web/trace.h"

Skript::Skript(bool createSuspended, RunHost& h, std::vector<std::string>* l)
    : platform::Thread(true), host(h), lines(l), vars(std::make_unique<Variablen>())
{
    ftp = std::make_unique<FtpClient>();
    if (!createSuspended)
        Resume();
}

Skript::~Skript()
{
    JoinBeforeDestruction();
    vars.reset();
    cookieManager.reset();
    idLogFile.reset();
    idLogDebug.reset();
    http.reset();
    ftp.reset();
    forms.reset();
    frames.reset();
    closeAllStreams();
    if (logStream) {
        std::fclose(logStream);
        logStream = nullptr;
    }
}

void Skript::Execute()
{
    try {
        cache.clear();
        running = true;
        stop = false;
        host.setEditorReadOnly(true);
        NoteActiveConnection(*this);
        runLines(lines);
        if (settings().debugLevel != 0)
            vars->Dump(host);
    } catch (...) {
        // Nothing may escape the thread: a failure here ends only this run.
    }
    running = false;
    host.setEditorReadOnly(false);
    if (settings().exitAfterRun)
        host.postMessage(WM_EXIT_AFTER_RUN, this, nullptr);
}

void Skript::waitForGui(unsigned message, const std::string* url)
{
    wakeUp.Reset();
    host.postMessage(message, this, url);
    wakeUp.Wait();
    // The window may have changed the lines meanwhile.
    ++linesStamp;
    takeHandedLines();
}

void Skript::handOverLines(std::vector<std::string> newLines)
{
    std::lock_guard<std::mutex> lock(handMutex);
    handedLines = std::move(newLines);
    linesHanded.store(true, std::memory_order_relaxed);
}

bool Skript::takeHandedLinesNow()
{
    std::vector<std::string> old;  // freed after the lock
    {
        std::lock_guard<std::mutex> lock(handMutex);
        if (!linesHanded.load(std::memory_order_relaxed) || !lines)
            return false;
        old.swap(*lines);
        lines->swap(handedLines);
        linesHanded.store(false, std::memory_order_relaxed);
    }
    // The token cache compares the lines' texts again.
    ++linesStamp;
    return true;
}

void Skript::setError(const std::string& message, int line)
{
    if (errLine >= 0)
        return;
    errMsg = message;
    errLine = line;
}

bool Skript::withinTextLimit(size_t size, int line)
{
    if (size <= settings().maxTextSize)
        return true;
    setError("Text zu lang: mehr als " + std::to_string(settings().maxTextSize) + " Zeichen", line);
    return false;
}

const std::string* Skript::findVariable(const std::string& name)
{
    const Variable* v = vars->Find(name);
    return v ? &v->value() : nullptr;
}

int Skript::lineOffset(int line) const
{
    long long offset = 0;
    for (int i = 0; i < line && i < int(lines->size()); ++i)
        offset += (*lines)[i].size() + 2;
    return int(std::min<long long>(offset, INT32_MAX));
}

long Skript::openStream(std::FILE* f)
{
    long h = nextStream++;
    streams[h] = f;
    return h;
}

std::FILE* Skript::stream(long handle) const
{
    auto it = streams.find(handle);
    return it == streams.end() ? nullptr : it->second;
}

int Skript::closeStream(long handle)
{
    auto it = streams.find(handle);
    if (it == streams.end())
        return -1;
    errno = 0;
    int failed = std::fclose(it->second) != 0 ? (errno ? errno : EIO) : 0;
    streams.erase(it);
    return failed;
}

void Skript::closeAllStreams()
{
    for (auto& [h, f] : streams)
        std::fclose(f);
    streams.clear();
}

// The log file and the sequential file built-ins: log, open, read, write and
// close. A script keeps an open file as a handle number in a variable.
#include "interpreter/builtins_streams.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "interpreter/dispatcher.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "interpreter/variables.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/numbers.h"

void LogPrintLine(Skript& run, const std::string& text)
{
    std::string logging = run.vars->GetValue("logging");
    if (logging == "0" || logging.empty() || !run.logStream)
        return;
    errno = 0;
    bool written = std::fwrite(text.data(), 1, text.size(), run.logStream) == text.size() &&
                   std::fputc('\n', run.logStream) != EOF && std::fflush(run.logStream) == 0;
    // A full disk would drop every later line too: the user hears of it once
    // per log file, and the run goes on.
    if (!written && !run.logFailureTold) {
        run.logFailureTold = true;
        ShowNote(run.host, "Die Protokolldatei kann nicht geschrieben werden: %s",
                 SystemErrorText(errno ? errno : EIO).c_str());
    }
}

namespace {

// A read line holds at most this many characters, its line feed included;
// a longer line comes in parts.
constexpr size_t kMaxReadLength = 9999;
constexpr int kCtrlZ = 26;

// How a stream of open reads: binary streams without the text-mode rules,
// and files that can be positioned a line at once. Every stream of the run's
// table comes from open, which records it here, so an entry left by a stream
// that the run's end closed is replaced before its address is looked up
// again.
struct StreamMode {
    bool binary = false;
    bool seekable = false;
};
std::mutex modeMutex;
std::unordered_map<std::FILE*, StreamMode> streamModes;

void RememberMode(std::FILE* f, StreamMode mode)
{
    std::lock_guard<std::mutex> lock(modeMutex);
    streamModes[f] = mode;
}

void ForgetMode(std::FILE* f)
{
    std::lock_guard<std::mutex> lock(modeMutex);
    streamModes.erase(f);
}

StreamMode ModeOf(std::FILE* f)
{
    std::lock_guard<std::mutex> lock(modeMutex);
    auto it = streamModes.find(f);
    return it == streamModes.end() ? StreamMode() : it->second;
}

// fopen of a script's file name, but a folder is refused: it would open for
// reading and then fail at every read.
std::FILE* OpenFile(const std::string& name, const std::string& mode)
{
    std::FILE* f = std::fopen(platform::SystemName(name).c_str(), mode.c_str());
    if (!f)
        return nullptr;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

// The stream of a handle value; a handle of 0, one that open did not return
// and one already closed all record the same run error.
std::FILE* StreamOf(Skript& run, const std::string& value, const BuiltinCall& call, long* handle = nullptr)
{
    long h = TextToLong(value);
    std::FILE* f = h == 0 ? nullptr : run.stream(h);
    if (!f)
        run.setError("Stream in " + call.name + " ist nicht definiert.", call.line);
    if (handle)
        *handle = h;
    return f;
}

// One line of at most kMaxReadLength characters, its line end included. In
// text mode every CR is dropped and a Ctrl-Z ends the file: it is put back,
// so every later read ends at it too. A character at a time, for streams
// that cannot be positioned (pipes).
std::string ReadLineByCharacter(std::FILE* f, bool binary)
{
    char buffer[kMaxReadLength];
    size_t n = 0;
    flockfile(f);
    while (n < kMaxReadLength) {
        int c = getc_unlocked(f);
        if (c == EOF)
            break;
        if (!binary) {
            if (c == '\r')
                continue;
            if (c == kCtrlZ) {
                ungetc(c, f);
                break;
            }
        }
        buffer[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    funlockfile(f);
    return std::string(buffer, n);
}

// The same line, read at once: what was read past its end (past the length
// limit or a Ctrl-Z) is given back by positioning the file.
std::string ReadLine(std::FILE* f, StreamMode mode)
{
    if (!mode.seekable)
        return ReadLineByCharacter(f, mode.binary);
    // getline's buffer, kept for the thread's next read.
    struct Buffer {
        char* data = nullptr;
        size_t room = 0;
        ~Buffer() { std::free(data); }
    };
    thread_local Buffer raw;
    ssize_t got = getline(&raw.data, &raw.room, f);
    if (got <= 0)
        return std::string();
    const size_t size = size_t(got);
    const char* data = raw.data;
    const bool plain = mode.binary || (!std::memchr(data, '\r', size) && !std::memchr(data, kCtrlZ, size));
    if (plain && size <= kMaxReadLength)
        return std::string(data, size);
    std::string line;
    line.reserve(std::min(size, kMaxReadLength));
    size_t used = 0;
    for (; used < size && line.size() < kMaxReadLength; ++used) {
        char c = data[used];
        if (!mode.binary) {
            if (c == '\r')
                continue;
            if (c == kCtrlZ)
                break;
        }
        line += c;
    }
    if (used < size)
        fseeko(f, -static_cast<off_t>(size - used), SEEK_CUR);
    return line;
}

// log(file, mode)
BuiltinResult Log(Skript& run, funcContext& args, const BuiltinCall&)
{
    if (run.logStream) {
        std::fclose(run.logStream);
        run.logStream = nullptr;
    }
    run.vars->SetValue("logging", "1");
    run.logFailureTold = false;
    run.logStream = OpenFile(args.values[0], args.values[1]);
    if (!run.logStream)
        return SystemErrorText(errno);
    return std::string();
}

// open(stream, file [, mode])
BuiltinResult Open(Skript& run, funcContext& args, const BuiltinCall&)
{
    std::string mode = args.values.size() > 2 ? args.values[2].str() : "r";
    std::FILE* f = OpenFile(args.values[1], mode);
    if (!f)
        return SystemErrorText(errno);
    struct stat st;
    RememberMode(f, {mode.find('b') != std::string::npos, fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)});
    long handle = run.openStream(f);
    run.vars->SetValue(args.argTexts[0], static_cast<long long>(handle));
    return std::string();
}

// read(stream, variable)
BuiltinResult Read(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::FILE* f = StreamOf(run, args.values[0], call);
    if (!f)
        return std::string();
    std::string line = ReadLine(f, ModeOf(f));
    size_t count = line.size();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    run.vars->SetValue(args.argTexts[1], std::move(line));
    return IntToText(static_cast<long long>(count));
}

// write(stream, value, ...)
BuiltinResult Write(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::FILE* f = StreamOf(run, args.values[0], call);
    if (!f)
        return std::string();
    std::string result;
    for (size_t i = 1; i < args.values.size(); ++i) {
        const std::string& v = args.values[i];
        // The write's own count and the stream's error flag tell a failure
        // (a buffer that could not be written out sets the flag); errno alone
        // may be left set by a call that succeeded.
        errno = 0;
        if (std::fwrite(v.data(), 1, v.size(), f) != v.size() || std::ferror(f)) {
            result = SystemErrorText(errno ? errno : EIO);
            // The next write tries the disk again.
            std::clearerr(f);
        }
    }
    return result;
}

// close(stream): the variable keeps its number. Data still buffered is
// written now, so a full disk shows here.
BuiltinResult Close(Skript& run, funcContext& args, const BuiltinCall& call)
{
    long h = 0;
    std::FILE* f = StreamOf(run, args.values[0], call, &h);
    if (!f)
        return std::string();
    ForgetMode(f);
    int failed = run.closeStream(h);
    return failed > 0 ? SystemErrorText(failed) : std::string();
}

// ORDER: the built-in list.
constexpr BuiltinEntry kStreamBuiltins[] = {
    {"log", 2, 2, Log},
    {"open", 2, 3, Open},
    {"read", 2, 2, Read},
    {"write", 2, kOpenArgs, Write},
    {"close", 1, 1, Close},
};

}  // namespace

std::span<const BuiltinEntry> StreamBuiltins()
{
    return kStreamBuiltins;
}

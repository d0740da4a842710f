// The log file and the sequential file built-ins: log, open, read, write and
// close. A script keeps an open file as a handle number in a variable.
#include "interpreter/builtins_streams.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <unordered_set>

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
    std::fwrite(text.data(), 1, text.size(), run.logStream);
    std::fputc('\n', run.logStream);
    std::fflush(run.logStream);
}

namespace {

// A read line holds at most this many characters, its line feed included;
// a longer line comes in parts.
constexpr size_t kMaxReadLength = 9999;
constexpr int kCtrlZ = 26;

// Streams opened in a binary mode: they are read without the text-mode rules.
// Every stream of the run's table comes from open, which records its mode
// here, so an entry left by a stream that the run's end closed is replaced
// before its address is looked up again.
std::mutex binaryMutex;
std::unordered_set<std::FILE*> binaryStreams;

void RememberMode(std::FILE* f, bool binary)
{
    std::lock_guard<std::mutex> lock(binaryMutex);
    if (binary)
        binaryStreams.insert(f);
    else
        binaryStreams.erase(f);
}

bool IsBinary(std::FILE* f)
{
    std::lock_guard<std::mutex> lock(binaryMutex);
    return binaryStreams.count(f) != 0;
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
// so every later read ends at it too.
std::string ReadLine(std::FILE* f, bool binary)
{
    // The characters gather in a buffer of the longest line, so that the
    // text is built at once.
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

// log(file, mode)
BuiltinResult Log(Skript& run, funcContext& args, const BuiltinCall&)
{
    if (run.logStream) {
        std::fclose(run.logStream);
        run.logStream = nullptr;
    }
    run.vars->SetValue("logging", "1");
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
    RememberMode(f, mode.find('b') != std::string::npos);
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
    std::string line = ReadLine(f, IsBinary(f));
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
        // The write's own count tells a failure; errno alone may be left set
        // by a call that succeeded.
        errno = 0;
        if (std::fwrite(v.data(), 1, v.size(), f) != v.size())
            result = SystemErrorText(errno ? errno : EIO);
    }
    return result;
}

// close(stream): the variable keeps its number.
BuiltinResult Close(Skript& run, funcContext& args, const BuiltinCall& call)
{
    long h = 0;
    std::FILE* f = StreamOf(run, args.values[0], call, &h);
    if (f) {
        RememberMode(f, false);
        run.closeStream(h);
    }
    return std::string();
}

// ORDER: the built-in list.
constexpr BuiltinDef kStreamBuiltins[] = {
    {"log", Log},
    {"open", Open},
    {"read", Read},
    {"write", Write},
    {"close", Close},
};

}  // namespace

std::span<const BuiltinDef> StreamBuiltins()
{
    return kStreamBuiltins;
}

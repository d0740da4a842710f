// The built-ins that reach outside the script: sleep, shellexec, ftp and the
// dial-up words dial, connected and disconnect.
#include <chrono>
#include <thread>

#include "interpreter/dispatcher.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/ftp_client.h"
#include "platform/numbers.h"
#include "platform/shell.h"
#include "platform/texts.h"
#include "web/dialup.h"

namespace {

using std::chrono::milliseconds;

// The exit code that stands for a program still running.
constexpr long kStillActive = 259;

std::string Arg(const funcContext& args, size_t i)
{
    return i < args.values.size() ? args.values[i] : std::string();
}

// sleep(ms)
BuiltinResult Sleep(Skript& run, funcContext& args, const BuiltinCall&)
{
    // A negative count would otherwise be an endless wait.
    long ms = TextToLong(Arg(args, 0));
    if (ms > 0)
        std::this_thread::sleep_for(milliseconds(ms));
    return std::string();
}

// shellexec(file [, wait])
BuiltinResult ShellExec(Skript& run, funcContext& args, const BuiltinCall&)
{
    long wait = args.values.size() > 1 ? TextToLong(args.values[1]) : 0;
    platform::ShellStart started = platform::ShellExecute(platform::SystemName(Arg(args, 0)));
    if (started.error != 0)
        return SystemErrorText(started.error);
    if (started.noOpener)
        return W("Kein Programm zum Öffnen dieser Datei gefunden (xdg-open fehlt)");
    unsigned long code = 0;
    if (wait != 0 && started.process.Valid()) {
        code = kStillActive;
        while (!run.stop) {
            if (started.process.WaitFor(milliseconds(200))) {
                code = static_cast<unsigned>(started.process.ExitCode());
                break;
            }
        }
    }
    // A program still running when the wait ends goes on by itself.
    return IntToText(static_cast<long long>(code));
}

// ftp(host, user, password, mode, local file, remote file)
BuiltinResult Ftp(Skript& run, funcContext& args, const BuiltinCall& call)
{
    std::string mode = Arg(args, 3);
    for (char& c : mode)
        c = platform::Cp1252Lower(c);
    if (mode != "get" && mode != "put") {
        run.setError("FTP-Modus weder GET noch PUT", call.line);
        return std::nullopt;
    }
    const std::string local = Arg(args, 4);
    const std::string remote = Arg(args, 5);
    if (!run.ftp)
        run.ftp = std::make_unique<FtpClient>();
    FtpClient& client = *run.ftp;
    const int timeoutMs = run.settings().httpTimeout * 1000;
    client.readTimeout = timeoutMs;
    client.host = platform::Cp1252ToUtf8(Arg(args, 0));
    client.username = platform::Cp1252ToUtf8(Arg(args, 1));
    client.password = platform::Cp1252ToUtf8(Arg(args, 2));

    const bool debug = run.settings().debugLevel != 0;
    if (debug)
        run.appendOutput("FTP(" + mode + "," + local + "," + remote + "): Connect...");
    std::string error = client.Connect(timeoutMs);
    if (error.empty()) {
        if (debug)
            run.appendOutput("FTP(): Transfer...");
        std::string localName = platform::SystemName(local);
        std::string remoteName = platform::Cp1252ToUtf8(remote);
        error = mode == "get" ? client.Get(remoteName, localName) : client.Put(localName, remoteName);
    }
    client.Disconnect();
    return platform::Utf8ToCp1252(error);
}

// dial(entry [, password])
BuiltinResult DialBuiltin(Skript& run, funcContext& args, const BuiltinCall&)
{
    if (Dial(run, Arg(args, 0), Arg(args, 1)) == 0)
        return std::string();
    int code = LastRasError;
    std::string text = IntToText(code) + ": " + RasErrorText(code);
    return text.substr(0, 1024);
}

// connected()
BuiltinResult Connected(Skript& run, funcContext&, const BuiltinCall&)
{
    (void)GetActiveConnection(run);
    if (!ActiveConnection.handle.empty())
        return ActiveConnection.entryName;
    return HasLanRoute(run) ? std::string("LAN") : std::string();
}

// disconnect()
BuiltinResult Disconnect(Skript& run, funcContext&, const BuiltinCall&)
{
    RasConnection& noted = NotedConnection(run);
    if (noted.handle.empty())
        return W("Es ist keine Wählverbindung aktiv");
    HangUp(run, noted.handle);
    noted.handle.clear();
    return std::string();
}

// exit: the word alone, no argument list; the run ends after the line.
BuiltinResult Exit(Skript& run, funcContext&, const BuiltinCall&)
{
    run.exitRequested = true;
    return std::nullopt;
}

constexpr BuiltinEntry kSystemBuiltins[] = {
    {"exit", 0, 0, Exit, kReadsNoArguments},
    {"sleep", 1, 1, Sleep},
    {"shellexec", 1, 2, ShellExec},
    {"ftp", 6, 6, Ftp},
    {"dial", 1, 2, DialBuiltin},
    {"connected", 0, 0, Connected, kEmptyOnBadCount},
    {"disconnect", 0, 0, Disconnect, kEmptyOnBadCount},
};

}  // namespace

std::span<const BuiltinEntry> SystemBuiltins()
{
    return kSystemBuiltins;
}

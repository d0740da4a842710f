// The version built-in: checkversion, which can fetch and start the installer
// when the running program is older than a script requires.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "interpreter/dispatcher.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "platform/error_text.h"
#include "platform/http_client.h"
#include "platform/maker_server.h"
#include "platform/numbers.h"
#include "platform/shell.h"
#include "platform/texts.h"

namespace {

constexpr const char* kOwnVersion = "1.08.20";
constexpr const char* kInstallerName = "SkimlarkInstaller.exe";
constexpr const char* kDownloadPath = "/cgi-bin/download/download.cgi?product=skimlark";

// The message-box buttons and answers of the question, and the message that
// ends the main program's message loop.
constexpr int kYesNoCancel = 3;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr unsigned kQuitMessage = 18;

// The parts between dots; empty parts are skipped, as strtok does.
std::vector<std::string> VersionParts(const std::string& text)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= text.size()) {
        size_t dot = text.find('.', at);
        if (dot == std::string::npos)
            dot = text.size();
        if (dot > at)
            parts.push_back(text.substr(at, dot - at));
        at = dot + 1;
    }
    return parts;
}

template <typename... Args>
std::string Format(const std::string& format, Args... args)
{
    int n = std::snprintf(nullptr, 0, format.c_str(), args...);
    if (n <= 0)
        return format;
    std::string out(size_t(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format.c_str(), args...);
    out.resize(size_t(n));
    return out;
}

// Creates the installer's file in a folder made for it alone in the
// temporary folder: a fixed name there could be a link or a file that another
// user planted, to have his program started or the user's file overwritten.
// Null with errno on failure; path gets the file's path.
std::FILE* CreateInstallerFile(const std::string& tempDir, std::string& path)
{
    std::string dir = tempDir + "skimlark-update-XXXXXX";
    if (!mkdtemp(dir.data()))
        return nullptr;
    path = dir + "/" + kInstallerName;
    // The download is a program: it must be executable to start.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!file) {
        int err = errno;
        if (fd >= 0)
            close(fd);
        unlink(path.c_str());
        rmdir(dir.c_str());
        errno = err;
    }
    return file;
}

void RemoveInstallerFile(const std::string& path)
{
    unlink(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
}

// Downloads the installer into a new folder in the temporary folder; "" on
// success, else the error's message. path gets the file's path.
std::string DownloadInstaller(Skript& run, std::string& path)
{
    std::FILE* file = CreateInstallerFile(run.settings().tempDir, path);
    if (!file)
        return SystemErrorText(errno);
    HttpClient client;
    client.connectTimeoutMs = 10000;
    client.readTimeoutMs = 10000;
    run.appendOutput("Download...");
    HttpRequest request;
    request.url = platform::MakerUrl(kDownloadPath);
    request.userAgent = run.settings().userAgent;
    request.bodyFile = file;
    HttpReply reply = platform::FetchFollowingRedirects(client, request);
    bool written = std::fflush(file) == 0;
    int writeError = errno;
    std::fclose(file);
    std::string error;
    if (!reply.ok)
        error = reply.error;
    else if (!written)
        error = SystemErrorText(writeError);
    if (!error.empty())
        RemoveInstallerFile(path);
    return error;
}

void FetchAndStartInstaller(Skript& run)
{
    std::string path;
    std::string error = DownloadInstaller(run, path);
    if (!error.empty()) {
        run.showNote("Beim Download ist ein Fehler aufgetreten: " + error);
        return;
    }
    run.appendOutput("Installer starten...");
    platform::ShellStart started =
        platform::StartProgram({path, "-autostart", "-directory", run.settings().programDir});
    if (started.error != 0) {
        run.showNote(Format(W("Fehler %d beim Starten des Installers '%s': %s"), started.error, kInstallerName,
                            SystemErrorText(started.error).c_str()));
        return;
    }
    run.exitRequested = true;
    run.host.postMessage(kQuitMessage, &run, nullptr);
}

// checkversion(required)
BuiltinResult CheckVersion(Skript& run, funcContext& args, const BuiltinCall& call)
{
    const std::string required = args.values.empty() ? std::string() : args.values[0];
    std::vector<std::string> want = VersionParts(required);
    if (want.size() < 3) {
        run.setError("checkversion: Die Version muss in der Form xx.yy.zz angegeben werden.", call.line);
        return std::nullopt;
    }
    std::vector<std::string> own = VersionParts(kOwnVersion);
    if (own.size() < 3) {
        run.setError("checkversion: Interner Programmfehler: Version liegt nicht als xx.yy.zz vor.", call.line);
        return std::nullopt;
    }
    long o[3], w[3];
    for (int i = 0; i < 3; ++i) {
        o[i] = TextToLong(own[size_t(i)]);
        w[i] = TextToLong(want[size_t(i)]);
    }
    bool met = o[0] > w[0] || (o[0] == w[0] && o[1] > w[1]) || (o[0] == w[0] && o[1] == w[1] && o[2] >= w[2]);
    if (met)
        return std::string();

    std::string question = Format(W("Das Programm benötigt mindestens Version %s von Skimlark. Es ist aber nur "
                                    "Version %s installiert.\n\nSoll die aktuellste Version von Skimlark "
                                    "automatisch heruntergeladen und der Installer gestartet werden?"),
                                  required.c_str(), kOwnVersion);
    int answer = run.host.messageBox(question, "Hinweis", kYesNoCancel);
    if (answer == kIdYes) {
        FetchAndStartInstaller(run);
    } else if (answer == kIdCancel) {
        run.stop = true;
    } else {
        run.showNote(W("Da die erforderliche Skimlark-Version nicht zur Verfügung steht, ist die "
                       "ordnungsgemäße Funktion des vorliegenden Skripts nicht gerantiert."));
    }
    return std::string();
}

constexpr BuiltinEntry kVersionBuiltins[] = {
    {"checkversion", 1, 1, CheckVersion},
};

}  // namespace

std::span<const BuiltinEntry> VersionBuiltins()
{
    return kVersionBuiltins;
}

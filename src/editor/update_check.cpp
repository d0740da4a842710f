#include "editor/update_check.h"

#include <QTimer>

#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "platform/http_client.h"
#include "platform/maker_server.h"
#include "platform/process_memory.h"
#include "platform/route_table.h"

namespace {

constexpr const char* kOwnVersion = "1.08.20";
constexpr const char* kVersionQuery = "/cgi-bin/download/download.cgi?product=skimlark&getversion=1";
constexpr const char* kDownloadPage = "/cgi-bin/download/download.cgi?product=skimlark";

}  // namespace

QString MemoryGaugeText(const char* prefix, std::uint64_t bytes)
{
    return QString::asprintf("%s: %.3f MB", prefix, double(bytes) / 1048576.0);
}

std::string OfferedVersion(const std::string& line)
{
    size_t dash = line.find('-');
    size_t dot = line.find('.');
    if (dot == std::string::npos)
        return "";
    size_t from = dash == std::string::npos ? 0 : dash + 1;
    if (dash != std::string::npos && dot < dash)
        return "";
    std::string v = line.substr(from, dot - from);
    for (char& c : v)
        if (c == '_')
            c = '.';
    return v;
}

UpdateCheck::UpdateCheck(TForm1& form) : QObject(&form), form_(form)
{
    Timer2 = new QTimer(this);
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &UpdateCheck::Timer2Timer);
    Timer2->start();

    hasDefaultRoute = [this] { return HasDefaultRoute(); };
    openFunction = OpenOnDesktop;
    boxFunction = [this](const QString& text, const QString& caption, int flags) {
        return form_.boxFunction(text, caption, flags);
    };
}

void UpdateCheck::Timer2Timer()
{
    std::uint64_t free = 0;
    std::uint64_t used = ProcessMemoryUsed(free);
    form_.SetStatusText(2, MemoryGaugeText("Belegt", used));
    form_.SetStatusText(3, MemoryGaugeText("Frei", free));
    if (!form_.updatePending)
        return;
    // Consumed whatever the outcome: a check that cannot run now is dropped.
    form_.updatePending = false;
    if (!form_.autoUpdate || !hasDefaultRoute())
        return;
    std::string v = FetchLatestVersion();
    if (!v.empty() && AskForDownload(v))
        OpenDownloadPage();
}

std::uint64_t UpdateCheck::ProcessMemoryUsed(std::uint64_t& free) const
{
    free = platform::FreePhysicalMemory();
    return platform::ProcessMemoryUsed(statmPath);
}

bool UpdateCheck::HasDefaultRoute()
{
    platform::RouteLookup r = platform::LookUpDefaultRoute();
    if (r.error != 0) {
        boxFunction(QString::asprintf("Fehler %d in GetIpForwardTable", r.error), QStringLiteral("Notiz"), MB_OK);
        return false;
    }
    return r.defaultRoute;
}

std::string UpdateCheck::FetchLatestVersion()
{
    HttpClient client;
    client.readTimeoutMs = 30000;
    HttpRequest request;
    request.url = platform::MakerUrl(kVersionQuery);
    // The version query sends a fixed User-Agent of its own, not the one
    // the settings give the scripts.
    request.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
    std::string body;
    request.bodyBuffer = &body;
    HttpReply reply = platform::FetchFollowingRedirects(client, request);
    std::string error;
    if (!reply.ok)
        error = reply.error;
    else if (body.empty())
        error = "Die Antwort des Servers ist leer.";
    if (!error.empty()) {
        form_.boxFunction(FromCp1252(error), QStringLiteral("Notiz"), MB_OK);
        return "";
    }
    std::string first = body.substr(0, body.find_first_of("\r\n"));
    std::string v = OfferedVersion(first);
    return v == kOwnVersion ? std::string() : v;
}

bool UpdateCheck::AskForDownload(const std::string& version)
{
    QString text = QStringLiteral("\nIm Internet steht eine neue Version ") + FromCp1252(version) +
                   QString::fromUtf8(" zur Verfügung.\nKlicken Sie auf 'Ja' um die neue Version herunterzuladen\n");
    return boxFunction(text, QStringLiteral("Hinweis"), MB_YESNO) == IDYES;
}

void UpdateCheck::Open(const std::string& url)
{
    ReportNotOpened(openFunction(url), url, boxFunction);
}

void UpdateCheck::OpenDownloadPage()
{
    Open(platform::MakerUrl(kDownloadPage));
}

void UpdateCheck::InternetForum1Click()
{
    Open(platform::MakerUrl("/forum/"));
}

void UpdateCheck::NachUpdatesuchen1Click()
{
    std::string v = FetchLatestVersion();
    if (!v.empty()) {
        if (AskForDownload(v))
            OpenDownloadPage();
        return;
    }
    form_.boxFunction(QString::fromUtf8("Es steht noch keine aktuellere Version im Internet zur Verfügung."),
                      QStringLiteral("Notiz"), MB_OK);
}

// The main window's one-second timer: the two memory gauges in the status
// bar and the automatic update check; also the "Nach Update suchen" and
// "Internet-Forum" commands.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "editor/desktop_open.h"
#include "editor/message_box.h"

class QTimer;
class TForm1;

// "Belegt: %.3f MB" / "Frei: %.3f MB": a point and three decimals, whatever the locale.
QString MemoryGaugeText(const char* prefix, std::uint64_t bytes);
// The version that a first reply line announces: the text between its first
// '-' (or its start) and its first '.', with '_' read as '.'; "" for none.
std::string OfferedVersion(const std::string& firstLine);

class UpdateCheck : public QObject {
    Q_OBJECT
public:
    explicit UpdateCheck(TForm1& form);

    QTimer* Timer2;

    // What tests replace: the route lookup, the opening of pages, the boxes
    // and where the process memory is read.
    std::function<bool()> hasDefaultRoute;
    std::function<Opened(const std::string& url)> openFunction;
    BoxFunction boxFunction;
    std::string statmPath = "/proc/self/statm";

    void Timer2Timer();
    // Bytes used by the process; free gets the free physical memory.
    std::uint64_t ProcessMemoryUsed(std::uint64_t& free) const;
    bool HasDefaultRoute();
    // The offered version when it differs from the own one, else "".
    std::string FetchLatestVersion();
    void OpenDownloadPage();
    void NachUpdatesuchen1Click();
    void InternetForum1Click();

private:
    void Open(const std::string& url);
    bool AskForDownload(const std::string& version);
    TForm1& form_;
};

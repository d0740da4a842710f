#include "editor/desktop_open.h"

#include "editor/qt_text.h"
#include "platform/shell.h"

Opened OpenOnDesktop(const std::string& target)
{
    platform::ShellStart s = platform::ShellExecute(target);
    if (s.error != 0)
        return Opened::Failed;
    return s.noOpener ? Opened::NoOpener : Opened::Yes;
}

void ReportNotOpened(Opened result, const std::string& target, const BoxFunction& box, bool reportFailure)
{
    switch (result) {
    case Opened::Yes:
        return;
    case Opened::Failed:
        if (reportFailure)
            box(QStringLiteral("Error ShellExecuteEx"), QStringLiteral("Fehler"), MB_OK);
        return;
    case Opened::NoOpener:
        // The address is shown, so that it can be opened by hand.
        box(QString::fromUtf8("Kein Programm zum Öffnen gefunden (xdg-open fehlt).\n") + FromNative(target),
            QStringLiteral("Fehler"), MB_OK);
        return;
    }
}

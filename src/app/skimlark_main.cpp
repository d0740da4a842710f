// skimlark: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/qt_translation.h"
#include "editor/command_line.h"
#include "editor/main_window.h"
#ifdef SKIMLARK_HAVE_RECORDER
#include "recorder/browser_window.h"
#endif

namespace {

const char* const kNoDisplay =
    "skimlark: Keine grafische Anzeige verfügbar (DISPLAY oder WAYLAND_DISPLAY fehlt oder ist nicht erreichbar).\n";

// Qt ends the process with an abort when no display can be opened; the user
// gets one line saying why instead. What Qt reports while it starts is held
// back and passed on once a display was found.
QtMessageHandler g_qtHandler = nullptr;
struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};
std::vector<HeldMessage> g_held;

void HoldStartMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(1);
    }
    g_held.push_back({type, context.file, context.function, context.category, context.line, text});
}

bool DisplayNamed()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return true;  // the user chose the platform, offscreen included
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// --help, --version and unknown switches are answered without a window and
// without the settings; -1 when the window is to start.
int AnswerWithoutWindow(int argc, char** argv)
{
    CommandLine cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    std::string text;
    if (cl.help)
        text = CommandLineHelp();
    else if (cl.version)
        text = CommandLineVersion();
    else if (!cl.unknownSwitch.empty()) {
        std::fputs(UnknownSwitchReport(cl.unknownSwitch).c_str(), stderr);
        return 2;
    } else
        return -1;
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0)
        return 3;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (int answered = AnswerWithoutWindow(argc, argv); answered >= 0)
        return answered;
    if (!DisplayNamed()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
#ifdef SKIMLARK_HAVE_RECORDER
    // The web engine refuses to start as root while its sandbox is on.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    g_qtHandler = qInstallMessageHandler(HoldStartMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    for (const HeldMessage& m : g_held) {
        QMessageLogContext context(m.file.isNull() ? nullptr : m.file.constData(), m.line,
                                   m.function.isNull() ? nullptr : m.function.constData(),
                                   m.category.isNull() ? nullptr : m.category.constData());
        g_qtHandler(m.type, context, m.text);
    }
    g_held.clear();
    platform::LoadQtGerman(app);
    // Qt takes the user's locale; numbers and the system's error texts of a
    // run stay as the console runner has them.
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_MESSAGES, "C");
    try {
        TForm1 form(QApplication::arguments().mid(1));
#ifdef SKIMLARK_HAVE_RECORDER
        new TForm11(form.browserHost(), &form);  // a child of the main window, hidden until browse
#endif
        form.show();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Skimlark"), QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Skimlark"), QString());
    }
    return 1;
}

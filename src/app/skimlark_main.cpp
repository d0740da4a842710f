// skimlark: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <exception>
#include <unistd.h>

#include "app/qt_translation.h"
#include "editor/main_window.h"
#ifdef SKIMLARK_HAVE_RECORDER
#include "recorder/browser_window.h"
#endif

int main(int argc, char** argv)
{
#ifdef SKIMLARK_HAVE_RECORDER
    // The web engine refuses to start as root while its sandbox is on.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication app(argc, argv);
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

// Setup: installs the application from the archive appended to this file.
#include <QApplication>
#include <QScreen>
#include <string>
#include <vector>

#include "app/qt_translation.h"
#include "installer/setup_form.h"
#include "installer/setup_mode.h"
#include "installer/setup_ui.h"
#include "installer/uninstall_form.h"

int main(int argc, char** argv)
{
    const installer::SetupMode mode = installer::ChooseMode(std::vector<std::string>(argv + 1, argv + argc));
    // The uninstaller deletes its own file itself when it closes (Linux lets
    // a running program's file go), so the clean-up mode has nothing left to
    // do and ends at once, without a window; it never deletes a path from
    // its command line.
    if (mode == installer::SetupMode::CleanUp)
        return 0;
    const bool uninstall = mode == installer::SetupMode::Uninstall;
    QApplication app(argc, argv);
    platform::LoadQtGerman(app);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (uninstall) {
        installer::UninstallForm form(arguments);
        form.show();
        form.move(form.screen()->availableGeometry().center() - form.rect().center());
        return app.exec();
    }
    installer::SetupForm form(arguments);
    form.show();
    // Centred on the screen.
    form.move(form.screen()->availableGeometry().center() - form.rect().center());
    return app.exec();
}

// Setup: installs the application from the archive appended to this file.
#include <QApplication>
#include <QScreen>
#include <cstring>

#include "installer/setup_form.h"
#include "installer/setup_ui.h"
#include "installer/uninstall_form.h"

int main(int argc, char** argv)
{
    bool uninstall = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "/u", 2) == 0)
            uninstall = true;
        // The uninstaller deletes its own file itself when it closes (Linux
        // lets a running program's file go), so the clean-up mode has
        // nothing left to do and ends at once, without a window.
        if (std::strncmp(argv[i], "/d", 2) == 0)
            return 0;
    }
    QApplication app(argc, argv);
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

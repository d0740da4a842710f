// Setup: installs the application from the archive appended to this file.
#include <QApplication>
#include <QScreen>
#include <cstring>

#include "installer/setup_form.h"
#include "installer/setup_ui.h"

int main(int argc, char** argv)
{
    bool uninstall = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "/u", 2) == 0)
            uninstall = true;
        // The clean-up mode of a finished uninstaller is not part of this
        // build; it ends at once, as that mode does, without a window.
        if (std::strncmp(argv[i], "/d", 2) == 0)
            return 0;
    }
    QApplication app(argc, argv);
    if (uninstall) {
        installer::ShowNote("Die Deinstallation ist in dieser Version nicht verf\xC3\xBCgbar.");
        return 1;
    }
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    installer::SetupForm form(arguments);
    form.show();
    // Centred on the screen.
    form.move(form.screen()->availableGeometry().center() - form.rect().center());
    return app.exec();
}

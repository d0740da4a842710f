// skimlark: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <exception>

#include "editor/main_window.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt takes the user's locale; numbers and the system's error texts of a
    // run stay as the console runner has them.
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_MESSAGES, "C");
    try {
        TForm1 form(QApplication::arguments().mid(1));
        form.show();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Skimlark"), QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Skimlark"), QString());
    }
    return 1;
}

// Qt's own texts in German (the standard dialogs and buttons), for the two
// windowed programs. Header only, so the platform library itself stays
// without Qt.
#pragma once

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace platform {

// Installs Qt's German translation (qtbase_de from Qt's translations
// folder) into the application; false when it is not installed, and Qt's
// texts then stay English.
inline bool LoadQtGerman(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace platform

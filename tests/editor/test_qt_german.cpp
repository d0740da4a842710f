// Qt's own texts in the windowed programs: standard buttons and the file
// dialog speak German like the rest of the program.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>

#include "app/qt_translation.h"

class QtGermanTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Fails when Qt's translations (the qt6-translations-l10n package) are missing.
        QVERIFY(platform::LoadQtGerman(*QCoreApplication::instance()));
    }

    void standardButtons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << "Abbrechen";
        QTest::newRow("Yes") << int(QDialogButtonBox::Yes) << "&Ja";
        QTest::newRow("No") << int(QDialogButtonBox::No) << "&Nein";
        QTest::newRow("Open") << int(QDialogButtonBox::Open) << QString::fromUtf8("Öffnen");
        QTest::newRow("Save") << int(QDialogButtonBox::Save) << "Speichern";
    }

    void standardButtons()
    {
        QFETCH(int, button);
        QFETCH(QString, text);
        const auto which = QDialogButtonBox::StandardButton(button);
        QDialogButtonBox box(which);
        QCOMPARE(box.button(which)->text(), text);
    }

    void fileDialogLabels()
    {
        QFileDialog dialog(nullptr, QString(), QString(), QString());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(dialog.labelText(QFileDialog::LookIn), QStringLiteral("Suchen in:"));
        QCOMPARE(dialog.labelText(QFileDialog::FileType), QStringLiteral("Dateien des Typs:"));
    }
};

QTEST_MAIN(QtGermanTest)
#include "test_qt_german.moc"

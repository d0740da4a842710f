// The uninstaller: what it removes, what it must leave (files the user
// added, anything outside the installation folder whatever "files.lst"
// says), the missing list, cancelling, and the self-deletion on close.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include "installer/feedback_form.h"
#include "installer/payload_writer.h"
#include "installer/shortcuts.h"
#include "installer/uninstall_form.h"
#include "installer_fixture.h"
#include "platform/registry.h"

using namespace installer;

namespace {

const char* const kUninstallKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void WriteKey(platform::Hive hive, const std::string& key)
{
    platform::TRegistry reg(platform::KEY_ALL_ACCESS, hive);
    QVERIFY(reg.OpenKey(key, true));
    reg.WriteString("DisplayName", "x");
}

bool KeyExists(platform::Hive hive, const std::string& key)
{
    platform::TRegistry reg(platform::KEY_READ, hive);
    return reg.KeyExists(key);
}

bool Exists(const QString& path) { return QFileInfo(path).exists() || QFileInfo(path).isSymLink(); }

}  // namespace

class UninstallTest : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateHome> home;
    QString oldCwd;
    QString target;
    int feedbackShown = 0;

    QString homePath(const QString& rel) const { return home->path() + "/" + rel; }
    QString inTarget(const QString& rel) const { return target + "/" + rel; }

    // An installed product: program, help folder, archive, uninstaller,
    // list, both shortcuts and both keys, plus keys that must survive.
    void makeInstallation(const QByteArray& list)
    {
        target = homePath("Programme/Skimlark");
        QVERIFY(QDir().mkpath(inTarget("help/bilder")));
        QVERIFY(WriteAll(inTarget("skimlark"), "#!/bin/sh\n"));
        QVERIFY(WriteAll(inTarget("help/index.htm"), "<p>Hilfe</p>"));
        QVERIFY(WriteAll(inTarget("help/bilder/logo.png"), "png"));
        QVERIFY(WriteAll(inTarget("setup.zip"), "zip"));
        QVERIFY(WriteAll(inTarget("setup.exe"), "exe"));
        if (!list.isNull())
            QVERIFY(WriteAll(inTarget("files.lst"), list));
        for (const QString& folder : {homePath("Schreibtisch"), homePath("data/applications")}) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(WriteAll(QString::fromStdString(ShortcutPath(folder.toStdString(), "Skimlark")), "[Desktop Entry]\n"));
            QVERIFY(WriteAll(QString::fromStdString(ShortcutPath(folder.toStdString(), "Andere")), "[Desktop Entry]\n"));
        }
        WriteKey(platform::Hive::CurrentUser, "\\Software\\Orvanta\\Skimlark");
        WriteKey(platform::Hive::CurrentUser, "\\Software\\Orvanta\\Skimlar");
        WriteKey(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Skimlark");
        WriteKey(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Andere");
    }

    std::unique_ptr<UninstallForm> form(const QString& ownName = "setup.exe")
    {
        auto f = std::make_unique<UninstallForm>(QStringList{"/uAlt", "/uSkimlark"}, inTarget(ownName).toStdString());
        f->askFeedback = [this] { ++feedbackShown; };
        f->show();
        return f;
    }

    void verifyProductRemoved()
    {
        for (const char* gone : {"skimlark", "help/index.htm", "help/bilder/logo.png", "help/bilder", "help",
                                 "files.lst", "setup.zip"})
            QVERIFY2(!Exists(inTarget(gone)), gone);
        QVERIFY(!Exists(homePath("Schreibtisch/Skimlark.desktop")));
        QVERIFY(!Exists(homePath("data/applications/Skimlark.desktop")));
        QVERIFY(Exists(homePath("Schreibtisch/Andere.desktop")));
        QVERIFY(Exists(homePath("data/applications/Andere.desktop")));
        QVERIFY(!KeyExists(platform::Hive::CurrentUser, "\\Software\\Orvanta\\Skimlark"));
        QVERIFY(!KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Skimlark"));
        // The main program's own settings and other products' entries stay.
        QVERIFY(KeyExists(platform::Hive::CurrentUser, "\\Software\\Orvanta\\Skimlar"));
        QVERIFY(KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Andere"));
    }

private slots:
    void init()
    {
        oldCwd = QDir::currentPath();
        home = std::make_unique<PrivateHome>();
        feedbackShown = 0;
    }
    void cleanup()
    {
        QDir::setCurrent(oldCwd);
        home.reset();
    }

    void removesEverythingAndThenItself()
    {
        BoxRecorder boxes;
        // "\" between folders, a CR LF line end and a last line without one.
        makeInstallation("skimlark\r\nhelp\\index.htm\nhelp/bilder/logo.png");
        auto f = form();
        QCOMPARE(f->windowTitle(), QString("Skimlark - UnSetup [Setup V 1.10.0]"));
        QCOMPARE(f->Label4->text(), QString());
        QCOMPARE(f->Button3->text(), QString("Abbrechen"));

        f->Button2->click();
        QCOMPARE(feedbackShown, 1);
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(f->Label2->text(), QString("Deinstallation abgeschlossen."));
        QVERIFY(!f->Button2->isEnabled());
        QCOMPARE(f->Button3->text(), QString("Schliessen"));
        verifyProductRemoved();
        QVERIFY(Exists(inTarget("setup.exe")));

        f->Button3->click();
        QVERIFY(!Exists(target));
        QVERIFY(Exists(homePath("Programme")));
    }

    void keepsWhatTheUserAdded()
    {
        makeInstallation("skimlark\nhelp/index.htm\nhelp/bilder/logo.png\n");
        QVERIFY(WriteAll(inTarget("help/notizen.txt"), "meins"));
        QVERIFY(WriteAll(inTarget("eigenes.skl"), "print 1"));
        auto f = form();
        f->Button2->click();
        QVERIFY(Exists(inTarget("help/notizen.txt")));
        QVERIFY(Exists(inTarget("eigenes.skl")));
        QVERIFY(!Exists(inTarget("help/bilder")));
        // The close box hands over as "Schliessen" does: only the
        // uninstaller goes, the folder that still holds files stays.
        f->close();
        QVERIFY(!Exists(inTarget("setup.exe")));
        QVERIFY(Exists(inTarget("eigenes.skl")));
    }

    void neverLeavesTheInstallationFolder()
    {
        QVERIFY(QDir().mkpath(homePath("fremd/leer")));
        QVERIFY(QDir().mkpath(homePath("Programme")));
        QVERIFY(WriteAll(homePath("fremd/a.txt"), "a"));
        QVERIFY(WriteAll(homePath("fremd/b.txt"), "b"));
        QVERIFY(WriteAll(homePath("Programme/nachbar.txt"), "n"));
        const QByteArray outside = QFile::encodeName(homePath("fremd/a.txt"));
        makeInstallation("skimlark\n../nachbar.txt\n..\\nachbar.txt\nhelp/../../nachbar.txt\n" + outside +
                         "\nverweis/b.txt\nhelp/index.htm\nhelp/bilder/logo.png\n");
        // A folder link and a file link inside the installation point outside.
        QVERIFY(QFile::link(homePath("fremd"), inTarget("verweis")));
        QVERIFY(QFile::link(homePath("fremd/b.txt"), inTarget("b-link")));
        QVERIFY(WriteAll(inTarget("files.lst"), ReadAll(inTarget("files.lst")) + "b-link\n"));

        auto f = form();
        f->Button2->click();
        verifyProductRemoved();
        for (const char* kept : {"fremd/a.txt", "fremd/b.txt", "fremd/leer", "Programme/nachbar.txt"})
            QVERIFY2(Exists(homePath(kept)), kept);
        // The listed link itself goes; the folder link is not followed.
        QVERIFY(!Exists(inTarget("b-link")));
        QVERIFY(Exists(inTarget("verweis")));
    }

    void missingListStillRemovesTheRest()
    {
        BoxRecorder boxes;
        makeInstallation(QByteArray());
        QVERIFY(QDir().mkpath(inTarget("leer/leerer")));
        auto f = form();
        f->Button2->click();
        QCOMPARE(boxes.texts(),
                 std::vector<std::string>{"Hinweis " + target.toStdString() + "/files.lst: No such file or directory"});
        QCOMPARE(f->Label2->text(), QString("Deinstallation abgeschlossen."));
        QVERIFY(!Exists(inTarget("setup.zip")));
        QVERIFY(!Exists(inTarget("leer")));
        QVERIFY(Exists(inTarget("skimlark")));  // unlisted, so it stays
        QVERIFY(Exists(inTarget("help/bilder/logo.png")));
        QVERIFY(!Exists(homePath("Schreibtisch/Skimlark.desktop")));
        QVERIFY(!KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Skimlark"));
    }

    void cancelRemovesNothing()
    {
        makeInstallation("skimlark\n");
        auto f = form();
        f->Button3->click();
        QCOMPARE(feedbackShown, 0);
        for (const char* kept : {"skimlark", "setup.exe", "setup.zip", "files.lst"})
            QVERIFY2(Exists(inTarget(kept)), kept);
        QVERIFY(Exists(homePath("Schreibtisch/Skimlark.desktop")));
        QVERIFY(KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Skimlark"));
    }

    void aFileOtherThanTheCopiedUninstallerIsNotDeleted()
    {
        // "/u" given to a downloaded installer: it removes the listed items
        // but not itself.
        makeInstallation("skimlark\n");
        QVERIFY(WriteAll(inTarget("Setup-Skimlark"), "exe"));
        auto f = form("Setup-Skimlark");
        f->Button2->click();
        f->close();
        QVERIFY(!Exists(inTarget("skimlark")));
        QVERIFY(Exists(inTarget("Setup-Skimlark")));
    }

    void anEmptyProductTouchesNoKeys()
    {
        makeInstallation("skimlark\n");
        UninstallForm f(QStringList{"/u"}, inTarget("setup.exe").toStdString());
        f.askFeedback = [] {};
        f.Button2Click();
        QVERIFY(KeyExists(platform::Hive::CurrentUser, "\\Software\\Orvanta\\Skimlar"));
        QVERIFY(KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Andere"));
    }

    void declinedOrClosedFeedbackLetsTheUninstallGoOn()
    {
        for (bool viaCloseBox : {false, true}) {
            makeInstallation("skimlark\n");
            QVERIFY(WriteAll(inTarget("skimlark"), "x"));
            UninstallForm f(QStringList{"/uSkimlark"}, inTarget("setup.exe").toStdString());
            f.show();
            bool seen = false;
            QTimer::singleShot(0, [&] {
                auto* feedback = qobject_cast<FeedbackForm*>(QApplication::activeModalWidget());
                seen = feedback != nullptr;
                if (!feedback)
                    return;
                if (viaCloseBox)
                    feedback->close();
                else
                    feedback->Button1->click();
            });
            f.Button2Click();
            QVERIFY(seen);
            QCOMPARE(f.Label2->text(), QString("Deinstallation abgeschlossen."));
            QVERIFY(!Exists(inTarget("skimlark")));
        }
    }

    void feedbackQueryEscapesOnlyDateAndSentence()
    {
        std::tm when{};
        when.tm_mday = 1;
        when.tm_mon = 1;
        when.tm_year = 107;
        when.tm_hour = 3;
        when.tm_min = 4;
        when.tm_sec = 5;
        QCOMPARE(FeedbackQuery(when, "Skimlark", false, false, false, "Platf=2,Maj=6,Min=0", ""),
                 std::string("?datum=01.02.2007%2003%3A04%3A05&prog=Skimlark&box1=0&box2=0&box3=0"
                             "&os=Platf=2,Maj=6,Min=0&txt1="));
        // "&" and "=" cannot end the key early; "%" and umlaut bytes go unchanged.
        QCOMPARE(EncodeFeedbackText("a&b=c 50% \xE4+,/:;<>?"),
                 std::string("a%26b%3Dc%2050%%20\xE4%2B%2C%2F%3A%3B%3C%3E%3F"));
        for (char c : GetOsName())
            QVERIFY(EncodeFeedbackText(std::string(1, c)).size() == 1);
    }

    void feedbackGoesToTheMakersServer()
    {
        BoxRecorder boxes;
        const QString log = homePath("server.log");
        QProcess server;
        server.start("python3", {SKIMLARK_SOURCE_DIR "/tests/servers/maker_server.py", "--log", log, "--exit-on-eof"});
        QVERIFY(server.waitForStarted());
        QVERIFY(server.waitForReadyRead(10000));
        const QByteArray first = server.readLine().trimmed();
        QVERIFY(first.startsWith("PORT "));
        qputenv("SKIMLARK_SERVER", "http://127.0.0.1:" + first.mid(5));

        QVERIFY(MakeZip(homePath("app.zip"), {{"skimlark", "x"}}));
        const QString file = homePath("setup.exe");
        QCOMPARE(AppendPayload(SKIMLARK_SETUP_BIN, homePath("app.zip").toStdString(), file.toStdString(),
                               "Skimlark skimlark|Hinweis|https://www.skimlark.example/|101|0"),
                 std::string());
        FeedbackForm f(file.toStdString());
        f.show();
        f.CheckBox1->setChecked(true);
        f.Edit1->setText(QString::fromUtf8("gut & sch\xC3\xB6n"));
        f.Button2->click();
        qunsetenv("SKIMLARK_SERVER");
        server.closeWriteChannel();
        server.waitForFinished(5000);

        QVERIFY(!f.isVisible());
        // The stand-in answers 404: the user hears of it, nothing else happens.
        QCOMPARE(boxes.boxes.size(), size_t(1));
        QVERIFY2(boxes.any("Das FeedBack konnte nicht gesendet werden: 404 "), boxes.boxes[0].text.c_str());
        // The umlaut leaves as its one Windows-1252 byte, which the HTTP
        // layer writes as "%F6" since a raw byte is not allowed in a URL.
        const QByteArray line = ReadAll(log).trimmed();
        QVERIFY2(line.startsWith("/download/feedback/feedback.php?datum="), line.constData());
        QVERIFY2(line.endsWith("&prog=Skimlark&box1=1&box2=0&box3=0&os=" + QByteArray::fromStdString(GetOsName()) +
                               "&txt1=gut%20%26%20sch%F6n"),
                 line.constData());
    }

    void withoutFeedbackNothingIsSent()
    {
        BoxRecorder boxes;
        qputenv("SKIMLARK_SERVER", "http://127.0.0.1:1");
        FeedbackForm f(homePath("fehlt").toStdString());
        f.show();
        f.Button1->click();
        qunsetenv("SKIMLARK_SERVER");
        QVERIFY(!f.isVisible());
        QVERIFY(boxes.boxes.empty());
    }
};

QTEST_MAIN(UninstallTest)
#include "test_uninstall.moc"

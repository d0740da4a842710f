// The uninstaller: what it removes, what it must leave (files the user
// added, anything outside the installation folder whatever "files.lst"
// says), the missing list, cancelling, and the self-deletion on close.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
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

// A loopback server for one request: keeps its bytes as they came and
// answers 404.
class OneRequestServer {
public:
    OneRequestServer()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(listener_, 1) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            int conn = accept(listener_, nullptr, nullptr);
            if (conn < 0)
                return;
            char block[4096];
            ssize_t n;
            while (request_.find("\r\n\r\n") == std::string::npos && (n = read(conn, block, sizeof block)) > 0)
                request_.append(block, size_t(n));
            const char reply[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            (void)!write(conn, reply, sizeof reply - 1);
            close(conn);
        });
    }
    ~OneRequestServer()
    {
        if (listener_ >= 0)
            shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        if (listener_ >= 0)
            close(listener_);
    }
    // The request, once the client has had its answer; "" when none came.
    std::string received()
    {
        if (listener_ >= 0)
            shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        return request_;
    }
    int port = 0;

private:
    int listener_ = -1;
    std::thread thread_;
    std::string request_;
};

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
        // "\" between folders, a CR LF line end and a last line without one;
        // the folders the install made (itself too), listed before what they
        // hold.
        makeInstallation("./\nhelp/\nhelp\\bilder\\\r\nskimlark\r\nhelp\\index.htm\nhelp/bilder/logo.png");
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
        makeInstallation("skimlark\nhelp/\nhelp/bilder/\nhelp/index.htm\nhelp/bilder/logo.png\n");
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
                         "\nverweis/b.txt\nverweis/leer/\nhelp/index.htm\nhelp/bilder/logo.png\nhelp/bilder/\nhelp/\n");
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

    // Installed into the home folder: the user's empty folders there and
    // one inside a folder of the program stay; only the listed folders go,
    // and a listed folder replaced by a link is not followed.
    void onlyFoldersTheInstallMadeAreRemoved()
    {
        makeInstallation("skimlark\nhelp/\nhelp/bilder/\nhelp/index.htm\nhelp/bilder/logo.png\n"
                         "daten/\ndaten/alt/\n");
        const QStringList users{"Desktop", "Dokumente", "Musik", "Bilder/Urlaub", ".config/werkzeug",
                                "help/bilder/eigene"};
        for (const QString& folder : users)
            QVERIFY(QDir().mkpath(inTarget(folder)));
        QVERIFY(QDir().mkpath(homePath("anderswo/alt")));
        QVERIFY(QFile::link(homePath("anderswo"), inTarget("daten")));
        BoxRecorder boxes;
        auto f = form();
        f->Button2->click();
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(f->Label2->text(), QString("Deinstallation abgeschlossen."));
        for (const QString& folder : users)
            QVERIFY2(QFileInfo(inTarget(folder)).isDir(), qPrintable(folder));
        QVERIFY(!Exists(inTarget("help/index.htm")));
        QVERIFY(!Exists(inTarget("help/bilder/logo.png")));
        QVERIFY(QFileInfo(homePath("anderswo/alt")).isDir());
        QVERIFY(QFileInfo(inTarget("daten")).isSymLink());
    }

    // A read-only installation, uninstalled by an ordinary user: nothing can
    // go, one note names what stayed, and the list and the entry stay for
    // another try, which then removes everything.
    void whatCannotBeRemovedIsReportedAndTheEntryStays()
    {
        makeInstallation("skimlark\nhelp/\nhelp/bilder/\nhelp/index.htm\nhelp/bilder/logo.png\n");
        const QByteArray list = ReadAll(inTarget("files.lst"));
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        const auto writable = readOnly | QFileDevice::WriteOwner;
        for (const QString& folder : {target, inTarget("help"), inTarget("help/bilder")})
            QVERIFY(QFile::setPermissions(folder, readOnly));
        // Reported in the child: 1 note, its text, the status and the button.
        const int seen = AsOrdinaryUser(target, [this] {
            BoxRecorder boxes;
            auto f = form();
            f->Button2->click();
            const std::string expected =
                "Folgendes konnte nicht entfernt werden:\n"
                "skimlark: Permission denied\nhelp/index.htm: Permission denied\n"
                "help/bilder/logo.png: Permission denied\nhelp/bilder/: Permission denied\n"
                "help/: Permission denied\n\n"
                "Der Eintrag zur Deinstallation bleibt, damit Sie sie wiederholen k\xC3\xB6nnen.";
            return int(boxes.texts() == std::vector<std::string>{expected}) |
                   int(f->Label2->text() == "Deinstallation unvollständig.") << 1 | int(!f->done) << 2;
        });
        if (seen == INT_MIN)
            QSKIP("cannot run as an ordinary user");
        QCOMPARE(seen, 7);
        QCOMPARE(ReadAll(inTarget("files.lst")), list);
        QVERIFY(Exists(inTarget("skimlark")));
        QVERIFY(Exists(homePath("Schreibtisch/Skimlark.desktop")));
        QVERIFY(KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + "Skimlark"));

        // Now only "help" may not be written: what lies in it directly stays
        // listed, and so does "help" itself, which still holds them.
        for (const QString& folder : {target, inTarget("help/bilder")})
            QVERIFY(QFile::setPermissions(folder, writable));
        AsOrdinaryUser(target, [this] {
            auto f = form();
            BoxRecorder boxes;
            f->Button2->click();
            return 0;
        });
        QCOMPARE(ReadAll(inTarget("files.lst")), QByteArray("help/index.htm\nhelp/bilder/\nhelp/\n"));
        QVERIFY(QFile::setPermissions(inTarget("help"), writable));
        BoxRecorder boxes;
        auto f = form();
        f->Button2->click();
        QVERIFY(boxes.boxes.empty());
        verifyProductRemoved();
    }

    // The emptied installation folder goes with the uninstaller only when
    // the install made it; a folder the user chose as it was stays.
    void theInstallationFolderGoesOnlyWhenTheInstallMadeIt_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<bool>("gone");
        QTest::newRow("made by the install") << QByteArray("./\nskimlark\n") << true;
        QTest::newRow("there before") << QByteArray("skimlark\n") << false;
    }
    void theInstallationFolderGoesOnlyWhenTheInstallMadeIt()
    {
        QFETCH(QByteArray, list);
        makeInstallation(list);
        QVERIFY(QDir(inTarget("help")).removeRecursively());
        auto f = form();
        f->Button2->click();
        f->close();
        QVERIFY(!Exists(inTarget("setup.exe")));
        QTEST(!Exists(target), "gone");
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
        // Unlisted, so they stay: empty folders are removed only when the
        // list says the install made them.
        QVERIFY(Exists(inTarget("leer/leerer")));
        QVERIFY(Exists(inTarget("skimlark")));
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

    // A product name that is empty or holds a path separator would name the
    // parent keys or other products' keys: no key is deleted.
    void productsThatAreNoPlainNameTouchNoKeys_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::newRow("empty") << "/u";
        QTest::newRow("backslash") << "/u\\";
        QTest::newRow("backslash in front") << "/u\\Skimlar";
        QTest::newRow("backslash behind") << "/uSkimlark\\";
        QTest::newRow("slash") << "/uSkimlark/..";
    }
    void productsThatAreNoPlainNameTouchNoKeys()
    {
        QFETCH(QString, argument);
        makeInstallation("skimlark\n");
        UninstallForm f(QStringList{argument}, inTarget("setup.exe").toStdString());
        f.askFeedback = [] {};
        f.Button2Click();
        QCOMPARE(f.Label2->text(), QString("Deinstallation abgeschlossen."));
        for (const char* key : {"\\Software\\Orvanta\\Skimlar", "\\Software\\Orvanta\\Skimlark"})
            QVERIFY2(KeyExists(platform::Hive::CurrentUser, key), key);
        for (const char* product : {"Skimlark", "Andere"})
            QVERIFY2(KeyExists(platform::Hive::LocalMachine, std::string(kUninstallKey) + product), product);
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
        OneRequestServer server;
        QVERIFY(server.port != 0);
        qputenv("SKIMLARK_SERVER", "http://127.0.0.1:" + QByteArray::number(server.port));

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
        const std::string request = server.received();

        QVERIFY(!f.isVisible());
        // The stand-in answers 404: the user hears of it, nothing else happens.
        QCOMPARE(boxes.boxes.size(), size_t(1));
        QCOMPARE(boxes.boxes[0].text, std::string("Das FeedBack konnte nicht gesendet werden: 404 HTTP/1.1 404 Not Found"));
        // The umlaut leaves as its one Windows-1252 byte, unescaped.
        const std::string line = request.substr(0, request.find("\r\n"));
        QVERIFY2(line.rfind("GET /download/feedback/feedback.php?datum=", 0) == 0, line.c_str());
        const std::string tail = "&prog=Skimlark&box1=1&box2=0&box3=0&os=" + GetOsName() +
                                 "&txt1=gut%20%26%20sch\xF6n HTTP/1.1";
        QVERIFY2(line.size() > tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0,
                 line.c_str());
        QVERIFY(request.find("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n") != std::string::npos);
        QVERIFY(request.find("\r\nAccept: text/html, */*\r\n") != std::string::npos);
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

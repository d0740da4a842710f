// The install sequence on a real installer (the built Setup program with an
// archive appended): copies, extraction, shortcuts, uninstall entry, the
// switches and the licence page, in-process and as a separate program.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <unistd.h>
#include <unzip.h>

#include "installer/licence_form.h"
#include "installer/payload_header.h"
#include "installer/payload_writer.h"
#include "installer/setup_form.h"
#include "installer/setup_mode.h"
#include "installer/uninstall_form.h"
#include "installer_fixture.h"
#include "platform/registry.h"

using namespace installer;

namespace {

const char* const kScript = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n";
const char* const kUninstallKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Skimlark";

}  // namespace

class InstallTest : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateHome> home;
    QString oldCwd;
    QString installer;  // the built installer file
    QByteArray archive;

    QString homePath(const QString& rel) const { return home->path() + "/" + rel; }

    void makeInstaller(const std::string& header)
    {
        QVERIFY(MakeZip(homePath("app.zip"), {{"/", "", true},
                                              {"skimlark", kScript},
                                              {"help/", "", true},
                                              {"help/index.htm", "<p>Hilfe</p>"}}));
        archive = ReadAll(homePath("app.zip"));
        installer = homePath("Setup-Skimlark");
        QCOMPARE(QString::fromStdString(AppendPayload(SKIMLARK_SETUP_BIN, homePath("app.zip").toStdString(),
                                                      installer.toStdString(), header)),
                 QString());
    }

    std::unique_ptr<SetupForm> form(const QStringList& args)
    {
        auto f = std::make_unique<SetupForm>(args, installer.toStdString());
        f->pauseMs = 0;
        f->show();
        return f;
    }

    // The installer as make-installer builds it from an archive of these bytes.
    void makeInstallerWithTool(const QByteArray& zip, const QString& header)
    {
        QVERIFY(WriteAll(homePath("app.zip"), zip));
        archive = zip;
        QProcess tool;
        tool.start(SKIMLARK_MAKE_INSTALLER_BIN, {SKIMLARK_SETUP_BIN, homePath("app.zip"), installer, header});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
    }

    // Runs the uninstaller that the install left in target; its status texts.
    std::vector<std::string> uninstall(const QString& target)
    {
        UninstallForm u({"/uSkimlark"}, (target + "/setup.exe").toStdString());
        u.askFeedback = [] {};
        u.show();
        StatusRecorder status;
        u.Button2->click();
        u.close();
        return status.texts;
    }

private slots:
    void init()
    {
        oldCwd = QDir::currentPath();
        home = std::make_unique<PrivateHome>();
        makeInstaller("Skimlark skimlark|Hinweis des Herstellers|https://www.skimlark.example/|101|0");
    }
    void cleanup()
    {
        QDir::setCurrent(oldCwd);
        home.reset();
    }

    void installsFilesShortcutsAndUninstallEntry()
    {
        BoxRecorder boxes;
        const QString target = homePath("Programme/Skimlark");
        QVERIFY(QDir().mkpath(homePath("Programme")));
        auto f = form({"-directory", target});
        QCOMPARE(f->windowTitle(), QString("Skimlark - Setup V 1.10.0"));
        QCOMPARE(f->Label3->text(), QString("Hinweis des Herstellers"));
        QCOMPARE(f->Edit1->text(), target);
        f->CheckBox1->setChecked(true);
        f->CheckBox2->setChecked(true);
        QSignalSpy progress(f->ProgressBar1, &QProgressBar::valueChanged);

        f->Button2->click();  // no licence page: the start message is posted
        QCoreApplication::sendPostedEvents(f.get(), WM_START_INSTALL);

        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        QVERIFY(!f->Button2->isEnabled());
        QList<int> positions;
        for (const auto& call : progress)
            positions << call.at(0).toInt();
        QCOMPARE(positions, (QList<int>{4, 6, 8, 10, 30, 50, 70, 90, 94, 96, 98, 100}));

        // The archive part (with the CR LF behind the "$") and the whole installer.
        QCOMPARE(ReadAll(target + "/setup.zip"), "\r\n" + archive);
        QCOMPARE(ReadAll(target + "/setup.exe"), ReadAll(installer));
        QVERIFY(QFileInfo(target + "/setup.exe").isExecutable());
        QCOMPARE(ReadPayloadHeader((target + "/setup.exe").toStdString()).headerText.substr(0, 18),
                 std::string("Skimlark skimlark|"));
        QCOMPARE(ReadAll(target + "/skimlark"), QByteArray(kScript));
        QVERIFY(QFileInfo(target + "/skimlark").isExecutable());
        QCOMPARE(ReadAll(target + "/help/index.htm"), QByteArray("<p>Hilfe</p>"));
        QCOMPARE(ReadAll(target + "/files.lst"), QByteArray("./\nskimlark\nhelp/\nhelp/index.htm\n"));

        for (const QString& link : {homePath("Schreibtisch/Skimlark.desktop"), homePath("data/applications/Skimlark.desktop")}) {
            QByteArray entry = ReadAll(link);
            QVERIFY2(entry.startsWith("[Desktop Entry]\n"), qPrintable(link));
            QVERIFY(entry.contains("\nName=Skimlark\n"));
            QVERIFY(entry.contains("\nExec=\"" + QFile::encodeName(target) + "/skimlark\"\n"));
        }

        platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
        QVERIFY(reg.OpenKeyReadOnly(kUninstallKey));
        QCOMPARE(QString::fromStdString(reg.ReadString("DisplayName")), QString("Skimlark"));
        QCOMPARE(QString::fromStdString(reg.ReadString("UninstallString")), target + "/setup.exe /uSkimlark");
    }

    // A folder whose parent is missing fails cleanly; after the folder is
    // mended a second start installs.
    void failedStartCanBeRepeated()
    {
        BoxRecorder boxes;
        auto f = form({"-directory", homePath("missing/deeper")});
        f->RunInstall();
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Cannot open setup.zip or setup.zip.zip\n"});
        QCOMPARE(f->Label2->text(), QString("Abbruch nach Fehler."));
        QCOMPARE(f->ProgressBar1->value(), 0);
        QVERIFY(f->Button2->isEnabled());
        QVERIFY(!QFile::exists(homePath("missing")));
        platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
        QVERIFY(!reg.KeyExists(kUninstallKey));

        QVERIFY(QDir().mkpath(homePath("missing")));
        QVERIFY(WriteAll(homePath("missing/deeper"), ""));  // a file in the folder's place
        boxes.boxes.clear();
        f->RunInstall();
        QCOMPARE(f->Label2->text(), QString("Abbruch nach Fehler."));
        QVERIFY(boxes.any("Cannot open setup.zip"));

        QVERIFY(QFile::remove(homePath("missing/deeper")));
        QVERIFY(QDir().mkpath(homePath("missing/deeper")));
        QVERIFY(WriteAll(homePath("missing/deeper/files.lst"), "left over\n"));
        boxes.boxes.clear();
        f->RunInstall();
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        // An earlier install's names stay listed beside this one's.
        QCOMPARE(ReadAll(homePath("missing/deeper/files.lst")), QByteArray("left over\nskimlark\nhelp/\nhelp/index.htm\n"));
        QVERIFY(boxes.boxes.empty());
        // No shortcuts were asked for.
        QVERIFY(!QFile::exists(homePath("Schreibtisch/Skimlark.desktop")));
    }

    // Installers without a usable archive: the plain Setup program (only the
    // compiled default header), one cut off in its archive, one cut right
    // behind its header. Each ends with a message, nothing extracted.
    void brokenPayloadStopsTheInstall_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("no payload") << "plain";
        QTest::newRow("archive cut in half") << "half";
        QTest::newRow("nothing behind the header") << "header";
    }
    void brokenPayloadStopsTheInstall()
    {
        QFETCH(QString, which);
        QByteArray all = ReadAll(installer);
        if (which == "plain")
            installer = SKIMLARK_SETUP_BIN;
        else
            QVERIFY(WriteAll(installer, all.left(all.size() - (which == "half" ? archive.size() / 2 : archive.size()))));
        BoxRecorder boxes;
        const QString target = homePath("broken");
        auto f = form({"-directory", target});
        if (which == "plain") {
            QCOMPARE(f->product, std::string("Skimlark"));
            QCOMPARE(f->exeName, std::string("SkimlarkTest.exe"));
            QCOMPARE(f->licenceTextNo, 3);
        }
        f->RunInstall();
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Cannot open setup.zip or setup.zip.zip\n"});
        QCOMPARE(f->Label2->text(), QString("Abbruch nach Fehler."));
        // Only the folder the install made is listed, for the uninstall.
        QCOMPARE(ReadAll(target + "/files.lst"), QByteArray("./\n"));
        QCOMPARE(QDir(target).entryList(QDir::Files), (QStringList{"files.lst", "setup.exe", "setup.zip"}));
    }

    void folderTextIsChecked()
    {
        BoxRecorder boxes;
        auto f = form({});
        f->Edit1->clear();
        f->RunInstall();
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Bitte geben Sie ein Installations-Verzeichnis an."});

        // A relative folder counts from where Setup started.
        QVERIFY(QDir::setCurrent(home->path()));
        f->Edit1->setText("rel/Skimlark");
        QVERIFY(QDir().mkpath("rel"));
        f->CheckBox2->setChecked(true);
        f->RunInstall();
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        QVERIFY(QFile::exists(homePath("rel/Skimlark/skimlark")));
        QVERIFY(ReadAll(homePath("data/applications/Skimlark.desktop"))
                    .contains("Exec=\"" + QFile::encodeName(homePath("rel/Skimlark/skimlark")) + "\""));
    }

    void switchesSetFolderAndOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("autostart");
        QTest::newRow("none") << QStringList{} << ".local/opt/Skimlark" << false;
        QTest::newRow("-autostart alone") << QStringList{"-autostart"} << ".local/opt/Skimlark" << true;
        QTest::newRow("folder with trailing slash") << QStringList{"-directory", "/srv/x/"} << "/srv/x/" << false;
        QTest::newRow("-directory swallows -autostart") << QStringList{"-directory", "-autostart"} << "-autostart" << true;
    }
    void switchesSetFolderAndOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, folder);
        QFETCH(bool, autostart);
        BoxRecorder boxes;
        auto f = form(args);
        QCOMPARE(f->Edit1->text(), folder.startsWith('/') || folder.startsWith('-') ? folder : homePath(folder));
        QCOMPARE(f->CheckBox3->isChecked(), autostart);
        QCOMPARE(f->CheckBox1->isEnabled(), !autostart);
        QCOMPARE(f->CheckBox3->isEnabled(), !autostart);
        // The posted start goes with the window, untouched.
    }

    // Every absolute folder begins with "/": the folder after "-directory"
    // is never taken for the uninstall or clean-up switch.
    void folderIsNeverASwitch_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("product");
        const int install = int(SetupMode::Install), uninstall = int(SetupMode::Uninstall);
        QTest::newRow("/usr folder") << QStringList{"-autostart", "-directory", "/usr/local/skimlark"} << install << "";
        QTest::newRow("/data folder") << QStringList{"-directory", "/data/x", "-autostart"} << install << "";
        QTest::newRow("/dev folder") << QStringList{"-directory", "/dev/shm/x"} << install << "";
        QTest::newRow("folder named -directory") << QStringList{"-directory", "-directory", "/usr/x"} << install << "";
        QTest::newRow("uninstall") << QStringList{"/uSkimlark"} << uninstall << "Skimlark";
        QTest::newRow("uninstall beside a folder") << QStringList{"-directory", "/uX", "/uSkimlark"} << uninstall
                                                   << "Skimlark";
        QTest::newRow("clean-up") << QStringList{"/d", "12", "/tmp/x/setup.exe"} << int(SetupMode::CleanUp) << "";
    }
    void folderIsNeverASwitch()
    {
        QFETCH(QStringList, args);
        std::vector<std::string> list;
        for (const QString& a : args)
            list.push_back(a.toStdString());
        QTEST(int(ChooseMode(list)), "mode");
        QTEST(QString::fromStdString(UninstallProduct(list)), "product");
    }

    // With a fresh home the default folder is made on the way; a system
    // folder for programs that this user may write to comes first.
    void defaultFolderIsMadeWhenMissing()
    {
        BoxRecorder boxes;
        auto f = form({"-autostart"});
        const QString target = homePath(".local/opt/Skimlark");
        QCOMPARE(f->Edit1->text(), target);
        QVERIFY(!QFileInfo::exists(homePath(".local")));
        QCoreApplication::sendPostedEvents(f.get(), WM_START_INSTALL);
        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        QCOMPARE(ReadAll(target + "/help/index.htm"), QByteArray("<p>Hilfe</p>"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + "/started.txt"), 10000);

        QVERIFY(QDir().mkpath(homePath("opt")));
        auto g = form({});
        QCOMPARE(g->Edit1->text(), homePath("opt/Skimlark"));
    }

    // A reinstall over a folder in which files and folders were replaced by
    // links, or got second names elsewhere: the links are replaced, nothing
    // outside the folder changes.
    void linksInTheFolderAreReplacedNotFollowed()
    {
        BoxRecorder boxes;
        const QString target = homePath("Programme/Skimlark");
        const QString outside = homePath("fremd");
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QDir().mkpath(outside + "/help"));
        const QStringList kept{"setup.exe", "setup.zip", "skimlark", "files.lst", "help/index.htm", "hart.txt"};
        for (const QString& name : kept)
            QVERIFY(WriteAll(outside + "/" + name, "outside"));
        for (const char* name : {"setup.exe", "setup.zip", "skimlark", "files.lst"})
            QVERIFY(QFile::link(outside + "/" + name, target + "/" + name));
        QVERIFY(QFile::link(outside + "/help", target + "/help"));
        QCOMPARE(::link(QFile::encodeName(outside + "/hart.txt").constData(),
                        QFile::encodeName(target + "/readme.txt").constData()), 0);
        QVERIFY(MakeZip(homePath("app.zip"), {{"skimlark", kScript}, {"help/index.htm", "<p>Hilfe</p>"},
                                              {"readme.txt", "Lies mich"}}));
        archive = ReadAll(homePath("app.zip"));
        QCOMPARE(AppendPayload(SKIMLARK_SETUP_BIN, homePath("app.zip").toStdString(), installer.toStdString(),
                               "Skimlark skimlark|n|u|101|0"),
                 std::string());

        auto f = form({"-directory", target});
        f->RunInstall();
        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        for (const QString& name : kept)
            QCOMPARE(ReadAll(outside + "/" + name), QByteArray("outside"));
        for (const char* name : {"setup.exe", "setup.zip", "skimlark", "files.lst", "help", "readme.txt"})
            QVERIFY2(!QFileInfo(target + "/" + name).isSymLink(), name);
        QCOMPARE(ReadAll(target + "/setup.exe"), ReadAll(installer));
        QCOMPARE(ReadAll(target + "/setup.zip"), "\r\n" + archive);
        QCOMPARE(ReadAll(target + "/skimlark"), QByteArray(kScript));
        QCOMPARE(ReadAll(target + "/help/index.htm"), QByteArray("<p>Hilfe</p>"));
        QCOMPARE(ReadAll(target + "/readme.txt"), QByteArray("Lies mich"));
        QCOMPARE(ReadAll(target + "/files.lst"), QByteArray("skimlark\nhelp/\nhelp/index.htm\nreadme.txt\n"));
    }

    // Archives whose records claim more than they hold: an entry whose data
    // end before the declared size with a wrong checksum, and an end record
    // that counts fewer entries than the directory holds.
    void lyingArchivesAbort_data()
    {
        QTest::addColumn<QString>("lie");
        QTest::addColumn<QString>("note");
        const QString uncounted = "Fehler im Archiv: Es enthält mehr Einträge, als sein Verzeichnis zählt.\n";
        QTest::newRow("data end early") << "short" << QString("Fehler im Archiv bei skimlark: Prüfsumme stimmt nicht\n");
        QTest::newRow("entries counted short") << "count" << uncounted;
        QTest::newRow("no entries counted") << "none" << uncounted;
    }
    void lyingArchivesAbort()
    {
        QFETCH(QString, lie);
        ZipEntry program{"skimlark", kScript};
        if (lie == "short") {
            program.declaredSize = 5000;
            program.declaredCrc = 0x12345678;
        }
        QVERIFY(MakeZip(homePath("app.zip"), {{"help/index.htm", "<p>Hilfe</p>"}, program, {"readme.txt", "r"}}));
        QByteArray zip = ReadAll(homePath("app.zip"));
        if (lie != "short")
            CountEntriesAs(zip, lie == "count" ? 1 : 0);
        QVERIFY(WriteAll(homePath("app.zip"), zip));
        QCOMPARE(AppendPayload(SKIMLARK_SETUP_BIN, homePath("app.zip").toStdString(), installer.toStdString(),
                               "Skimlark skimlark|n|u|101|0"),
                 std::string());
        BoxRecorder boxes;
        auto f = form({"-directory", homePath("lie")});
        f->RunInstall();
        QFETCH(QString, note);
        QCOMPARE(boxes.texts(), std::vector<std::string>{note.toStdString()});
        QCOMPARE(f->Label2->text(), QString("Abbruch nach Fehler."));
        QCOMPARE(f->ProgressBar1->value(), 0);
        platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
        QVERIFY(!reg.KeyExists(kUninstallKey));
    }

    // Archives with ZIP64 end records, as zip tools end them by themselves
    // for more than 65,535 entries: a small one and one of 100,000 entries.
    // Both install behind the CR LF and uninstall without a trace.
    void zip64PayloadsInstallAndUninstall_data()
    {
        QTest::addColumn<int>("entries");
        QTest::newRow("a few entries") << 3;
        QTest::newRow("100,000 entries") << 100000;
    }
    void zip64PayloadsInstallAndUninstall()
    {
        QFETCH(int, entries);
        std::vector<ZipEntry> list{{"skimlark", kScript}};
        for (int i = 0; i < entries; ++i)
            list.push_back({QString("daten/%1/f%2.txt").arg(i / 1000).arg(i).toStdString(), "x", false, 0,
                            2019, 4, 17, 13, 45, 30, true});
        QVERIFY(MakeZip(homePath("big.zip"), list));
        QByteArray zip = ReadAll(homePath("big.zip"));
        MoveEndToZip64(zip, list.size());
        makeInstallerWithTool(zip, "Skimlark skimlark|n|u|101|0");

        BoxRecorder boxes;
        const QString target = homePath("gross");
        auto f = form({"-directory", target});
        f->RunInstall();
        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        QCOMPARE(ReadAll(target + "/setup.zip"), "\r\n" + zip);
        QCOMPARE(ReadAll(target + "/skimlark"), QByteArray(kScript));
        const QByteArray files = ReadAll(target + "/files.lst");
        // The folder itself, the program, the entries, "daten/" and its
        // folders of 1,000.
        QCOMPARE(files.count('\n'), qsizetype(entries + 3 + (entries + 999) / 1000));
        QVERIFY(files.endsWith(QString("daten/%1/f%2.txt\n").arg((entries - 1) / 1000).arg(entries - 1).toUtf8()));
        const int some = entries * 3 / 7;
        QCOMPARE(ReadAll(target + QString("/daten/%1/f%2.txt").arg(some / 1000).arg(some)), QByteArray("x"));

        uninstall(target);
        QVERIFY(boxes.boxes.empty());
        QVERIFY(!QFileInfo::exists(target));
    }

    // Version 1 is running when version 2 is installed over it, and the
    // question about its program file is answered "Abbrechen": the running
    // program is untouched, and the list still names everything either
    // version put there, so the uninstall afterwards removes it all.
    void aCancelledUpdateKeepsEverythingListed()
    {
        const QByteArray program = ReadAll("/bin/sleep");
        QVERIFY(!program.isEmpty());
        QVERIFY(MakeZip(homePath("v1.zip"), {{"skimlark", program.toStdString(), false, 0755},
                                             {"alt/eins.txt", "1"},
                                             {"conf/", "", true},
                                             {"conf/skimlark.ini", "[a]"}}));
        makeInstallerWithTool(ReadAll(homePath("v1.zip")), "Skimlark skimlark|n|u|101|0");
        const QString target = homePath("Programm");
        BoxRecorder boxes;
        form({"-directory", target})->RunInstall();
        QVERIFY(boxes.boxes.empty());
        QProcess running;
        running.start(target + "/skimlark", {"60"});
        QVERIFY(running.waitForStarted());

        QVERIFY(MakeZip(homePath("v2.zip"), {{"neu/zwei.txt", "2"}, {"skimlark", "version 2"}, {"z.txt", "z"}}));
        makeInstallerWithTool(ReadAll(homePath("v2.zip")), "Skimlark skimlark|n|u|101|0");
        boxes.answers = {IDCANCEL};
        auto f = form({"-directory", target});
        f->RunInstall();
        running.kill();
        running.waitForFinished();
        QCOMPARE(f->Label2->text(), QString("Abbruch nach Fehler."));
        QCOMPARE(boxes.boxes.size(), size_t(2));
        QVERIFY(boxes.boxes[0].text.rfind("Fehler beim Schreiben von skimlark: Das Programm ist vermutlich", 0) == 0);
        QCOMPARE(boxes.boxes[1].text, std::string("Die Installation wurde unvollst\xC3\xA4ndig abgebrochen."));
        QCOMPARE(ReadAll(target + "/skimlark"), program);
        QCOMPARE(ReadAll(target + "/files.lst"),
                 QByteArray("./\nskimlark\nalt/\nalt/eins.txt\nconf/\nconf/skimlark.ini\nneu/\nneu/zwei.txt\n"));

        uninstall(target);
        QVERIFY(!QFileInfo::exists(target));
        platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
        QVERIFY(!reg.KeyExists(kUninstallKey));
    }

    // An archive as zip -r -y -fz writes it (ZIP64 fields, a link, a
    // read-only file, a 262-byte path), built into Setup by make-installer:
    // it installs whole, installs again over itself, and the uninstall
    // takes everything back.
    void toolMadeArchiveInstallsAgainAndUninstalls()
    {
        if (!HaveTool("zip"))
            QSKIP("zip is not installed");
        const QString tree = homePath("quelle");
        QString deep = "hilfe";
        for (int i = 0; i < 4; ++i)
            deep += "/" + QString(47, QChar('a' + i));
        const QString page = deep + "/" + QString(49, 'x') + "seite-eins.html";
        QVERIFY(QDir(tree).mkpath(deep));
        QVERIFY(QDir(tree).mkpath("lib"));
        QVERIFY(WriteAll(tree + "/skimlark", kScript));
        QVERIFY(QFile::setPermissions(tree + "/skimlark", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                              QFileDevice::ExeOwner));
        QVERIFY(WriteAll(tree + "/" + page, "Seite"));
        QVERIFY(WriteAll(tree + "/lib/libfoo.so.1", "ELF"));
        QVERIFY(QFile::link("libfoo.so.1", tree + "/lib/libfoo.so"));
        QVERIFY(WriteAll(tree + "/LICENSE", "Lizenz"));
        QVERIFY(QFile::setPermissions(tree + "/LICENSE", QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                             QFileDevice::ReadOther));
        QVERIFY(RunTool(tree, "zip", {"-q", "-r", "-y", "-fz", homePath("tool.zip"), "."}));
        makeInstallerWithTool(ReadAll(homePath("tool.zip")), "Skimlark skimlark|n|u|101|0");

        const QString target = homePath("Werkzeug");
        for (int round = 0; round < 2; ++round) {
            BoxRecorder boxes;
            auto f = form({"-directory", target});
            f->RunInstall();
            QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
            QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        }
        QCOMPARE(ReadAll(target + "/" + page), QByteArray("Seite"));
        QCOMPARE(QFile::symLinkTarget(target + "/lib/libfoo.so"), QFileInfo(target + "/lib/libfoo.so.1").absoluteFilePath());
        QCOMPARE(ReadAll(target + "/LICENSE"), QByteArray("Lizenz"));
        QVERIFY(!QFileInfo(target + "/LICENSE").permissions().testFlag(QFileDevice::WriteOwner));
        QVERIFY(QFileInfo(target + "/skimlark").isExecutable());

        BoxRecorder boxes;
        const std::vector<std::string> status = uninstall(target);
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(status.back(), std::string("Deinstallation abgeschlossen."));
        QVERIFY(!QFileInfo::exists(target));
    }

    // The program file stored in another case than the header names it:
    // the start and the shortcuts use the name it has on disk.
    void programFileKeepsItsSpellingOnDisk()
    {
        QVERIFY(MakeZip(homePath("app.zip"), {{"SkimLark", kScript}, {"help/index.htm", "<p>Hilfe</p>"}}));
        QCOMPARE(AppendPayload(SKIMLARK_SETUP_BIN, homePath("app.zip").toStdString(), installer.toStdString(),
                               "Skimlark skimlark|n|u|101|0"),
                 std::string());
        BoxRecorder boxes;
        const QString target = homePath("Programme/Skimlark");
        QVERIFY(QDir().mkpath(homePath("Programme")));
        auto f = form({"-directory", target});
        f->CheckBox1->setChecked(true);
        f->CheckBox2->setChecked(true);
        f->CheckBox3->setChecked(true);
        f->RunInstall();
        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
        QVERIFY(QFileInfo(target + "/SkimLark").isExecutable());
        for (const QString& link : {homePath("Schreibtisch/Skimlark.desktop"), homePath("data/applications/Skimlark.desktop")})
            QVERIFY2(ReadAll(link).contains("\nExec=\"" + QFile::encodeName(target) + "/SkimLark\"\n"), qPrintable(link));
        QTRY_COMPARE_WITH_TIMEOUT(ReadAll(target + "/started.txt"), QByteArray("started\n"), 10000);

        // A second install whose program file cannot be written (the user
        // answers No) starts the one an earlier install left.
        QFile::remove(target + "/started.txt");
        QFile::remove(target + "/SkimLark");
        QVERIFY(QDir().mkpath(target + "/SkimLark"));
        QVERIFY(WriteAll(target + "/SKIMLARK", kScript));
        QVERIFY(QFile::setPermissions(target + "/SKIMLARK", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        boxes.answers = {IDNO};
        f->RunInstall();
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        QTRY_COMPARE_WITH_TIMEOUT(ReadAll(target + "/started.txt"), QByteArray("started\n"), 10000);
    }

    // A leading "~" is the home folder, as in a shell, in the switch and in
    // the folder field alike; "~name" is refused, a "~" further on is an
    // ordinary character.
    void tildeMeansTheHomeFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("installed");  // relative to the home; "" when refused
        QTest::newRow("~") << "~" << "";
        QTest::newRow("~/Demo") << "~/Demo" << "Demo";
        QTest::newRow("~/ with a trailing slash") << "~/Demo/" << "Demo";
        QTest::newRow("~name") << "~root/Demo" << "";
        QTest::newRow("~ further on") << "arbeit/~" << "arbeit/arbeit/~";
    }
    void tildeMeansTheHomeFolder()
    {
        QFETCH(QString, typed);
        QFETCH(QString, installed);
        QVERIFY(QDir().mkpath(homePath("arbeit/arbeit")));
        QVERIFY(QDir::setCurrent(homePath("arbeit")));
        BoxRecorder boxes;
        auto f = form({"-directory", typed});
        QCOMPARE(f->Edit1->text(), typed);
        f->RunInstall();
        const bool refused = installed.isEmpty() && typed != "~";
        if (refused) {
            QCOMPARE(boxes.texts(), std::vector<std::string>{
                "Das Installations-Verzeichnis " + typed.toStdString() + " wird nicht unterst\xC3\xBCtzt: Nur \"~\" "
                "und \"~/...\" stehen f\xC3\xBCr das eigene Home-Verzeichnis, \"~Name\" nicht."});
            QVERIFY(f->Button2->isEnabled());
        } else {
            QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
            QCOMPARE(f->Label2->text(), QString("Installation fertig."));
            const QString folder = installed.isEmpty() ? home->path() : homePath(installed);
            QCOMPARE(ReadAll(folder + "/help/index.htm"), QByteArray("<p>Hilfe</p>"));
            platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
            QVERIFY(reg.OpenKeyReadOnly(kUninstallKey));
            QVERIFY(QString::fromStdString(reg.ReadString("UninstallString")).startsWith(QDir::cleanPath(folder) + "/"));
        }
        if (!typed.endsWith("/~"))
            QVERIFY(QDir(homePath("arbeit")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot) == QStringList{"arbeit"});
    }

    // A list that cannot be written stops the install instead of leaving
    // files that no uninstall would find.
    void aListThatCannotBeWrittenStopsTheInstall()
    {
        const QString target = homePath("voll");
        QVERIFY(QDir().mkpath(target + "/files.lst/belegt"));
        BoxRecorder boxes;
        auto f = form({"-directory", target});
        f->RunInstall();
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Fehler beim Schreiben von files.lst: Is a directory\n"});
        QCOMPARE(f->Label2->text(), QString("Abbruch nach Fehler."));
        QVERIFY(!QFileInfo::exists(target + "/skimlark"));
        platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
        QVERIFY(!reg.KeyExists(kUninstallKey));
    }

    // Names that zip tools stored in their old code page, without the UTF-8
    // flag, land under their real names and go again with the uninstall.
    void namesWithoutTheUtf8FlagInstallAndUninstall()
    {
        QVERIFY(MakeZip(homePath("app.zip"), {{"skimlark", kScript}, {"\x9a" "bersicht.txt", "u"},
                                              {"Gr\x94\xe1" "e/ma\xe1.txt", "m"}}));
        QCOMPARE(AppendPayload(SKIMLARK_SETUP_BIN, homePath("app.zip").toStdString(), installer.toStdString(),
                               "Skimlark skimlark|n|u|101|0"),
                 std::string());
        BoxRecorder boxes;
        const QString target = homePath("cp437");
        auto f = form({"-directory", target});
        StatusRecorder status;
        f->RunInstall();
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(status.texts.back(), std::string("Installation fertig."));
        QVERIFY(status.any("Extracting \xC3\x9C" "bersicht.txt  "));
        QCOMPARE(ReadAll(target + "/Übersicht.txt"), QByteArray("u"));
        QCOMPARE(ReadAll(target + "/Größe/maß.txt"), QByteArray("m"));

        std::vector<std::string> removing = uninstall(target);
        QVERIFY(std::find(removing.begin(), removing.end(), "L\xC3\xB6sche \xC3\x9C" "bersicht.txt") != removing.end());
        QVERIFY(!QFileInfo::exists(target));
    }

    void ownFileMissingIsReported()
    {
        BoxRecorder boxes;
        SetupForm f({}, homePath("gone").toStdString());
        f.pauseMs = 0;
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Open Fehler Modul: No such file or directory"});
        QCOMPARE(f.product, std::string());
        QCOMPARE(f.iconId, 1);
        QCOMPARE(f.licenceTextNo, 1);
        f.show();
        f.RunInstall();
        QCOMPARE(boxes.boxes.size(), size_t(2));
        QCOMPARE(f.Label2->text(), QString("ZIP-Archiv kopieren..."));
        QVERIFY(!QFile::exists(homePath("data")));
    }

    void licencePageMustBeAccepted()
    {
        makeInstaller("Skimlark skimlark|n|u|101|2");
        BoxRecorder boxes;
        const QString target = homePath("lic");
        auto f = form({"-directory", target});
        QCOMPARE(f->licenceTextNo, 2);

        QTimer::singleShot(0, f->licence, [&] { f->licence->Button1->click(); });
        f->Button2->click();
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Die Software kann nicht installiert werden, weil Sie die "
                                                         "Lizenzvereinbarung nicht akzeptiert haben."});
        QCoreApplication::sendPostedEvents(f.get(), WM_START_INSTALL);
        QVERIFY(!QFile::exists(target));
        QVERIFY(f->licence->Memo1->toPlainText().startsWith("Lizenzvereinbarung"));

        boxes.boxes.clear();
        QTimer::singleShot(0, f->licence, [&] {
            f->licence->CheckBox1->setChecked(true);
            f->licence->close();
        });
        f->Button2->click();
        QCoreApplication::sendPostedEvents(f.get(), WM_START_INSTALL);
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(f->Label2->text(), QString("Installation fertig."));
        QVERIFY(QFile::exists(target + "/skimlark"));
    }

    void unknownLicenceTextStillShowsThePage()
    {
        makeInstaller("Skimlark skimlark|n|u|999|7");
        BoxRecorder boxes;
        auto f = form({});
        QTimer::singleShot(0, f->licence, [&] { f->licence->close(); });
        f->Button2->click();
        QCOMPARE(boxes.boxes.size(), size_t(2));
        QCOMPARE(boxes.boxes[0].text, std::string("Fehler: 0 Bytes von Stringtable"));
        QCoreApplication::removePostedEvents(f.get());
    }

    // The installer as the user starts it: installs without a window to
    // answer, starts the program and ends by itself.
    void builtInstallerRunsWithAutostart_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("home") << "home";
        // A folder that begins with "/d", as the clean-up switch does.
        QTest::newRow("folder below /dev") << "/dev/shm";
    }
    void builtInstallerRunsWithAutostart()
    {
        QFETCH(QString, where);
        std::unique_ptr<QTemporaryDir> shm;
        QString target = homePath("auto");
        if (where != "home") {
            if (access(QFile::encodeName(where).constData(), W_OK) != 0)
                QSKIP("no writable folder below /dev");
            shm = std::make_unique<QTemporaryDir>(where + "/skimlark-XXXXXX");
            QVERIFY(shm->isValid());
            target = shm->filePath("auto");
        }
        QProcess setup;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        setup.setProcessEnvironment(env);
        setup.start(installer, {"-directory", target, "-autostart"});
        QVERIFY(setup.waitForStarted());
        if (!setup.waitForFinished(30000)) {
            setup.kill();
            setup.waitForFinished();
            QFAIL("the installer did not end by itself");
        }
        QCOMPARE(setup.exitCode(), 0);
        QCOMPARE(ReadAll(target + "/setup.zip"), "\r\n" + archive);
        QCOMPARE(ReadAll(target + "/files.lst"), QByteArray("./\nskimlark\nhelp/\nhelp/index.htm\n"));
        QTRY_COMPARE_WITH_TIMEOUT(ReadAll(target + "/started.txt"), QByteArray("started\n"), 10000);
        QVERIFY(!QFile::exists(homePath("Schreibtisch/Skimlark.desktop")));
        QVERIFY(!QFile::exists(homePath("data/applications/Skimlark.desktop")));
        platform::TRegistry reg(platform::KEY_READ, platform::Hive::LocalMachine);
        QVERIFY(reg.OpenKeyReadOnly(kUninstallKey));
        QCOMPARE(QString::fromStdString(reg.ReadString("UninstallString")), target + "/setup.exe /uSkimlark");
    }
};

QTEST_MAIN(InstallTest)
#include "test_install.moc"

// The about box's links, the memory gauges and the update check against a
// local stand-in for the maker's download server.
#include <QGuiApplication>
#include <QLabel>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "editor/about_box.h"
#include "editor/update_check.h"
#include "editor_fixture.h"
#include "platform/app_settings.h"

class TestAboutAndGauges : public QObject {
    Q_OBJECT
private slots:
    void yearsAndCreditFiveApart();
    void labelsDoNotOverlap();
    void linkHoverAndClick();
    void failedOpeningShowsError();
    void withoutOpenerTheUserIsTold_data();
    void withoutOpenerTheUserIsTold();
    void gaugeTexts();
    void offeredVersion_data();
    void offeredVersion();
    void menuCheckAgainstServer_data();
    void menuCheckAgainstServer();
    void automaticCheckNeedsSettingAndRoute();
    void versionQueryHasItsOwnUserAgent();
    void checkversionStartsInstallerAndEndsTheLoop();
};

void TestAboutAndGauges::yearsAndCreditFiveApart()
{
    TempRegistry reg;
    Window w;
    QTimer::singleShot(0, [&] { w->InfoForm->Button1Click(); });
    w->Info1Click();
    TInfoForm* f = w->InfoForm;
    QCOMPARE(f->Programm->text(), QStringLiteral("Skimlark"));
    QCOMPARE(f->Version->text(), QStringLiteral("1.08.20"));
    QCOMPARE(f->Jahr->text(), QStringLiteral("2004-2007"));
    QCOMPARE(f->By->x(), f->Jahr->x() + f->Jahr->width() + 5);
    QVERIFY(!f->isVisible());
}

void TestAboutAndGauges::labelsDoNotOverlap()
{
    TempRegistry reg;
    Window w;
    TInfoForm* f = w->InfoForm;
    QList<QRect> seen;
    QTimer::singleShot(0, [&] {
        for (QWidget* child : f->Panel1->findChildren<QWidget*>())
            seen << child->geometry();
        f->Button1Click();
    });
    w->Info1Click();
    const QList<QWidget*> children = f->Panel1->findChildren<QWidget*>();
    QCOMPARE(seen.size(), children.size());
    for (int i = 0; i < children.size(); ++i) {
        QVERIFY2(f->Panel1->rect().contains(seen[i]), qPrintable(children[i]->objectName()));
        for (int j = i + 1; j < children.size(); ++j) {
            auto* a = qobject_cast<QLabel*>(children[i]);
            auto* b = qobject_cast<QLabel*>(children[j]);
            QVERIFY2(!seen[i].intersects(seen[j]),
                     qPrintable((a ? a->text() : children[i]->objectName()) + " / " + (b ? b->text() : children[j]->objectName())));
        }
    }
}

void TestAboutAndGauges::linkHoverAndClick()
{
    TInfoForm f;
    QStringList opened;
    f.openFunction = [&](const std::string& url) {
        opened << QString::fromStdString(url);
        // The cursor is back before the program starts.
        return QGuiApplication::overrideCursor() == nullptr ? Opened::Yes : Opened::Failed;
    };
    for (QLabel* link : {f.Mail, f.Web}) {
        QLabel* other = link == f.Mail ? f.Web : f.Mail;
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(link, &enter);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(link->font().underline());
        QVERIFY(!other->font().underline());
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QVERIFY(!link->font().underline());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(f.Mail, &enter);
    f.MailClick();
    QCoreApplication::sendEvent(f.Web, &enter);
    f.WebClick();
    f.Button2Click();
    QCOMPARE(opened.size(), 3);
    QCOMPARE(opened[0], QString::fromStdString("mailto:" + TInfoForm::MailAddress() + "?subject=Anfrage"));
    QVERIFY(opened[2].endsWith(QStringLiteral("/kontakt/index.php")));
}

void TestAboutAndGauges::failedOpeningShowsError()
{
    TInfoForm f;
    Boxes boxes;
    f.boxFunction = boxes.fn();
    f.openFunction = [](const std::string&) { return Opened::Failed; };
    f.MailClick();
    QCOMPARE(boxes.seen, QStringList{QStringLiteral("Fehler|Error ShellExecuteEx")});
}

void TestAboutAndGauges::withoutOpenerTheUserIsTold_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target");
    QTest::newRow("help") << "Hilfe1" << "/help/index.htm";
    QTest::newRow("forum") << "InternetForum1" << "/forum/";
    QTest::newRow("mail link") << "Mail" << "?subject=Anfrage";
}

void TestAboutAndGauges::withoutOpenerTheUserIsTold()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QTemporaryDir emptyBin;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", emptyBin.path().toUtf8());
    TempRegistry reg;
    Window w;
    w->updateCheck->boxFunction = w.boxes.fn();
    w->InfoForm->boxFunction = w.boxes.fn();
    if (command == "Mail")
        w->InfoForm->MailClick();
    else
        w->findChild<QAction*>(command)->trigger();
    qputenv("PATH", oldPath);
    QCOMPARE(w.boxes.seen.size(), 1);
    const QString prefix = QString::fromUtf8("Fehler|Kein Programm zum Öffnen gefunden (xdg-open fehlt).\n");
    QVERIFY2(w.boxes.seen[0].startsWith(prefix) && w.boxes.seen[0].endsWith(target), qPrintable(w.boxes.seen[0]));
}

void TestAboutAndGauges::gaugeTexts()
{
    QCOMPARE(MemoryGaugeText("Belegt", 10ull * 1048576), QStringLiteral("Belegt: 10.000 MB"));
    QCOMPARE(MemoryGaugeText("Frei", 1572864), QStringLiteral("Frei: 1.500 MB"));
    // Beyond 4 GB the count does not wrap.
    QCOMPARE(MemoryGaugeText("Frei", 5ull << 30), QStringLiteral("Frei: 5120.000 MB"));

    TempRegistry reg;
    Window w;
    w->updateCheck->Timer2Timer();
    QVERIFY(w->StatusText(2).startsWith(QStringLiteral("Belegt: ")));
    QVERIFY(w->StatusText(2) != QStringLiteral("Belegt: 0.000 MB"));
    QVERIFY(w->StatusText(3).startsWith(QStringLiteral("Frei: ")));
}

void TestAboutAndGauges::offeredVersion_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("version");
    QTest::newRow("dash_and_dot") << "a-1_09_00.b" << "1.09.00";
    QTest::newRow("no_dash") << "1_09_00.b" << "1.09.00";
    QTest::newRow("no_dot") << "a-1_09_00" << "";
    QTest::newRow("dot_before_dash") << "a.b-1_09" << "";
    QTest::newRow("points") << "a-1.08.21.b" << "1";
}

void TestAboutAndGauges::offeredVersion()
{
    QFETCH(QString, line);
    QFETCH(QString, version);
    QCOMPARE(QString::fromStdString(OfferedVersion(line.toStdString())), version);
}

namespace {

// A server of tests/servers on a free loopback port; its base URL, "" when
// it did not start.
QString StartServer(QProcess& p, const QString& script, const QStringList& args)
{
    p.start(QStringLiteral("python3"),
            QStringList{QStringLiteral(SKIMLARK_SOURCE_DIR "/tests/servers/") + script, QStringLiteral("--exit-on-eof")} +
                args);
    if (!p.waitForStarted(10000))
        return {};
    while (!p.canReadLine() && p.waitForReadyRead(10000)) {
    }
    QByteArray line = p.readLine().trimmed();
    if (!line.startsWith("PORT "))
        return {};
    return QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(line.mid(5));
}

struct ServerEnv {
    explicit ServerEnv(const QString& base) { qputenv("SKIMLARK_SERVER", base.toUtf8()); }
    ~ServerEnv() { qunsetenv("SKIMLARK_SERVER"); }
};

}  // namespace

void TestAboutAndGauges::menuCheckAgainstServer_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("openings");
    const QString ask = QString::fromUtf8("Hinweis|\nIm Internet steht eine neue Version 1.08.19 zur Verfügung.\n"
                                          "Klicken Sie auf 'Ja' um die neue Version herunterzuladen\n");
    const QString none = QString::fromUtf8("Notiz|Es steht noch keine aktuellere Version im Internet zur Verfügung.");
    QTest::newRow("older_is_announced_yes") << "a-1_08_19.b\\nrest" << int(IDYES) << QStringList{ask} << 1;
    QTest::newRow("older_is_announced_no") << "a-1_08_19.b" << int(IDNO) << QStringList{ask} << 0;
    QTest::newRow("same_version") << "a-1_08_20.b" << int(IDYES) << QStringList{none} << 0;
}

void TestAboutAndGauges::menuCheckAgainstServer()
{
    QFETCH(QString, reply);
    QFETCH(int, answer);
    QFETCH(QStringList, boxes);
    QFETCH(int, openings);
    QProcess server;
    QString base = StartServer(server, QStringLiteral("maker_server.py"), {QStringLiteral("--version"), reply});
    QVERIFY(!base.isEmpty());
    ServerEnv env(base);
    TempRegistry reg;
    Window w;
    Boxes seen;
    seen.answers = {answer};
    w->updateCheck->boxFunction = seen.fn();
    QStringList opened;
    w->updateCheck->openFunction = [&](const std::string& url) {
        opened << QString::fromStdString(url);
        return Opened::Yes;
    };
    w->updateCheck->NachUpdatesuchen1Click();
    QCOMPARE(seen.seen + w.boxes.seen, boxes);
    QCOMPARE(opened.size(), openings);
    if (openings)
        QCOMPARE(opened[0], base + "/cgi-bin/download/download.cgi?product=skimlark");
    server.closeWriteChannel();
    server.waitForFinished(5000);
}

void TestAboutAndGauges::automaticCheckNeedsSettingAndRoute()
{
    QProcess server;
    QString base = StartServer(server, QStringLiteral("maker_server.py"),
                               {QStringLiteral("--version"), QStringLiteral("a-2_00_00.b")});
    QVERIFY(!base.isEmpty());
    ServerEnv env(base);
    TempRegistry reg;
    struct Case {
        bool autoUpdate, route;
        int questions;
    } cases[] = {{true, true, 1}, {false, true, 0}, {true, false, 0}};
    for (const auto& c : cases) {
        Window w;
        Boxes seen;
        seen.answers = {IDNO};
        w->updateCheck->boxFunction = seen.fn();
        w->updateCheck->hasDefaultRoute = [&] { return c.route; };
        w->autoUpdate = c.autoUpdate;
        w->updatePending = true;
        w->updateCheck->Timer2Timer();
        QVERIFY(!w->updatePending);
        QCOMPARE(int(seen.seen.size()), c.questions);
        // The due check is consumed: the next tick asks nothing.
        w->updateCheck->Timer2Timer();
        QCOMPARE(int(seen.seen.size()), c.questions);
    }
    // Without a server the menu command reports the error, then no version.
    ServerEnv gone(QStringLiteral("http://127.0.0.1:1"));
    Window w;
    w->updateCheck->NachUpdatesuchen1Click();
    QCOMPARE(w.boxes.seen.size(), 2);
    QCOMPARE(w.boxes.seen[0], QStringLiteral("Notiz|Socket-Fehler # 111\r\nVerbindung abgelehnt"));
    server.closeWriteChannel();
    server.waitForFinished(5000);
}

void TestAboutAndGauges::versionQueryHasItsOwnUserAgent()
{
    QTemporaryDir tmp;
    const QString log = tmp.path() + "/requests.log";
    QProcess server;
    const QString base = StartServer(server, QStringLiteral("http_server.py"), {QStringLiteral("--log"), log});
    QVERIFY(!base.isEmpty());
    ServerEnv env(base);
    TempRegistry reg;
    Window w;
    // Not the User-Agent that the settings give the scripts.
    w->settings().userAgent = "Skript-Agent";
    w->updateCheck->NachUpdatesuchen1Click();
    const std::string request = ReadFile(log);
    QVERIFY2(request.rfind("GET /cgi-bin/download/download.cgi?product=skimlark&getversion=1 ", 0) == 0, request.c_str());
    QVERIFY2(request.find("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n") != std::string::npos,
             request.c_str());
    server.closeWriteChannel();
    server.waitForFinished(5000);
}

void TestAboutAndGauges::checkversionStartsInstallerAndEndsTheLoop()
{
    QTemporaryDir tmp;
    const QString installer = tmp.path() + "/source.sh";
    WriteFile(installer, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + tmp.path().toStdString() + "/args.txt\"\n");
    QProcess server;
    const QString base =
        StartServer(server, QStringLiteral("maker_server.py"), {QStringLiteral("--installer"), installer});
    QVERIFY(!base.isEmpty());
    ServerEnv env(base);
    qputenv("TMPDIR", tmp.path().toUtf8());
    TempRegistry reg;
    Window w;
    qunsetenv("TMPDIR");
    // Shown and with a changed script, so that any close handling would
    // write the settings and ask to save.
    w.show();
    w.boxes.seen.clear();
    w.boxes.answers = {IDYES};
    w->SetEditorText("checkversion(\"9.0.0\")\r\nprint(\"danach\")");
    QVERIFY(w->modified);

    // The application's own loop, which the posted quit ends.
    QTimer guard;
    guard.setSingleShot(true);
    bool timedOut = false;
    connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    guard.start(20000);
    QTimer::singleShot(0, [&] { w->RunScript(false); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!timedOut);
    QVERIFY(RunEnded(*w));
    QCOMPARE(w.boxes.seen.size(), 1);
    QVERIFY(w.boxes.seen[0].startsWith(QStringLiteral("Hinweis|Das Programm ben")));
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(tmp.path() + "/args.txt"); }, 5000));
    QTest::qWait(50);
    const std::string expected = "-autostart\n-directory\n" + w->settings().programDir + "\n";
    QCOMPARE(ReadFile(tmp.path() + "/args.txt"), expected);
    // The run ended after the statement, and nothing closed the window:
    // no save question, no settings written, no process end.
    QVERIFY(!w->OutputLines().empty());
    QCOMPARE(QString::fromStdString(w->OutputLines().back()), QStringLiteral("Installer starten..."));
    QVERIFY(w.exits.isEmpty());
    QVERIFY(w->isVisible());
    QVERIFY(!platform::LoadAppSettingsReadOnly().windowWidth);
    server.closeWriteChannel();
    server.waitForFinished(5000);
}

QTEST_MAIN(TestAboutAndGauges)
#include "test_about_and_gauges.moc"

// The browser window with the run that waits in browse: inserting recorded
// lines, going on, stopping, the temporary page, cookies, the User-Agent
// probe and the find in the source.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QNetworkCookie>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <csignal>

#include "browser_fixture.h"
#include "editor/find_dialog.h"
#include "editor/settings_dialog.h"
#include "interpreter/skript.h"
#include "web/system_store.h"

namespace {

QStringList Lines(TForm1& w)
{
    QStringList l;
    for (const std::string& s : w.EditorLines())
        l << FromCp1252(s);
    return l;
}

}  // namespace

class BrowserRunTest : public QObject {
    Q_OBJECT
    QTemporaryDir logDir;
    QString logPath = logDir.path() + "/requests.log";
    LocalServer server{QStringLiteral("http_server.py"),
                       {QStringLiteral("--root"), BrowserFixtures(), QStringLiteral("--log"), logPath}};
    LocalServer maker{QStringLiteral("maker_server.py")};

    QByteArray ReadLog() const { return ReadServerLog(logPath); }
    // The server's log once it holds what, or as it is after 15 s.
    QByteArray WaitLogged(const QByteArray& what) const
    {
        QByteArray requests;
        QTest::qWaitFor(
            [&] {
                requests = ReadLog();
                return requests.contains(what);
            },
            15000);
        return requests;
    }

    QStringList EchoRequests() const { return ::EchoRequests(logPath); }
    void ClearLog() const { QFile(logPath).resize(0); }
    static QNetworkCookie Named(const QList<QNetworkCookie>& cookies, const QByteArray& name)
    {
        for (const QNetworkCookie& c : cookies)
            if (c.name() == name)
                return c;
        return QNetworkCookie();
    }
    // The names of the cookies each request for the path carried, in the
    // order of the requests in the log.
    static QList<QStringList> CookiesSent(const QString& path, const QByteArray& target)
    {
        QFile file(path);
        const QByteArray log = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QList<QStringList> out;
        qsizetype from = 0;
        for (qsizetype end; (end = log.indexOf("\n=== end ===\n", from)) >= 0; from = end + 13) {
            const QList<QByteArray> lines = log.mid(from, end - from).split('\n');
            const QList<QByteArray> request = lines.value(0).split(' ');
            if (request.value(1).split('?').value(0) != target)
                continue;
            QStringList names;
            for (const QByteArray& line : lines)
                if (line.startsWith("Cookie: "))
                    for (const QByteArray& pair : line.mid(8).trimmed().split(';'))
                        names << QString::fromLatin1(pair.trimmed().split('=').value(0));
            names.sort();
            out << names;
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.port > 0);
        QVERIFY(maker.port > 0);
    }

    void insertedLinesRunNextAndBrowseComesAgain()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("x = 1\ny = 2\nz = 3\nw = 4\nbrowse(\"%1\")\nprint(\"nach\")\n").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        QCOMPARE(s.browser->savedLine, 4);
        QVERIFY(!s.browser->Button4->isEnabled());

        // Lines typed into the recording list count as recorded ones.
        s.browser->Memo1->setPlainText("print(\"a\")\nprint(\"b\")\nprint(\"c\")");
        QVERIFY(s.browser->Button4->isEnabled());
        QCOMPARE(s.browser->UpDown1->value(), 4);
        s.browser->Button4->click();
        QCOMPARE(Lines(*s.win).mid(4, 4), (QStringList{"print(\"a\")", "print(\"b\")", "print(\"c\")",
                                                      "browse(\"" + server.page("links.html") + "\")"}));
        QCOMPARE(int(s.win->skript->curLine), 7);
        QCOMPARE(s.browser->UpDown1->value(), 7);
        QVERIFY(s.browser->Memo1->toPlainText().isEmpty());
        QCOMPARE(s.win->browserHost().lineCount(), 9);

        s.browser->Button3->click();
        // The run goes on at the first inserted line and meets browse again.
        QVERIFY(QTest::qWaitFor([&] { return Output(*s.win).size() == 3; }, 10000));
        QVERIFY(s.WaitPage("links.html"));
        QCOMPARE(s.browser->savedLine, 7);
        s.browser->Button3->click();
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), (QStringList{"a", "b", "c", "nach"}));
    }

    // Wherever the lines go in, the run goes on at the first of them.
    void insertedElsewhereTheRunGoesOnAtTheFirstInsertedLine_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("browseLine");
        QTest::addColumn<QStringList>("output");
        QTest::newRow("before the default") << 0 << 3 << QStringList{"a", "neu", "neu2", "a", "b", "c"};
        QTest::newRow("after the default") << 3 << 1 << QStringList{"a", "neu", "neu2", "c"};
    }
    void insertedElsewhereTheRunGoesOnAtTheFirstInsertedLine()
    {
        QFETCH(int, at);
        QFETCH(int, browseLine);
        QFETCH(QStringList, output);
        BrowserSetup s;
        s.Run(QStringLiteral("print(\"a\")\nbrowse(\"%1\")\nprint(\"b\")\nprint(\"c\")").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        s.browser->Memo1->setPlainText("print(\"neu\")\nprint(\"neu2\")");
        s.browser->UpDown1->setValue(at);
        s.browser->Button4->click();
        QCOMPARE(Lines(*s.win).mid(at, 2), (QStringList{"print(\"neu\")", "print(\"neu2\")"}));
        QCOMPARE(Lines(*s.win).at(browseLine), "browse(\"" + server.page("links.html") + "\")");
        QCOMPARE(int(s.win->skript->curLine), browseLine);
        s.browser->Button3->click();
        if (at < 1) {
            QVERIFY(s.WaitPage("links.html"));  // browse comes again after the inserted lines
            s.browser->Button3->click();
        }
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), output);
    }

    void aScriptOpenedDuringBrowseIsWhatTheRunGoesOnWith()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")\nprint(\"alt\")").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        const QString other = s.data.path() + "/anderes.skl";
        WriteFile(other, "x = 1\r\nprint(\"neu\")\r\nprint(\"ende\")");
        s.win.boxes.answers = {IDNO};  // the changed script is not saved
        const std::string path = ToNative(other);
        s.win->OpenScript(&path);
        QCOMPARE(s.win->browserHost().lineCount(), 3);
        s.browser->Button3->click();
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), (QStringList{"neu", "ende"}));
    }

    void continuingAsksAboutRecordedLines()
    {
        BrowserSetup s;
        const QString script = QStringLiteral("browse(\"%1\")\nprint(\"nach\")").arg(server.page("links.html"));
        s.Run(script);
        QVERIFY(s.WaitPage("links.html"));
        s.browser->Memo1->setPlainText("print(\"neu\")");
        const QString question =
            QString::fromUtf8("Frage|Es sind noch ungespeicherte Befehle im Aufzeichnungsfenster. Vor der weiteren "
                              "Ausführung in das Skript einfügen?");
        // Cancel: the window stays open, on the recording tab.
        s.win.boxes.answers = {IDCANCEL};
        s.browser->Button3->click();
        QVERIFY(s.win.boxes.seen.contains(question));
        QVERIFY(s.browser->shown());
        QCOMPARE(s.browser->PageControl1->currentIndex(), 2);
        // No: on after browse, the lines stay in the list.
        s.win.boxes.answers = {IDNO};
        s.browser->Button3->click();
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), QStringList{"nach"});
        QCOMPARE(s.browser->Memo1->toPlainText(), QStringLiteral("print(\"neu\")"));

        // Yes: inserted, and run first.
        s.Run(script);
        QVERIFY(s.browser->Memo1->toPlainText().isEmpty());  // a run start empties the list
        QVERIFY(s.WaitPage("links.html"));
        s.browser->Memo1->setPlainText("print(\"neu\")");
        s.win.boxes.answers = {IDYES};
        s.browser->Button3->click();
        QVERIFY(s.WaitPage("links.html"));
        QCOMPARE(Output(*s.win), QStringList{"neu"});
        s.browser->Button3->click();
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), (QStringList{"neu", "nach"}));
    }

    void everyOtherCloseStopsTheRun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close box") << "close";
        QTest::newRow("Schließen und Skript beenden") << "button1";
        QTest::newRow("stop tool button") << "tool";
        QTest::newRow("Esc, then continue") << "esc";
    }
    void everyOtherCloseStopsTheRun()
    {
        QFETCH(QString, how);
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")\nprint(\"nach\")").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        if (how == "close")
            s.browser->close();
        else if (how == "button1")
            s.browser->Button1->click();
        else if (how == "tool")
            s.win->ToolButton4Click();
        else {
            s.win->Anhalten1Click();
            s.browser->Button3->click();
        }
        QVERIFY(s.RunEnded());
        QVERIFY(!s.browser->shown());
        QVERIFY(s.win.boxes.seen.contains("Notiz|Abbruch durch Benutzer."));
        QVERIFY(!Output(*s.win).contains("nach"));
    }

    void closingTheMainWindowDoesNotHang()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        QElapsedTimer t;
        t.start();
        s.win.w.reset();
        s.browser = nullptr;
        QVERIFY(t.elapsed() < 5000);
    }

    void theTemporaryPageSubmitsToTheRunsUrl()
    {
        BrowserSetup s;
        const QString url = server.page("noaction.html");
        s.Run(QStringLiteral("x = htget(\"%1\")\nbrowse").arg(url));
        // The copy stands at the page's own address.
        QVERIFY(s.WaitPage("noaction.html"));
        QCOMPARE(FromCp1252(s.browser->origURL), url);
        QCOMPARE(s.browser->page->url().toString(), url);
        QVERIFY(s.browser->frames->Find(0)->notHttp);
        QCOMPARE(s.Js("document.forms[0].action").toString(), url);
        s.browser->Button5Click();
        s.Js("var f=document.forms[0];f.wort.value='neu';f.requestSubmit();");
        QVERIFY(s.WaitRecorded(2));
        QCOMPARE(s.Recorded(), (QStringList{"formset(1,\"wort\",\"neu\")", "submit(1)"}));
        QByteArray requests;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         QFile log(logPath);
                         requests = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
                         return requests.contains("POST /file?name=noaction.html HTTP/1.1");
                     },
                     10000),
                 requests.right(2000).constData());
        s.browser->Button1->click();
        QVERIFY(s.RunEnded());
    }

    // A copy beyond what the engine takes as content is shown all the same,
    // at the site's address and with its links recorded, without a second
    // request for it.
    void aLargeCopyIsShownAndRecorded()
    {
        BrowserSetup s;
        const QString url = server.url(QStringLiteral("/largepage?n=5000000"));
        s.browser->Button5Click();
        ClearLog();
        s.Run(QStringLiteral("x = htget(\"%1\")\nbrowse").arg(url));
        QVERIFY(s.WaitPage("largepage", 30000));
        QCOMPARE(s.browser->page->url().toString(), url);
        // The copy is written into the page in pieces: its end may come later.
        QTRY_COMPARE_WITH_TIMEOUT(s.Js("(function(){var e=document.getElementById('ende');return e?e.innerText:'';})()")
                                      .toString(),
                                  QStringLiteral("Ende der grossen Seite"), 20000);
        QVERIFY(s.Js("document.documentElement.outerHTML.length").toInt() > 5000000);
        QCOMPARE(s.browser->Label1->text(), QStringLiteral("Fertig."));
        QCOMPARE(s.browser->frames->Count(), 1);
        QVERIFY(s.ClickAt("document.links[0]"));
        QVERIFY(s.WaitRecorded(1));
        QVERIFY2(s.Recorded().contains("follow(\"Weiter\")    # Link 1 verfolgen"), qPrintable(s.Recorded().join('\n')));
        QCOMPARE(ReadLog().count("GET /largepage?"), 1);
        s.browser->Button1->click();
        QVERIFY(s.RunEnded());
    }

    // A page gets the rights of its site: it reads no local file and no
    // other origin's response, and the hooks' reports cannot be forged.
    void aPageHasNoMoreRightsThanItsSite_data()
    {
        QTest::addColumn<bool>("fromCopy");
        QTest::newRow("the script's copy") << true;
        QTest::newRow("by URL") << false;
    }
    void aPageHasNoMoreRightsThanItsSite()
    {
        QFETCH(bool, fromCopy);
        BrowserSetup s;
        const QString secret = s.data.path() + "/geheim.txt";
        WriteFile(secret, "streng geheim");
        const QString url = server.page("hostile.html") + "&f=" + secret;
        if (!s.browser->recording)
            s.browser->Button5Click();
        s.Run(fromCopy ? QStringLiteral("x = htget(\"%1\")\nbrowse").arg(url) : QStringLiteral("browse(\"%1\")").arg(url));
        QVERIFY(s.WaitPage());
        const QByteArray requests = WaitLogged("/echo?probe=done");
        QVERIFY2(requests.contains("/echo?probe=done"), requests.right(2000).constData());
        QVERIFY2(!requests.contains("leak="), requests.constData());
        QVERIFY(!requests.contains("streng"));
        QTest::qWait(300);
        QVERIFY(!ReadLog().contains("forged=1"));
        QCOMPARE(s.Recorded(), QStringList());
        QCOMPARE(s.browser->frames->Count(), 1);
        s.browser->Button5Click();
        s.browser->Button1->click();
        QVERIFY(s.RunEnded());
    }

    // Closing the window ends what the page was doing: the next browse shows
    // its page.
    void aHostilePageDoesNotHoldUpTheNextBrowse_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("endless loop") << "loop.html";
        QTest::newRow("window.open storm") << "loop.html&storm";
    }
    void aHostilePageDoesNotHoldUpTheNextBrowse()
    {
        QFETCH(QString, page);
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")\nbrowse(\"%2\")\nprint(\"nach\")")
                  .arg(server.page(page), server.page("links.html")));
        QVERIFY(s.WaitPage("loop.html"));
        QTest::qWait(300);  // the page is at it now
        const qint64 hostile = s.browser->page->renderProcessPid();
        s.browser->Button3->click();
        QVERIFY(s.WaitPage("links.html", 10000));
        if (!page.contains("storm")) {
            QVERIFY(s.browser->page->renderProcessPid() != hostile);
            QVERIFY(::kill(pid_t(hostile), 0) != 0);
        }
        s.browser->Button3->click();
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), QStringList{"nach"});
    }

    // What the window records, replayed by a run against the same server,
    // makes the request that the user's action made.
    void recordedLinesReplayWhatTheUserDid_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("line");
        QTest::newRow("a number as the text") << "" << "document.links[0]" << "follow(\"1\")    # Link 1 verfolgen";
        QTest::newRow("a text that begins with a digit") << "" << "document.links[1]" << "follow(\"2\")    # Link 2 verfolgen";
        QTest::newRow("a text another link shares") << "" << "document.links[3]" << "follow(\"4\")    # Link 4 verfolgen";
        QTest::newRow("a picture link after an image map")
            << "" << "document.links[6].firstChild" << "follow(\"6\")    # Link 6 verfolgen";
        QTest::newRow("quote and backslash") << "document.forms[0].wert.value='sag \"hi\" \\\\ da'"
                                             << "document.forms[0].elements[2]"
                                             << "formset(1,\"wert\",\"sag \\\"hi\\\" \\\\ da\")";
        QTest::newRow("a line break in a text area") << "document.forms[0].text.value='Zeile 1\\nZeile 2'"
                                                     << "document.forms[0].elements[2]"
                                                     << "formset(1,\"text\",\"Zeile 1\\r\\nZeile 2\")";
        QTest::newRow("the second button") << "" << "document.forms[0].elements[3]" << "submit(1,\"\",2)";
    }
    void recordedLinesReplayWhatTheUserDid()
    {
        QFETCH(QString, setup);
        QFETCH(QString, target);
        QFETCH(QString, line);
        const QString fetch = QStringLiteral("x = htget(\"%1\")\n").arg(server.page("replay.html"));
        BrowserSetup s;
        s.browser->Button5Click();
        s.Run(fetch + "browse");
        QVERIFY(s.WaitPage("replay.html"));
        if (!setup.isEmpty())
            s.Js(setup);
        ClearLog();
        QVERIFY(s.ClickAt(target));
        QVERIFY(s.WaitRecorded(1));
        QVERIFY(QTest::qWaitFor([&] { return !EchoRequests().isEmpty(); }, 10000));
        QTest::qWait(300);  // a second request would come now
        const QStringList byUser = EchoRequests();
        QCOMPARE(byUser.size(), 1);
        const QStringList recorded = s.Recorded();
        QVERIFY2(recorded.contains(line), qPrintable(recorded.join('\n')));
        ExpectReplay(s, logPath, fetch, recorded, byUser);
    }

    void withoutAPageTheWindowSaysSo()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse"));
        QVERIFY(s.WaitPage());
        QVERIFY(s.Js("document.body.innerText").toString().contains("Skimlark: Keine HTML-Daten im Speicher."));
    }

    void theScriptsCookiesAndUserAgentReachTheServer()
    {
        BrowserSetup s;
        // An umlaut goes out as the one byte the script's requests send.
        s.win->settings().userAgent = "Skimlark-T\xEBst/1.0";
        ClearLog();
        s.Run(QStringLiteral("x = htget(\"%1\")\nbrowse(\"%2\")")
                  .arg(server.url("/setcookie?c=sitzung%3Dabc123"), server.url("/echo")));
        QVERIFY(s.WaitPage("/echo"));
        const QString seen = s.Js("document.body.innerText").toString();
        QVERIFY2(seen.contains("sitzung=abc123"), qPrintable(seen));
        const QByteArray requests = ReadLog();
        QVERIFY(requests.count("User-Agent: Skimlark-T\xEBst/1.0\r\n") >= 2);  // the script's and the window's
        QVERIFY(!requests.contains("Skimlark-T\xC3\xABst"));
    }

    // A run logged into one site: the window sends each cookie where the
    // run sends it and nowhere else, keeps HttpOnly ones from page scripts,
    // and drops one the server deleted.
    void theWindowSendsEachCookieNoFurtherThanTheRun()
    {
        const QString otherLog = logDir.path() + "/other.log";
        LocalServer other{QStringLiteral("http_server.py"),
                          {QStringLiteral("--host"), QStringLiteral("127.0.0.2"), QStringLiteral("--log"), otherLog}};
        QVERIFY(other.port > 0);
        const QString b = QStringLiteral("http://127.0.0.2:%1").arg(other.port);
        BrowserSetup s;
        QList<QNetworkCookie> added;
        connect(s.browser->page->profile()->cookieStore(), &QWebEngineCookieStore::cookieAdded,
                [&](const QNetworkCookie& c) { added << c; });
        ClearLog();
        s.Run(QStringLiteral("s = htget(\"%1\")\ns = htget(\"%2\")\nbrowse(\"%2\")\n"
                             "s = htget(\"%3\")\ns = htget(\"%4\")\ns = htget(\"%5\")\n"
                             "browse(\"%4\")\nbrowse(\"%5\")\n")
                  .arg(server.url("/setcookie?c=sid%3Dgeheim1%3B%20Path%3D/%3B%20HttpOnly"
                                  "&c=adm%3D1%3B%20Path%3D/page&c=weg%3D1"),
                       server.url("/echo"), server.url("/setcookie?c=weg%3D%3B%20Max-Age%3D0"),
                       server.url("/page"), b + "/echo"));
        // What page scripts see, one showing after the other.
        const struct {
            QString url;
            QString script;
        } showings[] = {
            {server.url("/echo"), "weg=1"},
            {server.url("/page"), "adm=1"},
            {b + "/echo", ""},
        };
        for (const auto& showing : showings) {
            QVERIFY2(s.WaitPage(showing.url), qPrintable(showing.url));
            QCOMPARE(s.Js("document.cookie").toString(), showing.script);
            s.browser->Button3->click();
        }
        QVERIFY(s.RunEnded());
        auto find = [&](const QByteArray& name) { return Named(added, name); };
        QVERIFY(find("sid").isHttpOnly());
        QCOMPARE(find("adm").path(), QStringLiteral("/page"));

        // Each request of the window carries the cookies that the run's
        // request for the same page carried before it.
        const struct {
            QString log;
            QByteArray path;
            QStringList cookies;
        } pages[] = {
            {logPath, "/echo", {"sid", "weg"}},
            {logPath, "/page", {"adm", "sid"}},
            {otherLog, "/echo", {}},
        };
        for (const auto& page : pages) {
            const QList<QStringList> sent = CookiesSent(page.log, page.path);
            QCOMPARE(sent.size(), 2);  // the run's and the window's
            QCOMPARE(sent[0], page.cookies);
            QCOMPARE(sent[1], page.cookies);
        }

    }

    void theUserAgentProbeHandsOverTheFirstField()
    {
        BrowserSetup s;
        qputenv("SKIMLARK_SERVER", maker.url("").toUtf8());
        TForm3 dialog(s.win.w.get());
        dialog.Edit3->setText("Probe-Agent/2.0");
        bool sawOnlyClose = false, tabsLocked = false;
        QString served;
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, [&] {
            if (!s.browser->shown() || s.browser->Label1->text() != "Fertig.")
                return;
            poll.stop();
            sawOnlyClose = s.browser->Button6->isVisible() && !s.browser->Button1->isVisible() &&
                           !s.browser->Button3->isVisible() && !s.browser->Button5->isVisible();
            s.browser->PageControl1->setCurrentIndex(2);
            tabsLocked = s.browser->PageControl1->currentIndex() == 0;
            // The page shows what the window sent; the user may still change it.
            s.browser->page->runJavaScript("var f=document.forms[0];var v=f.ua.value;f.ua.value='Geprüft/3.0';"
                                           "f.requestSubmit();v",
                                           [&](const QVariant& v) { served = v.toString(); });
        });
        poll.start();
        QTimer::singleShot(20000, [&] { s.browser->close(); });  // never hang the test
        dialog.Button3Click();
        qunsetenv("SKIMLARK_SERVER");
        QVERIFY(sawOnlyClose);
        QVERIFY(tabsLocked);
        QVERIFY(!s.browser->shown());
        // The probe finds the engine's own User-Agent, not the setting's.
        QTRY_VERIFY(!served.isEmpty());
        QVERIFY2(served.startsWith("Mozilla/") && !served.contains("Probe-Agent"), qPrintable(served));
        QCOMPARE(FromCp1252(s.win->settings().userAgent), QString::fromUtf8("Geprüft/3.0"));
        QCOMPARE(dialog.Edit3->text(), QString::fromUtf8("Geprüft/3.0"));
        QVERIFY(s.win.boxes.seen.contains(QString::fromUtf8(
            "Notiz|Der Wert für den User-Agent-Text wurde in die Skimlark-Einstellungen übernommen.")));
        QVERIFY(!s.browser->userAgentMode);
    }

    void findInTheSource()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        QTRY_VERIFY(s.browser->RichEdit1->toPlainText().contains("Impressum"));
        s.browser->FindDialog1->SetFindText("impressum");
        s.browser->FindDialog1->matchCaseBox->setChecked(true);
        s.browser->FindDialog1Find();
        QCOMPARE(s.win.boxes.seen.count("Notiz|Kein Vorkommen des Suchtextes (mehr) gefunden."), 1);
        s.browser->FindDialog1->matchCaseBox->setChecked(false);
        s.browser->FindDialog1Find();
        QCOMPARE(s.browser->PageControl1->currentIndex(), 1);
        QCOMPARE(s.browser->RichEdit1->textCursor().selectedText(), QStringLiteral("Impressum"));
        s.browser->FindDialog1Find();
        QCOMPARE(s.win.boxes.seen.count("Notiz|Kein Vorkommen des Suchtextes (mehr) gefunden."), 2);
    }
};

BROWSER_TEST_MAIN(BrowserRunTest)
#include "test_browser_run.moc"

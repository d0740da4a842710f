// The browser window's navigation on pages people really have: refused
// submissions, downloads and empty replies, pages that click by themselves,
// query and fragment links, the first showing and a page that hangs after
// its window closed.
#include "browser_fixture.h"

class BrowserNavigationTest : public QObject {
    Q_OBJECT
    QTemporaryDir logDir;
    QString logPath = logDir.path() + "/requests.log";
    LocalServer server{QStringLiteral("http_server.py"),
                       {QStringLiteral("--root"), BrowserFixtures(), QStringLiteral("--log"), logPath}};

    // The request lines the server saw, without the protocol; the engine's
    // own request for the site's icon does not count.
    QStringList Requests() const
    {
        QStringList out;
        for (const QByteArray& entry : ReadServerLog(logPath).split('\n')) {
            if ((entry.startsWith("GET ") || entry.startsWith("POST ")) && !entry.contains(" /favicon.ico "))
                out << QString::fromLatin1(entry.left(entry.lastIndexOf(' ')));
        }
        return out;
    }
    void ClearLog() const { QFile(logPath).resize(0); }
    // The window is back at rest on the page it showed.
    static bool Settled(BrowserSetup& s, const QString& part)
    {
        return QTest::qWaitFor(
            [&] {
                return !s.browser->navigateActive && s.browser->Label1->text() == QLatin1String("Fertig.") &&
                       s.browser->page->url().toString().contains(part);
            },
            10000);
    }

private slots:
    void initTestCase() { QVERIFY(server.port > 0); }

    // A submission the page refuses, a download and an empty reply leave the
    // page as it was: nothing of the refusal is recorded, each later click
    // records and navigates, and the page still cannot go anywhere by itself.
    void aNavigationThatDoesNotHappenLeavesThePage()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("refused.html")));
        QVERIFY(s.WaitPage("refused.html"));
        s.browser->Button5Click();
        ClearLog();

        s.Click(QStringLiteral("document.forms[0].elements[1]"));
        QTest::qWait(500);
        QCOMPARE(s.Recorded(), QStringList());
        QVERIFY(Settled(s, "refused.html"));

        s.Click(QStringLiteral("document.links[0]"));
        QVERIFY(s.WaitRecorded(1));
        QVERIFY(Settled(s, "refused.html"));
        // The page's own navigation stays refused.
        s.Js(QStringLiteral("location.href = '/echo?selbst=1'"));
        QTest::qWait(400);
        QVERIFY(Settled(s, "refused.html"));

        s.Click(QStringLiteral("document.links[1]"));
        QVERIFY(s.WaitRecorded(2));
        QVERIFY(Settled(s, "refused.html"));
        QCOMPARE(s.browser->frames->Count(), 1);

        s.Click(QStringLiteral("document.links[2]"));
        QVERIFY(s.WaitRecorded(3));
        QVERIFY(s.WaitPage("weiter=1"));
        QCOMPARE(s.Recorded(), (QStringList{QStringLiteral("follow(\"Datei\")    # Link 1 verfolgen"),
                                            QStringLiteral("follow(\"Leer\")    # Link 2 verfolgen"),
                                            QStringLiteral("follow(\"Weiter\")    # Link 3 verfolgen")}));
        const QStringList requests = Requests();
        QVERIFY2(!requests.join('\n').contains("feld=") && !requests.join('\n').contains("selbst"),
                 qPrintable(requests.join('\n')));
    }

    // Neither a page's click() on a link nor a submit event it dispatches
    // records or opens the way for the page's own navigation.
    void onlyTheUsersOwnEventsCount()
    {
        BrowserSetup s;
        s.browser->Button5Click();
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("selfclick.html")));
        QVERIFY(s.WaitPage("selfclick.html"));
        QTest::qWait(800);
        QCOMPARE(s.Recorded(), QStringList());
        QVERIFY(Settled(s, "selfclick.html"));
        QVERIFY2(!Requests().join('\n').contains("selbst="), qPrintable(Requests().join('\n')));
        s.Click(QStringLiteral("document.links[0]"));
        QVERIFY(s.WaitRecorded(1));
        QVERIFY(s.WaitPage("selbst=link"));
        QCOMPARE(s.Recorded(), QStringList{QStringLiteral("follow(\"Selbst\")    # Link 1 verfolgen")});
    }

    // In the copy of the script's page, a query-only link keeps the page's
    // path and a fragment scrolls; the recorded lines replay to the same
    // requests.
    void queryAndFragmentLinksOfTheCopy()
    {
        const QString page = server.url("/site/s_dir/qlinks.html");
        const QString fetch = QStringLiteral("x = htget(\"%1\")\n").arg(page);
        BrowserSetup s;
        s.browser->Button5Click();
        s.Run(fetch + "browse");
        QVERIFY(s.WaitPage("qlinks.html"));
        ClearLog();
        s.Click(QStringLiteral("document.links[0]"));
        QVERIFY(s.WaitRecorded(1));
        QTRY_VERIFY(s.Js(QStringLiteral("window.scrollY")).toInt() > 1000);
        // The page stays, with its frames; the status label shows where the
        // mouse is, not a load.
        QVERIFY(s.browser->page->url().toString().endsWith("qlinks.html#unten"));
        QVERIFY(!s.browser->navigateActive);
        QVERIFY(s.browser->Label1->text() != QLatin1String("Seite wird geladen..."));
        QCOMPARE(s.browser->frames->Count(), 1);
        QVERIFY2(Requests().isEmpty(), qPrintable(Requests().join('\n')));

        s.Click(QStringLiteral("document.links[1]"));
        QVERIFY(s.WaitRecorded(2));
        QVERIFY(s.WaitPage("qlinks.html?z=anfrage"));
        QCOMPARE(Requests(), QStringList{QStringLiteral("GET /site/s_dir/qlinks.html?z=anfrage")});
        const QStringList recorded = s.Recorded();
        QCOMPARE(recorded, (QStringList{QStringLiteral("follow(\"Unten\")    # Link 1 verfolgen"),
                                        QStringLiteral("follow(\"Anfrage\")    # Link 2 verfolgen")}));
        s.browser->Button1->click();
        QVERIFY(s.RunEnded());

        // The replay: each line asks for the page the window showed.
        ClearLog();
        s.Run(fetch + recorded[0] + "\nprint(_url)\n" + fetch + recorded[1] + "\nprint(_url)");
        QVERIFY(s.RunEnded());
        QCOMPARE(Output(*s.win), (QStringList{page + "#unten", page + "?z=anfrage"}));
        QCOMPARE(Requests(), (QStringList{"GET /site/s_dir/qlinks.html", "GET /site/s_dir/qlinks.html",
                                          "GET /site/s_dir/qlinks.html",
                                          "GET /site/s_dir/qlinks.html?z=anfrage"}));
    }

    // The interpreter resolves against the page's address: a page's own
    // relative base, and a redirect from a page whose query holds slashes.
    void relativeBaseAndQueriesWithSlashes()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("x = htget(\"%1\")\nprint(follow(\"Weiter\"))\nprint(_url)\n"
                             "print(htget(\"%2\"))\nprint(_url)")
                  .arg(server.url("/site/s_dir/based.html"), server.url("/redirect?to=echo&next=/a/b")));
        QVERIFY(s.RunEnded());
        QCOMPARE(Output(*s.win), (QStringList{"200", server.url("/site/s_dir/qlinks.html"), "200", server.url("/echo")}));
    }

    // The window's first showing after it was made: the view's empty start
    // page never passes for the page, so a frameset's frames come and a
    // refresh with delay 0 is followed.
    void theFirstShowingIsAsEveryOther_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("frames");
        QTest::newRow("frameset") << "frameset.html" << "frameset.html" << 3;
        QTest::newRow("META refresh") << "refresh.html" << "links.html" << 1;
    }
    void theFirstShowingIsAsEveryOther()
    {
        QFETCH(QString, page);
        QFETCH(QString, shown);
        QFETCH(int, frames);
        for (int round = 0; round < 3; ++round) {
            BrowserSetup s;
            s.browser->showBrowser(ToCp1252(server.page(page)));
            QVERIFY2(s.WaitPage(shown), qPrintable(QStringLiteral("round %1").arg(round)));
            QTRY_COMPARE(s.browser->frames->Count(), frames);
            s.browser->close();
        }
    }

    // A page whose endless loop begins after the window closed, or when it
    // is left, does not hold up the next showing.
    void aLateLoopDoesNotHoldUpTheNextShowing_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("loop after load") << "lateloop.html";
        QTest::newRow("loop when left") << "lateloop.html&unload";
    }
    void aLateLoopDoesNotHoldUpTheNextShowing()
    {
        QFETCH(QString, page);
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")\nsleep(1000)\nbrowse(\"%2\")\nprint(\"nach\")")
                  .arg(server.page(page), server.page("links.html")));
        QVERIFY(s.WaitPage("lateloop.html"));
        s.browser->Button3->click();
        QVERIFY(s.WaitPage("links.html", 10000));
        s.browser->Button3->click();
        QVERIFY(s.RunEnded());
        QTRY_COMPARE(Output(*s.win), QStringList{"nach"});
    }
};

BROWSER_TEST_MAIN(BrowserNavigationTest)
#include "test_browser_navigation.moc"

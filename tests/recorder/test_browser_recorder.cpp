// The browser window shows pages of a local server; DOM events dispatched
// into them are recorded as exactly the script lines a user gets.
#include <QTabBar>
#include <QTabWidget>

#include "browser_fixture.h"

class BrowserRecorderTest : public QObject {
    Q_OBJECT
    LocalServer server{QStringLiteral("http_server.py"), {QStringLiteral("--root"), BrowserFixtures()}};

private slots:
    void initTestCase() { QVERIFY(server.port > 0); }

    void linksAreRecordedWithTextOrNumber()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("links.html")));
        QVERIFY(s.WaitPage("links.html"));
        // Links in DOM order, an image-map area keeping its place.
        Frame* top = s.browser->frames->Find(0);
        QVERIFY(top);
        QCOMPARE(int(top->links->items.size()), 4);
        QVERIFY(!top->links->items.count(1));
        QCOMPARE(QString::fromStdString(top->links->items[2]->text), QStringLiteral("Impressum"));
        QVERIFY(top->notHttp == false);

        s.browser->Button5Click();
        QCOMPARE(s.browser->Button5->text(), QStringLiteral("Aufzeichnung anhalten"));

        // The status label follows the mouse over a link.
        s.Js(QStringLiteral("document.links[4].dispatchEvent(new MouseEvent('mouseover',{bubbles:true}))"));
        QTRY_COMPARE(s.browser->Label1->text(), server.url("/echo"));
        s.Js(QStringLiteral("document.links[4].dispatchEvent(new MouseEvent('mouseout',{bubbles:true}))"));
        QTRY_COMPARE(s.browser->Label1->text(), QString());

        s.Click(QStringLiteral("document.links[2]"));
        QVERIFY(s.WaitRecorded(1));
        QVERIFY(s.WaitPage("n=3"));
        // A picture link has no text: its number stands in, as the script counts
        // links (the image map before it does not count).
        s.Click(QStringLiteral("document.links[3]"));
        QVERIFY(s.WaitRecorded(2));
        QVERIFY(s.WaitPage("n=4"));
        QCOMPARE(s.Recorded(), (QStringList{QStringLiteral("follow(\"Impressum\")    # Link 3 verfolgen"),
                                            QStringLiteral("follow(\"3\")    # Link 3 verfolgen")}));
        QVERIFY(s.browser->Button4->isEnabled());

        // Recording off: the click navigates and writes nothing.
        s.browser->Button5Click();
        QCOMPARE(s.browser->Button5->text(), QStringLiteral("Aktionen aufzeichnen"));
        s.Click(QStringLiteral("document.links[0]"));
        QVERIFY(QTest::qWaitFor([&] { return !s.browser->page->url().toString().contains("n=4"); }, 10000));
        QVERIFY(s.WaitPage("links.html"));
        QCOMPARE(s.Recorded().size(), 2);
    }

    // A script link runs on the page and leaves the window as it was: the
    // next link, reached with Tab and taken with Enter, is recorded and
    // followed, into the top level although it names a new window.
    void keysAndScriptLinksWorkAsClicks()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("jslinks.html")));
        QVERIFY(s.WaitPage("jslinks.html"));
        s.browser->Button5Click();
        QVERIFY(s.ClickAt(QStringLiteral("document.links[0]")));
        QVERIFY(s.WaitRecorded(1));
        QTRY_COMPARE(s.Js(QStringLiteral("document.title")).toString(), QStringLiteral("geklickt"));
        QVERIFY(s.browser->Label1->text() != QStringLiteral("Seite wird geladen..."));
        QTest::keyClick(s.Input(), Qt::Key_Tab);
        QTRY_COMPARE(s.Js(QStringLiteral("document.activeElement === document.links[1]")).toBool(), true);
        QTest::keyClick(s.Input(), Qt::Key_Return);
        QVERIFY(s.WaitPage("was=neu"));
        QCOMPARE(s.Recorded(), (QStringList{QStringLiteral("follow(\"Skript\")    # Link 1 verfolgen"),
                                            QStringLiteral("follow(\"Neu\")    # Link 2 verfolgen")}));
        s.browser->Button5Click();
    }

    void framesAreNumberedAndTheirSourceCycles()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("frameset.html")));
        QVERIFY(s.WaitPage("frameset.html"));
        QCOMPARE(s.browser->frames->Count(), 3);
        QCOMPARE(s.browser->frames->items[0]->number, 1);
        QCOMPARE(s.browser->frames->items[1]->number, 2);
        QCOMPARE(s.browser->frames->items[2]->number, 0);
        QVERIFY(QString::fromStdString(s.browser->frames->Find(1)->url).endsWith("frame1.html"));

        // A press on the header of the active source tab steps through the frames.
        QTabBar* bar = s.browser->PageControl1->tabBar();
        const QPoint header = bar->tabRect(1).center();
        QTest::mouseClick(bar, Qt::LeftButton, {}, header);  // to the source tab
        QCOMPARE(s.browser->PageControl1->currentIndex(), 1);
        QCOMPARE(s.browser->PageControl1->tabText(1), QStringLiteral("Quelltext Hauptframe"));
        QTRY_VERIFY(s.browser->RichEdit1->toPlainText().contains("<frameset"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, header);
        QCOMPARE(s.browser->PageControl1->tabText(1), QStringLiteral("Quelltext Frame 1"));
        QTRY_VERIFY(s.browser->RichEdit1->toPlainText().contains("erster Rahmen"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, header);
        QCOMPARE(s.browser->PageControl1->tabText(1), QStringLiteral("Quelltext Frame 2"));
        QTRY_VERIFY(s.browser->RichEdit1->toPlainText().contains("zweiter Rahmen"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, header);
        QCOMPARE(s.browser->PageControl1->tabText(1), QStringLiteral("Quelltext Hauptframe"));
        QTRY_VERIFY(s.browser->RichEdit1->toPlainText().contains("<frameset"));

        // A link in frame 1: the frame line, then the link line.
        s.browser->Button5Click();
        s.Click(QStringLiteral("window.frames[0].document.links[1]"));
        QVERIFY(s.WaitRecorded(2));
        QCOMPARE(s.Recorded(), (QStringList{QStringLiteral("follow(\"1\")    # Frame laden"),
                                            QStringLiteral("follow(\"Zwei\")    # Link 2 verfolgen")}));
        // The window sends the top level where the link points.
        QVERIFY(s.WaitPage("frame2.html"));
        QCOMPARE(s.browser->frames->Count(), 1);
    }

    void framesOfAnotherOriginReportToo()
    {
        BrowserSetup s;
        // The frames come from "localhost", the page from 127.0.0.1: two origins.
        const QString other = QStringLiteral("http://localhost:%1/file?name=").arg(server.port);
        const QString page = QStringLiteral("<html><frameset cols='50%,50%'><frame src='%1frame1.html'>"
                                            "<frame src='%1frame2.html'></frameset></html>")
                                 .arg(other);
        s.Run(QStringLiteral("browse(\"%1\")")
                  .arg(server.url("/page?body=") + QString::fromLatin1(QUrl::toPercentEncoding(page))));
        QVERIFY(s.WaitPage("/page"));
        QCOMPARE(s.browser->frames->Count(), 3);
        QVERIFY(QString::fromStdString(s.browser->frames->Find(1)->url).startsWith("http://localhost:"));
        QVERIFY(QString::fromStdString(s.browser->frames->Find(2)->url).endsWith("frame2.html"));
        QCOMPARE(s.browser->frames->Find(2)->links->size(), size_t(0));
        QCOMPARE(s.browser->frames->Find(1)->links->size(), size_t(2));
    }

    void twoFramesWithOneUrl()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("sameframes.html")));
        QVERIFY(s.WaitPage("sameframes.html"));
        QCOMPARE(s.browser->frames->Count(), 3);
        QList<int> numbers;
        for (auto& [k, f] : s.browser->frames->items)
            numbers << f->number;
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers, (QList<int>{-1, 0, 1}));
    }

    void formEntriesAreRecordedInNameOrder()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("form.html")));
        QVERIFY(s.WaitPage("form.html"));
        // The snapshot keys are the element positions; the button has none.
        QVERIFY(s.browser->formSnapshots.count(1));
        InputMap& snap = *s.browser->formSnapshots[1];
        QVERIFY(!snap.count(11));
        QCOMPARE(QString::fromStdString(snap[3]->value), QStringLiteral("1"));
        QCOMPARE(QString::fromStdString(snap[5]->value), QString());  // unticked box
        QCOMPARE(QString::fromStdString(snap[8]->value), QStringLiteral("x"));

        s.browser->Button5Click();
        s.Js(QStringLiteral(R"JS(
            var f = document.forms[1];
            f.user.value = 'erika';
            f.pass.value = 'geheim';
            f.Zeile.value = '7';
            f.anzahl.selectedIndex = 1;
            f.leer.value = '';
            f.opt[0].checked = true;
            f.opt[2].checked = true;
            f.r[1].checked = true;
            f.zitat.value = 'sag "hi" \\ da';
            f.requestSubmit();
        )JS"));
        QVERIFY(s.WaitRecorded(9));
        QCOMPARE(s.Recorded(), (QStringList{
                                   QStringLiteral("formset(2,\"Zeile\",\"7\")"),
                                   QStringLiteral("formset(2,\"anzahl\",\"3\")"),
                                   QStringLiteral("formset(2,\"leer\",\"\")"),
                                   QStringLiteral("formset(2,\"opt\",\"a,c\")"),
                                   QStringLiteral("formset(2,\"pass\",\"geheim\")"),
                                   QStringLiteral("formset(2,\"r\",\"y\")"),
                                   QStringLiteral("formset(2,\"user\",\"erika\")"),
                                   QStringLiteral("formset(2,\"zitat\",\"sag \\\"hi\\\" \\\\ da\")"),
                                   QStringLiteral("submit(2)"),
                               }));
        // The submission itself goes ahead.
        QVERIFY(s.WaitPage("/echo"));
        QTRY_VERIFY(s.browser->RichEdit1->toPlainText().contains("user=erika"));

        // Submitting without a change records the submit line alone.
        s.browser->BeginNavigate();
        s.browser->Navigate(server.page("form.html"));
        QVERIFY(s.WaitPage("form.html"));
        s.browser->Memo1->clear();
        s.Js(QStringLiteral("document.forms[0].requestSubmit()"));
        QVERIFY(s.WaitRecorded(1));
        QCOMPARE(s.Recorded(), QStringList{QStringLiteral("submit(1)")});
    }

    void formInAFrameComparesWithItsFrame()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("frameset.html")));
        QVERIFY(s.WaitPage("frameset.html"));
        s.browser->Button5Click();
        s.Js(QStringLiteral("var f=window.frames[1].document.forms[0];f.suche.value='Haus';f.requestSubmit();"));
        QVERIFY(s.WaitRecorded(3));
        QCOMPARE(s.Recorded(), (QStringList{QStringLiteral("follow(\"2\")    # Frame laden"),
                                            QStringLiteral("formset(1,\"suche\",\"Haus\")"),
                                            QStringLiteral("submit(1)")}));
        // The frame's new page completes under the page that stays: loading has stopped.
        QVERIFY(QTest::qWaitFor(
            [&] { return !s.browser->navigateActive && s.browser->Label1->text() == QLatin1String("Fertig."); }, 10000));
    }

    void metaRefreshIsFollowedAndRecorded()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("refresh.html")));
        // The refresh with delay 0 goes ahead although its page had completed.
        QVERIFY(s.WaitPage("links.html"));
        QCOMPARE(int(s.browser->refreshURL.size()), 1);
        QCOMPARE(QString::fromStdString(s.browser->refreshURL.front()), QStringLiteral("/file?name=links.html"));
        QCOMPARE(s.browser->frames->Find(0)->url.find("links.html") != std::string::npos, true);
        s.browser->Button5Click();
        s.Click(QStringLiteral("document.links[0]"));
        QVERIFY(s.WaitRecorded(2));
        QCOMPARE(s.Recorded(), (QStringList{QString::fromUtf8("follow(\"1\")    # META-Refresh ausführen"),
                                            QStringLiteral("follow(\"Start\")    # Link 1 verfolgen")}));
    }

    void aPageCannotWanderOffByItself()
    {
        BrowserSetup s;
        s.Run(QStringLiteral("browse(\"%1\")").arg(server.page("wander.html")));
        QVERIFY(s.WaitPage("wander.html"));
        QTest::qWait(600);
        QVERIFY(s.browser->page->url().toString().contains("wander.html"));
        QCOMPARE(s.Js(QStringLiteral("document.body.innerText")).toString().trimmed(), QStringLiteral("bleibt"));
    }
};

BROWSER_TEST_MAIN(BrowserRecorderTest)
#include "test_browser_recorder.moc"

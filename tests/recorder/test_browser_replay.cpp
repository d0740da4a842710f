// Recorded lines replay what the browser window sent: umlauts, the euro
// sign and signs in the page's charset, links whose shown text is not the
// script's, frames, groups of checkboxes, fields a submit handler sets,
// button elements, lists of several options and clicks before the load.
#include <QFile>

#include "browser_fixture.h"

class BrowserReplayTest : public QObject {
    Q_OBJECT
    QTemporaryDir logDir;
    QString logPath = logDir.path() + "/requests.log";
    LocalServer server{QStringLiteral("http_server.py"),
                       {QStringLiteral("--root"), BrowserFixtures(), QStringLiteral("--log"), logPath}};

    QStringList EchoRequests() const { return ::EchoRequests(logPath); }
    void ClearLog() const { QFile(logPath).resize(0); }

private slots:
    void initTestCase() { QVERIFY(server.port > 0); }

    void umlautsGoOutAsTheWindowSentThem_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("form");
        QTest::newRow("UTF-8 named by the header, POST") << "umlaute_utf8.html&ct=text/html;charset=utf-8" << 0;
        QTest::newRow("UTF-8 named by meta charset, GET") << "umlaute_utf8_meta.html" << 1;
        QTest::newRow("Windows-1252 named by the header, GET") << "umlaute_1252.html&ct=text/html;charset=windows-1252" << 1;
        QTest::newRow("Windows-1252 named by http-equiv, POST") << "umlaute_1252_meta.html" << 0;
    }
    void umlautsGoOutAsTheWindowSentThem()
    {
        QFETCH(QString, page);
        QFETCH(int, form);
        const QString fetch = QStringLiteral("x = htget(\"%1\")\n").arg(server.page(page));
        BrowserSetup s;
        s.browser->Button5Click();
        s.Run(fetch + "browse");
        QVERIFY(s.WaitPage());
        // The window reads the page in the charset the run found for it.
        QCOMPARE(s.Js("document.getElementById('gruss').textContent").toString(), QString::fromUtf8("Grüße 5€"));

        ClearLog();
        const QString field = QStringLiteral("document.forms[%1].elements[1]").arg(form);
        QVERIFY(s.ClickAt(field));
        QTest::keyClick(s.Input(), Qt::Key_End);
        // Key by key, as typed: keyClicks takes Latin-1 only.
        for (const QChar c : QString::fromUtf8(" und Maß #1 & 5% + %41 €")) {
            const Qt::Key key = c.unicode() < 128 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Press, s.Input(), key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, s.Input(), key, QString(c), Qt::NoModifier);
        }
        QVERIFY(QTest::qWaitFor([&] { return s.Js(field + ".value").toString().endsWith(QString::fromUtf8("€")); }, 5000));
        QVERIFY(s.ClickAt(QStringLiteral("document.forms[%1].elements[2]").arg(form)));
        QVERIFY(s.WaitRecorded(2));
        QVERIFY(QTest::qWaitFor([&] { return !EchoRequests().isEmpty(); }, 10000));
        const QStringList byUser = EchoRequests();
        QCOMPARE(byUser.size(), 1);
        const QStringList recorded = s.Recorded();
        const QString k = QString::number(form + 1);
        QCOMPARE(recorded, (QStringList{"formset(" + k + QString::fromUtf8(",\"größe\",\"Größe und Maß #1 & 5% + %2541 €\")"),
                                        "submit(" + k + ")"}));
        ExpectReplay(s, logPath, fetch, recorded, byUser);
    }

    // A frame of another site than its page's cannot look at the page: the
    // recorded line still names it by its number among the page's links.
    void aFrameOfAnotherSiteGoesByTheScriptsNumber()
    {
        const QString inner = QStringLiteral("http://localhost:%1/page?body=%2")
                                  .arg(server.port)
                                  .arg(QString::fromLatin1(QUrl::toPercentEncoding(
                                      "<a href=\"/echo?was=fremd\" style=\"display:block;height:300px\">Fremd</a>")));
        const QString outer = "<p><a href=\"/echo?was=eins\">Eins</a> <a href=\"/echo?was=zwei\">Zwei</a></p>"
                              "<iframe src=\"" + inner + "\" width=\"400\" height=\"300\"></iframe>";
        const QString fetch = QStringLiteral("x = htget(\"%1\")\n")
                                  .arg(server.url("/page?body=" + QString::fromLatin1(QUrl::toPercentEncoding(outer))));
        BrowserSetup s;
        s.browser->Button5Click();
        s.Run(fetch + "browse");
        QVERIFY(s.WaitPage());
        QVERIFY(QTest::qWaitFor([&] { return s.browser->frames->Count() == 2; }, 10000));
        ClearLog();
        // The link fills the frame: a click on the frame's middle is on it.
        s.Click(QStringLiteral("document.querySelector('iframe')"));
        QVERIFY(s.WaitRecorded(2));
        QVERIFY(QTest::qWaitFor([&] { return !EchoRequests().isEmpty(); }, 10000));
        const QStringList recorded = s.Recorded();
        QCOMPARE(recorded, (QStringList{"follow(\"3\")    # Frame laden", "follow(\"Fremd\")    # Link 1 verfolgen"}));
        ExpectReplay(s, logPath, fetch, recorded, EchoRequests());
    }

    void whatTheWindowSentIsRecorded_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("lines");
        const QString arten = QStringLiteral("arten.html");
        const QString form = QStringLiteral("document.forms[0].elements[%1]");
        QTest::newRow("a line end in a link's text")
            << arten << "" << QStringList{"document.links[2]"} << QStringList{"follow(\"3\")    # Link 3 verfolgen"};
        QTest::newRow("a line break element in a link's text")
            << arten << "" << QStringList{"document.links[3]"} << QStringList{"follow(\"4\")    # Link 4 verfolgen"};
        // The script counts the frame among the page's links.
        QTest::newRow("a link in an inline frame after the page's links")
            << arten << "" << QStringList{"document.querySelector('iframe').contentDocument.links[1]"}
            << QStringList{"follow(\"5\")    # Frame laden", "follow(\"Weiter innen\")    # Link 2 verfolgen"};
        // The kept box stays ticked; the hidden field is as the page's
        // onsubmit handler left it.
        QTest::newRow("a group of checkboxes and a field set on submission")
            << arten << "" << QStringList{form.arg(2), form.arg(3), form.arg(5)}
            << QStringList{"formset(1,\"c\",\"x,y\")", "formset(1,\"zeit\",\"gesetzt\")", "submit(1)"};
        QTest::newRow("a list of several options and the second button element")
            << arten << "var m = document.forms[0].m; m.options[0].selected = true; m.options[2].selected = true;"
            << QStringList{form.arg(6)}
            << QStringList{"formset(1,\"m\",\"1,3\")", "formset(1,\"zeit\",\"gesetzt\")", "submit(1,\"\",2)"};
        // The page refuses the submission, checks on its own and then sends
        // the form itself, as the user's submission.
        QTest::newRow("a refused submission the page then sends itself")
            << "geprueft.html" << "document.forms[0].wert.value = 'Anna';" << QStringList{form.arg(2)}
            << QStringList{"formset(1,\"geprueft\",\"ja\")", "formset(1,\"wert\",\"Anna\")",
                           "submit(1,\"\",2)    # ohne Button, wie die Seite selbst sendet"};
        // The picture holds up the load event for good.
        QTest::newRow("a click before the load event")
            << "frueh.html" << "" << QStringList{"document.links[0]"}
            << QStringList{"follow(\"Gleich weiter\")    # Link 1 verfolgen"};
    }
    void whatTheWindowSentIsRecorded()
    {
        QFETCH(QString, page);
        QFETCH(QString, setup);
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, lines);
        const QString fetch = QStringLiteral("x = htget(\"%1\")\n").arg(server.page(page));
        BrowserSetup s;
        s.browser->Button5Click();
        s.Run(fetch + "browse");
        QVERIFY(QTest::qWaitFor(
            [&] {
                return s.browser->shown() && s.Js("document.readyState").toString() != QLatin1String("loading") &&
                       s.Js("document.links.length").toInt() > 0;
            },
            20000));
        // Every page but the one whose picture never comes loads whole first.
        if (page != QLatin1String("frueh.html"))
            QVERIFY(s.WaitPage(page));
        if (!setup.isEmpty())
            s.Js(setup);
        ClearLog();
        for (const QString& target : clicks)
            QVERIFY2(s.ClickAt(target), qPrintable(target));
        QVERIFY(s.WaitRecorded(lines.size()));
        QVERIFY(QTest::qWaitFor([&] { return !EchoRequests().isEmpty(); }, 10000));
        QTest::qWait(300);  // a second request would come now
        const QStringList byUser = EchoRequests();
        QCOMPARE(byUser.size(), 1);
        const QStringList recorded = s.Recorded();
        QCOMPARE(recorded, lines);
        ExpectReplay(s, logPath, fetch, recorded, byUser);
    }
};

BROWSER_TEST_MAIN(BrowserReplayTest)
#include "test_browser_replay.moc"

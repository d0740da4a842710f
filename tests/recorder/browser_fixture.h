// Shared by the browser-window tests: a local server, a main window with its
// browser window, and real DOM events dispatched into the shown page.
#pragma once

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cctype>

#include "editor/editor_fixture.h"
#include "editor/qt_text.h"
#include "recorder/browser_window.h"
#include "web/page_model.h"

// A server of tests/servers on a free loopback port; it ends with its stdin.
class LocalServer {
public:
    explicit LocalServer(const QString& script, const QStringList& args = {})
    {
        proc.start(QStringLiteral("python3"),
                   QStringList{QStringLiteral(SKIMLARK_SOURCE_DIR "/tests/servers/") + script,
                               QStringLiteral("--exit-on-eof")} +
                       args);
        if (proc.waitForStarted(10000)) {
            while (!proc.canReadLine() && proc.waitForReadyRead(10000)) {
            }
            const QByteArray line = proc.readLine().trimmed();
            if (line.startsWith("PORT "))
                port = line.mid(5).toInt();
        }
    }
    ~LocalServer()
    {
        proc.closeWriteChannel();
        if (!proc.waitForFinished(3000))
            proc.kill();
        proc.waitForFinished(1000);
    }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path); }
    // A page of tests/fixtures/html/browser.
    QString page(const QString& name) const { return url(QStringLiteral("/file?name=") + name); }

    QProcess proc;
    int port = 0;
};

// What a run printed, as lines.
inline QStringList Output(TForm1& w)
{
    QStringList l;
    for (const std::string& s : w.OutputLines())
        l << FromCp1252(s);
    return l;
}

// The requests a server of tests/servers wrote to its --log file.
inline QByteArray ReadServerLog(const QString& path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

// A server's reading of an escaped field: "%" and two hex digits are a
// byte, any other "%" is itself.
inline QByteArray Unescaped(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size() && std::isxdigit(uchar(field[i + 1])) &&
            std::isxdigit(uchar(field[i + 2]))) {
            out += char(field.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The requests for /echo in a server's log: the method and path, and the
// fields of the query and the body decoded, so that a browser's and a
// script's encodings of the same bytes compare equal.
inline QStringList EchoRequests(const QString& logPath)
{
    QStringList out;
    const QByteArray log = ReadServerLog(logPath);
    qsizetype from = 0;
    for (qsizetype end; (end = log.indexOf("\n=== end ===\n", from)) >= 0; from = end + 13) {
        const QByteArray entry = log.mid(from, end - from);
        const qsizetype head = entry.indexOf("\r\n\r\n");
        const QByteArray line = entry.left(entry.indexOf("\r\n"));
        if (!line.contains(" /echo"))
            continue;
        QStringList fields;
        QByteArray target = line.left(line.lastIndexOf(' '));
        const qsizetype query = target.indexOf('?');
        for (const QByteArray& part : {query < 0 ? QByteArray() : target.mid(query + 1), entry.mid(head + 4)})
            for (QByteArray field : part.split('&')) {
                if (field.isEmpty())
                    continue;
                field.replace('+', ' ');
                fields << QString::fromLatin1(Unescaped(field));
            }
        if (query >= 0)
            target.truncate(query);
        out << QString::fromLatin1(target) + " | " + fields.join(" & ");
    }
    return out;
}

inline QString BrowserFixtures()
{
    return QStringLiteral(SKIMLARK_FIXTURES "/html/browser");
}

// A main window with its browser window; the run's temporary page goes to a
// folder of its own.
struct BrowserSetup {
    BrowserSetup()
    {
        win->settings().dataDir = ToNative(data.path());
        browser = new TForm11(win->browserHost(), win.w.get());
    }
    ~BrowserSetup()
    {
        if (!win.w)
            return;
        if (browser && browser->shown())
            browser->close();
        QTest::qWaitFor([this] { return !win->skript || win->skript->Finished(); }, 5000);
    }

    // Puts the script into the editor and runs it.
    void Run(const QString& script)
    {
        win->SetEditorText(ToCp1252(script));
        win->RunScript(false);
    }
    // Waits until the window shows a completed page (whose URL holds part).
    bool WaitPage(const QString& part = QString(), int timeoutMs = 20000)
    {
        return QTest::qWaitFor(
            [&] {
                return browser->shown() && browser->Label1->text() == QLatin1String("Fertig.") &&
                       browser->frames->Count() > 0 && browser->page->url().toString().contains(part);
            },
            timeoutMs);
    }
    // The result of a script in the top document.
    QVariant Js(const QString& code)
    {
        QVariant result;
        bool done = false;
        browser->page->runJavaScript(code, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        QTest::qWaitFor([&] { return done; }, 10000);
        return result;
    }
    // The view's widget that takes the input events.
    QWidget* Input() const { return browser->CppWebBrowser1->focusProxy(); }
    // A click of the real mouse on the middle of the element that expr finds
    // in the top document or in one of its frames of the same origin; on
    // its first line when it spans several.
    bool ClickAt(const QString& expr)
    {
        const QVariantList at =
            Js(QStringLiteral("(function(){var e=%1;e.scrollIntoView({block:'center'});"
                              "var b=e.getClientRects()[0]||e.getBoundingClientRect(),x=b.left+b.width/2,y=b.top+b.height/2;"
                              "for(var w=e.ownerDocument.defaultView;w.frameElement;w=w.parent){"
                              "var f=w.frameElement,r=f.getBoundingClientRect();"
                              "x+=r.left+f.clientLeft;y+=r.top+f.clientTop;}return [x,y];})()")
                   .arg(expr))
                .toList();
        if (at.size() != 2 || !Input())
            return false;
        const QPoint p(qRound(at[0].toDouble()), qRound(at[1].toDouble()));
        QTest::mouseMove(Input(), p);
        QTest::mouseClick(Input(), Qt::LeftButton, {}, p);
        return true;
    }
    void Click(const QString& expr) { QVERIFY(ClickAt(expr)); }
    QStringList Recorded() const
    {
        QStringList l = browser->Memo1->toPlainText().split(QLatin1Char('\n'));
        if (l.size() == 1 && l[0].isEmpty())
            l.clear();
        return l;
    }
    bool WaitRecorded(int lines, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return Recorded().size() >= lines; }, timeoutMs);
    }
    bool RunEnded(int timeoutMs = 20000) { return ::RunEnded(*win, timeoutMs); }

    TempRegistry registry;
    QTemporaryDir data;
    Window win;
    TForm11* browser = nullptr;
};

// Ends the showing, runs the recorded lines after fetch and compares what
// reached /echo (in the server's log at logPath) with what the user's own
// actions sent.
inline void ExpectReplay(BrowserSetup& s, const QString& logPath, const QString& fetch, const QStringList& recorded,
                         const QStringList& byUser)
{
    s.browser->Button1->click();
    QVERIFY(s.RunEnded());

    QFile(logPath).resize(0);
    s.Run(fetch + recorded.join('\n'));
    QVERIFY(s.RunEnded());
    QCOMPARE(Output(*s.win), QStringList());
    QCOMPARE(EchoRequests(logPath), byUser);
}

// The web engine wants shared GL contexts before the application exists.
#define BROWSER_TEST_MAIN(TestObject)                                  \
    int main(int argc, char** argv)                                    \
    {                                                                  \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);    \
        QApplication app(argc, argv);                                  \
        TestObject test;                                               \
        return QTest::qExec(&test, argc, argv);                        \
    }

// How fast browse shows a page: the temporary page of a 100 KB page from the
// window's creation (the web engine's start included) to "Fertig.", later
// showings, the showing after a page caught in an endless script, a
// window.open storm or a loop that begins after the window closed, and a
// click of the mouse on a link to its recorded line. The peer is the web
// engine alone: a bare view loading the same file in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "editor/main_window.h"
#include "platform/page_copy.h"
#include "recorder/browser_window.h"
#include "web/page_model.h"

namespace {

// About 100 KB of text with 1,000 links.
std::string Page()
{
    std::string p = "<html><head><title>Bench</title></head><body>\n";
    for (int i = 0; p.size() < 100 * 1024; ++i)
        p += "<p>Absatz " + std::to_string(i) + " mit etwas Text, damit die Seite waechst. <a href=\"http://127.0.0.1:1/s" +
             std::to_string(i) + "\">Link " + std::to_string(i) + "</a></p>\n";
    return p + "</body></html>\n";
}

// Waits in a real event loop, as the program does: the web engine's own
// work on this thread runs through it.
template <class Pred>
bool WaitFor(Pred done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(1);
    limit.setSingleShot(true);
    limit.start(timeoutMs);
    loop.exec();
    return done();
}

const char* const kLoop =
    "<html><body><p>Schleife</p><script>window.addEventListener('load', function () {"
    " setTimeout(function () { for (;;) {} }, 20); });</script></body></html>";
const char* const kStorm =
    "<html><body><p>Sturm</p><script>window.addEventListener('load', function () {"
    " setInterval(function () { for (var i = 0; i < 200; i++) window.open('about:blank', '_blank'); }, 0);"
    " });</script></body></html>";

// Its loop begins a while after the page has loaded, when the window that
// showed it has long closed.
const char* const kLateLoop =
    "<html><body><p>Spaet</p><script>window.addEventListener('load', function () {"
    " setTimeout(function () { for (;;) {} }, 400); });</script></body></html>";

// A click of the left button at p, as the window system delivers it.
void MouseClick(QWidget* w, QPoint p)
{
    const QPointF at(p), global(w->mapToGlobal(p));
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &release);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool WaitDone(TForm11& b)
{
    return WaitFor(
        [&] { return b.Label1->text() == QLatin1String("Fertig.") && b.frames->Count() > 0; }, 30000);
}

// The bare engine: a fresh view loading the file, to loadFinished.
double BareLoad(const QString& path)
{
    QWebEnginePage page(QWebEngineProfile::defaultProfile());
    QWebEngineView view;
    view.setPage(&page);
    view.resize(750, 500);
    view.show();
    bool done = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool) { done = true; });
    QElapsedTimer t;
    t.start();
    page.load(QUrl::fromLocalFile(path));
    WaitFor([&] { return done; }, 30000);
    return double(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir reg, data;
    qputenv("SKIMLARK_REGISTRY_DIR", reg.path().toUtf8());
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 10;

    TForm1 form({});
    form.settings().dataDir = data.path().toStdString();
    const std::string page = Page();
    const std::string copy = platform::PageCopyPath(data.path().toStdString());
    std::ofstream(copy, std::ios::binary) << page;

    // First showing: the window is made as at program start, then browse.
    QElapsedTimer t;
    t.start();
    auto* browser = new TForm11(form.browserHost(), &form);
    browser->showBrowser("");
    WaitDone(*browser);
    const double first = double(t.nsecsElapsed()) / 1e6;

    std::vector<double> later, record, bare, rtt;
    for (int i = 0; i < rounds; ++i) {
        browser->close();
        QCoreApplication::processEvents();
        t.restart();
        browser->showBrowser("");
        WaitDone(*browser);
        later.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    // A press on a link of the shown page to its line; the window then goes
    // to the link, so each round shows the page anew first.
    if (!browser->recording)
        browser->Button5Click();
    for (int i = 0; i < rounds; ++i) {
        browser->close();
        QCoreApplication::processEvents();
        browser->showBrowser("");
        WaitDone(*browser);
        bool done = false;
        t.restart();
        browser->page->runJavaScript("1", [&](const QVariant&) { done = true; });
        WaitFor([&] { return done; }, 10000);
        rtt.push_back(double(t.nsecsElapsed()) / 1e6);
        browser->Memo1->clear();
        QVariantList at;
        done = false;
        browser->page->runJavaScript("(function(){var a=document.links[500];a.scrollIntoView({block:'center'});"
                                     "var b=a.getBoundingClientRect();return [b.left+b.width/2,b.top+b.height/2];})()",
                                     [&](const QVariant& v) {
                                         at = v.toList();
                                         done = true;
                                     });
        WaitFor([&] { return done; }, 10000);
        WaitFor([] { return false; }, 50);  // the scroll is painted
        t.restart();
        if (at.size() == 2)
            MouseClick(browser->CppWebBrowser1->focusProxy(), QPoint(qRound(at[0].toDouble()), qRound(at[1].toDouble())));
        WaitFor([&] { return !browser->Memo1->toPlainText().isEmpty(); }, 10000);
        record.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    // A page caught in an endless script, or opening windows without end,
    // then the normal page again: closing ends what the page was doing.
    std::vector<double> afterLoop, afterStorm, afterLate;
    int loopMissed = 0, stormMissed = 0, lateMissed = 0;
    for (int i = 0; i < rounds; ++i) {
        for (const char* hostile : {kLoop, kStorm, kLateLoop}) {
            browser->close();
            QCoreApplication::processEvents();
            std::ofstream(copy, std::ios::binary) << hostile;
            browser->showBrowser("");
            WaitDone(*browser);
            // The late loop's window closes as soon as the page is there;
            // its loop would begin while the window is hidden.
            const bool late = hostile == kLateLoop;
            WaitFor([] { return false; }, late ? 0 : 100);
            browser->close();
            if (late)
                WaitFor([] { return false; }, 1000);
            std::ofstream(copy, std::ios::binary) << page;
            t.restart();
            browser->showBrowser("");
            const bool shown = WaitDone(*browser);
            const double ms = double(t.nsecsElapsed()) / 1e6;
            (hostile == kLoop ? afterLoop : hostile == kStorm ? afterStorm : afterLate).push_back(ms);
            if (!shown || ms > 500)
                ++(hostile == kLoop ? loopMissed : hostile == kStorm ? stormMissed : lateMissed);
        }
    }
    for (int i = 0; i < rounds; ++i)
        bare.push_back(BareLoad(QString::fromStdString(copy)));

    browser->close();

    std::printf("page: %zu bytes, %d rounds\n", page.size(), rounds);
    std::printf("first showing, engine start-up included: %8.1f ms\n", first);
    std::printf("later showings (median):                 %8.1f ms\n", Median(later));
    std::printf("bare engine, same file (median):         %8.1f ms\n", Median(bare));
    std::printf("later showing / bare engine:             %8.2f\n", Median(later) / Median(bare));
    std::printf("after an endless loop (median, max):     %8.1f ms %8.1f ms\n", Median(afterLoop),
                *std::max_element(afterLoop.begin(), afterLoop.end()));
    std::printf("after a window.open storm (median, max): %8.1f ms %8.1f ms\n", Median(afterStorm),
                *std::max_element(afterStorm.begin(), afterStorm.end()));
    std::printf("after a late loop (median, max):         %8.1f ms %8.1f ms\n", Median(afterLate),
                *std::max_element(afterLate.begin(), afterLate.end()));
    std::printf("showings over 500 ms (loop, storm, late): %4d %4d %4d of %d each\n", loopMissed, stormMissed, lateMissed,
                rounds);
    std::printf("mouse click to recorded line (median):   %8.1f ms\n", Median(record));
    std::printf("script round trip, for scale (median):   %8.1f ms\n", Median(rtt));
    return 0;
}

// Navigation control and page completion: the view goes only where the
// window sends it once a page has completed, completed documents become the
// frames of the window, and the source tab shows them.
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QLabel>
#include <QNetworkCookie>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTimeZone>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <memory>
#include <optional>

#include "editor/browser_link.h"
#include "editor/qt_text.h"
#include "interpreter/host.h"
#include "interpreter/skript.h"
#include "platform/page_copy.h"
#include "platform/texts.h"
#include "recorder/browser_window.h"
#include "web/page_model.h"
#include "web/system_store.h"

namespace {

// URLs as the view reports them, so that a navigation and the document it
// made compare equal.
QString UrlKey(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

const QString kTopBrowser = QStringLiteral("top");

// Below what the engine's data URLs take once base64 grows the copy.
constexpr qsizetype kMaxContent = 1024 * 1024;
constexpr qsizetype kWriteChunk = 512 * 1024;

}  // namespace

BrowserPage::BrowserPage(QWebEngineProfile* profile, TForm11& window) : QWebEnginePage(profile, &window), window_(window)
{
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    return window_.BeforeNavigate(url, type, isMainFrame);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int, const QString&)
{
    window_.HookReport(message);
}

void TForm11::BrowseFromTemp()
{
    std::string path = platform::PageCopyPath(host_.runSettings().dataDir);
    if (host_.runSettings().debugLevel == 2)
        AppendOutput("BrowseFromTemp: Navigate(%s)", path.c_str());
    QFile file(FromNative(path));
    QByteArray copy = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    // The copy is shown under the page's own address: the base element the
    // run put in for the file would only change what relative links mean.
    if (Skript* run = host_.waitingRun()) {
        const QByteArray inserted = QByteArray::fromStdString(run->copyBase);
        if (!inserted.isEmpty() && copy.mid(qsizetype(run->copyBaseAt), inserted.size()) == inserted)
            copy.remove(qsizetype(run->copyBaseAt), inserted.size());
    }
    // The copy stands in for the page at its own address: it has that
    // site's rights and no more, its relative links, pictures and forms go
    // to the site. A copy of no web page gets an origin of its own.
    const QUrl site(FromCp1252(origURL));
    const bool web = site.scheme() == QLatin1String("http") || site.scheme() == QLatin1String("https");
    topLoading_ = true;
    const QUrl base = web ? site : QUrl();
    // The engine takes content only as a data URL of a few megabytes; a
    // larger copy is written into a blank document at the same address.
    const QString charset = QString::fromStdString(copyCharset);
    if (copy.size() <= kMaxContent) {
        page->setContent(copy, charset.isEmpty() ? QStringLiteral("text/html") : "text/html;charset=" + charset, base);
        return;
    }
    // The blank document gets no hooks: the written one reports in its place.
    const QString hooks = HookScript();
    for (const QWebEngineScript& s : page->scripts().find(kHookName))
        page->scripts().remove(s);
    const unsigned request = ++writeRequest_;
    QPointer<TForm11> self(this);
    auto conn = std::make_shared<QMetaObject::Connection>();
    *conn = connect(page, &QWebEnginePage::loadingChanged, this,
                    [self, conn, request, hooks, copy, charset](const QWebEngineLoadingInfo& info) {
        // The view's empty page may still end its load after this one began.
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || info.url().scheme() == QLatin1String("about"))
            return;
        QObject::disconnect(*conn);
        if (!self)
            return;
        self->InstallHookScript();
        if (request != self->writeRequest_)
            return;
        QStringDecoder known(charset.toLatin1().constData());
        const std::optional<QStringConverter::Encoding> declared = QStringConverter::encodingForHtml(copy);
        if (known.isValid())
            self->WriteCopy(known.decode(copy), hooks);
        else
            self->WriteCopy(declared ? QString(QStringDecoder(*declared).decode(copy)) : FromCp1252(copy.toStdString()), hooks);
    });
    page->setContent(QByteArrayLiteral("<!DOCTYPE html><html></html>"), QStringLiteral("text/html"), base);
}

void TForm11::WriteCopy(const QString& html, const QString& hooks)
{
    // The text goes in through the page's own world, whose scripts it holds;
    // the hooks go in after open, which drops every listener, and before
    // the page's scripts run from the written text.
    const QWebEngineScript::ScriptWorldId world = QWebEngineScript::MainWorld;
    page->runJavaScript(QStringLiteral("window.skimlarkCopy = []; document.open();"), world);
    for (qsizetype at = 0; at < html.size(); at += kWriteChunk)
        page->runJavaScript(QStringLiteral("window.skimlarkCopy.push(%1);").arg(JsString(html.mid(at, kWriteChunk))), world);
    page->runJavaScript(hooks, QWebEngineScript::ApplicationWorld);
    page->runJavaScript(QStringLiteral("(function(){var c=window.skimlarkCopy.join('');delete window.skimlarkCopy;"
                                       "document.write(c);document.close();})();"),
                        world);
}

void TForm11::Navigate(const QString& url)
{
    topLoading_ = true;
    page->load(QUrl(url.left(1023)));
}

void TForm11::BeginNavigate()
{
    visitedURLs.clear();
    navigateActive = true;
    frameCounter = 0;
    // The page's frames go when the first document of this navigation
    // comes: a navigation that brings none (a refused or empty reply, a
    // download) leaves the page and its links as they were.
    pageStale_ = true;
    refreshPending = false;
    browserHash.clear();
    claimedBrowsers_.clear();
    lastFrameBrowser_.clear();
    ownTopUrl_.clear();
}

void TForm11::ClearPage()
{
    frames->Clear();
    sourceFrame = 0;
    docFrames_.clear();
    scriptLinks_.clear();
    frameNumbers_.clear();
    framePlaces_.clear();
    topFrames_ = QJsonArray();
    pageSubmission_.reset();
    pageStale_ = false;
}

void TForm11::PageSubmission(int f, int i, const QJsonObject& event)
{
    pageSubmission_ = PendingSubmission{f, i, event};
}

void TForm11::LoadEnded(const QUrl& url)
{
    if (!showing_ || !navigateActive || !pageStale_ || ownTopUrl_.isEmpty() || UrlKey(url) != ownTopUrl_)
        return;
    navigateActive = false;
    pageStale_ = false;
    topLoading_ = false;
    if (frames->Count() > 0)
        ShowLoadState(2);
}

bool TForm11::BeforeNavigate(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame)
{
    // Hidden, the view only ever holds an empty page.
    if (!showing_)
        return url.scheme() == QLatin1String("about");
    if (host_.runSettings().debugLevel == 2)
        AppendOutput("beforenavigate()...");
    // A refresh from a page of the temporary file would open a local file.
    if (refreshPending && url.isLocalFile()) {
        ShowLoadState(1);
        ShowNote("%s", W("Hinweis: Der META-Refresh konnte nicht ausgeführt werden.").c_str());
        return false;
    }
    refreshPending = false;
    if (!navigateActive && type == QWebEnginePage::NavigationTypeFormSubmitted && pageSubmission_) {
        const PendingSubmission p = std::move(*pageSubmission_);
        pageSubmission_.reset();
        FormSubmission(p.frame, p.index, p.event);
    }
    // A navigation the window cancels leaves the page, and its state, as it was.
    if (!navigateActive)
        return false;
    ShowLoadState(1);
    if (isMainFrame) {
        topLoading_ = true;
        ownTopUrl_ = UrlKey(url);
    }
    const QString u = UrlKey(url);
    if (visitedURLs.count(u))
        return true;
    visitedURLs[u] = 0;
    const QString browser = isMainFrame ? kTopBrowser : QStringLiteral("frame ") + u;
    // A frame redirected by its server stays the frame it was.
    if (!isMainFrame && type == QWebEnginePage::NavigationTypeRedirect && !lastFrameBrowser_.isEmpty()) {
        auto it = browserHash.find(lastFrameBrowser_);
        if (it != browserHash.end()) {
            browserHash[browser] = it->second;
            return true;
        }
    }
    if (!browserHash.count(browser)) {
        browserHash[browser] = frameCounter + 1;
        ++frameCounter;
    }
    if (!isMainFrame)
        lastFrameBrowser_ = browser;
    return true;
}

int TForm11::NumberDocument(const QString& docId, bool top, const QString& url)
{
    const QString browser = top ? kTopBrowser : QStringLiteral("frame ") + UrlKey(QUrl(url));
    auto it = browserHash.find(browser);
    if (it == browserHash.end())
        return -1;
    if (!top) {
        // A second frame with the same URL had no navigation of its own.
        auto c = claimedBrowsers_.find(browser);
        if (c != claimedBrowsers_.end() && c->second != docId)
            return -1;
        claimedBrowsers_[browser] = docId;
    }
    return it->second - 1;
}

int TForm11::FrameOfDocument(const QString& docId) const
{
    auto it = docFrames_.find(docId);
    return it == docFrames_.end() ? -2 : it->second;
}

void TForm11::DocumentComplete(const QJsonObject& report)
{
    const int debug = host_.runSettings().debugLevel;
    if (debug == 2)
        AppendOutput("DocComplete()...");
    try {
        const QString docId = report.value(QLatin1String("d")).toString();
        const bool top = report.value(QLatin1String("top")).toBool();
        const std::string location = ToCp1252(report.value(QLatin1String("url")).toString());
        // The view's empty start page is never the page being shown.
        if (top && location == "about:blank" && ownTopUrl_ != QLatin1String("about:blank"))
            return;
        // The first document of the window's navigation: the page before goes.
        if (pageStale_ && !docFrames_.count(docId))
            ClearPage();
        if (debug == 2)
            AppendOutput("DocumentComplete(): Location=%s", location.c_str());
        const int n = NumberDocument(docId, top, report.value(QLatin1String("url")).toString());
        if (debug == 2)
            AppendOutput("Frames->add...");
        auto ref = std::make_shared<DocRef>(DocRef{docId, top});
        Frame* f = frames->Add(location, n, ref, "");
        f->doc = ref;
        f->notHttp = browseURL.compare(0, 4, "http") != 0;
        docFrames_[docId] = n;
        if (debug == 2) {
            AppendOutput("New Frame %d, f = %llX", n, static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(f)));
            AppendOutput("registerEvents...");
        }
        registerEvents(report, n);
        if (debug == 2)
            AppendOutput("registerEvents ok.");

        const QJsonArray forms = report.value(QLatin1String("snaps")).toArray();
        if (top) {
            topForms_ = forms;
        } else {
            for (int i = 0; i < forms.size(); ++i)
                frameSnapshots_[{n, i}] = SnapshotFrom(forms[i].toArray());
        }
        for (int i = 0; FormSnapshot(i); ++i) {
        }

        if (top)
            topLoading_ = false;
        if (!top && !topLoading_) {
            // A frame loaded anew under a page that stays: loading has stopped.
            navigateActive = false;
            ShowLoadState(2);
        }
        if (top) {
            if (debug == 2)
                AppendOutput("Doc/s complete");
            if (refreshPending) {
                // The view follows the refresh by itself; its page is frame 0 again.
                frameCounter = 0;
                frames->Clear();
            } else {
                navigateActive = false;
                PageControl1->setTabEnabled(0, true);
                PageControl1->setTabEnabled(1, true);
                if (debug == 2)
                    AppendOutput("LoadSource...");
                loadSource(ref.get());
                SetSourceCaption(sourceFrame);
            }
            sourceFrame = 0;
            ShowLoadState(2);
            SystemStore::Instance().AddVisited(location);
        }
        if (debug == 2)
            AppendOutput("DocComplete: end");
    } catch (const std::exception& e) {
        ShowNote("Fehler in DocumentComplete: %s", W(e.what()).c_str());
    }
    if (debug == 2)
        AppendOutput("DocComplete: return");
}

void TForm11::loadSource(const DocRef* doc)
{
    const unsigned request = ++sourceRequest_;
    sourceDoc_.clear();
    if (!doc) {
        RichEdit1->setPlainText(QString());
        return;
    }
    if (doc->top) {
        QPointer<TForm11> self(this);
        page->toHtml([self, request](const QString& html) {
            if (self && request == self->sourceRequest_)
                self->RichEdit1->setPlainText(html);
        });
        return;
    }
    // A frame's document answers for itself, through its hook script.
    sourceDoc_ = doc->id;
    page->runJavaScript(QStringLiteral("window.sourceOf && window.sourceOf(%1)").arg(JsString(doc->id)),
                        QWebEngineScript::ApplicationWorld);
}

void TForm11::SetSourceCaption(int n)
{
    PageControl1->setTabText(1, n == 0 ? QStringLiteral("Quelltext Hauptframe")
                                       : QStringLiteral("Quelltext Frame ") + QString::number(n));
}

void TForm11::ShowLoadState(int state)
{
    if (state == 1)
        Label1->setText(QStringLiteral("Seite wird geladen..."));
    else if (state == 2)
        Label1->setText(QStringLiteral("Fertig."));
}

void TForm11::PageControl1MouseDown()
{
    if (!tabChanged && PageControl1->currentIndex() == 1 && frames->Count() > 1) {
        sourceFrame = (sourceFrame + 1) % frames->Count();
        if (Frame* f = frames->Find(sourceFrame)) {
            SetSourceCaption(sourceFrame);
            loadSource(static_cast<const DocRef*>(f->doc.get()));
        }
    }
    tabChanged = false;
}

// The cookies the runs stored go into the view's store before it loads, so a
// page the script logged into shows logged in. Each goes with its own domain,
// path, flags and date, so that it reaches no further from the window than
// from the run; one the runs dropped since the last showing leaves.
void TForm11::PushCookies()
{
    QWebEngineCookieStore* store = profile_->cookieStore();
    auto hand = [store](const Cookie& c, bool remove) {
        QNetworkCookie qc(QByteArray::fromStdString(c.name), QByteArray::fromStdString(c.value));
        const QString path = c.path.empty() ? QStringLiteral("/") : FromCp1252(c.path);
        qc.setPath(path);
        qc.setSecure(c.secure);
        qc.setHttpOnly(c.httpOnly);
        const QString host = FromCp1252(c.domain);
        // An address has no names below it: its cookie is one of that host.
        if (!c.hostOnly && QHostAddress(host).isNull() && !host.startsWith(QLatin1Char('[')))
            qc.setDomain(QLatin1Char('.') + host);
        // Set again as expired, a cookie of the same domain, path and name
        // leaves the store, and nothing else does.
        if (remove)
            qc.setExpirationDate(QDateTime::fromSecsSinceEpoch(1, QTimeZone::utc()));
        else if (c.expires != 0)
            qc.setExpirationDate(QDateTime::fromSecsSinceEpoch(c.expires, QTimeZone::utc()));
        QUrl origin;
        origin.setScheme(c.secure ? QStringLiteral("https") : QStringLiteral("http"));
        origin.setHost(host);
        origin.setPath(path);
        store->setCookie(qc, origin);
    };
    std::unordered_map<std::string, Cookie> now;
    for (Cookie& c : SystemStore::Instance().Cookies())
        now.emplace(CookieKey(c), std::move(c));
    for (const auto& [key, c] : pushed_)
        if (!now.count(key))
            hand(c, true);
    for (const auto& [key, c] : now) {
        auto before = pushed_.find(key);
        if (before != pushed_.end() && before->second == c)
            continue;
        // The engine tells a cookie of a domain from one of its host alone.
        if (before != pushed_.end() && before->second.hostOnly != c.hostOnly)
            hand(before->second, true);
        hand(c, false);
    }
    pushed_ = std::move(now);
}

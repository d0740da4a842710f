// The browser window itself: its components, showing and closing, the tabs
// and buttons, and the find in the source.
#include "recorder/browser_window.h"

#include <cstdarg>

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <csignal>
#include <functional>
#include <memory>

#include "editor/browser_link.h"
#include "editor/find_dialog.h"
#include "editor/qt_text.h"
#include "interpreter/host.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "platform/texts.h"
#include "web/page_model.h"

namespace {

// The tab strip reports a press after the tab change it may have caused, and
// refuses every change while the window probes the User-Agent.
class PageTabBar : public QTabBar {
public:
    std::function<void()> afterPress;
    std::function<bool()> locked;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (!(locked && locked()))
            QTabBar::mousePressEvent(e);
        if (afterPress)
            afterPress();
    }
};

class PageControl : public QTabWidget {
public:
    PageControl(QWidget* parent, PageTabBar* bar) : QTabWidget(parent) { setTabBar(bar); }
};

QPushButton* MakeButton(QWidget* parent, const char* text, int width)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setMinimumWidth(width);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TForm11::TForm11(BrowserHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), callBack(std::make_unique<CallBack>(*this)), frames(std::make_unique<Frames>()),
      host_(host)
{
    frames->note = [this](const std::string& text) { ShowNote("%s", text.c_str()); };
    // 128 random bits: the page can neither read the key nor guess it.
    key_ = QStringLiteral("\x02skl%1%2:")
               .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))
               .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    // A profile of the window's own, in memory: the cookies it holds are the
    // ones the runs put into the program's store.
    profile_ = new QWebEngineProfile(this);
    engineAgent_ = profile_->httpUserAgent();
    agentHeader_ = new AgentHeader(this);
    profile_->setUrlRequestInterceptor(agentHeader_);
    CreateComponents();
    host_.attach(this);
    // FormCreate
    browserHash.clear();
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            return;
        if (info.url().scheme() == QLatin1String("about"))
            blankLoading_ = false;
        if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus)
            LoadEnded(info.url());
        else if (info.url().scheme() != QLatin1String("about"))
            CheckHooks();
    });
    // The web engine starts its page process now, so the first page shows
    // sooner.
    LoadBlank();
}

TForm11::~TForm11()
{
    host_.attach(nullptr);
    // The view goes before its page and the page before its profile.
    delete CppWebBrowser1;
    CppWebBrowser1 = nullptr;
    delete page;
    page = nullptr;
}

void TForm11::AppendOutput(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    AppendOutputV(host_.output(), format, ap);
    va_end(ap);
}

void TForm11::ShowNote(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    ShowNoteV(host_.output(), format, ap);
    va_end(ap);
}

void TForm11::CreateComponents()
{
    setWindowTitle(QStringLiteral("Browser"));
    resize(750, 550);
    // A small font, so that the tabs and the five buttons share one row.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* bar = new PageTabBar;
    bar->afterPress = [this] { PageControl1MouseDown(); };
    bar->locked = [this] { return userAgentMode; };
    PageControl1 = new PageControl(this, bar);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->addWidget(PageControl1);

    // Tab "Browser": the web view above the status label.
    TabSheet1 = new QWidget;
    auto* v1 = new QVBoxLayout(TabSheet1);
    v1->setContentsMargins(0, 0, 0, 0);
    v1->setSpacing(0);
    CppWebBrowser1 = new QWebEngineView(TabSheet1);
    page = new BrowserPage(profile_, *this);
    CppWebBrowser1->setPage(page);
    // A page gets the rights of its site and no more: the script's copy is
    // shown under the site's address, not as a local file, so nothing here
    // needs the rights of local content.
    QWebEngineSettings* rights = page->settings();
    rights->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    rights->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    rights->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    CppWebBrowser1->setContextMenuPolicy(Qt::NoContextMenu);
    v1->addWidget(CppWebBrowser1, 1);
    Label1 = new QLabel(TabSheet1);
    Label1->setFrameShape(QFrame::Panel);
    Label1->setFrameShadow(QFrame::Sunken);
    Label1->setWordWrap(true);
    Label1->setFixedHeight(qMax(16, Label1->fontMetrics().height() + 4));
    Label1->setTextFormat(Qt::PlainText);
    v1->addWidget(Label1);
    PageControl1->addTab(TabSheet1, QStringLiteral("Browser"));

    // Tab "Quelltext": the source, read-only.
    TabSheet2 = new QWidget;
    auto* v2 = new QVBoxLayout(TabSheet2);
    v2->setContentsMargins(0, 0, 0, 0);
    RichEdit1 = new QPlainTextEdit(TabSheet2);
    RichEdit1->setReadOnly(true);
    RichEdit1->setFrameShape(QFrame::NoFrame);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont mono(QStringLiteral("Courier New"), 8);
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    RichEdit1->setFont(mono);
    v2->addWidget(RichEdit1);
    PageControl1->addTab(TabSheet2, QStringLiteral("Quelltext"));

    // Tab "Aufzeichnung": the recorded lines and where they go.
    TabSheet3 = new QWidget;
    auto* h3 = new QHBoxLayout(TabSheet3);
    h3->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(TabSheet3);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    h3->addWidget(Memo1, 1);
    auto* panel2 = new QWidget(TabSheet3);
    panel2->setFixedWidth(294);
    auto* v3 = new QVBoxLayout(panel2);
    auto* panel3 = new QFrame(panel2);
    panel3->setFrameShape(QFrame::StyledPanel);
    auto* g = new QVBoxLayout(panel3);
    Label2 = new QLabel(QString::fromUtf8("Aufgezeichnete Befehle in das aktuelle Skript einfügen ab Zeile:"), panel3);
    Label2->setWordWrap(true);
    g->addWidget(Label2);
    UpDown1 = new QSpinBox(panel3);
    UpDown1->setRange(0, 0);
    UpDown1->setValue(0);
    UpDown1->setWrapping(false);
    Edit1 = UpDown1->findChild<QLineEdit*>();
    g->addWidget(UpDown1);
    Button4 = MakeButton(panel3, "Jetzt einfügen", 100);
    g->addWidget(Button4);
    v3->addWidget(panel3);
    v3->addStretch(1);
    h3->addWidget(panel2);
    PageControl1->addTab(TabSheet3, TabPicture(false), QStringLiteral("Aufzeichnung"));

    // The buttons in one row over the tab strip, at the right.
    auto* row = new QWidget(PageControl1);
    auto* hb = new QHBoxLayout(row);
    hb->setContentsMargins(0, 0, 0, 2);
    hb->setSpacing(5);
    Button5 = MakeButton(row, "Aktionen aufzeichnen", 124);
    Button2 = MakeButton(row, "Suchen", 73);
    Button1 = MakeButton(row, "Schließen und Skript beenden", 163);
    Button3 = MakeButton(row, "Schließen und Skript forsetzen", 163);
    Button6 = MakeButton(row, "Schließen", 75);
    for (QPushButton* b : {Button5, Button2, Button1, Button3, Button6})
        hb->addWidget(b);
    PageControl1->setCornerWidget(row, Qt::TopRightCorner);
    PageControl1->setUsesScrollButtons(false);
    // Wide enough that no button covers a tab, whatever the fonts here.
    resize(qMax(750, PageControl1->tabBar()->sizeHint().width() + row->sizeHint().width() + 24), 550);
    Button5->hide();

    FindDialog1 = new TFindDialog(this);

    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (userAgentMode && index != 0) {
            PageControl1->setCurrentIndex(0);
            return;
        }
        PageControl1Change();
    });
    connect(Button1, &QPushButton::clicked, this, &TForm11::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm11::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm11::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm11::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm11::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TForm11::Button6Click);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TForm11::Memo1Change);
    connect(FindDialog1, &TFindDialog::OnFind, this, &TForm11::FindDialog1Find);
    EnableInsertControls(false);
}

// --- BrowserWindowLink ---------------------------------------------------------------------

void TForm11::clearRecording()
{
    Memo1->clear();
}

void TForm11::showBrowser(const std::string& url)
{
    if (showing_)
        return;
    browseURL = url;
    userAgentMode = false;
    try {
        FormShow();
        show();
        raise();
        activateWindow();
    } catch (const std::exception& e) {
        ShowNote("Fehler in Browse(Form1)");
    }
}

bool TForm11::closeBrowser()
{
    if (!showing_)
        return false;
    close();
    return true;
}

void TForm11::showProbe(const std::string& url)
{
    if (showing_)
        return;
    browseURL = url;
    userAgentMode = true;
    setWindowModality(Qt::ApplicationModal);
    FormShow();
    show();
    QEventLoop loop;
    connect(this, &TForm11::closed, &loop, &QEventLoop::quit);
    if (showing_)
        loop.exec();
    setWindowModality(Qt::NonModal);
    userAgentMode = false;
}

// --- showing and closing ------------------------------------------------------------------

void TForm11::FormShow()
{
    showing_ = true;
    ++showingCount_;
    try {
        refreshURL.clear();
        linesInserted = false;
        firstInserted_ = -1;
        continueScript = false;
        sourceFrame = 0;
        // The working folder stays as it is: there is no current drive here.

        RichEdit1->clear();
        PageControl1->setCurrentIndex(0);
        PageControl1Change();
        PageControl1->setTabEnabled(1, false);

        if (userAgentMode) {
            Button5->hide();
            Button1->hide();
            Button3->hide();
            Button6->show();
        } else {
            if (Skript* run = host_.waitingRun())
                savedLine = run->curLine;
            Button6->hide();
            Button5->show();
            Button1->show();
            Button3->show();
        }

        // A page process still caught in the last page's script would hold
        // up this page for good.
        SettleBlank();
        PushCookies();
        // The probe looks for the engine's own User-Agent; browse sends the
        // settings' one, as the same bytes as the script's requests.
        const std::string& agent = host_.runSettings().userAgent;
        const bool own = userAgentMode || agent.empty();
        const QString text = own ? engineAgent_ : FromCp1252(agent);
        agentHeader_->bytes = own ? QByteArray() : QByteArray::fromStdString(agent);
        // Set only when changed: the engine hands every new text to all its pages.
        if (profile_->httpUserAgent() != text)
            profile_->setHttpUserAgent(text);
        Skript* run = host_.waitingRun();
        origURL = browseURL.empty() && run ? run->vars->GetValue("_url") : std::string();
        copyCharset = browseURL.empty() && run ? run->browseCharset : std::string();
        hookRetries_ = 0;
        ShowFirstPage();

        move(host_.origin() + QPoint(90, 70));

        Memo1->clear();
        EnableInsertControls(false);
        SetSourceCaption(0);
    } catch (const std::exception& e) {
        ShowNote("Fehler Browse(Show): %s", W(e.what()).c_str());
    }
}

void TForm11::ShowFirstPage()
{
    checkHooks_ = true;
    BeginNavigate();
    ClearPage();
    // The hooks carry origURL into the page.
    InstallHookScript();
    if (browseURL.empty()) {
        BrowseFromTemp();
    } else {
        if (host_.runSettings().debugLevel == 2)
            AppendOutput("Browse real, Navigate(%s)", browseURL.c_str());
        Navigate(FromCp1252(browseURL));
    }
}

void TForm11::closeEvent(QCloseEvent* e)
{
    // FormClose ends the showing, so a second close does nothing more.
    if (showing_)
        FormClose();
    e->accept();
}

void TForm11::FormClose()
{
    if (host_.runSettings().debugLevel == 2)
        AppendOutput("Form11 Close");
    // The page keeps no load or refresh going while the window is hidden.
    navigateActive = false;
    page->triggerAction(QWebEnginePage::Stop);
    FindDialog1->hide();

    host_.clearSelection();

    showing_ = false;
    LoadBlank();
    Skript* run = userAgentMode ? nullptr : host_.waitingRun();
    if (run) {
        if (!continueScript)
            run->stop = true;
        else if (linesInserted)
            run->curLine = firstInserted_ - 1;  // the executor steps to the first inserted line
        host_.wakeRun();
    }
    emit closed();
}

// --- the page process ---------------------------------------------------------------------

namespace {
// How long a page process may take to load the empty page; the engine's
// start at the first one takes longer.
constexpr int kBlankMs = 120;
constexpr int kStartMs = 15000;
}  // namespace

void TForm11::LoadBlank()
{
    // The first one waits for the engine's start.
    blankLimitMs_ = blankRequest_ == 0 ? kStartMs : kBlankMs;
    blankLoading_ = true;
    blankStarted_.start();
    page->setUrl(QUrl(QStringLiteral("about:blank")));
    // A hidden window's page burns no core either.
    const unsigned request = ++blankRequest_;
    QTimer::singleShot(blankLimitMs_, this, [this, request] {
        if (request == blankRequest_ && blankLoading_ && !showing_ && page->renderProcessPid() > 0)
            EndPageProcess();
    });
}

void TForm11::SettleBlank()
{
    // A new window's page sent on before the engine has its page process
    // at times never comes: the first empty page is waited for even then.
    if (!blankLoading_)
        return;
    if (blankStarted_.elapsed() < blankLimitMs_) {
        QEventLoop wait;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &wait, [&] {
            if (!blankLoading_ || blankStarted_.elapsed() >= blankLimitMs_)
                wait.quit();
        });
        poll.start(1);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (blankLoading_)
        EndPageProcess();
}

void TForm11::EndPageProcess()
{
    const qint64 pid = page->renderProcessPid();
    blankLoading_ = false;  // the next page goes to a fresh process
    if (pid <= 0)
        return;
    // The engine starts a fresh process for the next page once it has seen
    // this one end.
    QEventLoop wait;
    connect(page, &QWebEnginePage::renderProcessTerminated, &wait, &QEventLoop::quit);
    QTimer::singleShot(2000, &wait, &QEventLoop::quit);
    ::kill(pid_t(pid), SIGKILL);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

void TForm11::CheckHooks()
{
    // Only the showing's first page, and not the empty document a large
    // copy is written into, which has no hooks of its own.
    if (!checkHooks_ || !showing_ || page->scripts().find(kHookName).isEmpty())
        return;
    checkHooks_ = false;
    QPointer<TForm11> self(this);
    const unsigned showing = showingCount_;
    page->runJavaScript(QStringLiteral("typeof window.sourceOf"), QWebEngineScript::ApplicationWorld,
                        [self, showing](const QVariant& v) {
        if (!self || !self->showing_ || showing != self->showingCount_ || v.toString() == QLatin1String("function"))
            return;
        // The engine at times starts a process (most often after a killed
        // one) without the window's hooks: nothing of the page would be
        // seen. Another process, and the showing's page again.
        if (++self->hookRetries_ > 3)
            return;
        // Outside the engine's callback, which would hold back the news of
        // the process's end.
        QTimer::singleShot(0, self, [self, showing] {
            if (!self || !self->showing_ || showing != self->showingCount_)
                return;
            self->EndPageProcess();
            self->ShowFirstPage();
        });
    });
}

// --- tabs and buttons -----------------------------------------------------------------------

void TForm11::PageControl1Change()
{
    tabChanged = true;
    int tab = PageControl1->currentIndex();
    if (tab == 1) {
        Button5->hide();
        Button2->show();
    } else {
        Button2->hide();
        Button5->setVisible(!userAgentMode);
    }
}

void TForm11::Button1Click()
{
    continueScript = false;
    close();
}

void TForm11::Button6Click()
{
    close();
}

void TForm11::Button2Click()
{
    FindDialog1->move(x() + width() / 2 - 200, y() + height() / 2);
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void TForm11::FindDialog1Find()
{
    QTextDocument::FindFlags flags;
    if (FindDialog1->MatchCase())
        flags |= QTextDocument::FindCaseSensitively;
    if (FindDialog1->WholeWord())
        flags |= QTextDocument::FindWholeWords;
    const QString text = FindDialog1->FindText();
    QTextCursor from = RichEdit1->textCursor();
    int start = from.hasSelection() ? from.selectionEnd() : from.position();
    QTextCursor hit = RichEdit1->document()->find(text, start, flags);
    if (hit.isNull()) {
        ShowNote("Kein Vorkommen des Suchtextes (mehr) gefunden.");
        return;
    }
    PageControl1->setCurrentIndex(1);
    PageControl1Change();
    RichEdit1->setFocus();
    RichEdit1->setTextCursor(hit);
    RichEdit1->ensureCursorVisible();
}

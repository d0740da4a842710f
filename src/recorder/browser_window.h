// The browser window: shows the script's page (or any URL) and its source,
// hooks the page's events and records the user's clicks and form entries as
// script lines for the running script.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QWidget>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "editor/browser_link.h"
#include "web/cookies.h"

class Frame;
class Frames;
class Link;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWebEngineProfile;
class QWebEngineView;
class TFindDialog;
class TForm11;

// The object every page hook calls back on; one per window, handed its window.
class CallBack {
public:
    explicit CallBack(TForm11& window) : window_(window) {}
    virtual ~CallBack() = default;
    // What a hook reports: the event code, the frame number of the document
    // that carries the hook, the link's or form's position (0 otherwise) and
    // the event's data (a submission's fresh field values).
    void BrowserEventCallback(int eventCode, int frameNo, int index, const QJsonObject& event);

private:
    TForm11& window_;
};

// Event codes of the page hooks.
enum : int {
    kFormSubmit = -1000,
    kLinkClick = -1003,  // a link activated by mouse or key
    kWindowError = -1004,
    kLinkMouseOver = -1005,
    kLinkMouseOut = -1006,
    kDocumentMouseDown = -1007,
};

// One field of a form snapshot.
class InputElement {
public:
    virtual ~InputElement() = default;
    int index = 0;  // position in the form's elements
    std::string name;
    std::string value;
    bool toggle = false;  // a checkbox or radio button: its value while ticked, else ""
};
// A form's field values by element position; positions of elements that are
// no fields have no entry.
using InputMap = std::map<int, std::unique_ptr<InputElement>>;
// Snapshots by form position.
using FormMap = std::map<int, std::unique_ptr<InputMap>>;

// What the page model keeps of a document of the web view: the document's
// own id in its hook script.
struct DocRef {
    QString id;
    bool top = false;
};

// Puts the User-Agent into every request as the given bytes (none: the
// engine's own text).
class AgentHeader : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!bytes.isEmpty())
            info.setHttpHeader("User-Agent", bytes);
    }
    QByteArray bytes;
};

// The window's own page: it decides which navigations go ahead and receives
// the hooks' reports.
class BrowserPage : public QWebEnginePage {
public:
    BrowserPage(QWebEngineProfile* profile, TForm11& window);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;
    // Pages open no windows and show no boxes of their own: nothing a page
    // does may keep the user from closing the window.
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return true; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }

private:
    TForm11& window_;
};

class TForm11 : public QWidget, public BrowserWindowLink {
    Q_OBJECT
public:
    // host: what the window may use of the editor; parent: the window it
    // belongs to.
    TForm11(BrowserHost& host, QWidget* parent);
    ~TForm11() override;

    // The window's own lines and notes go to the main window's output pane
    // and "Notiz" box.
    void AppendOutput(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ShowNote(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // --- components -----------------------------------------------------------
    QTabWidget* PageControl1;
    QWidget* TabSheet1;  // "Browser"
    QWidget* TabSheet2;  // "Quelltext"
    QWidget* TabSheet3;  // "Aufzeichnung"
    QWebEngineView* CppWebBrowser1;
    BrowserPage* page;
    QLabel* Label1;  // status
    QPlainTextEdit* RichEdit1;  // source, read-only
    QPlainTextEdit* Memo1;      // recorded lines
    QLabel* Label2;
    QLineEdit* Edit1;   // the text of UpDown1
    QSpinBox* UpDown1;  // where to insert
    QPushButton* Button1;  // "Schließen und Skript beenden"
    QPushButton* Button2;  // "Suchen"
    QPushButton* Button3;  // "Schließen und Skript forsetzen"
    QPushButton* Button4;  // "Jetzt einfügen"
    QPushButton* Button5;  // "Aktionen aufzeichnen" / "Aufzeichnung anhalten"
    QPushButton* Button6;  // "Schließen"
    TFindDialog* FindDialog1;

    // --- members ----------------------------------------------------------------
    bool continueScript = false;
    std::unique_ptr<CallBack> callBack;
    std::string browseURL;  // Windows-1252; "" for the temporary page
    bool recording = false;
    std::unique_ptr<Frames> frames;
    FormMap formSnapshots;
    int savedLine = 0;
    std::int16_t frameCounter = 0;
    bool navigateActive = false;
    std::map<QString, int> visitedURLs;
    // Frame number + 1 by browser: "top" for the top level, "frame " and the
    // URL of its first navigation for a frame.
    std::map<QString, int> browserHash;
    bool tabChanged = false;
    int sourceFrame = 0;
    bool linesInserted = false;
    std::deque<std::string> refreshURL;
    bool refreshPending = false;
    bool userAgentMode = false;
    std::string origURL;
    // The encoding of the run's page copy, "" when the copy's own META or
    // the engine decides.
    std::string copyCharset;

    // --- BrowserWindowLink ------------------------------------------------------
    void clearRecording() override;
    void showBrowser(const std::string& url) override;
    bool closeBrowser() override;
    void showProbe(const std::string& url) override;
    bool shown() const override { return showing_; }

    // --- window (browser_window.cpp) ------------------------------------------
    void FormShow();
    void FormClose();
    void PageControl1Change();
    void Button1Click();
    void Button2Click();
    void Button6Click();
    void FindDialog1Find();

    // --- navigation (navigation.cpp) -------------------------------------------
    void BrowseFromTemp();
    void BeginNavigate();
    // Navigates the top level as the window itself.
    void Navigate(const QString& url);
    bool BeforeNavigate(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame);
    // A document of the view (the top's or a frame's) has completed.
    void DocumentComplete(const QJsonObject& report);
    void loadSource(const DocRef* doc);
    void SetSourceCaption(int n);
    void ShowLoadState(int state);
    void PageControl1MouseDown();

    // --- hooks (page_hooks.cpp) ---------------------------------------------------
    // A report of the hook script of some document.
    void HookReport(const QString& json);
    void registerEvents(const QJsonObject& report, int frameNo);
    // Snapshot of form i of the top document as last reported; null when it
    // has no form i. Stored in formSnapshots.
    InputMap* FormSnapshot(int i);
    static std::unique_ptr<InputMap> SnapshotFrom(const QJsonArray& fields);

    // --- recorder (recorder.cpp) ---------------------------------------------------
    // scriptLink: the link's href is a script the page runs itself.
    void LinkClick(int frameNo, int index, bool scriptLink);
    // The follow line of link i of frame f.
    std::string FollowLine(int f, const Frame& frame, const Link& link) const;
    // A text as the inside of a script's string literal.
    static std::string ScriptLiteral(const std::string& text);
    static std::string SentLineBreaks(const std::string& value);
    // What the script's follow() knows of link i of frame f: its number (0
    // when unknown) and its text, which may differ from the shown one.
    struct ScriptLink {
        int number = 0;
        std::string text;
    };
    const ScriptLink* ScriptLinkOf(int f, int i) const;
    // The window goes to a link's target only where the page itself could.
    bool MayFollow(const QUrl& target) const;
    void FormSubmission(int frameNo, int index, const QJsonObject& event);
    // The page's own submission of a form whose submission by the user it
    // refused: it counts as the user's once its navigation comes.
    void PageSubmission(int frameNo, int index, const QJsonObject& event);
    void FollowFrame(int f);
    void EnableInsertControls(bool enable);
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Memo1Change();
    // The picture of the "Aufzeichnung" tab.
    static QIcon TabPicture(bool recording);
    // Appends one recorded line.
    void Record(const std::string& line);

    // A load of the top level ended without a page: a navigation of the
    // window's own that came to nothing leaves the page as it was.
    void LoadEnded(const QUrl& url);

    // The frame number under which a document was registered, -2 for none.
    int FrameOfDocument(const QString& docId) const;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void CreateComponents();
    void InstallHookScript();
    // Writes a page copy into the blank document the view holds, hooks first.
    void WriteCopy(const QString& html, const QString& hooks);
    void PushCookies();
    QString HookScript() const;
    // The frame number for a completed document, by its browser.
    int NumberDocument(const QString& docId, bool top, const QString& url);
    // Forgets the page shown: its frames, links and documents.
    void ClearPage();
    // Sends the view to an empty page: when the window is made and when it
    // closes, so that nothing a page set going runs on while it is hidden.
    void LoadBlank();
    // Before a page is shown: waits until the empty page is there, so that
    // it never passes for the page shown, and ends a page process that could
    // not load it, being caught in the last page's script.
    void SettleBlank();

    BrowserHost& host_;
    // Where the next recorded lines go in: the first line inserted during
    // this showing, -1 before any.
    int firstInserted_ = -1;
    QWebEngineProfile* profile_;
    // The shared store's cookies as last handed to the profile, by key.
    std::unordered_map<std::string, Cookie> pushed_;
    QString engineAgent_;
    AgentHeader* agentHeader_;
    QString key_;  // marks the hook reports among the page's console lines
    bool showing_ = false;
    // Documents of the page shown.
    std::map<QString, int> docFrames_;
    // The window has begun a navigation of its own and no document of it has
    // come yet: the page shown is still the one before.
    bool pageStale_ = false;
    // Where the top level's navigation that the window let through goes.
    QString ownTopUrl_;
    // The empty page is on its way, since blankStarted_.
    bool blankLoading_ = false;
    QElapsedTimer blankStarted_;
    int blankLimitMs_ = 0;  // the longest it may take
    unsigned blankRequest_ = 0;
    std::map<QString, QString> claimedBrowsers_;  // browser key -> document
    QString lastFrameBrowser_;
    // The newest field values of the top document, by form position.
    QJsonArray topForms_;
    // Snapshots of forms inside frames, by frame number and form position.
    std::map<std::pair<int, int>, std::unique_ptr<InputMap>> frameSnapshots_;
    // The script's number and text of each link, by frame number and link
    // position.
    std::map<std::pair<int, int>, ScriptLink> scriptLinks_;
    // The number of each frame's element in its parent's list of links, by
    // frame number; 0 when the parent did not tell.
    std::map<int, int> frameNumbers_;
    // The place among the top document's frames of each frame whose number
    // the top tells, and those numbers by place.
    std::map<int, int> framePlaces_;
    QJsonArray topFrames_;
    // Ends the page process, which the engine then starts anew.
    void EndPageProcess();
    // The showing's own page: the script's copy or browse's URL.
    void ShowFirstPage();
    // Whether the showing's first page has the hooks, else the showing
    // begins anew in another process.
    void CheckHooks();
    bool checkHooks_ = false;
    struct PendingSubmission {
        int frame = 0;
        int index = 0;
        QJsonObject event;
    };
    std::optional<PendingSubmission> pageSubmission_;
    int hookRetries_ = 0;
    unsigned showingCount_ = 0;
    // The top level has a navigation under way.
    bool topLoading_ = false;
    unsigned sourceRequest_ = 0;
    unsigned writeRequest_ = 0;
    QString sourceDoc_;
};

// The name of the hook script among the view's scripts.
inline const QString kHookName = QStringLiteral("skimlark-hooks");

// A text as a JavaScript string literal.
QString JsString(const QString& s);


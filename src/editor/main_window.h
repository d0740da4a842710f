// The main window: script editor above, output pane below, menus, tool bar
// and status bar; the holder of the settings a run reads and the host of the
// runs it starts.
#pragma once

#include <QEvent>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <pcre.h>
#include <string>
#include <vector>

#include "editor/message_box.h"
#include "interpreter/host.h"
#include "platform/app_settings.h"
#include "platform/script_text.h"

class BrowserHost;
class BrowserWindowLink;
class TInfoForm;
class UpdateCheck;
class EditorBehaviour;
class SyntaxColouring;
class GuiCallQueue;
class History;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QToolBar;
class QStatusBar;
class Skript;
class TZpRichEdit;
class ZvSplitter;
struct OutputLine;
namespace platform {
class TRegistry;
}

// A window message: the event type is the message's value (0x8001 ...).
class WindowMessage : public QEvent {
public:
    WindowMessage(unsigned message, Skript* run, std::optional<std::string> text)
        : QEvent(QEvent::Type(message)), run(run), text(std::move(text))
    {
    }
    Skript* run;                      // WParam of the run's messages
    std::optional<std::string> text;  // the URL of browse, the indent text
};

class TForm1 : public QMainWindow, public RunHost {
    Q_OBJECT
public:
    // args: the command line without the program name.
    explicit TForm1(const QStringList& args, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- components -----------------------------------------------------------
    QToolBar* ToolBar1;
    QAction* ToolButton7;   // "Neues Skript"
    QAction* ToolButton8;   // "Skript öffnen"
    QAction* ToolButton9;   // "Skript speichern"
    QAction* ToolButton3;   // "Skript ausführen"
    QAction* ToolButton4;   // "Skript unterbrechen": stops the run
    QAction* ToolButton10;  // "Hilfe"
    QFrame* Bevel1;
    TZpRichEdit* RichEdit1;   // the script
    ZvSplitter* ZvSplitter1;
    QPlainTextEdit* RichEdit2;  // the output pane
    QStatusBar* StatusBar1;
    QLabel* panels[5];

    QMenu* Datei1;
    QMenu* Suchen1;
    QMenu* Skript1;
    QMenu* Einstellungen1;
    QMenu* Hilfe2;
    QAction* NeuesSkript1;
    QAction* Skriptffnen1;
    QAction* Skriptspeichern1;
    QAction* Speichernunter1;
    QAction* Beenden1;
    QAction* Finden1;
    QAction* FindenWiederholen1;
    QAction* Ausfhren1;
    QAction* Anhalten1;
    QAction* Unterbrechen1;
    QAction* Einzelschritt1;
    QAction* Programmparameter1;
    QAction* Hilfe1;
    QAction* NachUpdatesuchen1;
    QAction* InternetForum1;
    QAction* Info1;

    // --- state shared with the runs -------------------------------------------
    // The run of the current or last run; deleted at the next run start.
    std::unique_ptr<Skript> skript;
    // The run's lines (Windows-1252): the editor's lines at the run start.
    // While the run is active only its thread touches them; the editor's
    // lines reach it through the run's hand-over (lines the recorder
    // inserts, a script opened during the run).
    std::vector<std::string> scriptLines;
    StringMap functionNames, keywords;

    // --- state of the window ----------------------------------------------------
    std::string title = "Skimlark 1.08.20";
    std::string scriptPath;  // native path, "" for none
    // The encoding the script was read in, and is written back in.
    platform::ScriptEncoding scriptEncoding = platform::ScriptEncoding::Cp1252;
    bool modified = false;
    bool trackChanges = false;
    bool trackSelection = false;
    bool autoSave = false;
    bool syntaxColouring = false;
    bool autoUpdate = false;
    bool updatePending = false;
    bool autoRun = false;
    bool startHidden = false;
    std::string i3Text;
    platform::EditorFontSetting editorFont;
    std::unique_ptr<History> history;
    pcre* wordPattern = nullptr;
    pcre* stringPattern = nullptr;
    BrowserWindowLink* browser = nullptr;
    // The about box (kept for every "&Info") and the one-second timer's work.
    TInfoForm* InfoForm = nullptr;
    UpdateCheck* updateCheck = nullptr;
    // Colouring and editor behaviour (syntax_colouring.cpp, editor_behaviour.cpp);
    // declared after the state they read, so they go first.
    std::unique_ptr<SyntaxColouring> colouring;
    std::unique_ptr<EditorBehaviour> behaviour;
    void RecolourLines();
    void ShowCaretStatus();

    // --- what tests replace -------------------------------------------------------
    BoxFunction boxFunction;
    // Title, filter and proposed file; "" for a cancelled dialog.
    std::function<QString(const QString&, const QString&, const QString&)> openFileDialog, saveFileDialog;
    // Ends the process; by default at once, without unwinding.
    std::function<void(int)> exitFunction;

    // --- commands -------------------------------------------------------------------
    void NeuesSkript1Click();
    void Skriptffnen1Click();
    // The open command; with a path (recent scripts) it shows no dialog.
    void OpenScript(const std::string* path);
    bool Skriptspeichern1Click();
    bool Speichernunter1Click();
    bool SaveScriptFile(const std::string& path);
    // Asks before an existing file is replaced; true to go on.
    bool ConfirmReplace(const std::string& path);
    void LoadInitialScript();
    void ShowLineCount();
    bool FormCloseQuery();
    void Beenden1Click();
    void ExitProgram();

    void RunScript(bool step);
    void Ausfhren1Click() { RunScript(false); }
    void Anhalten1Click();
    void ToolButton4Click();
    void Unterbrechen1Click();
    void Einzelschritt1Click();

    void OnScriptInput();
    void OnScriptBrowse(const std::string& url);
    // What the browser window may use of this window.
    BrowserHost& browserHost();
    // A run's thread has started and not yet ended.
    bool RunActive() const;
    // Hands the editor's lines to the active run, which goes on with them
    // from its next line.
    void SyncRunLines();
    // Inserts a line before editor line index (at the end when index is the
    // line count); the run's lines follow.
    void InsertScriptLine(int index, const QString& line);
    void OnOpenScript();
    void OnExitAfterRun();
    void OnAutoIndent(const std::string& text);
    void Info1Click();
    void Programmparameter1Click();
    // Creates the about box and the update check and connects their menu items.
    void ConnectDialogs();
    void UpdateCaption();
    // The window's event(): the window messages, then the inherited ones.
    bool Dispatch(QEvent* e);

    // --- views of the widgets -------------------------------------------------------
    // The editor's lines as a run sees them (a last empty line is none).
    std::vector<std::string> EditorLines() const;
    // The editor's text as the file holds it: CR LF between lines, in the
    // script's encoding.
    std::string EditorText() const;
    void SetEditorText(const std::string& cp1252);
    // A file's text: false when its encoding is not one a script is read in.
    bool SetEditorFileText(const std::string& bytes);
    void SetEditorUnicode(QString text);
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text);
    // Lines of the output pane, Windows-1252.
    std::vector<std::string> OutputLines() const;
    void ClearOutput();
    // The settings as they would be written now.
    platform::AppSettings CurrentSettings() const;
    void WriteSettings();
    // Waits, serving the GUI, until the last run's thread has ended.
    void WaitForRunEnd();
    // Shows a queued status text at once.
    void FlushStatus();
    void StatusBar1Resize();

    // --- RunHost --------------------------------------------------------------------------
    RunSettings& settings() override { return run_; }
    void appendOutput(const std::string& line, bool enforceLimit) override;
    void showNote(const std::string& text) override;
    int messageBox(const std::string& text, const std::string& caption, int buttons) override;
    void setEditorReadOnly(bool readOnly) override;
    void selectText(int start, int length, bool waitVisible) override;
    void scrollCaretIntoView() override;
    void focusEditor() override;
    void lineStatus(int lineNo, int lineCount, const std::string& lineText) override;
    void appendStatus(const std::string& text) override;
    void enableControls(unsigned mask, bool enabled) override;
    void postMessage(unsigned message, Skript* run, const std::string* url) override;

protected:
    bool event(QEvent* e) override { return Dispatch(e); }
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void CreateComponents();
    void CreateMenus();
    void CreateToolBar();
    void ReadSettings();
    void ApplyCommandLine(const QStringList& args);
    void CompilePatterns();
    void FormShow();
    void FormClose();
    bool SaveQuestion();
    void LoadIntoEditor(const std::string& path);  // throws std::runtime_error
    int Box(const QString& text, const QString& caption, int flags);
    void AppendToPane(std::vector<OutputLine>& lines);
    int DocPosition(int offset) const;
    void SetSaveControls(bool enabled);
    void OnEditorChanged();
    void StopRunForTeardown();

    RunSettings run_;
    class WindowBrowserHost;
    std::unique_ptr<WindowBrowserHost> browserHost_;
    // The run waits in browse for the browser window.
    bool browseWaits_ = false;
    // The window that owns the default box, when not this one.
    QWidget* boxOwner_ = nullptr;
    std::unique_ptr<platform::TRegistry> registry;
    // The settings as read at start; a close writes what differs from them.
    platform::AppSettings settingsAtStart_;
    GuiCallQueue* queue_;
    QTimer statusTimer_;
    bool shown_ = false;
    bool startingRun_ = false;
    bool loadingScript_ = false;  // the editor's text is being replaced
    bool closing_ = false;
    // The close query's save failed or was cancelled: nothing ends the program.
    bool closeSaveFailed_ = false;
    int paneLines_ = 0;

    // The newest line status of the run; shown by the timer, so that a run
    // of millions of lines does not flood the window.
    struct StatusSlot {
        std::mutex m;
        bool dirty = false;
        int lineNo = 0, lineCount = 0;
        std::string text, appended;
    } status_;
};

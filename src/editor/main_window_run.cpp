// Run control of the main window: start, stop, pause and single step, the
// window messages, the input dialog, and the window as the run's host.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <chrono>
#include <thread>

#include "editor/browser_host.h"
#include "editor/browser_link.h"
#include "editor/gui_queue.h"
#include "editor/input_dialog.h"
#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "editor/zp_rich_edit.h"
#include "interpreter/output.h"
#include "interpreter/skript.h"
#include "platform/texts.h"

// --- run control ---------------------------------------------------------------------------

void TForm1::WaitForRunEnd()
{
    // The ending thread may still wait for a box of this window (the stop
    // note): the GUI is served while waiting, user input aside.
    while (skript && skript->Started() && !skript->Finished()) {
        queue_->Drain();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // What the ended run still handed over belongs before the new run.
    queue_->Drain();
}

void TForm1::RunScript(bool step)
{
    if (startingRun_ || closing_)
        return;
    startingRun_ = true;
    WaitForRunEnd();

    if (browser)
        browser->clearRecording();
    if (autoSave && modified)
        Skriptspeichern1Click();

    ToolButton3->setEnabled(false);
    ToolButton7->setEnabled(false);
    ToolButton8->setEnabled(false);
    ToolButton4->setEnabled(true);
    Unterbrechen1->setEnabled(true);
    Einzelschritt1->setEnabled(false);
    NeuesSkript1->setEnabled(false);
    Skriptffnen1->setEnabled(false);
    Programmparameter1->setEnabled(false);
    Ausfhren1->setEnabled(false);
    Anhalten1->setEnabled(true);

    ClearOutput();
    browseWaits_ = false;
    skript.reset();
    scriptLines = EditorLines();
    {
        std::lock_guard<std::mutex> lock(status_.m);
        status_.dirty = false;
        status_.lineNo = 0;
    }
    skript = std::make_unique<Skript>(true, *this, &scriptLines);
    if (step)
        skript->runMode = 2;
    skript->Resume();
    statusTimer_.start();
    startingRun_ = false;
}

void TForm1::Anhalten1Click()
{
    if (skript)
        skript->stop = true;
}

void TForm1::ToolButton4Click()
{
    // The stop goes first, so the one wake-up the run gets ends it; an open
    // browser window wakes the run itself when it closes.
    Anhalten1Click();
    if (!(browser && browser->closeBrowser()) && skript)
        skript->wake();
}

void TForm1::Unterbrechen1Click()
{
    if (!skript)
        return;
    if (skript->runMode != 0) {
        AppendOutput(*this, "Fortgesetzt...");
        Einzelschritt1->setEnabled(false);
        skript->runMode = 0;
    } else {
        // The pause goes first: what the run wrote before it comes before
        // the note, and at most its statement in progress after it.
        skript->runMode = 1;
        AppendOutput(*this, "Unterbrochen.");
        Einzelschritt1->setEnabled(true);
    }
}

void TForm1::Einzelschritt1Click()
{
    if (skript && skript->running)
        skript->runMode = 2;
    else
        RunScript(true);
    Unterbrechen1->setEnabled(false);
    Einzelschritt1->setEnabled(false);
}

// --- window messages ---------------------------------------------------------------------------

bool TForm1::Dispatch(QEvent* e)
{
    auto* m = dynamic_cast<WindowMessage*>(e);
    switch (unsigned(e->type())) {
    case WM_SCRIPT_INPUT:
        OnScriptInput();
        return true;
    case WM_CAPTION_REFRESH:
        UpdateCaption();
        return true;
    case WM_SCRIPT_BROWSE:
        OnScriptBrowse(m && m->text ? *m->text : std::string());
        return true;
    case WM_OPEN_SCRIPT:
        OnOpenScript();
        return true;
    case WM_EXIT_AFTER_RUN:
        OnExitAfterRun();
        return true;
    case WM_AUTO_INDENT:
        OnAutoIndent(m && m->text ? *m->text : std::string());
        return true;
    case 18:  // WM_QUIT, posted by checkversion: ends the loop without the close handling
        if (!m)
            return QMainWindow::event(e);
        // Not quit(): since Qt 6 that closes every window first, which would
        // write the settings and could ask to save the script.
        QCoreApplication::exit(0);
        return true;
    default:
        return QMainWindow::event(e);
    }
}

void TForm1::OnScriptInput()
{
    // The run is the window's own, not the message's.
    if (!skript)
        return;
    TForm9 dialog(this);
    dialog.prompt = skript->inputPrompt;
    dialog.defaultText = skript->inputDefault;
    dialog.exec();
    skript->inputResult = dialog.confirmed ? dialog.answer : std::string();
    skript->wake();
}

void TForm1::OnScriptBrowse(const std::string& url)
{
    if (!skript)
        return;
    if (browser) {
        browseWaits_ = true;
        browser->showBrowser(url);
        return;
    }
    // Without a browser window the run cannot go on with the page.
    skript->setError(W("Das Browserfenster ist nicht verfügbar."), skript->curLine);
    skript->wake();
}

BrowserHost& TForm1::browserHost()
{
    if (!browserHost_)
        browserHost_ = std::make_unique<WindowBrowserHost>(*this);
    return *browserHost_;
}

Skript* TForm1::WindowBrowserHost::waitingRun()
{
    return window_.browseWaits_ ? window_.skript.get() : nullptr;
}

void TForm1::WindowBrowserHost::wakeRun()
{
    Skript* run = waitingRun();
    window_.browseWaits_ = false;
    if (run)
        run->wake();
}

int TForm1::WindowBrowserHost::lineCount() const
{
    // The run's own list belongs to its thread; the editor holds the same
    // lines, or those the run takes next.
    return int(window_.EditorLines().size());
}

void TForm1::WindowBrowserHost::clearSelection()
{
    QTextCursor c = window_.RichEdit1->textCursor();
    c.clearSelection();
    window_.RichEdit1->setTextCursor(c);
}

int TForm1::WindowBrowserHost::box(QWidget* owner, const QString& text, const QString& caption, int flags)
{
    QWidget* before = window_.boxOwner_;
    window_.boxOwner_ = owner;
    const int answer = window_.boxFunction(text, caption, flags);
    window_.boxOwner_ = before;
    return answer;
}

bool TForm1::RunActive() const
{
    return skript && skript->Started() && !skript->Finished();
}

void TForm1::SyncRunLines()
{
    if (RunActive())
        skript->handOverLines(EditorLines());
}

void TForm1::InsertScriptLine(int index, const QString& line)
{
    QTextDocument* doc = RichEdit1->document();
    const QTextBlock last = doc->lastBlock();
    // An empty last block is where the caret goes after a line end, no line.
    const bool openEnd = last.text().isEmpty();
    const int count = openEnd ? last.blockNumber() : last.blockNumber() + 1;
    if (index < count) {
        QTextCursor(doc->findBlockByNumber(index)).insertText(line + QLatin1Char('\n'));
    } else if (openEnd) {
        QTextCursor(last).insertText(line + QLatin1Char('\n'));
    } else {
        QTextCursor c(doc);
        c.movePosition(QTextCursor::End);
        c.insertText(QLatin1Char('\n') + line);
    }
    // The editor's change handling hands the new lines to the waiting run.
}

void TForm1::OnOpenScript()
{
    Skriptffnen1Click();
}

void TForm1::OnExitAfterRun()
{
    Beenden1Click();
}

void TForm1::OnAutoIndent(const std::string& text)
{
    // The editor of a run takes no keys, so no indent either: the run
    // would take the changed line over.
    if (RichEdit1->isReadOnly())
        return;
    RichEdit1->insertPlainText(FromCp1252(text));
}

// --- the output pane -------------------------------------------------------------------------

void TForm1::ClearOutput()
{
    RichEdit2->clear();
    paneLines_ = 0;
}

std::vector<std::string> TForm1::OutputLines() const
{
    std::vector<std::string> lines;
    if (paneLines_ == 0)
        return lines;
    for (QTextBlock b = RichEdit2->document()->begin(); b.isValid(); b = b.next())
        lines.push_back(ToCp1252(b.text()));
    return lines;
}

// The limit counts the pane's lines before each append, so after a limited
// append the pane holds at most maxOutputLines (at least the new one).
void TForm1::AppendToPane(std::vector<OutputLine>& lines)
{
    if (lines.empty())
        return;
    QTextDocument* doc = RichEdit2->document();
    QTextCursor c(doc);
    c.beginEditBlock();
    for (auto& l : lines) {
        if (l.enforceLimit) {
            const int limit = run_.maxOutputLines;
            while (paneLines_ > 0 && paneLines_ >= limit) {
                QTextCursor first(doc);
                first.movePosition(QTextCursor::Start);
                if (paneLines_ > 1) {
                    first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
                } else {
                    first.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
                }
                first.removeSelectedText();
                --paneLines_;
            }
        }
        QString text = FromCp1252(l.text);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        c.movePosition(QTextCursor::End);
        if (paneLines_ > 0)
            c.insertText(QStringLiteral("\n"));
        c.insertText(text);
        paneLines_ += 1 + int(text.count(QLatin1Char('\n')));
    }
    c.endEditBlock();
    // Bringing the end into view would also scroll sideways to the end of a
    // long last line and cut off the start of every line: the sideways
    // position stays where it was, at the left edge unless the user moved it.
    QScrollBar* sideways = RichEdit2->horizontalScrollBar();
    const int left = sideways->value();
    RichEdit2->moveCursor(QTextCursor::End);
    RichEdit2->ensureCursorVisible();
    sideways->setValue(left);
}

// --- the window as the run's host ----------------------------------------------------------------

void TForm1::appendOutput(const std::string& line, bool enforceLimit)
{
    // A stopped run does not wait for the window: it reaches its next stop
    // test at once.
    queue_->Output(line, enforceLimit, [this] { return skript && skript->stop; });
}

void TForm1::showNote(const std::string& text)
{
    if (closing_)
        return;
    queue_->CallAndWait([this, &text] { Box(FromCp1252(text), QStringLiteral("Notiz"), MB_OK); });
}

int TForm1::messageBox(const std::string& text, const std::string& caption, int buttons)
{
    int answer = IDCANCEL;
    if (closing_)
        return answer;
    queue_->CallAndWait([&] { answer = Box(FromCp1252(text), FromCp1252(caption), buttons); });
    return answer;
}

void TForm1::setEditorReadOnly(bool readOnly)
{
    queue_->Call([this, readOnly] { RichEdit1->setReadOnly(readOnly); });
}

// The run counts a line break as two characters; the document as one.
int TForm1::DocPosition(int offset) const
{
    const QTextDocument* doc = RichEdit1->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        int len = b.length() - 1;
        if (offset <= len)
            return b.position() + qMax(0, offset);
        offset -= len + 2;
        if (offset < 0)
            return b.position() + len;
    }
    return qMax(0, doc->characterCount() - 1);
}

void TForm1::selectText(int start, int length, bool waitVisible)
{
    auto select = [this, start, length] {
        int from = DocPosition(start);
        int to = DocPosition(start + length);
        QTextCursor c(RichEdit1->document());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        RichEdit1->setTextCursor(c);
        if (RichEdit1->isVisible())
            RichEdit1->viewport()->repaint();
    };
    if (waitVisible)
        queue_->CallAndWait(select);
    else
        queue_->Call(select);
}

void TForm1::scrollCaretIntoView()
{
    queue_->Call([this] { RichEdit1->ensureCursorVisible(); });
}

void TForm1::focusEditor()
{
    queue_->Call([this] { RichEdit1->setFocus(); });
}

// Called before every line: only the newest text is kept, and the timer
// shows it.
void TForm1::lineStatus(int lineNo, int lineCount, const std::string& lineText)
{
    std::lock_guard<std::mutex> lock(status_.m);
    status_.dirty = true;
    status_.lineNo = lineNo;
    status_.lineCount = lineCount;
    status_.text.assign(lineText);
    status_.appended.clear();
}

// Comes right before the run pauses (after a step): the status, with this
// text, is on screen before the run goes on to wait.
void TForm1::appendStatus(const std::string& text)
{
    bool slot;
    {
        std::lock_guard<std::mutex> lock(status_.m);
        slot = status_.lineNo > 0;
        if (slot) {
            status_.appended += text;
            status_.dirty = true;
        }
    }
    if (slot)
        queue_->CallAndWait([this] { FlushStatus(); });
    else
        queue_->CallAndWait([this, text] { panels[0]->setText(panels[0]->text() + FromCp1252(text)); });
}

void TForm1::FlushStatus()
{
    std::string shown;
    {
        std::lock_guard<std::mutex> lock(status_.m);
        if (!status_.dirty)
            return;
        status_.dirty = false;
        shown = FormatLineStatus(status_.lineNo, status_.lineCount, status_.text) + status_.appended;
    }
    panels[0]->setText(FromCp1252(shown));
    if (panels[0]->isVisible())
        panels[0]->repaint();
}

void TForm1::enableControls(unsigned mask, bool enabled)
{
    queue_->Call([this, mask, enabled] {
        const std::pair<unsigned, QAction*> controls[] = {
            {kToolRun, ToolButton3},       {kToolStop, ToolButton4},   {kToolNew, ToolButton7},
            {kToolOpen, ToolButton8},      {kMenuNew, NeuesSkript1},   {kMenuOpen, Skriptffnen1},
            {kMenuSettings, Programmparameter1}, {kMenuRun, Ausfhren1}, {kMenuStop, Anhalten1},
            {kMenuPause, Unterbrechen1},   {kMenuStep, Einzelschritt1},
        };
        for (const auto& [bit, action] : controls)
            if (mask & bit)
                action->setEnabled(enabled);
    });
}

void TForm1::postMessage(unsigned message, Skript* run, const std::string* url)
{
    std::optional<std::string> text;
    if (url)
        text = *url;
    queue_->Post(this, new WindowMessage(message, run, std::move(text)));
}

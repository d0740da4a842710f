// The script commands of the main window: new, open, save, save as, the
// question before a modified script is given up and the first load.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <stdexcept>

#include "editor/history.h"
#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "editor/script_file.h"
#include "editor/zp_rich_edit.h"
#include "interpreter/output.h"
#include "platform/texts.h"

namespace {

const QString kFilter = QStringLiteral("Skimlarkdateien (*.skl);;Alle Dateien (*.*)");

// The hourglass while a file is read or written.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

void PostMessageTo(QObject* window, unsigned message)
{
    QCoreApplication::postEvent(window, new WindowMessage(message, nullptr, std::nullopt));
}

}  // namespace

// Yes saves the current text under the current path; false for Cancel, and
// for a save that failed or whose dialog was cancelled: the command that
// asked must not give the text up then.
bool TForm1::SaveQuestion()
{
    if (!modified)
        return true;
    int answer = Box(QStringLiteral("Skript wurde geändert. Speichern?"), QStringLiteral("Frage"),
                     MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES)
        return Skriptspeichern1Click();
    return answer != IDCANCEL;
}

void TForm1::NeuesSkript1Click()
{
    if (!SaveQuestion())
        return;
    modified = false;
    trackChanges = false;
    RichEdit1->clear();
    ClearOutput();
    RichEdit1->setFocus();
    scriptPath.clear();
    scriptEncoding = platform::ScriptEncoding::Cp1252;
    trackChanges = true;
    PostMessageTo(this, WM_CAPTION_REFRESH);
}

void TForm1::Skriptffnen1Click()
{
    OpenScript(nullptr);
}

void TForm1::LoadIntoEditor(const std::string& path)
{
    std::string bytes, error;
    if (!ReadScriptFile(path, bytes, error))
        // The message is UTF-8 like the path; it is converted where it is shown.
        throw std::runtime_error("Die Datei " + path + " kann nicht geöffnet werden: " + error);
    if (!SetEditorFileText(bytes))
        throw std::runtime_error(platform::Utf16ScriptMessage(path));
}

void TForm1::OpenScript(const std::string* path)
{
    if (!SaveQuestion())
        return;
    modified = false;
    if (!path) {
        QString chosen = openFileDialog(QStringLiteral("Skriptdatei öffnen"), kFilter, FromNative(scriptPath));
        if (chosen.isEmpty()) {
            scriptPath.clear();
            return;
        }
        scriptPath = ToNative(chosen);
    } else {
        scriptPath = *path;
    }
    if (!scriptPath.empty()) {
        trackChanges = false;
        loadingScript_ = true;
        {
            WaitCursor wait;
            try {
                RichEdit1->clear();
                LoadIntoEditor(scriptPath);
                ShowCaretStatus();
                ShowLineCount();
                // A run sets these itself when it ends; F9 now would wait
                // for a run that may never end.
                if (!RunActive()) {
                    Ausfhren1->setEnabled(true);
                    Anhalten1->setEnabled(false);
                }
                history->Add(scriptPath);
                PostMessageTo(this, WM_CAPTION_REFRESH);
            } catch (const std::exception& e) {
                ShowNote(*this, "%s", W(e.what()).c_str());
            }
        }
        trackChanges = true;
        loadingScript_ = false;
        // A run goes on with what the editor holds now, also after a failed load.
        SyncRunLines();
    }
    modified = false;
}

bool TForm1::Skriptspeichern1Click()
{
    bool written = scriptPath.empty() ? Speichernunter1Click() : SaveScriptFile(scriptPath);
    if (written) {
        SetSaveControls(false);
        modified = false;
    }
    return written;
}

bool TForm1::Speichernunter1Click()
{
    QString chosen = saveFileDialog(QStringLiteral("Skriptdatei speichern"), kFilter, FromNative(scriptPath));
    if (chosen.isEmpty())
        return false;
    std::string path = WithScriptExtension(ToNative(chosen));
    // The dialog does not ask: the name it looked at may not be the one
    // written once ".skl" is appended.
    if (!ConfirmReplace(path))
        return false;
    scriptPath = path;
    bool written = SaveScriptFile(scriptPath);
    if (written) {
        SetStatusText(0, FromNative(scriptPath) + QStringLiteral(": ") + QString::number(EditorLines().size()) +
                             QStringLiteral(" Zeilen gespeichert."));
        SetSaveControls(false);
        modified = false;
    }
    PostMessageTo(this, WM_CAPTION_REFRESH);
    history->Add(scriptPath);
    return written;
}

bool TForm1::ConfirmReplace(const std::string& path)
{
    if (!QFileInfo::exists(FromNative(path)))
        return true;
    return Box(QStringLiteral("Die Datei %1 existiert bereits. Soll sie ersetzt werden?").arg(FromNative(path)),
               QStringLiteral("Frage"), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool TForm1::SaveScriptFile(const std::string& path)
{
    std::string error;
    bool ok;
    {
        WaitCursor wait;
        ok = WriteScriptFile(path, EditorText(), error);
    }
    if (!ok) {
        ShowNote(*this, "Fehler %s: %s", W(path).c_str(), W(error).c_str());
        return false;
    }
    modified = false;
    return true;
}

void TForm1::LoadInitialScript()
{
    {
        WaitCursor wait;
        trackChanges = false;
        try {
            LoadIntoEditor(scriptPath);
            Ausfhren1->setEnabled(true);
            Anhalten1->setEnabled(false);
            ToolButton9->setEnabled(false);
            ShowCaretStatus();
            ShowLineCount();
            // A short script changes the line count too little for the
            // change handling to colour it.
            RecolourLines();
            PostMessageTo(this, WM_CAPTION_REFRESH);
        } catch (const std::exception& e) {
            if (!scriptPath.empty())
                ShowNote(*this, "%s", W(scriptPath + ": " + e.what()).c_str());
            else
                scriptPath = run_.programDir + "skripte/demo.skl";
            PostMessageTo(this, WM_OPEN_SCRIPT);
        }
        trackChanges = true;
        if (RichEdit1->isEnabled())
            RichEdit1->setFocus();
        modified = false;
    }
}

void TForm1::ShowLineCount()
{
    SetStatusText(0, QStringLiteral("%1: %2 Zeilen").arg(FromNative(scriptPath)).arg(EditorLines().size()));
}

bool TForm1::FormCloseQuery()
{
    if (!modified)
        return true;
    int answer = Box(QStringLiteral("Das Skript wurde geändert. Speichern?"), QStringLiteral("Frage"), MB_YESNOCANCEL);
    if (answer == IDCANCEL)
        return false;
    // A save that failed or was cancelled keeps the window open with the text.
    closeSaveFailed_ = answer == IDYES && !Skriptspeichern1Click();
    return !closeSaveFailed_;
}

void TForm1::UpdateCaption()
{
    // Without a script the caption is the title alone.
    if (scriptPath.empty())
        setWindowTitle(FromNative(title));
    else
        setWindowTitle(FromNative(title + ": " + scriptPath));
}

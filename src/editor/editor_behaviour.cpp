#include "editor/editor_behaviour.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QUrl>

#include "editor/desktop_open.h"
#include "editor/find_dialog.h"
#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "editor/syntax_colouring.h"
#include "editor/zp_rich_edit.h"
#include "interpreter/skript.h"
#include "platform/folders.h"

namespace {

// The keys the editor's handlers look at, as virtual-key codes.
int VirtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default:
        // Letters and digits have the same codes.
        if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
            return qtKey;
        if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
            return 0x70 + (qtKey - Qt::Key_F1);
        return 0;
    }
}

QColor ColourOf(unsigned bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// The line list does not count an empty last line.
int ListedLines(const QTextDocument* doc)
{
    int n = doc->blockCount();
    if (doc->lastBlock().text().isEmpty())
        --n;
    return n;
}

}  // namespace

EditorBehaviour::EditorBehaviour(TForm1& form) : form_(form)
{
    TZpRichEdit* edit = form_.RichEdit1;
    edit->installEventFilter(this);
    connect(edit, &QPlainTextEdit::cursorPositionChanged, this, &EditorBehaviour::RichEdit1SelectionChange);
    connect(edit, &QPlainTextEdit::selectionChanged, this, &EditorBehaviour::RichEdit1SelectionChange);
    connect(edit->document(), &QTextDocument::contentsChanged, this, &EditorBehaviour::RichEdit1Change);
    connect(edit->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            &EditorBehaviour::RichEdit1VericalScroll);
    lineCount = ListedLines(edit->document());

    FindDialog1 = new TFindDialog(&form_);
    connect(FindDialog1, &TFindDialog::OnFind, this, &EditorBehaviour::FindDialog1Find);
    connect(form_.Finden1, &QAction::triggered, this, &EditorBehaviour::Finden1Click);
    connect(form_.FindenWiederholen1, &QAction::triggered, this, &EditorBehaviour::FindenWiederholen1Click);
    connect(form_.Hilfe1, &QAction::triggered, this, &EditorBehaviour::Hilfe1Click);
    connect(form_.ToolButton10, &QAction::triggered, this, &EditorBehaviour::Hilfe1Click);

    // The poller runs on the GUI thread: at most one refresh each 50 ms,
    // however many caret moves came in between.
    caretPoller.setInterval(50);
    connect(&caretPoller, &QTimer::timeout, this, &EditorBehaviour::PollCaret);
}

EditorBehaviour::~EditorBehaviour()
{
    form_.RichEdit1->removeEventFilter(this);
}

void EditorBehaviour::FormShow()
{
    overwriteMode = false;
    form_.RichEdit1->setOverwriteMode(false);
    ShowInsertMode(overwriteMode);
    caretPoller.start();
}

void EditorBehaviour::PollCaret()
{
    if (caretMoved > 0) {
        caretMoved = 0;
        ShowCaretStatus();
        caretPos = form_.RichEdit1->textCursor().selectionStart();
    }
}

void EditorBehaviour::ShowCaretStatus()
{
    const QTextDocument* doc = form_.RichEdit1->document();
    const int p = form_.RichEdit1->textCursor().selectionStart();
    const std::string previousText = caretLineText;
    const QTextBlock block = doc->findBlock(p);
    caretLineStart = block.position();
    caretLineText = ColourLineText(block.text());
    caretLine = block.blockNumber() + 1;
    caretColumn = p - caretLineStart + 1;
    // While a script runs, panel 0 shows the line being run; the run's own
    // selections must not replace that with the caret position.
    if (!form_.skript || form_.skript->Finished())
        form_.SetStatusText(0, QStringLiteral("Zeile %1 von %2, Zeichen %3")
                                   .arg(caretLine)
                                   .arg(ListedLines(doc))
                                   .arg(caretColumn));
    if (form_.colouring)
        form_.colouring->ColourCaretLine(caretLine, caretLineText, caretLineStart, caretColumn, prevLineStart,
                                         lastKey, previousText, keyedSinceRefresh_ && editedSinceRefresh_);
    prevLineStart = caretLineStart;
    keyedSinceRefresh_ = false;
    editedSinceRefresh_ = false;
}

void EditorBehaviour::ShowInsertMode(bool overwrite)
{
    form_.SetStatusText(1, overwrite ? QString::fromUtf8("Überschr.") : QString::fromUtf8("Einfügen"));
}

bool EditorBehaviour::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == form_.RichEdit1 && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        RichEdit1KeyDown(k->key(), k->modifiers());
        // The character part of the key (what the editor gets as a character).
        if (!k->text().isEmpty())
            caretMoved = 1;
    }
    return QObject::eventFilter(watched, event);
}

void EditorBehaviour::RichEdit1KeyDown(int qtKey, Qt::KeyboardModifiers shift)
{
    const int key = VirtualKey(qtKey);
    switch (key) {
    case 8: case 13: case 33: case 34: case 37: case 38: case 39: case 40: case 46:
        caretMoved = 1;
        break;
    default:
        break;
    }
    TZpRichEdit* edit = form_.RichEdit1;
    if (key == 13) {
        // The whole leading white space of the line, wherever the caret is
        // in it; posted, so it lands after the editor's own line break.
        const QString line = edit->document()->findBlock(edit->textCursor().selectionStart()).text();
        int n = 0;
        while (n < line.size() && (line[n] == QLatin1Char(' ') || line[n] == QLatin1Char('\t')))
            ++n;
        if (n > 0)
            QCoreApplication::postEvent(&form_,
                                        new WindowMessage(WM_AUTO_INDENT, nullptr, ToCp1252(line.left(n))));
    }
    if (key == 45 && !(shift & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier))) {
        // The editor control does not switch its mode itself here.
        overwriteMode = !overwriteMode;
        edit->setOverwriteMode(overwriteMode);
        ShowInsertMode(overwriteMode);
    }
    // One refresh handles all keys since the one before: an Enter or a
    // Backspace among them decides how it colours, not what came after.
    if (!keyedSinceRefresh_ || (lastKey != 13 && lastKey != 8))
        lastKey = key;
    keyedSinceRefresh_ = true;
    if (key == 33 || key == 34) {
        if (edit->firstVisibleLine() > 1)
            QMetaObject::invokeMethod(this, &EditorBehaviour::ScrollOneLineDown, Qt::QueuedConnection);
        // The page move the editor makes of the key is not a scroll-bar page.
        keyPaging_ = true;
        QMetaObject::invokeMethod(this, [this] { keyPaging_ = false; }, Qt::QueuedConnection);
    }
}

void EditorBehaviour::RichEdit1VericalScroll(int action)
{
    if (keyPaging_)
        return;
    if (action != QAbstractSlider::SliderPageStepAdd && action != QAbstractSlider::SliderPageStepSub)
        return;
    // Looked at once the page move is done.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (form_.RichEdit1->firstVisibleLine() != 0)
                ScrollOneLineDown();
        },
        Qt::QueuedConnection);
}

void EditorBehaviour::ScrollOneLineDown()
{
    form_.RichEdit1->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void EditorBehaviour::RichEdit1SelectionChange()
{
    if (form_.trackSelection)
        caretMoved = 1;
}

void EditorBehaviour::RichEdit1Change()
{
    TZpRichEdit* edit = form_.RichEdit1;
    QTextDocument* doc = edit->document();
    const int c = caretPos;
    // Modified and the save controls are the window's own change handler.
    if (form_.trackChanges) {
        editedSinceRefresh_ = true;
        const int start = edit->textCursor().selectionStart();
        if (start - c > 2 && c >= 0 && start < doc->characterCount()) {
            // Pasted text loses its foreign formatting.
            bool tracking = form_.trackChanges;
            form_.trackChanges = false;
            {
                FormatEdit formatEdit(doc);
                QTextCursor range(doc);
                range.setPosition(c);
                range.setPosition(start, QTextCursor::KeepAnchor);
                QTextCharFormat f;
                // The family the editor shows, which is installed; the
                // stored name may not be.
                f.setFontFamilies({edit->font().family()});
                f.setFontPointSize(form_.editorFont.size > 0 ? double(form_.editorFont.size) : 9.0);
                f.setForeground(ColourOf(form_.editorFont.color));
                range.mergeCharFormat(f);
            }
            form_.trackChanges = tracking;
        }
    }
    const int lines = ListedLines(doc);
    const int before = lineCount;
    lineCount = lines;
    if (lines - before > 1 || before - lines > 1)
        form_.RecolourLines();
}

std::string EditorBehaviour::WordAtCaret() const
{
    const std::string& line = caretLineText;
    const int len = int(line.size());
    if (len == 0)
        return std::string();
    auto word = [&line](int pos) { return SyntaxColouring::IsWordChar(line[size_t(pos - 1)]); };
    int e = std::min(std::max(caretColumn, 1), len);
    int s = e;
    while (e < len && word(e))
        ++e;
    if (e == len && word(len))
        ++e;
    while (s > 0 && word(s))
        --s;
    ++s;
    return e > s ? line.substr(size_t(s - 1), size_t(e - s)) : std::string();
}

void EditorBehaviour::Finden1Click()
{
    findTarget = nullptr;
    if (form_.RichEdit1->hasFocus())
        findTarget = form_.RichEdit1;
    else if (form_.RichEdit2->hasFocus())
        findTarget = form_.RichEdit2;
    if (!findTarget)
        return;
    const QRect frame = form_.frameGeometry();
    FindDialog1->move(frame.left() + frame.width() / 2 - 200, frame.top() + (frame.height() / 3) * 2);
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void EditorBehaviour::FindDialog1Find()
{
    if (!findTarget)
        return;
    const QString text = FindDialog1->FindText();
    if (text.isEmpty())
        return;
    QTextDocument::FindFlags flags;
    if (FindDialog1->MatchCase())
        flags |= QTextDocument::FindCaseSensitively;
    if (FindDialog1->WholeWord())
        flags |= QTextDocument::FindWholeWords;
    const QTextCursor hit = findTarget->document()->find(text, findTarget->textCursor().selectionEnd(), flags);
    if (hit.isNull()) {
        foundPos = -1;
        form_.boxFunction(QStringLiteral("Kein Vorkommen des Suchtextes (mehr) gefunden."), QStringLiteral("Notiz"),
                          MB_OK);
        return;
    }
    foundPos = hit.selectionStart();
    findTarget->setFocus();
    findTarget->setTextCursor(hit);
    findTarget->ensureCursorVisible();
}

QString EditorBehaviour::HelpUrl() const
{
    QString page = QStringLiteral("index.htm");
    QString anchor;
    if (form_.RichEdit1->hasFocus()) {
        const std::string w = WordAtCaret();
        if (!w.empty() && form_.functionNames.count(w)) {
            page = QStringLiteral("helpFunktionen.htm");
            anchor = FromCp1252(w);
        } else if (!w.empty() && form_.keywords.count(w)) {
            page = QStringLiteral("helpStruktur.htm");
            anchor = FromCp1252(w);
        }
    }
    QUrl url = QUrl::fromLocalFile(FromNative(form_.settings().programDir) + QStringLiteral("help/") + page);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url.toString(QUrl::FullyEncoded);
}

namespace {

// xdg-open turns a file URL into a path before it hands it on, and the
// anchor is lost on the way. A small page of our own, opened without an
// anchor, forwards the browser to the help page at the anchor. Returns the
// page's path, or "" when it could not be written.
std::string ForwardingPage(const QString& url)
{
    const std::string dir = platform::UserDataDir();
    if (!platform::MakeDirs(dir))
        return {};
    const std::string path = dir + "/hilfe.htm";
    const QString target = url.toHtmlEscaped();
    const QByteArray page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                           "<meta http-equiv=\"refresh\" content=\"0; url=%1\">"
                                           "<title>Hilfe</title></head>\n<body><a href=\"%1\">Hilfe</a></body></html>\n")
                                .arg(target)
                                .toUtf8();
    QSaveFile file(FromNative(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit())
        return {};
    return path;
}

}  // namespace

void EditorBehaviour::Hilfe1Click()
{
    // Whether the viewer started is not looked at; only a desktop without
    // any opener is reported, since then nothing at all would happen.
    const QString url = HelpUrl();
    std::string target = ToNative(url);
    if (QUrl(url).hasFragment()) {
        const std::string page = ForwardingPage(url);
        if (!page.empty())
            target = page;
    }
    ReportNotOpened(OpenOnDesktop(target), target, form_.boxFunction, false);
}

void EditorBehaviour::FontDialog1Apply(const QFont& font)
{
    for (QPlainTextEdit* pane : {static_cast<QPlainTextEdit*>(form_.RichEdit1), form_.RichEdit2}) {
        QTextDocument* doc = pane->document();
        bool tracking = form_.trackChanges;
        form_.trackChanges = false;
        {
            FormatEdit edit(doc);
            QTextCursor all(doc);
            all.select(QTextCursor::Document);
            QTextCharFormat f;
            f.setFont(font);
            all.mergeCharFormat(f);
        }
        form_.trackChanges = tracking;
        pane->setFont(font);
    }
    form_.editorFont.name = ToNative(font.family());
    if (font.pointSize() > 0)
        form_.editorFont.size = unsigned(font.pointSize());
    form_.RecolourLines();
    form_.RichEdit1->viewport()->update();
}

void TForm1::ShowCaretStatus()
{
    if (behaviour)
        behaviour->ShowCaretStatus();
}

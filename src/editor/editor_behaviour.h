// How the script editor reacts to the user apart from the colouring: the
// caret status and its poller, auto-indent, insert/overwrite mode, the extra
// line after page moves, change tracking, find, context help and the font.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <string>

class QFont;
class QPlainTextEdit;
class TFindDialog;
class TForm1;

class EditorBehaviour : public QObject {
    Q_OBJECT
public:
    explicit EditorBehaviour(TForm1& form);
    ~EditorBehaviour() override;

    // The window is shown: insert mode, and the caret poller starts.
    void FormShow();

    void ShowCaretStatus();
    void ShowInsertMode(bool overwrite);
    std::string WordAtCaret() const;

    void Finden1Click();
    void FindenWiederholen1Click() { Finden1Click(); }
    void FindDialog1Find();
    void Hilfe1Click();
    // The help page that F1 opens now: a file URL, with an anchor for a
    // keyword or built-in name at the caret.
    QString HelpUrl() const;
    void FontDialog1Apply(const QFont& font);

    // One poll of the caret poller.
    void PollCaret();

    // --- caret fields --------------------------------------------------------------
    int caretMoved = 0;
    int caretPos = 0;  // the editor's selection start at the last poll
    int caretLine = 0;
    int caretColumn = 0;
    int caretLineStart = 0;
    std::string caretLineText;
    int prevLineStart = 0;
    int lastKey = 0;  // the last key's virtual-key code (see RichEdit1KeyDown)
    int lineCount = 0;
    bool overwriteMode = false;
    QPointer<QPlainTextEdit> findTarget;
    int foundPos = 0;
    TFindDialog* FindDialog1 = nullptr;
    QTimer caretPoller;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RichEdit1KeyDown(int key, Qt::KeyboardModifiers shift);
    void RichEdit1SelectionChange();
    void RichEdit1Change();
    void RichEdit1VericalScroll(int action);
    void ScrollOneLineDown();

    TForm1& form_;
    bool keyPaging_ = false;  // a page key is being handled by the editor
    // Since the last caret refresh: a key was pressed, the text was edited;
    // both together are typing.
    bool keyedSinceRefresh_ = false;
    bool editedSinceRefresh_ = false;
};

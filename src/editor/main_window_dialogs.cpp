// The main window's dialogs: the about box, the settings dialog, and the
// update check and memory gauges of the one-second timer.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "editor/about_box.h"
#include "editor/main_window.h"
#include "editor/settings_dialog.h"
#include "editor/syntax_colouring.h"
#include "editor/update_check.h"
#include "editor/zp_rich_edit.h"

namespace {

// The whole text black and plain; the selection stays where it was.
void PlainBlack(QPlainTextEdit* edit)
{
    QTextCursor keep = edit->textCursor();
    FormatEdit noUndoStep(edit->document());
    QTextCursor all(edit->document());
    all.select(QTextCursor::Document);
    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    plain.setFontWeight(QFont::Normal);
    plain.setFontItalic(false);
    plain.setFontUnderline(false);
    plain.setFontStrikeOut(false);
    all.mergeCharFormat(plain);
    edit->setTextCursor(keep);
}

}  // namespace

void TForm1::ConnectDialogs()
{
    InfoForm = new TInfoForm(this);
    updateCheck = new UpdateCheck(*this);
    connect(Info1, &QAction::triggered, this, &TForm1::Info1Click);
    connect(Programmparameter1, &QAction::triggered, this, &TForm1::Programmparameter1Click);
    connect(NachUpdatesuchen1, &QAction::triggered, updateCheck, &UpdateCheck::NachUpdatesuchen1Click);
    connect(InternetForum1, &QAction::triggered, updateCheck, &UpdateCheck::InternetForum1Click);
}

void TForm1::Info1Click()
{
    InfoForm->Programm->setText(QStringLiteral("Skimlark"));
    InfoForm->Programm->adjustSize();
    InfoForm->Version->setText(QStringLiteral("1.08.20"));
    InfoForm->Version->adjustSize();
    InfoForm->exec();
}

void TForm1::Programmparameter1Click()
{
    auto* dialog = new TForm3(this);
    dialog->exec();
    if (syntaxColouring) {
        RecolourLines();
    } else {
        // Formats are no edit of the script.
        bool track = trackChanges;
        trackChanges = false;
        PlainBlack(RichEdit1);
        PlainBlack(RichEdit2);
        trackChanges = track;
    }
    delete dialog;
}

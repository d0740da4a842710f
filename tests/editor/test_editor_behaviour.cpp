// The editor's behaviour: caret status, auto-indent, insert mode, page
// moves, pasted text, find, context help and the font.
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QUrl>

#include "editor/editor_behaviour.h"
#include "editor/editor_fixture.h"
#include "editor/find_dialog.h"
#include "editor/syntax_colouring.h"
#include "editor/qt_text.h"
#include "editor/zp_rich_edit.h"

namespace {



// A shown window whose editor has the keyboard focus.
void FocusEditor(Window& w)
{
    w.show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.w.get()));
    w->RichEdit1->setFocus();
    QVERIFY(QTest::qWaitFor([&w] { return w->RichEdit1->hasFocus(); }));
}

}  // namespace

class EditorBehaviourTest : public QObject {
    Q_OBJECT
private slots:
    void caretStatus_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("status");
        QTest::newRow("empty editor") << "" << 0 << "Zeile 1 von 0, Zeichen 1";
        QTest::newRow("start of line 3 of 5") << "a\nbb\nccc\nd\ne" << 5 << "Zeile 3 von 5, Zeichen 1";
        QTest::newRow("inside a line") << "a\nbb\nccc\nd\ne" << 7 << "Zeile 3 von 5, Zeichen 3";
        QTest::newRow("after the last line break") << "a\nb\n" << 4 << "Zeile 3 von 2, Zeichen 1";
    }

    void caretStatus()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(QString, status);
        TempRegistry reg;
        Window w;
        w.show();
        w->RichEdit1->setPlainText(text);
        PlaceCaret(*w, position);
        w->ShowCaretStatus();
        QCOMPARE(w->StatusText(0), status);
    }

    void pollerRefreshesAfterACaretMove()
    {
        TempRegistry reg;
        Window w;
        w.show();
        w->RichEdit1->setPlainText("eins\nzwei");
        w->SetStatusText(0, "");
        PlaceCaret(*w, 6);  // a selection change wakes the poller
        QVERIFY(QTest::qWaitFor([&w] { return w->StatusText(0) == "Zeile 2 von 2, Zeichen 2"; }, 2000));
        QCOMPARE(w->behaviour->caretPos, 6);
    }

    void autoIndent_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("newLine");
        QTest::newRow("blanks and tab") << "  \tprint 1" << "  \t";
        QTest::newRow("no white space") << "print 1" << "";
    }

    void autoIndent()
    {
        QFETCH(QString, line);
        QFETCH(QString, newLine);
        TempRegistry reg;
        Window w;
        w.show();
        w->RichEdit1->setPlainText(line);
        PlaceCaret(*w, int(line.size()));
        QTest::keyClick(w->RichEdit1, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(w->RichEdit1->document()->findBlockByNumber(1).text(), newLine);
        QCOMPARE(w->RichEdit1->textCursor().position(), int(line.size()) + 1 + int(newLine.size()));
    }

    void insertKeyTogglesOverwriteMode()
    {
        TempRegistry reg;
        Window w;
        w.show();
        QCOMPARE(w->StatusText(1), QString::fromUtf8("Einfügen"));
        QTest::keyClick(w->RichEdit1, Qt::Key_Insert);
        QCOMPARE(w->StatusText(1), QString::fromUtf8("Überschr."));
        QVERIFY(w->RichEdit1->overwriteMode());
        QTest::keyClick(w->RichEdit1, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(w->RichEdit1, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(w->StatusText(1), QString::fromUtf8("Überschr."));
        QTest::keyClick(w->RichEdit1, Qt::Key_Insert);
        QCOMPARE(w->StatusText(1), QString::fromUtf8("Einfügen"));
        QVERIFY(!w->RichEdit1->overwriteMode());
    }

    void pageDownAddsALineBelowTheTop_data()
    {
        QTest::addColumn<int>("firstLine");
        QTest::addColumn<int>("extra");
        QTest::newRow("top line 0") << 0 << 0;
        QTest::newRow("top line 1") << 1 << 0;
        QTest::newRow("top line 2") << 2 << 1;
        QTest::newRow("top line 10") << 10 << 1;
    }

    void pageDownAddsALineBelowTheTop()
    {
        QFETCH(int, firstLine);
        QFETCH(int, extra);
        TempRegistry reg;
        Window w;
        w.show();
        // The same editor without the window's handling shows the plain page move.
        TZpRichEdit plain;
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        plain.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        plain.setFont(w->RichEdit1->font());
        plain.resize(w->RichEdit1->size());
        plain.show();
        for (QPlainTextEdit* e : {static_cast<QPlainTextEdit*>(w->RichEdit1), static_cast<QPlainTextEdit*>(&plain)}) {
            e->setPlainText(NumberedLines(300));
            QTextCursor c(e->document()->findBlockByNumber(firstLine));
            e->setTextCursor(c);
            e->verticalScrollBar()->setValue(firstLine);
        }
        QCOMPARE(w->RichEdit1->firstVisibleLine(), firstLine);
        QTest::keyClick(&plain, Qt::Key_PageDown);
        QTest::keyClick(w->RichEdit1, Qt::Key_PageDown);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(w->RichEdit1->verticalScrollBar()->value(), plain.verticalScrollBar()->value() + extra);
    }

    void scrollBarPageAddsALineUnlessAtTheTop()
    {
        TempRegistry reg;
        Window w;
        w.show();
        w->RichEdit1->setPlainText(NumberedLines(300));
        QScrollBar* bar = w->RichEdit1->verticalScrollBar();
        const int page = bar->pageStep();
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), page + 1);
        // Paging back up to the top adds nothing.
        bar->setValue(page - 3);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), 0);
    }

    void pastedCharactersGetTheEditorFont()
    {
        TempRegistry reg;
        Window w;
        w.show();
        w->syntaxColouring = true;
        w->RichEdit1->setPlainText("print");
        w->RecolourLines();
        PlaceCaret(*w, 5);
        Poll(*w);
        auto colourAt = [&w](int pos) {
            QTextCursor c(w->RichEdit1->document());
            c.setPosition(pos + 1);
            return c.charFormat().foreground().color();
        };
        // One character typed takes the colour before it ...
        w->RichEdit1->insertPlainText("x");
        QCOMPARE(colourAt(5), QColor(0, 0, 255));
        Poll(*w);
        // ... three at once are pasted text and get the editor's colour.
        w->RichEdit1->insertPlainText("abc");
        QCOMPARE(colourAt(6), QColor(0, 0, 0));
        QCOMPARE(colourAt(8), QColor(0, 0, 0));
        QVERIFY(w->modified);
    }

    void multiLinePasteRecoloursTheScript()
    {
        TempRegistry reg;
        Window w;
        w.show();
        w->syntaxColouring = true;
        w->RichEdit1->setPlainText("x");
        PlaceCaret(*w, 1);
        Poll(*w);
        w->RichEdit1->insertPlainText("\nif y\nprint 1");
        QTextBlock b = w->RichEdit1->document()->findBlockByNumber(1);
        QTextCursor c(b);
        c.setPosition(b.position() + 1);
        QCOMPARE(c.charFormat().foreground().color(), QColor(255, 0, 0));
        QVERIFY(w->modified);
    }

    // Qt 6.4's own paste crashes on clipboard data without text (as an
    // empty clipboard gives under X11): both panes take text only, by
    // either paste key.
    void pasteTakesTextOnly_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("format");  // "" for data without any format
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("pasted");
        for (const char* pane : {"RichEdit1", "RichEdit2"}) {
            QTest::addRow("%s, empty data", pane) << pane << "" << QByteArray() << "";
            QTest::addRow("%s, picture only", pane) << pane << "image/png" << QByteArray("\x89PNG") << "";
            QTest::addRow("%s, empty text", pane) << pane << "text/plain" << QByteArray() << "";
        }
        QTest::newRow("RichEdit1, text") << "RichEdit1" << "text/plain" << QByteArray("ab") << "ab";
        // The output pane is read-only.
        QTest::newRow("RichEdit2, text") << "RichEdit2" << "text/plain" << QByteArray("ab") << "";
    }

    void pasteTakesTextOnly()
    {
        QFETCH(QString, pane);
        QFETCH(QString, format);
        QFETCH(QByteArray, content);
        QFETCH(QString, pasted);
        TempRegistry reg;
        Window w;
        w.show();
        auto* edit = w->findChild<QPlainTextEdit*>(pane);
        QVERIFY(edit);
        edit->setPlainText("vorher");
        edit->moveCursor(QTextCursor::End);
        edit->activateWindow();
        edit->setFocus();
        for (QKeyCombination key : {Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert}) {
            auto* data = new QMimeData;
            if (!format.isEmpty())
                data->setData(format, content);
            QGuiApplication::clipboard()->setMimeData(data);
            QTest::keyClick(edit, key.key(), key.keyboardModifiers());
        }
        QGuiApplication::clipboard()->clear();
        QCOMPARE(edit->toPlainText(), "vorher" + pasted + pasted);
    }

    void findSearchesDownwardsUntilNoMoreHits()
    {
        TempRegistry reg;
        Window w;
        FocusEditor(w);
        w->RichEdit1->setPlainText("Abc abc\nxabc");
        PlaceCaret(*w, 0);
        w->Finden1->trigger();
        TFindDialog* d = w->behaviour->FindDialog1;
        QVERIFY(d->isVisible());
        QCOMPARE(w->behaviour->findTarget.data(), static_cast<QPlainTextEdit*>(w->RichEdit1));
        d->SetFindText("abc");
        QList<int> hits;
        for (int i = 0; i < 3; ++i) {
            d->findButton->click();
            hits << w->behaviour->foundPos;
        }
        QCOMPARE(hits, (QList<int>{0, 4, 9}));
        d->findButton->click();
        QCOMPARE(w->behaviour->foundPos, -1);
        QCOMPARE(w.boxes.seen, QStringList{"Notiz|Kein Vorkommen des Suchtextes (mehr) gefunden."});
        // The last hit stays selected.
        QCOMPARE(w->RichEdit1->textCursor().selectionStart(), 9);
        QCOMPARE(w->RichEdit1->textCursor().selectedText(), QString("abc"));
    }

    void findOptions_data()
    {
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWord");
        QTest::addColumn<int>("hit");
        QTest::newRow("plain") << false << false << 1;
        QTest::newRow("match case") << true << false << 10;
        QTest::newRow("whole word") << false << true << 5;
        QTest::newRow("both") << true << true << 14;
    }

    void findOptions()
    {
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWord);
        QFETCH(int, hit);
        TempRegistry reg;
        Window w;
        FocusEditor(w);
        w->RichEdit1->setPlainText("XABC ABC xabc abc");
        PlaceCaret(*w, 0);
        w->Finden1->trigger();
        TFindDialog* d = w->behaviour->FindDialog1;
        d->SetFindText("abc");
        d->matchCaseBox->setChecked(matchCase);
        d->wholeWordBox->setChecked(wholeWord);
        d->findButton->click();
        QCOMPARE(w->behaviour->foundPos, hit);
    }

    void findAgainInTheOutputPane()
    {
        TempRegistry reg;
        Window w;
        FocusEditor(w);
        w->RichEdit2->setPlainText("Ausgabe eins\nAusgabe zwei");
        w->RichEdit2->setFocus();
        QVERIFY(QTest::qWaitFor([&w] { return w->RichEdit2->hasFocus(); }));
        w->FindenWiederholen1->trigger();
        QCOMPARE(w->behaviour->findTarget.data(), w->RichEdit2);
        w->behaviour->FindDialog1->SetFindText("zwei");
        w->behaviour->FindDialog1->findButton->click();
        QCOMPARE(w->RichEdit2->textCursor().selectedText(), QString("zwei"));
        QCOMPARE(w->RichEdit1->textCursor().hasSelection(), false);
    }

    void wordAtCaret_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("word");
        QTest::newRow("inside") << "x = htget(u)" << 7 << "htget";
        QTest::newRow("at its start") << "x = htget(u)" << 5 << "htget";
        QTest::newRow("behind, before the parenthesis") << "x = htget(u)" << 10 << "";
        QTest::newRow("behind, before a blank") << "while x" << 6 << "";
        QTest::newRow("end of the line") << "print" << 6 << "print";
        QTest::newRow("umlauts belong to the word") << QString::fromUtf8("a Größe") << 4 << QString::fromUtf8("Größe");
        QTest::newRow("empty line") << "" << 1 << "";
    }

    void wordAtCaret()
    {
        QFETCH(QString, line);
        QFETCH(int, column);
        QFETCH(QString, word);
        TempRegistry reg;
        Window w;
        w->behaviour->caretLineText = ColourLineText(line);
        w->behaviour->caretColumn = column;
        QCOMPARE(FromCp1252(w->behaviour->WordAtCaret()), word);
    }

    void helpOpensThePageOfTheWordAtTheCaret_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("page");
        QTest::newRow("built-in") << "x = htget(u)" << 6 << "help/helpFunktionen.htm#htget";
        QTest::newRow("keyword") << "while x" << 2 << "help/helpStruktur.htm#while";
        QTest::newRow("behind the built-in") << "x = htget(u)" << 9 << "help/index.htm";
        QTest::newRow("other word") << "Htget" << 1 << "help/index.htm";
    }

    void helpOpensThePageOfTheWordAtTheCaret()
    {
        QFETCH(QString, line);
        QFETCH(int, position);
        QFETCH(QString, page);
        TempRegistry reg;
        Window w;
        FocusEditor(w);
        w->RichEdit1->setPlainText(line);
        PlaceCaret(*w, position);
        w->ShowCaretStatus();
        const QString url = w->behaviour->HelpUrl();
        QVERIFY2(url.startsWith("file://") && url.endsWith("/" + page), qPrintable(url));
        // With the focus elsewhere only the help's first page opens.
        w->RichEdit2->setFocus();
        QVERIFY(QTest::qWaitFor([&w] { return w->RichEdit2->hasFocus(); }));
        QVERIFY(w->behaviour->HelpUrl().endsWith("/help/index.htm"));
    }

    // What a browser opened on the page the viewer was given ends up at:
    // the page itself, or where a page written to forward the anchor leads.
    static QString ForwardedTarget(const QString& given)
    {
        const QString path = given.startsWith("file://") ? QUrl(given).toLocalFile() : given;
        const std::string page = ReadFile(path);
        const size_t at = page.find("url=");
        if (at == std::string::npos)
            return given;
        return QString::fromStdString(page.substr(at + 4, page.find('"', at) - at - 4));
    }

    // A program that writes down its first argument into out, whole or not
    // at all, so that a test can wait for the file.
    static void WriteArgumentRecorder(const QString& program, const QString& out)
    {
        WriteFile(program, "#!/bin/sh\nprintf '%s' \"$1\" > " + out.toStdString() + ".tmp && mv " + out.toStdString() +
                               ".tmp " + out.toStdString() + "\n");
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }

    void helpStartsTheViewer()
    {
        // A stand-in for xdg-open that writes down its argument.
        QTemporaryDir bin;
        const QString out = bin.path() + "/args";
        WriteArgumentRecorder(bin.path() + "/xdg-open", out);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);
        qputenv("XDG_DATA_HOME", bin.path().toUtf8() + "/data");

        TempRegistry reg;
        Window w;
        FocusEditor(w);
        w->RichEdit1->setPlainText("while x");
        PlaceCaret(*w, 1);
        w->ShowCaretStatus();
        w->Hilfe1->trigger();
        QVERIFY(QTest::qWaitFor([&out] { return QFile::exists(out); }, 5000));
        QVERIFY(ForwardedTarget(QString::fromStdString(ReadFile(out))).endsWith("/help/helpStruktur.htm#while"));
        QFile::remove(out);
        // The tool button does the same.
        w->ToolButton10->trigger();
        QVERIFY(QTest::qWaitFor([&out] { return QFile::exists(out); }, 5000));
        QFile::remove(out);
        // Without an anchor the page itself is opened.
        w->RichEdit2->setFocus();
        QVERIFY(QTest::qWaitFor([&w] { return w->RichEdit2->hasFocus(); }));
        w->Hilfe1->trigger();
        QVERIFY(QTest::qWaitFor([&out] { return QFile::exists(out); }, 5000));
        QVERIFY(QString::fromStdString(ReadFile(out)).endsWith("/help/index.htm"));
        qputenv("PATH", oldPath);
        qunsetenv("XDG_DATA_HOME");
    }

    // Through the desktop's own xdg-open, which hands a browser a file URL
    // as a path without its anchor: the anchor must still arrive.
    void helpAnchorArrivesThroughXdgOpen()
    {
        if (QStandardPaths::findExecutable("xdg-open").isEmpty())
            QSKIP("xdg-open is not installed");
        QTemporaryDir home;
        const QString out = home.path() + "/given";
        const QString browser = home.path() + "/browser";
        WriteArgumentRecorder(browser, out);
        QDir().mkpath(home.path() + "/data/applications");
        QDir().mkpath(home.path() + "/config");
        WriteFile(home.path() + "/data/applications/standin.desktop",
                  "[Desktop Entry]\nType=Application\nName=Standin\nExec=" + browser.toStdString() +
                      " %u\nMimeType=text/html;\n");
        WriteFile(home.path() + "/config/mimeapps.list", "[Default Applications]\ntext/html=standin.desktop\n");
        // A plain X desktop as xdg-open sees it, with the stand-in as the
        // browser both by its MIME default and by BROWSER.
        const char* const vars[] = {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "BROWSER", "DISPLAY", "XDG_CURRENT_DESKTOP",
                                    "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"};
        std::vector<std::pair<QByteArray, QByteArray>> saved;
        for (const char* v : vars)
            saved.emplace_back(v, qgetenv(v));
        for (const char* v : vars)
            qunsetenv(v);
        qputenv("XDG_DATA_HOME", home.path().toUtf8() + "/data");
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8() + "/config");
        qputenv("BROWSER", browser.toUtf8());
        qputenv("DISPLAY", ":97");

        TempRegistry reg;
        Window w;
        FocusEditor(w);
        w->RichEdit1->setPlainText("x = htget(u)");
        PlaceCaret(*w, 6);
        w->ShowCaretStatus();
        w->Hilfe1->trigger();
        const bool given = QTest::qWaitFor([&out] { return QFile::exists(out); }, 10000);
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name.constData()) : qputenv(name.constData(), value);
        QVERIFY(given);
        const QString target = ForwardedTarget(QString::fromStdString(ReadFile(out)));
        QVERIFY2(target.startsWith("file://") && target.endsWith("/help/helpFunktionen.htm#htget"), qPrintable(target));
    }

    void fontApplyKeepsTheSelection()
    {
        TempRegistry reg;
        Window w;
        w.show();
        w->RichEdit1->setPlainText("print 1\nprint 2");
        w->RichEdit2->setPlainText("Ausgabe");
        QTextCursor c = w->RichEdit1->textCursor();
        c.setPosition(2);
        c.setPosition(9, QTextCursor::KeepAnchor);
        w->RichEdit1->setTextCursor(c);
        w->modified = false;
        QFont font(QStringLiteral("DejaVu Sans Mono"), 14);
        w->behaviour->FontDialog1Apply(font);
        QCOMPARE(w->RichEdit1->textCursor().selectionStart(), 2);
        QCOMPARE(w->RichEdit1->textCursor().selectionEnd(), 9);
        QCOMPARE(w->editorFont.name, std::string("DejaVu Sans Mono"));
        QCOMPARE(w->editorFont.size, 14u);
        QCOMPARE(w->RichEdit1->font().pointSize(), 14);
        QCOMPARE(w->RichEdit2->font().pointSize(), 14);
        // A new font is no change of the script.
        QVERIFY(!w->modified);
    }
};

QTEST_MAIN(EditorBehaviourTest)
#include "test_editor_behaviour.moc"

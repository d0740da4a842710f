// Run control of the main window: the controls through a run, pause, single
// step and stop, the input dialog, the final messages and the output pane.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "editor/history.h"
#include "editor/input_dialog.h"
#include "editor/zp_rich_edit.h"
#include "window_test.h"
#include "interpreter/output.h"
#include "platform/process_memory.h"

#include <algorithm>

namespace {

// Runs f on the first modal dialog that comes up.
void WhenModal(std::function<void(QWidget*)> f)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start(5);
}

struct States {
    bool run, stop, pause, step, fileCmds, tools, stopTool;
};

}  // namespace

class RunControlTest : public WindowTest {
    Q_OBJECT

    // With recent, that script is opened first, so that it becomes the
    // second recent script (Ctrl+2).
    std::unique_ptr<Window> withScript(const std::string& text, const std::string& recent = {})
    {
        QStringList paths;
        if (!recent.empty()) {
            paths << files->filePath("anderes.skl");
            WriteFile(paths.back(), recent);
        }
        paths << files->filePath("s.skl");
        WriteFile(paths.back(), text);
        auto w = std::make_unique<Window>();
        w->show();
        for (const QString& path : paths) {
            std::string p = path.toStdString();
            (*w)->OpenScript(&p);
        }
        return w;
    }

    // Opens the second recent script as its menu item does.
    static void openRecent(TForm1& w)
    {
        QVERIFY(w.history->Get(1).ends_with("anderes.skl"));
        w.history->Item(1)->trigger();
        QCOMPARE(w.scriptPath, w.history->Get(0));
    }

    static void checkStates(TForm1& w, const States& s, const char* where)
    {
        const QString at = QString::fromLatin1(where);
        QVERIFY2(w.Ausfhren1->isEnabled() == s.run, qPrintable(at + ": Ausführen"));
        QVERIFY2(w.Anhalten1->isEnabled() == s.stop, qPrintable(at + ": Anhalten"));
        QVERIFY2(w.Unterbrechen1->isEnabled() == s.pause, qPrintable(at + ": Unterbrechen"));
        QVERIFY2(w.Einzelschritt1->isEnabled() == s.step, qPrintable(at + ": Einzelschritt"));
        for (QAction* a : {w.NeuesSkript1, w.Skriptffnen1, w.Programmparameter1})
            QVERIFY2(a->isEnabled() == s.fileCmds, qPrintable(at + ": " + a->objectName()));
        for (QAction* a : {w.ToolButton3, w.ToolButton7, w.ToolButton8})
            QVERIFY2(a->isEnabled() == s.tools, qPrintable(at + ": " + a->objectName()));
        QVERIFY2(w.ToolButton4->isEnabled() == s.stopTool, qPrintable(at + ": ToolButton4"));
    }

private slots:
    void controlsFollowTheRun()
    {
        auto w = withScript("n = 0\r\nwhile 1 eq 1 do\r\nn = n + 1\r\ndone");
        TForm1& f = **w;
        checkStates(f, {true, false, false, true, true, true, false}, "loaded");

        f.RunScript(false);
        QVERIFY(QTest::qWaitFor([&] { return f.RichEdit1->isReadOnly(); }));
        checkStates(f, {false, true, true, false, false, false, true}, "run start");

        f.Unterbrechen1Click();  // F8: pause
        QCOMPARE(f.skript->runMode.load(), 1);
        QVERIFY(f.Einzelschritt1->isEnabled());
        QTest::qWait(50);
        checkStates(f, {false, true, true, true, false, false, true}, "paused");

        f.Einzelschritt1Click();  // F7 while paused: one line
        QVERIFY(!f.Unterbrechen1->isEnabled() && !f.Einzelschritt1->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return f.Einzelschritt1->isEnabled(); }));
        checkStates(f, {false, true, true, true, false, false, true}, "after a step");
        QVERIFY2(f.StatusText(0).startsWith("Zeile ") && f.StatusText(0).endsWith("  ...Ok."),
                 qPrintable(f.StatusText(0)));
        QCOMPARE(f.RichEdit1->textCursor().selectedText().size(), 1);

        f.Unterbrechen1Click();  // F8: go on
        QCOMPARE(f.skript->runMode.load(), 0);
        QVERIFY(!f.Einzelschritt1->isEnabled());
        QCOMPARE(f.OutputLines(), (std::vector<std::string>{"Unterbrochen.", "Fortgesetzt..."}));

        QTest::keyClick(f.RichEdit1, Qt::Key_Escape);  // Esc stops
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QVERIFY(w->boxes.seen.contains("Notiz|Abbruch durch Benutzer."));
        checkStates(f, {true, false, false, true, true, true, false}, "run ended");
        QVERIFY(!f.RichEdit1->isReadOnly());
    }

    void singleStepFromNoRun()
    {
        auto w = withScript("a = 1\r\nb = 2\r\nc = 3");
        TForm1& f = **w;
        f.Einzelschritt1Click();
        QVERIFY(QTest::qWaitFor([&] { return f.Einzelschritt1->isEnabled(); }));
        QCOMPARE(f.RichEdit1->textCursor().selectionStart(), 0);
        QCOMPARE(f.StatusText(0), QString("Zeile 1 von 3: a = 1  ...Ok."));
        QVERIFY(f.skript->running);

        f.Einzelschritt1Click();
        QVERIFY(QTest::qWaitFor([&] { return f.Einzelschritt1->isEnabled(); }));
        QCOMPARE(f.RichEdit1->textCursor().selectionStart(), 6);  // "b": a line break counts once here
        QCOMPARE(f.RichEdit1->textCursor().selectedText(), QString("b"));
        QCOMPARE(f.StatusText(0), QString("Zeile 2 von 3: b = 2  ...Ok."));

        f.Einzelschritt1Click();
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QVERIFY(w->boxes.seen.isEmpty());
        QCOMPARE(f.skript->vars->GetValue("c"), std::string("3"));
    }

    void stopWhilePausedIsQuick()
    {
        auto w = withScript("while 1 eq 1 do\r\ndone");
        TForm1& f = **w;
        QElapsedTimer clock;
        qint64 noteAt = -1;
        f.boxFunction = [&](const QString& text, const QString&, int) {
            if (text == "Abbruch durch Benutzer.")
                noteAt = clock.elapsed();
            return int(IDOK);
        };
        f.RunScript(false);
        f.Unterbrechen1Click();
        QVERIFY(QTest::qWaitFor([&] { return f.Einzelschritt1->isEnabled(); }));
        QTest::qWait(30);
        clock.start();
        f.ToolButton4->trigger();
        QVERIFY(QTest::qWaitFor([&] { return noteAt >= 0; }, 2000));
        QVERIFY2(noteAt < 100, qPrintable(QString::number(noteAt)));
        QVERIFY(RunEnded(f));
    }

    // Wherever the loop is when the script comes, the run goes on with the
    // line after it in the new script: there the loop ends after its next
    // test, the open loop closes, and the last line prints.
    void aScriptOpenedDuringARunIsWhatItGoesOnWith()
    {
        auto w = withScript("n = 0\r\nwhile 1 eq 1 do\r\nn = n + 1\r\ndone\r\nprint(\"alt\")",
                            "print(\"nie\")\r\nwhile 0 eq 1 do\r\nn = n + 1\r\ndone\r\nprint(\"neu\")");
        TForm1& f = **w;
        f.RunScript(false);
        QVERIFY(QTest::qWaitFor([&] { return f.RichEdit1->isReadOnly(); }));
        openRecent(f);
        // The controls stay with the run: F9 now would wait for it.
        const bool controlsKept = !f.Ausfhren1->isEnabled() && f.Anhalten1->isEnabled();
        const bool ended = RunEnded(f);
        if (!ended)
            f.ToolButton4Click();
        QVERIFY(ended);
        QCoreApplication::processEvents();
        QCOMPARE(f.OutputLines(), std::vector<std::string>{"neu"});
        QVERIFY2(w->boxes.seen.isEmpty(), qPrintable(w->boxes.seen.join('\n')));
        QVERIFY(controlsKept);
        QVERIFY(f.Ausfhren1->isEnabled());
        QVERIFY(!f.RichEdit1->isReadOnly());
    }

    // Paused before line 3, the run meets a script of two lines: it ends
    // there, as at the end of any script, and runs none of the old lines.
    void aShorterScriptEndsTheRun()
    {
        auto w = withScript("a = 1\r\nb = 2\r\nc = 3\r\nd = 4", "print(\"x\")\r\nprint(\"y\")");
        TForm1& f = **w;
        f.Einzelschritt1Click();
        QVERIFY(QTest::qWaitFor([&] { return f.Einzelschritt1->isEnabled(); }));
        f.Einzelschritt1Click();
        QVERIFY(QTest::qWaitFor([&] { return f.Einzelschritt1->isEnabled(); }));
        QCOMPARE(f.skript->curLine.load(), 2);
        openRecent(f);
        f.Einzelschritt1Click();
        const bool ended = RunEnded(f);
        if (!ended)
            f.ToolButton4Click();
        QVERIFY(ended);
        QCoreApplication::processEvents();
        QVERIFY(f.OutputLines().empty());
        QVERIFY2(w->boxes.seen.isEmpty(), qPrintable(w->boxes.seen.join('\n')));
        QCOMPARE(f.skript->vars->GetValue("b"), std::string("2"));
        QVERIFY(!f.skript->vars->Find("c"));
    }

    // Enter in the read-only editor of a run changes no line, not even by
    // the indent that follows a line break.
    void enterDuringARunLeavesTheScript()
    {
        const std::string script = "  while 1 eq 1 do\r\n  done";
        auto w = withScript(script);
        TForm1& f = **w;
        f.RunScript(false);
        QVERIFY(QTest::qWaitFor([&] { return f.RichEdit1->isReadOnly(); }));
        PlaceCaret(f, 4);
        QTest::keyClick(f.RichEdit1, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(f.EditorText(), script);
        f.ToolButton4Click();
        QVERIFY(RunEnded(f));
    }

    void inputDialog_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<std::string>("printed");
        QTest::newRow("ok") << "ok" << std::string("Anna");
        QTest::newRow("enter") << "enter" << std::string("Anna");
        QTest::newRow("cancel") << "cancel" << std::string("");
        QTest::newRow("escape") << "escape" << std::string("");
        QTest::newRow("closed") << "close" << std::string("");
    }
    void inputDialog()
    {
        QFETCH(QString, action);
        auto w = withScript("a = input(\"Wie hei\xDF" "en Sie?\", \"vor\")\r\nprint(\"[\" . a . \"]\")");
        TForm1& f = **w;
        QString prompt, preset;
        WhenModal([&](QWidget* modal) {
            auto* d = qobject_cast<TForm9*>(modal);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Eingabe"));
            prompt = d->Label1->text();
            preset = d->Edit1->text();
            d->Edit1->setText("Anna");
            if (action == "ok")
                d->Button1->click();
            else if (action == "cancel")
                d->Button2->click();
            else if (action == "enter")
                QTest::keyClick(d->Edit1, Qt::Key_Return);
            else if (action == "escape")
                QTest::keyClick(d->Edit1, Qt::Key_Escape);
            else
                d->close();
        });
        f.RunScript(false);
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QCOMPARE(prompt, QString::fromUtf8("Wie heißen Sie?"));
        QCOMPARE(preset, QString("vor"));
        QFETCH(std::string, printed);
        QCOMPARE(f.OutputLines(), std::vector<std::string>{"[" + printed + "]"});
        QVERIFY(w->boxes.seen.isEmpty());
    }

    void errorLineIsSelectedWithItsNote()
    {
        auto w = withScript("a = 1\r\n5\r\nc = 3");
        TForm1& f = **w;
        f.RunScript(false);
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QCOMPARE(w->boxes.seen, QStringList{"Notiz|Zeile 2: Die linke Seite eines Ausdrucks muss eine Variable sein"});
        QTextCursor c = f.RichEdit1->textCursor();
        QCOMPARE(c.selectionStart(), 6);
        QCOMPARE(c.selectedText(), QString("5"));
        QVERIFY(!f.RichEdit1->isReadOnly());
        QVERIFY(!f.skript->vars->Find("c"));
    }

    void alertAnswers()
    {
        auto w = withScript("x = alert(\"a\", \"b\")\r\ny = alert(\"c\")\r\nprint(x + y)");
        TForm1& f = **w;
        w->boxes.answers = {IDCANCEL, IDOK};
        f.RunScript(false);
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QCOMPARE(w->boxes.seen, (QStringList{"Nachricht|ab", "Nachricht|c"}));
        QCOMPARE(f.OutputLines(), std::vector<std::string>{"3"});
    }

    void browseWithoutBrowserWindow()
    {
        auto w = withScript("base = \"http://h.example/dir/seite.htm\"\r\nbrowse(\"<HTML><head></head>x</html>\")\r\nprint(1)");
        TForm1& f = **w;
        std::string page = f.settings().dataDir + "/_skimlark0.html";
        std::remove(page.c_str());
        f.RunScript(false);
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QCOMPARE(w->boxes.seen, QStringList{QString::fromUtf8("Notiz|Zeile 2: Das Browserfenster ist nicht verfügbar.")});
        QCOMPARE(ReadFile(QString::fromStdString(page)),
                 std::string("<HTML><head><base href=\"http://h.example/dir/\"></head>x</html>"));
        QVERIFY(f.OutputLines().empty());
    }

    void outputPaneLimit()
    {
        auto w = withScript("x = 1");
        TForm1& f = **w;
        f.settings().maxOutputLines = 3;
        for (const char* l : {"a", "b", "c", "d"})
            AppendOutput(f, "%s", l);
        QCOMPARE(f.OutputLines(), (std::vector<std::string>{"b", "c", "d"}));
        // A text with its own break is one write: the trim before it makes room
        // for one line only, and later trims count both of its lines.
        AppendOutput(f, "e\r\nf");
        QCOMPARE(f.OutputLines(), (std::vector<std::string>{"c", "d", "e", "f"}));
        AppendOutput(f, "g");
        QCOMPARE(f.OutputLines(), (std::vector<std::string>{"e", "f", "g"}));
        f.settings().maxOutputLines = 0;
        AppendOutput(f, "g");
        QCOMPARE(f.OutputLines(), std::vector<std::string>{"g"});
        f.ClearOutput();
        QVERIFY(f.OutputLines().empty());
    }

    void manyLinesArriveInOrder()
    {
        auto w = withScript("for i = 1 to 20000\r\nprint(i)\r\nnext");
        TForm1& f = **w;
        f.RunScript(false);
        QVERIFY(RunEnded(f, 60000));
        // The window takes the last lines in slices after the run's end.
        std::vector<std::string> out;
        QVERIFY(QTest::qWaitFor([&] { return (out = f.OutputLines()).size() >= 20000; }, 10000));
        QCOMPARE(out.size(), size_t(20000));  // print is not limited
        QCOMPARE(out.front(), std::string("1"));
        QCOMPARE(out[9999], std::string("10000"));
        QCOMPARE(out.back(), std::string("20000"));
        QVERIFY(w->boxes.seen.isEmpty());
    }

    // A run that writes without end. Stop and pause come from timers of the
    // window's own loop, so they are late when the flood holds the loop; the
    // run follows them at once, and memory stays bounded.
    void floodFollowsStopAndPauseAtOnce_data()
    {
        QTest::addColumn<std::string>("line");
        QTest::addColumn<bool>("pauseFirst");
        QTest::newRow("print, stop") << std::string("print(\"zeile \", n)") << false;
        QTest::newRow("dump, stop") << std::string("dump(\"zeile \" . n)") << false;
        QTest::newRow("print, pause") << std::string("print(\"zeile \", n)") << true;
        QTest::newRow("dump, pause") << std::string("dump(\"zeile \" . n)") << true;
    }
    void floodFollowsStopAndPauseAtOnce()
    {
        QFETCH(std::string, line);
        QFETCH(bool, pauseFirst);
        auto w = withScript("while 1 eq 1 do\r\nn = n + 1\r\n" + line + "\r\ndone");
        TForm1& f = **w;
        QElapsedTimer clock;
        qint64 pausedAt = -1, stopAt = -1, noteAt = -1;
        f.boxFunction = [&](const QString& text, const QString&, int) {
            if (text == "Abbruch durch Benutzer.")
                noteAt = clock.elapsed();
            return int(IDOK);
        };
        const std::uint64_t before = platform::ProcessMemoryUsed();
        constexpr qint64 kLate = 100;
        clock.start();
        f.RunScript(false);
        // What the run wrote after the pause was taken: at most the rest of
        // the statement in progress.
        std::vector<std::string> afterPause;
        if (pauseFirst) {
            QTimer::singleShot(1000, &f, [&] {
                pausedAt = clock.elapsed();
                QTest::keyClick(&f, Qt::Key_F8);
            });
            QVERIFY(QTest::qWaitFor([&] { return pausedAt >= 0; }, 20000));
            QVERIFY2(pausedAt - 1000 < kLate, qPrintable(QString::number(pausedAt)));
            QTest::qWait(300);
            const std::vector<std::string> out = f.OutputLines();
            auto mark = std::find(out.begin(), out.end(), std::string("Unterbrochen."));
            QVERIFY(mark != out.end());
            afterPause.assign(mark + 1, out.end());
            QVERIFY2(afterPause.size() <= 1, qPrintable(QString::number(afterPause.size())));
            QTest::qWait(200);
            QCOMPARE(f.OutputLines().size(), out.size());
        }
        QTimer::singleShot(pauseFirst ? 0 : 1500, &f, [&] {
            stopAt = clock.elapsed();
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        QVERIFY(QTest::qWaitFor([&] { return noteAt >= 0; }, 20000));
        if (!pauseFirst)
            QVERIFY2(stopAt - 1500 < kLate, qPrintable(QString::number(stopAt)));
        QVERIFY2(noteAt - stopAt < kLate, qPrintable(QString::number(noteAt - stopAt)));
        QVERIFY(RunEnded(f));
        const std::uint64_t grown = platform::ProcessMemoryUsed() - std::min(before, platform::ProcessMemoryUsed());
        QVERIFY2(grown < (std::uint64_t(200) << 20), qPrintable(QString::number(grown >> 20) + " MB"));
    }

    // Started with the script on the command line, the program ends as soon
    // as a run that wrote a flood of lines ends, not when the window has
    // caught up with them.
    void commandLineFloodEndsWithItsRun()
    {
        QString path = files->filePath("flut.skl");
        WriteFile(path, "for i = 1 to 100000\r\ndump(\"zeile \" . i)\r\nnext");
        Window w({path});
        w.show();
        QVERIFY(QTest::qWaitFor([&] { return w->skript && w->skript->Finished(); }, 120000));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QTest::qWaitFor([&] { return !w.exits.isEmpty(); }, 10000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

    // Long lines leave the pane's left edge in view, unless the user moved it.
    void longLinesKeepTheLeftEdgeInView()
    {
        auto w = withScript("x = 1");
        TForm1& f = **w;
        f.resize(400, 400);
        QScrollBar* sideways = f.RichEdit2->horizontalScrollBar();
        const std::string url = "http://127.0.0.1:41217/produkte?seite=" + std::string(400, '1');
        AppendOutput(f, "%s", url.c_str());
        AppendOutput(f, "%s", url.c_str());
        QCoreApplication::processEvents();
        QVERIFY(sideways->maximum() > 0);
        QCOMPARE(sideways->value(), 0);
        sideways->setValue(sideways->maximum() / 2);
        AppendOutput(f, "%s", url.c_str());
        QCoreApplication::processEvents();
        QCOMPARE(sideways->value(), sideways->maximum() / 2);
    }

    void escWithoutRunAndRestart()
    {
        auto w = withScript("print(\"x\")");
        TForm1& f = **w;
        QTest::keyClick(f.RichEdit1, Qt::Key_Escape);  // nothing to stop
        QVERIFY(!f.skript);
        f.RunScript(false);
        QVERIFY(RunEnded(f));
        Skript* first = f.skript.get();
        QTest::keyClick(f.RichEdit1, Qt::Key_Escape);  // flags the ended run only
        QVERIFY(first->stop);
        f.RunScript(false);
        QVERIFY(RunEnded(f));
        QCoreApplication::processEvents();
        QCOMPARE(f.OutputLines(), std::vector<std::string>{"x"});
        QVERIFY(w->boxes.seen.isEmpty());
    }

    void closingDuringARunEndsAtOnce()
    {
        auto w = withScript("while 1 eq 1 do\r\ndone");
        TForm1& f = **w;
        f.RunScript(false);
        QVERIFY(QTest::qWaitFor([&] { return f.skript->running.load(); }));
        f.close();
        QCOMPARE(w->exits, QList<int>{0});
        QVERIFY(f.skript->running);  // neither stopped nor awaited
        QCOMPARE(platform::LoadAppSettingsReadOnly().scriptPath, files->filePath("s.skl").toStdString());
    }
};

QTEST_MAIN(RunControlTest)
#include "moc_window_test.cpp"
#include "test_run_control.moc"

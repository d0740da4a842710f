// Script files of the main window: load and save, the save questions, the
// first load and the recent scripts.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTextCursor>
#include <sys/stat.h>

#include "editor/history.h"
#include "editor/script_file.h"
#include "editor/zp_rich_edit.h"
#include "window_test.h"
#include "platform/app_settings.h"
#include "platform/registry.h"
#include "support/small_filesystem.h"

class ScriptFilesTest : public WindowTest {
    Q_OBJECT

    QString file(const char* name) const { return files->filePath(QString::fromUtf8(name)); }
    std::string nfile(const char* name) const { return file(name).toStdString(); }

    // A shown window with a script loaded from disk.
    std::unique_ptr<Window> withScript(const char* name, const std::string& bytes)
    {
        WriteFile(file(name), bytes);
        auto w = std::make_unique<Window>();
        w->show();
        w->dialogs.openCalls.clear();
        std::string path = nfile(name);
        (*w)->OpenScript(&path);
        return w;
    }

private slots:
    void extensionRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no dot") << "/d/skript" << "/d/skript.skl";
        QTest::newRow("one to four after the dot") << "/d/a.txt" << "/d/a.txt";
        QTest::newRow("four") << "/d/a.html" << "/d/a.html";
        QTest::newRow("five or more") << "/d/a.backup" << "/d/a.backup.skl";
        QTest::newRow("ends in a dot") << "/d/a." << "/d/a.";
        QTest::newRow("dot in a folder, short") << "/d.x/ab" << "/d.x/ab";
        QTest::newRow("dot in a folder, long") << "/d.old/skript" << "/d.old/skript.skl";
    }
    void extensionRule()
    {
        QFETCH(QString, typed);
        QTEST(QString::fromStdString(WithScriptExtension(typed.toStdString())), "saved");
    }

    void saveAsAppendsTheExtensionAndReports()
    {
        Window w;
        w.show();
        w->RichEdit1->setPlainText("print(1)\nprint(2)");
        QVERIFY(w->modified);
        w.dialogs.saveAnswers = {file("neu")};
        QVERIFY(w->Speichernunter1Click());
        QCOMPARE(QString::fromStdString(w->scriptPath), file("neu.skl"));
        QCOMPARE(ReadFile(file("neu.skl")), std::string("print(1)\r\nprint(2)"));
        QCOMPARE(w->StatusText(0), file("neu.skl") + ": 2 Zeilen gespeichert.");
        QVERIFY(!w->modified);
        QVERIFY(!w->Skriptspeichern1->isEnabled() && !w->ToolButton9->isEnabled());
        QCOMPARE(w->history->Get(0), w->scriptPath);
        QCoreApplication::processEvents();
        QCOMPARE(w->windowTitle(), "Skimlark 1.08.20: " + file("neu.skl"));
    }

    void fileBytesSurviveLoadAndSave()
    {
        // Windows-1252 with CR LF, an empty line, no line end after the last.
        const std::string bytes = "a = \"K\xF6ln\"\r\n\r\nprint(a)";
        auto w = withScript("k.skl", bytes);
        QCOMPARE((*w)->RichEdit1->toPlainText(), QString::fromUtf8("a = \"Köln\"\n\nprint(a)"));
        QCOMPARE((*w)->EditorLines().size(), size_t(3));
        QCOMPARE((*w)->StatusText(0), file("k.skl") + ": 3 Zeilen");
        QVERIFY(!(*w)->modified);
        QVERIFY((*w)->Skriptspeichern1Click());
        QCOMPARE(ReadFile(file("k.skl")), bytes);

        // Lone LF and CR are line breaks too; saving writes CR LF.
        auto w2 = withScript("lf.skl", "x\ny\rz\r\n");
        QCOMPARE((*w2)->EditorLines(), (std::vector<std::string>{"x", "y", "z"}));
        QVERIFY((*w2)->SaveScriptFile(nfile("lf.skl")));
        QCOMPARE(ReadFile(file("lf.skl")), std::string("x\r\ny\r\nz\r\n"));
    }

    // A file keeps its encoding through load and save; the run gets the
    // same Windows-1252 bytes from each.
    void encodingOfTheFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("typedSaved");
        QTest::newRow("Windows-1252")
            << QByteArray("x = \"J\xF6rg \xBB\"\r\nprint(x)") << QString::fromUtf8("x = \"Jörg »\"\nprint(x)")
            << QByteArray("\xE4x = \"J\xF6rg \xBB\"\r\nprint(x)");
        QTest::newRow("UTF-8")
            << QByteArray("x = \"J\xC3\xB6rg \xC2\xBB\"\r\nprint(x)") << QString::fromUtf8("x = \"Jörg »\"\nprint(x)")
            << QByteArray("\xC3\xA4x = \"J\xC3\xB6rg \xC2\xBB\"\r\nprint(x)");
        QTest::newRow("UTF-8 with its mark")
            << QByteArray("\xEF\xBB\xBFx = \"J\xC3\xB6rg \xC2\xBB\"\r\nprint(x)")
            << QString::fromUtf8("x = \"Jörg »\"\nprint(x)")
            << QByteArray("\xEF\xBB\xBF\xC3\xA4x = \"J\xC3\xB6rg \xC2\xBB\"\r\nprint(x)");
    }
    void encodingOfTheFileIsKept()
    {
        QFETCH(QByteArray, bytes);
        auto w = withScript("e.skl", bytes.toStdString());
        QTEST((*w)->RichEdit1->toPlainText(), "shown");
        QCOMPARE((*w)->EditorLines(), (std::vector<std::string>{"x = \"J\xF6rg \xBB\"", "print(x)"}));
        QVERIFY((*w)->SaveScriptFile(nfile("e.skl")));
        QCOMPARE(ReadFile(file("e.skl")), bytes.toStdString());
        QTextCursor c((*w)->RichEdit1->document());
        c.insertText(QString::fromUtf8("ä"));
        QVERIFY((*w)->Skriptspeichern1Click());
        QTEST(QByteArray::fromStdString(ReadFile(file("e.skl"))), "typedSaved");
        // A new script is Windows-1252 again.
        (*w)->NeuesSkript1Click();
        (*w)->RichEdit1->setPlainText(QString::fromUtf8("ü"));
        w->dialogs.saveAnswers = {file("n.skl")};
        QVERIFY((*w)->Skriptspeichern1Click());
        QCOMPARE(ReadFile(file("n.skl")), std::string("\xFC"));
    }

    void utf8KeepsWhatWindows1252Lacks()
    {
        const std::string bytes = "print(\"\xE2\x86\x92 \xE2\x82\xAC\")\r\n";
        auto w = withScript("pfeil.skl", bytes);
        QCOMPARE((*w)->EditorLines(), std::vector<std::string>{"print(\"? \x80\")"});
        QVERIFY((*w)->SaveScriptFile(nfile("pfeil.skl")));
        QCOMPARE(ReadFile(file("pfeil.skl")), bytes);
    }

    void utf16IsNamedAndNotLoaded()
    {
        auto w = withScript("a.skl", "print(1)");
        w->boxes.seen.clear();
        WriteFile(file("w.skl"), std::string("\xFF\xFEp\0r\0", 6));
        std::string path = nfile("w.skl");
        (*w)->OpenScript(&path);
        QCOMPARE(w->boxes.seen.size(), 1);
        QCOMPARE(w->boxes.seen[0], "Notiz|Die Datei " + file("w.skl") +
                                       " ist in UTF-16 gespeichert. Skripte werden in UTF-8 oder Windows-1252 "
                                       "gelesen: bitte die Datei in einer dieser Codierungen speichern.");
        QCOMPARE((*w)->RichEdit1->toPlainText(), QString());
    }

    // The no-break space stays one in the run and in the file.
    void theRunAndTheFileGetTheSameBytes()
    {
        const std::string bytes = "x = \"a\xA0" "b\"\r\nprint(instr(x, \" \"))";
        auto w = withScript("nbsp.skl", bytes);
        QCOMPARE((*w)->EditorLines()[0], std::string("x = \"a\xA0" "b\""));
        QVERIFY((*w)->SaveScriptFile(nfile("nbsp.skl")));
        QCOMPARE(ReadFile(file("nbsp.skl")), bytes);
        auto w2 = withScript("nbsp.skl", ReadFile(file("nbsp.skl")));
        QCOMPARE((*w2)->EditorText(), bytes);
        // Typed into the editor, too.
        (*w2)->RichEdit1->setPlainText(QString::fromUtf8("y = \"c\u00A0d\"\n"));
        QCOMPARE((*w2)->EditorText(), std::string("y = \"c\xA0" "d\"\r\n"));
        QCOMPARE((*w2)->EditorLines(), std::vector<std::string>{"y = \"c\xA0" "d\""});
        // Shift+Enter ends a line as Enter does, not with a separator inside it.
        (*w2)->RichEdit1->setPlainText("a");
        (*w2)->RichEdit1->moveCursor(QTextCursor::End);
        QTest::keyClick((*w2)->RichEdit1, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks((*w2)->RichEdit1, "b");
        QCOMPARE((*w2)->EditorLines(), (std::vector<std::string>{"a", "b"}));
        QCOMPARE((*w2)->EditorText(), std::string("a\r\nb"));
    }

    void failedWriteIsReported()
    {
        Window w;
        w.show();
        w->RichEdit1->setPlainText("x = 1");
        w.boxes.seen.clear();
        w.dialogs.saveAnswers = {file("fehlt/a.skl")};
        QVERIFY(!w->Speichernunter1Click());
        QCOMPARE(w.boxes.seen.size(), 1);
        QCOMPARE(w.boxes.seen[0], "Notiz|Fehler " + file("fehlt/a.skl") + QString::fromUtf8(": Datei oder Ordner nicht gefunden"));
        QVERIFY(!w->StatusText(0).contains("gespeichert"));
        QVERIFY(w->modified);
        QVERIFY(w->Skriptspeichern1->isEnabled());
    }

    void saveWithoutPathAsksForOne()
    {
        Window w;
        w.show();
        w->scriptPath.clear();
        w->RichEdit1->setPlainText("x = 1");
        QVERIFY(!w->Skriptspeichern1Click());  // the dialog is cancelled
        QCOMPARE(w.dialogs.saveCalls.size(), 1);
        QVERIFY(w->modified);
        QVERIFY(w->Skriptspeichern1->isEnabled());
    }

    void saveQuestionOfNewScript()
    {
        auto w = withScript("q.skl", "alt");
        (*w)->RichEdit1->setPlainText("geändert");
        w->boxes.seen.clear();
        w->boxes.answers = {IDCANCEL};
        (*w)->NeuesSkript1Click();
        QCOMPARE(w->boxes.seen, QStringList{QString::fromUtf8("Frage|Skript wurde geändert. Speichern?")});
        QCOMPARE((*w)->RichEdit1->toPlainText(), QString::fromUtf8("geändert"));

        w->boxes.answers = {IDNO};
        (*w)->NeuesSkript1Click();
        QVERIFY((*w)->RichEdit1->toPlainText().isEmpty());
        QVERIFY((*w)->scriptPath.empty());
        QVERIFY(!(*w)->modified);
        QCOMPARE(ReadFile(file("q.skl")), std::string("alt"));
    }

    void cancelledOpenDialogKeepsTheText()
    {
        auto w = withScript("o.skl", "behalten");
        (*w)->Skriptffnen1Click();
        QCOMPARE(w->dialogs.openCalls, QStringList{QString::fromUtf8("Skriptdatei öffnen|") + file("o.skl")});
        QCOMPARE((*w)->RichEdit1->toPlainText(), QString("behalten"));
        QVERIFY((*w)->scriptPath.empty());
    }

    void bothDialogsHaveTheScriptAndAllFilesFilters()
    {
        Window w;
        QStringList filters;
        auto record = [&filters](const QString&, const QString& filter, const QString&) {
            filters << filter;
            return QString();
        };
        w->openFileDialog = record;
        w->saveFileDialog = record;
        w->Skriptffnen1Click();
        w->Speichernunter1Click();
        QCOMPARE(filters, QStringList(2, QStringLiteral("Skimlarkdateien (*.skl);;Alle Dateien (*.*)")));
    }

    void firstStartProposesTheDemoScript()
    {
        Window w;
        w.show();
        QVERIFY(w.boxes.seen.isEmpty());
        QCOMPARE(w.dialogs.openCalls.size(), 1);
        QCOMPARE(w.dialogs.openCalls[0],
                 QString::fromUtf8("Skriptdatei öffnen|") + QString::fromStdString(w->settings().programDir) +
                     "skripte/demo.skl");
        QVERIFY(!w->Ausfhren1->isEnabled());
    }

    void storedPathThatIsGone()
    {
        {
            platform::TRegistry r;
            QVERIFY(r.OpenKey(platform::kSettingsKey, true));
            r.WriteString("i2", nfile("weg.skl"));
        }
        Window w;
        w.show();
        QCOMPARE(w.boxes.seen.size(), 1);
        QVERIFY2(w.boxes.seen[0].startsWith("Notiz|" + file("weg.skl") + ": "), qPrintable(w.boxes.seen[0]));
        QCOMPARE(w.dialogs.openCalls.size(), 1);
        QVERIFY(w.dialogs.openCalls[0].endsWith(file("weg.skl")));
    }

    void closeQuery_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<std::string>("fileAfter");
        QTest::newRow("cancel") << int(IDCANCEL) << false << std::string("alt");
        QTest::newRow("no") << int(IDNO) << true << std::string("alt");
        QTest::newRow("yes") << int(IDYES) << true << std::string("neu");
    }
    void closeQuery()
    {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        auto w = withScript("c.skl", "alt");
        (*w)->RichEdit1->setPlainText("neu");
        w->boxes.seen.clear();
        w->boxes.answers = {answer};
        (*w)->close();
        QCOMPARE(w->boxes.seen, QStringList{QString::fromUtf8("Frage|Das Skript wurde geändert. Speichern?")});
        QCOMPARE(w->exits.size(), closes ? 1 : 0);
        QCOMPARE((*w)->isVisible(), !closes);
        QTEST(ReadFile(file("c.skl")), "fileAfter");
        // Settings are written only by a close that goes through.
        platform::AppSettings s = platform::LoadAppSettingsReadOnly();
        QCOMPARE(s.scriptPath == nfile("c.skl"), closes);
    }

    // Each command that asks to save before it gives the text up, after a
    // Yes whose save does not happen: the command stops, the text stays.
    void commandsStopWhenTheirSaveFails_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("readOnlyDisk");  // else: no path, save-as cancelled
        for (const char* c : {"new", "open", "recent", "close", "quit", "exit after run"}) {
            QTest::newRow(qPrintable(QString(c) + ", read-only disk")) << QString(c) << true;
            QTest::newRow(qPrintable(QString(c) + ", save-as cancelled")) << QString(c) << false;
        }
    }
    void commandsStopWhenTheirSaveFails()
    {
        QFETCH(QString, command);
        QFETCH(bool, readOnlyDisk);
        SmallFilesystem disk(64 * 1024);
        if (readOnlyDisk && !disk.mounted())
            QSKIP(SmallFilesystem::skipReason());
        WriteFile(file("anderes.skl"), "anderes");
        std::string other = nfile("anderes.skl");
        Window w;
        w.show();
        w->OpenScript(&other);  // a recent script to choose
        std::string path;
        if (readOnlyDisk) {
            path = disk.path() + "s.skl";
            WriteFile(QString::fromStdString(path), "alt");
            w->OpenScript(&path);
            QVERIFY(disk.makeReadOnly());
        } else {
            w->NeuesSkript1Click();
        }
        w->RichEdit1->setPlainText("getippt");
        w.boxes.seen.clear();
        w.dialogs.openCalls.clear();
        w.boxes.answers = {IDYES};

        // The user's keys where the command has one.
        QApplication::setActiveWindow(w.w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.w.get()));
        if (command == "new")
            QTest::keyClick(w->RichEdit1, Qt::Key_N, Qt::ControlModifier);
        else if (command == "open")
            QTest::keyClick(w->RichEdit1, Qt::Key_O, Qt::ControlModifier);
        else if (command == "recent")
            QTest::keyClick(w->RichEdit1, readOnlyDisk ? Qt::Key_2 : Qt::Key_1, Qt::ControlModifier);
        else if (command == "close")
            w->close();
        else if (command == "quit")
            QTest::keyClick(w->RichEdit1, Qt::Key_Q, Qt::ControlModifier);
        else
            w->OnExitAfterRun();
        QCOMPARE(w.boxes.seen.value(0), QString::fromUtf8(command == "new" || command == "open" || command == "recent"
                                                              ? "Frage|Skript wurde geändert. Speichern?"
                                                              : "Frage|Das Skript wurde geändert. Speichern?"));

        if (readOnlyDisk) {
            QCOMPARE(w.boxes.seen.size(), 2);
            QCOMPARE(w.boxes.seen[1], "Notiz|Fehler " + QString::fromStdString(path) +
                                          QString::fromUtf8(": Der Datenträger ist schreibgeschützt"));
        } else {
            QCOMPARE(w.dialogs.saveCalls.size(), 1);
        }
        QCOMPARE(w->RichEdit1->toPlainText(), QString("getippt"));
        QCOMPARE(w->scriptPath, path);
        QVERIFY(w->modified);
        QVERIFY(w.dialogs.openCalls.isEmpty());
        QVERIFY(w.exits.isEmpty());
        QVERIFY(w->isVisible());
        if (readOnlyDisk)
            QCOMPARE(ReadFile(QString::fromStdString(path)), std::string("alt"));
    }

    void fullDiskLeavesTheOldFileWhole()
    {
        SmallFilesystem disk(64 * 1024);
        if (!disk.mounted())
            QSKIP(SmallFilesystem::skipReason());
        const std::string old = "print(\"alt\")\r\n";
        QString path = QString::fromStdString(disk.path() + "voll.skl");
        WriteFile(path, old);
        QVERIFY(::chmod(path.toLocal8Bit().constData(), 0640) == 0);
        Window w;
        w.show();
        std::string native = path.toStdString();
        w->OpenScript(&native);
        disk.fill();
        const QString pasted = QString(8192, QChar('x')) + "\n";
        w->RichEdit1->setPlainText(pasted + "print(\"alt\")\n");
        w.boxes.seen.clear();

        QVERIFY(!w->Skriptspeichern1Click());
        QCOMPARE(w.boxes.seen, QStringList{"Notiz|Fehler " + path +
                                           QString::fromUtf8(": Kein freier Platz auf dem Datenträger")});
        QCOMPARE(ReadFile(path), old);
        QVERIFY(w->modified);
        // Nothing half written is left beside it, nor a new file that did not fit.
        QVERIFY(!w->SaveScriptFile(disk.path() + "neu.skl"));
        QDir dir(QString::fromStdString(disk.path()));
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "voll.skl"}));

        // With room again the save goes through and the file keeps its permissions.
        QVERIFY(QFile::remove(dir.filePath("filler")));
        QVERIFY(w->Skriptspeichern1Click());
        QCOMPARE(ReadFile(path), std::string(8192, 'x') + "\r\n" + old);
        QCOMPARE(QFileInfo(path).permissions() & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser | QFileDevice::ReadGroup);
    }

    void saveThroughALinkReplacesTheFileItNames()
    {
        WriteFile(file("ziel.skl"), "alt");
        QVERIFY(QFile::link(file("ziel.skl"), file("verweis.skl")));
        auto w = withScript("verweis.skl", "alt");
        (*w)->RichEdit1->setPlainText("neu");
        QVERIFY((*w)->Skriptspeichern1Click());
        QVERIFY(QFileInfo(file("verweis.skl")).isSymLink());
        QCOMPARE(ReadFile(file("ziel.skl")), std::string("neu"));
    }

    // The question goes by the name that is written, ".skl" appended.
    void saveAsAsksBeforeReplacing_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");  // 0: no question expected
        QTest::addColumn<bool>("replaced");
        QTest::newRow("free name") << QStringList{} << "b" << 0 << true;
        QTest::newRow("typed name taken, written one free") << QStringList{"b"} << "b" << 0 << true;
        QTest::newRow("written name taken, no") << QStringList{"b.skl"} << "b" << int(IDNO) << false;
        QTest::newRow("written name taken, yes") << QStringList{"b.skl"} << "b" << int(IDYES) << true;
        QTest::newRow("with its extension, no") << QStringList{"b.skl"} << "b.skl" << int(IDNO) << false;
    }
    void saveAsAsksBeforeReplacing()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        for (const QString& name : existing)
            WriteFile(files->filePath(name), "fremd");
        auto w = withScript("eigen.skl", "eigen");
        (*w)->RichEdit1->setPlainText("neu");
        w->boxes.seen.clear();
        if (answer)
            w->boxes.answers = {answer};
        w->dialogs.saveAnswers = {files->filePath(typed)};

        QCOMPARE((*w)->Speichernunter1Click(), replaced);
        QStringList expectedBoxes;
        if (answer)
            expectedBoxes << "Frage|Die Datei " + file("b.skl") + QString::fromUtf8(" existiert bereits. Soll sie ersetzt werden?");
        QCOMPARE(w->boxes.seen, expectedBoxes);
        QCOMPARE(ReadFile(file("b.skl")), std::string(replaced ? "neu" : "fremd"));
        QCOMPARE((*w)->scriptPath, replaced ? nfile("b.skl") : nfile("eigen.skl"));
        QCOMPARE((*w)->modified, !replaced);
        for (const QString& name : existing)
            if (name != "b.skl")
                QCOMPARE(ReadFile(files->filePath(name)), std::string("fremd"));
    }

    void recentScripts()
    {
        Window w;
        w.show();
        auto open = [&](const char* name) {
            WriteFile(file(name), name);
            std::string p = nfile(name);
            w->OpenScript(&p);
        };
        auto captions = [&] {
            QStringList c;
            for (unsigned i = 0; i < w->history->Count(); ++i) {
                QAction* a = w->history->Item(i);
                c << a->text().remove(files->path() + "/") + " " + a->shortcut().toString();
            }
            return c;
        };
        open("a.skl");
        open("b.skl");
        open("a.skl");
        QCOMPARE(captions(), (QStringList{"a.skl Ctrl+1", "b.skl Ctrl+2"}));
        open("c.skl");
        open("d.skl");
        QCOMPARE(captions(), (QStringList{"d.skl Ctrl+1", "c.skl Ctrl+2", "a.skl Ctrl+3", "b.skl Ctrl+4"}));
        // The items sit right below the separator after "B&eenden", in list order.
        QList<QAction*> menu = w->Datei1->actions();
        QVERIFY(menu[5]->isSeparator());
        QCOMPARE(menu[6], w->history->Item(0));
        QCOMPARE(menu[9], w->history->Item(3));

        open("a.skl");  // the third moves to the top
        QCOMPARE(captions(), (QStringList{"a.skl Ctrl+1", "d.skl Ctrl+2", "c.skl Ctrl+3", "b.skl Ctrl+4"}));
        QAction* oldest = w->history->Item(3);
        open("A.skl");  // a different path; the oldest leaves the menu
        QCOMPARE(captions(), (QStringList{"A.skl Ctrl+1", "a.skl Ctrl+2", "d.skl Ctrl+3", "c.skl Ctrl+4"}));
        QVERIFY(!w->Datei1->actions().contains(oldest));

        // Choosing an entry while modified and answering Yes saves the text
        // into its own file, never into the chosen one.
        w->RichEdit1->setPlainText("geändert");
        w.boxes.answers = {IDYES};
        w->history->Item(3)->trigger();
        QCOMPARE(ReadFile(file("A.skl")), std::string("ge\xE4ndert"));
        QCOMPARE(ReadFile(file("c.skl")), std::string("c.skl"));
        QCOMPARE(w->RichEdit1->toPlainText(), QString("c.skl"));
        QCOMPARE(captions().first(), QString("c.skl Ctrl+1"));

        // An entry whose file is gone: the open's error, the entry stays.
        QFile::remove(file("d.skl"));
        w.boxes.seen.clear();
        w->history->Item(3)->trigger();
        QCOMPARE(w.boxes.seen.size(), 1);
        QCOMPARE(w.boxes.seen[0], "Notiz|Die Datei " + file("d.skl") +
                                      QString::fromUtf8(" kann nicht geöffnet werden: Datei oder Ordner nicht gefunden"));
        QCOMPARE(w->history->Count(), size_t(4));
    }

    void recentScriptsAreStoredAtClose()
    {
        {
            Window w;
            w.show();
            for (const char* n : {"1.skl", "2.skl", "a&b.skl"}) {
                WriteFile(file(n), n);
                std::string p = nfile(n);
                w->OpenScript(&p);
            }
            w->close();
            QCOMPARE(w.exits.size(), 1);
        }
        platform::AppSettings s = platform::LoadAppSettingsReadOnly();
        QCOMPARE(s.history, (std::vector<std::string>{nfile("a&b.skl"), nfile("2.skl"), nfile("1.skl")}));
        Window again;
        again.show();
        QCOMPARE(again->history->Get(0), nfile("a&b.skl"));
        // A path with "&" opens whole.
        again->history->Item(0)->trigger();
        QCOMPARE(again->RichEdit1->toPlainText(), QString("a&b.skl"));
    }
};

QTEST_MAIN(ScriptFilesTest)
#include "moc_window_test.cpp"
#include "test_script_files.moc"

// Start-up of the main window: first-start state, the command line's run
// that ends the program, and the same through the real program file.
#include <QFileInfo>
#include <QProcess>

#include "editor/zp_rich_edit.h"
#include "editor/zv_splitter.h"
#include "window_test.h"
#include "platform/app_settings.h"
#include "platform/registry.h"

class StartupTest : public WindowTest {
    Q_OBJECT

private slots:
    void firstStart()
    {
        Window w;
        QCOMPARE(w->size(), QSize(806, 560));
        QVERIFY(w->autoSave);
        QVERIFY(!w->autoUpdate && !w->syntaxColouring);
        QCOMPARE(w->settings().maxOutputLines, 100);
        QCOMPARE(w->settings().httpTimeout, 15);
        QCOMPARE(w->settings().maxRedirects, 5);
        QCOMPARE(w->settings().userAgent, std::string("Skimlark"));
        QCOMPARE(w->i3Text, std::string("1"));
        QVERIFY(w->wordPattern && w->stringPattern);
        QCOMPARE(w->functionNames.size(), size_t(51));
        QCOMPARE(w->keywords.size(), size_t(19));
        QVERIFY(w->functionNames.count("htget") && w->keywords.count("while"));
        QCOMPARE(w->RichEdit1->GutterSize(), 35);
        QCOMPARE(w->ZvSplitter1->handleWidth(), 6);
        QVERIFY(!(w->windowState() & Qt::WindowMinimized));
        QCOMPARE(w->Ausfhren1->text(), QString::fromUtf8("A&usführen "));
        QCOMPARE(w->Ausfhren1->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(w->Skriptffnen1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(w->ToolButton4->toolTip(), QString("Skript unterbrechen"));
        QVERIFY(!w->windowIcon().isNull());
        w.show();
        QCOMPARE(w->windowTitle(), QString("Skimlark"));
        QVERIFY(!w->ToolButton4->isEnabled());
        QVERIFY(w->updatePending);
    }

    void longStatusTextKeepsTheWindowSize()
    {
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(w.w.get()));
        const QSize designed = w->size();
        w->SetStatusText(0, QString(400, QLatin1Char('x')));
        QTest::qWait(50);
        QCOMPARE(w->size(), designed);
        QCOMPARE(w->CurrentSettings().windowWidth, std::optional<int>(designed.width()));
    }

    void hiddenStartIsMinimised()
    {
        Window w({"-hidden"});
        QVERIFY(w->windowState() & Qt::WindowMinimized);
        QVERIFY(!w->autoRun);
    }

    void commandLineScriptRunsAndEndsTheProgram()
    {
        QString path = files->filePath("auto.skl");
        WriteFile(path, "debug = 2\r\nprint(wert)");
        {
            Window w({path, "-vwert=42"});
            QVERIFY(w->windowState() & Qt::WindowMinimized);
            w.show();
            QVERIFY(w->skript);
            QVERIFY(QTest::qWaitFor([&] { return !w.exits.isEmpty(); }, 10000));
            QCOMPARE(w->OutputLines().front(), std::string("42"));
            QVERIFY(w.boxes.seen.isEmpty());
        }
        platform::AppSettings s = platform::LoadAppSettingsReadOnly();
        QCOMPARE(s.scriptPath, path.toStdString());
        QCOMPARE(s.debugLevel, 2);

        // The next normal start loads that script without running it.
        Window again;
        again.show();
        QCOMPARE(again->RichEdit1->toPlainText(), QString("debug = 2\nprint(wert)"));
        QVERIFY(!again->skript);
        QCOMPARE(again->settings().debugLevel.v.load(), 2);
    }

    // The window is shown only after the command line's run has started,
    // and showing it disables the stop tool button; Esc and the menu stop it.
    void commandLineRunHasNoStopToolButton()
    {
        QString path = files->filePath("loop.skl");
        WriteFile(path, "while 1 eq 1 do\r\ndone");
        Window w({path});
        w.show();
        QVERIFY(w->skript && !w->skript->Finished());
        QVERIFY(!w->ToolButton4->isEnabled());
        QVERIFY(w->Anhalten1->isEnabled());
        w->Anhalten1->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !w.exits.isEmpty(); }, 10000));
    }

    void exitSwitchEndsAfterTheFirstRun()
    {
        QString path = files->filePath("ex.skl");
        WriteFile(path, "x = 1");
        {
            platform::TRegistry r;
            QVERIFY(r.OpenKey(platform::kSettingsKey, true));
            r.WriteString("i2", path.toStdString());
        }
        Window w({"-ex"});
        w.show();
        QVERIFY(!w->skript);
        QTest::qWait(20);
        QVERIFY(w.exits.isEmpty());
        w->RunScript(false);
        QVERIFY(QTest::qWaitFor([&] { return !w.exits.isEmpty(); }, 10000));
    }

    void realProgramRunsAScript()
    {
        QString program = QFileInfo(QCoreApplication::applicationDirPath() + "/../skimlark").absoluteFilePath();
        if (!QFileInfo::exists(program))
            QSKIP("the skimlark program is not built");
        QString path = files->filePath("proc.skl");
        WriteFile(path, "debug = 3");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SKIMLARK_REGISTRY_DIR", reg->path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(program, {path});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        platform::AppSettings s = platform::LoadAppSettingsReadOnly();
        QCOMPARE(s.scriptPath, path.toStdString());
        QCOMPARE(s.debugLevel, 3);
    }
};

QTEST_MAIN(StartupTest)
#include "moc_window_test.cpp"
#include "test_startup.moc"

// The main program's command line.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "editor/command_line.h"

Q_DECLARE_METATYPE(InitVars)

class CommandLineTest : public QObject {
    Q_OBJECT

    static CommandLine Parse(const QStringList& args)
    {
        std::vector<std::string> list;
        for (const auto& a : args)
            list.push_back(a.toStdString());
        return ParseCommandLine(list);
    }

private slots:
    void switches_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("exitAfterRun");
        QTest::addColumn<bool>("startHidden");
        QTest::addColumn<bool>("autoRun");
        QTest::addColumn<QString>("scriptPath");
        QTest::addColumn<InitVars>("vars");

        QTest::newRow("none") << QStringList{} << false << false << false << "" << InitVars{};
        QTest::newRow("-ex alone") << QStringList{"-ex"} << true << false << false << "" << InitVars{};
        QTest::newRow("-hidden") << QStringList{"-hidden"} << false << true << false << "" << InitVars{};
        QTest::newRow("script path") << QStringList{"/s/a.skl"} << true << true << true << "/s/a.skl" << InitVars{};
        QTest::newRow("after -- a dash begins a path")
            << QStringList{"--", "-x.skl"} << true << true << true << "-x.skl" << InitVars{};
        QTest::newRow("a lone dash is a path") << QStringList{"-"} << true << true << true << "-" << InitVars{};
        QTest::newRow("last path counts") << QStringList{"a.skl", "-hidden", "b.skl"} << true << true << true << "b.skl"
                                          << InitVars{};
        QTest::newRow("preset") << QStringList{"-vname=wert"} << false << false << false << ""
                                << InitVars{{"name", "wert"}};
        QTest::newRow("preset without = is ignored") << QStringList{"-vname", "-v"} << false << false << false << ""
                                                     << InitVars{};
        QTest::newRow("empty value, second = in value")
            << QStringList{"-va=", "-vb=x=y", "-v=z"} << false << false << false << ""
            << InitVars{{"a", ""}, {"b", "x=y"}, {"", "z"}};
        QTest::newRow("later preset wins") << QStringList{"-vx=1", "-vx=2"} << false << false << false << ""
                                           << InitVars{{"x", "2"}};
        // Presets become script values: Windows-1252.
        QTest::newRow("umlaut preset") << QStringList{QString::fromUtf8("-vort=Köln")} << false << false << false << ""
                                       << InitVars{{"ort", "K\xF6ln"}};
    }
    void switches()
    {
        QFETCH(QStringList, args);
        CommandLine cl = Parse(args);
        QTEST(cl.exitAfterRun, "exitAfterRun");
        QTEST(cl.startHidden, "startHidden");
        QTEST(cl.autoRun, "autoRun");
        QTEST(QString::fromStdString(cl.scriptPath), "scriptPath");
        QFETCH(InitVars, vars);
        QCOMPARE(cl.initVars, vars);
        QVERIFY(cl.unknownSwitch.empty());
    }

    // What is no switch is reported, never taken for a script.
    void unknownSwitches_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("unknown");
        QTest::newRow("other letter case") << QStringList{"-EX"} << "-EX";
        QTest::newRow("long form") << QStringList{"--hidden", "a.skl"} << "--hidden";
        QTest::newRow("first of two") << QStringList{"-x", "-y"} << "-x";
        QTest::newRow("after a script") << QStringList{"a.skl", "--hilfe"} << "--hilfe";
    }
    void unknownSwitches()
    {
        QFETCH(QStringList, args);
        CommandLine cl = Parse(args);
        QTEST(QString::fromStdString(cl.unknownSwitch), "unknown");
        QVERIFY(cl.scriptPath.empty() || cl.scriptPath == "a.skl");
    }

    // The program itself: answers that need no window, and no display.
    void programAnswersWithoutWindow_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("display");  // "" for none at all
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = "usage: skimlark [-ex] [-hidden] [-vNAME=VALUE ...] [--] [script.skl]\n";
        const QString noDisplay = QString::fromUtf8(
            "skimlark: Keine grafische Anzeige verfügbar (DISPLAY oder WAYLAND_DISPLAY fehlt oder ist nicht "
            "erreichbar).\n");
        QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << usage << "";
        QTest::newRow("-h with a script") << QStringList{"a.skl", "-h"} << "" << 0 << usage << "";
        QTest::newRow("--version") << QStringList{"--version"} << "" << 0 << "skimlark (Skimlark) 1.08.20\n" << "";
        QTest::newRow("unknown switch") << QStringList{"--hilfe"} << "" << 2 << ""
                                        << "skimlark: unknown switch --hilfe\n" + usage;
        QTest::newRow("no display") << QStringList{} << "" << 1 << "" << noDisplay;
        QTest::newRow("display that is not there") << QStringList{"a.skl"} << ":97" << 1 << "" << noDisplay;
    }
    void programAnswersWithoutWindow()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, display);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(name);
        if (!display.isEmpty())
            env.insert("DISPLAY", display);
        env.insert("SKIMLARK_REGISTRY_DIR", home.filePath("registry"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", home.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home.path());
        p.start(SKIMLARK_BIN, args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        QString gotOut = QString::fromUtf8(p.readAllStandardOutput());
        QString gotErr = QString::fromUtf8(p.readAllStandardError());
        if (out.isEmpty())
            QCOMPARE(gotOut, out);
        else
            QVERIFY2(gotOut.startsWith(out), qPrintable(gotOut));
        if (status == 2)
            QVERIFY2(gotErr.startsWith(err), qPrintable(gotErr));
        else
            QCOMPARE(gotErr, err);
        // Nothing of the settings was read into being or written.
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"

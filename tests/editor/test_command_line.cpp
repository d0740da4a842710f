// The main program's command line.
#include <QTest>

#include "editor/command_line.h"

Q_DECLARE_METATYPE(InitVars)

class CommandLineTest : public QObject {
    Q_OBJECT
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
        QTest::newRow("upper-case switch is a path") << QStringList{"-EX"} << true << true << true << "-EX" << InitVars{};
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
        std::vector<std::string> list;
        for (const auto& a : args)
            list.push_back(a.toStdString());
        CommandLine cl = ParseCommandLine(list);
        QTEST(cl.exitAfterRun, "exitAfterRun");
        QTEST(cl.startHidden, "startHidden");
        QTEST(cl.autoRun, "autoRun");
        QTEST(QString::fromStdString(cl.scriptPath), "scriptPath");
        QFETCH(InitVars, vars);
        QCOMPARE(cl.initVars, vars);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"

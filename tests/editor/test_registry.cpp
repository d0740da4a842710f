// The registry layer and the settings stored in it.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>

#include "interpreter/program_settings.h"
#include "platform/app_settings.h"
#include "platform/folders.h"
#include "platform/registry.h"

using namespace platform;

namespace {

std::string HiveText()
{
    std::ifstream in(HiveFile(Hive::CurrentUser), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteHive(const std::string& text)
{
    MakeDirs(RegistryDir());
    std::ofstream(HiveFile(Hive::CurrentUser), std::ios::binary) << text;
}

}  // namespace

class RegistryTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("SKIMLARK_REGISTRY_DIR", dir->path().toUtf8());
    }
    void cleanup() { qunsetenv("SKIMLARK_REGISTRY_DIR"); }

    void valuesRoundTripThroughTheFile()
    {
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey("\\Software\\Test", true));
            reg.WriteString("plain", "C:\\pfad \"x\"");
            reg.WriteString("umlaut", "Grüße");
            reg.WriteString("lines", "a\r\nb\tc");
            reg.WriteString("empty", "");
            reg.WriteInteger("n", -5);
            reg.WriteInteger("big", 560);
        }
        std::string text = HiveText();
        QVERIFY(text.rfind("Windows Registry Editor Version 5.00\r\n", 0) == 0);
        QVERIFY(text.find("[HKEY_CURRENT_USER\\Software\\Test]") != std::string::npos);
        QVERIFY(text.find("\"plain\"=\"C:\\\\pfad \\\"x\\\"\"") != std::string::npos);
        QVERIFY(text.find("\"big\"=dword:00000230") != std::string::npos);
        // Control characters cannot stand in a quoted text.
        QVERIFY(text.find("\"lines\"=hex(1):") != std::string::npos);

        TRegistry reg(KEY_READ);
        QVERIFY(reg.OpenKeyReadOnly("\\Software\\Test"));
        QCOMPARE(reg.ReadString("plain"), std::string("C:\\pfad \"x\""));
        QCOMPARE(reg.ReadString("umlaut"), std::string("Grüße"));
        QCOMPARE(reg.ReadString("lines"), std::string("a\r\nb\tc"));
        QCOMPARE(reg.ReadString("empty"), std::string());
        QVERIFY(reg.ValueExists("empty"));
        QCOMPARE(reg.ReadInteger("n"), -5);
        // Names compare without regard to case, as in the system's registry.
        QCOMPARE(reg.ReadInteger("BIG"), 560);
        QVERIFY(reg.KeyExists("\\software\\TEST"));
    }

    void readFailures()
    {
        TRegistry reg;
        QVERIFY(reg.OpenKey("\\Software\\Test", true));
        reg.WriteString("s", "12");
        reg.WriteInteger("i", 1);
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.ReadInteger("missing"));
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.ReadInteger("s"));
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.ReadString("i"));
        QCOMPARE(reg.ReadString("missing"), std::string());
        // A read-only key refuses writes; the file stays as it was.
        TRegistry ro(KEY_READ);
        QVERIFY(ro.OpenKeyReadOnly("\\Software\\Test"));
        QVERIFY_THROWS_EXCEPTION(RegistryError, ro.WriteString("s", "x"));
        QVERIFY(!ro.OpenKey("\\Software\\Other", true));
        QVERIFY(!TRegistry().KeyExists("\\Software\\Other"));
    }

    void handWrittenFileIsRead()
    {
        WriteHive("Windows Registry Editor Version 5.00\r\n\r\n"
                  "; a comment\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"x\"=\"other hive\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                  "\"x\"=\"mine\"\r\n"
                  "\"wide\"=hex(1):48,00,e4,00,\\\r\n  21,00,00,00\r\n"
                  "\"d\"=dword:0000000A\r\n"
                  "\"broken\"=dword:xyz\r\n"
                  "@=\"default\"\r\n");
        TRegistry reg;
        QVERIFY(reg.OpenKey("\\Software\\Test", false));
        QCOMPARE(reg.ReadString("x"), std::string("mine"));
        QCOMPARE(reg.ReadString("wide"), std::string("Hä!"));
        QCOMPARE(reg.ReadInteger("d"), 10);
        QCOMPARE(reg.ReadString(""), std::string("default"));
        QVERIFY(!reg.ValueExists("broken"));
        // A write keeps what the file held, the other hive's section aside.
        reg.WriteString("y", "1");
        TRegistry again;
        QVERIFY(again.OpenKey("\\Software\\Test", false));
        QCOMPARE(again.ReadString("wide"), std::string("Hä!"));
        QCOMPARE(again.ReadString("y"), std::string("1"));
    }

    void writersDoNotLoseEachOthersValues()
    {
        TRegistry a, b;
        QVERIFY(a.OpenKey("\\Software\\Test", true));
        QVERIFY(b.OpenKey("\\Software\\Test", true));
        a.WriteString("fromA", "1");
        b.WriteString("fromB", "2");
        TRegistry c;
        QVERIFY(c.OpenKey("\\Software\\Test", false));
        QCOMPARE(c.ReadString("fromA"), std::string("1"));
        QCOMPARE(c.ReadString("fromB"), std::string("2"));
        // Written by rename: no temporary file stays behind.
        QStringList files = QDir(dir->path()).entryList(QDir::Files);
        for (const auto& f : files)
            QVERIFY2(!f.contains(".tmp."), qPrintable(f));
    }

    void deleteKeyTakesItsSubkeys()
    {
        TRegistry reg;
        QVERIFY(reg.OpenKey("\\Software\\A\\B\\C", true));
        reg.WriteString("v", "x");
        reg.CloseKey();
        QVERIFY(reg.OpenKey("\\Software\\A", false));
        QVERIFY(reg.OpenKey("B", false));  // relative to the current key
        QCOMPARE(reg.CurrentPath(), std::string("Software\\A\\B"));
        reg.CloseKey();
        QVERIFY(reg.DeleteKey("\\Software\\A"));
        QVERIFY(!reg.KeyExists("\\Software\\A\\B\\C"));
        QVERIFY(reg.KeyExists("\\Software"));
        QVERIFY(!reg.DeleteKey("\\Software\\A"));
    }

    // --- the program's settings -------------------------------------------------

    void firstStartDefaults()
    {
        TRegistry reg;
        QVERIFY(reg.OpenKey(kSettingsKey, true));
        AppSettings s;
        ReadAppSettings(reg, s);
        // The reading stops at the missing i18: auto-save on, time-out 15.
        QCOMPARE(s.autoUpdate, false);
        QCOMPARE(s.autoSave, true);
        QCOMPARE(s.syntaxColouring, false);
        QCOMPARE(s.maxOutputLines, 100);
        QCOMPARE(s.httpTimeout, 15);
        QCOMPARE(s.maxRedirects, 5);
        QCOMPARE(s.userAgent, std::string("Skimlark"));
        QVERIFY(!s.windowHeight && !s.windowWidth);
        QVERIFY(s.history.empty());
        QCOMPARE(LoadAppSettingsReadOnly(), s);
    }

    void writtenHiveReadsBack()
    {
        AppSettings s;
        s.autoUpdate = true;
        s.scriptPath = "/home/u/skripte/größe.skl";
        s.i3Text = "1";
        s.maxOutputLines = 250;
        s.debugLevel = 2;
        s.font = {"DejaVu Sans Mono", 0, 0x0000FF, 11};
        s.history = {"/a/newest.skl", "/b/second.skl", "/c/third.skl"};
        s.autoSave = false;
        s.userAgent = "Mozilla/5.0 (X11)";
        s.syntaxColouring = true;
        s.httpTimeout = 0;
        s.windowHeight = 700;
        s.windowWidth = 900;
        s.maxRedirects = 0;
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(kSettingsKey, true));
            WriteAppSettings(reg, s);
        }
        QCOMPARE(LoadAppSettingsReadOnly(), s);
        std::string text = HiveText();
        QVERIFY(text.find("\"i9\"=\"0 255 11\"") != std::string::npos);
        QVERIFY(text.find("\"i13\"=\"\"") != std::string::npos);
        QVERIFY(text.find("\"i1\"=dword:00000001") != std::string::npos);
        QVERIFY(text.find("\"i14\"=\"0\"") != std::string::npos);

        RunSettings r;
        QVERIFY(ReadRegistryRunSettings(r));
        QCOMPARE(r.maxOutputLines, 250);
        QCOMPARE(int(r.debugLevel), 2);
        QCOMPARE(r.httpTimeout, 0);
        QCOMPARE(r.maxRedirects, 0);
        QCOMPARE(r.userAgent, std::string("Mozilla/5.0 (X11)"));
    }

    void storedTextsAreConverted_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("maxOutputLines");
        QTest::addColumn<int>("httpTimeout");
        QTest::addColumn<int>("debugLevel");
        QTest::newRow("i4 no number") << "i4" << "abc" << 0 << 15 << 0;
        QTest::newRow("i4 empty") << "i4" << "" << 100 << 15 << 0;
        QTest::newRow("i4 leading digits") << "i4" << " 42x" << 42 << 15 << 0;
        QTest::newRow("i17 empty") << "i17" << "" << 100 << 15 << 0;
        QTest::newRow("i17 zero") << "i17" << "0" << 100 << 0 << 0;
        QTest::newRow("i5 two") << "i5" << "2" << 100 << 15 << 2;
    }
    void storedTextsAreConverted()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(kSettingsKey, true));
            reg.WriteString(name.toStdString(), value.toStdString());
            // The integers after the strings, so the reading runs to its end.
            reg.WriteInteger("i18", 600);
            reg.WriteInteger("i19", 800);
            reg.WriteInteger("i20", 5);
        }
        AppSettings s = LoadAppSettingsReadOnly();
        QTEST(s.maxOutputLines, "maxOutputLines");
        QTEST(s.httpTimeout, "httpTimeout");
        QTEST(s.debugLevel, "debugLevel");
    }

    void historyAndFontReading()
    {
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(kSettingsKey, true));
            reg.WriteString("i12", "/only/one.skl");
            reg.WriteString("i8", "Monospace");
            reg.WriteString("i9", "0 255");  // the size stays as it was
            reg.WriteString("i1", "not an integer");
            reg.WriteInteger("i18", 600);
            reg.WriteInteger("i19", 800);
            reg.WriteInteger("i20", 7);
        }
        AppSettings s = LoadAppSettingsReadOnly();
        QCOMPARE(s.history, std::vector<std::string>{"/only/one.skl"});
        QCOMPARE(s.font.name, std::string("Monospace"));
        QCOMPARE(s.font.color, 255u);
        QCOMPARE(s.font.size, 9u);
        QCOMPARE(s.autoUpdate, false);  // a mistyped i1 does not end the reading
        QCOMPARE(s.maxRedirects, 7);
        QCOMPARE(s.autoSave, false);    // read to the end: i14 counts
        QCOMPARE(*s.windowHeight, 600);

        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(kSettingsKey, false));
            reg.WriteString("i13", "/x/oldest.skl");
            reg.WriteString("i11", "/x/newer.skl");
            reg.WriteString("i10", "/only/one.skl");
        }
        // i13 is read first, so i10 ends up in front; an equal path is one entry.
        QCOMPARE(LoadAppSettingsReadOnly().history,
                 (std::vector<std::string>{"/only/one.skl", "/x/newer.skl", "/x/oldest.skl"}));
    }
};

QTEST_GUILESS_MAIN(RegistryTest)
#include "test_registry.moc"

// The registry layer and the settings stored in it.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>

#include "editor_fixture.h"
#include "interpreter/program_settings.h"
#include "platform/app_settings.h"
#include "platform/folders.h"
#include "platform/registry.h"

using namespace platform;

using namespace std::string_literals;

namespace {

std::string HiveText()
{
    return ReadFile(HiveFile(Hive::CurrentUser));
}

void WriteHive(const std::string& text)
{
    MakeDirs(RegistryDir());
    std::ofstream(HiveFile(Hive::CurrentUser), std::ios::binary) << text;
}

// A settings key as a user's hive holds it after a run of the program, with
// values that come after the place where the tests put a damaged line.
const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Orvanta\\Skimlar]\r\n"
                          "\"i1\"=dword:00000000\r\n"
                          "\"i4\"=\"250\"\r\n";
const std::string kTail = "\"i15\"=\"Mein Agent\"\r\n"
                          "\"i17\"=\"30\"\r\n"
                          "\"i18\"=dword:00000258\r\n"
                          "\"i19\"=dword:00000320\r\n"
                          "\"i20\"=dword:00000007\r\n"
                          "\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Fremd]\r\n"
                          "\"liste\"=hex(7):41,00,00,00,00,00\r\n"
                          "\"gross\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                          "\"nichts\"=hex(0):\r\n";

// What the program does at start and at close: read the settings, write them.
AppSettings StartAndClose()
{
    TRegistry reg(KEY_READ | KEY_WRITE);
    AppSettings s;
    if (reg.OpenKey(kSettingsKey, true))
        ReadAppSettings(reg, s);
    else
        s = LoadAppSettingsReadOnly();
    if (reg.OpenKey(kSettingsKey, false))
        WriteAppSettings(reg, s);
    return s;
}

std::string Utf16Le(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
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

    // --- what the store cannot read ------------------------------------------------

    void damagedLinesCostOnlyThemselves_data()
    {
        QTest::addColumn<std::string>("damaged");
        QTest::newRow("bracket alone") << std::string("[\r\n");
        QTest::newRow("section not closed") << std::string("[HKEY_CURRENT_USER\\Software\\Orv\r\n");
        QTest::newRow("unknown root") << std::string("[Mein Agent]\r\n");
        QTest::newRow("multi-string") << std::string("\"i16\"=hex(7):41,00,42,00,00,00,00,00\r\n");
        QTest::newRow("broken number") << std::string("\"i5\"=dword:xyz\r\n");
        QTest::newRow("unclosed quote") << std::string("\"i2\"=\"/halb\r\n");
        QTest::newRow("hex cut off") << std::string("\"i9\"=hex:00,\\\r\n");
        QTest::newRow("control bytes") << std::string("\x01\x02\xFF\xFE\r\n");
        QTest::newRow("NUL in a value") << "\"i5\"=\"1\0\"\r\n"s;
        QTest::newRow("NUL in a section") << "[HKEY_CURRENT_USER\\Soft\0ware]\r\n"s;
        QTest::newRow("NUL alone") << "\0\r\n"s;
    }
    void damagedLinesCostOnlyThemselves()
    {
        QFETCH(std::string, damaged);
        std::string original = kHead + damaged + kTail;
        WriteHive(original);
        AppSettings first = StartAndClose();
        QCOMPARE(first.userAgent, std::string("Mein Agent"));
        QCOMPARE(first.httpTimeout, 30);
        QCOMPARE(first.maxRedirects, 7);
        QCOMPARE(first.maxOutputLines, 250);
        // The next start reads the same, and every line that was not one of
        // the settings is still there as it was.
        QCOMPARE(LoadAppSettingsReadOnly(), first);
        std::string after = HiveText();
        QVERIFY2(after.find(damaged) != std::string::npos, after.c_str());
        std::string foreign = kTail.substr(kTail.find("\r\n[HKEY_CURRENT_USER\\Software\\Fremd]"));
        QVERIFY2(after.find(foreign) != std::string::npos, after.c_str());
        QVERIFY(after.rfind("Windows Registry Editor Version 5.00\r\n", 0) == 0);
        QVERIFY(QDir(dir->path()).entryList({"*.bak*"}, QDir::Files).isEmpty());
    }

    // A write changes the one line it concerns and nothing else.
    void writeKeepsEveryOtherByte_data()
    {
        QTest::addColumn<std::string>("key");
        QTest::addColumn<std::string>("name");
        QTest::addColumn<std::string>("before");
        QTest::addColumn<std::string>("after");
        const std::string file = "Windows Registry Editor Version 5.00\n\n"
                                 "; von Hand\n"
                                 "[HKEY_CURRENT_USER\\Software\\A]\n"
                                 "\"x\"=\"1\"   \n"
                                 "\"bin\"=hex:01,02,\\\n"
                                 "  03,04\n"
                                 "\"liste\"=hex(7):41,00,00,00,00,00\n"
                                 "\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\A]\n"
                                 "\"x\"=\"fremd\"\n"
                                 "\n"
                                 "[hkey_current_user\\software\\a\\Tief]\n"
                                 "\"t\"=dword:00000001";
        auto with = [&file](const std::string& from, const std::string& to) {
            std::string text = file;
            return text.replace(text.find(from), from.size(), to);
        };
        QTest::newRow("replace") << std::string("\\Software\\A") << std::string("x") << file
                                 << with("\"x\"=\"1\"   \n", "\"x\"=\"neu\"\n");
        QTest::newRow("add after the last value")
            << std::string("\\Software\\A") << std::string("y") << file
            << with("  03,04\n", "  03,04\n\"y\"=\"neu\"\n");
        QTest::newRow("new key, spelled as the file spells its parents")
            << std::string("\\Software\\A\\Tief\\Neu") << std::string("z") << file
            << file + "\n\n[HKEY_CURRENT_USER\\Software\\A\\Tief\\Neu]\n\"z\"=\"neu\"\n";
        QTest::newRow("key that was only a parent") << std::string("\\Software") << std::string("s") << file
                                                    << file + "\n\n[HKEY_CURRENT_USER\\Software]\n\"s\"=\"neu\"\n";
        QTest::newRow("last line without its line feed")
            << std::string("\\Software\\A") << std::string("y")
            << std::string("[HKEY_CURRENT_USER\\Software\\A]\r\n\"x\"=\"1\"\r")
            << std::string("Windows Registry Editor Version 5.00\r\n"
                           "[HKEY_CURRENT_USER\\Software\\A]\r\n\"x\"=\"1\"\r\n\"y\"=\"neu\"\r\n");
        QTest::newRow("empty file") << std::string("\\Software\\A") << std::string("x") << std::string()
                                    << std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                                                   "[HKEY_CURRENT_USER\\Software\\A]\r\n\"x\"=\"neu\"\r\n");
    }
    void writeKeepsEveryOtherByte()
    {
        QFETCH(std::string, key);
        QFETCH(std::string, name);
        QFETCH(std::string, before);
        WriteHive(before);
        TRegistry reg;
        QVERIFY(reg.OpenKey(key, true));
        reg.WriteString(name, "neu");
        QTEST(HiveText(), "after");
        QCOMPARE(TRegistry().KeyExists("\\Software\\A\\Tief"), before.find("Tief") != std::string::npos);
    }

    void deleteKeyKeepsEverythingElse()
    {
        const std::string keep = "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\B]\r\n\"b\"=hex(7):00,00\r\n\r\n";
        WriteHive(keep + "[HKEY_CURRENT_USER\\Software\\A]\r\n\"a\"=\"1\"\r\n[\r\n\r\n"
                         "[HKEY_CURRENT_USER\\Software\\A\\Sub]\r\n\"s\"=\"2\"\r\n");
        TRegistry reg;
        QVERIFY(reg.DeleteKey("\\software\\a"));
        QCOMPARE(HiveText(), keep);
    }

    // A registry editor's export is UTF-16LE: read as such, written back as
    // UTF-8 with every line kept.
    void utf16ExportIsRead()
    {
        WriteHive(Utf16Le(kHead + kTail));
        QCOMPARE(LoadAppSettingsReadOnly().userAgent, std::string("Mein Agent"));
        AppSettings s = StartAndClose();
        QCOMPARE(s.userAgent, std::string("Mein Agent"));
        QCOMPARE(s.httpTimeout, 30);
        QCOMPARE(s.maxOutputLines, 250);
        std::string after = HiveText();
        QVERIFY2(after.find(kTail.substr(kTail.find("[HKEY_CURRENT_USER\\Software\\Fremd]"))) != std::string::npos,
                 after.c_str());
        QCOMPARE(LoadAppSettingsReadOnly(), s);
        QVERIFY(QDir(dir->path()).entryList({"*.bak*"}, QDir::Files).isEmpty());
    }

    // A hive file in another encoding or none at all: kept beside the new
    // one, and the user is told once.
    void unreadableFileIsKeptAside_data()
    {
        QTest::addColumn<std::string>("bytes");
        std::string binary;
        for (int i = 0; i < 256; ++i)
            binary += char(i);
        QTest::newRow("binary") << binary;
        QTest::newRow("text without any section") << std::string("i15=Mein Agent\ni17=30\n");
    }
    void unreadableFileIsKeptAside()
    {
        QFETCH(std::string, bytes);
        WriteHive(bytes);
        // An earlier copy is not written over.
        std::string file = HiveFile(Hive::CurrentUser);
        std::ofstream(file + ".bak", std::ios::binary) << "frueher";
        std::string note;
        {
            TRegistry reg(KEY_READ | KEY_WRITE);
            AppSettings s;
            QVERIFY(reg.OpenKey(kSettingsKey, true));
            ReadAppSettings(reg, s);
            QCOMPARE(s.userAgent, std::string("Skimlark"));
            WriteAppSettings(reg, s);
            note = reg.TakeNote();
            QCOMPARE(reg.TakeNote(), std::string());
        }
        QVERIFY2(note.find("Die Registrierungsdatei " + file) == 0, note.c_str());
        QVERIFY2(note.find(file + ".bak2 aufbewahrt") != std::string::npos, note.c_str());
        QCOMPARE(ReadFile(file + ".bak2"), bytes);
        QCOMPARE(ReadFile(file + ".bak"), std::string("frueher"));
        QCOMPARE(LoadAppSettingsReadOnly().userAgent, std::string("Skimlark"));
        // The new file is read as it should be: no second copy, no note.
        TRegistry again;
        QVERIFY(again.OpenKey(kSettingsKey, false));
        again.WriteString("i15", "x");
        QCOMPARE(again.TakeNote(), std::string());
        QVERIFY(!QFile::exists(QString::fromStdString(file + ".bak3")));
    }

    void folderInPlaceOfTheFile()
    {
        std::string file = HiveFile(Hive::CurrentUser);
        QVERIFY(MakeDirs(file));
        TRegistry reg(KEY_READ | KEY_WRITE);
        QVERIFY(!reg.OpenKey(kSettingsKey, true));
        QVERIFY2(reg.LastError().find("Die Registrierungsdatei " + file + " kann nicht gelesen werden: ") == 0,
                 reg.LastError().c_str());
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.WriteString("i15", "x"));
        AppSettings defaults = LoadAppSettingsReadOnly();
        QCOMPARE(defaults.httpTimeout, 15);
        QCOMPARE(defaults.userAgent, std::string("Skimlark"));

        // The program starts with its defaults and its note at close names
        // the cause.
        Window w;
        w.show();
        QCOMPARE(w->settings().userAgent, std::string("Skimlark"));
        w.boxes.seen.clear();
        w->close();
        QCOMPARE(w.boxes.seen.size(), 1);
        QVERIFY2(w.boxes.seen[0].contains(QString::fromStdString(file + " kann nicht gelesen werden")),
                 qPrintable(w.boxes.seen[0]));
        QVERIFY(QFileInfo(QString::fromStdString(file)).isDir());
    }

    void programTellsOfTheKeptFileAtClose()
    {
        WriteHive("i15=Mein Agent\ni17=30\n");
        Window w;
        w.show();
        w.boxes.seen.clear();
        w->close();
        QCOMPARE(w.boxes.seen.size(), 1);
        QVERIFY2(w.boxes.seen[0].contains(".reg.bak aufbewahrt"), qPrintable(w.boxes.seen[0]));
        QCOMPARE(LoadAppSettingsReadOnly().httpTimeout, 15);
    }

    // --- the program's settings -------------------------------------------------

    // Two windows on one settings file: each close writes what that window
    // changed, over what the file holds by then.
    void twoWindowsKeepEachOthersChanges()
    {
        WriteHive(kHead + "\"i14\"=\"1\"\r\n" + kTail);
        Window a, b;
        a.show();
        b.show();
        std::string script = (dir->path() + "/b.skl").toStdString();
        std::ofstream(script) << "print(1)";
        b->OpenScript(&script);
        b->settings().userAgent = "ZweiteInstanz";
        b->settings().maxRedirects = 3;
        b->close();
        a->settings().httpTimeout = 40;
        a->settings().maxRedirects = 9;  // changed by both: the later close counts
        a->autoSave = false;
        a->close();
        QCOMPARE(a.exits.size() + b.exits.size(), 2);

        AppSettings s = LoadAppSettingsReadOnly();
        QCOMPARE(s.userAgent, std::string("ZweiteInstanz"));
        QCOMPARE(s.scriptPath, script);
        QCOMPARE(s.history, std::vector<std::string>{script});
        QCOMPARE(s.httpTimeout, 40);
        QCOMPARE(s.autoSave, false);
        QCOMPARE(s.maxRedirects, 9);
        QCOMPARE(s.maxOutputLines, 250);
        // Another program's key is left alone.
        QVERIFY(HiveText().find("\"gross\"=hex(b):01,00,00,00,00,00,00,00\r\n") != std::string::npos);
    }

    // An unchanged window on an empty key still writes every value, so the
    // next start reads them all.
    void closeWithoutChangesCompletesAnEmptyKey()
    {
        {
            Window w;
            w.show();
            w->close();
        }
        for (const char* value : {"\"i1\"=dword:00000000", "\"i14\"=\"1\"", "\"i15\"=\"Skimlark\"", "\"i17\"=\"15\"",
                                  "\"i13\"=\"\"", "\"i20\"=dword:00000005"})
            QVERIFY2(HiveText().find(value) != std::string::npos, value);
        {
            Window again;
            again.show();
            again->autoSave = false;
            again->close();
        }
        // The reading now goes through: auto-save stays off.
        QCOMPARE(LoadAppSettingsReadOnly().autoSave, false);
    }

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

QTEST_MAIN(RegistryTest)
#include "test_registry.moc"

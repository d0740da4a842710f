// Unpacking an archive into the current folder: files, file list, times,
// modes, and every bad input ending in a message instead of a crash or a
// write outside the folder.
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include "installer/archive_reader.h"
#include "installer/extract.h"
#include "installer_fixture.h"

using namespace installer;

class ExtractTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> outer;  // holds the target folder and what lies beside it
    QString target;
    QString oldCwd;

    QString in(const QString& name) const { return target + "/" + name; }
    QStringList listed() const
    {
        QString text = QString::fromUtf8(ReadAll(in("files.lst")));
        return text.split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        oldCwd = QDir::currentPath();
        outer = std::make_unique<QTemporaryDir>();
        target = outer->filePath("target");
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QDir::setCurrent(target));
    }
    void cleanup()
    {
        QDir::setCurrent(oldCwd);
        outer.reset();
    }

    void extractsFilesFoldersListAndTimes()
    {
        QVERIFY(MakeZip(in("setup.zip"),
                        {{"/", "", true},
                         {"skimlark", "#!/bin/sh\necho hi\n", false, 0, 2021, 3, 9, 8, 7, 6},
                         {"doc/", "", true},
                         {"doc/readme.txt", "Lies mich", false, 0640},
                         {"lib\\plugins\\one.so", std::string(20000, 'z')}}));
        QVERIFY(WriteAll(in("files.lst"), "stale\n"));
        std::vector<std::pair<int, int>> calls;
        BoxRecorder boxes;
        int result = ExtractArchive("setup.zip", [&](int t, int i) { calls.emplace_back(t, i); }, "Skimlark");
        QCOMPARE(result, 0);
        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());

        // Called before every entry, folder entries included.
        QCOMPARE(calls, (std::vector<std::pair<int, int>>{{5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}}));
        QCOMPARE(ReadAll(in("skimlark")), QByteArray("#!/bin/sh\necho hi\n"));
        QCOMPARE(ReadAll(in("doc/readme.txt")), QByteArray("Lies mich"));
        QCOMPARE(ReadAll(in("lib/plugins/one.so")), QByteArray(20000, 'z'));
        // Folders the install made are listed with a "/" behind, files by
        // the path they were written to; an earlier list's names stay.
        QCOMPARE(listed(), (QStringList{"stale", "skimlark", "doc/", "doc/readme.txt", "lib/", "lib/plugins/",
                                        "lib/plugins/one.so"}));

        // The entry's time as local time, the program file executable (the
        // header's name matched ignoring case), Unix modes taken over.
        QCOMPARE(QFileInfo(in("skimlark")).lastModified(), QDateTime(QDate(2021, 3, 9), QTime(8, 7, 6)));
        QCOMPARE(QFileInfo(in("doc/readme.txt")).lastModified(), QDateTime(QDate(2019, 4, 17), QTime(13, 45, 30)));
        QVERIFY(QFileInfo(in("skimlark")).isExecutable());
        struct stat st;
        QCOMPARE(stat(QFile::encodeName(in("doc/readme.txt")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }

    void overwritesExistingFilesAndFindsTheZipSuffix()
    {
        QVERIFY(MakeZip(in("setup.zip.zip"), {{"a.txt", "new"}}));
        QVERIFY(WriteAll(in("a.txt"), "old and longer"));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QCOMPARE(ReadAll(in("a.txt")), QByteArray("new"));
        QVERIFY(boxes.boxes.empty());
    }

    // Names that would leave the folder are refused; nothing appears outside
    // it, and the safe entries around them are still written.
    void neverWritesOutsideTheTarget()
    {
        QVERIFY(MakeZip(in("setup.zip"), {{"../escaped.txt", "x"},
                                          {"sub/../../escaped2.txt", "x"},
                                          {"..\\escaped3.txt", "x"},
                                          {outer->filePath("absolute.txt").toStdString(), "x"},
                                          {"../evil-folder/", "", true},
                                          {"ok.txt", "fine"},
                                          {"..name/with.dots", "dots are fine"}}));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QStringList beside = QDir(outer->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(beside, QStringList{"target"});
        QCOMPARE(ReadAll(in("ok.txt")), QByteArray("fine"));
        QCOMPARE(ReadAll(in("..name/with.dots")), QByteArray("dots are fine"));
        QCOMPARE(listed(), (QStringList{"ok.txt", "..name/", "..name/with.dots"}));
        QCOMPARE(boxes.boxes.size(), size_t(4));
        QVERIFY(boxes.any("Unzul\xC3\xA4ssiger Dateiname im Archiv, nicht entpackt: ../escaped.txt"));
        QVERIFY(SafeEntryPath("a/b\\c") == std::optional<std::string>("a/b/c"));
        QVERIFY(!SafeEntryPath("a/..").has_value());
    }

    // Names that would replace the installation's own files or put a second
    // line into the file list are refused with a note; the same names in a
    // subfolder are ordinary files.
    void ownFilesAndControlCharactersAreRefused()
    {
        QVERIFY(WriteAll(in("setup.exe"), "uninstaller"));
        QVERIFY(WriteAll(in("eigenes.skl"), "the user's own"));
        QVERIFY(MakeZip(in("setup.zip"), {{"files.lst", "eigenes.skl\n"},
                                          {"setup.exe", "replaced"},
                                          {"./setup.exe", "replaced"},
                                          {"doc\\..\\setup.zip", "replaced"},
                                          {"setup.zip", "replaced"},
                                          {"x\neigenes.skl", "x"},
                                          {"tab\there", "x"},
                                          {"del\x7f", "x"},
                                          {"files.lst/", "", true},
                                          {"doc/setup.exe", "a plain file"},
                                          {"ok.txt", "fine"}}));
        const QByteArray archive = ReadAll(in("setup.zip"));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QCOMPARE(listed(), (QStringList{"doc/", "doc/setup.exe", "ok.txt"}));
        QCOMPARE(ReadAll(in("setup.exe")), QByteArray("uninstaller"));
        QCOMPARE(ReadAll(in("setup.zip")), archive);
        QCOMPARE(ReadAll(in("doc/setup.exe")), QByteArray("a plain file"));
        QVERIFY(!QFileInfo::exists(in("x")));
        std::vector<std::string> expected;
        for (const char* name : {"files.lst", "setup.exe", "./setup.exe", "doc\\..\\setup.zip", "setup.zip",
                                 "x\neigenes.skl", "tab\there", "del\x7f"})
            expected.push_back(std::string("Unzul\xC3\xA4ssiger Dateiname im Archiv, nicht entpackt: ") + name + "\n");
        QCOMPARE(boxes.texts(), expected);
    }

    // Modes from the archive and the program file's execute bits obey the
    // umask, as every file the process makes does.
    void modesObeyTheUmask_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("program");
        QTest::newRow("022") << 022 << 0755 << 0644 << 0755;
        QTest::newRow("077") << 077 << 0700 << 0600 << 0700;
    }
    void modesObeyTheUmask()
    {
        QFETCH(int, mask);
        QVERIFY(MakeZip(in("setup.zip"), {{"tool", "t", false, 0777}, {"data", "d", false, 0666}, {"skimlark", "p"}}));
        mode_t old = umask(mode_t(mask));
        BoxRecorder boxes;
        int result = ExtractArchive("setup.zip", {}, "skimlark");
        umask(old);
        QCOMPARE(result, 0);
        auto mode = [this](const char* name) {
            struct stat st{};
            stat(QFile::encodeName(in(name)).constData(), &st);
            return int(st.st_mode & 07777);
        };
        QTEST(mode("tool"), "tool");
        QTEST(mode("data"), "data");
        QTEST(mode("skimlark"), "program");
    }

    void badArchivesGiveMessages_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing" << 1 << "Cannot open setup.zip or setup.zip.zip\n";
        QTest::newRow("empty") << "empty" << 1 << "Cannot open setup.zip or setup.zip.zip\n";
        QTest::newRow("truncated") << "truncated" << 1 << "Cannot open setup.zip or setup.zip.zip\n";
        QTest::newRow("not a zip") << "garbage" << 1 << "Cannot open setup.zip or setup.zip.zip\n";
        // An archive of one entry whose ZIP64 records count 4,294,967,295.
        QTest::newRow("count beyond int") << "count" << int(UNZ_BADZIPFILE)
                                          << QString("Fehler im Archiv bei Eintrag 2: Verzeichnis beschädigt\n");
        QTest::newRow("damaged data") << "crc" << int(UNZ_CRCERROR)
                                      << QString("Fehler im Archiv bei second.txt: Prüfsumme stimmt nicht\n");
    }
    void badArchivesGiveMessages()
    {
        QFETCH(QString, damage);
        QFETCH(int, result);
        QFETCH(QString, message);
        QVERIFY(MakeZip(in("good.zip"), {{"first.txt", "first"}, {"second.txt", "SECRET-PAYLOAD", false, 0, 2019, 4, 17, 13, 45, 30, true}}));
        QByteArray zip = ReadAll(in("good.zip"));
        if (damage == "empty")
            zip.clear();
        else if (damage == "truncated")
            zip.truncate(zip.size() / 2);
        else if (damage == "garbage")
            zip = QByteArray(4096, 'g');
        else if (damage == "crc")
            zip[zip.indexOf("SECRET") + 2] = 'X';
        else if (damage == "count") {
            QVERIFY(MakeZip(in("one.zip"), {{"first.txt", "first"}}));
            zip = ReadAll(in("one.zip"));
            MoveEndToZip64(zip, 0xFFFFFFFF);
        }
        if (damage != "missing")
            QVERIFY(WriteAll(in("setup.zip"), zip));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), result);
        QVERIFY(!boxes.boxes.empty());
        QCOMPARE(QString::fromStdString(boxes.boxes.back().text), message);
        if (damage == "crc") {
            // What was written stays, listed, so an uninstall can remove it.
            QCOMPARE(listed(), (QStringList{"first.txt", "second.txt"}));
            QCOMPARE(ReadAll(in("first.txt")), QByteArray("first"));
        }
    }

    // The program file cannot be written (here: a folder stands in its
    // place): the user is asked, and Yes retries, No skips, Cancel stops.
    // Any other file that cannot be written stops the install.
    void lockedProgramFileAsksTheUser_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("laterEntryWritten");
        QTest::newRow("no: skipped") << QList<int>{IDNO} << -1 << 1 << true;
        QTest::newRow("yes, then no") << QList<int>{IDYES, IDNO} << -1 << 2 << true;
        QTest::newRow("cancel") << QList<int>{IDCANCEL} << -104 << 1 << false;
    }
    void lockedProgramFileAsksTheUser()
    {
        QFETCH(QList<int>, answers);
        QVERIFY(MakeZip(in("setup.zip"), {{"skimlark", "new program"}, {"later.txt", "l"}, {"bin/skimlark", "other"}}));
        QVERIFY(QDir().mkpath(in("skimlark")));
        QVERIFY(QDir().mkpath(in("bin/skimlark")));
        BoxRecorder boxes;
        boxes.answers.assign(answers.begin(), answers.end());
        QTEST(ExtractArchive("setup.zip", {}, "Skimlark"), "result");
        int questions = 0;
        for (const auto& b : boxes.boxes)
            questions += b.buttons == Buttons::YesNoCancel;
        QTEST(questions, "questions");
        QVERIFY(boxes.boxes[0].text.rfind("Fehler beim Schreiben von skimlark: Das Programm ist vermutlich gerade aktiv.", 0) == 0);
        QFETCH(bool, laterEntryWritten);
        if (laterEntryWritten) {
            // A name in a subfolder is not the program file: the plain message.
            QCOMPARE(QString::fromStdString(boxes.boxes.back().text),
                     QString("Fehler beim Schreiben von bin/skimlark: Is a directory\n"));
            QCOMPARE(listed(), QStringList{"later.txt"});
        } else {
            QCOMPARE(QString::fromStdString(boxes.boxes.back().text),
                     QString("Die Installation wurde unvollständig abgebrochen."));
            QVERIFY(!QFile::exists(in("later.txt")));
        }
    }

    void aWriteThatFailsStopsAndIsListed()
    {
        QVERIFY(MakeZip(in("setup.zip"), {{"full.bin", std::string(100000, 'f')}, {"after.txt", "a"}}));
        BoxRecorder boxes;
        // Files may grow to 50,000 bytes only: the write fails half way.
        int result = WithFileSizeLimit(50000, [] { return ExtractArchive("setup.zip", {}, "x"); });
        QCOMPARE(result, -1);
        QCOMPARE(boxes.texts(), std::vector<std::string>{"error in writing extracted file\n"});
        QCOMPARE(listed(), QStringList{"full.bin"});
        QVERIFY(!QFile::exists(in("after.txt")));
    }

    // The disk fills up while the list needs room for the next name (here
    // the list is the one file that outgrows the limit): the run stops, the
    // list holds whole names only, and every file written is in it, so
    // that the uninstall finds them all.
    void aListThatCannotGrowStopsBeforeTheFile()
    {
        std::vector<ZipEntry> entries;
        for (int i = 0; i < 400; ++i)
            entries.push_back({QString("daten/eintrag-mit-langem-namen-%1.txt").arg(i).toStdString(), "x"});
        QVERIFY(MakeZip(outer->filePath("many.zip"), entries));
        QVERIFY(QFile::copy(outer->filePath("many.zip"), in("setup.zip")));
        BoxRecorder boxes;
        const rlim_t limit = 4000;
        int result = WithFileSizeLimit(limit, [] { return ExtractArchive("setup.zip", {}, "x"); });
        QCOMPARE(result, -1);
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Fehler beim Schreiben von files.lst: File too large\n"});
        const QByteArray list = ReadAll(in("files.lst"));
        QVERIFY(list.size() > 3000 && list.size() <= qsizetype(limit));
        QVERIFY(list.endsWith(".txt\n"));
        QStringList written = QDir(in("daten")).entryList(QDir::Files);
        QStringList names = listed().filter(QRegularExpression("[^/]$"));
        for (QString& name : names)
            name.remove(0, int(strlen("daten/")));
        written.sort();
        names.sort();
        QCOMPARE(written, names);

        // The list cannot even be made.
        QDir(in("daten")).removeRecursively();
        QFile::remove(in("files.lst"));
        QVERIFY(QDir().mkpath(in("files.lst/belegt")));
        boxes.boxes.clear();
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), -1);
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Fehler beim Schreiben von files.lst: Is a directory\n"});
        QVERIFY(!QFileInfo::exists(in("daten")));
    }

    // An entry that is listed but then not written (its place is taken)
    // is taken off the list again, and the install stops there.
    void aFileThatCannotBeWrittenStopsAndIsNotListed()
    {
        QVERIFY(MakeZip(in("setup.zip"), {{"eins.txt", "1"}, {"zwei.txt", "2"}, {"drei.txt", "3"}}));
        QVERIFY(QDir().mkpath(in("zwei.txt")));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), -1);
        QCOMPARE(boxes.texts(), std::vector<std::string>{"Fehler beim Schreiben von zwei.txt: Is a directory\n"});
        QCOMPARE(ReadAll(in("files.lst")), QByteArray("eins.txt\n"));
        QVERIFY(!QFile::exists(in("drei.txt")));
    }

    // Names without the UTF-8 flag are read in the zip tools' old code page;
    // flagged names stay as they are. Files, list, status line and the
    // program file's match all use the decoded name.
    void namesWithoutTheUtf8FlagAreDecoded()
    {
        QVERIFY(MakeZip(in("setup.zip"), {{"\x9a" "bersicht.txt", "cp437"},
                                          {"Stra\xe1" "e/\x84nderung.txt", "cp437 folder"},
                                          {"\xC3\x9C" "bersetzt.txt", "utf-8", false, 0, 2019, 4, 17, 13, 45, 30,
                                           false, -1, 0, true},
                                          {"plain.txt", "ascii"},
                                          {"Pr\x84sentation", "program"}}));
        BoxRecorder boxes;
        StatusRecorder status;
        std::string program;
        QCOMPARE(ExtractArchive("setup.zip", {}, "PR\xC3\xA4SENTATION", &program), 0);
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(ReadAll(in("Übersicht.txt")), QByteArray("cp437"));
        QCOMPARE(ReadAll(in("Straße/änderung.txt")), QByteArray("cp437 folder"));
        QCOMPARE(ReadAll(in("Übersetzt.txt")), QByteArray("utf-8"));
        QCOMPARE(ReadAll(in("plain.txt")), QByteArray("ascii"));
        QCOMPARE(listed(), (QStringList{"Übersicht.txt", "Straße/", "Straße/änderung.txt", "Übersetzt.txt",
                                        "plain.txt", "Präsentation"}));
        QVERIFY(status.any("Extracting Übersicht.txt  "));
        QCOMPARE(program, std::string("Pr\xC3\xA4sentation"));
        QVERIFY(QFileInfo(in("Präsentation")).isExecutable());
    }

    // ZIP64 end records count from the archive's own start, whatever stands
    // in front of it; minizip is shown the archive from there.
    void zip64ArchivesBehindBytesInFront_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<bool>("zip64");
        QTest::newRow("ZIP64") << QByteArray() << true;
        QTest::newRow("ZIP64 behind CR LF") << QByteArray("\r\n") << true;
        QTest::newRow("ZIP64 behind a program image") << QByteArray(70000, 'p') << true;
        QTest::newRow("plain behind CR LF") << QByteArray("\r\n") << false;
    }
    void zip64ArchivesBehindBytesInFront()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(bool, zip64);
        QVERIFY(MakeZip(outer->filePath("a.zip"), {{"a/", "", true}, {"a/eins.txt", "eins"}, {"zwei.txt", "zwei"}}));
        QByteArray zip = ReadAll(outer->filePath("a.zip"));
        if (zip64)
            MoveEndToZip64(zip, 3);
        QVERIFY(WriteAll(in("setup.zip"), prefix + zip));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QVERIFY(boxes.boxes.empty());
        QCOMPARE(ReadAll(in("a/eins.txt")), QByteArray("eins"));
        QCOMPARE(listed(), (QStringList{"a/", "a/eins.txt", "zwei.txt"}));
        FILE* f = std::fopen("setup.zip", "rb");
        QVERIFY(f);
        QCOMPARE(ArchiveStart(f), std::uint64_t(prefix.size()));
        std::fclose(f);
    }

    // Every single damaged byte of a small archive, plain and with ZIP64 end
    // records behind a CR LF (each byte of those records): the extraction
    // ends with a result, and whatever it writes stays inside the target
    // folder.
    void damagedBytesNeverEscapeOrCrash_data()
    {
        QTest::addColumn<bool>("zip64");
        QTest::newRow("plain") << false;
        QTest::newRow("ZIP64 behind CR LF") << true;
    }
    void damagedBytesNeverEscapeOrCrash()
    {
        QFETCH(bool, zip64);
        QVERIFY(MakeZip(outer->filePath("good.zip"), {{"a/", "", true}, {"a/one.txt", "eins"}, {"two.txt", std::string(3000, 't')}}));
        QByteArray good = ReadAll(outer->filePath("good.zip"));
        if (zip64) {
            MoveEndToZip64(good, 3);
            good.prepend("\r\n");
        }
        const qsizetype records = good.size() - (zip64 ? 98 : 22);
        BoxRecorder boxes;
        for (qsizetype i = 0; i < good.size(); i += i < records ? 3 : 1) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ 0x5A);
            QDir(target).removeRecursively();
            QVERIFY(QDir().mkpath(target));
            QVERIFY(QDir::setCurrent(target));
            QVERIFY(WriteAll(in("setup.zip"), bad));
            int result = ExtractArchive("setup.zip", {}, "x");
            Q_UNUSED(result);
            QStringList beside = QDir(outer->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            QCOMPARE(beside, (QStringList{"good.zip", "target"}));
        }
    }

    void folderLevelsThatCannotBeMade()
    {
        BoxRecorder boxes;
        QCOMPARE(MakeFolderPath("a/b/c/"), 1);
        QVERIFY(QFileInfo(in("a/b/c")).isDir());
        QCOMPARE(MakeFolderPath("a/b"), 1);  // existing levels are passed over
        QCOMPARE(MakeFolderPath(""), 0);
        QVERIFY(WriteAll(in("plain"), "file"));
        QCOMPARE(MakeFolderPath("plain/sub"), 1);  // the open that follows reports it
        QVERIFY(boxes.boxes.empty());
    }

    // A help tree five folders deep, zipped with zip -r: relative paths of
    // 262 bytes install whole, and names that differ only behind the 255th
    // byte stay two files. A level the file system cannot take stops the
    // install with a note naming the entry, and nothing cut is written.
    void longPathsInstallWholeOrStop()
    {
        if (!HaveTool("zip"))
            QSKIP("zip is not installed");
        const QString tree = outer->filePath("quelle");
        QString deep = "hilfe";
        for (int i = 0; i < 4; ++i)
            deep += "/" + QString(47, QChar('a' + i));
        const QStringList names{deep + "/" + QString(49, 'x') + "seite-eins.html",
                                deep + "/" + QString(49, 'x') + "seite-zwei.html",
                                deep + "/" + QString(49, 'x') + "seite-eins.htm"};
        QCOMPARE(names[0].size(), 262);
        QVERIFY(QDir(tree).mkpath(deep));
        for (const QString& name : names)
            QVERIFY(WriteAll(tree + "/" + name, name.right(15).toUtf8()));
        QVERIFY(RunTool(tree, "zip", {"-q", "-r", in("setup.zip"), "hilfe"}));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QVERIFY(boxes.boxes.empty());
        for (const QString& name : names) {
            QCOMPARE(ReadAll(in(name)), name.right(15).toUtf8());
            QVERIFY(listed().contains(name));
        }

        const std::string tooLong = "doc/" + std::string(300, 'n') + ".txt";
        QVERIFY(MakeZip(in("setup.zip"), {{"vorher.txt", "v"}, {tooLong, "t"}, {"nachher.txt", "n"}}));
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), -1);
        QCOMPARE(boxes.texts().back(), "Fehler beim Schreiben von " + tooLong + ": File name too long\n");
        QVERIFY(QDir(in("doc")).isEmpty());
        QVERIFY(!QFile::exists(in("nachher.txt")));
    }

    // Archives with ZIP64 extra fields, which the distributions' minizip
    // leaves unread: zip -fz, python's zipfile with and without the ZIP64
    // end records, and damage in those fields told in German.
    void zip64ExtraFieldsAreRead_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("zip -fz") << "zip";
        QTest::newRow("zipfile, end records") << "python";
        QTest::newRow("zipfile, plain end record") << "python-plain";
        QTest::newRow("behind CR LF") << "python-crlf";
    }
    void zip64ExtraFieldsAreRead()
    {
        QFETCH(QString, writer);
        const std::vector<std::pair<std::string, std::string>> files{
            {"a/eins.txt", "eins"}, {"zwei.bin", std::string(70000, 'z') + "ende"}, {"leer", ""}};
        if (writer == "zip") {
            if (!HaveTool("zip"))
                QSKIP("zip is not installed");
            const QString tree = outer->filePath("quelle");
            for (const auto& [name, data] : files) {
                QVERIFY(QDir().mkpath(QFileInfo(tree + "/" + QString::fromStdString(name)).path()));
                QVERIFY(WriteAll(tree + "/" + QString::fromStdString(name), QByteArray::fromStdString(data)));
            }
            QVERIFY(RunTool(tree, "zip", {"-q", "-r", "-fz", in("setup.zip"), "."}));
        } else {
            QVERIFY(MakePythonZip64(in("setup.zip"), files, writer == "python"));
            if (writer == "python-crlf")
                QVERIFY(WriteAll(in("setup.zip"), "\r\n" + ReadAll(in("setup.zip"))));
        }
        const QByteArray archive = ReadAll(in("setup.zip"));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QVERIFY2(boxes.boxes.empty(), boxes.boxes.empty() ? "" : boxes.boxes[0].text.c_str());
        for (const auto& [name, data] : files)
            QCOMPARE(ReadAll(in(QString::fromStdString(name))), QByteArray::fromStdString(data));

        if (writer != "python")
            return;
        // The data damaged, then the ZIP64 field cut short.
        QByteArray bad = archive;
        const qsizetype data = bad.indexOf("zwei.bin") + 8 + 20;
        for (qsizetype i = data + 4; i < data + 40; ++i)
            bad[i] = char(bad[i] ^ 0x55);
        QVERIFY(WriteAll(in("setup.zip"), bad));
        QVERIFY(ExtractArchive("setup.zip", {}, "x") != 0);
        QVERIFY(boxes.texts().back().rfind("Fehler im Archiv bei zwei.bin: ", 0) == 0);
        bad = archive;
        const qsizetype central = bad.lastIndexOf("PK\x01\x02");
        const qsizetype field = bad.indexOf(QByteArray("\x01\x00", 2), central + 46 + 4);
        bad[field + 2] = 4;  // the field says 4 bytes where 16 and more are needed
        QVERIFY(WriteAll(in("setup.zip"), bad));
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), int(UNZ_BADZIPFILE));
        QCOMPARE(boxes.texts().back(), std::string("Fehler im Archiv bei leer: ZIP64-Angaben unvollst\xC3\xA4ndig\n"));
    }

    // An entry of more than 4 GB, stored as zip -0 writes it: every byte
    // arrives. Only where the disk has room for it.
    void anEntryOverFourGigabytes()
    {
        const quint64 size = (quint64(4) << 30) + (quint64(64) << 20);
        if (FreeBytes(target) < size + (quint64(4) << 30))
            QSKIP("not enough free disk space for an entry over 4 GB");
        QVERIFY(MakeSparseZip64(in("setup.zip"), "gross.bin", size));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QVERIFY(boxes.boxes.empty());
        QFile big(in("gross.bin"));
        QCOMPARE(quint64(big.size()), size);
        QVERIFY(big.open(QIODevice::ReadOnly));
        QVERIFY(big.seek(qint64(size - 2)));
        QCOMPARE(big.read(4), QByteArray("\0E", 2));
        big.close();
        big.remove();
    }

    // As an ordinary user: an install leaves a read-only file (its mode is
    // kept), and the next install replaces it all the same. A folder that
    // may not be written fails the install instead of skipping the file.
    void readOnlyFilesAreReplaced()
    {
        QVERIFY(MakeZip(in("setup.zip"), {{"doc/LICENSE", "Version 1", false, 0444}, {"a.txt", "a"}}));
        BoxRecorder boxes;
        auto extract = [] { return ExtractArchive("setup.zip", {}, "x"); };
        QCOMPARE(AsOrdinaryUser(target, extract), 0);
        struct stat st{};
        QCOMPARE(stat(QFile::encodeName(in("doc/LICENSE")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0444));
        QVERIFY(MakeZip(in("setup.zip"), {{"doc/LICENSE", "Version 2", false, 0444}, {"a.txt", "a"}}));
        QCOMPARE(AsOrdinaryUser(target, extract), 0);
        QCOMPARE(ReadAll(in("doc/LICENSE")), QByteArray("Version 2"));
        QCOMPARE(listed(), (QStringList{"doc/", "doc/LICENSE", "a.txt"}));

        QVERIFY(MakeZip(in("setup.zip"), {{"doc/LICENSE", "Version 3"}, {"a.txt", "a"}}));
        QVERIFY(QFile::setPermissions(in("doc"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QCOMPARE(AsOrdinaryUser(target, extract), -1);
        QFile::setPermissions(in("doc"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(ReadAll(in("doc/LICENSE")), QByteArray("Version 2"));
        QVERIFY(listed().contains("doc/LICENSE"));
    }

    // zip -y stores links as links: one that stays inside the installation
    // becomes a link, one that leads out is refused with a note.
    void linkEntries()
    {
        if (!HaveTool("zip"))
            QSKIP("zip is not installed");
        const QString tree = outer->filePath("quelle");
        QVERIFY(QDir().mkpath(tree + "/lib/sub"));
        QVERIFY(WriteAll(tree + "/lib/libfoo.so.1", "ELF"));
        struct Link {
            const char *name, *target;
            bool kept;
        };
        const Link links[] = {{"lib/libfoo.so", "libfoo.so.1", true},
                              {"lib/sub/up", "../libfoo.so.1", true},
                              {"lib/out", "../../geheim", false},
                              {"lib/sub/absolute", "/etc/passwd", false},
                              {"lib/sub/loop", "./../.././../x", false},
                              // "self" leads to lib/sub itself, so ".." behind it climbs one
                              // level less than it seems to.
                              {"lib/sub/self", ".", true},
                              {"lib/sub/through", "self/../../../x", false}};
        for (const Link& l : links)
            QVERIFY(QFile::link(l.target, tree + "/" + l.name));
        QVERIFY(RunTool(tree, "zip", {"-q", "-r", "-y", in("setup.zip"), "lib"}));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        for (const Link& l : links) {
            QFileInfo info(in(l.name));
            QCOMPARE(info.isSymLink(), l.kept);
            QCOMPARE(listed().contains(l.name), l.kept);
            if (l.kept)
                QCOMPARE(QFile::symLinkTarget(in(l.name)), QFileInfo(info.path() + "/" + l.target).canonicalFilePath());
            else
                QVERIFY(boxes.any((std::string("Verkn\xC3\xBCpfung ") + l.name + " -> " + l.target).c_str()));
        }
        QCOMPARE(ReadAll(in("lib/libfoo.so")), QByteArray("ELF"));
    }

    // bsdtar in the C locale stores UTF-8 names without the flag; they are
    // taken as UTF-8, as other unpackers do.
    void flaglessUtf8NamesStayUtf8()
    {
        const QString tree = outer->filePath("quelle");
        QVERIFY(QDir().mkpath(tree + "/Übungen"));
        QVERIFY(WriteAll(tree + "/Übungen/Größe 😀.txt", "gross"));
        if (HaveTool("bsdtar"))
            QVERIFY(RunTool(tree, "bsdtar", {"--format", "zip", "-cf", in("setup.zip"), "Übungen"}, {"LC_ALL=C"}));
        else
            QVERIFY(MakeZip(in("setup.zip"), {{"\xC3\x9C" "bungen/Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x98\x80.txt", "gross"}}));
        BoxRecorder boxes;
        QCOMPARE(ExtractArchive("setup.zip", {}, "x"), 0);
        QCOMPARE(ReadAll(in("Übungen/Größe 😀.txt")), QByteArray("gross"));
        QVERIFY(listed().contains("Übungen/Größe 😀.txt"));
    }
};

QTEST_GUILESS_MAIN(ExtractTest)
#include "test_extract.moc"

// Finding the payload header in an installer file and reading its fields.
#include <QProcess>
#include <QTest>
#include <unzip.h>

#include "installer/payload_header.h"
#include "installer/payload_writer.h"
#include "installer/resources.h"
#include "installer_fixture.h"

using namespace installer;

Q_DECLARE_METATYPE(std::string)

namespace {

const QByteArray kLead = "1234567890987654321 ";

}  // namespace

class PayloadTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString file(const QString& name) const { return dir.filePath(name); }

private slots:
    void scanFindsTheLastCompleteHeader_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("offset");  // -1: right behind the last "$"

        QTest::newRow("none") << QByteArray("ELF image without any header") << false << QByteArray() << 0;
        QTest::newRow("one") << QByteArray("img" + kLead + "P p.exe|n|u|101|1$\r\nPK") << true
                             << QByteArray("P p.exe|n|u|101|1") << -1;
        QTest::newRow("the later of two counts")
            << QByteArray(kLead + "A a$data" + kLead + "B b$zip") << true << QByteArray("B b") << -1;
        QTest::newRow("extra 1 before the lead-in hides it")
            << QByteArray("x1" + kLead + "P p$zip") << false << QByteArray() << 0;
        QTest::newRow("lead-in never terminated")
            << QByteArray(kLead + "P p" + QByteArray(300, 'x')) << false << QByteArray() << 0;
        QTest::newRow("over-long header dropped, next one found")
            << QByteArray(kLead + QByteArray(400, 'y') + "$" + kLead + "Q q$z") << true << QByteArray("Q q") << -1;
        QTest::newRow("header of exactly 259 characters")
            << QByteArray(kLead + QByteArray(259, 'h') + "$z") << true << QByteArray(259, 'h') << -1;
        QTest::newRow("truncated: nothing behind the $")
            << QByteArray("img" + kLead + "P p$") << true << QByteArray("P p") << -1;
        QTest::newRow("the compiled default")
            << QByteArray("code" + QByteArray(kDefaultHeader) + "more code") << true
            << QByteArray(kDefaultHeader).mid(20).chopped(1) << -1;
    }
    void scanFindsTheLastCompleteHeader()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, found);
        QFETCH(QByteArray, header);
        QFETCH(int, offset);
        QVERIFY(WriteAll(file("image"), content));
        PayloadScan scan = ReadPayloadHeader(file("image").toStdString());
        QVERIFY(scan.opened);
        QCOMPARE(scan.found, found);
        QCOMPARE(QByteArray::fromStdString(scan.headerText), header);
        std::uint64_t expected = offset >= 0 ? std::uint64_t(offset) : std::uint64_t(content.lastIndexOf('$') + 1);
        QCOMPARE(scan.payloadOffset, expected);
        QVERIFY(scan.payloadOffset <= scan.fileSize);
    }

    void missingFileIsReportedNotFound()
    {
        PayloadScan scan = ReadPayloadHeader(file("no-such-file").toStdString());
        QVERIFY(!scan.opened);
        QCOMPARE(scan.error, ENOENT);
        QCOMPARE(scan.payloadOffset, std::uint64_t(0));
    }

    void headerFields_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<std::string>("product");
        QTest::addColumn<std::string>("exe");
        QTest::addColumn<std::string>("notice");
        QTest::addColumn<std::string>("url");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("licence");
        QTest::newRow("all six") << std::string("Skimlark skimlark|(c) X|https://x.example/|101|0") << std::string("Skimlark")
                                 << std::string("skimlark") << std::string("(c) X") << std::string("https://x.example/") << 101 << 0;
        QTest::newRow("no separator: only names")
            << std::string("Prod prog.exe extra") << std::string("Prod") << std::string("prog.exe") << std::string()
            << std::string() << 1 << 1;
        QTest::newRow("two | in a row count as one")
            << std::string("P e||n|u|102") << std::string("P") << std::string("e") << std::string("n") << std::string("u") << 102 << 1;
        QTest::newRow("product only") << std::string("Solo") << std::string("Solo") << std::string() << std::string()
                                      << std::string() << 1 << 1;
        QTest::newRow("empty") << std::string() << std::string() << std::string() << std::string() << std::string() << 1 << 1;
    }
    void headerFields()
    {
        QFETCH(std::string, text);
        HeaderFields h = ParseHeaderText(text);
        QTEST(h.product, "product");
        QTEST(h.exeName, "exe");
        QTEST(h.notice, "notice");
        QTEST(h.url, "url");
        QTEST(h.iconId, "icon");
        QTEST(h.licenceTextNo, "licence");
    }

    void compiledDefaultNamesTheTestProduct()
    {
        PayloadScan scan;
        scan.headerText = std::string(kDefaultHeader + 20, std::strlen(kDefaultHeader) - 21);
        HeaderFields h = ParseHeaderText(scan.headerText);
        QCOMPARE(h.product, std::string("Skimlark"));
        QCOMPARE(h.exeName, std::string("SkimlarkTest.exe"));
        QCOMPARE(h.iconId, 105);
        QCOMPARE(h.licenceTextNo, 3);
    }

    // The real Setup program: on its own it yields the compiled default; with
    // an archive appended by the build tool, the appended header and an
    // archive that minizip opens in place.
    void realInstallerCarriesItsPayload()
    {
        PayloadScan plain = ReadPayloadHeader(SKIMLARK_SETUP_BIN);
        QVERIFY(plain.found);
        QCOMPARE(plain.headerText.substr(0, 26), std::string("Skimlark SkimlarkTest.exe|"));

        QVERIFY(MakeZip(file("app.zip"), {{"skimlark", "#!/bin/sh\n"}, {"doc/readme.txt", "hello"}}));
        QProcess tool;
        const QString header = "Skimlark skimlark|Notiz|https://www.skimlark.example/|101|1";
        tool.start(SKIMLARK_MAKE_INSTALLER_BIN, {SKIMLARK_SETUP_BIN, file("app.zip"), file("installer"), header});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);

        PayloadScan scan = ReadPayloadHeader(file("installer").toStdString());
        QVERIFY(scan.found);
        QCOMPARE(QString::fromStdString(scan.headerText), header);
        QByteArray all = ReadAll(file("installer"));
        QCOMPARE(all.size(), qsizetype(QFileInfo(SKIMLARK_SETUP_BIN).size()) + 20 + header.size() + 3 + ReadAll(file("app.zip")).size());
        QCOMPARE(all.mid(qsizetype(scan.payloadOffset), 4), QByteArray("\r\nPK"));
        QVERIFY(QFileInfo(file("installer")).isExecutable());

        // The archive part, CR LF in front, still opens.
        QVERIFY(WriteAll(file("copy.zip"), all.mid(qsizetype(scan.payloadOffset))));
        unzFile zip = unzOpen64(QFile::encodeName(file("copy.zip")).constData());
        QVERIFY(zip);
        unz_global_info64 info;
        QCOMPARE(unzGetGlobalInfo64(zip, &info), UNZ_OK);
        QCOMPARE(int(info.number_entry), 2);
        unzClose(zip);
    }

    void toolRefusesBadHeaders()
    {
        QVERIFY(WriteAll(file("a.zip"), "PK"));
        QVERIFY(!AppendPayload(SKIMLARK_SETUP_BIN, file("a.zip").toStdString(), file("bad").toStdString(), "P p$x").empty());
        QVERIFY(!AppendPayload(SKIMLARK_SETUP_BIN, file("a.zip").toStdString(), file("bad").toStdString(),
                               std::string(260, 'x')).empty());
        QVERIFY(!AppendPayload(SKIMLARK_SETUP_BIN, file("missing.zip").toStdString(), file("bad").toStdString(), "P p").empty());
        QVERIFY(!QFile::exists(file("bad")));
        QVERIFY(!QFile::exists(file("bad.part")));
    }

    // An archive holding the lead-in would give the installer a false
    // header; the tool refuses it, also when the lead-in spans the tool's
    // read blocks.
    void toolRefusesAnArchiveHoldingTheLeadIn()
    {
        const std::string trap = kLead.toStdString() + "Falsch falsch.exe$";
        auto build = [&](size_t filler) {
            QVERIFY(MakeZip(file("trap.zip"), {{"skimlark", "#!/bin/sh\n"},
                                              {"notes.txt", std::string(filler, 'f') + trap, false, 0, 2019, 4, 17,
                                               13, 45, 30, true}}));
        };
        const qsizetype boundary = 65536 - 7;
        build(boundary);
        qsizetype at = ReadAll(file("trap.zip")).indexOf(kLead);
        QVERIFY(at > 0);
        build(size_t(boundary - (at - boundary)));
        QCOMPARE(ReadAll(file("trap.zip")).indexOf(kLead), boundary);

        const std::string error = AppendPayload(SKIMLARK_SETUP_BIN, file("trap.zip").toStdString(),
                                                file("trapped").toStdString(), "Skimlark skimlark|n|u|101|0");
        QVERIFY2(error.find("contains the payload lead-in") != std::string::npos, error.c_str());
        QProcess tool;
        tool.start(SKIMLARK_MAKE_INSTALLER_BIN, {SKIMLARK_SETUP_BIN, file("trap.zip"), file("trapped"), "Skimlark skimlark"});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAllStandardError().contains("contains the payload lead-in"));
        QVERIFY(!QFile::exists(file("trapped")));
        QVERIFY(!QFile::exists(file("trapped.part")));
    }

    void licenceTextsAsPageLines_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF and a blank line") << std::string("a\r\nb\r\n\r\nc") << QStringList{"a", "b", "", "c"};
        QTest::newRow("LF only loses blank lines") << std::string("a\n\nb") << QStringList{"a", "b"};
        QTest::newRow("tab ends a line") << std::string("a\tb") << QStringList{"a", "b"};
        QTest::newRow("leading break gives an empty first line") << std::string("\r\nx") << QStringList{"", "x"};
        QTest::newRow("umlauts count as printable") << std::string("Gr\xC3\xBC\xC3\x9F" "e") << QStringList{"Grüße"};
    }
    void licenceTextsAsPageLines()
    {
        QFETCH(std::string, text);
        QFETCH(QStringList, lines);
        QStringList got;
        for (const auto& l : SplitLicenceText(text))
            got << QString::fromStdString(l);
        QCOMPARE(got, lines);
    }

    void longLinesAndTextsAreCut()
    {
        auto lines = SplitLicenceText(std::string(2500, 'x'));
        QCOMPARE(lines.size(), size_t(3));
        QCOMPARE(lines[0].size(), size_t(999));
        QCOMPARE(lines[2].size(), size_t(502));
        QVERIFY(LoadLicenceText(3).size() <= 9999);
        QVERIFY(LoadLicenceText(3).size() > 9990);
        QVERIFY(!LoadLicenceText(0).empty());
        QVERIFY(LoadLicenceText(4).empty());
        QVERIFY(LoadLicenceText(-1).empty());
    }
};

QTEST_GUILESS_MAIN(PayloadTest)
#include "test_payload.moc"

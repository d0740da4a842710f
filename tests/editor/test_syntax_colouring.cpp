// Colouring of the script editor: the full recolouring of every line and
// the incremental colouring of the caret line as the user types.
#include <QTest>
#include <QTextBlock>
#include <QTextCharFormat>

#include "editor/editor_behaviour.h"
#include "editor/editor_fixture.h"
#include "editor/syntax_colouring.h"
#include "editor/qt_text.h"
#include "editor/zp_rich_edit.h"

namespace {

// One letter per character of a line: r red, b blue, g grey, k black,
// '.' no colour set.
QString ColourMap(TForm1& w, int line)
{
    QTextBlock b = w.RichEdit1->document()->findBlockByNumber(line);
    QString map;
    for (int i = 0; i < b.text().size(); ++i) {
        QTextCursor c(w.RichEdit1->document());
        c.setPosition(b.position() + i + 1);
        const QTextCharFormat f = c.charFormat();
        if (!f.hasProperty(QTextFormat::ForegroundBrush)) {
            map += '.';
            continue;
        }
        const QColor col = f.foreground().color();
        if (col == QColor(255, 0, 0))
            map += 'r';
        else if (col == QColor(0, 0, 255))
            map += 'b';
        else if (col == QColor(128, 128, 128))
            map += 'g';
        else if (col == QColor(0, 0, 0))
            map += 'k';
        else
            map += '?';
    }
    return map;
}


}  // namespace

class SyntaxColouringTest : public QObject {
    Q_OBJECT
private slots:
    void fullRecolouring_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("colours");
        QTest::newRow("keywords and comment") << "if x eq 1 then # Test if" << "rr.k.rr.k.rrrr.ggggggggg";
        QTest::newRow("hash inside a string") << "print \"a # b\"" << "bbbbb........";
        // Only the first '#' counts, and it is inside the string.
        QTest::newRow("string hash then real comment") << "x = \"a#b\" # real" << "k...........kkkk";
        QTest::newRow("keyword as string content") << "s = \"if\"" << "k.......";
        QTest::newRow("unterminated string") << "x = \"abc if" << "k..........";
        QTest::newRow("case-sensitive word sets") << "IF Htget Print" << "kk.kkkkk.kkkkk";
        QTest::newRow("umlauts are no word characters") << QString::fromUtf8("Größe = 1") << "kk..k...k";
        QTest::newRow("underscore joins a word") << "my_var = htget(\"u\")" << "kkkkkk...bbbbb.....";
        // The quotes pair up as written: the escaped one closes the string.
        QTest::newRow("escaped quote") << "print \"a \\\" if\"" << "bbbbb.......rr.";
    }

    void fullRecolouring()
    {
        QFETCH(QString, line);
        QFETCH(QString, colours);
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        w->RichEdit1->setPlainText(line);
        w->RecolourLines();
        QCOMPARE(ColourMap(*w, 0), colours);
    }

    void loadingAScriptColoursItWithoutMarkingItModified()
    {
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        w.show();
        QTemporaryDir dir;
        const QString path = dir.path() + "/a.skl";
        WriteFile(path, "x = htget(\"u\")\r\nwhile x\r\n# fertig\r\n");
        w.dialogs.openAnswers.push_back(path);
        w->Skriptffnen1Click();
        QCOMPARE(ColourMap(*w, 0), QString("k...bbbbb....."));
        QCOMPARE(ColourMap(*w, 1), QString("rrrrr.k"));
        QCOMPARE(ColourMap(*w, 2), QString("gggggggg"));
        QVERIFY(!w->modified);
        QVERIFY(w->trackChanges);
        // The colours are no undo step of their own.
        QCOMPARE(w->RichEdit1->document()->availableUndoSteps(), 0);
    }

    // One or two lines change the line count too little for the change
    // handling: the first load colours them itself, and an empty last line
    // is no line of the count, so an empty editor holds 0 lines.
    void shortScriptsAreColoured_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("colours");
        QTest::newRow("first load, one line") << "load" << "while x" << QStringList{"rrrrr.k"};
        QTest::newRow("first load, two lines") << "load" << "x = 1\nwhile x" << QStringList{"k...k", "rrrrr.k"};
        QTest::newRow("opened, two lines") << "open" << "x = 1\nwhile x" << QStringList{"k...k", "rrrrr.k"};
        // Pasted characters get the editor's colour first.
        QTest::newRow("two lines pasted into an empty editor")
            << "paste" << "x = 1\nwhile x" << QStringList{"kkkkk", "rrrrrkk"};
    }

    void shortScriptsAreColoured()
    {
        QFETCH(QString, how);
        QFETCH(QString, script);
        QFETCH(QStringList, colours);
        TempRegistry reg;
        QTemporaryDir dir;
        const QString path = dir.path() + "/kurz.skl";
        WriteFile(path, QString(script).replace('\n', "\r\n").toStdString());
        Window w;
        w->syntaxColouring = true;
        if (how == "load")
            w->scriptPath = path.toStdString();
        w.show();
        if (how == "open") {
            w.dialogs.openAnswers.push_back(path);
            w->Skriptffnen1Click();
        } else if (how == "paste") {
            w->RichEdit1->insertPlainText(script);
        }
        QCOMPARE(w->RichEdit1->document()->blockCount(), int(colours.size()));
        for (int i = 0; i < colours.size(); ++i)
            QCOMPARE(ColourMap(*w, i), colours[i]);
    }

    void colouringOffChangesNothing()
    {
        TempRegistry reg;
        Window w;
        w.show();
        w->syntaxColouring = false;
        w->RichEdit1->setPlainText("if x then # c\nprint 1");
        w->RecolourLines();
        PlaceCaret(*w, 0);
        Poll(*w);
        QTest::keyClick(w->RichEdit1, Qt::Key_Return);
        Poll(*w);
        QCOMPARE(ColourMap(*w, 1), QString(13, '.'));
        QCOMPARE(ColourMap(*w, 2), QString(7, '.'));
        // A paste of several lines keeps change tracking on.
        w->modified = false;
        w->RichEdit1->insertPlainText("a\nb\nc\n");
        QVERIFY(w->modified);
        w->modified = false;
        QTest::keyClick(w->RichEdit1, Qt::Key_Z);
        QVERIFY(w->modified);
    }

    void longLineIsColouredOverItsPrefix()
    {
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        QString line;
        while (line.size() < 3000)
            line += "print x ";
        line += "# tail";
        w->RichEdit1->setPlainText(line);
        w->RecolourLines();
        const QString map = ColourMap(*w, 0);
        QCOMPARE(map.left(8), QString("bbbbb.k."));
        // Past the looked-at prefix nothing is touched, the late comment included.
        QCOMPARE(map.mid(SyntaxColouring::kLineCopy), QString(map.size() - SyntaxColouring::kLineCopy, '.'));
    }

    void tokens_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected");  // "text|state|column"
        QTest::newRow("underscore splits") << "my_var" << QStringList{"my|3|1", "_|1|3", "var|3|4"};
        QTest::newRow("umlaut word") << QString::fromUtf8("Größe") << QStringList{QString::fromUtf8("Größe|3|1")};
        QTest::newRow("escaped quote stays in the string")
            << "\"a\\\"b\" x" << QStringList{"a\\\"b|2|2", "\" |1|6", "x|3|8"};
        QTest::newRow("comment to the end") << "if x # c \"q" << QStringList{"if|3|1", " |1|3", "x|3|4", " |1|5", "# c \"q|4|6"};
    }

    void tokens()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        TempRegistry reg;
        Window w;
        SyntaxColouring& c = *w->colouring;
        c.TokeniseLine(ColourLineText(line), 0, 0, true);
        QStringList got;
        for (const auto& t : c.lineTokens)
            got << FromCp1252(t.text) + "|" + QString::number(t.state) + "|" + QString::number(t.column);
        QCOMPARE(got, expected);
        // A shorter line leaves the rest of the cache as blanks.
        c.TokeniseLine("x", 0, 0, false);
        for (size_t i = 1; i < c.lineTokens.size(); ++i)
            QCOMPARE(c.lineTokens[i].text, std::string(" "));
    }

    void typingAfterHashContinuesTheComment()
    {
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        w.show();
        w->RichEdit1->setPlainText("print");
        w->RecolourLines();
        PlaceCaret(*w, 5);
        Poll(*w);
        for (const char* key : {"#", "x", "y"}) {
            QTest::keyClicks(w->RichEdit1, key);
            w->behaviour->PollCaret();
        }
        QCOMPARE(ColourMap(*w, 0), QString("bbbbbggg"));
        QVERIFY(w->trackSelection);
    }

    // Typing goes on while the poller sleeps: each refresh must leave all
    // that was typed since the one before in the colour it belongs to, on
    // every line it touched ("|" divides the lines).
    void fastTypingIsColouredWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");  // -1: at the end
        QTest::addColumn<QStringList>("typedBetweenRefreshes");
        QTest::addColumn<QString>("colours");
        QTest::newRow("comment after the hash") << "x = 1 " << -1 << QStringList{"#", " Test if"} << "k...k.ggggggggg";
        QTest::newRow("comment in pieces") << "x = 1 " << -1 << QStringList{"# T", "es", "t if"} << "k...k.ggggggggg";
        QTest::newRow("comment after a built-in") << "print" << -1 << QStringList{" #", "abc", "def"}
                                                  << "bbbbbkggggggg";
        QTest::newRow("keyword typed after Enter") << "x = 1" << -1 << QStringList{"\rwhile y"} << "k...k|rrrrrkk";
        QTest::newRow("keyword split by Enter") << "while" << 3 << QStringList{"\rx"} << "kkk|kkk";
    }

    void fastTypingIsColouredWhole()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QStringList, typedBetweenRefreshes);
        QFETCH(QString, colours);
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        w.show();
        w->RichEdit1->setPlainText(text);
        w->RecolourLines();
        PlaceCaret(*w, caret < 0 ? int(text.size()) : caret);
        Poll(*w);
        for (const QString& typed : typedBetweenRefreshes) {
            QTest::keyClicks(w->RichEdit1, typed);
            w->behaviour->PollCaret();
        }
        QStringList lines;
        for (int i = 0; i < w->RichEdit1->document()->blockCount(); ++i)
            lines << ColourMap(*w, i);
        QCOMPARE(lines.join('|'), colours);
    }

    void typedWordGetsItsClass()
    {
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        w.show();
        w->RichEdit1->setPlainText("x ");
        PlaceCaret(*w, 2);
        Poll(*w);
        // "whil" is a new word (black); the 'e' makes it a keyword (red).
        for (const char* key : {"w", "h", "i", "l", "e"}) {
            QTest::keyClicks(w->RichEdit1, key);
            w->behaviour->PollCaret();
        }
        QCOMPARE(ColourMap(*w, 0).mid(2), QString("rrrrr"));
    }

    void enterColoursTheNewCaretLine()
    {
        TempRegistry reg;
        Window w;
        w.show();
        // Two lines into the empty editor would colour them all at once.
        w->RichEdit1->setPlainText("s = \"if\"\nprint 1");
        w->syntaxColouring = true;
        w->modified = false;
        PlaceCaret(*w, 0);
        Poll(*w);
        QTest::keyClick(w->RichEdit1, Qt::Key_Return);
        Poll(*w);
        // Every token of the moved line, string content included.
        QCOMPARE(ColourMap(*w, 1), QString("kkkk.rrk"));
        // Moving by arrow key only rebuilds the cache.
        QTest::keyClick(w->RichEdit1, Qt::Key_Down);
        Poll(*w);
        QCOMPARE(ColourMap(*w, 2), QString(7, '.'));
    }

    void colouringIsNoEditOfTheScript()
    {
        TempRegistry reg;
        Window w;
        w->syntaxColouring = true;
        w.show();
        w->RichEdit1->setPlainText("if x\nwhile y\nprint z");
        PlaceCaret(*w, 0);
        Poll(*w);
        // Saved after an Enter: the next line the caret reaches is coloured
        // in full, by a mouse click as well.
        w->modified = false;
        w->behaviour->lastKey = 13;
        PlaceCaret(*w, 13);
        Poll(*w);
        QCOMPARE(ColourMap(*w, 2), QString("bbbbbkk"));
        QVERIFY(!w->modified);
        QCOMPARE(w->RichEdit1->document()->availableUndoSteps(), 0);
    }
};

QTEST_MAIN(SyntaxColouringTest)
#include "test_syntax_colouring.moc"

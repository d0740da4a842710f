// The gutter editor and the picture splitter.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "editor/zp_rich_edit.h"
#include "editor/editor_fixture.h"
#include "editor/zv_splitter.h"

namespace {


// The colours of the gutter's pixels in one column.
QSet<QRgb> ColumnColours(const QImage& img, int x)
{
    QSet<QRgb> c;
    for (int y = 0; y < img.height(); ++y)
        c.insert(img.pixel(x, y));
    return c;
}

}  // namespace

class ComponentsTest : public QObject {
    Q_OBJECT
private slots:
    void gutterGeometry()
    {
        TZpRichEdit e;
        e.setFrameShape(QFrame::NoFrame);
        e.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        e.resize(300, 200);
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        QCOMPARE(e.gutter()->width(), 0);
        QCOMPARE(e.viewport()->x(), 0);  // no gutter: the text starts at the border

        e.SetGutterSize(35);
        QCOMPARE(e.gutter()->width(), 35);
        // Without a border the text starts at the gutter's width exactly.
        QCOMPARE(e.viewport()->x(), 35);
        // The gutter ends above the horizontal scroll bar.
        QCOMPARE(e.gutter()->geometry().bottom(), e.viewport()->geometry().bottom());
        // The scroll bar lives in a container: compare in the editor's coordinates.
        QVERIFY(e.gutter()->geometry().bottom() < e.horizontalScrollBar()->mapTo(&e, QPoint(0, 0)).y());
    }

    void gutterNumbersFollowScrolling()
    {
        TZpRichEdit e;
        e.SetGutterSize(35);
        e.SetGutterColor(Qt::white);
        e.SetGutterTextColor(Qt::blue);
        e.SetGutterBorderColor(Qt::red);
        e.resize(300, 400);
        e.setPlainText(NumberedLines(3));
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        QImage img = e.gutter()->grab().toImage();
        // The border line runs the full height, also past the last line.
        QCOMPARE(ColumnColours(img, 33), QSet<QRgb>{QColor(Qt::red).rgb()});
        // Numbers are drawn for the three lines only: the lower half is bare.
        auto inked = [&img](int fromY, int toY) {
            for (int y = fromY; y < toY; ++y)
                for (int x = 0; x < 30; ++x)
                    if (img.pixel(x, y) != QColor(Qt::white).rgb())
                        return true;
            return false;
        };
        QVERIFY(inked(0, img.height() / 4));
        QVERIFY(!inked(img.height() / 2, img.height()));

        QSignalSpy scrolled(&e, &TZpRichEdit::OnVericalScroll);
        e.setPlainText(NumberedLines(200));
        e.verticalScrollBar()->setValue(40);
        QCOMPARE(e.firstVisibleLine(), 40);  // the top row shows 41
        QVERIFY(!scrolled.isEmpty());
        QCOMPARE(scrolled.last().at(0).toInt(), 40);
    }

    void gutterDefaultsOfACodeBuiltControl()
    {
        TZpRichEdit e;
        QCOMPARE(e.GutterSize(), 0);
        QCOMPARE(e.TopOffset(), 0);
        QCOMPARE(e.GutterBorderColor(), QColor(Qt::black));
    }

    void splitterPicture()
    {
        ZvSplitter s(Qt::Vertical);
        s.addWidget(new QWidget);
        s.addWidget(new QWidget);
        QImage grip = GripPicture();
        QCOMPARE(grip.size(), QSize(52, 6));
        QCOMPARE(grip.pixelColor(0, 5), QColor(255, 0, 0));
        s.SetPicture(grip);
        QCOMPARE(s.handleWidth(), 6);
        // The corners take the colour of the bottom-left pixel: transparent.
        QCOMPARE(qAlpha(s.paintedPicture().pixel(0, 0)), 0);
        QCOMPARE(qAlpha(s.paintedPicture().pixel(51, 5)), 0);
        QCOMPARE(qAlpha(s.paintedPicture().pixel(10, 2)), 255);
        s.SetTransparent(false);
        QCOMPARE(qAlpha(s.paintedPicture().pixel(0, 0)), 255);

        QImage tall(20, 10, QImage::Format_RGB888);
        tall.fill(Qt::green);
        s.SetPicture(tall);
        QCOMPARE(s.handleWidth(), 10);

        // A picture wider than the handle is drawn centred, from left of it.
        QImage wide(200, 10, QImage::Format_RGB888);
        wide.fill(Qt::white);
        for (int y = 0; y < 10; ++y)
            wide.setPixelColor(100, y, Qt::black);  // the middle column
        s.SetPicture(wide);
        s.resize(100, 100);
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        QSplitterHandle* h = s.handle(1);
        QImage shot = h->grab().toImage();
        QCOMPARE(shot.width(), 100);
        QCOMPARE(shot.pixelColor(50, 5), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(0, 5), QColor(Qt::white));
    }
};

QTEST_MAIN(ComponentsTest)
#include "test_components.moc"

// The settings dialog on a real main window: filling, taking over, the
// update request, the keys, and the colours after the dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "editor/settings_dialog.h"
#include "editor/zp_rich_edit.h"
#include "editor_fixture.h"

class TestSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void closeWithoutChangeStoresShownValues();
    void takeOverCopiesEveryControl_data();
    void takeOverCopiesEveryControl();
    void updateRequestOnlyWithClose();
    void fontStaysAfterCancel();
    void editorFontIsAnInstalledMonospacedOne();
    void fontDialogOpensOnTheShownFont();
    void colouringOffMakesTextBlackAndPlain();
    void colouringOnRecoloursAfterDialog();
};

void TestSettingsDialog::closeWithoutChangeStoresShownValues()
{
    TempRegistry reg;
    Window w;
    w->settings().debugLevel = 2;  // a level only a script sets
    w->settings().maxRedirects = 7;
    TForm3 d(&*w);
    d.show();
    QVERIFY(!d.Button1->isEnabled());
    QCOMPARE(d.ComboBox1->currentIndex(), 7);
    QCOMPARE(d.Edit4->text(), QStringLiteral("15"));
    d.Button2Click();
    QCOMPARE(int(w->settings().debugLevel), 1);
    QCOMPARE(w->settings().maxRedirects, 7);
    QCOMPARE(w->settings().httpTimeout, 15);
    QCOMPARE(w->settings().userAgent, std::string("Skimlark"));
}

void TestSettingsDialog::takeOverCopiesEveryControl_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("storedRedirects");
    QTest::addColumn<int>("expectedLines");
    QTest::addColumn<int>("expectedRedirects");
    QTest::newRow("plain") << "250" << 3 << 250 << 3;
    QTest::newRow("zero_kept") << "0" << 0 << 0 << 0;
    QTest::newRow("non_number_is_0") << "viele" << 5 << 0 << 5;
    QTest::newRow("leading_digits") << " 42abc" << 20 << 42 << 20;
    QTest::newRow("redirects_outside_list") << "10" << 25 << 10 << -1;
}

void TestSettingsDialog::takeOverCopiesEveryControl()
{
    QFETCH(QString, lines);
    QFETCH(int, storedRedirects);
    QFETCH(int, expectedLines);
    QFETCH(int, expectedRedirects);
    TempRegistry reg;
    Window w;
    w->settings().maxRedirects = storedRedirects;
    TForm3 d(&*w);
    d.show();
    d.Edit2->setText(lines);
    QVERIFY(d.Button1->isEnabled());
    d.Edit3->setText(QString::fromUtf8("Mein Agent ä"));
    d.CheckBox2->setChecked(!w->autoSave);
    bool autoSave = !w->autoSave;
    d.Button1Click();
    QVERIFY(!d.Button1->isEnabled());
    QCOMPARE(w->settings().maxOutputLines, expectedLines);
    QCOMPARE(w->settings().maxRedirects, expectedRedirects);
    QCOMPARE(w->settings().userAgent, std::string("Mein Agent \xE4"));
    QCOMPARE(w->autoSave, autoSave);
}

void TestSettingsDialog::updateRequestOnlyWithClose()
{
    TempRegistry reg;
    Window w;
    struct Leave {
        const char* name;
        bool expected;
    } cases[] = {{"close", true}, {"cancel_after_take_over", false}, {"escape", false}, {"enter", true}};
    for (const auto& c : cases) {
        w->updatePending = false;
        w->autoUpdate = false;
        TForm3 d(&*w);
        d.show();
        d.CheckBox4->setChecked(true);
        QByteArray name(c.name);
        if (name == "close") {
            d.Button2Click();
        } else if (name == "cancel_after_take_over") {
            d.Button1Click();
            d.Button4Click();
        } else if (name == "escape") {
            QTest::keyClick(&d, Qt::Key_Escape);
        } else {
            QTest::keyClick(&d, Qt::Key_Return);
        }
        QVERIFY2(!d.isVisible(), c.name);
        QVERIFY2(w->updatePending == c.expected, c.name);
    }
}

void TestSettingsDialog::fontStaysAfterCancel()
{
    TempRegistry reg;
    Window w;
    TForm3 d(&*w);
    d.chooseFont = [](const QFont&) -> std::optional<QFont> { return QFont(QStringLiteral("DejaVu Sans Mono"), 14); };
    d.show();
    d.Schriften1Click();
    d.Button4Click();
    QCOMPARE(w->RichEdit1->font().pointSize(), 14);
    QCOMPARE(w->editorFont.size, 14u);
    QCOMPARE(w->editorFont.name, std::string("DejaVu Sans Mono"));
}

// Without a stored font the editor asks for "Courier New", which few Linux
// systems have; what the panes get instead is installed and monospaced.
void TestSettingsDialog::editorFontIsAnInstalledMonospacedOne()
{
    TempRegistry reg;
    Window w;
    w.show();
    for (QPlainTextEdit* pane : {static_cast<QPlainTextEdit*>(w->RichEdit1), w->RichEdit2}) {
        QVERIFY2(QFontDatabase::hasFamily(pane->font().family()), qPrintable(pane->font().family()));
        QVERIFY(QFontInfo(pane->font()).fixedPitch());
    }
}

// The real font dialog opens on the font the editor shows (family, size and
// an upright style whatever its name), with room for its sample and without
// the effects section, so OK without a choice leaves the editor as it was.
void TestSettingsDialog::fontDialogOpensOnTheShownFont()
{
    TempRegistry reg;
    Window w;
    w.show();
    const QFontInfo shown(w->RichEdit1->font());
    QVERIFY(!shown.italic());
    TForm3 d(&*w);
    QFont offered;
    bool effects = true;
    QString sampleText;
    int sampleHeight = 0, sampleNeeds = 0;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        offered = dialog->currentFont();
        effects = false;
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
            effects = effects || box->isVisibleTo(dialog);
        if (auto* sample = dialog->findChild<QLineEdit*>(QStringLiteral("qt_fontDialog_sampleEdit"))) {
            sampleText = sample->isVisibleTo(dialog) ? sample->text() : QString();
            sampleHeight = sample->height();
            sampleNeeds = QFontMetrics(sample->font()).height();
        }
        dialog->accept();
    });
    d.Schriften1Click();
    QCOMPARE(offered.family(), shown.family());
    QCOMPARE(offered.pointSize(), shown.pointSize());
    QCOMPARE(offered.italic(), false);
    QCOMPARE(offered.weight(), QFont::Weight(shown.weight()));
    QVERIFY(!effects);
    QVERIFY(!sampleText.isEmpty());
    QVERIFY2(sampleHeight >= sampleNeeds, qPrintable(QString("%1 < %2").arg(sampleHeight).arg(sampleNeeds)));
    for (QPlainTextEdit* pane : {static_cast<QPlainTextEdit*>(w->RichEdit1), w->RichEdit2}) {
        const QFontInfo now(pane->font());
        QCOMPARE(now.family(), shown.family());
        QCOMPARE(now.italic(), false);
        QCOMPARE(now.weight(), shown.weight());
        QVERIFY(now.fixedPitch());
    }
    QCOMPARE(w->editorFont.name, shown.family().toStdString());
}

void TestSettingsDialog::colouringOffMakesTextBlackAndPlain()
{
    TempRegistry reg;
    Window w;
    w->SetEditorText("rem eins\r\nprint(1)");
    QTextCursor c(w->RichEdit1->document());
    c.setPosition(0);
    c.setPosition(3, QTextCursor::KeepAnchor);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    red.setFontWeight(QFont::Bold);
    c.mergeCharFormat(red);
    w->modified = false;
    w->trackChanges = true;
    w->syntaxColouring = false;
    // The dialog is modal: leave it from inside its own loop.
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<TForm3*>(QApplication::activeModalWidget()))
            d->Button4Click();
    });
    w->Programmparameter1Click();
    QTextCursor check(w->RichEdit1->document());
    check.setPosition(1);
    QCOMPARE(check.charFormat().foreground().color(), QColor(0, 0, 0));
    QCOMPARE(check.charFormat().fontWeight(), int(QFont::Normal));
    QVERIFY(!w->modified);
}

void TestSettingsDialog::colouringOnRecoloursAfterDialog()
{
    TempRegistry reg;
    Window w;
    w->SetEditorText("# eins\r\nprint(1)");
    w->syntaxColouring = false;
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<TForm3*>(QApplication::activeModalWidget())) {
            d->CheckBox3->setChecked(true);
            d->Button2Click();
        }
    });
    w->Programmparameter1Click();
    QVERIFY(w->syntaxColouring);
    QTextCursor check(w->RichEdit1->document());
    check.setPosition(1);
    QVERIFY(check.charFormat().foreground().color() != QColor(0, 0, 0));
}

QTEST_MAIN(TestSettingsDialog)
#include "test_settings_dialog.moc"

#include "editor/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/browser_link.h"
#include "editor/editor_behaviour.h"
#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "editor/zp_rich_edit.h"
#include "platform/app_settings.h"
#include "platform/maker_server.h"
#include "platform/texts.h"

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString Decimal(int value)
{
    return QString::number(value);
}

}  // namespace

TForm3::TForm3(TForm1* owner) : QDialog(owner), form1_(owner)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Parameter"));
    setFixedSize(379, 263);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(4, 4, 371, 220);

    auto* editor = new QWidget;
    auto* e = new QVBoxLayout(editor);
    CheckBox2 = new QCheckBox(U("Automatisches Speichern vor Ausführen"), editor);
    CheckBox3 = new QCheckBox(U("farbliche Syntax-Markierung"), editor);
    Schriften1 = new QPushButton(U("Schriftart..."), editor);
    e->addWidget(CheckBox2);
    e->addWidget(CheckBox3);
    e->addWidget(Schriften1, 0, Qt::AlignLeft);
    e->addStretch(1);
    PageControl1->addTab(editor, QStringLiteral("Editor"));

    auto* http = new QWidget;
    auto* h = new QGridLayout(http);
    Edit3 = new QLineEdit(http);
    Button3 = new QPushButton(U("Ihren User-Agent ermittlen"), http);
    Edit4 = new QLineEdit(http);
    ComboBox1 = new QComboBox(http);
    for (int i = 0; i <= 20; ++i)
        ComboBox1->addItem(Decimal(i));
    h->addWidget(new QLabel(U("User-Agent im HTTP-Request:"), http), 0, 0, 1, 3);
    h->addWidget(Edit3, 1, 0, 1, 3);
    h->addWidget(Button3, 2, 0, 1, 3, Qt::AlignLeft);
    h->addWidget(new QLabel(U("Timeout (max. Wartezeit auf Daten):"), http), 3, 0);
    h->addWidget(Edit4, 3, 1);
    h->addWidget(new QLabel(U("Sekunden"), http), 3, 2);
    h->addWidget(new QLabel(U("Maximale Anzahl Redirects (0=Alle):"), http), 4, 0);
    h->addWidget(ComboBox1, 4, 1);
    h->setRowStretch(5, 1);
    PageControl1->addTab(http, QStringLiteral("HTTP"));

    auto* other = new QWidget;
    auto* o = new QGridLayout(other);
    CheckBox1 = new QCheckBox(U("Debug-Informationen ausgeben"), other);
    Edit2 = new QLineEdit(other);
    CheckBox4 = new QCheckBox(U("Automatisch nach Updates suchen"), other);
    o->addWidget(CheckBox1, 0, 0, 1, 2);
    o->addWidget(new QLabel(U("Max. Anzahl Zeilen im Ausgabebereich: "), other), 1, 0);
    o->addWidget(Edit2, 1, 1);
    o->addWidget(CheckBox4, 2, 0, 1, 2);
    o->setRowStretch(3, 1);
    PageControl1->addTab(other, QStringLiteral("Sonstiges"));

    Button2 = new QPushButton(U("Schließen"), this);
    Button1 = new QPushButton(U("Übernehmen"), this);
    Button4 = new QPushButton(U("Abbrechen"), this);
    Button2->setGeometry(4, 232, 90, 25);
    Button1->setGeometry(144, 232, 90, 25);
    Button4->setGeometry(285, 232, 90, 25);
    for (QPushButton* b : {Button1, Button2, Button4}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    Button1->setEnabled(false);

    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TForm3::Button4Click);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
    connect(Schriften1, &QPushButton::clicked, this, &TForm3::Schriften1Click);
    for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3})
        connect(c, &QCheckBox::toggled, this, &TForm3::Changed);
    connect(CheckBox4, &QCheckBox::toggled, this, [this](bool on) {
        Changed();
        if (on)
            updateRequested = true;
    });
    for (QLineEdit* l : {Edit2, Edit3, Edit4})
        connect(l, &QLineEdit::textChanged, this, &TForm3::Changed);
    // Only the user's choice counts as a change, not the program's.
    connect(ComboBox1, &QComboBox::activated, this, &TForm3::Changed);

    chooseFont = [this](const QFont& initial) -> std::optional<QFont> {
        QFontDialog dialog(initial, this);
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        // No effects section: underline and strike-out are no font of the
        // editor. Qt's dialog has no option for that, so its group is hidden.
        int effectsHeight = 0;
        for (QCheckBox* effect : dialog.findChildren<QCheckBox*>())
            if (QWidget* group = effect->parentWidget(); group && group != &dialog && !group->isHidden()) {
                effectsHeight = std::max(effectsHeight, group->sizeHint().height());
                group->hide();
            }
        // The sample shares the rows of the hidden group and would shrink to
        // a line without room for its text; it keeps that group's height.
        if (auto* sample = dialog.findChild<QLineEdit*>(QStringLiteral("qt_fontDialog_sampleEdit")))
            if (QWidget* group = sample->parentWidget(); group && group != &dialog)
                group->setMinimumHeight(effectsHeight);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedFont();
    };

    // Centred on the main window.
    QRect m = owner->geometry();
    move(m.left() + (m.width() - width()) / 2, m.top() + (m.height() - height()) / 2);
    // FormCreate
    PageControl1->setCurrentIndex(0);
}

void TForm3::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TForm3::FormShow()
{
    RunSettings& s = form1_->settings();
    Edit2->setText(Decimal(s.maxOutputLines));
    Edit3->setText(FromCp1252(s.userAgent));
    Edit4->setText(Decimal(s.httpTimeout));
    CheckBox1->setChecked(s.debugLevel != 0);
    CheckBox2->setChecked(form1_->autoSave);
    CheckBox3->setChecked(form1_->syntaxColouring);
    CheckBox4->setChecked(form1_->autoUpdate);
    Button1->setEnabled(false);
    ComboBox1->setCurrentIndex(s.maxRedirects >= 0 && s.maxRedirects <= 20 ? s.maxRedirects : -1);
    updateRequested = false;
}

void TForm3::Changed()
{
    Button1->setEnabled(true);
}

// Every control is taken over, changed or not; nothing is range-checked.
void TForm3::Button1Click()
{
    RunSettings& s = form1_->settings();
    s.debugLevel = CheckBox1->isChecked() ? 1 : 0;
    form1_->autoSave = CheckBox2->isChecked();
    form1_->syntaxColouring = CheckBox3->isChecked();
    form1_->autoUpdate = CheckBox4->isChecked();
    s.maxOutputLines = platform::DecimalValue(ToCp1252(Edit2->text()));
    s.userAgent = ToCp1252(Edit3->text());
    s.httpTimeout = platform::DecimalValue(ToCp1252(Edit4->text()));
    s.maxRedirects = ComboBox1->currentIndex();
    Button1->setEnabled(false);
}

void TForm3::Button2Click()
{
    Button1Click();
    if (updateRequested)
        form1_->updatePending = true;
    accept();
}

void TForm3::Button4Click()
{
    reject();
}

void TForm3::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Button2Click();
        e->accept();
        return;
    case Qt::Key_Escape:
        reject();
        e->accept();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

// The maker's probe page shows the browser's own User-Agent in a form; its
// submission in the browser window hands the text over.
void TForm3::Button3Click()
{
    form1_->settings().userAgent = ToCp1252(Edit3->text());
    if (form1_->browser)
        form1_->browser->showProbe(platform::MakerUrl("/php/browser.php"));
    else
        form1_->boxFunction(U("Das Ermitteln des User-Agents ist ohne das Browserfenster nicht verfügbar."),
                            QStringLiteral("Hinweis"), MB_OK);
    Edit3->setText(FromCp1252(form1_->settings().userAgent));
}

void TForm3::Schriften1Click()
{
    // The font as the editor shows it: a family the dialog lists, so that OK
    // without a choice keeps the editor as it is.
    const QFontInfo shown(form1_->RichEdit1->font());
    QFont initial(shown.family(), shown.pointSize());
    initial.setStyle(shown.style());
    initial.setWeight(QFont::Weight(shown.weight()));
    // The dialog finds the style by its name and takes its first one when
    // the name is not listed: an upright style called "Book" would open
    // (and come back) as "Oblique".
    initial.setStyleName(shown.styleName());
    if (std::optional<QFont> f = chooseFont(initial))
        ApplyEditorFont(*form1_, *f);
}

void ApplyEditorFont(TForm1& form, const QFont& font)
{
    if (form.behaviour) {
        form.behaviour->FontDialog1Apply(font);
        return;
    }
    form.RichEdit1->setFont(font);
    form.editorFont.name = ToNative(font.family());
    if (font.pointSize() > 0)
        form.editorFont.size = unsigned(font.pointSize());
}

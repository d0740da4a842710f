#include "installer/licence_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "installer/resources.h"
#include "installer/setup_form.h"
#include "installer/setup_ui.h"

namespace installer {

LicenceForm::LicenceForm(SetupForm* setup) : QDialog(setup), setup_(setup)
{
    setWindowTitle("Lizenzvereinbarung");
    setSizeGripEnabled(true);
    resize(560, 420);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setStyleSheet("QPlainTextEdit { background: #e0e0e0; }");
    CheckBox1 = new QCheckBox("Ich akzeptiere die Lizenzvereinbarung", this);
    Button1 = new QPushButton("Ok", this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(bottom);
    connect(Button1, &QPushButton::clicked, this, [this] { accept(); });
}

void LicenceForm::FormShow()
{
    std::string text = LoadLicenceText(setup_->licenceTextNo - 1);
    if (text.empty()) {
        ShowNote("Fehler: %d Bytes von Stringtable", 0);
        return;
    }
    Memo1->clear();
    for (const auto& line : SplitLicenceText(text))
        Memo1->appendPlainText(QString::fromUtf8(line));
    Memo1->moveCursor(QTextCursor::Start);
}

void LicenceForm::done(int result)
{
    QDialog::done(result);
    if (CheckBox1->isChecked())
        QCoreApplication::postEvent(setup_, new QEvent(WM_START_INSTALL));
    else
        ShowNote("Die Software kann nicht installiert werden, weil Sie die Lizenzvereinbarung nicht "
                 "akzeptiert haben.");
}

}  // namespace installer

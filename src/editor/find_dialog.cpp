#include "editor/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Suchen"));
    setModal(false);
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("Suchen &nach:"), this);
    findEdit = new QLineEdit(this);
    label->setBuddy(findEdit);
    wholeWordBox = new QCheckBox(QStringLiteral("Nur &ganzes Wort"), this);
    matchCaseBox = new QCheckBox(QString::fromUtf8("Groß-/&Kleinschreibung"), this);
    findButton = new QPushButton(QStringLiteral("&Weitersuchen"), this);
    findButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(findEdit, 0, 1);
    grid->addWidget(findButton, 0, 2);
    grid->addWidget(wholeWordBox, 1, 0, 1, 2);
    grid->addWidget(cancel, 1, 2);
    grid->addWidget(matchCaseBox, 2, 0, 1, 2);
    connect(findButton, &QPushButton::clicked, this, &TFindDialog::OnFind);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
    findButton->setEnabled(false);
    connect(findEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { findButton->setEnabled(!t.isEmpty()); });
}

QString TFindDialog::FindText() const
{
    return findEdit->text();
}

void TFindDialog::SetFindText(const QString& text)
{
    findEdit->setText(text);
}

bool TFindDialog::MatchCase() const
{
    return matchCaseBox->isChecked();
}

bool TFindDialog::WholeWord() const
{
    return wholeWordBox->isChecked();
}

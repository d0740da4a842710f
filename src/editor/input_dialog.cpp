#include "editor/input_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/qt_text.h"

TForm9::TForm9(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Eingabe"));
    setFixedSize(436, 156);
    Label1 = new QLabel(this);
    Label1->setGeometry(16, 12, 401, 40);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(16, 60, 401, 24);
    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setGeometry(240, 104, 81, 28);
    Button2 = new QPushButton(QStringLiteral("Abbrechen"), this);
    Button2->setGeometry(336, 104, 81, 28);
    // Enter and Esc are handled by the key handler, not by default buttons.
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm9::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm9::Button2Click);
    if (owner) {
        QRect o = owner->frameGeometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
}

void TForm9::showEvent(QShowEvent* event)
{
    Label1->setText(FromCp1252(prompt));
    Edit1->setText(FromCp1252(defaultText));
    Edit1->setFocus();
    QDialog::showEvent(event);
}

void TForm9::Button1Click()
{
    answer = ToCp1252(Edit1->text());
    confirmed = true;
    accept();
}

void TForm9::Button2Click()
{
    confirmed = false;
    reject();
}

void TForm9::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Button1Click();
        return;
    case Qt::Key_Escape:
        Button2Click();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

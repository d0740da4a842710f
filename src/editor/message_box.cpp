#include "editor/message_box.h"

#include <QMessageBox>
#include <QPushButton>

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, int flags)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    if (flags & MB_ICONQUESTION)
        box.setIcon(QMessageBox::Question);
    struct Button {
        QMessageBox::StandardButton which;
        const char* text;
        int answer;
    };
    std::vector<Button> buttons;
    int escape = IDCANCEL;
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        buttons = {{QMessageBox::Ok, "OK", IDOK}, {QMessageBox::Cancel, "Abbrechen", IDCANCEL}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{QMessageBox::Yes, "Ja", IDYES}, {QMessageBox::No, "Nein", IDNO}, {QMessageBox::Cancel, "Abbrechen", IDCANCEL}};
        break;
    case MB_YESNO:
        buttons = {{QMessageBox::Yes, "Ja", IDYES}, {QMessageBox::No, "Nein", IDNO}};
        escape = IDNO;
        break;
    default:
        buttons = {{QMessageBox::Ok, "OK", IDOK}};
        escape = IDOK;
        break;
    }
    for (const auto& b : buttons)
        box.addButton(b.which)->setText(QString::fromUtf8(b.text));
    box.setEscapeButton(box.button(buttons.back().which));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& b : buttons)
        if (clicked == box.button(b.which))
            return b.answer;
    return escape;
}

// The input dialog of the input built-in: a prompt, a text field, Ok and
// Abbrechen. Texts are Windows-1252.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

class TForm9 : public QDialog {
    Q_OBJECT
public:
    explicit TForm9(QWidget* owner);

    std::string prompt;
    std::string defaultText;
    std::string answer;
    bool confirmed = false;

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;  // "Ok"
    QPushButton* Button2;  // "Abbrechen"

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void keyPressEvent(QKeyEvent* event) override;  // FormKeyPress

private:
    void Button1Click();
    void Button2Click();
};

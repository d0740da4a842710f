// The about box: program name, version and years, the maker's address, and
// two link labels (web site and mail) and a contact button.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "editor/desktop_open.h"
#include "editor/message_box.h"

class QLabel;
class QPushButton;
class QFrame;

class TInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoForm(QWidget* parent = nullptr);
    ~TInfoForm() override;

    QFrame* Panel1;
    QLabel* Image1;
    QLabel* Programm;
    QLabel* Version;
    QLabel* Copy;
    QLabel* Jahr;
    QLabel* By;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Mail;
    QLabel* Label1;
    QLabel* Web;
    QPushButton* Button1;  // "Schließen"
    QPushButton* Button2;  // "Kontakt"

    // The screen cursor from before the mouse entered a link label; none
    // while no link label has changed it.
    std::optional<QCursor> savedCursor;

    // Opens a URL with the desktop. Tests replace it.
    std::function<Opened(const std::string& url)> openFunction;
    BoxFunction boxFunction;

    void Button1Click();
    void Button2Click();
    void WebClick();
    void MailClick();
    void LinkMouseEnter(QLabel* label);
    void LinkMouseLeave(QLabel* label);

    static std::string MailAddress();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FormShow();
    void Open(const std::string& url);
    void RestoreCursor();
    bool cursorPushed_ = false;
};

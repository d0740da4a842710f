// The uninstaller window: asks for feedback, then removes what the install
// left behind and, once closed, its own file and the installation folder.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>

class QCloseEvent;
class QLabel;
class QPushButton;
class QShowEvent;

namespace installer {

class UninstallForm : public QDialog {
    Q_OBJECT
public:
    // arguments are the command line without the program name; ownFile is
    // the uninstaller's file, in the installation folder (the running
    // program by default).
    explicit UninstallForm(QStringList arguments, std::string ownFile = {}, QWidget* parent = nullptr);
    ~UninstallForm() override;

    QPushButton* Button2;
    QPushButton* Button3;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;

    std::string product;
    std::string ownFile;
    bool done = false;
    // The list says that the install made the installation folder ("./").
    bool folderMade = false;

    // Shown before anything is removed; whatever it answers, the uninstall
    // goes on. Tests replace it.
    std::function<void()> askFeedback;

    void FormShow();
    void Button2Click();
    void Button3Click();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormClose();
};

}  // namespace installer

// The installer window: target folder, options, start and the status line.
#pragma once

#include <QDialog>
#include <QEvent>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace installer {

class LicenceForm;

// Posted to the installer window; its only effect is the install sequence.
constexpr QEvent::Type WM_START_INSTALL = QEvent::Type(0x8001);

class SetupForm : public QDialog {
    Q_OBJECT
public:
    // ownFile is the installer file that carries the payload (the running
    // program by default); arguments are the command line without the
    // program name.
    explicit SetupForm(QStringList arguments, std::string ownFile = {}, QWidget* parent = nullptr);
    ~SetupForm() override;

    // Controls, named as the window's design names them.
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QPushButton* Button2;
    QPushButton* Button3;
    QLabel* Label2;
    QProgressBar* ProgressBar1;
    QLabel* Label3;
    QLabel* Label4;
    LicenceForm* licence;

    std::unique_ptr<platform::TRegistry> registry;
    std::string startFolder;
    std::uint64_t payloadOffset = 0;
    int licenceTextNo = 1;
    int iconId = 1;
    std::string product;
    std::string exeName;
    std::string ownFile;

    void FormShow();
    void Button1Click();
    void Button2Click();
    bool ShowLicencePage();
    void Button3Click();
    void Label4Click();
    void RunInstall();
    void ExtractProgress(int total, int index);
    // Waits between the install steps; tests set it to 0.
    int pauseMs = 50;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void SetProgress(int value);
    void Pause();
    void PostStart();
    QStringList arguments_;
};

}  // namespace installer

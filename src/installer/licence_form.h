// The licence-agreement page that may stand in front of the install.
#pragma once

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace installer {

class SetupForm;

class LicenceForm : public QDialog {
    Q_OBJECT
public:
    explicit LicenceForm(SetupForm* setup);

    QPlainTextEdit* Memo1;
    QCheckBox* CheckBox1;
    QPushButton* Button1;

    void FormShow();
    // However the page closes: with the tick the install starts, without it
    // the user is told why nothing is installed.
    void done(int result) override;

private:
    SetupForm* setup_;
};

}  // namespace installer

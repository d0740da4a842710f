// The modeless find dialog: a text, whole words, match case, always
// downwards (there is no up/down choice).
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString& text);
    bool MatchCase() const;
    bool WholeWord() const;

    QLineEdit* findEdit;
    QCheckBox* wholeWordBox;
    QCheckBox* matchCaseBox;
    QPushButton* findButton;

signals:
    // The Find button.
    void OnFind();
};

// The settings dialog: edits the main window's settings and takes them over
// into the window's members; the registry gets them when the window closes.
#pragma once

#include <QDialog>
#include <QFont>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TForm1;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(TForm1* owner);

    QTabWidget* PageControl1;
    QCheckBox* CheckBox2;  // "Automatisches Speichern vor Ausführen"
    QCheckBox* CheckBox3;  // "farbliche Syntax-Markierung"
    QPushButton* Schriften1;
    QLineEdit* Edit3;  // User-Agent
    QPushButton* Button3;
    QLineEdit* Edit4;  // time-out
    QComboBox* ComboBox1;
    QCheckBox* CheckBox1;  // debug output
    QLineEdit* Edit2;      // output-pane line limit
    QCheckBox* CheckBox4;  // automatic update check
    QPushButton* Button2;  // "Schließen"
    QPushButton* Button1;  // "Übernehmen"
    QPushButton* Button4;  // "Abbrechen"

    // "Automatisch nach Updates suchen" was ticked while the dialog was open.
    bool updateRequested = false;

    // The font dialog; none for a cancelled one. Tests replace it.
    std::function<std::optional<QFont>(const QFont& initial)> chooseFont;

    void Button1Click();
    void Button2Click();
    void Button4Click();
    void Button3Click();
    void Schriften1Click();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void FormShow();
    void Changed();
    TForm1* form1_;
};

// Gives the editor a font chosen by the user, at once.
void ApplyEditorFont(TForm1& form, const QFont& font);

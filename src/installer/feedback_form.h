// The feedback form that the uninstaller shows first: up to three reasons
// and one sentence, sent to the maker's server with one GET, or nothing.
#pragma once

#include <QDialog>
#include <ctime>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace installer {

// The form-value escaping: blank & + , / : ; < = > ? become "%XX"; every
// other byte, "%" and umlauts included, stays.
std::string EncodeFeedbackText(const std::string& text);

// The system's name for the "os" key, e.g. "Linux-6.1.0" (kernel name and
// release; only characters that need no escaping).
std::string GetOsName();

// The query behind the feedback path, keys always all present in order.
std::string FeedbackQuery(const std::tm& when, const std::string& product, bool box1, bool box2, bool box3,
                          const std::string& os, const std::string& text);

class FeedbackForm : public QDialog {
    Q_OBJECT
public:
    // ownFile is the uninstaller file whose header names the product.
    explicit FeedbackForm(std::string ownFile, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QLabel* Label3;
    QLineEdit* Edit1;
    QPushButton* Button2;
    QPushButton* Button1;

    std::string ownFile;

    void Button2Click();
    void Button1Click();
};

}  // namespace installer

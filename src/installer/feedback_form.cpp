#include "installer/feedback_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sys/utsname.h>

#include "installer/payload_header.h"
#include "installer/setup_ui.h"
#include "platform/cp1252.h"
#include "platform/maker_server.h"

namespace installer {

std::string EncodeFeedbackText(const std::string& text)
{
    static const char kEscaped[] = " &+,/:;<=>?";
    std::string out;
    for (unsigned char c : text) {
        if (c != 0 && std::strchr(kEscaped, c)) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string GetOsName()
{
    utsname u{};
    if (uname(&u) != 0)
        return "Unix";
    std::string name = std::string(u.sysname) + "-" + u.release;
    // The value goes out unescaped: keep it to characters that need none.
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            c = '_';
    return name;
}

std::string FeedbackQuery(const std::tm& when, const std::string& product, bool box1, bool box2, bool box3,
                          const std::string& os, const std::string& text)
{
    char date[64];
    std::snprintf(date, sizeof date, "%02d.%02d.%0d %02d:%02d:%02d", when.tm_mday, when.tm_mon + 1,
                  when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    return "?datum=" + EncodeFeedbackText(date) + "&prog=" + product + "&box1=" + (box1 ? "1" : "0") +
           "&box2=" + (box2 ? "1" : "0") + "&box3=" + (box3 ? "1" : "0") + "&os=" + os +
           "&txt1=" + EncodeFeedbackText(text);
}

FeedbackForm::FeedbackForm(std::string file, QWidget* parent) : QDialog(parent), ownFile(std::move(file))
{
    setWindowTitle("FeedBack");
    setFont(QFont("Tahoma"));
    auto* group = new QGroupBox(" FeedBack ", this);
    Label1 = new QLabel(
        "Vielen Dank dass Sie Software von Orvanta benutzt haben. Wir bem\xC3\xBChen uns, die Qualit\xC3\xA4t und "
        "den Funktionsumfang der Programme st\xC3\xA4ndig zu verbessern. Dabei legen wir Wert auf Ihre Meinung "
        "und bitten Sie kurz folgende Fragen zu beantworten: ",
        group);
    Label1->setWordWrap(true);
    Label1->setFixedWidth(380);
    Label2 = new QLabel("Ich deinstalliere das Programm weil es:", group);
    CheckBox1 = new QCheckBox("Nicht die erwarteten Funktionen bietet", group);
    CheckBox2 = new QCheckBox("Nicht ordnungsm\xC3\xA4\xC3\x9F funktioniert", group);
    CheckBox3 = new QCheckBox("Zu teuer ist", group);
    Label3 = new QLabel("Erg\xC3\xA4nzung oder Meinung in einem Satz:", group);
    Edit1 = new QLineEdit(group);
    Button2 = new QPushButton("Feedback senden", group);
    Button1 = new QPushButton("Kein Feedback senden", group);

    auto* inner = new QVBoxLayout(group);
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, CheckBox1, CheckBox2, CheckBox3, Label3, Edit1})
        inner->addWidget(w);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button1);
    inner->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button2, &QPushButton::clicked, this, &FeedbackForm::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &FeedbackForm::Button1Click);
}

void FeedbackForm::Button2Click()
{
    PayloadScan scan = ReadPayloadHeader(ownFile);
    std::string product;
    if (!scan.opened)
        ShowNote("Open Fehler Modul: %s", std::strerror(scan.error));
    else
        product = scan.headerText.substr(0, scan.headerText.find(' '));

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The sentence is Windows-1252 on the wire, as the rest of the program sends.
    const std::string sentence = platform::Utf8ToCp1252(Edit1->text().toStdString());
    HttpRequest request;
    request.url = platform::MakerUrl("/download/feedback/feedback.php") +
                  FeedbackQuery(local, product, CheckBox1->isChecked(), CheckBox2->isChecked(),
                                CheckBox3->isChecked(), GetOsName(), sentence);
    request.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
    HttpClient client;
    client.connectTimeoutMs = 5000;
    client.readTimeoutMs = 5000;
    HttpReply reply = platform::FetchFollowingRedirects(client, request);
    if (!reply.ok) {
        // The client's texts are Windows-1252; the box takes UTF-8.
        const std::string message = platform::Cp1252ToUtf8(reply.error);
        ShowNote("Das FeedBack konnte nicht gesendet werden: %d %s", reply.code, message.c_str());
    }
    close();
}

void FeedbackForm::Button1Click() { close(); }

}  // namespace installer

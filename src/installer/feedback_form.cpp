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
#include <curl/curl.h>
#include <sys/utsname.h>

#include "installer/payload_header.h"
#include "installer/setup_ui.h"
#include "platform/cp1252.h"
#include "platform/maker_server.h"

namespace installer {

namespace {

struct FeedbackReply {
    bool ok = false;
    long code = 0;        // the last reply's status, 0 without one
    std::string message;  // the status line or the failure's text
};

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

size_t StatusLine(char* data, size_t size, size_t count, void* user)
{
    std::string line(data, size * count);
    if (line.compare(0, 5, "HTTP/") == 0) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        *static_cast<std::string*>(user) = line;
    }
    return size * count;
}

// One GET with the URL's bytes as they are: the sentence's umlauts must
// reach the server as single bytes, which the program's own HTTP layer
// would percent-encode as a browser does.
FeedbackReply SendFeedback(const std::string& url)
{
    FeedbackReply reply;
    CURL* c = curl_easy_init();
    if (!c) {
        reply.message = "HTTP-Client nicht verf\xC3\xBCgbar";
        return reply;
    }
    char error[CURL_ERROR_SIZE] = "";
    std::string status;
    curl_slist* headers = curl_slist_append(nullptr, "Accept: text/html, */*");
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
    // The read time-out: nothing received for five seconds ends the request.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &StatusLine);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &status);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    CURLcode result = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.code);
    if (result != CURLE_OK)
        reply.message = *error ? error : curl_easy_strerror(result);
    else if (reply.code < 200 || reply.code > 299)
        reply.message = status;
    else
        reply.ok = true;
    curl_slist_free_all(headers);
    curl_easy_cleanup(c);
    return reply;
}

}  // namespace

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
    const std::string url = platform::MakerUrl("/download/feedback/feedback.php") +
                            FeedbackQuery(local, product, CheckBox1->isChecked(), CheckBox2->isChecked(),
                                          CheckBox3->isChecked(), GetOsName(), sentence);
    FeedbackReply reply = SendFeedback(url);
    if (!reply.ok)
        ShowNote("Das FeedBack konnte nicht gesendet werden: %d %s", int(reply.code), reply.message.c_str());
    close();
}

void FeedbackForm::Button1Click() { close(); }

}  // namespace installer

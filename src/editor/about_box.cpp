#include "editor/about_box.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "editor/icons.h"
#include "platform/maker_server.h"

namespace {

QPixmap Logo()
{
    QPixmap picture(158, 36);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    PaintProgramMark(p, QRectF(1, 4, 28, 28));
    p.setPen(QColor(0x1f, 0x4e, 0x8c));
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(18);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(34, 0, 124, 36), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Skimlark"));
    return picture;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->move(left, top);
    l->adjustSize();
    return l;
}

// A right-aligned label ends at right.
void AlignRight(QLabel* l, int right)
{
    l->adjustSize();
    l->move(right - l->width(), l->y());
}

// A caption stays in front of its right-aligned value: where this system's
// font makes the value wider than designed, the caption moves left.
void KeepInFront(QLabel* caption, QLabel* value)
{
    if (caption->x() + caption->width() > value->x())
        caption->move(value->x() - caption->width(), caption->y());
}

void SetLinkLook(QLabel* label, bool hot)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, hot ? QColor(255, 0, 0) : QColor(0, 0, 0));
    label->setPalette(pal);
    QFont f = label->font();
    f.setUnderline(hot);
    label->setFont(f);
}

}  // namespace

TInfoForm::TInfoForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InfoForm"));
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(322, 167);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(6, 6, 310, 128);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    Image1 = new QLabel(Panel1);
    Image1->setPixmap(Logo());
    Image1->setGeometry(146, 4, 158, 36);

    Programm = MakeLabel(Panel1, QString(), 9, 8);
    QFont bold(QStringLiteral("MS Sans Serif"));
    bold.setPixelSize(13);
    bold.setBold(true);
    Programm->setFont(bold);
    Version = MakeLabel(Panel1, QString(), 9, 29);
    Copy = MakeLabel(Panel1, QString::fromUtf8("©"), 9, 70);
    Jahr = MakeLabel(Panel1, QStringLiteral("2004-2007"), 21, 70);
    By = MakeLabel(Panel1, QStringLiteral("by Orvanta Software"), 54, 70);
    // The maker's name stands in the credit line above; the address lines
    // end before "Mail:" and "Web:".
    Label2 = MakeLabel(Panel1, QStringLiteral("Am Feldrain 7"), 9, 88);
    Label3 = MakeLabel(Panel1, QStringLiteral("D-99999 Musterstadt"), 9, 106);
    Label4 = MakeLabel(Panel1, QStringLiteral("Mail: "), 168, 88);
    Mail = MakeLabel(Panel1, QString::fromStdString(MailAddress()), 193, 88);
    Label1 = MakeLabel(Panel1, QStringLiteral("Web:"), 144, 106);
    Web = MakeLabel(Panel1, QString::fromStdString(platform::MakerHost()), 173, 106);
    // Right-aligned labels keep their right edge at the designed width.
    AlignRight(Mail, 304);
    AlignRight(Web, 304);
    KeepInFront(Label4, Mail);
    KeepInFront(Label1, Web);
    for (QLabel* link : {Mail, Web}) {
        link->setObjectName(link == Mail ? QStringLiteral("Mail") : QStringLiteral("Web"));
        link->installEventFilter(this);
    }

    Button1 = new QPushButton(QString::fromUtf8("Schließen"), this);
    Button1->setGeometry(6, 140, 75, 22);
    Button2 = new QPushButton(QStringLiteral("Kontakt"), this);
    Button2->setGeometry(240, 140, 75, 22);
    connect(Button1, &QPushButton::clicked, this, &TInfoForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TInfoForm::Button2Click);

    openFunction = OpenOnDesktop;
    boxFunction = [this](const QString& text, const QString& caption, int flags) {
        return ShowMessageBox(this, text, caption, flags);
    };
}

TInfoForm::~TInfoForm()
{
    RestoreCursor();
}

std::string TInfoForm::MailAddress()
{
    std::string host = platform::MakerHost();
    if (host.rfind("www.", 0) == 0)
        host.erase(0, 4);
    // A port is no part of a mail domain.
    return "info@" + host.substr(0, host.find(':'));
}

void TInfoForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TInfoForm::FormShow()
{
    if (QWidget* owner = parentWidget()) {
        QRect o = owner->frameGeometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
    Jahr->adjustSize();
    By->adjustSize();
    By->move(Jahr->x() + Jahr->width() + 5, By->y());
}

void TInfoForm::Button1Click()
{
    close();
}

void TInfoForm::Button2Click()
{
    Open(platform::MakerUrl("/kontakt/index.php"));
}

void TInfoForm::WebClick()
{
    RestoreCursor();
    Open(platform::MakerUrl("/"));
}

void TInfoForm::MailClick()
{
    RestoreCursor();
    Open("mailto:" + MailAddress() + "?subject=Anfrage");
}

void TInfoForm::Open(const std::string& url)
{
    ReportNotOpened(openFunction(url), url, boxFunction);
}

void TInfoForm::LinkMouseEnter(QLabel* label)
{
    SetLinkLook(label, true);
    if (cursorPushed_) {
        QGuiApplication::changeOverrideCursor(Qt::PointingHandCursor);
        return;
    }
    if (const QCursor* current = QGuiApplication::overrideCursor())
        savedCursor = *current;
    else
        savedCursor = QCursor(Qt::ArrowCursor);
    QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
    cursorPushed_ = true;
}

void TInfoForm::LinkMouseLeave(QLabel* label)
{
    SetLinkLook(label, false);
    RestoreCursor();
}

// Our own override is taken off again, which shows the earlier cursor.
void TInfoForm::RestoreCursor()
{
    if (!cursorPushed_)
        return;
    QGuiApplication::restoreOverrideCursor();
    cursorPushed_ = false;
}

bool TInfoForm::eventFilter(QObject* watched, QEvent* e)
{
    auto* label = qobject_cast<QLabel*>(watched);
    if (label && (label == Mail || label == Web)) {
        switch (e->type()) {
        case QEvent::Enter:
            LinkMouseEnter(label);
            break;
        case QEvent::Leave:
            LinkMouseLeave(label);
            break;
        case QEvent::MouseButtonRelease:
            if (label == Mail)
                MailClick();
            else
                WebClick();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, e);
}

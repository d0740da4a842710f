#include "installer/setup_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cstring>
#include <optional>

#include "installer/licence_form.h"
#include "installer/payload_header.h"
#include "installer/resources.h"
#include "installer/setup_ui.h"
#include "installer/special_folders.h"
#include "platform/shell.h"

namespace installer {

SetupForm::SetupForm(QStringList arguments, std::string file, QWidget* parent)
    : QDialog(parent), ownFile(file.empty() ? OwnProgramFile() : std::move(file)),
      arguments_(std::move(arguments))
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    auto* group = new QGroupBox(" Setup ", this);
    Label1 = new QLabel("Installations-Verzeichnis:", group);
    Edit1 = new QLineEdit(group);
    Button1 = new QPushButton("...", group);
    Button1->setFixedWidth(32);
    CheckBox1 = new QCheckBox("Desktop-Verkn\xC3\xBCpfung anlegen", group);
    CheckBox2 = new QCheckBox("Eintrag im Start-Men\xC3\xBC", group);
    CheckBox3 = new QCheckBox("Programm starten", group);
    Button2 = new QPushButton("Installation beginnen", group);
    Button3 = new QPushButton("Schliessen", group);
    auto* panel = new QFrame(group);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label2 = new QLabel(panel);
    Label2->setFixedWidth(380);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(4, 2, 4, 2);
    panelLayout->addWidget(Label2);
    ProgressBar1 = new QProgressBar(group);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    QFont small("Arial");
    small.setPointSize(7);
    Label3 = new QLabel("\xC2\xA9 Skimlark-Projekt", this);
    Label3->setFont(small);
    Label4 = new QLabel("https://www.skimlark.example/", this);
    Label4->setFont(small);
    Label4->setStyleSheet("color: blue;");
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->installEventFilter(this);

    auto* grid = new QGridLayout(group);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(Edit1, 1, 0);
    grid->addWidget(Button1, 1, 1);
    grid->addWidget(CheckBox1, 2, 0, 1, 2);
    grid->addWidget(CheckBox2, 3, 0, 1, 2);
    grid->addWidget(CheckBox3, 4, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button3);
    grid->addLayout(buttons, 5, 0, 1, 2);
    grid->addWidget(panel, 6, 0, 1, 2);
    grid->addWidget(ProgressBar1, 7, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(Label3);
    layout->addWidget(Label4);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a dialog border: not resizable

    licence = new LicenceForm(this);

    connect(Button1, &QPushButton::clicked, this, &SetupForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &SetupForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &SetupForm::Button3Click);

    ShowStatusIn(Label2);

    PayloadScan scan = ReadPayloadHeader(ownFile);
    if (!scan.opened)
        ShowNote("Open Fehler Modul: %s", std::strerror(scan.error));
    payloadOffset = scan.payloadOffset;
    HeaderFields fields = ParseHeaderText(scan.headerText);
    product = fields.product;
    exeName = fields.exeName;
    if (fields.hasNotice)
        Label3->setText(QString::fromUtf8(fields.notice));
    if (fields.hasUrl)
        Label4->setText(QString::fromUtf8(fields.url));
    iconId = fields.iconId;
    licenceTextNo = fields.licenceTextNo;
    QIcon icon = LoadIcon(iconId);
    if (!icon.isNull()) {
        QApplication::setWindowIcon(icon);
        setWindowIcon(icon);
    }
}

SetupForm::~SetupForm() { SetStatusHandler({}); }

void SetupForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void SetupForm::FormShow()
{
    setWindowTitle(QString::fromStdString(product) + " - Setup V 1.10.0");
    startFolder = GetSpecialFolderPath(CSIDL_PROGRAM_FILES);
    if (startFolder.empty())
        startFolder = "/opt";
    Edit1->setText(QString::fromStdString(startFolder + "/" + product));
    licence->CheckBox1->setChecked(false);

    bool folderNext = false, autostart = false;
    for (const QString& arg : arguments_) {
        if (folderNext) {
            startFolder = arg.toStdString();
            Edit1->setText(arg);
            folderNext = false;
        }
        if (arg == "-autostart") {
            autostart = true;
            CheckBox3->setChecked(true);
            CheckBox1->setEnabled(false);
            CheckBox2->setEnabled(false);
            CheckBox3->setEnabled(false);
        }
        if (arg == "-directory")
            folderNext = true;
    }
    if (autostart)
        PostStart();
}

void SetupForm::PostStart() { QCoreApplication::postEvent(this, new QEvent(WM_START_INSTALL)); }

void SetupForm::Button1Click()
{
    std::optional<std::string> typed = ExpandHome(Edit1->text().toStdString());
    QString start = typed ? QString::fromStdString(*typed) : QString();
    if (start.isEmpty() || !QDir(start).exists())
        start = QString::fromStdString(startFolder);
    QString picked = QFileDialog::getExistingDirectory(this, "W\xC3\xA4hlen Sie das Installations-Verzeichnis:", start);
    Edit1->setText(picked.isEmpty() ? QString::fromStdString(startFolder) : picked);
    Button2->setEnabled(true);
}

void SetupForm::Button2Click()
{
    if (licenceTextNo != 0)
        ShowLicencePage();
    else
        PostStart();
}

bool SetupForm::ShowLicencePage()
{
    licence->FormShow();
    licence->exec();
    return licence->CheckBox1->isChecked();
}

void SetupForm::Button3Click()
{
    close();
    QCoreApplication::quit();
}

void SetupForm::Label4Click()
{
    platform::ShellStart started = platform::ShellExecute(Label4->text().toStdString());
    if (started.error != 0 || started.noOpener)
        ShowBox("Error ShellExecuteEx", "Fehler");
}

bool SetupForm::event(QEvent* e)
{
    if (e->type() == WM_START_INSTALL) {
        RunInstall();
        return true;
    }
    return QDialog::event(e);
}

bool SetupForm::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Label4) {
        QFont f = Label4->font();
        switch (e->type()) {
        case QEvent::Enter:
            f.setUnderline(true);
            Label4->setFont(f);
            break;
        case QEvent::Leave:
            f.setUnderline(false);
            Label4->setFont(f);
            break;
        case QEvent::MouseButtonRelease:
            Label4Click();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, e);
}

}  // namespace installer

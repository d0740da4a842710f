#include "installer/uninstall_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "installer/feedback_form.h"
#include "installer/payload_header.h"
#include "installer/setup_mode.h"
#include "installer/setup_ui.h"
#include "installer/uninstall.h"

namespace installer {

namespace {

constexpr size_t kLineMax = 1024;

// A line as fgets gives it, without its line end; a last line without one
// keeps every character.
std::string WithoutLineEnd(const char* line)
{
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

UninstallForm::UninstallForm(QStringList arguments, std::string file, QWidget* parent)
    : QDialog(parent), ownFile(file.empty() ? OwnProgramFile() : std::move(file))
{
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    product = UninstallProduct(args);

    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    auto* group = new QGroupBox(" Setup ", this);
    Button2 = new QPushButton("Deinstallation beginnen", group);
    Button3 = new QPushButton("Abbrechen", group);
    auto* panel = new QFrame(group);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label2 = new QLabel(panel);
    Label2->setFixedWidth(380);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(4, 2, 4, 2);
    panelLayout->addWidget(Label2);
    Label3 = new QLabel(this);
    Label4 = new QLabel(this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button3);
    auto* inner = new QVBoxLayout(group);
    inner->addLayout(buttons);
    inner->addWidget(panel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(Label3);
    layout->addWidget(Label4);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button2, &QPushButton::clicked, this, &UninstallForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &UninstallForm::Button3Click);

    askFeedback = [this] {
        FeedbackForm feedback(ownFile, this);
        feedback.exec();
    };

    ShowStatusIn(Label2);
}

UninstallForm::~UninstallForm() { SetStatusHandler({}); }

void UninstallForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void UninstallForm::FormShow()
{
    setWindowTitle(QString::fromStdString(product) + " - UnSetup [Setup V 1.10.0]");
    Label3->setText(QString());
    Label4->setText(QString());
}

void UninstallForm::Button2Click()
{
    if (askFeedback)
        askFeedback();
    ShowStatus("Deinstallation starten...");

    const std::string folder = FolderOf(ownFile);
    if (chdir(folder.c_str()) != 0) {
        // Relative names must never be taken from whatever folder is current.
        ShowStatus("%s", "");
        ShowNote("Hinweis %s/files.lst: %s", folder.c_str(), std::strerror(errno));
    } else {
        if (FILE* list = std::fopen((folder + "/files.lst").c_str(), "r")) {
            char line[kLineMax];
            while (std::fgets(line, sizeof line, list)) {
                const std::string name = WithoutLineEnd(line);
                if (name.empty())
                    continue;
                ShowStatus("L\xC3\xB6sche %s", name.c_str());
                (void)RemoveListedFile(folder, name);
            }
            std::fclose(list);
        } else {
            int err = errno;
            ShowStatus("%s", "");
            ShowNote("Hinweis %s/files.lst: %s", folder.c_str(), std::strerror(err));
        }
        unlink((folder + "/files.lst").c_str());
        unlink((folder + "/setup.zip").c_str());
        RemoveDirectoryTree(folder);
    }
    RemoveShortcuts(product);
    RemoveProductKeys(product);

    ShowStatus("Deinstallation abgeschlossen.");
    Button2->setEnabled(false);
    Button3->setText("Schliessen");
    done = true;
}

void UninstallForm::Button3Click() { close(); }

void UninstallForm::closeEvent(QCloseEvent* e)
{
    FormClose();
    QDialog::closeEvent(e);
}

void UninstallForm::FormClose()
{
    if (done) {
        // Leave the folder first, so nothing of this process holds it.
        if (chdir("/") == 0)
            RemoveUninstaller(ownFile);
    }
    QCoreApplication::quit();
}

}  // namespace installer

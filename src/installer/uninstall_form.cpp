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
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

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

// Rewrites the list to hold only what is still there; when even that
// cannot be written, the old list stays, which names no less.
void KeepListed(const std::string& folder, const std::vector<std::pair<std::string, int>>& left)
{
    const std::string list = folder + "/files.lst", fresh = folder + "/files.lst.neu";
    unlink(fresh.c_str());
    FILE* f = std::fopen(fresh.c_str(), "wx");
    if (!f)
        return;
    bool ok = true;
    for (const auto& [name, err] : left)
        ok = ok && std::fprintf(f, "%s\n", name.c_str()) > 0;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(fresh.c_str(), list.c_str()) != 0)
        unlink(fresh.c_str());
}

// One note naming what could not be removed and why.
void ReportLeftOver(const std::vector<std::pair<std::string, int>>& left)
{
    constexpr size_t kShown = 20;
    std::string text = "Folgendes konnte nicht entfernt werden:\n";
    size_t shown = 0, more = 0;
    for (const auto& [name, err] : left) {
        if (err == ENOTEMPTY)
            continue;
        if (shown++ < kShown)
            text += name + ": " + std::strerror(err) + "\n";
        else
            ++more;
    }
    if (more)
        text += "... und " + std::to_string(more) + " weitere\n";
    text += "\nDer Eintrag zur Deinstallation bleibt, damit Sie sie wiederholen k\xC3\xB6nnen.";
    ShowNote("%s", text.c_str());
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
    std::vector<std::pair<std::string, int>> left;
    if (chdir(folder.c_str()) != 0) {
        // Relative names must never be taken from whatever folder is current.
        const int err = errno;
        ShowStatus("%s", "");
        ShowNote("Hinweis %s/files.lst: %s", folder.c_str(), std::strerror(err));
        left.emplace_back(folder, err);
    } else {
        std::vector<std::string> lines;
        if (FILE* list = std::fopen((folder + "/files.lst").c_str(), "r")) {
            char line[kLineMax];
            while (std::fgets(line, sizeof line, list)) {
                const std::string name = WithoutLineEnd(line);
                if (name == "./" || name == ".\\")
                    folderMade = true;
                else if (!name.empty())
                    lines.push_back(name);
            }
            std::fclose(list);
        } else {
            int err = errno;
            ShowStatus("%s", "");
            ShowNote("Hinweis %s/files.lst: %s", folder.c_str(), std::strerror(err));
        }
        left = RemoveListedNames(folder, lines);
        // A folder of the program that holds the user's own files stays, as
        // it should; it is named again only when the uninstall is repeated.
        const bool complete = std::all_of(left.begin(), left.end(), [](const auto& l) { return l.second == ENOTEMPTY; });
        if (complete) {
            unlink((folder + "/files.lst").c_str());
            unlink((folder + "/setup.zip").c_str());
            left.clear();
        } else {
            if (folderMade)
                left.emplace_back("./", ENOTEMPTY);
            KeepListed(folder, left);
        }
    }
    if (!left.empty()) {
        // The entry, the shortcuts and the list stay, so that the user can
        // run the uninstall again once the cause is mended.
        ReportLeftOver(left);
        ShowStatus("Deinstallation unvollst\xC3\xA4ndig.");
        return;
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
            RemoveUninstaller(ownFile, folderMade);
    }
    QCoreApplication::quit();
}

}  // namespace installer

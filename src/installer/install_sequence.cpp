// The install sequence: copy the archive and the installer into the target
// folder, extract, make the shortcuts, start the program, register the
// uninstall entry.
#include <QApplication>
#include <QDir>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "installer/confined_files.h"
#include "installer/extract.h"
#include "installer/payload_header.h"
#include "installer/setup_form.h"
#include "installer/setup_ui.h"
#include "installer/shortcuts.h"
#include "installer/special_folders.h"
#include "platform/shell.h"

namespace installer {

namespace {

constexpr size_t kCopyBlock = 1024;

// Copies the rest of in from its current position; false on a write error.
bool CopyRest(FILE* in, FILE* out)
{
    char block[kCopyBlock];
    size_t n;
    bool ok = true;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0)
        if (std::fwrite(block, 1, n, out) != n)
            ok = false;
    return ok;
}

// The program file that an earlier install left when this one did not
// write it: the header's spelling, or the folder's entry that matches it
// ignoring case (the first in name order, so the choice does not depend on
// the file system).
std::string ProgramOnDisk(const std::string& target, const std::string& exeName)
{
    struct stat st;
    if (exeName.empty() || exeName.find('/') != std::string::npos ||
        lstat((target + "/" + exeName).c_str(), &st) == 0)
        return exeName;
    std::string found;
    if (DIR* d = opendir(target.c_str())) {
        while (dirent* entry = readdir(d))
            if (strcasecmp(entry->d_name, exeName.c_str()) == 0 && (found.empty() || found > entry->d_name))
                found = entry->d_name;
        closedir(d);
    }
    return found.empty() ? exeName : found;
}

bool CanList(const std::string& folder)
{
    DIR* d = opendir(folder.c_str());
    if (!d)
        return false;
    closedir(d);
    return true;
}

}  // namespace

void SetupForm::SetProgress(int value)
{
    ProgressBar1->setValue(value);
    ProgressBar1->repaint();
}

void SetupForm::Pause()
{
    if (pauseMs > 0)
        QThread::msleep(pauseMs);
}

void SetupForm::ExtractProgress(int total, int index)
{
    if (total > 0)
        SetProgress(int(std::int64_t(index) * 80 / total + 10));
}

void SetupForm::RunInstall()
{
    repaint();
    ShowStatus("ZIP-Archiv kopieren...");
    FILE* own = std::fopen(ownFile.c_str(), "rb");
    if (!own) {
        ShowNote("Open Fehler Modul: %s", std::strerror(errno));
        return;
    }
    int progress = 4;
    SetProgress(progress);
    Pause();

    std::string typed = Edit1->text().toStdString();
    if (typed.empty()) {
        // An empty folder would put the copies into the file system's root.
        std::fclose(own);
        ShowNote("Bitte geben Sie ein Installations-Verzeichnis an.");
        return;
    }
    // "~" would otherwise become a folder of that name where Setup started.
    std::optional<std::string> expanded = ExpandHome(typed);
    if (!expanded) {
        std::fclose(own);
        ShowNote("Das Installations-Verzeichnis %s wird nicht unterst\xC3\xBCtzt: Nur \"~\" und \"~/...\" "
                 "stehen f\xC3\xBCr das eigene Home-Verzeichnis, \"~Name\" nicht.",
                 typed.c_str());
        return;
    }
    std::string target = *expanded;
    // A relative folder is taken from where Setup started; the paths built
    // after the change into the folder must still point at it.
    if (target[0] != '/')
        target = QDir::currentPath().toStdString() + "/" + target;
    // The default folder for programs may not exist yet in a fresh home.
    const QString programs = QString::fromStdString(GetSpecialFolderPath(CSIDL_PROGRAM_FILES));
    if (!programs.isEmpty() && QDir::cleanPath(QString::fromStdString(target) + "/..") == QDir::cleanPath(programs))
        QDir().mkpath(programs);
    // Recorded, so that the uninstall removes the folder only when the
    // install made it.
    bool madeFolder = false;
    if (!CanList(target))
        madeFolder = mkdir(target.c_str(), 0777) == 0;

    if (FILE* zip = OpenBelow(target, "setup.zip")) {
        SetProgress(progress += 2);
        Pause();
        if (fseeko(own, off_t(payloadOffset), SEEK_SET) == 0)
            CopyRest(own, zip);
        std::fclose(zip);
    }

    ShowStatus("Setup.exe kopieren...");
    SetProgress(progress += 2);
    Pause();
    if (FILE* copy = OpenBelow(target, "setup.exe")) {
        std::rewind(own);
        CopyRest(own, copy);
        // The copy is the uninstaller that the uninstall entry starts.
        fchmod(fileno(copy), 0755 & ~ProcessUmask());
        std::fclose(copy);
    }
    std::fclose(own);

    bool inTarget = chdir(target.c_str()) == 0;
    SetProgress(progress += 2);
    Pause();
    int result;
    std::string written;
    if (inTarget && madeFolder)
        if (FILE* list = OpenBelow(target, "files.lst", true)) {
            std::fputs("./\n", list);
            std::fclose(list);
        }
    if (inTarget) {
        result = ExtractArchive(
            "setup.zip", [this](int total, int index) { ExtractProgress(total, index); }, exeName, &written);
    } else {
        // Never extract into whatever folder happens to be current.
        ShowNote("Cannot open %s or %s.zip\n", "setup.zip", "setup.zip");
        result = kExtractCannotOpen;
    }
    if (result != 0) {
        ShowStatus("Abbruch nach Fehler.");
        SetProgress(0);
        Button2->setEnabled(true);
        return;
    }

    const std::string program = target + "/" + (written.empty() ? ProgramOnDisk(target, exeName) : written);
    SetProgress(90);
    Pause();
    if (CheckBox1->isChecked()) {
        std::string link = ShortcutPath(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY), product);
        if (int err = CreateShortcut(program, link, product, ""))
            ShowNote("Fehler beim Anlegen der Verkn\xC3\xBCpfung %s: %s", link.c_str(), std::strerror(err));
    }
    SetProgress(94);
    Pause();
    if (CheckBox2->isChecked()) {
        std::string link = ShortcutPath(GetSpecialFolderPath(CSIDL_PROGRAMS), product);
        if (int err = CreateShortcut(program, link, product, ""))
            ShowNote("Fehler beim Anlegen der Verkn\xC3\xBCpfung %s: %s", link.c_str(), std::strerror(err));
    }
    SetProgress(96);
    Pause();
    if (CheckBox3->isChecked()) {
        platform::ShellStart started = platform::ShellExecute(program);
        if (started.error != 0 || started.noOpener) {
            char text[1024];
            std::snprintf(text, sizeof text, "Error ShellExecuteEx: %s", program.c_str());
            ShowBox(text, "Fehler");
        }
    }
    SetProgress(98);
    Pause();
    // Without a plain product name the key would be the list of all
    // uninstall entries, or another product's entry.
    if (IsPlainProductName(product)) try {
        registry = std::make_unique<platform::TRegistry>(platform::KEY_READ | platform::KEY_WRITE,
                                                         platform::Hive::LocalMachine);
        if (registry->OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, true)) {
            registry->WriteString("DisplayName", product);
            registry->WriteString("UninstallString", target + "/setup.exe /u" + product);
            registry->CloseKey();
        }
    } catch (...) {
        // A store that cannot be written leaves the install as it is.
    }

    ShowStatus("Installation fertig.");
    SetProgress(100);
    Button2->setEnabled(false);
    if (CheckBox3->isChecked()) {
        close();
        QCoreApplication::quit();
    }
}

}  // namespace installer

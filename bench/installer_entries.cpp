// Setup on an archive of many entries, for bench/installer_entries.sh, which
// measures time and peak memory per size beside unzip and python3:
//   bench_installer_entries make ARCHIVE ENTRIES      writes the archive,
//                                                     ZIP64 end records included
//   bench_installer_entries build ARCHIVE INSTALLER   appends it to Setup
//   bench_installer_entries install INSTALLER FOLDER  installs, as Setup does
//   bench_installer_entries uninstall FOLDER          uninstalls again

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "installer/installer_fixture.h"
#include "installer/payload_writer.h"
#include "installer/setup_form.h"
#include "installer/setup_ui.h"
#include "installer/uninstall_form.h"

namespace {

// Small files in folders of a thousand, as a program with many data files
// has them.
bool MakeArchive(const char* path, long entries)
{
    std::vector<ZipEntry> list{{"skimlark", "#!/bin/sh\n"}};
    for (long i = 0; i < entries; ++i)
        list.push_back({"daten/" + std::to_string(i / 1000) + "/f" + std::to_string(i) + ".txt",
                        "Eintrag " + std::to_string(i), false, 0, 2019, 4, 17, 13, 45, 30, true});
    if (!MakeZip(path, list))
        return false;
    QByteArray zip = ReadAll(path);
    MoveEndToZip64(zip, list.size());
    return WriteAll(path, zip);
}

// Every box would wait for a click; its text goes to stderr instead.
void NotesToStderr()
{
    installer::SetNoteHandler([](const std::string& text, const std::string&, installer::Buttons) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return int(installer::IDCANCEL);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return MakeArchive(argv[2], std::atol(argv[3])) ? 0 : 1;
    if (argc == 4 && std::strcmp(argv[1], "build") == 0) {
        std::string error = installer::AppendPayload(SKIMLARK_SETUP_BIN, argv[2], argv[3], "Skimlark skimlark|n|u|101|0");
        if (!error.empty())
            std::fprintf(stderr, "%s\n", error.c_str());
        return error.empty() ? 0 : 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NotesToStderr();
    if (argc == 4 && std::strcmp(argv[1], "install") == 0) {
        installer::SetupForm form({"-directory", argv[3]}, argv[2]);
        form.pauseMs = 0;
        form.show();
        form.RunInstall();
        return form.Label2->text() == "Installation fertig." ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "uninstall") == 0) {
        installer::UninstallForm form({"/uSkimlark"}, std::string(argv[2]) + "/setup.exe");
        form.askFeedback = [] {};
        form.show();
        form.Button2->click();
        return form.done ? 0 : 1;
    }
    return 2;
}

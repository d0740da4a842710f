// Setup's extraction of a hostile archive: the input is the archive behind a
// Setup program's header, taken out of the program file as Setup does and
// unpacked into an empty folder. Whatever the archive holds, nothing may be
// written beside that folder, no link may lead out of it, and every file
// that is there must be listed in files.lst.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

#include "installer/extract.h"
#include "installer/payload_header.h"
#include "installer/setup_ui.h"

namespace installer {
int ShowNote(const char*, ...) { return IDOK; }
int AskNote(const char*, ...) { return IDNO; }
void ShowStatus(const char*, ...) {}
}  // namespace installer

namespace fs = std::filesystem;

namespace {

// A fixed place, so that seeds can aim links and names at "outside".
const fs::path kBase = "/tmp/skimlark-fuzz-extract";

bool Inside(const fs::path& path, const fs::path& folder)
{
    const std::string p = path.lexically_normal().string(), f = folder.lexically_normal().string();
    return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::error_code ec;
    fs::remove_all(kBase, ec);
    const fs::path target = kBase / "ziel", outside = kBase / "outside";
    fs::create_directories(target);
    fs::create_directories(outside);

    // The program file: some code, the header, then the archive.
    const fs::path program = kBase / "setup-program";
    {
        std::ofstream out(program, std::ios::binary);
        out << "\x7f" "ELF stand-in for the program's code\n"
            << installer::LeadIn() << "Skimlark;skimlark;0;0;1;1$";
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    installer::PayloadScan scan = installer::ReadPayloadHeader(program.string());
    if (!scan.found)
        std::abort();
    {
        std::ifstream in(program, std::ios::binary);
        in.seekg(std::streamoff(scan.payloadOffset));
        std::ofstream zip(target / "setup.zip", std::ios::binary);
        zip << in.rdbuf();
    }

    const fs::path here = fs::current_path();
    fs::current_path(target);
    std::string written;
    (void)installer::ExtractArchive("setup.zip", nullptr, "skimlark", &written);
    fs::current_path(here);

    if (!fs::is_empty(outside))
        std::abort();
    std::set<std::string> listed;
    {
        std::ifstream list(target / "files.lst");
        for (std::string line; std::getline(list, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            listed.insert(line);
        }
    }
    for (auto it = fs::recursive_directory_iterator(target, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string rel = p.lexically_relative(target).string();
        if (it->is_symlink(ec)) {
            fs::path to = fs::read_symlink(p, ec);
            if (to.is_absolute() || !Inside(p.parent_path() / to, target))
                std::abort();
        }
        if (it->is_regular_file(ec) && rel != "setup.zip" && rel != "files.lst" && !listed.count(rel) &&
            !listed.count("./" + rel))
            std::abort();
    }
    return 0;
}

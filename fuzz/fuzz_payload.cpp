// The installer's reading of hostile program files: the payload header and
// its fields, and the entry names of the archive. No crash, no header past
// its limit, no entry path that leaves the target folder.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "installer/extract.h"
#include "installer/payload_header.h"
#include "installer/setup_ui.h"

// The fuzzer has no window for the installer's notes.
namespace installer {
int ShowNote(const char*, ...) { return IDOK; }
int AskNote(const char*, ...) { return IDNO; }
void ShowStatus(const char*, ...) {}
}  // namespace installer

namespace {

void CheckEntryName(const std::string& name)
{
    auto path = installer::SafeEntryPath(name);
    if (!path)
        return;
    const std::string& p = *path;
    if (!p.empty() && p[0] == '/')
        std::abort();
    if (p.find('\\') != std::string::npos || p == ".." || p.rfind("../", 0) == 0 ||
        p.find("/../") != std::string::npos || (p.size() >= 3 && p.compare(p.size() - 3, 3, "/..") == 0))
        std::abort();
    for (unsigned char c : p)
        if (c < 0x20 || c == 0x7F)
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static const std::string file = "/tmp/fuzz_payload." + std::to_string(::getpid());
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        installer::PayloadScan scan = installer::ReadPayloadHeader(file);
        if (scan.headerText.size() > installer::kMaxHeaderText || scan.payloadOffset > scan.fileSize ||
            (scan.opened && scan.fileSize != bytes.size()))
            std::abort();
        installer::HeaderFields fields = installer::ParseHeaderText(scan.headerText);
        (void)installer::IsPlainProductName(fields.product);
    }
    installer::HeaderFields fields = installer::ParseHeaderText(bytes);
    (void)installer::IsPlainProductName(fields.product);
    // Every line is an entry name, and so is the whole input.
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        CheckEntryName(bytes.substr(pos, end - pos));
        pos = end + 1;
    }
    CheckEntryName(bytes);
    return 0;
}

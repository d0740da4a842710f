// make-installer SETUP ARCHIVE.zip OUTPUT "HEADER TEXT"
// Appends the archive and its header to the Setup program, giving an
// installer; the header text is "product exe|notice|url|icon|licence". An
// archive that holds the header's lead-in is refused.
#include <cstdio>

#include "installer/payload_writer.h"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SETUP ARCHIVE.zip OUTPUT \"HEADER TEXT\"\n", argv[0]);
        return 2;
    }
    std::string error = installer::AppendPayload(argv[1], argv[2], argv[3], argv[4]);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    return 0;
}

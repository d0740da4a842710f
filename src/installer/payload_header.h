// The one-line header in front of the archive that travels inside the Setup
// program file: lead-in, header text, "$", then the archive to the file's end.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

// The complete header of the default product. Its first 20 characters are
// the lead-in that the reader looks for; the string is held only once in the
// program, so the reader meets it in the program's data before any appended
// header, which then replaces it.
extern const char kDefaultHeader[];
// "1234567890987654321 ", taken from kDefaultHeader.
std::string LeadIn();
// The longest header text kept; a longer run after a lead-in is dropped.
constexpr size_t kMaxHeaderText = 259;

struct PayloadScan {
    bool opened = false;      // false: the file could not be read
    int error = 0;            // errno of the failed open
    bool found = false;       // a complete header was met
    std::string headerText;   // the last complete header text, "" when none
    std::uint64_t payloadOffset = 0;  // file position right behind its "$"
    std::uint64_t fileSize = 0;
};

// Scans the file byte by byte; the last complete header counts.
[[nodiscard]] PayloadScan ReadPayloadHeader(const std::string& path);

// The fields of a header text. Unset texts stay empty; the numbers keep
// their defaults.
struct HeaderFields {
    std::string product;
    std::string exeName;
    bool hasNotice = false, hasUrl = false;
    std::string notice;  // Label3
    std::string url;     // Label4
    int iconId = 1;
    int licenceTextNo = 1;
};

HeaderFields ParseHeaderText(const std::string& text);

// True when product can name a registry key of its own below a parent key:
// not empty and without "\" or "/", which would name the parent or others.
bool IsPlainProductName(const std::string& product);

// The running program's own file (/proc/self/exe).
std::string OwnProgramFile();

}  // namespace installer

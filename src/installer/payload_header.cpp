#include "installer/payload_header.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace installer {

const char kDefaultHeader[] =
    "1234567890987654321 Skimlark SkimlarkTest.exe|\xC2\xA9 Skimlark-Projekt, alle Rechte vorbehalten"
    "|https://www.skimlark.example/|105|3$";

std::string LeadIn() { return std::string(kDefaultHeader, 20); }

PayloadScan ReadPayloadHeader(const std::string& path)
{
    PayloadScan scan;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        scan.error = errno;
        return scan;
    }
    scan.opened = true;
    const std::string lead = LeadIn();
    size_t match = 0;
    bool collecting = false;
    std::string collected;
    std::uint64_t pos = 0;
    std::vector<unsigned char> block(65536);
    size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), f)) > 0) {
        for (size_t i = 0; i < n; ++i, ++pos) {
            char c = char(block[i]);
            if (!collecting) {
                if (c == lead[match]) {
                    if (++match == lead.size()) {
                        collecting = true;
                        collected.clear();
                    }
                } else {
                    // The byte that broke the match does not start a new one.
                    match = 0;
                }
            } else if (c == '$') {
                scan.found = true;
                scan.headerText = collected;
                scan.payloadOffset = pos + 1;
                collecting = false;
                match = 0;
            } else if (collected.size() < kMaxHeaderText) {
                collected += c;
            } else {
                // Too long for a header: drop it and look for the next lead-in.
                collecting = false;
                match = 0;
            }
        }
    }
    scan.fileSize = pos;
    std::fclose(f);
    return scan;
}

namespace {

// Splits as the C library's tokenizer does: runs of separators count as one,
// empty pieces are never produced.
std::vector<std::string> Tokens(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == sep)
            ++i;
        if (i >= text.size())
            break;
        size_t end = text.find(sep, i);
        if (end == std::string::npos)
            end = text.size();
        parts.push_back(text.substr(i, end - i));
        i = end;
    }
    return parts;
}

}  // namespace

HeaderFields ParseHeaderText(const std::string& text)
{
    HeaderFields h;
    std::string first = text;
    if (text.find('|') != std::string::npos) {
        auto parts = Tokens(text, '|');
        first = parts.empty() ? std::string() : parts[0];
        if (parts.size() > 1) {
            h.hasNotice = true;
            h.notice = parts[1];
        }
        if (parts.size() > 2) {
            h.hasUrl = true;
            h.url = parts[2];
        }
        if (parts.size() > 3)
            h.iconId = std::atoi(parts[3].c_str());
        if (parts.size() > 4)
            h.licenceTextNo = std::atoi(parts[4].c_str());
    }
    auto words = Tokens(first, ' ');
    if (!words.empty())
        h.product = words[0];
    if (words.size() > 1)
        h.exeName = words[1];
    return h;
}

bool IsPlainProductName(const std::string& product)
{
    return !product.empty() && product.find_first_of("\\/") == std::string::npos;
}

std::string OwnProgramFile()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

}  // namespace installer

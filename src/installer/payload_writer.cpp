#include "installer/payload_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "installer/payload_header.h"

namespace installer {

namespace {

std::string Failed(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool Append(FILE* out, const std::string& path, std::string& error)
{
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        error = Failed("cannot read", path);
        return false;
    }
    char block[65536];
    size_t n;
    bool ok = true;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0)
        if (std::fwrite(block, 1, n, out) != n)
            ok = false;
    if (std::ferror(in)) {
        error = Failed("cannot read", path);
        ok = false;
    }
    std::fclose(in);
    return ok;
}

// True when the lead-in occurs in the file. The installer takes the last
// header in its file, so a lead-in inside the archive would be read as one.
bool HoldsLeadIn(const std::string& path, std::string& error)
{
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        error = Failed("cannot read", path);
        return false;
    }
    const std::string lead = LeadIn();
    std::string window;  // the last bytes of the previous block, so a lead-in across blocks is seen
    char block[65536];
    size_t n;
    bool found = false;
    while (!found && (n = std::fread(block, 1, sizeof block, in)) > 0) {
        window.append(block, n);
        found = window.find(lead) != std::string::npos;
        window.erase(0, window.size() - std::min(window.size(), lead.size() - 1));
    }
    if (std::ferror(in))
        error = Failed("cannot read", path);
    std::fclose(in);
    return found;
}

}  // namespace

std::string AppendPayload(const std::string& setupPath, const std::string& archivePath,
                          const std::string& outPath, const std::string& headerText)
{
    if (headerText.size() > kMaxHeaderText)
        return "header text longer than 259 characters";
    if (headerText.find('$') != std::string::npos)
        return "header text must not contain '$'";
    std::string error;
    if (HoldsLeadIn(archivePath, error))
        return "archive " + archivePath + " contains the payload lead-in \"" + LeadIn() +
               "\"; the installer would read a false header from it";
    if (!error.empty())
        return error;
    std::string temp = outPath + ".part";
    FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out)
        return Failed("cannot write", temp);
    bool ok = Append(out, setupPath, error);
    std::string header = LeadIn() + headerText + "$\r\n";
    if (ok && std::fwrite(header.data(), 1, header.size(), out) != header.size())
        ok = false;
    if (ok)
        ok = Append(out, archivePath, error);
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok) {
        if (error.empty())
            error = Failed("cannot write", temp);
        std::remove(temp.c_str());
        return error;
    }
    chmod(temp.c_str(), 0755);
    if (std::rename(temp.c_str(), outPath.c_str()) != 0) {
        error = Failed("cannot write", outPath);
        std::remove(temp.c_str());
        return error;
    }
    return {};
}

}  // namespace installer

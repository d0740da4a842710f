#include "editor/script_file.h"

#include <cerrno>
#include <cstdio>

#include "platform/error_text.h"
#include "platform/replace_file.h"

std::string WithScriptExtension(const std::string& path)
{
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot - 1 > 4)
        return path + ".skl";
    return path;
}

bool ReadScriptFile(const std::string& path, std::string& bytes, std::string& error)
{
    std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) {
        error = SystemErrorTextUtf8(path.empty() ? ENOENT : errno);
        return false;
    }
    bytes.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    bool ok = !std::ferror(f);
    int err = errno;
    std::fclose(f);
    if (!ok)
        error = SystemErrorTextUtf8(err);
    return ok;
}

bool WriteScriptFile(const std::string& path, const std::string& bytes, std::string& error)
{
    int err = platform::ReplaceFileContent(path, bytes);
    if (err != 0)
        error = SystemErrorTextUtf8(err);
    return err == 0;
}

#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cp1252.h"

namespace platform {

int ReadWholeFile(const std::string& path, std::string& text)
{
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        int err = n < 0 ? errno : 0;
        ::close(fd);
        if (err)
            text.clear();
        return err;
    }
}

namespace {

bool IsAscii(std::string_view text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Calls part(text) for each piece between the slashes and keeps the slashes
// themselves, so "/a//b/" comes back as it went in.
template <typename Part>
std::string EachPart(std::string_view path, Part part)
{
    std::string out;
    out.reserve(path.size() + path.size() / 4);
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        size_t end = slash == std::string_view::npos ? path.size() : slash;
        part(out, path.substr(start, end - start));
        if (slash == std::string_view::npos)
            break;
        out += '/';
        start = slash + 1;
    }
    return out;
}

}  // namespace

std::string SystemName(std::string_view scriptName)
{
    if (IsAscii(scriptName))
        return std::string(scriptName);
    // The parts are decided from the left: a part is looked for inside the
    // folder that the parts before it named.
    return EachPart(scriptName, [](std::string& out, std::string_view part) {
        if (IsAscii(part)) {
            out += part;
            return;
        }
        std::string converted = Cp1252ToUtf8(part);
        if (!Exists(out + converted) && Exists(out + std::string(part)))
            out += part;
        else
            out += converted;
    });
}

std::string ScriptName(std::string_view systemName)
{
    if (IsAscii(systemName))
        return std::string(systemName);
    return EachPart(systemName, [](std::string& out, std::string_view part) {
        std::string converted = IsValidUtf8(part) ? Utf8ToCp1252(part) : std::string();
        // A '?' that was no '?' stands for a character the code page lacks.
        bool fits = !converted.empty() && Cp1252ToUtf8(converted) == part;
        out += fits ? std::string_view(converted) : part;
    });
}

}  // namespace platform

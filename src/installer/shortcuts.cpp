#include "installer/shortcuts.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/folders.h"

namespace installer {

namespace {

// Line breaks would end the value; everything else stays.
std::string OneLine(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string DesktopExecArgument(const std::string& path)
{
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return OneLine(quoted);
}

std::string ShortcutPath(const std::string& folder, const std::string& product)
{
    std::string file = product;
    for (char& c : file)
        if (c == '/')
            c = '_';
    return folder + "/" + file + ".desktop";
}

int CreateShortcut(const std::string& target, const std::string& shortcutPath,
                   const std::string& name, const std::string& description)
{
    auto slash = shortcutPath.rfind('/');
    if (slash != std::string::npos && slash > 0)
        platform::MakeDirs(shortcutPath.substr(0, slash));
    std::string temp = shortcutPath + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f)
        return errno;
    std::fprintf(f, "[Desktop Entry]\nType=Application\nVersion=1.0\nName=%s\n", OneLine(name).c_str());
    if (!description.empty())
        std::fprintf(f, "Comment=%s\n", OneLine(description).c_str());
    std::fprintf(f, "Exec=%s\nTerminal=false\n", DesktopExecArgument(target).c_str());
    if (std::fclose(f) != 0) {
        int err = errno;
        std::remove(temp.c_str());
        return err;
    }
    // Desktops start a launcher on the desktop only when it is executable.
    chmod(temp.c_str(), 0755);
    if (std::rename(temp.c_str(), shortcutPath.c_str()) != 0) {
        int err = errno;
        std::remove(temp.c_str());
        return err;
    }
    return 0;
}

}  // namespace installer

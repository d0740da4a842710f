#include "installer/special_folders.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace installer {

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

std::string Home() { return Env("HOME"); }

std::string& SystemPrograms()
{
    static std::string folder = "/opt";
    return folder;
}

std::string ProgramFiles()
{
    if (access(SystemPrograms().c_str(), W_OK | X_OK) == 0)
        return SystemPrograms();
    return Home().empty() ? std::string() : Home() + "/.local/opt";
}

std::string DataHome()
{
    std::string x = Env("XDG_DATA_HOME");
    if (!x.empty())
        return x;
    std::string home = Home();
    return home.empty() ? std::string() : home + "/.local/share";
}

// XDG_DESKTOP_DIR="$HOME/Desktop" in the user-dirs file.
std::string DesktopFromUserDirs()
{
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() && !Home().empty())
        config = Home() + "/.config";
    if (config.empty())
        return {};
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = Home() + value.substr(5);
        return value;
    }
    return {};
}

}  // namespace

std::string GetSpecialFolderPath(int csidl)
{
    switch (csidl) {
    case CSIDL_PROGRAM_FILES:
        return ProgramFiles();
    case CSIDL_PROGRAMS: {
        std::string data = DataHome();
        return data.empty() ? data : data + "/applications";
    }
    case CSIDL_DESKTOPDIRECTORY: {
        std::string desk = Env("XDG_DESKTOP_DIR");
        if (desk.empty())
            desk = DesktopFromUserDirs();
        if (desk.empty() && !Home().empty())
            desk = Home() + "/Desktop";
        return desk;
    }
    default:
        return {};
    }
}

void SetSystemProgramsFolder(const std::string& folder) { SystemPrograms() = folder; }

std::optional<std::string> ExpandHome(const std::string& folder)
{
    if (folder.empty() || folder[0] != '~')
        return folder;
    if (folder.size() > 1 && folder[1] != '/')
        return std::nullopt;
    std::string home = Home();
    if (home.empty()) {
        // As a shell does without HOME: the account's own entry.
        const passwd* pw = getpwuid(getuid());
        if (pw && pw->pw_dir)
            home = pw->pw_dir;
    }
    if (home.empty())
        return std::nullopt;
    return home + folder.substr(1);
}

}  // namespace installer

#include "installer/uninstall.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "installer/extract.h"
#include "installer/payload_header.h"
#include "installer/shortcuts.h"
#include "installer/special_folders.h"
#include "platform/registry.h"

namespace installer {

namespace {

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// True when inner is top itself or lies below it (both resolved paths).
bool IsWithin(const std::string& inner, const std::string& top)
{
    if (inner.empty() || top.empty())
        return false;
    if (inner == top)
        return true;
    const std::string prefix = top == "/" ? top : top + "/";
    return inner.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string FolderOf(const std::string& file)
{
    size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

bool RemoveListedFile(const std::string& folder, const std::string& line)
{
    auto relative = SafeEntryPath(line);
    if (!relative || relative->empty())
        return false;
    const std::string path = folder + "/" + *relative;
    // A folder on the way may be a link to somewhere else; the file's own
    // folder must resolve to a place inside the installation.
    const std::string top = RealPath(folder);
    const std::string parent = RealPath(FolderOf(path));
    if (!IsWithin(parent, top))
        return false;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    // unlink removes a link itself, never what it points at.
    return unlink(path.c_str()) == 0;
}

void RemoveDirectoryTree(const std::string& folder)
{
    DIR* d = opendir(folder.c_str());
    if (!d)
        return;
    while (dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "setup.exe" || name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        // lstat: a link to a folder elsewhere is not part of the tree.
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            RemoveDirectoryTree(path);
    }
    closedir(d);
    rmdir(folder.c_str());
}

void RemoveShortcuts(const std::string& product)
{
    if (product.empty())
        return;
    for (int csidl : {int(CSIDL_DESKTOPDIRECTORY), int(CSIDL_PROGRAMS)}) {
        const std::string folder = GetSpecialFolderPath(csidl);
        if (!folder.empty())
            unlink(ShortcutPath(folder, product).c_str());
    }
}

void RemoveProductKeys(const std::string& product)
{
    if (!IsPlainProductName(product))
        return;
    try {
        platform::TRegistry registry(platform::KEY_READ | platform::KEY_WRITE, platform::Hive::CurrentUser);
        (void)registry.DeleteKey("\\Software\\Orvanta\\" + product);
        registry.SetRootKey(platform::Hive::LocalMachine);
        (void)registry.DeleteKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product);
        registry.CloseKey();
    } catch (...) {
        // A store that cannot be written keeps its keys; the uninstall goes on.
    }
}

void RemoveUninstaller(const std::string& ownFile)
{
    size_t slash = ownFile.rfind('/');
    const std::string name = slash == std::string::npos ? ownFile : ownFile.substr(slash + 1);
    // Started from anywhere else (a downloaded installer), the file is not ours to delete.
    if (name != "setup.exe")
        return;
    const std::string folder = FolderOf(ownFile);
    unlink(ownFile.c_str());
    // rmdir fails while the folder still holds anything, so nothing else goes.
    rmdir(folder.c_str());
}

}  // namespace installer

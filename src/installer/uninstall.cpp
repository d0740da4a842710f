#include "installer/uninstall.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "installer/extract.h"
#include "installer/payload_header.h"
#include "installer/setup_ui.h"
#include "installer/shortcuts.h"
#include "installer/special_folders.h"
#include "platform/registry.h"

namespace installer {

std::string FolderOf(const std::string& file)
{
    size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

int RemoveListedName(const std::string& folder, const std::string& line)
{
    const bool isFolder = !line.empty() && (line.back() == '/' || line.back() == '\\');
    auto relative = SafeEntryPath(line);
    if (!relative || relative->empty())
        return 0;
    std::vector<std::string> levels;
    for (size_t pos = 0; pos <= relative->size();) {
        size_t slash = relative->find('/', pos);
        if (slash == std::string::npos)
            slash = relative->size();
        levels.push_back(relative->substr(pos, slash - pos));
        pos = slash + 1;
    }
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (dir < 0 || fstat(dir, &st) != 0) {
        int err = errno;
        if (dir >= 0)
            close(dir);
        return err;
    }
    const dev_t device = st.st_dev;
    int err = 0;
    for (size_t i = 0; i + 1 < levels.size() && err == 0; ++i) {
        int next = openat(dir, levels[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            // Gone, or replaced by a link or a file: nothing of ours is there.
            err = errno == ENOENT || errno == ELOOP || errno == ENOTDIR ? -1 : errno;
        } else if (fstat(next, &st) != 0 || st.st_dev != device) {
            err = EXDEV;
        }
        close(dir);
        dir = next;
    }
    if (err == 0) {
        const char* name = levels.back().c_str();
        if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            err = errno == ENOENT ? -1 : errno;
        else if (isFolder != bool(S_ISDIR(st.st_mode)))
            err = -1;  // no longer what the install made there
        else if (st.st_dev != device)
            err = isFolder ? -1 : EXDEV;  // a file system mounted there
        else if (unlinkat(dir, name, isFolder ? AT_REMOVEDIR : 0) != 0)
            err = errno == EEXIST ? ENOTEMPTY : errno;
    }
    if (dir >= 0)
        close(dir);
    return err < 0 ? 0 : err;
}

std::vector<std::pair<std::string, int>> RemoveListedNames(const std::string& folder,
                                                           const std::vector<std::string>& lines)
{
    auto isFolder = [](const std::string& line) {
        return !line.empty() && (line.back() == '/' || line.back() == '\\');
    };
    auto depth = [](const std::string& line) {
        return std::count_if(line.begin(), line.end(), [](char c) { return c == '/' || c == '\\'; });
    };
    std::vector<std::string> order;
    for (const std::string& line : lines)
        if (!isFolder(line))
            order.push_back(line);
    std::vector<std::string> folders;
    for (const std::string& line : lines)
        if (isFolder(line))
            folders.push_back(line);
    std::stable_sort(folders.begin(), folders.end(),
                     [&](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
    order.insert(order.end(), folders.begin(), folders.end());

    std::vector<std::pair<std::string, int>> left;
    for (const std::string& line : order) {
        if (!isFolder(line))
            ShowStatus("L\xC3\xB6sche %s", line.c_str());
        if (int err = RemoveListedName(folder, line))
            left.emplace_back(line, err);
    }
    return left;
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

void RemoveUninstaller(const std::string& ownFile, bool folderMade)
{
    size_t slash = ownFile.rfind('/');
    const std::string name = slash == std::string::npos ? ownFile : ownFile.substr(slash + 1);
    // Started from anywhere else (a downloaded installer), the file is not ours to delete.
    if (name != "setup.exe")
        return;
    const std::string folder = FolderOf(ownFile);
    unlink(ownFile.c_str());
    // rmdir fails while the folder still holds anything, so nothing else goes.
    if (folderMade)
        rmdir(folder.c_str());
}

}  // namespace installer

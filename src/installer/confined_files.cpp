#include "installer/confined_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace installer {

namespace {

std::vector<std::string> Levels(const std::string& relative)
{
    std::vector<std::string> levels;
    std::string level;
    for (char c : relative + "/") {
        if (c == '/' || c == '\\') {
            if (!level.empty())
                levels.push_back(level);
            level.clear();
        } else {
            level += c;
        }
    }
    return levels;
}

// Keeps errno of the failure that the caller reports across close().
void CloseKeepingErrno(int fd)
{
    int err = errno;
    close(fd);
    errno = err;
}

// The folder level name below dir, never through a link; -1 with errno.
int OpenLevel(int dir, const std::string& name)
{
    return openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A link, or a file that is also known under another name (possibly outside
// the folder), is taken away before the file is written anew.
void ClearTheWay(int dir, const std::string& name)
{
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1))
        unlinkat(dir, name.c_str(), 0);
}

}  // namespace

namespace {

// Opens the folder that holds relative's last level below folder, never
// through a link; -1 with errno. name receives that last level.
int OpenParent(const std::string& folder, const std::string& relative, std::string* name)
{
    std::vector<std::string> levels = Levels(relative);
    if (levels.empty()) {
        errno = EISDIR;
        return -1;
    }
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return -1;
    for (size_t i = 0; i + 1 < levels.size(); ++i) {
        int next = OpenLevel(dir, levels[i]);
        if (next < 0) {
            CloseKeepingErrno(dir);
            return -1;
        }
        close(dir);
        dir = next;
    }
    *name = levels.back();
    return dir;
}

}  // namespace

std::FILE* OpenBelow(const std::string& folder, const std::string& relative, bool append)
{
    std::string name;
    int dir = OpenParent(folder, relative, &name);
    if (dir < 0)
        return nullptr;
    ClearTheWay(dir, name);
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd = openat(dir, name.c_str(), flags, 0666);
    struct stat st;
    if (fd < 0 && errno == EACCES && !append && fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
        // Replaced, not written into: the old file goes, a new one comes.
        if (unlinkat(dir, name.c_str(), 0) == 0)
            fd = openat(dir, name.c_str(), flags | O_EXCL, 0666);
        else
            errno = EACCES;
    }
    if (fd < 0) {
        CloseKeepingErrno(dir);
        return nullptr;
    }
    close(dir);
    std::FILE* f = fdopen(fd, append ? "ab" : "wb");
    if (!f)
        CloseKeepingErrno(fd);
    return f;
}

bool LinkBelow(const std::string& folder, const std::string& relative, const std::string& target)
{
    std::string name;
    int dir = OpenParent(folder, relative, &name);
    if (dir < 0)
        return false;
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
        unlinkat(dir, name.c_str(), 0);
    const bool ok = symlinkat(target.c_str(), dir, name.c_str()) == 0;
    CloseKeepingErrno(dir);
    return ok;
}

bool MakeFoldersBelow(const std::string& relative, std::string* failedLevel)
{
    int dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    std::string path;
    for (const std::string& level : Levels(relative)) {
        path += path.empty() ? level : "/" + level;
        if (mkdirat(dir, level.c_str(), 0777) != 0 && errno == EEXIST) {
            struct stat st;
            if (fstatat(dir, level.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) &&
                unlinkat(dir, level.c_str(), 0) == 0)
                mkdirat(dir, level.c_str(), 0777);
        }
        int next = OpenLevel(dir, level);
        if (next < 0) {
            bool missing = errno == ENOENT;
            CloseKeepingErrno(dir);
            if (failedLevel)
                *failedLevel = path;
            // A file in the way is for the open that follows to report.
            return !missing;
        }
        close(dir);
        dir = next;
    }
    close(dir);
    return true;
}

mode_t ProcessUmask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace installer

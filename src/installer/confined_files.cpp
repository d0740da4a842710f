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

std::FILE* OpenBelow(const std::string& folder, const std::string& relative, bool append)
{
    std::vector<std::string> levels = Levels(relative);
    if (levels.empty()) {
        errno = EISDIR;
        return nullptr;
    }
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return nullptr;
    for (size_t i = 0; i + 1 < levels.size(); ++i) {
        int next = OpenLevel(dir, levels[i]);
        if (next < 0) {
            CloseKeepingErrno(dir);
            return nullptr;
        }
        close(dir);
        dir = next;
    }
    const std::string& name = levels.back();
    ClearTheWay(dir, name);
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd = openat(dir, name.c_str(), flags, 0666);
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

bool MakeFoldersBelow(const std::string& relative, std::string* failedLevel)
{
    int dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    std::string made;
    for (const std::string& level : Levels(relative)) {
        made += made.empty() ? level : "/" + level;
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
                *failedLevel = made;
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

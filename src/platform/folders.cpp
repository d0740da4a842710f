#include "platform/folders.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string ProgramDir()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    std::string path(buf, size_t(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string TempDir()
{
    const char* t = std::getenv("TMPDIR");
    std::string dir = (t && *t) ? t : "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

std::string UserDataDir()
{
    const char* x = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (x && *x) {
        base = x;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.local/share";
    }
    return base + "/skimlark";
}

bool MakeDirs(const std::string& path)
{
    if (path.empty())
        return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
                return false;
        }
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritableDir(const std::string& path)
{
    return access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace platform

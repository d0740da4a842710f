#include "platform/replace_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Writes everything and closes fd; 0 or the first errno. The content is
// synced, so that a rename that follows never shows an empty file after a
// crash.
int WriteAllAndClose(int fd, const std::string& bytes)
{
    size_t done = 0;
    int err = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : ENOSPC;
            break;
        }
        done += size_t(n);
    }
    if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    return err;
}

// The file a path names, links followed; the path itself when it names
// nothing yet.
std::string ResolvedTarget(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;  // a dangling link: creating through it fails or makes its target
    std::string target = real;
    std::free(real);
    return target;
}

int CreateNew(const std::string& path, const std::string& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int err = WriteAllAndClose(fd, bytes);
    if (err != 0)
        ::unlink(path.c_str());
    return err;
}

// Devices and pipes have no content to keep; they are written where they are.
int WriteInPlace(const std::string& path, const std::string& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return errno;
    return WriteAllAndClose(fd, bytes);
}

}  // namespace

int ReplaceFileContent(const std::string& path, const std::string& bytes)
{
    std::string target = ResolvedTarget(path);
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return errno;
        int err = CreateNew(target, bytes);
        // Someone created it meanwhile: replace it as any existing file.
        if (err != EEXIST)
            return err;
        if (::stat(target.c_str(), &st) != 0)
            return errno;
    }
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return WriteInPlace(target, bytes);
    // A file the user may not write is not replaced behind its back.
    if (::access(target.c_str(), W_OK) != 0)
        return errno;

    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = dir + "." + base + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int err = 0;
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        err = errno;
    // Only root may give the file away; anyone else keeps it as their own.
    if (err == 0 && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)!::fchown(fd, st.st_uid, st.st_gid);
    if (err == 0)
        err = WriteAllAndClose(fd, bytes);
    else
        ::close(fd);
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0)
        ::unlink(temp.c_str());
    return err;
}

}  // namespace platform

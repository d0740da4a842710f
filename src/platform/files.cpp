#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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

}  // namespace platform

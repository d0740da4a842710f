#include "platform/page_copy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <mutex>

namespace platform {

namespace {

std::string CopyName(const std::string& dataDir, int n)
{
    return dataDir + "/_skimlark" + std::to_string(n) + ".html";
}

}  // namespace

std::string PageCopyPath(const std::string& dataDir)
{
    // The run writes the copy, the window reads it: both ask here.
    static std::mutex lock;
    static std::map<std::string, std::string> held;
    std::lock_guard<std::mutex> guard(lock);
    auto it = held.find(dataDir);
    if (it != held.end())
        return it->second;
    // A lock on the file marks it as taken; it goes with the program, also
    // when the program is killed.
    constexpr int kPrograms = 100;
    for (int n = 0; n < kPrograms; ++n) {
        const std::string path = CopyName(dataDir, n);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            break;  // the writer reports what is wrong with the folder
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            held.emplace(dataDir, path);
            return path;  // the descriptor stays open while the program runs
        }
        ::close(fd);
    }
    return CopyName(dataDir, 0);
}

}  // namespace platform

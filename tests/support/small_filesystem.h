// A file system of its own, small and optionally read-only, for writes that
// fail as they do on a full or write-protected disk. Mounting needs root;
// elsewhere mounted() is false and the tests that need it skip.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

class SmallFilesystem {
public:
    explicit SmallFilesystem(size_t bytes)
    {
        char name[] = "/tmp/skimlark-small-fs-XXXXXX";
        if (!::mkdtemp(name))
            return;
        path_ = name;
        std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFilesystem()
    {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
        if (!path_.empty())
            ::rmdir(path_.c_str());
    }
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;

    bool mounted() const { return mounted_; }
    // The folder, with a trailing "/".
    std::string path() const { return path_ + "/"; }
    static const char* skipReason() { return "mounting a small tmpfs needs root"; }

    bool makeReadOnly(bool readOnly = true)
    {
        unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        return ::mount(nullptr, path_.c_str(), nullptr, flags, nullptr) == 0;
    }
    // Takes every free byte with the file "filler"; removing it frees them.
    void fill()
    {
        int fd = ::open((path() + "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return;
        static const char block[512] = {};
        for (size_t size = sizeof block; size > 0; size /= 2)
            while (::write(fd, block, size) == ssize_t(size)) {
            }
        ::close(fd);
    }

private:
    std::string path_;
    bool mounted_ = false;
};

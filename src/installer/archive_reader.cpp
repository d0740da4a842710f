#include "installer/archive_reader.h"

#include <sys/types.h>
#include <vector>

namespace installer {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;       // PK 5 6
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;  // PK 6 6
constexpr std::uint32_t kLocatorSignature = 0x07064b50;   // PK 6 7
constexpr size_t kEndSize = 22, kLocatorSize = 20, kZip64EndSize = 56;
// The end record's comment is at most 65,535 bytes; the ZIP64 end record
// may carry data of its own in front of the locator.
constexpr size_t kTail = kEndSize + 0xFFFF + kLocatorSize + kZip64EndSize + 0xFFFF;

std::uint64_t Little(const unsigned char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

struct Stream {
    std::FILE* file;
    off_t start;
};

voidpf OpenFile(voidpf, const void* name, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    std::FILE* file = std::fopen(static_cast<const char*>(name), "rb");
    if (!file)
        return nullptr;
    return new Stream{file, off_t(ArchiveStart(file))};
}

uLong ReadFile(voidpf, voidpf stream, void* buf, uLong size)
{
    return uLong(std::fread(buf, 1, size, static_cast<Stream*>(stream)->file));
}

uLong WriteFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellFile(voidpf, voidpf stream)
{
    auto* s = static_cast<Stream*>(stream);
    off_t at = ftello(s->file);
    return at < 0 ? ZPOS64_T(-1) : ZPOS64_T(at - s->start);
}

long SeekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* s = static_cast<Stream*>(stream);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        if (offset > ZPOS64_T(INT64_MAX - s->start))
            return -1;
        return fseeko(s->file, s->start + off_t(offset), SEEK_SET) == 0 ? 0 : -1;
    case ZLIB_FILEFUNC_SEEK_CUR:
        return fseeko(s->file, off_t(offset), SEEK_CUR) == 0 ? 0 : -1;
    case ZLIB_FILEFUNC_SEEK_END:
        return fseeko(s->file, off_t(offset), SEEK_END) == 0 ? 0 : -1;
    default:
        return -1;
    }
}

int CloseFile(voidpf, voidpf stream)
{
    auto* s = static_cast<Stream*>(stream);
    int r = std::fclose(s->file);
    delete s;
    return r;
}

int ErrorFile(voidpf, voidpf stream) { return std::ferror(static_cast<Stream*>(stream)->file); }

}  // namespace

std::uint64_t ArchiveStart(std::FILE* file)
{
    if (fseeko(file, 0, SEEK_END) != 0)
        return 0;
    const off_t size = ftello(file);
    if (size < off_t(kEndSize + kLocatorSize + kZip64EndSize))
        return 0;
    const off_t tailAt = size > off_t(kTail) ? size - off_t(kTail) : 0;
    std::vector<unsigned char> tail(size_t(size - tailAt));
    if (fseeko(file, tailAt, SEEK_SET) != 0 || std::fread(tail.data(), 1, tail.size(), file) != tail.size())
        return 0;
    const unsigned char* t = tail.data();

    // The end record, searched from the back as minizip does.
    size_t end = tail.size() - kEndSize;
    while (end > 0 && Little(t + end, 4) != kEndSignature)
        --end;
    if (end < kLocatorSize + kZip64EndSize)
        return 0;
    const size_t locator = end - kLocatorSize;
    if (Little(t + locator, 4) != kLocatorSignature)
        return 0;
    const std::uint64_t named = Little(t + locator + 8, 8);

    // The ZIP64 end record stands right in front of the locator; its size
    // field counts what follows the first 12 bytes.
    for (size_t at = locator - kZip64EndSize + 1; at-- > 0;) {
        if (Little(t + at, 4) != kZip64EndSignature || Little(t + at + 4, 8) != locator - at - 12)
            continue;
        const std::uint64_t real = std::uint64_t(tailAt) + at;
        return real > named ? real - named : 0;
    }
    return 0;
}

unzFile OpenArchive(const std::string& path)
{
    zlib_filefunc64_def io{};
    io.zopen64_file = OpenFile;
    io.zread_file = ReadFile;
    io.zwrite_file = WriteFile;
    io.ztell64_file = TellFile;
    io.zseek64_file = SeekFile;
    io.zclose_file = CloseFile;
    io.zerror_file = ErrorFile;
    return unzOpen2_64(path.c_str(), &io);
}

}  // namespace installer

#include "installer/archive_reader.h"

#include <algorithm>
#include <sys/types.h>
#include <vector>

#include <zlib.h>

namespace installer {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;       // PK 5 6
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;  // PK 6 6
constexpr std::uint32_t kLocatorSignature = 0x07064b50;   // PK 6 7
constexpr std::uint32_t kCentralSignature = 0x02014b50;   // PK 1 2
constexpr std::uint32_t kLocalSignature = 0x04034b50;     // PK 3 4
constexpr std::uint32_t kSeeZip64 = 0xFFFFFFFF;
constexpr size_t kEndSize = 22, kLocatorSize = 20, kZip64EndSize = 56;
constexpr size_t kCentralSize = 46, kLocalSize = 30;
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
    // A plain end record: the central directory ends where the record
    // begins, so whatever its offsets leave over stands in front.
    const std::uint64_t plainAt = std::uint64_t(tailAt) + end;
    const std::uint64_t plainEnd = Little(t + end + 16, 4) + Little(t + end + 12, 4);
    const std::uint64_t plain = plainAt > plainEnd ? plainAt - plainEnd : 0;
    if (end < kLocatorSize + kZip64EndSize)
        return plain;
    const size_t locator = end - kLocatorSize;
    if (Little(t + locator, 4) != kLocatorSignature)
        return plain;
    const std::uint64_t named = Little(t + locator + 8, 8);

    // The ZIP64 end record stands right in front of the locator; its size
    // field counts what follows the first 12 bytes.
    for (size_t at = locator - kZip64EndSize + 1; at-- > 0;) {
        if (Little(t + at, 4) != kZip64EndSignature || Little(t + at + 4, 8) != locator - at - 12)
            continue;
        const std::uint64_t real = std::uint64_t(tailAt) + at;
        return real > named ? real - named : 0;
    }
    return plain;
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

namespace installer {

namespace {

bool ReadAt(std::FILE* file, std::uint64_t at, unsigned char* buf, size_t size)
{
    return at <= std::uint64_t(INT64_MAX) && fseeko(file, off_t(at), SEEK_SET) == 0 &&
           std::fread(buf, 1, size, file) == size;
}

}  // namespace

EntryPlace ReadEntryPlace(std::FILE* file, std::uint64_t start, unzFile zip, std::string* cause)
{
    EntryPlace place;
    cause->clear();
    unsigned char head[kCentralSize];
    const std::uint64_t at = start + unzGetOffset64(zip);
    if (!ReadAt(file, at, head, sizeof head) || Little(head, 4) != kCentralSignature) {
        *cause = "Verzeichniseintrag nicht lesbar";
        return place;
    }
    place.flag = unsigned(Little(head + 8, 2));
    place.method = int(Little(head + 10, 2));
    place.crc = std::uint32_t(Little(head + 16, 4));
    place.compressed = Little(head + 20, 4);
    place.uncompressed = Little(head + 24, 4);
    place.localHeader = Little(head + 42, 4);
    const size_t nameSize = size_t(Little(head + 28, 2)), extraSize = size_t(Little(head + 30, 2));
    std::vector<unsigned char> extra(extraSize);
    if (extraSize && !ReadAt(file, at + kCentralSize + nameSize, extra.data(), extraSize)) {
        *cause = "Verzeichniseintrag nicht lesbar";
        return place;
    }
    // Each 32-bit field that reads "see there" has its 64-bit value in the
    // extra field with ID 1, in this order.
    std::uint64_t* fields[] = {&place.uncompressed, &place.compressed, &place.localHeader};
    bool wanted = false;
    for (std::uint64_t* field : fields)
        wanted |= *field == kSeeZip64;
    if (!wanted)
        return place;
    for (size_t pos = 0; pos + 4 <= extra.size();) {
        const unsigned id = unsigned(Little(&extra[pos], 2));
        const size_t size = size_t(Little(&extra[pos + 2], 2));
        const size_t data = pos + 4;
        pos = data + size;
        if (id != 1 || pos > extra.size())
            continue;
        size_t used = 0;
        for (std::uint64_t* field : fields) {
            if (*field != kSeeZip64)
                continue;
            if (used + 8 > size) {
                *cause = "ZIP64-Angaben unvollst\xC3\xA4ndig";
                return place;
            }
            *field = Little(&extra[data + used], 8);
            used += 8;
        }
        place.zip64 = true;
        return place;
    }
    *cause = "ZIP64-Angaben fehlen";
    return place;
}

Zip64Data::Zip64Data(std::FILE* file, std::uint64_t start, const EntryPlace& place)
    : file_(file), place_(place), left_(place.compressed), crc_(crc32(0L, Z_NULL, 0))
{
    unsigned char head[kLocalSize];
    if (place.flag & 1) {
        cause_ = "verschl\xC3\xBCsselt";
        return;
    }
    if (place.method != 0 && place.method != Z_DEFLATED) {
        cause_ = "Kompressionsverfahren " + std::to_string(place.method) + " wird nicht unterst\xC3\xBCtzt";
        return;
    }
    const std::uint64_t at = start + place.localHeader;
    if (at < start || !ReadAt(file, at, head, sizeof head) || Little(head, 4) != kLocalSignature) {
        cause_ = "Dateikopf nicht lesbar";
        return;
    }
    const std::uint64_t data = at + kLocalSize + Little(head + 26, 2) + Little(head + 28, 2);
    if (data > std::uint64_t(INT64_MAX) || fseeko(file, off_t(data), SEEK_SET) != 0) {
        cause_ = "Dateikopf nicht lesbar";
        return;
    }
    if (place.method == Z_DEFLATED) {
        auto* zs = new z_stream{};
        if (inflateInit2(zs, -MAX_WBITS) != Z_OK) {
            delete zs;
            cause_ = "zu wenig Speicher";
            return;
        }
        stream_ = zs;
    }
}

Zip64Data::~Zip64Data()
{
    if (auto* zs = static_cast<z_stream*>(stream_)) {
        inflateEnd(zs);
        delete zs;
    }
}

int Zip64Data::Read(void* buf, unsigned size)
{
    if (!cause_.empty())
        return -1;
    auto* out = static_cast<unsigned char*>(buf);
    unsigned produced = 0;
    if (!stream_) {
        const unsigned want = unsigned(std::min<std::uint64_t>(size, left_));
        produced = unsigned(std::fread(out, 1, want, file_));
        if (produced < want) {
            cause_ = "Daten unvollst\xC3\xA4ndig";
            return -1;
        }
        left_ -= produced;
    } else {
        auto* zs = static_cast<z_stream*>(stream_);
        zs->next_out = out;
        zs->avail_out = size;
        while (zs->avail_out == size && !ended_) {
            if (zs->avail_in == 0) {
                const size_t want = size_t(std::min<std::uint64_t>(sizeof in_, left_));
                const size_t got = want ? std::fread(in_, 1, want, file_) : 0;
                if (got == 0) {
                    cause_ = "Daten unvollst\xC3\xA4ndig";
                    return -1;
                }
                left_ -= got;
                zs->next_in = in_;
                zs->avail_in = uInt(got);
            }
            const int r = inflate(zs, Z_NO_FLUSH);
            if (r == Z_STREAM_END)
                ended_ = true;
            else if (r != Z_OK && !(r == Z_BUF_ERROR && zs->avail_in == 0)) {
                cause_ = "Daten besch\xC3\xA4" "digt";
                return -1;
            }
        }
        produced = size - zs->avail_out;
    }
    out_ += produced;
    crc_ = crc32(crc_, out, produced);
    return int(produced);
}

bool Zip64Data::Check()
{
    if (!cause_.empty())
        return false;
    if (out_ != place_.uncompressed)
        cause_ = "Gr\xC3\xB6\xC3\x9F" "e stimmt nicht";
    else if (crc_ != place_.crc)
        cause_ = "Pr\xC3\xBC" "fsumme stimmt nicht";
    return cause_.empty();
}

}  // namespace installer

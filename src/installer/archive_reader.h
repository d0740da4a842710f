// Opening an archive that may carry bytes in front of it ("setup.zip" begins
// with the CR LF behind the header's "$"), and reading the entries whose
// sizes or place stand only in their ZIP64 extra field, which the minizip
// of the distributions leaves unread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <unzip.h>

namespace installer {

// Where the archive proper begins in file: the number of bytes in front of
// it, as its end records tell. 0 for records that say nothing sound.
std::uint64_t ArchiveStart(std::FILE* file);

// Opens path for reading with minizip, which then sees the file from the
// archive's true start on; nullptr when it is no archive.
unzFile OpenArchive(const std::string& path);

// An entry's sizes and the offset of its local header, taken from the ZIP64
// extra field wherever the 32-bit field says "see there".
struct EntryPlace {
    std::uint64_t compressed = 0, uncompressed = 0, localHeader = 0;
    std::uint32_t crc = 0;
    int method = 0;
    unsigned flag = 0;
    bool zip64 = false;  // one of the three stands in the extra field only
};

// Reads the central record of zip's current entry from file (the archive
// minizip has open, with start bytes in front of it). Empty cause when the
// record is sound, else why not, in German.
EntryPlace ReadEntryPlace(std::FILE* file, std::uint64_t start, unzFile zip, std::string* cause);

// The data of one ZIP64 entry, inflated or stored, checked against its
// size and checksum at the end.
class Zip64Data {
public:
    Zip64Data(std::FILE* file, std::uint64_t start, const EntryPlace& place);
    ~Zip64Data();
    Zip64Data(const Zip64Data&) = delete;
    Zip64Data& operator=(const Zip64Data&) = delete;

    // Empty when the data can be read, else why not.
    const std::string& cause() const { return cause_; }
    // Bytes read into buf, 0 at the end, -1 with cause() on damage.
    int Read(void* buf, unsigned size);
    // After the last Read: false with cause() when size or checksum differ.
    bool Check();

private:
    std::FILE* file_;
    EntryPlace place_;
    std::string cause_;
    void* stream_ = nullptr;  // z_stream while inflating
    std::uint64_t left_ = 0, out_ = 0;
    unsigned long crc_ = 0;
    bool ended_ = false;
    unsigned char in_[8192];
};

}  // namespace installer

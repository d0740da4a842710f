// Opening an archive that may carry bytes in front of it: "setup.zip" begins
// with the CR LF behind the header's "$".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <unzip.h>

namespace installer {

// Where the archive proper begins in file: the number of bytes in front of
// it, as its ZIP64 end records tell. 0 for a plain archive, whose records
// minizip finds behind any prefix by itself, and for records that say
// nothing sound.
std::uint64_t ArchiveStart(std::FILE* file);

// Opens path for reading with minizip, which then sees the file from the
// archive's true start on; nullptr when it is no archive.
unzFile OpenArchive(const std::string& path);

}  // namespace installer

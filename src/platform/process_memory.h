// The memory gauges' readings: what the own process occupies and how much
// physical memory is free.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Bytes of physical memory the process holds (its resident set, from a file
// in the layout of /proc/self/statm); 0 when it cannot be read.
std::uint64_t ProcessMemoryUsed(const std::string& statmPath = "/proc/self/statm");
// Free physical memory in bytes (sysinfo).
std::uint64_t FreePhysicalMemory();

}  // namespace platform

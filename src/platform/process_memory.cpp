#include "platform/process_memory.h"

#include <cstdio>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace platform {

std::uint64_t ProcessMemoryUsed(const std::string& statmPath)
{
    std::FILE* f = std::fopen(statmPath.c_str(), "r");
    if (!f)
        return 0;
    unsigned long long size = 0, resident = 0;
    int fields = std::fscanf(f, "%llu %llu", &size, &resident);
    std::fclose(f);
    if (fields != 2)
        return 0;
    long page = sysconf(_SC_PAGESIZE);
    return std::uint64_t(resident) * std::uint64_t(page > 0 ? page : 4096);
}

std::uint64_t FreePhysicalMemory()
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return std::uint64_t(info.freeram) * std::uint64_t(info.mem_unit ? info.mem_unit : 1);
}

}  // namespace platform

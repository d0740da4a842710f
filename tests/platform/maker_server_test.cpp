// The maker server's base URL, Location resolution of the redirect-following
// GET, and the process memory reading.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "platform/maker_server.h"
#include "platform/process_memory.h"
#include "support/process.h"

namespace {

TEST(MakerServer, BaseUrlFromEnvironmentWithoutTrailingSlash)
{
    setenv("SKIMLARK_SERVER", "http://127.0.0.1:8080//", 1);
    EXPECT_EQ(platform::MakerUrl("/forum/"), "http://127.0.0.1:8080/forum/");
    EXPECT_EQ(platform::MakerHost(), "127.0.0.1:8080");
    unsetenv("SKIMLARK_SERVER");
    EXPECT_NE(platform::MakerServer().find(".example"), std::string::npos);
}

TEST(MakerServer, LocationResolvesAgainstTheRequest)
{
    struct Case {
        const char *base, *location, *expected;
    } cases[] = {
        {"http://h:1/a/b.cgi?x=1", "http://o/p", "http://o/p"},
        {"http://h:1/a/b.cgi?x=1", "/files/i", "http://h:1/files/i"},
        {"http://h:1/a/b.cgi?x=/y", "c.exe", "http://h:1/a/c.exe"},
        {"http://h:1", "c.exe", "http://h:1/c.exe"},
        {"https://h/a", "//cdn/x", "https://cdn/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ResolveLocation(c.base, c.location), c.expected) << c.base << " + " << c.location;
}

TEST(ProcessMemory, ResidentPagesAreCounted)
{
    long page = sysconf(_SC_PAGESIZE);
    std::string statm = WriteTempFile("statm", "5000 2560 100 1 0 300 0\n");
    EXPECT_EQ(platform::ProcessMemoryUsed(statm), std::uint64_t(2560) * std::uint64_t(page));
    EXPECT_EQ(platform::ProcessMemoryUsed(WriteTempFile("statm", "garbage\n")), 0u);
    EXPECT_EQ(platform::ProcessMemoryUsed("/nonexistent/statm"), 0u);
    EXPECT_GT(platform::ProcessMemoryUsed(), 0u);
    EXPECT_GT(platform::FreePhysicalMemory(), 0u);
}

}  // namespace

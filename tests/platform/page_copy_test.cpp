#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/page_copy.h"
#include "support/process.h"

namespace {

// Another program holds the first copy of a folder: this one takes the next
// name, and keeps it for every later page.
TEST(PageCopy, TwoProgramsGetTwoFiles)
{
    const std::string dir = MakeTempDir("pagecopy");
    const std::string first = dir + "_skimlark0.html";
    // A second program that takes the name as this one would, and holds it
    // until its input ends.
    const std::string holder =
        "import fcntl,os,sys\n"
        "fd=os.open(sys.argv[1],os.O_RDWR|os.O_CREAT)\n"
        "fcntl.flock(fd,fcntl.LOCK_EX|fcntl.LOCK_NB)\n"
        "print('held',flush=True)\n"
        "sys.stdin.read()\n";
    FILE* other = ::popen(("python3 -c \"" + holder + "\" " + first + " > " + dir + "out").c_str(), "w");
    ASSERT_NE(other, nullptr);
    for (int i = 0; i < 500; ++i) {
        FILE* out = std::fopen((dir + "out").c_str(), "r");
        char word[8] = {};
        const bool held = out && std::fgets(word, sizeof word, out) && std::string(word) == "held\n";
        if (out)
            std::fclose(out);
        if (held)
            break;
        ::usleep(10000);
    }
    EXPECT_EQ(platform::PageCopyPath(dir.substr(0, dir.size() - 1)), dir + "_skimlark1.html");
    EXPECT_EQ(platform::PageCopyPath(dir.substr(0, dir.size() - 1)), dir + "_skimlark1.html");
    ::pclose(other);
    // A folder no other program uses: the first name.
    const std::string alone = MakeTempDir("pagecopy");
    EXPECT_EQ(platform::PageCopyPath(alone.substr(0, alone.size() - 1)), alone + "_skimlark0.html");
}

}  // namespace

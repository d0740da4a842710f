// The shipped demo: scripts/run-demo.sh starts the demo site and runs
// skripte/demo.skl with skimlark-run against it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

TEST(Demo, FetchesFollowsAndSubmits)
{
    std::string cmd = std::string("bash ") + SKIMLARK_SOURCE_DIR + "/scripts/run-demo.sh " + SKIMLARK_RUN_BIN + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = pclose(p);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_NE(out.find("Seite: Willkommen im Demo-Laden\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Brötchen, 6 Stück: 1,99 €\n"), std::string::npos) << out;
    // The name holds umlauts: the script's Windows-1252 text goes to the
    // UTF-8 site in UTF-8, and comes back whole.
    EXPECT_NE(out.find("Antwort: Danke, Jörg Müller: 2 x Kaffee als Geschenk bestellt.\n"), std::string::npos)
        << out;
}

}  // namespace

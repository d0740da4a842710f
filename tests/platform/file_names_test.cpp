// File names between a script's Windows-1252 and the system's UTF-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

class FileNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "skimlark-names-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern + "/";
    }
    void TearDown() override { fs::remove_all(dir); }
    void Touch(const std::string& systemName) const { std::ofstream(dir + systemName) << "x"; }

    std::string dir;
};

TEST_F(FileNames, ScriptNamesBecomeUtf8UnlessOnlyTheBytesExist)
{
    Touch("Preisliste f\xC3\xBCr M\xC3\xBCller.skl");  // UTF-8, as every Linux program names it
    Touch("alt_\xE4rger.txt");                         // a Windows-1252 name copied from elsewhere
    Touch("both_\xE4.txt");
    Touch("both_\xC3\xA4.txt");
    Touch("gr\xC3\xBC\xC3\x9F" "e.txt");                 // a UTF-8 name a script read from a UTF-8 text
    fs::create_directory(dir + "\xC4lter");            // a folder whose name is not UTF-8
    struct Case {
        std::string script, system;
    } cases[] = {
        {"plain/name.txt", "plain/name.txt"},
        {"Preisliste f\xFCr M\xFCller.skl", "Preisliste f\xC3\xBCr M\xC3\xBCller.skl"},
        {"neu f\xFCr J\xF6rg \x80.txt", "neu f\xC3\xBCr J\xC3\xB6rg \xE2\x82\xAC.txt"},  // not there yet
        {"alt_\xE4rger.txt", "alt_\xE4rger.txt"},
        {"both_\xE4.txt", "both_\xC3\xA4.txt"},  // the converted name wins
        {"gr\xC3\xBC\xC3\x9F" "e.txt", "gr\xC3\xBC\xC3\x9F" "e.txt"},
        // Each part on its own: the folder as its bytes, the new file in UTF-8.
        {"\xC4lter/s\xFC\xDF.txt", "\xC4lter/s\xC3\xBC\xC3\x9F.txt"},
        {"neu\xE4/\xC4lter", "neu\xC3\xA4/\xC3\x84lter"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::SystemName(dir + c.script), dir + c.system) << c.script;
    // Relative names are looked for from the current folder.
    fs::path here = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(platform::SystemName("alt_\xE4rger.txt"), "alt_\xE4rger.txt");
    EXPECT_EQ(platform::SystemName("//x/\xFC"), "//x/\xC3\xBC");
    fs::current_path(here);
}

TEST_F(FileNames, SystemNamesComeBackSoThatTheyLeadToTheSameFile)
{
    const std::string names[] = {
        "Gro\xC3\x9F\xC3\xA4rger \xE2\x82\xAC.csv",  // fits Windows-1252
        "\xE6\x97\xA5\xE6\x9C\xAC.txt",             // does not: kept as bytes
        "halb_\xC3\xBC_\xE4.txt",                   // not valid UTF-8
        "\xC3\xBC\xC3\xBC/x",
    };
    fs::create_directory(dir + "\xC3\xBC\xC3\xBC");
    for (const std::string& n : names) {
        Touch(n);
        std::string script = platform::ScriptName(dir + n);
        EXPECT_EQ(platform::SystemName(script), dir + n) << n;
    }
    EXPECT_EQ(platform::ScriptName(dir + names[0]), dir + "Gro\xDF\xE4rger \x80.csv");
    EXPECT_EQ(platform::ScriptName(dir + names[1]), dir + names[1]);
    EXPECT_EQ(platform::ScriptName("\xC3\xBC/\xE4/a"), "\xFC/\xE4/a");
}

}  // namespace

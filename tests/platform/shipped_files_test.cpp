// The help pages and scripts that ship with the programs: F1 finds an entry
// for every word the editor colours, and every file is stored in the code
// page the program reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "interpreter/dispatcher.h"
#include "platform/cp1252.h"
#include "support/files.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

fs::path Source(const std::string& relative)
{
    return fs::path(SKIMLARK_SOURCE_DIR) / relative;
}

// The files of a shipped folder whose name ends in one of the extensions.
std::vector<fs::path> ShippedFiles(const std::string& folder, const std::vector<std::string>& extensions)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(Source(folder)))
        for (const auto& ext : extensions)
            if (entry.is_regular_file() && entry.path().extension() == ext)
                files.push_back(entry.path());
    return files;
}

// The visible text from the end of the element that carries id="word" up to
// the next heading; nullopt when no element carries that id.
std::optional<std::string> EntryText(const std::string& page, const std::string& word, std::string* html = nullptr)
{
    const std::string id = "id=\"" + word + "\"";
    size_t at = page.find(id);
    if (at == std::string::npos)
        return std::nullopt;
    // Past the anchored element: its opening tag, its own text, its end tag.
    size_t end = page.find("</", at);
    end = end == std::string::npos ? page.size() : page.find('>', end);
    std::string rest = end == std::string::npos ? std::string() : page.substr(end + 1);
    static const std::regex nextHeading("<h[1-6][ >]");
    std::smatch m;
    if (std::regex_search(rest, m, nextHeading))
        rest = rest.substr(0, size_t(m.position(0)));
    if (html)
        *html = rest;
    static const std::regex tag("<[^>]*>");
    static const std::regex blanks("\\s+");
    std::string text = std::regex_replace(std::regex_replace(rest, tag, " "), blanks, " ");
    if (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// Every word has an entry with its call form, a description and an example.
void ExpectEntries(const std::string& pageName, const std::vector<std::string>& words)
{
    const std::string page = ReadFile(Source("help/" + pageName));
    ASSERT_FALSE(page.empty()) << pageName;
    for (const std::string& word : words) {
        std::string html;
        std::optional<std::string> text = EntryText(page, word, &html);
        if (!text) {
            ADD_FAILURE() << pageName << ": no anchor for " << word;
            continue;
        }
        EXPECT_GE(text->size(), 60u) << pageName << ": entry of " << word << " says too little: " << *text;
        EXPECT_NE(text->find(word), std::string::npos) << pageName << ": entry of " << word << " shows no call";
        EXPECT_NE(html.find("<pre>"), std::string::npos) << pageName << ": entry of " << word << " has no example";
    }
}

TEST(HelpPages, EveryBuiltinHasAnEntry)
{
    ExpectEntries("helpFunktionen.htm", BuiltinWords());
}

TEST(HelpPages, EveryKeywordHasAnEntry)
{
    ExpectEntries("helpStruktur.htm", KeywordWords());
}

TEST(HelpPages, LinksWithinTheHelpLeadToAnAnchor)
{
    static const std::regex link("href=\"([A-Za-z]+\\.htm)?#([^\"]+)\"");
    for (const fs::path& file : ShippedFiles("help", {".htm"})) {
        const std::string page = ReadFile(file);
        for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
            std::string target = (*it)[1].matched ? (*it)[1].str() : file.filename().string();
            std::string anchor = (*it)[2].str();
            EXPECT_NE(ReadFile(Source("help/" + target)).find("id=\"" + anchor + "\""), std::string::npos)
                << file.filename() << " links to " << target << "#" << anchor;
        }
    }
}

// The entries of the built-ins that skimlark-run answers without a window
// say what it does there: the message a run ends with, or the answer it
// gives, is quoted in the entry.
TEST(HelpPages, ConsoleRunnerBehavesAsItsEntriesSay)
{
    const std::string page = ReadFile(Source("help/helpFunktionen.htm"));
    struct Case {
        const char* word;
        const char* script;
        std::string told;  // UTF-8, as the runner writes it
    } cases[] = {
        {"browse", "browse(\"<html>seite</html>\")", ""},  // the run's error, below
        {"alert", "print(alert(\"?\"))", "2"},
    };
    for (const Case& c : cases) {
        const std::string path = WriteTempFile("s.skl", c.script);
        ProcessResult r = RunProcess({SKIMLARK_RUN_BIN, path});
        std::string told = c.told;
        if (told.empty()) {
            // "Zeile 1: <message>\n"
            const size_t colon = r.err.find(": ");
            ASSERT_NE(colon, std::string::npos) << c.word << ": " << r.err;
            told = r.err.substr(colon + 2, r.err.size() - colon - 3);
        } else {
            EXPECT_EQ(r.out, told + "\n") << c.word;
        }
        std::optional<std::string> entry = EntryText(page, c.word);
        ASSERT_TRUE(entry) << c.word;
        EXPECT_NE(entry->find("skimlark-run"), std::string::npos) << c.word;
        const std::string quoted = c.told.empty() ? "\x84" + platform::Utf8ToCp1252(told) + "\x93"
                                                  : "Ergebnis ist " + told;
        EXPECT_NE(entry->find(quoted), std::string::npos) << c.word << " does not say " << told << ": " << *entry;
    }
}

// True when the bytes hold a non-ASCII character and all of them read as
// UTF-8: such a file was saved in the wrong code page. Windows-1252 text
// with umlauts is never valid UTF-8 as a whole.
bool LooksLikeUtf8(const std::string& bytes)
{
    bool wide = false;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || c == 0xC0 || c == 0xC1 || i + n > bytes.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        wide = true;
        i += n;
    }
    return wide;
}

TEST(ShippedFiles, LooksLikeUtf8TellsTheCodePages)
{
    EXPECT_TRUE(LooksLikeUtf8("ausf\xC3\xBCllen"));
    EXPECT_FALSE(LooksLikeUtf8("ausf\xFCllen"));
    EXPECT_FALSE(LooksLikeUtf8("Gr\xFC\xDF" "e \x84zitat\x93"));
    EXPECT_FALSE(LooksLikeUtf8("plain"));
}

TEST(ShippedFiles, ScriptsAndHelpAreWindows1252)
{
    std::vector<fs::path> files = ShippedFiles("skripte", {".skl"});
    for (const fs::path& page : ShippedFiles("help", {".htm"}))
        files.push_back(page);
    ASSERT_GE(files.size(), 4u);
    bool umlauts = false;
    for (const fs::path& file : files) {
        const std::string bytes = ReadFile(file);
        EXPECT_FALSE(LooksLikeUtf8(bytes)) << file << " is stored as UTF-8";
        umlauts = umlauts || bytes.find('\xFC') != std::string::npos;
        if (file.extension() == ".htm") {
            EXPECT_NE(bytes.find("<meta charset=\"windows-1252\">"), std::string::npos)
                << file << " does not declare the code page it is stored in";
        }
    }
    EXPECT_TRUE(umlauts) << "no shipped file holds a Windows-1252 umlaut";
}

}  // namespace

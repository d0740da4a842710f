// The main program's settings as they live in the registry key of the
// current user: plain data, read at start and written at close. Texts are
// UTF-8 as the registry file holds them; the user's paths are native paths.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

class TRegistry;

// "\Software\Orvanta\Skimlar" of the current user.
extern const char* const kSettingsKey;
// Room of the recent-script list.
constexpr int kHistoryEntries = 4;

struct EditorFontSetting {
    std::string name = "Courier New";
    unsigned charset = 1;  // the default character set
    unsigned color = 0;    // 0x00BBGGRR, black
    unsigned size = 9;     // points: the editor's 12-pixel font

    bool operator==(const EditorFontSetting&) const = default;
};

struct AppSettings {
    bool autoUpdate = false;            // i1
    std::string scriptPath;             // i2
    std::string i3Text;                 // i3, carried over
    int maxOutputLines = 100;           // i4
    int debugLevel = 0;                 // i5
    EditorFontSetting font;             // i8, i9
    std::vector<std::string> history;   // i10 (newest) .. i13
    bool autoSave = false;              // i14
    std::string userAgent = "Skimlark"; // i15
    bool syntaxColouring = false;       // i16
    int httpTimeout = 15;               // i17, seconds
    std::optional<int> windowHeight;    // i18, when it was read
    std::optional<int> windowWidth;     // i19, when it was read
    int maxRedirects = 5;               // i20, 0 = no limit

    bool operator==(const AppSettings&) const = default;
};

// The C library's decimal conversion: leading blanks, an optional sign and
// the leading digits; 0 when there are none.
int DecimalValue(const std::string& text);

// Puts a path at the front of a recent list, dropping an equal path
// (compared exactly) and the oldest entry beyond the room.
void AddRecent(std::vector<std::string>& list, const std::string& path, size_t room = kHistoryEntries);

// Reads the values of the open key into s, which holds the defaults. A
// missing or mistyped integer ends the reading where it stands (on a first
// start at i18); auto-save is then on and the time-out 15 seconds.
void ReadAppSettings(TRegistry& reg, AppSettings& s);
// Writes the values into the open key, in the fixed order; throws
// RegistryError at the first value that cannot be written. With before (the
// settings as they were read at start) only the values changed since, and
// those the key does not hold, are written, so that what another program
// wrote into the key meanwhile stays.
void WriteAppSettings(TRegistry& reg, const AppSettings& s, const AppSettings* before = nullptr);

// Reads the settings of the current user without writing anything: a
// missing key reads like an empty one.
AppSettings LoadAppSettingsReadOnly();

}  // namespace platform

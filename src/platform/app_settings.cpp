#include "platform/app_settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/registry.h"

namespace platform {

const char* const kSettingsKey = "\\Software\\Orvanta\\Skimlar";

int DecimalValue(const std::string& text)
{
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

void AddRecent(std::vector<std::string>& list, const std::string& path, size_t room)
{
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == path) {
            list.erase(it);
            break;
        }
    }
    if (room > 0 && list.size() >= room)
        list.resize(room - 1);
    list.insert(list.begin(), path);
}

namespace {

// i9: up to three unsigned numbers; the font keeps what i9 does not name.
void ApplyFontNumbers(const std::string& text, EditorFontSetting& font)
{
    unsigned n[3];
    int got = std::sscanf(text.c_str(), "%u %u %u", &n[0], &n[1], &n[2]);
    if (got >= 1)
        font.charset = n[0];
    if (got >= 2)
        font.color = n[1];
    if (got >= 3)
        font.size = n[2];
}

}  // namespace

void ReadAppSettings(TRegistry& reg, AppSettings& s)
{
    try {
        s.autoUpdate = reg.ReadInteger("i1") != 0;
    } catch (const std::exception&) {
        s.autoUpdate = false;
    }
    try {
        s.scriptPath = reg.ReadString("i2");
        s.i3Text = reg.ReadString("i3");
        if (std::string v = reg.ReadString("i4"); !v.empty())
            s.maxOutputLines = DecimalValue(v);
        s.debugLevel = DecimalValue(reg.ReadString("i5"));
        std::string fontName = reg.ReadString("i8");
        std::string fontNumbers = reg.ReadString("i9");
        s.autoSave = DecimalValue(reg.ReadString("i14")) != 0;
        s.syntaxColouring = DecimalValue(reg.ReadString("i16")) != 0;
        std::string timeout = reg.ReadString("i17");
        s.httpTimeout = timeout.empty() ? 15 : DecimalValue(timeout);
        if (!fontName.empty()) {
            s.font.name = fontName;
            ApplyFontNumbers(fontNumbers, s.font);
        }
        // Oldest first, so that i10 ends up in front.
        for (const char* name : {"i13", "i12", "i11", "i10"})
            if (std::string path = reg.ReadString(name); !path.empty())
                AddRecent(s.history, path);
        std::string agent = reg.ReadString("i15");
        s.userAgent = agent.empty() ? std::string("Skimlark") : agent;
        s.windowHeight = reg.ReadInteger("i18");
        s.windowWidth = reg.ReadInteger("i19");
        s.maxRedirects = reg.ReadInteger("i20");
    } catch (const std::exception&) {
        s.autoSave = true;
        s.httpTimeout = 15;
    }
}

namespace {

// Whether the open key holds the value so that reading takes it.
bool Holds(TRegistry& reg, const char* name, bool integer)
{
    try {
        if (integer)
            reg.ReadInteger(name);
        else
            reg.ReadString(name);
        return reg.ValueExists(name);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

void WriteAppSettings(TRegistry& reg, const AppSettings& s, const AppSettings* before)
{
    // A value goes out when it changed since before was read, and where the
    // key lacks it: a missing value would end the next reading early.
    auto due = [&](bool changed, const char* name, bool integer = false) {
        return !before || changed || !Holds(reg, name, integer);
    };
    auto dec = [](long long v) { return std::to_string(v); };
    if (due(before && s.autoUpdate != before->autoUpdate, "i1", true))
        reg.WriteInteger("i1", s.autoUpdate ? 1 : 0);
    if (due(before && s.scriptPath != before->scriptPath, "i2"))
        reg.WriteString("i2", s.scriptPath);
    if (due(before && s.i3Text != before->i3Text, "i3"))
        reg.WriteString("i3", s.i3Text);
    if (due(before && s.maxOutputLines != before->maxOutputLines, "i4"))
        reg.WriteString("i4", dec(s.maxOutputLines));
    if (due(before && s.debugLevel != before->debugLevel, "i5"))
        reg.WriteString("i5", dec(s.debugLevel));
    bool fontChanged = before && s.font != before->font;
    if (due(fontChanged, "i8"))
        reg.WriteString("i8", s.font.name);
    if (due(fontChanged, "i9")) {
        char numbers[48];
        std::snprintf(numbers, sizeof numbers, "%u %u %u", s.font.charset, s.font.color, s.font.size);
        reg.WriteString("i9", numbers);
    }
    if (due(before && s.autoSave != before->autoSave, "i14"))
        reg.WriteString("i14", s.autoSave ? "1" : "0");
    if (due(before && s.syntaxColouring != before->syntaxColouring, "i16"))
        reg.WriteString("i16", s.syntaxColouring ? "1" : "0");
    if (due(before && s.httpTimeout != before->httpTimeout, "i17"))
        reg.WriteString("i17", dec(s.httpTimeout));
    // The recent list is one value of the user's: written whole or not at all.
    bool historyChanged = before && s.history != before->history;
    for (int i = 0; i < kHistoryEntries; ++i) {
        std::string name = "i1" + std::to_string(i);
        if (due(historyChanged, name.c_str()))
            reg.WriteString(name, size_t(i) < s.history.size() ? s.history[size_t(i)] : std::string());
    }
    if (due(before && s.userAgent != before->userAgent, "i15"))
        reg.WriteString("i15", s.userAgent);
    if (s.windowHeight && due(before && s.windowHeight != before->windowHeight, "i18", true))
        reg.WriteInteger("i18", *s.windowHeight);
    if (s.windowWidth && due(before && s.windowWidth != before->windowWidth, "i19", true))
        reg.WriteInteger("i19", *s.windowWidth);
    if (due(before && s.maxRedirects != before->maxRedirects, "i20", true))
        reg.WriteInteger("i20", s.maxRedirects);
}

AppSettings LoadAppSettingsReadOnly()
{
    AppSettings s;
    TRegistry reg(KEY_READ);
    if (!reg.OpenKeyReadOnly(kSettingsKey)) {
        // Like an empty key: every string is empty and i18 is missing.
        s.autoSave = true;
        s.httpTimeout = 15;
        return s;
    }
    ReadAppSettings(reg, s);
    return s;
}

}  // namespace platform

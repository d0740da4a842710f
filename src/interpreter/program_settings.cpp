#include "interpreter/program_settings.h"

#include "platform/app_settings.h"
#include "platform/cp1252.h"
#include "platform/folders.h"
#include "platform/registry.h"

bool ReadRegistryRunSettings(RunSettings& s)
{
    platform::TRegistry probe(platform::KEY_READ);
    bool exists = probe.KeyExists(platform::kSettingsKey);
    platform::AppSettings a = platform::LoadAppSettingsReadOnly();
    s.maxOutputLines = a.maxOutputLines;
    s.debugLevel = a.debugLevel;
    // The registry holds UTF-8; script values and headers are Windows-1252.
    s.userAgent = platform::Utf8ToCp1252(a.userAgent);
    s.httpTimeout = a.httpTimeout;
    s.maxRedirects = a.maxRedirects;
    return exists;
}

void SetProgramFolders(RunSettings& s)
{
    s.programDir = platform::ProgramDir();
    s.tempDir = platform::TempDir();
    std::string data = s.programDir + "data";
    if (!platform::MakeDirs(data) || !platform::IsWritableDir(data)) {
        data = platform::UserDataDir() + "/data";
        platform::MakeDirs(data);
    }
    s.dataDir = data;
}

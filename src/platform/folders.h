// The folders a run and the program use, in place of the system's folder calls.
#pragma once

#include <string>

namespace platform {

// Folder of the running program file, ending in "/".
std::string ProgramDir();
// The temporary folder (TMPDIR, else /tmp), ending in "/".
std::string TempDir();
// The user's data folder for the program (XDG_DATA_HOME/skimlark), no trailing "/".
std::string UserDataDir();
// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirs(const std::string& path);
// True when a file can be created in the folder.
bool IsWritableDir(const std::string& path);

}  // namespace platform

// The user's folders that stand in for the shell's special folders.
#pragma once

#include <optional>
#include <string>

namespace installer {

enum : int { CSIDL_PROGRAMS = 2, CSIDL_DESKTOPDIRECTORY = 16, CSIDL_PROGRAM_FILES = 38 };

// CSIDL_PROGRAM_FILES: the system's folder for add-on programs ("/opt")
// when this user may write there, else ~/.local/opt, which may not exist
// yet; CSIDL_DESKTOPDIRECTORY: XDG_DESKTOP_DIR, the user-dirs
// file's entry, else ~/Desktop; CSIDL_PROGRAMS: XDG_DATA_HOME/applications.
// "" when the folder is unknown (no HOME) or the id is another one.
std::string GetSpecialFolderPath(int csidl);

// The system's folder for add-on programs, "/opt" unless set; tests point
// it elsewhere.
void SetSystemProgramsFolder(const std::string& folder);

// A folder as a shell reads it: a leading "~" alone or before "/" is the
// user's home folder; other folders stay as they are. Nothing for the
// "~name" forms of other users' homes, and for "~" when no home is known.
std::optional<std::string> ExpandHome(const std::string& folder);

}  // namespace installer

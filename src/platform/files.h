// Whole-file reading, and file names between a script and the system.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Reads the whole file into text; 0, or the errno of the failure (ENOENT for
// a missing file, EISDIR for a folder).
[[nodiscard]] int ReadWholeFile(const std::string& path, std::string& text);

// The system's name (UTF-8) for a file name in a script's Windows-1252. Each
// part of the path that holds a byte above 127 is converted, unless only its
// unconverted bytes name something that exists: so a name that is not valid
// UTF-8 on disk, or one the script took from a UTF-8 text, stays reachable.
std::string SystemName(std::string_view scriptName);

// A name from the system as a script sees it: each part of the path that is
// valid UTF-8 and fits Windows-1252 is converted, any other part is left as
// its bytes, so that SystemName finds it again.
std::string ScriptName(std::string_view systemName);

}  // namespace platform

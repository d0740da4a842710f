// Whole-file reading.
#pragma once

#include <string>

namespace platform {

// Reads the whole file into text; 0, or the errno of the failure (ENOENT for
// a missing file, EISDIR for a folder).
[[nodiscard]] int ReadWholeFile(const std::string& path, std::string& text);

}  // namespace platform

// The build step that turns the Setup program into an installer: the program
// image, then the lead-in, the header text, "$", CR LF and the ZIP archive.
#pragma once

#include <string>

namespace installer {

// Writes outPath (executable); "" on success, else a message. The header
// text must be at most 259 characters and hold no "$", and the archive must
// not contain the lead-in.
[[nodiscard]] std::string AppendPayload(const std::string& setupPath, const std::string& archivePath,
                                        const std::string& outPath, const std::string& headerText);

}  // namespace installer

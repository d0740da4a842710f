// Script files on disk: Windows-1252 bytes, CR LF between lines, no line end
// after the last line unless the text itself ends with one.
#pragma once

#include <string>

// ".skl" is appended when the path holds no "." at all or more than four
// characters follow its last "." (folder names count too).
std::string WithScriptExtension(const std::string& path);

// The whole file; on failure false and the system's reason in error.
[[nodiscard]] bool ReadScriptFile(const std::string& path, std::string& bytes, std::string& error);
// Creates or truncates the file and writes the bytes; false with the
// system's reason when it cannot be opened or written completely.
[[nodiscard]] bool WriteScriptFile(const std::string& path, const std::string& bytes, std::string& error);

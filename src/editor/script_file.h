// Script files on disk: Windows-1252 bytes, CR LF between lines, no line end
// after the last line unless the text itself ends with one.
#pragma once

#include <string>

// ".skl" is appended when the path holds no "." at all or more than four
// characters follow its last "." (folder names count too).
std::string WithScriptExtension(const std::string& path);

// The whole file; on failure false and the system's reason in error.
[[nodiscard]] bool ReadScriptFile(const std::string& path, std::string& bytes, std::string& error);
// Writes the bytes as the whole file, replacing an existing one only when
// they are completely written (a failed save leaves the old file as it was);
// false with the system's reason.
[[nodiscard]] bool WriteScriptFile(const std::string& path, const std::string& bytes, std::string& error);

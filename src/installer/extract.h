// Unpacks an archive entry by entry into the current directory, recording
// every file it writes in "files.lst" there.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace installer {

// Called before every entry, folder entries included, with the number of
// entries and the 0-based index.
using ExtractProgress = std::function<void(int total, int index)>;

enum : int { kExtractCannotOpen = 1, kExtractWriteError = -1, kExtractCancelled = -104 };

// 0 when every entry went well; otherwise 1 (archive not opened), -1 (write
// error), -104 (cancelled or out of memory) or an error of the unzip
// interface. exeName is the program file whose write failure asks the user;
// names match it ignoring case, and programFile receives the relative path
// that the program was written under ("" when it was not written).
[[nodiscard]] int ExtractArchive(const std::string& archiveName, ExtractProgress progress,
                                 const std::string& exeName, std::string* programFile = nullptr);

// Creates every level of a folder path below the current directory, links
// in the way replaced by folders; 0 when a level cannot be made, else 1.
int MakeFolderPath(const std::string& path);

// The relative path an entry may be written to, "\" read as a folder
// separator and "." levels dropped; nothing for names that would leave the
// current directory (absolute names, ".." levels), names with control
// characters, and the installation's own "files.lst", "setup.zip" and
// "setup.exe".
std::optional<std::string> SafeEntryPath(const std::string& name);

}  // namespace installer

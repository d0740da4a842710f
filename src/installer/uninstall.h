// The removal steps of the uninstaller, each confined to the installation
// folder: listed files, empty folders, shortcuts, registry keys and, after
// the run, the uninstaller's own file.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace installer {

// The folder part of a file path (everything before its last "/"); "/" for
// a file in the root.
std::string FolderOf(const std::string& file);

// Removes what one line of "files.lst" names below folder: a file, or with
// a trailing "/" a folder the install created, when it is empty. The walk
// goes level by level, never through a link and never into another file
// system; names that would leave the folder (absolute ones, ".." levels)
// are passed over. 0 when the name is gone or was never ours to remove
// (a path through a link, a file system mounted in its place), ENOTEMPTY
// for a folder that still holds other things, else the error that kept it.
int RemoveListedName(const std::string& folder, const std::string& line);

// Removes every name of the list, files first and then folders, deepest
// first. Returns the lines that could not be removed, each with its error.
std::vector<std::pair<std::string, int>> RemoveListedNames(const std::string& folder,
                                                           const std::vector<std::string>& lines);

// The shortcuts that the install may have made for product; missing ones
// are passed over.
void RemoveShortcuts(const std::string& product);

// The product's settings key of the current user and its uninstall entry;
// nothing for an empty product or one holding "\" or "/", which would name
// the parent keys or other products' keys.
void RemoveProductKeys(const std::string& product);

// The clean-up after a finished uninstall: deletes the uninstaller's own
// file when it is the "setup.exe" that the install copied, then the
// installation folder when it is empty. A running program's file may be
// unlinked on Linux, so no second process is needed.
// The folder goes only when the install made it (folderMade).
void RemoveUninstaller(const std::string& ownFile, bool folderMade);

}  // namespace installer

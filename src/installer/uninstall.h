// The removal steps of the uninstaller, each confined to the installation
// folder: listed files, empty folders, shortcuts, registry keys and, after
// the run, the uninstaller's own file.
#pragma once

#include <string>

namespace installer {

// The folder part of a file path (everything before its last "/"); "/" for
// a file in the root.
std::string FolderOf(const std::string& file);

// Deletes one line of "files.lst" (a name relative to folder, "\" read as
// "/"). Names that would leave the folder, absolute ones, ".." levels and
// paths running through a link to elsewhere are refused. True when deleted.
bool RemoveListedFile(const std::string& folder, const std::string& line);

// Removes the empty folders of a tree, the top one included when it ends up
// empty; "setup.exe" and every other file stay. Links are never followed.
void RemoveDirectoryTree(const std::string& folder);

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
void RemoveUninstaller(const std::string& ownFile);

}  // namespace installer

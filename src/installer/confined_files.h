// Writing into the installation folder without ever leaving it. A folder of
// a user who installs over an older installation may hold links (or second
// names of files) that point elsewhere; they are replaced, never written
// through.
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>

namespace installer {

// Opens relative ("/" between folders, no "." or ".." levels) below folder
// for writing, truncated or, with append, at its end. Every folder level
// must already be a real folder; a link or a file with a second name at the
// file's own place is removed first, and so is a file that its mode keeps
// from being written (an older install's read-only file is replaced, as
// any other file is). nullptr with errno set on failure.
std::FILE* OpenBelow(const std::string& folder, const std::string& relative, bool append = false);

// Makes relative below folder a link to target, replacing a file or link
// in its place. False with errno set.
bool LinkBelow(const std::string& folder, const std::string& relative, const std::string& target);

// Creates the folder levels of relative below the current directory; a link
// in the place of a level is replaced by a real folder. False when a level
// cannot be made, with errno set (an existing file in the way is passed
// over: the open that follows reports it).
bool MakeFoldersBelow(const std::string& relative, std::string* failedLevel = nullptr);

// The process's file-creation mask, which modes taken from elsewhere obey too.
mode_t ProcessUmask();

}  // namespace installer

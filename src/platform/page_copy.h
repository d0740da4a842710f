// The file a program writes the page copy for its browser window into.
#pragma once

#include <string>

namespace platform {

// The copy's path in the data folder: "_skimlark0.html" for the first
// program that uses the folder, "_skimlark1.html" for a second one running
// at the same time, and so on, so two programs never show each other's
// page. The name stays this program's until it ends.
std::string PageCopyPath(const std::string& dataDir);

}  // namespace platform

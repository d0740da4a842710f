// The mode of the Setup program, chosen from its command line.
#pragma once

#include <string>
#include <vector>

namespace installer {

enum class SetupMode { Install, Uninstall, CleanUp };

// arguments: the command line without the program name. An argument that
// begins with "/u" uninstalls, one that begins with "/d" is the clean-up
// mode; the argument after "-directory" is a folder and never a switch,
// since every absolute folder begins with "/".
SetupMode ChooseMode(const std::vector<std::string>& arguments);

// The rest of the last "/u" argument, "" when there is none.
std::string UninstallProduct(const std::vector<std::string>& arguments);

}  // namespace installer

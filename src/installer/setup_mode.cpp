#include "installer/setup_mode.h"

namespace installer {

namespace {

// The arguments that may be switches: all but the folder after "-directory".
std::vector<std::string> SwitchArguments(const std::vector<std::string>& arguments)
{
    std::vector<std::string> switches;
    bool folderNext = false;
    for (const std::string& arg : arguments) {
        if (!folderNext)
            switches.push_back(arg);
        // As in the installer window, a folder named "-directory" makes
        // the next argument a folder too.
        folderNext = arg == "-directory";
    }
    return switches;
}

bool Begins(const std::string& arg, const char* prefix) { return arg.compare(0, 2, prefix) == 0; }

}  // namespace

SetupMode ChooseMode(const std::vector<std::string>& arguments)
{
    SetupMode mode = SetupMode::Install;
    for (const std::string& arg : SwitchArguments(arguments)) {
        if (Begins(arg, "/u"))
            mode = SetupMode::Uninstall;
        if (Begins(arg, "/d"))
            return SetupMode::CleanUp;
    }
    return mode;
}

std::string UninstallProduct(const std::vector<std::string>& arguments)
{
    std::string product;
    for (const std::string& arg : SwitchArguments(arguments))
        if (Begins(arg, "/u"))
            product = arg.substr(2);
    return product;
}

}  // namespace installer

#include "editor/command_line.h"

#include "platform/cp1252.h"

namespace {

const char* const kUsage =
    "usage: skimlark [-ex] [-hidden] [-vNAME=VALUE ...] [--] [script.skl]\n"
    "       skimlark -h | --help | --version\n";

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine cl;
    bool switches = true;
    for (const auto& arg : args) {
        if (switches && arg == "--") {
            switches = false;
        } else if (switches && arg == "-ex") {
            cl.exitAfterRun = true;
        } else if (switches && arg == "-hidden") {
            cl.startHidden = true;
        } else if (switches && (arg == "-h" || arg == "--help")) {
            cl.help = true;
        } else if (switches && arg == "--version") {
            cl.version = true;
        } else if (switches && arg.compare(0, 2, "-v") == 0) {
            // Name and value may be empty; the value keeps any further "=".
            auto eq = arg.find('=', 2);
            if (eq == std::string::npos)
                continue;
            std::string name = platform::Utf8ToCp1252(arg.substr(2, eq - 2));
            cl.initVars[name] = platform::Utf8ToCp1252(arg.substr(eq + 1));
        } else if (switches && arg.size() > 1 && arg[0] == '-') {
            // Opened as a script, a mistyped switch would be stored as the
            // last script and shown as a missing file at every start.
            if (cl.unknownSwitch.empty())
                cl.unknownSwitch = arg;
        } else {
            cl.scriptPath = arg;
            cl.autoRun = cl.exitAfterRun = cl.startHidden = true;
        }
    }
    return cl;
}

std::string CommandLineHelp()
{
    return std::string(kUsage) +
           "Opens the Skimlark editor; with a script it runs the script at once, minimised,\n"
           "and ends when the run ends.\n"
           "\n"
           "  -ex           end the program after the first run that ends\n"
           "  -hidden       start minimised\n"
           "  -vNAME=VALUE  preset the script variable NAME with VALUE\n"
           "  --            ends the switches: the next argument is the script\n"
           "  -h, --help    show this help and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "skimlark-run runs a script without a window.\n";
}

std::string CommandLineVersion()
{
    return "skimlark (Skimlark) 1.08.20\n";
}

std::string UnknownSwitchReport(const std::string& arg)
{
    return "skimlark: unknown switch " + arg + "\n" + kUsage + "Try 'skimlark --help' for more information.\n";
}

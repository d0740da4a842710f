#include "editor/command_line.h"

#include "platform/cp1252.h"

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine cl;
    for (const auto& arg : args) {
        if (arg == "-ex") {
            cl.exitAfterRun = true;
        } else if (arg == "-hidden") {
            cl.startHidden = true;
        } else if (arg.compare(0, 2, "-v") == 0) {
            // Name and value may be empty; the value keeps any further "=".
            auto eq = arg.find('=', 2);
            if (eq == std::string::npos)
                continue;
            std::string name = platform::Utf8ToCp1252(arg.substr(2, eq - 2));
            cl.initVars[name] = platform::Utf8ToCp1252(arg.substr(eq + 1));
        } else {
            cl.scriptPath = arg;
            cl.autoRun = cl.exitAfterRun = cl.startHidden = true;
        }
    }
    return cl;
}

// The main program's command line: switches compared exactly, anything else
// names a script to run.
#pragma once

#include <string>
#include <vector>

#include "interpreter/host.h"

struct CommandLine {
    bool exitAfterRun = false;  // "-ex", or a script path
    bool startHidden = false;   // "-hidden", or a script path
    bool autoRun = false;       // a script path
    std::string scriptPath;     // the last script path, native bytes; "" for none
    InitVars initVars;          // "-vNAME=VALUE", Windows-1252
    bool help = false;          // "-h" or "--help"
    bool version = false;       // "--version"
    // The first argument that looks like a switch but is none; "" for none.
    std::string unknownSwitch;
};

// Arguments without the program name, as UTF-8 texts. After "--" every
// argument is a script path, whatever it begins with.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// What "--help" and "--version" print, and the report of an unknown switch.
std::string CommandLineHelp();
std::string CommandLineVersion();
std::string UnknownSwitchReport(const std::string& arg);

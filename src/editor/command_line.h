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
};

// Arguments without the program name, as UTF-8 texts.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

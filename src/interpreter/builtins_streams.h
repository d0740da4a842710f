// The log copy of print lines, for the print built-in.
#pragma once

#include <string>

class Skript;

// Writes text and a line feed to the run's log file and flushes it, while a
// log file is open and the variable logging is neither "0" nor empty.
void LogPrintLine(Skript& run, const std::string& text);
